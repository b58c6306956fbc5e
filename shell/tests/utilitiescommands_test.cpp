// The editor-side commands reached through the main window's menu items, with the main window's
// settings load and save.
#include <gtest/gtest.h>

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>

#include "commsettingsform.h"
#include "editor.h"
#include "mainform.h"
#include "menuitems.h"
#include "pairbackend.h"
#include "qstringprint.h"
#include "scriptedprompts.h"
#include "utilitiescommands.h"
#include "scriptedportdialogs.h"

using namespace orrery;
using namespace orrery::serial;
using namespace orrery::shell;

namespace {

class EditorCommandsTest : public ::testing::Test {
protected:
    void SetUp() override {
        qputenv("ORRERY_SETTINGS", dir.filePath("orrery.ini").toLocal8Bit());
        qputenv("ORRERY_COM1", "/dev/virt1");
        bench->addDevice("/dev/virt1");
        form = std::make_unique<TMainForm>(prompts, dialogs);
        form->ApdComPort1.setBackendFactory(bench->factory());
        form->setSettingsContext({dir.path() + "/", QRect(0, 0, 1280, 1024), QRect(0, 0, 800, 600)});
        commands = new EditorCommands(*form, prompts);
        commands->setPortSender([this](const QByteArray& bytes) { sent += bytes; });
        QFile store(dir.filePath("orrery.ini"));
        ASSERT_TRUE(store.open(QIODevice::WriteOnly));
        store.write(storeText);
        store.close();
        form->FormShow();
    }
    void TearDown() override {
        form.reset();
        qunsetenv("ORRERY_COM1");
        qunsetenv("ORRERY_SETTINGS");
    }
    TEditor* open(const QString& name, const QByteArray& content) {
        const QString path = dir.filePath(name);
        QFile f(path);
        f.open(QIODevice::WriteOnly);
        f.write(content);
        f.close();
        EXPECT_TRUE(form->openFileByName(path));
        return form->activeEditor();
    }
    void trigger(MenuItem item) {
        QAction* action = form->actions().*item;
        ASSERT_TRUE(action->isEnabled()) << action->objectName().toStdString();
        action->trigger();
    }

    QByteArray storeText = "[Program]\nVersion=414\n[Ports]\nComNum=COM1\n[Find]\nNumFindStrings=1\nFindString00=GOTO\n";
    QTemporaryDir dir;
    std::shared_ptr<PairBench> bench = std::make_shared<PairBench>();
    ScriptedPrompts prompts;
    ScriptedPortDialogs dialogs;
    std::unique_ptr<TMainForm> form;
    EditorCommands* commands = nullptr;
    QByteArray sent;
};

TEST_F(EditorCommandsTest, SyntaxCheckShowsTheSummaryOrTheError) {
    QStringList shown;
    commands->compileInfoForm().setRunner([&](TCompileInfoForm& f) {
        shown << f.ProgramSizeLabel->text() + "/" + f.HeaderSizeLabel->text() + "/" + f.VariablesSizeLabel->text();
    });
    open("good.qob", "MODEL 700\r\nX = 1\r\nY=2\r\nZ=X+Y\r\n");
    trigger(&MenuActions::syntaxCheck);
    EXPECT_EQ(shown, QStringList{"44/82/12"});
    EXPECT_TRUE(prompts.messages().isEmpty());
    EXPECT_EQ(form->lastCommandResult(), "Syntax check: no errors in good.qob (44 bytes of code)");

    TEditor* bad = open("bad.qob", "MODEL 700\r\nX = 1\r\n  Y = = 2\r\n");
    trigger(&MenuActions::syntaxCheck);
    EXPECT_EQ(shown.size(), 1);
    EXPECT_EQ(prompts.messages(), QStringList{"bad.qob:3:7: parse error"});
    EXPECT_EQ(bad->control().caretLine(), 3);
    EXPECT_EQ(bad->control().caretColumn(), 7);
    EXPECT_EQ(form->lastCommandResult(), "Syntax check: bad.qob:3:7: parse error");
    EXPECT_EQ(prompts.scriptedProgress().captions, (QStringList{"Tokenizing File", "Tokenizing File"}));
}

TEST_F(EditorCommandsTest, CompilerOptionsReachTheCompileAndTheStore) {
    commands->compileOptionsDialog().setRunner([](TCompileOptionsDialog& d) {
        d.createListFileBox()->setChecked(true);
        d.maxLabelsField()->setText("500");
        return true;
    });
    trigger(&MenuActions::compilerOptions);
    EXPECT_TRUE(commands->compilerOptions().createListFile);
    EXPECT_EQ(commands->compilerOptions().maxLabels, 500);

    commands->compileInfoForm().setRunner([](TCompileInfoForm&) {});
    open("listed.qob", "X = 1\r\n");
    trigger(&MenuActions::syntaxCheck);
    EXPECT_TRUE(QFile::exists(dir.filePath("listed.lst")));

    form->saveSettingsNow();
    QSettings store(dir.filePath("orrery.ini"), QSettings::IniFormat);
    EXPECT_EQ(store.value("Compile/CreateListFile").toString(), "1");
    EXPECT_EQ(store.value("Compile/MaxLabels").toString(), "500");
}

TEST_F(EditorCommandsTest, FindUsesTheStoredHistoryAndSavesItBack) {
    TEditor* editor = open("loop.qob", "X = 1\r\nGOTO top\r\n");
    commands->findForm().setRunner([](TFindReplaceForm& f) {
        EXPECT_EQ(f.findCombo()->currentText(), "GOTO");
        f.findCombo()->setEditText("top");
        f.findButton()->click();
        return true;
    });
    trigger(&MenuActions::find);
    EXPECT_EQ(editor->control().textCursor().selectedText(), "top");
    EXPECT_EQ(editor->control().caretLine(), 2);
    trigger(&MenuActions::findAgain);
    EXPECT_EQ(prompts.messages(), QStringList{"Text not found"});

    form->saveSettingsNow();
    QSettings store(dir.filePath("orrery.ini"), QSettings::IniFormat);
    EXPECT_EQ(store.value("Find/NumFindStrings").toString(), "2");
    EXPECT_EQ(store.value("Find/FindString00").toString(), "top");
    EXPECT_EQ(store.value("Find/FindString01").toString(), "GOTO");
}

TEST_F(EditorCommandsTest, EditorOptionsApplyToOpenEditorsAndTheWindowSettings) {
    TEditor* a = open("a.qob", "x\r\n");
    TEditor* b = open("b.qob", "y\r\n");
    // "x" alone is a compile error, which the check while typing (on by default) underlines.
    ASSERT_TRUE(QTest::qWaitFor([&] { return a->control().errorMark().isSet(); }, 5000));
    commands->editOptionsForm().setRunner([](TEditOptionsForm& f) {
        EXPECT_TRUE(f.liveCheckBox()->isChecked());
        f.tabSizeField()->setText("3");
        f.autoIndentBox()->setChecked(true);
        f.liveCheckBox()->setChecked(false);
        return true;
    });
    trigger(&MenuActions::editorOptions);
    for (TEditor* e : {a, b}) {
        EXPECT_EQ(e->control().tabSize(), 3);
        EXPECT_TRUE(e->control().autoIndent());
        EXPECT_FALSE(e->control().errorMark().isSet()) << "no underline with the check off";
    }
    EXPECT_EQ(form->settings().window.tabSize, 3);
    EXPECT_TRUE(form->settings().window.autoIndent);
    EXPECT_FALSE(form->settings().window.liveCheck);
}

TEST_F(EditorCommandsTest, GoToLineAndPasteDateTimeGoToTheEditorOrThePort) {
    TEditor* editor = open("lines.qob", "a\r\nb\r\nc\r\n");
    prompts.answerText("2");
    trigger(&MenuActions::goToLine);
    EXPECT_EQ(editor->control().caretLine(), 2);
    trigger(&MenuActions::pasteDateTime);
    EXPECT_EQ(editor->control().lineText(2).size(), QString("12/08/2026 14:05:09b").size());
    EXPECT_TRUE(sent.isEmpty());

    prompts.answerButton("No");  // do not save the pasted text
    trigger(&MenuActions::close);
    EXPECT_EQ(prompts.questions().size(), 1);
    ASSERT_EQ(form->activeEditor(), nullptr);
    emit form->actions().pasteDateTime->triggered();
    EXPECT_EQ(sent.size(), QByteArray("12/08/2026 14:05:09").size());
    EXPECT_TRUE(form->actions().pasteDateTime->shortcuts().contains(QKeySequence("Alt+Shift+D")));
}

TEST_F(EditorCommandsTest, EditorItemsHaveKeysAndDoNothingWithoutAnEditor) {
    const struct {
        const char* item;
        const char* keys;
    } cases[] = {{"Find1", "Ctrl+F"}, {"Findagain1", "F3"}, {"Replace1", "Ctrl+H"}, {"Gotoline1", "Ctrl+G"},
                 {"Syntaxcheck1", "Alt+Y"}};
    for (const auto& c : cases) {
        EXPECT_EQ(menuItem(*form, c.item)->shortcut(), QKeySequence(c.keys)) << c.item;
        emit menuItem(*form, c.item)->triggered();
    }
    EXPECT_TRUE(prompts.events().isEmpty());
    EXPECT_TRUE(prompts.scriptedProgress().captions.isEmpty());
    open("x.qob", "x\r\n");
    for (const auto& c : cases) {
        EXPECT_TRUE(menuItem(*form, c.item)->isEnabled()) << c.item << " with an editor";
    }
}

}  // namespace
