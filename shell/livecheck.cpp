#include "livecheck.h"

#include "compilecommand.h"

namespace orrery::shell {

ErrorMark liveErrorMark(const QString& text, const compiler::CompilerOptions& options) {
    compiler::CompileJob job = makeCompileJob({QString(), QString(), text}, options);
    ErrorMark mark;
    if (compiler::compile(job) != compiler::kCompileOk) {
        mark.line = job.errorLine;
        mark.column = job.errorTokenColumn;
        mark.length = job.errorTokenLength;
        mark.message = QString::fromLatin1(job.errorMessage.c_str());
    }
    compiler::releaseJob(job);
    return mark;
}

LiveCheck::LiveCheck(EditorControl& editor, OptionsSource options)
    : QObject(&editor), m_editor(editor), m_options(std::move(options)) {
    m_pause.setSingleShot(true);
    m_pause.setInterval(kLiveCheckPauseMs);
    connect(&m_pause, &QTimer::timeout, this, &LiveCheck::checkNow);
    // Every change restarts the pause, so a fast typist's text is compiled once, when they stop.
    connect(&editor, &QPlainTextEdit::textChanged, this, [this] {
        if (m_enabled)
            m_pause.start();
    });
}

void LiveCheck::setEnabled(bool on) {
    m_enabled = on;
    m_pause.stop();
    if (on) {
        checkNow();
    } else {
        m_editor.setErrorMark({});
    }
}

void LiveCheck::checkNow() {
    if (!m_enabled)
        return;
    m_editor.setErrorMark(liveErrorMark(m_editor.text(), m_options()));
}

}  // namespace orrery::shell
