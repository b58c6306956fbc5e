#include "offloaddialogs.h"

#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLineEdit>
#include <QPushButton>

namespace orrery::shell {

namespace {

struct RangeDialogTexts {
    const char* caption;
    const char* startLabel;
    const char* endLabel;
};
const RangeDialogTexts kSerialTexts{"Off-load Datafile", "Start address -", "End address - "};
const RangeDialogTexts kDiskTexts{"Disk Off-load", "Start file number", "End file number"};

}  // namespace

TOffloadRangeDialog::TOffloadRangeDialog(link::OffloadKind kind, QWidget* parent)
    : QDialog(parent), m_start(new QLineEdit), m_end(new QLineEdit) {
    const RangeDialogTexts& texts = kind == link::OffloadKind::Serial ? kSerialTexts : kDiskTexts;
    setWindowTitle(QString::fromLatin1(texts.caption));
    auto* form = new QFormLayout(this);
    form->addRow(QString::fromLatin1(texts.startLabel), m_start);
    form->addRow(QString::fromLatin1(texts.endLabel), m_end);
    auto* buttons = new QDialogButtonBox;
    buttons->addButton(QStringLiteral("Off-load"), QDialogButtonBox::AcceptRole)->setDefault(true);
    buttons->addButton(QStringLiteral("Cancel"), QDialogButtonBox::RejectRole);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    form->addRow(buttons);
}

bool TOffloadRangeDialog::run(QString& startText, QString& endText) {
    m_start->setText(startText);
    m_end->setText(endText);
    const bool ok = m_runner ? m_runner(*this) : exec() == QDialog::Accepted;
    if (ok) {
        startText = m_start->text();
        endText = m_end->text();
    }
    return ok;
}

}  // namespace orrery::shell
