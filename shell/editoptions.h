#pragma once
// "&Editor options...": the tab size and auto-indent given to every editor window, kept as the main
// window's settings ("Window" section) and applied at once to the open editors.

#include <QDialog>
#include <QList>
#include <functional>

class QCheckBox;
class QLineEdit;

namespace orrery {
class EditorControl;
class Prompts;
}  // namespace orrery

namespace orrery::shell {

struct EditorSettings {
    bool autoIndent = false;
    int tabSize = 8;
    bool liveCheck = true;  // underline compile errors while typing
};

inline constexpr int kMaxTabSize = 99;  // the field holds two digits

class TEditOptionsForm : public QDialog {
    Q_OBJECT
public:
    explicit TEditOptionsForm(QWidget* parent = nullptr);

    // Fills the fields from the settings and runs the dialog; true on OK. Tests replace the modal part
    // with setRunner().
    bool run(const EditorSettings& current);
    void setRunner(std::function<bool(TEditOptionsForm&)> runner) { m_runner = std::move(runner); }

    QLineEdit* tabSizeField() const { return m_tabSize; }
    QCheckBox* autoIndentBox() const { return m_autoIndent; }
    QCheckBox* liveCheckBox() const { return m_liveCheck; }

private:
    QLineEdit* m_tabSize;
    QCheckBox* m_autoIndent;
    QCheckBox* m_liveCheck;
    std::function<bool(TEditOptionsForm&)> m_runner;
};

// Runs the dialog; on OK stores the values in settings and applies the tab size and auto indent to
// every editor (the caller applies the live check, which belongs to the editor windows). A tab size
// that is not a number keeps the new check box choices as the settings but applies nothing.
void editorOptionsCommand(TEditOptionsForm& form, EditorSettings& settings, const QList<EditorControl*>& editors,
                          Prompts& prompts);

}  // namespace orrery::shell
