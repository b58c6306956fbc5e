#include "utilitiescommands.h"

#include <QAction>
#include <QKeySequence>

#include "compilecommand.h"
#include "datetime.h"
#include "editor.h"
#include "findreplacecommands.h"
#include "gotoline.h"
#include "mainform.h"
#include "printing.h"
#include "prompts.h"

namespace orrery::shell {

EditorCommands::EditorCommands(TMainForm& form, Prompts& prompts)
    : QObject(&form),
      m_form(form),
      m_prompts(prompts),
      m_find(new TFindReplaceForm(&form)),
      m_editOptions(new TEditOptionsForm(&form)),
      m_compileOptions(new TCompileOptionsDialog(&form)),
      m_compileInfo(new TCompileInfoForm(&form)),
      m_status(new TStatusDialog(&form)),
      m_fileExists(new TFileExistsForm(&form)) {
    m_sendToPort = [this](const QByteArray& bytes) {
        if (m_form.ApdComPort1.isOpen()) {
            for (const char byte : bytes) {
                m_form.ApdComPort1.putChar(quint8(byte));
            }
        }
    };
    connect(&form, &TMainForm::settingsLoaded, this, [this] { m_find->loadFrom(m_form.settings().find); });
    connect(&form, &TMainForm::settingsAboutToSave, this, [this] { m_form.settings().find = m_find->section(); });
    connectHandlers();
}

compiler::CompilerOptions EditorCommands::compilerOptions() const {
    return m_form.settings().compile;
}

void EditorCommands::connectHandlers() {
    const MenuActions& items = m_form.actions();
    // Each command acts on the active editor and does nothing without one.
    const auto onEditor = [this](QAction* item, std::function<void(TEditor&)> command) {
        connect(item, &QAction::triggered, this, [this, command] {
            if (TEditor* editor = m_form.activeEditor()) {
                command(*editor);
            }
        });
    };
    onEditor(items.find, [this](TEditor& e) { findCommand(e.control(), *m_find, m_prompts); });
    onEditor(items.findAgain, [this](TEditor& e) { findAgainCommand(e.control(), *m_find, m_prompts); });
    onEditor(items.replace, [this](TEditor& e) { replaceCommand(e.control(), *m_find, m_prompts); });
    onEditor(items.goToLine, [this](TEditor& e) { goToLineCommand(e.control(), m_prompts); });
    onEditor(items.print,
             [this](TEditor& e) { printCommand(e.control(), m_printer, m_prompts, m_printDialog); });
    onEditor(items.syntaxCheck, [this](TEditor&) { syntaxCheck(); });
    connect(items.editorOptions, &QAction::triggered, this, &EditorCommands::editorOptions);
    connect(items.compilerOptions, &QAction::triggered, this, &EditorCommands::compilerOptionsCommand);
    connect(items.pasteDateTime, &QAction::triggered, this, &EditorCommands::pasteDateTimeCommand);

    // The usual editor keys for the search items that have none of their own. They only fire while an
    // editor is active (the items are disabled otherwise), so the terminal still gets these control keys.
    for (const auto& [item, keys] : {std::pair{items.find, "Ctrl+F"}, std::pair{items.replace, "Ctrl+H"},
                                     std::pair{items.goToLine, "Ctrl+G"}}) {
        if (item->shortcut().isEmpty()) {
            item->setShortcut(QKeySequence(QString::fromLatin1(keys)));
        }
    }
    // Shift selects the long form; with the key held the shortcut is Alt+Shift+D.
    items.pasteDateTime->setShortcuts(
        {QKeySequence(QStringLiteral("Alt+D")), QKeySequence(QStringLiteral("Alt+Shift+D"))});
}

void EditorCommands::pasteDateTimeCommand() {
    TEditor* editor = m_form.activeEditor();
    pasteDateTime(editor ? &editor->control() : nullptr, longDateTimeRequested(), m_sendToPort);
}

void EditorCommands::editorOptions() {
    settings::WindowSection& window = m_form.settings().window;
    EditorSettings settings{window.autoIndent, window.tabSize, window.liveCheck};
    QList<EditorControl*> controls;
    for (TEditor* editor : m_form.editors()) {
        controls << &editor->control();
    }
    editorOptionsCommand(*m_editOptions, settings, controls, m_prompts);
    window.autoIndent = settings.autoIndent;
    window.tabSize = settings.tabSize;
    if (window.liveCheck != settings.liveCheck) {
        window.liveCheck = settings.liveCheck;
        for (TEditor* editor : m_form.editors()) {
            editor->setLiveCheckEnabled(window.liveCheck);
        }
    }
}

void EditorCommands::compilerOptionsCommand() {
    compiler::CompilerOptions options = compilerOptions();
    if (m_compileOptions->run(options, m_prompts)) {
        m_form.settings().compile = options;
        emit m_form.compileSettingsChanged();
    }
}

void EditorCommands::syntaxCheck() {
    TEditor* editor = m_form.activeEditor();
    if (!editor) {
        return;
    }
    const CompileSource source{editor->caption(), editor->fileName(), editor->control().text()};
    syntaxCheckCommand(editor->control(), source, compilerOptions(), m_prompts, *m_compileInfo,
                       [this](const QString& result) { m_form.showCommandResult(result); });
}

}  // namespace orrery::shell
