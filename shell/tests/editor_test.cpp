// The editor window's file handling and close question.
#include <gtest/gtest.h>

#include <QFile>
#include <QLabel>
#include <QTemporaryDir>

#include "editor.h"
#include "scriptedprompts.h"

using namespace orrery;

namespace {

QByteArray readAll(const QString& path) {
    QFile f(path);
    f.open(QIODevice::ReadOnly);
    return f.readAll();
}

void writeAll(const QString& path, const QByteArray& bytes) {
    QFile f(path);
    f.open(QIODevice::WriteOnly);
    f.write(bytes);
}

TEST(Editor, FilesComeBackAsTheyWentInUnlessEdited) {
    const struct {
        const char* what;
        QByteArray bytes;
        QString text;  // as the editor shows it
    } cases[] = {
        {"CR LF lines", "10 PRINT 1\r\n20 END\r\n", "10 PRINT 1\n20 END\n"},
        {"LF lines stay LF", "a\nb\n", "a\nb\n"},
        {"8-bit text", "PRINT \"\xb0" "C\"\r\n", QString::fromLatin1("PRINT \"\xb0" "C\"\n")},
        {"UTF-8 text", "PRINT \"\xc2\xb0" "C\"\r\n", QString::fromUtf8("PRINT \"\xc2\xb0" "C\"\n")},
        {"empty file", "", ""},
    };
    QTemporaryDir dir;
    for (const auto& c : cases) {
        ScriptedPrompts prompts;
        TEditor editor(prompts);
        const QString in = dir.filePath("in.qob");
        const QString out = dir.filePath("out.qob");
        writeAll(in, c.bytes);
        QString error;
        ASSERT_TRUE(editor.loadFromFile(in, error)) << c.what;
        EXPECT_EQ(editor.control().text(), c.text) << c.what;
        EXPECT_FALSE(editor.isModified()) << c.what;
        ASSERT_TRUE(editor.saveToFile(out, error)) << c.what;
        EXPECT_EQ(readAll(out), c.bytes) << c.what;
    }
}

TEST(Editor, ACharacterOutside8BitTurnsTheFileIntoUtf8) {
    QTemporaryDir dir;
    ScriptedPrompts prompts;
    TEditor editor(prompts);
    const QString path = dir.filePath("x.qob");
    writeAll(path, "\xb0\r\n");
    QString error;
    ASSERT_TRUE(editor.loadFromFile(path, error));
    editor.control().insertPlainText(QString::fromUtf8("\xe2\x82\xac"));  // the euro sign
    ASSERT_TRUE(editor.saveToFile(path, error));
    EXPECT_EQ(QString::fromUtf8(readAll(path)), QString::fromUtf8("\xe2\x82\xac\xc2\xb0\r\n"));
}

TEST(Editor, UnreadableAndUnwritableFilesGiveReasons) {
    QTemporaryDir dir;
    ScriptedPrompts prompts;
    TEditor editor(prompts);
    QString error;
    EXPECT_FALSE(editor.loadFromFile(dir.filePath("absent.qob"), error));
    EXPECT_FALSE(error.isEmpty());
    error.clear();
    editor.control().insertPlainText("text");
    EXPECT_FALSE(editor.saveToFile(dir.filePath("no/dir/x.qob"), error));
    EXPECT_FALSE(error.isEmpty());
    EXPECT_TRUE(editor.isModified());
    EXPECT_TRUE(QDir(dir.path()).entryList(QDir::Files).isEmpty()) << "no temporary file is left";
}

TEST(Editor, CloseQuestionAnswers) {
    const struct {
        const char* what;
        const char* answer;
        bool saveSucceeds;
        bool mayClose;
        int saves;
        bool cancelled;
    } cases[] = {
        {"Yes and saved", "Yes", true, true, 1, false},
        {"Yes but not saved", "Yes", false, false, 1, true},
        {"No", "No", true, true, 0, false},
        {"Cancel", "Cancel", true, false, 0, true},
    };
    for (const auto& c : cases) {
        ScriptedPrompts prompts;
        TEditor editor(prompts);
        editor.setCaption("/src/prog.qob");
        editor.control().insertPlainText("changed");
        int saves = 0;
        editor.setSaveHandler([&](TEditor&) {
            ++saves;
            return c.saveSucceeds;
        });
        int cancelled = 0;
        QObject::connect(&editor, &TEditor::closeCancelled, [&] { ++cancelled; });
        prompts.answerButton(c.answer);
        EXPECT_EQ(editor.closeQuery(), c.mayClose) << c.what;
        EXPECT_EQ(prompts.questions(), QStringList{"/src/prog.qob has changed, do you wish to save?"}) << c.what;
        EXPECT_EQ(saves, c.saves) << c.what;
        EXPECT_EQ(cancelled > 0, c.cancelled) << c.what;
    }
}

TEST(Editor, UnmodifiedCloseAsksNothing) {
    ScriptedPrompts prompts;
    TEditor editor(prompts);
    EXPECT_TRUE(editor.closeQuery());
    EXPECT_TRUE(prompts.events().isEmpty());
}

TEST(Editor, StatusPanelsFollowTheCaretAndMode) {
    ScriptedPrompts prompts;
    TEditor editor(prompts);
    editor.control().setText("first\nsecond line\n");
    editor.control().setCaretPosition(2, 4);
    EXPECT_EQ(editor.statusTexts(), (QStringList{"2", "4", "Insert"}));
    editor.control().setOverwrite(true);
    EXPECT_EQ(editor.statusTexts().at(2), "Overwrite");
}

// Each status panel shows its whole text: a cut "Overwr" or a line number losing digits misleads.
TEST(Editor, StatusPanelsAreWideEnoughForTheirTexts) {
    ScriptedPrompts prompts;
    TEditor editor(prompts);
    editor.control().setText(QString("x\n").repeated(12345));
    editor.control().setCaretPosition(12345, 1);
    editor.control().setOverwrite(true);
    int checked = 0;
    for (QLabel* panel : editor.findChildren<QLabel*>()) {
        const int needed = panel->fontMetrics().horizontalAdvance(panel->text()) + 2 * panel->frameWidth();
        EXPECT_GE(panel->width(), needed) << panel->text().toStdString();
        ++checked;
    }
    EXPECT_EQ(checked, 4) << "line, column, mode and the live check's message";
}

}  // namespace
