// The "Terminal Options" dialog: its field, OK by Enter, Cancel.
#include <gtest/gtest.h>

#include <QLabel>
#include <QTest>
#include <QTimer>

#include "terminaloptionsform.h"

namespace orrery::terminal {
namespace {

TEST(TerminalOptionsDialog, OpensWithTheTabSizeFocusedAndEnterConfirms) {
    TTerminalOptionsDialog dialog;
    const auto typed = [](const char* keys) {
        return [keys](TTerminalOptionsDialog& d) {
            QTimer::singleShot(0, &d, [&d, keys] {
                EXPECT_EQ(d.focusWidget(), d.tabSizeField());
                EXPECT_EQ(d.tabSizeField()->selectedText(), d.tabSizeField()->text());
                QTest::keyClicks(d.tabSizeField(), keys);
                QTest::keyClick(d.tabSizeField(), Qt::Key_Return);
            });
            return d.exec() == QDialog::Accepted;
        };
    };
    const struct {
        const char* keys;
        const char* text;
    } cases[] = {{"4", "4"}, {"12", "12"}, {"123", "12"}, {"x1", "x1"}, {"", "8"}};
    for (const auto& c : cases) {
        const std::optional<QString> result = askTerminalOptions(dialog, 8, typed(c.keys));
        ASSERT_TRUE(result.has_value()) << c.keys;
        EXPECT_EQ(*result, c.text) << c.keys;
    }
    EXPECT_EQ(dialog.windowTitle(), "Terminal Options");
    EXPECT_EQ(dialog.tabSizeField()->maxLength(), 2);
    const auto labels = dialog.findChildren<QLabel*>();
    ASSERT_EQ(labels.size(), 1);
    EXPECT_EQ(labels.first()->text(), "Tab size ");
}

TEST(TerminalOptionsDialog, CancelGivesNothing) {
    TTerminalOptionsDialog dialog;
    const auto escape = [](TTerminalOptionsDialog& d) {
        QTimer::singleShot(0, &d, [&d] { QTest::keyClick(d.tabSizeField(), Qt::Key_Escape); });
        return d.exec() == QDialog::Accepted;
    };
    EXPECT_FALSE(askTerminalOptions(dialog, 8, escape).has_value());
}

}  // namespace
}  // namespace orrery::terminal
