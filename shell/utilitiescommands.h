#pragma once
// The editor-side commands of the main window's menus: Find, Find again, Replace, Go to line, Paste
// date/time, Print, Editor options, Compiler options and Syntax check. It owns their dialogs (created
// once, reused for the whole run) and the shared status dialog, and connects itself to the main
// window's items by name. The find dialog's histories and defaults travel with the main window's
// settings load and save.

#include <QObject>
#include <QPrinter>
#include <functional>

#include "compileinfo.h"
#include "compileoptions.h"
#include "editoptions.h"
#include "findreplace.h"
#include "printing.h"
#include "statusform.h"

namespace orrery {
class Prompts;
class TMainForm;
}  // namespace orrery

namespace orrery::shell {

// Create it with new: the main window owns it and its dialogs.
class EditorCommands : public QObject {
    Q_OBJECT
public:
    EditorCommands(TMainForm& form, Prompts& prompts);

    // Where Paste date/time sends its text when no editor is active (the terminal's port); by default
    // the main window's port when it is open.
    void setPortSender(std::function<void(const QByteArray&)> sender) { m_sendToPort = std::move(sender); }
    // Replaces the print dialog, for tests.
    void setPrintDialogRunner(PrintDialogRunner runner) { m_printDialog = std::move(runner); }

    TFindReplaceForm& findForm() { return *m_find; }
    TEditOptionsForm& editOptionsForm() { return *m_editOptions; }
    TCompileOptionsDialog& compileOptionsDialog() { return *m_compileOptions; }
    TCompileInfoForm& compileInfoForm() { return *m_compileInfo; }
    TStatusDialog& statusDialog() { return *m_status; }
    QPrinter& printer() { return m_printer; }
    compiler::CompilerOptions compilerOptions() const;

private:
    void connectHandlers();
    void pasteDateTimeCommand();
    void editorOptions();
    void compilerOptionsCommand();
    void syntaxCheck();

    TMainForm& m_form;
    Prompts& m_prompts;
    TFindReplaceForm* m_find;
    TEditOptionsForm* m_editOptions;
    TCompileOptionsDialog* m_compileOptions;
    TCompileInfoForm* m_compileInfo;
    TStatusDialog* m_status;
    QPrinter m_printer{QPrinter::HighResolution};
    PrintDialogRunner m_printDialog;
    std::function<void(const QByteArray&)> m_sendToPort;
};

}  // namespace orrery::shell
