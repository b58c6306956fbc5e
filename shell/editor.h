#pragma once
// TEditor: the MDI child that edits one source file.
//
// Its caption is the file's full path, or NONAME followed by a number for a new file; the main window
// finds an already open file by that caption. Saving writes a temporary file beside the target and
// renames it over the target, so a failed save (full disk, no permission) leaves the old file intact and
// the window still modified. Closing a modified window asks "%s has changed, do you wish to save?"; the
// window closes only when the text was saved or the user chose not to save.

#include <QWidget>
#include <functional>

#include "editorcontrol.h"
#include "livecheck.h"

class QLabel;
class QStatusBar;

namespace orrery {

class Prompts;

class TEditor : public QWidget {
    Q_OBJECT
public:
    // save is the main window's Save for this editor (Save As for an untitled one); it returns whether
    // the text reached a file.
    using SaveHandler = std::function<bool(TEditor&)>;

    explicit TEditor(Prompts& prompts, QWidget* parent = nullptr);

    EditorControl& control() { return *m_control; }
    const EditorControl& control() const { return *m_control; }

    QString caption() const { return windowTitle(); }
    void setCaption(const QString& caption) { setWindowTitle(caption); }
    // Empty for a file never saved.
    QString fileName() const { return m_fileName; }
    void setFileName(const QString& name) { m_fileName = name; }
    bool isModified() const { return m_control->isModified(); }

    // Both return false with a reason the user can act on ("Permission denied", ...).
    bool loadFromFile(const QString& path, QString& error);
    bool saveToFile(const QString& path, QString& error);

    void setSaveHandler(SaveHandler handler) { m_save = std::move(handler); }
    // The close question; true when the window may close. Cancel also calls cancelled().
    bool closeQuery();
    // Set when the question was already asked for this close (the main window asks all editors first).
    void setCloseApproved(bool approved) { m_closeApproved = approved; }

    // The texts of the three status panels: line, column, "Insert"/"Overwrite".
    QStringList statusTexts() const;
    // The live check's message, shown beside the panels while the caret is on the error's line.
    QString errorStatusText() const;

    // Checking while typing, with the compiler options options() gives at each check.
    void setLiveCheck(bool on, shell::LiveCheck::OptionsSource options);
    void setLiveCheckEnabled(bool on);

signals:
    // The user cancelled closing: an Exit in progress stops.
    void closeCancelled();

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void refreshStatus(int line, int column, bool overwrite);
    void refreshErrorStatus();

    Prompts& m_prompts;
    EditorControl* m_control = nullptr;
    QStatusBar* m_statusBar = nullptr;
    QLabel* m_linePanel = nullptr;
    QLabel* m_columnPanel = nullptr;
    QLabel* m_modePanel = nullptr;
    QLabel* m_errorPanel = nullptr;
    shell::LiveCheck* m_liveCheck = nullptr;
    SaveHandler m_save;
    QString m_fileName;
    bool m_crlf = true;
    bool m_latin1 = false;
    bool m_closeApproved = false;
};

}  // namespace orrery
