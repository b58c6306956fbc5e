// The main window while a command holds the line: the status bar names the command, every item that
// would use the line or the progress dialog is disabled, and closing the window asks first.
#include <QAction>
#include <QLabel>
#include <QStatusBar>

#include "mainform.h"
#include "mainformlink.h"
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

void TMainForm::applyLineHold() {
    if (!m_link.isBusy() || m_locked) {
        return;
    }
    // Syntax check would show the progress dialog that the running command is using.
    QStringList items = linkCommandItems();
    items << QStringLiteral("Syntaxcheck1");
    for (const QString& name : items) {
        if (QAction* a = m_actions.value(name)) {
            a->setEnabled(false);
        }
    }
}

void TMainForm::onLinkBusy(bool busy) {
    if (busy) {
        QString item = m_captions.value(m_runningItem);
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
        for (const QString& name : linkCommandItems()) {
            if (QAction* a = m_actions.value(name)) {
                a->setEnabled(true);
            }
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
