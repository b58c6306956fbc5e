#include "compilecommand.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <algorithm>

#include "compileinfo.h"
#include "editorcontrol.h"
#include "outputfile.h"
#include "prompts.h"

namespace orrery::shell {

namespace {

std::string localBytes(const QString& text) {
    return QFile::encodeName(text).toStdString();
}

bool wrote(const compiler::OutputsWritten& outputs, const char* extension) {
    return std::any_of(outputs.written.begin(), outputs.written.end(),
                       [&](const std::filesystem::path& p) { return p.extension() == extension; });
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

bool runCompileStep(compiler::CompileJob& job, const compiler::CompilerOptions& options,
                    const QString& outputFolder, Prompts& prompts) {
    Progress& progress = prompts.progress();
    progress.start(QStringLiteral("Tokenizing File"), job.sourceLength);
    job.progress = [&progress](std::int32_t value) { return progress.update(value); };
    const std::uint8_t result = compiler::compile(job);
    job.progress = nullptr;
    progress.close();
    if (result != compiler::kCompileOk) {
        return false;
    }
    if (!options.createListFile && !options.createBinFile && !options.createSymFile) {
        return true;
    }
    compiler::OutputChoice choice;
    choice.listing = options.createListFile;
    choice.binary = options.createBinFile;
    choice.symbols = options.createSymFile;
    choice.folder = std::filesystem::path(localBytes(outputFolder));
    if (choice.listing) {
        progress.start(QStringLiteral("Creating List file"), job.header.codeSize);
        // The listing is short work: Cancel is not offered a meaning here.
        choice.listingProgress = [&progress](std::int32_t value) {
            progress.update(value);
            return false;
        };
    }
    const compiler::OutputsWritten outputs = compiler::writeCompileOutputs(job, choice);
    if (choice.listing) {
        progress.close();
    }
    // Every file that could not be written is named; a listing or symbol file is extra information, but
    // a missing binary image ends the command.
    for (const std::string& error : outputs.errors) {
        prompts.showMessage(QString::fromLocal8Bit(error.c_str()), PromptIcon::Error);
    }
    if (choice.binary && !wrote(outputs, ".bin")) {
        return false;
    }
    return true;
}

QString compileErrorText(const compiler::CompileJob& job, const QString& caption) {
    return QStringLiteral("%1:%2:%3: %4")
        .arg(QFileInfo(caption).fileName())
        .arg(job.errorLine)
        .arg(job.errorTokenColumn)
        .arg(QString::fromLatin1(job.errorMessage.c_str()));
}

QString compileResultText(const QString& command, const compiler::CompileJob& job, bool compiled,
                          const QString& caption) {
    if (job.failed()) {
        return QStringLiteral("%1: %2").arg(command, compileErrorText(job, caption));
    }
    if (!compiled) {
        return QStringLiteral("%1: the program image file could not be written").arg(command);
    }
    return QStringLiteral("%1: no errors in %2 (%3 bytes of code)")
        .arg(command, QFileInfo(caption).fileName())
        .arg(job.header.codeSize);
}

QString syntaxCheckCommand(EditorControl& editor, const CompileSource& source,
                           const compiler::CompilerOptions& options, Prompts& prompts,
                           TCompileInfoForm& summary, const std::function<void(const QString&)>& showResult) {
    compiler::CompileJob job = makeCompileJob(source, options);
    const bool ok = runCompileStep(job, options, outputFolderFor(source), prompts);
    const QString result = compileResultText(QStringLiteral("Syntax check"), job, ok, source.caption);
    if (showResult) {
        showResult(result);
    }
    if (ok) {
        summary.showSummary(job.header);
    } else if (job.failed()) {
        reportCompileError(editor, job, source.caption, prompts);
    }
    compiler::releaseJob(job);
    return result;
}

void reportCompileError(EditorControl& editor, const compiler::CompileJob& job, const QString& caption,
                        Prompts& prompts) {
    prompts.showMessage(compileErrorText(job, caption));
    editor.setCaretPosition(job.errorLine, job.errorTokenColumn);
    editor.setFocus();
}

}  // namespace orrery::shell
