#include <gtest/gtest.h>

#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QSettings>
#include <QTemporaryDir>
#include <QTest>

#include "editorcontrol.h"
#include "findreplace.h"
#include "findreplacecommands.h"
#include "qstringprint.h"
#include "scriptedprompts.h"
#include "settings.h"

using namespace orrery;
using namespace orrery::shell;

namespace {

struct Dialog {
    QString find;
    QString replace;
    FindReplaceChecks checks;
};

// Answers the dialog the way a user would: type the texts, set the boxes, press "Find".
void scriptDialog(TFindReplaceForm& form, const Dialog& d) {
    form.setRunner([d](TFindReplaceForm& f) {
        f.findCombo()->setEditText(d.find);
        f.replaceCombo()->setEditText(d.replace);
        f.setChecks(d.checks);
        f.findButton()->click();
        return f.result() == QDialog::Accepted;
    });
}

FindReplaceChecks checks(bool startAtTop, bool wrap, bool prompt, bool all) {
    FindReplaceChecks c;
    c.startAtTop = startAtTop;
    c.wrapAround = wrap;
    c.promptOnReplace = prompt;
    c.replaceAll = all;
    return c;
}

void answer(ScriptedPrompts& prompts, const QStringList& buttons) {
    for (const QString& b : buttons) {
        prompts.answerButton(b);
    }
}

TEST(FindCommand, FindsOrSaysTextNotFound) {
    const struct {
        const char* text;
        int caretColumn;
        const char* find;
        FindReplaceChecks checks;
        int selectedFrom;  // -1: nothing selected
        QStringList messages;
    } cases[] = {
        {"abc xyz", 1, "xyz", checks(false, false, true, false), 4, {}},
        {"xyz abc", 5, "xyz", checks(false, false, true, false), -1, {"Text not found"}},
        {"xyz abc", 5, "xyz", checks(false, true, true, false), 0, {}},
        {"xyz abc", 5, "xyz", checks(true, false, true, false), 0, {}},
        {"xyz abc", 1, "nope", checks(false, true, true, false), -1, {"Text not found"}},
        {"a\tb ab", 1, "a\xc2\xbb" "b", checks(false, false, true, false), 0, {}},
    };
    for (const auto& c : cases) {
        EditorControl editor;
        editor.setText(QString::fromUtf8(c.text));
        editor.setCaretPosition(1, c.caretColumn);
        TFindReplaceForm form;
        ScriptedPrompts prompts;
        scriptDialog(form, {QString::fromUtf8(c.find), {}, c.checks});
        findCommand(editor, form, prompts);
        EXPECT_EQ(prompts.messages(), c.messages) << c.text << " / " << c.find;
        EXPECT_EQ(editor.hasSelection() ? editor.textCursor().selectionStart() : -1, c.selectedFrom) << c.text;
    }
}

TEST(FindCommand, CancelledDialogDoesNothing) {
    EditorControl editor;
    editor.setText("abc");
    TFindReplaceForm form;
    ScriptedPrompts prompts;
    form.setRunner([](TFindReplaceForm&) { return false; });
    findCommand(editor, form, prompts);
    replaceCommand(editor, form, prompts);
    EXPECT_TRUE(prompts.events().isEmpty());
    EXPECT_EQ(editor.text(), "abc");
}

TEST(ReplaceCommand, EveryPathWithItsMessage) {
    const struct {
        const char* name;
        const char* text;
        int caretColumn;
        FindReplaceChecks checks;
        QStringList answers;
        const char* after;
        QStringList messages;
        int questions;
    } cases[] = {
        {"no prompt, all, three matches", "a b a b a", 1, checks(true, false, false, true), {}, "x b x b x",
         {"3 replacements made"}, 0},
        {"no prompt, all, from the caret", "a b a b a", 3, checks(false, false, false, true), {}, "a b x b x",
         {"2 replacements made"}, 0},
        {"no prompt, all, wrap covers the whole text", "a b a b a", 3, checks(false, true, false, true), {},
         "x b x b x", {"3 replacements made"}, 0},
        {"no prompt, one", "a b a", 1, checks(true, false, false, false), {}, "x b a", {}, 0},
        {"no prompt, not found", "b b", 1, checks(true, true, false, true), {}, "b b", {"Text not found"}, 0},
        {"no prompt, only above the caret", "a b", 3, checks(false, false, false, false), {}, "a b",
         {"Text not found"}, 0},
        {"no prompt, wrap finds it above", "a b", 3, checks(false, true, false, false), {}, "x b", {}, 0},
        {"prompt, all, absent", "b b", 1, checks(true, false, true, true), {}, "b b",
         {"No more instances found"}, 0},
        {"prompt, all, yes no yes", "a a a", 1, checks(true, false, true, true), {"Yes", "No", "Yes"}, "x a x",
         {"No more instances found"}, 3},
        {"prompt, all, cancel", "a a a", 1, checks(true, false, true, true), {"Yes", "Cancel"}, "x a a", {}, 2},
        {"prompt, one, not found", "b", 1, checks(true, false, true, false), {}, "b", {"Text not found"}, 0},
        {"prompt, one, yes", "a a", 1, checks(true, false, true, false), {"Yes"}, "x a", {}, 1},
        {"prompt, one, no", "a a", 1, checks(true, false, true, false), {"No"}, "a a", {}, 1},
        {"prompt, one, cancel", "a a", 1, checks(true, false, true, false), {"Cancel"}, "a a", {}, 1},
    };
    for (const auto& c : cases) {
        EditorControl editor;
        editor.setText(QString::fromUtf8(c.text));
        editor.setCaretPosition(1, c.caretColumn);
        TFindReplaceForm form;
        ScriptedPrompts prompts;
        answer(prompts, c.answers);
        scriptDialog(form, {"a", "x", c.checks});
        replaceCommand(editor, form, prompts);
        EXPECT_EQ(editor.text(), QString::fromUtf8(c.after)) << c.name;
        EXPECT_EQ(prompts.messages(), c.messages) << c.name;
        EXPECT_EQ(prompts.questions().size(), c.questions) << c.name;
        for (const QString& q : prompts.questions()) {
            EXPECT_EQ(q, "Replace this instance?") << c.name;
        }
        EXPECT_TRUE(prompts.unexpected().isEmpty()) << c.name;
        EXPECT_EQ(prompts.pendingAnswers(), 0) << c.name;
    }
}

TEST(ReplaceCommand, TabMarkerStandsForATabInBothTexts) {
    EditorControl editor;
    editor.setText("x\ty x\ty");
    TFindReplaceForm form;
    ScriptedPrompts prompts;
    scriptDialog(form, {QString("x") + kTabMarker + "y", QString("-") + kTabMarker, checks(true, false, false, true)});
    replaceCommand(editor, form, prompts);
    EXPECT_EQ(editor.text(), "-\t -\t");
    EXPECT_EQ(prompts.messages(), QStringList{"2 replacements made"});
}

TEST(FindAgainCommand, ContinuesTheLastFind) {
    const struct {
        bool wrap;
        QList<int> starts;  // selection start after each Find again
        QStringList messages;
    } cases[] = {
        {false, {6, 9, 9}, {"Text not found"}},
        {true, {6, 9, 0}, {}},
    };
    for (const auto& c : cases) {
        EditorControl editor;
        editor.setText("ab ab ab ab");
        TFindReplaceForm form;
        ScriptedPrompts prompts;
        scriptDialog(form, {"ab", {}, checks(true, c.wrap, true, false)});
        findCommand(editor, form, prompts);
        ASSERT_EQ(editor.textCursor().selectionStart(), 0);
        editor.setCaretPosition(1, 5);
        QList<int> starts;
        for (int i = 0; i < 3; ++i) {
            findAgainCommand(editor, form, prompts);
            starts << editor.textCursor().selectionStart();
        }
        EXPECT_EQ(starts, c.starts) << c.wrap;
        EXPECT_EQ(prompts.messages(), c.messages) << c.wrap;
    }
}

TEST(FindAgainCommand, WithNothingSearchedYetAsksWhatToFind) {
    EditorControl editor;
    editor.setText("one two");
    TFindReplaceForm form;
    ScriptedPrompts prompts;
    int dialogs = 0;
    form.setRunner([&](TFindReplaceForm& f) {
        ++dialogs;
        f.findCombo()->setEditText("two");
        f.findButton()->click();
        return true;
    });
    findAgainCommand(editor, form, prompts);
    EXPECT_EQ(dialogs, 1);
    EXPECT_EQ(editor.textCursor().selectedText(), "two");
    EXPECT_TRUE(prompts.messages().isEmpty());
}

TEST(FindAgainCommand, AfterAReplaceWithPromptAsksAgain) {
    EditorControl editor;
    editor.setText("a a a");
    TFindReplaceForm form;
    ScriptedPrompts prompts;
    scriptDialog(form, {"a", "x", checks(true, false, true, false)});
    prompts.answerButton("Yes");
    replaceCommand(editor, form, prompts);
    EXPECT_EQ(editor.text(), "x a a");

    prompts.answerButton("No");
    findAgainCommand(editor, form, prompts);
    EXPECT_EQ(editor.text(), "x a a");
    prompts.answerButton("Yes");
    findAgainCommand(editor, form, prompts);
    EXPECT_EQ(editor.text(), "x a x");
    EXPECT_EQ(prompts.messages(), QStringList{"No more instances found"});
    prompts.answerButton("Cancel");
    findAgainCommand(editor, form, prompts);
    EXPECT_EQ(prompts.questions().size(), 4);
    EXPECT_EQ(prompts.messages().size(), 1);
    EXPECT_TRUE(prompts.unexpected().isEmpty());
}

TEST(FindAgainCommand, AfterAReplaceWithoutPromptReplacesOnUntilTheEnd) {
    EditorControl editor;
    editor.setText("a a a");
    TFindReplaceForm form;
    ScriptedPrompts prompts;
    scriptDialog(form, {"a", "x", checks(true, false, false, false)});
    replaceCommand(editor, form, prompts);
    EXPECT_EQ(editor.text(), "x a a");
    findAgainCommand(editor, form, prompts);
    EXPECT_EQ(editor.text(), "x x a");
    EXPECT_TRUE(prompts.messages().isEmpty());
    findAgainCommand(editor, form, prompts);
    EXPECT_EQ(editor.text(), "x x x");
    EXPECT_EQ(prompts.messages(), QStringList{"No more instances found"});
}

TEST(FindReplaceHistory, KeepsEightMostRecentIgnoringCase) {
    const struct {
        QStringList added;
        QStringList expected;
    } cases[] = {
        {{"a", "b", "c"}, {"c", "b", "a"}},
        {{"1", "2", "3", "4", "5", "6", "7", "8", "9"}, {"9", "8", "7", "6", "5", "4", "3", "2"}},
        {{"Alpha", "beta", "ALPHA"}, {"Alpha", "beta"}},
        {{"x", "", "y"}, {"y", "x"}},
        {{"x", "X"}, {"x"}},
    };
    for (const auto& c : cases) {
        QStringList history;
        for (const QString& s : c.added) {
            addToHistory(history, s);
        }
        EXPECT_EQ(history, c.expected) << c.added.join(',').toStdString();
    }
}

TEST(FindReplaceForm, PreparesFromDefaultsAndHistoryAndKeepsNewDefaults) {
    TFindReplaceForm form;
    scriptDialog(form, {"first", "r1", checks(false, true, false, true)});
    ASSERT_TRUE(form.run(TFindReplaceForm::Mode::Replace));
    EXPECT_EQ(form.defaults(), FindReplaceChecks{}) << "without Use as default the defaults stay";

    form.setRunner([](TFindReplaceForm& f) {
        EXPECT_EQ(f.findCombo()->currentText(), "first");
        EXPECT_EQ(f.replaceCombo()->currentText(), "r1");
        EXPECT_EQ(f.checks(), FindReplaceChecks{});
        EXPECT_FALSE(f.replaceCombo()->isEnabled());
        f.setChecks(checks(false, true, false, true));
        f.useAsDefaultBox()->setChecked(true);
        f.findButton()->click();
        return true;
    });
    ASSERT_TRUE(form.run(TFindReplaceForm::Mode::Find));
    EXPECT_EQ(form.defaults(), checks(false, true, false, true));
    form.prepare(TFindReplaceForm::Mode::Replace);
    EXPECT_FALSE(form.useAsDefaultBox()->isChecked());
    EXPECT_TRUE(form.replaceCombo()->isEnabled());
    EXPECT_EQ(form.checks(), checks(false, true, false, true));
}

// A key typed by the user arrives at the combo box, which has the focus, not at its line edit.
TEST(FindReplaceForm, TabTypedIntoEitherBoxBecomesTheMarkerAndKeepsTheFocus) {
    TFindReplaceForm form;
    form.show();
    form.prepare(TFindReplaceForm::Mode::Replace);
    for (QComboBox* combo : {form.findCombo(), form.replaceCombo()}) {
        combo->lineEdit()->setText("x");
        QTest::keyClick(combo, Qt::Key_Tab);
        QTest::keyClicks(combo, "y");
        EXPECT_EQ(combo->currentText(), QString("x") + kTabMarker + "y");
    }
    EXPECT_EQ(form.searchText(), "x\ty");
    EXPECT_EQ(form.replacementText(), "x\ty");
}

TEST(FindReplaceForm, TabKeyTypesTheMarkerAndChoosingAnEntryMovesItUp) {
    TFindReplaceForm form;
    form.show();
    form.prepare(TFindReplaceForm::Mode::Find);
    QLineEdit* edit = form.findCombo()->lineEdit();
    edit->setText("a");
    QTest::keyClick(edit, Qt::Key_Tab);
    QTest::keyClicks(edit, "b");
    EXPECT_EQ(edit->text(), QString("a") + kTabMarker + "b");
    EXPECT_EQ(form.searchText(), "a\tb");
    QTest::keyClick(edit, Qt::Key_Return);
    EXPECT_EQ(form.result(), QDialog::Accepted);
    EXPECT_EQ(form.findHistory(), QStringList{QString("a") + kTabMarker + "b"});

    for (const char* s : {"one", "two", "three"}) {
        edit->setText(s);
        form.findButton()->click();
    }
    form.prepare(TFindReplaceForm::Mode::Find);
    emit form.findCombo()->activated(2);
    EXPECT_EQ(form.findHistory().first(), "one");
    EXPECT_EQ(form.findCombo()->currentText(), "one");
}

TEST(FindReplaceForm, StoredHistoriesKeepTheHistoryRules) {
    settings::FindSection stored;
    stored.findHistory = {"a", "", "A", "b", "c", "d", "e", "f", "g", "h", "i"};
    TFindReplaceForm form;
    form.loadFrom(stored);
    EXPECT_EQ(form.findHistory(), (QStringList{"a", "b", "c", "d", "e", "f", "g", "h"}));
}

TEST(FindReplaceForm, SettingsRoundTrip) {
    QTemporaryDir dir;
    const QString file = dir.filePath("s.ini");
    {
        QSettings settings(file, QSettings::IniFormat);
        settings.beginGroup("Find");
        settings.setValue("NumFindStrings", "2");
        settings.setValue("FindString00", "alpha");
        settings.setValue("FindString01", "beta");
        settings.setValue("FindString02", "ignored");
        settings.setValue("WrapAround", "1");
        settings.setValue("StartAtTop", "junk");
        settings.endGroup();
    }
    TFindReplaceForm form;
    {
        QSettings settings(file, QSettings::IniFormat);
        form.loadFrom(settings::loadFindSection(settings));
    }
    EXPECT_EQ(form.findHistory(), (QStringList{"alpha", "beta"}));
    EXPECT_TRUE(form.replaceHistory().isEmpty());
    EXPECT_TRUE(form.defaults().wrapAround);
    EXPECT_TRUE(form.defaults().startAtTop) << "an unreadable value takes its default";

    scriptDialog(form, {"gamma", "rep", checks(false, false, false, false)});
    form.run(TFindReplaceForm::Mode::Replace);
    {
        QSettings settings(file, QSettings::IniFormat);
        settings::saveFindSection(settings, form.section());
    }
    QSettings settings(file, QSettings::IniFormat);
    EXPECT_EQ(settings.value("Find/NumFindStrings").toString(), "3");
    EXPECT_EQ(settings.value("Find/FindString00").toString(), "gamma");
    EXPECT_EQ(settings.value("Find/FindString02").toString(), "beta");
    EXPECT_EQ(settings.value("Find/NumReplStrings").toString(), "1");
    EXPECT_EQ(settings.value("Find/ReplaceString00").toString(), "rep");
    EXPECT_EQ(settings.value("Find/StartAtTop").toString(), "1");
    EXPECT_EQ(settings.value("Find/WrapAround").toString(), "1");
    EXPECT_EQ(settings.value("Find/PromptOnReplace").toString(), "1");
    EXPECT_EQ(settings.value("Find/ReplaceAll").toString(), "0");
}

}  // namespace
