// The main window while a command holds the line: the status bar names the command, every item that
// would use the line or the progress dialog is disabled, and closing the window asks first.
#include <QAction>
#include <QApplication>
#include <QLabel>
#include <QStatusBar>
#include <QTimer>

#include "mainform.h"
#include "mainformlink.h"
#include "mainformmenu.h"
#include "prompts.h"

namespace orrery {

namespace {

const QString kQuitDuringTransfer = QStringLiteral("A transfer is running. Cancel it and quit?");

}  // namespace

void TMainForm::setUpLineHold() {
    m_lineHolderLabel = new QLabel(this);
    m_lineHolderLabel->setObjectName(QStringLiteral("LineHolder"));
    m_lineHolderLabel->hide();
    statusBar()->addPermanentWidget(m_lineHolderLabel);
    connect(&m_link, &link::LoggerLink::busyChanged, this, &TMainForm::onLinkBusy);
}

// The item stays noted while its command may still claim the line: while the line is held, and while a
// dialog of the command (a file dialog, a question) is open. Back in an idle event loop it is forgotten,
// so that a command started elsewhere (the terminal, the variable viewer) is not given its name.
void TMainForm::noteTriggeredItem(const QAction* item) {
    m_runningItem = item;
    forgetTriggeredItemWhenIdle();
}

void TMainForm::forgetTriggeredItemWhenIdle() {
    QTimer::singleShot(100, this, [this, item = m_runningItem] {
        if (m_runningItem != item) {
            return;  // a later item was noted, with its own timer
        }
        if (m_link.isBusy() || QApplication::activeModalWidget() != nullptr) {
            forgetTriggeredItemWhenIdle();
            return;
        }
        m_runningItem = nullptr;
    });
}

void TMainForm::applyLineHold() {
    if (!m_link.isBusy() || m_locked) {
        return;
    }
    for (const MenuItem item : linkCommandItems()) {
        (m_items.*item)->setEnabled(false);
    }
    // Syntax check would show the progress dialog that the running command is using.
    m_items.syntaxCheck->setEnabled(false);
}

void TMainForm::onLinkBusy(bool busy) {
    if (busy) {
        QString item = m_runningItem != nullptr ? m_captions.value(m_runningItem) : QString();
        item.remove(QLatin1Char('&'));
        while (item.endsWith(QLatin1Char('.'))) {
            item.chop(1);
        }
        m_lineHolder = item.isEmpty() ? QStringLiteral("A logger command") : item;
        m_lineHolderLabel->setText(QStringLiteral("%1 is using the line").arg(m_lineHolder));
        m_lineHolderLabel->show();
        applyLineHold();
        return;
    }
    m_lineHolder.clear();
    m_lineHolderLabel->hide();
    m_lineHolderLabel->clear();
    if (!m_locked) {
        for (const MenuItem item : linkCommandItems()) {
            (m_items.*item)->setEnabled(true);
        }
    }
    updateCommandState();
}

bool TMainForm::cancelRunningCommandToQuit() {
    m_askingToQuit = true;
    const Answer answer = m_prompts.askYesNo(kQuitDuringTransfer);
    m_askingToQuit = false;
    if (answer != Answer::Yes) {
        return false;
    }
    if (m_link.isBusy()) {
        // The command ends along its Cancel path: a transfer sends its cancel to the other side and keeps
        // what it received; a command waiting for a reply stops waiting.
        m_prompts.progress().requestCancel();
        m_link.abandon();
    }
    return true;
}

}  // namespace orrery
