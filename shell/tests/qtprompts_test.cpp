#include <gtest/gtest.h>

#include <QApplication>
#include <QDir>
#include <QFileDialog>
#include <QMessageBox>
#include <QTimer>

#include "qtprompts.h"

namespace {

// Short messages must not squeeze the caption: the box is at least as wide as the title's text.
TEST(QtPromptsBox, IsWideEnoughForItsCaption) {
    const struct {
        const char* caption;
        const char* text;
    } cases[] = {
        {"Orrery", "Text not found"},
        {"Orrery", "parse error"},
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
    QMessageBox box(QMessageBox::NoIcon, QStringLiteral("Orrery"), text, QMessageBox::Ok);
    const int before = box.sizeHint().width();
    orrery::widenToCaption(box);
    EXPECT_GE(box.sizeHint().width(), before);
}

}  // namespace

namespace {

// The save dialogs as the user meets them: the one for capture never asks about replacing a file (the
// capture asks its own question), the ordinary one does.
TEST(QtPromptsSave, OnlyTheOrdinarySaveDialogAsksBeforeReplacing) {
    const struct {
        bool ordinary;
        bool asks;
    } cases[] = {{true, true}, {false, false}};
    for (const auto& c : cases) {
        orrery::QtPrompts prompts;
        bool seen = false;
        bool asked = false;
        QTimer::singleShot(0, [&] {
            auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
            if (dialog != nullptr) {
                seen = true;
                asked = !dialog->testOption(QFileDialog::DontConfirmOverwrite);
                dialog->reject();
            }
        });
        const QString chosen = c.ordinary ? prompts.saveFileName("Save", QDir::homePath(), "All files (*)")
                                          : prompts.saveFileNameNoReplacePrompt("Capture to file", QDir::homePath(),
                                                                                "All files (*)");
        EXPECT_TRUE(chosen.isEmpty());
        ASSERT_TRUE(seen);
        EXPECT_EQ(asked, c.asks) << c.ordinary;
    }
}

}  // namespace
