#include <gtest/gtest.h>

#include <QMessageBox>

#include "qtprompts.h"

namespace {

// Short messages must not squeeze the caption: the box is at least as wide as the title's text.
TEST(QtPromptsBox, IsWideEnoughForItsCaption) {
    const struct {
        const char* caption;
        const char* text;
    } cases[] = {
        {"Orrery for Windows", "Text not found"},
        {"Orrery for Windows", "parse error"},
        {"Confirmation", "Replace this instance?"},
    };
    for (const auto& c : cases) {
        QMessageBox box(QMessageBox::NoIcon, QString::fromLatin1(c.caption), QString::fromLatin1(c.text),
                        QMessageBox::Ok);
        const int titleWidth = box.fontMetrics().horizontalAdvance(box.windowTitle());
        orrery::widenToCaption(box);
        EXPECT_GE(box.sizeHint().width(), titleWidth + 100) << c.text;
    }
}

TEST(QtPromptsBox, LongTextKeepsItsOwnWidth) {
    const QString text = QString(200, QLatin1Char('x'));
    QMessageBox box(QMessageBox::NoIcon, QStringLiteral("Orrery for Windows"), text, QMessageBox::Ok);
    const int before = box.sizeHint().width();
    orrery::widenToCaption(box);
    EXPECT_GE(box.sizeHint().width(), before);
}

}  // namespace
