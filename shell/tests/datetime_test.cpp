#include <gtest/gtest.h>

#include "datetime.h"
#include "editorcontrol.h"
#include "qstringprint.h"

using namespace orrery;
using namespace orrery::shell;

namespace {

TEST(PasteDateTime, ShortAndLongForms) {
    const struct {
        QDateTime when;
        bool longForm;
        const char* expected;
    } cases[] = {
        {QDateTime(QDate(2026, 12, 8), QTime(14, 5, 9)), false, "12/08/2026 14:05:09"},
        {QDateTime(QDate(2026, 12, 8), QTime(14, 5, 9)), true, "Tuesday, December 08, 2026, 02:05 PM"},
        {QDateTime(QDate(2027, 1, 3), QTime(0, 7, 0)), false, "01/03/2027 00:07:00"},
        {QDateTime(QDate(2027, 1, 3), QTime(0, 7, 0)), true, "Sunday, January 03, 2027, 12:07 AM"},
        {QDateTime(QDate(2027, 7, 4), QTime(12, 0, 59)), true, "Sunday, July 04, 2027, 12:00 PM"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(dateTimeText(c.when, c.longForm), QString::fromUtf8(c.expected));
    }
}

TEST(PasteDateTime, GoesToTheEditorOrElseToThePort) {
    const QDateTime when(QDate(2026, 12, 8), QTime(9, 30, 0));
    EditorControl editor;
    editor.setText("T=");
    editor.setCaretPosition(1, 3);
    QByteArray sent;
    const auto send = [&](const QByteArray& bytes) { sent += bytes; };
    pasteDateTime(&editor, false, send, when);
    EXPECT_EQ(editor.text(), "T=12/08/2026 09:30:00");
    EXPECT_TRUE(sent.isEmpty());

    pasteDateTime(nullptr, true, send, when);
    EXPECT_EQ(sent, QByteArray("Tuesday, December 08, 2026, 09:30 AM"));
    pasteDateTime(nullptr, false, {}, when);  // no port hook: nothing happens, nothing breaks
}

}  // namespace
