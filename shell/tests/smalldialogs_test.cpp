#include <gtest/gtest.h>

#include <QButtonGroup>
#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QTimer>

#include "editoptions.h"
#include "editorcontrol.h"
#include "fileexists.h"
#include "gotoline.h"
#include "pathshort.h"
#include "qstringprint.h"
#include "scriptedprompts.h"
#include "statusform.h"

using namespace orrery;
using namespace orrery::shell;

namespace {

TEST(StatusDialog, GaugeAndLabelInBothModes) {
    const struct {
        bool wrap;
        qint64 maximum;
        qint64 count;
        int gauge;
        bool percentShown;
    } cases[] = {
        {true, 1024, 1025, 1, false},  {true, 1024, 1024, 0, false}, {true, 1024, 5, 5, false},
        {false, 1024, 1025, 1024, true}, {false, 1024, 512, 512, true}, {true, 0, 7, 0, false},
        {false, 0, 7, 0, true},
    };
    TStatusDialog dialog;
    for (const auto& c : cases) {
        dialog.start("Tokenizing File", c.maximum, c.wrap);
        EXPECT_EQ(dialog.windowTitle(), "Tokenizing File");
        EXPECT_EQ(dialog.countLabel()->text(), "0");
        EXPECT_FALSE(dialog.update(c.count));
        EXPECT_EQ(dialog.countLabel()->text(), QString::number(c.count));
        EXPECT_EQ(dialog.gauge()->value(), c.gauge) << c.wrap << " " << c.maximum << " " << c.count;
        EXPECT_EQ(dialog.gauge()->isTextVisible(), c.percentShown);
        dialog.close();
        EXPECT_FALSE(dialog.isVisible());
    }
}

TEST(StatusDialog, AddAdvancesAndCancelIsReportedUntilTheNextStart) {
    TStatusDialog dialog;
    dialog.start("Sending", 100, false);
    EXPECT_TRUE(dialog.isVisible());
    EXPECT_FALSE(dialog.add(30));
    EXPECT_FALSE(dialog.add(30));
    EXPECT_EQ(dialog.countLabel()->text(), "60");
    EXPECT_EQ(dialog.gauge()->value(), 60);
    dialog.cancelButton()->click();
    EXPECT_TRUE(dialog.poll());
    EXPECT_TRUE(dialog.add(1));
    EXPECT_TRUE(progressCallback(dialog)(5));
    dialog.start("Again", 10, true);
    EXPECT_FALSE(dialog.poll());
}

TEST(StatusDialog, CancelPressedWhileWorkPollsIsSeen) {
    TStatusDialog dialog;
    dialog.start("Offload", 1000, true);
    // The click arrives through the event loop, as a user's would, while the "work" keeps polling.
    QTimer::singleShot(0, dialog.cancelButton(), &QPushButton::click);
    bool cancelled = false;
    for (int i = 0; i < 100 && !cancelled; ++i) {
        cancelled = dialog.update(i);
    }
    EXPECT_TRUE(cancelled);
}

TEST(GoToLine, ClampsAndReportsBadNumbers) {
    const struct {
        const char* typed;
        int line;
        QStringList messages;
    } cases[] = {
        {"3", 3, {}},
        {"0", 1, {}},
        {"-7", 1, {}},
        {"99", 5, {}},
        {" 2 ", 2, {}},
        {"abc", 4, {"'abc' is not a valid integer value"}},
        {"", 4, {"'' is not a valid integer value"}},
    };
    for (const auto& c : cases) {
        EditorControl editor;
        editor.setText("1\n2\n3\n4\n5");
        editor.setCaretPosition(4, 2);
        ScriptedPrompts prompts;
        prompts.answerText(c.typed);
        goToLineCommand(editor, prompts);
        EXPECT_EQ(editor.caretLine(), c.line) << c.typed;
        EXPECT_EQ(editor.caretColumn(), c.messages.isEmpty() ? 1 : 2) << c.typed;
        EXPECT_EQ(prompts.messages(), c.messages) << c.typed;
        ASSERT_FALSE(prompts.events().isEmpty());
        EXPECT_EQ(prompts.events().first().caption, "Go To Line");
    }
}

TEST(GoToLine, OffersTheLineCountAndCancelChangesNothing) {
    EditorControl editor;
    editor.setText("a\nb\nc");
    editor.setCaretPosition(2, 2);
    ScriptedPrompts prompts;
    prompts.answerCancel();
    goToLineCommand(editor, prompts);
    EXPECT_EQ(editor.caretLine(), 2);
    EXPECT_EQ(editor.caretColumn(), 2);
    ASSERT_EQ(prompts.events().size(), 1);
    EXPECT_EQ(prompts.events().first().text, "Go to line: ");
}

TEST(PathShortening, CutsTheMiddleOfTheFolder) {
    const QString dir48 = "/aaaaaaaaa/bbbbbbbbbb/cccccccccc/dddddddddd/eee/";
    const QString name12 = "PROGRAM1.qob";
    ASSERT_EQ(dir48.size(), 48);
    const QString path60 = dir48 + name12;
    const struct {
        QString text;
        int limit;
        QString expected;
    } cases[] = {
        {path60, 40, dir48.left(12) + "..." + dir48.right(13) + name12},
        {path60, 60, path60},
        {path60, 61, path60},
        {path60, 59, dir48.left(22) + "..." + dir48.right(23) + name12},
        {path60, 16, "..." + name12},                          // k = 0
        {path60, 17, dir48.left(1) + "..." + dir48.right(2) + name12},  // k = 1
        {path60, 18, dir48.left(1) + "..." + dir48.right(2) + name12},
        {path60, 19, dir48.left(2) + "..." + dir48.right(3) + name12},
        {path60, 5, "..." + name12},
        {path60, -3, "..." + name12},
        {"C:\\data\\logs\\site\\READINGS.DAT", 25, "C:\\da...\\site\\READINGS.DAT"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(shortenPath(c.text, c.limit), c.expected) << c.limit;
    }
    EXPECT_EQ(shortenPath(path60, 40).size(), 40);
}

TEST(PathShortening, FittingStopsWhenNothingIsLeftToCut) {
    const QString path = "/very/long/folder/name/here/averyveryverylongfilename.qob";
    // 28 folder + 29 name characters: limit 40 gives k = 4 and 41 characters, limit 39 the first fit.
    EXPECT_EQ(shortenPathToFit(path, [](const QString& t) { return t.size() <= 40; }),
              "/ve...ere/averyveryverylongfilename.qob");
    EXPECT_EQ(shortenPathToFit(path, [](const QString& t) { return t.size() <= 100; }), path);
    // Nothing fits: the loop ends with the shortest form instead of running forever.
    EXPECT_EQ(shortenPathToFit(path, [](const QString&) { return false; }), "...averyveryverylongfilename.qob");
}

TEST(FileExistsForm, MapsTheChoiceToItsAction) {
    const struct {
        int preselected;
        int clicked;  // -1: leave as preselected
        bool ok;
        FileExistsAction action;
        int index;
    } cases[] = {
        {0, -1, true, FileExistsAction::Overwrite, 0}, {0, 1, true, FileExistsAction::Append, 1},
        {1, 2, true, FileExistsAction::MakeBackup, 2}, {2, -1, false, FileExistsAction::Cancel, 2},
    };
    for (const auto& c : cases) {
        TFileExistsForm form;
        form.setRunner([&](TFileExistsForm& f) {
            if (c.clicked >= 0) {
                f.choices()->button(c.clicked)->click();
            }
            return c.ok;
        });
        const FileExistsChoice choice = form.run("/tmp/x.dat", c.preselected);
        EXPECT_EQ(choice.action, c.action) << c.preselected << "," << c.clicked;
        EXPECT_EQ(choice.index, c.index);
    }
    EXPECT_EQ(actionForIndex(-1), FileExistsAction::Cancel);
}

TEST(FileExistsForm, ShowsALongNameShortenedToTheLabel) {
    TFileExistsForm form;
    form.setRunner([](TFileExistsForm&) { return false; });
    const QString longPath = "/" + QString("folder/").repeated(40) + "DATA.DAT";
    form.run(longPath, 0);
    const QString shown = form.nameLabel()->text();
    EXPECT_LT(shown.size(), longPath.size());
    EXPECT_TRUE(shown.endsWith("/DATA.DAT"));
    EXPECT_TRUE(shown.contains("..."));
    EXPECT_LE(form.nameLabel()->fontMetrics().horizontalAdvance(shown), form.nameLabel()->width());
    form.run("/tmp/short.dat", 0);
    EXPECT_EQ(form.nameLabel()->text(), "/tmp/short.dat");
}

TEST(EditorOptions, AppliesToEveryEditorOrReportsTheField) {
    const struct {
        const char* tab;
        bool autoIndent;
        int storedTab;
        bool applied;
        QStringList messages;
    } cases[] = {
        {"4", true, 4, true, {}},
        {"0", false, 1, true, {}},
        {"x", true, 8, false, {"'x' is not a valid integer value"}},
    };
    for (const auto& c : cases) {
        EditorControl a, b;
        EditorSettings settings;
        TEditOptionsForm form;
        form.setRunner([&](TEditOptionsForm& f) {
            EXPECT_EQ(f.tabSizeField()->text(), "8");
            f.tabSizeField()->setText(c.tab);
            f.autoIndentBox()->setChecked(c.autoIndent);
            return true;
        });
        ScriptedPrompts prompts;
        editorOptionsCommand(form, settings, {&a, &b}, prompts);
        EXPECT_EQ(settings.tabSize, c.storedTab) << c.tab;
        EXPECT_EQ(settings.autoIndent, c.autoIndent) << "the check box is kept even when the tab size is refused";
        for (EditorControl* e : {&a, &b}) {
            EXPECT_EQ(e->tabSize(), c.applied ? c.storedTab : 8) << c.tab;
            EXPECT_EQ(e->autoIndent(), c.applied && c.autoIndent) << c.tab;
        }
        EXPECT_EQ(prompts.messages(), c.messages);
    }
}

}  // namespace
