#include "compilecommand.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include "compileinfo.h"
#include "editorcontrol.h"
#include "listing.h"
#include "outputfile.h"
#include "prompts.h"
#include "symboltable.h"
#include "symfile.h"

namespace orrery::shell {

namespace {

std::string localBytes(const QString& text) { return QFile::encodeName(text).toStdString(); }

std::filesystem::path outputPath(const compiler::CompileJob& job, const QString& folder, const char* extension) {
    return compiler::outputPathFor(job.sourceName, extension, std::filesystem::path(localBytes(folder)));
}

// Reports a file that could not be written; true when it was written.
bool writeReported(const std::filesystem::path& path, std::string_view bytes, Prompts& prompts) {
    const compiler::OutputResult result = compiler::writeOutputFile(path, bytes);
    if (!result.ok) {
        prompts.showMessage(QString::fromLocal8Bit(result.error.c_str()), PromptIcon::Error);
    }
    return result.ok;
}

std::string listingOf(const compiler::CompileJob& job, Progress& progress) {
    compiler::ListingInputs inputs;
    inputs.sourceName = job.sourceName;
    inputs.sourceText = job.sourceText;
    inputs.image = job.image;
    inputs.headerSize = job.header.headerSize;
    inputs.codeSize = job.header.codeSize;
    inputs.variablesSize = job.header.variablesSize;
    inputs.dateText = compiler::listingDateText();
    progress.start(QStringLiteral("Creating List file"), job.header.codeSize);
    // The listing is short work: Cancel is not offered a meaning here.
    std::string text = compiler::listingText(inputs, [&progress](std::int32_t value) {
        progress.update(value);
        return false;
    });
    progress.close();
    return text;
}

// The sorted symbol records of the compile, from its symbol table.
std::string symbolFileOf(const compiler::CompileJob& job) {
    const compiler::SymbolTable* table = compiler::symbolTable(job);
    std::vector<compiler::SymbolRecord> records;
    if (table) {
        for (const compiler::SymbolEntry& entry : table->entries()) {
            if (compiler::isUndefinedLabel(entry.flags)) {
                continue;
            }
            const compiler::SymbolEntryFacts facts{entry.name, entry.flags, entry.type, entry.address, entry.second};
            records.push_back(compiler::summaryRecordOf(facts, table->area().step));
        }
    }
    return compiler::symbolFileText(compiler::makeSymbolSummary(std::move(records)));
}

}  // namespace

QString outputFolderFor(const CompileSource& source) {
    if (source.filePath.isEmpty()) {
        return QDir::currentPath();
    }
    return QFileInfo(source.filePath).absolutePath();
}

compiler::CompileJob makeCompileJob(const CompileSource& source, const compiler::CompilerOptions& options) {
    compiler::CompileJob job;
    // One byte per character, so that the compiler's columns are the editor's columns.
    job.sourceText = source.text.toLatin1().toStdString() + "\r\n";
    job.sourceLength = std::uint32_t(job.sourceText.size());
    job.sourceName = localBytes(QFileInfo(source.caption).fileName());
    compiler::applyOptions(job, options);
    return job;
}

bool runCompileStep(compiler::CompileJob& job, const compiler::CompilerOptions& options, const QString& outputFolder,
                    Prompts& prompts) {
    Progress& progress = prompts.progress();
    progress.start(QStringLiteral("Tokenizing File"), job.sourceLength);
    job.progress = [&progress](std::int32_t value) { return progress.update(value); };
    const std::uint8_t result = compiler::compile(job);
    job.progress = nullptr;
    progress.close();
    if (result != compiler::kCompileOk) {
        return false;
    }
    if (options.createListFile) {
        writeReported(outputPath(job, outputFolder, ".lst"), listingOf(job, progress), prompts);
    }
    if (options.createBinFile) {
        const std::string_view bytes(reinterpret_cast<const char*>(job.image.data()), job.image.size());
        if (!writeReported(outputPath(job, outputFolder, ".bin"), bytes, prompts)) {
            return false;
        }
    }
    if (options.createSymFile) {
        writeReported(outputPath(job, outputFolder, ".sym"), symbolFileOf(job), prompts);
    }
    return true;
}

void syntaxCheckCommand(EditorControl& editor, const CompileSource& source, const compiler::CompilerOptions& options,
                        Prompts& prompts, TCompileInfoForm& summary) {
    compiler::CompileJob job = makeCompileJob(source, options);
    const bool ok = runCompileStep(job, options, outputFolderFor(source), prompts);
    if (ok) {
        summary.showSummary(job.header);
    } else if (job.failed()) {
        prompts.showMessage(QString::fromLatin1(job.errorMessage.c_str()));
        editor.setCaretPosition(job.errorLine, job.errorColumn);
        editor.setFocus();
    }
    compiler::releaseJob(job);
}

}  // namespace orrery::shell
