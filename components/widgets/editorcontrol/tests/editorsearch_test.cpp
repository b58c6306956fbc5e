#include <gtest/gtest.h>

#include "qstringprint.h"

#include <QTextDocument>

#include "editorsearch.h"

using namespace orrery;

namespace {

struct Doc {
    explicit Doc(const QString& text, int caret = 0) : document(text), cursor(&document) {
        cursor.setPosition(caret);
    }
    QTextDocument document;
    QTextCursor cursor;
};

TEST(EditorSearch, FindsWithOptions) {
    const struct {
        const char* text;
        int caret;
        const char* find;
        SearchOptions options;
        int expectedStart;  // -1: not found
    } cases[] = {
        {"abc abc", 0, "abc", {}, 0},
        {"abc abc", 1, "abc", {}, 4},
        {"abc abc", 5, "abc", {}, -1},
        {"abc abc", 5, "abc", SearchOption::FromTop, 0},
        {"xABC abc", 0, "abc", {}, 1},
        {"xABC abc", 0, "abc", SearchOption::MatchCase, 5},
        {"xabc abc", 0, "abc", SearchOption::WholeWords, 5},
        {"a\tb", 0, "\t", {}, 1},
        {"abc", 0, "", {}, -1},
        {"one\ntwo", 0, "two", {}, 4},
    };
    for (const auto& c : cases) {
        Doc d(QString::fromUtf8(c.text), c.caret);
        const bool found = searchText(d.cursor, {QString::fromUtf8(c.find), {}, c.options, {}});
        EXPECT_EQ(found ? d.cursor.selectionStart() : -1, c.expectedStart) << c.text << " / " << c.find;
        if (found) {
            EXPECT_EQ(d.cursor.selectionEnd() - d.cursor.selectionStart(), int(strlen(c.find)));
        }
    }
}

TEST(EditorSearch, RepeatedSearchMovesOnFromTheSelectedMatch) {
    Doc d("aa aa aa");
    const SearchRequest r{"aa", {}, {}, {}};
    QList<int> starts;
    while (searchText(d.cursor, r)) {
        starts << d.cursor.selectionStart();
    }
    EXPECT_EQ(starts, (QList<int>{0, 3, 6}));
}

TEST(EditorSearch, SelectedOnlyStaysInsideTheScope) {
    Doc d("ab ab ab ab");
    QTextCursor scope(&d.document);
    scope.setPosition(3);
    scope.setPosition(8, QTextCursor::KeepAnchor);  // "ab ab"
    d.cursor.setPosition(3);
    const SearchRequest r{"ab", "X", SearchOption::SelectedOnly, scope};
    QList<int> starts;
    while (searchText(d.cursor, r)) {
        starts << d.cursor.selectionStart();
    }
    EXPECT_EQ(starts, (QList<int>{3, 6}));

    Doc e("ab ab ab ab", 0);
    QTextCursor scope2(&e.document);
    scope2.setPosition(3);
    scope2.setPosition(8, QTextCursor::KeepAnchor);
    e.cursor.setPosition(3);
    EXPECT_EQ(replaceText(e.cursor, {"ab", "XYZ", SearchOption::SelectedOnly | SearchOption::ReplaceAll, scope2}), 2);
    EXPECT_EQ(e.document.toPlainText(), "ab XYZ XYZ ab");
}

TEST(EditorSearch, ReplaceAllCountsAndIsOneUndoStep) {
    const struct {
        const char* text;
        int caret;
        const char* find;
        const char* replacement;
        SearchOptions options;
        int count;
        const char* after;
    } cases[] = {
        {"a b a b a", 0, "a", "x", SearchOption::ReplaceAll, 3, "x b x b x"},
        {"a b a b a", 3, "a", "x", SearchOption::ReplaceAll, 2, "a b x b x"},
        {"a b a b a", 3, "a", "x", SearchOption::ReplaceAll | SearchOption::FromTop, 3, "x b x b x"},
        {"a a", 0, "a", "aa", SearchOption::ReplaceAll, 2, "aa aa"},
        {"A a", 0, "a", "b", SearchOption::ReplaceAll | SearchOption::MatchCase, 1, "A b"},
        {"ab a", 0, "a", "", SearchOption::ReplaceAll | SearchOption::WholeWords, 1, "ab "},
        {"none", 0, "a", "b", SearchOption::ReplaceAll, 0, "none"},
    };
    for (const auto& c : cases) {
        Doc d(QString::fromUtf8(c.text), c.caret);
        EXPECT_EQ(replaceText(d.cursor, {c.find, c.replacement, c.options, {}}), c.count) << c.text;
        EXPECT_EQ(d.document.toPlainText(), QString::fromUtf8(c.after)) << c.text;
        if (c.count > 0) {
            d.document.undo();
            EXPECT_EQ(d.document.toPlainText(), QString::fromUtf8(c.text)) << "one undo restores " << c.text;
        }
    }
}

TEST(EditorSearch, ReplaceOneReplacesOnlyASelectedMatchAndMovesOn) {
    Doc d("cat cat cat");
    const SearchRequest r{"cat", "dog", SearchOption::Replace, {}};
    ASSERT_TRUE(searchText(d.cursor, r));
    EXPECT_EQ(replaceText(d.cursor, r), 1);
    EXPECT_EQ(d.document.toPlainText(), "dog cat cat");
    EXPECT_EQ(d.cursor.selectionStart(), 4);
    EXPECT_EQ(replaceText(d.cursor, r), 1);
    EXPECT_EQ(replaceText(d.cursor, r), -1) << "the last replace finds nothing further";
    EXPECT_EQ(d.document.toPlainText(), "dog dog dog");

    // A selection that is not a match is never replaced.
    Doc e("xyz cat");
    e.cursor.setPosition(0);
    e.cursor.setPosition(3, QTextCursor::KeepAnchor);
    EXPECT_EQ(replaceText(e.cursor, r), 0);
    EXPECT_EQ(e.document.toPlainText(), "xyz cat");
    EXPECT_EQ(e.cursor.selectedText(), "cat");
}

}  // namespace
