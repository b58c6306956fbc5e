#pragma once
// Checking while typing: after a pause in typing the editor's text is compiled in memory, exactly as
// Syntax check compiles it but without writing any file or showing any dialog, and the first error is
// underlined in the editor (EditorControl::setErrorMark). A text that compiles clears the mark.

#include <QObject>
#include <QTimer>
#include <functional>

#include "compiler.h"
#include "editorcontrol.h"

namespace orrery::shell {

inline constexpr int kLiveCheckPauseMs = 300;

// The mark for the first compile error of text, or no mark when it compiles.
ErrorMark liveErrorMark(const QString& text, const compiler::CompilerOptions& options);

class LiveCheck : public QObject {
    Q_OBJECT
public:
    using OptionsSource = std::function<compiler::CompilerOptions()>;

    LiveCheck(EditorControl& editor, OptionsSource options);

    // Off stops the checks and removes the mark; on checks the text at once.
    void setEnabled(bool on);
    bool isEnabled() const { return m_enabled; }
    void checkNow();

private:
    EditorControl& m_editor;
    OptionsSource m_options;
    QTimer m_pause;
    bool m_enabled = false;
};

}  // namespace orrery::shell
