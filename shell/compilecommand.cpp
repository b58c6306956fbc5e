#include "compilecommand.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include "compileinfo.h"
#include "editorcontrol.h"
#include "outputfile.h"
#include "prompts.h"

namespace orrery::shell {

namespace {

std::string localBytes(const QString& text) {
    return QFile::encodeName(text).toStdString();
}

// The compile job's progress in the status dialog.
class StatusDialogProgress : public compiler::CompileProgress {
public:
    explicit StatusDialogProgress(Progress& progress) : m_progress(progress) {}
    void begin(compiler::CompilePhase phase, std::int32_t total) override {
        m_progress.start(phase == compiler::CompilePhase::Compiling ? QStringLiteral("Tokenizing File")
                                                                    : QStringLiteral("Creating List file"),
                         total);
    }
    bool step(std::int32_t value) override { return m_progress.update(value); }
    void end() override { m_progress.close(); }

private:
    Progress& m_progress;
};

}  // namespace

QString outputFolderFor(const CompileSource& source) {
    if (source.filePath.isEmpty()) {
        return QDir::currentPath();
    }
    return QFileInfo(source.filePath).absolutePath();
}

compiler::CompileRequest compileRequestFor(const CompileSource& source,
                                           const compiler::CompilerOptions& options) {
    compiler::CompileRequest request;
    request.sourceName = localBytes(QFileInfo(source.caption).fileName());
    request.text = source.text.toLatin1().toStdString();
    request.options = options;
    request.outputFolder = std::filesystem::path(localBytes(outputFolderFor(source)));
    return request;
}

compiler::CompileJob makeCompileJob(const CompileSource& source, const compiler::CompilerOptions& options) {
    return compiler::jobFor(compileRequestFor(source, options));
}

compiler::CompileOutcome runCompileStep(const CompileSource& source, const compiler::CompilerOptions& options,
                                        Prompts& prompts) {
    StatusDialogProgress progress(prompts.progress());
    compiler::CompileRequest request = compileRequestFor(source, options);
    request.progress = &progress;
    compiler::CompileOutcome outcome = compiler::compileProgram(request);
    for (const std::string& error : outcome.outputs.errors) {
        prompts.showMessage(QString::fromLocal8Bit(error.c_str()), PromptIcon::Error);
    }
    return outcome;
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
    compiler::CompileOutcome outcome = runCompileStep(source, options, prompts);
    const QString result =
        compileResultText(QStringLiteral("Syntax check"), outcome.job, outcome.ok(), source.caption);
    if (showResult) {
        showResult(result);
    }
    if (outcome.ok()) {
        summary.showSummary(outcome.job.header);
    } else if (!outcome.compiled()) {
        reportCompileError(editor, outcome.job, source.caption, prompts);
    }
    compiler::releaseJob(outcome.job);
    return result;
}

void reportCompileError(EditorControl& editor, const compiler::CompileJob& job, const QString& caption,
                        Prompts& prompts) {
    prompts.showMessage(compileErrorText(job, caption));
    editor.setCaretPosition(job.errorLine, job.errorTokenColumn);
    editor.setFocus();
}

}  // namespace orrery::shell
