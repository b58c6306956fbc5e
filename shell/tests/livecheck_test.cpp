// Checking while typing: the workbench started as main() starts it, a program typed into an editor,
// the error underlined after the pause and gone once the text is fixed.
#include <gtest/gtest.h>

#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <memory>

#include "commsettingsform.h"
#include "editor.h"
#include "livecheck.h"
#include "mainform.h"
#include "mainformterminal.h"
#include "pairbackend.h"
#include "qstringprint.h"
#include "scriptedprompts.h"
#include "terminaloptionsform.h"
#include "terminalwin.h"
#include "utilitiescommands.h"
#include "scriptedportdialogs.h"

using namespace orrery;

namespace {

TEST(LiveErrorMark, TheOffendingTokenOrNothing) {
    const struct {
        const char* text;
        ErrorMark mark;
    } cases[] = {
        {"X = 1\n  Total = Total + * I", {2, 19, 1, "parse error"}},
        {"X = 1\nGOTO Far", {2, 6, 3, "\"Far\" : Undefined label reference"}},
        {"Y$ = 5", {1, 7, 0, "mix of numeric and string expr"}},
        {"X = 1\nPRINT X", {}},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(shell::liveErrorMark(c.text, {}), c.mark) << c.text;
    }
}

struct Workbench {
    Workbench() {
        qputenv("ORRERY_SETTINGS", dir.filePath("orrery.ini").toLocal8Bit());
        qputenv("ORRERY_COM1", "/dev/virt1");
        bench->addDevice("/dev/virt1");
        form = std::make_unique<TMainForm>(prompts, portDialogs);
        form->ApdComPort1.setBackendFactory(bench->factory());
        terminal = new terminal::TTerminalForm(form->ApdComPort1, prompts);
        options = new terminal::TTerminalOptionsDialog(form.get());
        attachTerminal(*form, *terminal, *options, prompts,
                       [](terminal::TTerminalOptionsDialog&) { return false; });
        new shell::EditorCommands(*form, prompts);
        QSignalSpy loaded(form.get(), &TMainForm::settingsLoaded);
        form->show();
        EXPECT_TRUE(loaded.count() > 0 || loaded.wait(5000));
    }
    ~Workbench() {
        form->close();
        qunsetenv("ORRERY_SETTINGS");
        qunsetenv("ORRERY_COM1");
    }
    QTemporaryDir dir;
    std::shared_ptr<serial::PairBench> bench = std::make_shared<serial::PairBench>();
    ScriptedPrompts prompts;
    ScriptedPortDialogs portDialogs;
    std::unique_ptr<TMainForm> form;
    terminal::TTerminalForm* terminal = nullptr;
    terminal::TTerminalOptionsDialog* options = nullptr;
};

bool wavyUnderlineOver(const EditorControl& control, const QString& text) {
    for (const QTextEdit::ExtraSelection& s : control.extraSelections()) {
        if (s.format.underlineStyle() == QTextCharFormat::WaveUnderline && s.cursor.selectedText() == text)
            return true;
    }
    return false;
}

TEST(LiveCheck, TypingAnErrorUnderlinesItAndFixingItRemovesTheLine) {
    Workbench workbench;
    const QString path = workbench.dir.filePath("typed.qob");
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("X = 1\r\nTotal = 0\r\n");
    file.close();
    ASSERT_TRUE(workbench.form->openFileByName(path));
    TEditor* editor = workbench.form->activeEditor();
    ASSERT_NE(editor, nullptr);
    EditorControl& control = editor->control();
    control.setFocus();
    control.moveCursor(QTextCursor::End);
    const QStringList messagesBefore = workbench.prompts.messages();  // those of the start-up

    QTest::keyClicks(&control, "Total = Total + * X");
    ASSERT_TRUE(QTest::qWaitFor([&] { return control.errorMark().isSet(); }, 5000));
    EXPECT_EQ(control.errorMark(), (ErrorMark{3, 17, 1, "parse error"}));
    EXPECT_TRUE(wavyUnderlineOver(control, "*"));
    EXPECT_EQ(editor->errorStatusText(), "parse error") << "the caret is on the error's line";
    control.setCaretPosition(1, 1);
    EXPECT_EQ(editor->errorStatusText(), "");
    EXPECT_FALSE(QFile::exists(workbench.dir.filePath("typed.bin")));
    EXPECT_EQ(workbench.prompts.messages(), messagesBefore) << "no dialog while typing";

    control.setCaretPosition(3, 17);
    QTest::keyClick(&control, Qt::Key_Delete);
    ASSERT_TRUE(QTest::qWaitFor([&] { return !control.errorMark().isSet(); }, 5000));
    EXPECT_TRUE(control.extraSelections().isEmpty());
}

}  // namespace
