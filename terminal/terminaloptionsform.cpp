#include "terminaloptionsform.h"

#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

namespace orrery::terminal {

TTerminalOptionsDialog::TTerminalOptionsDialog(QWidget* parent) : QDialog(parent) {
    setWindowTitle(QStringLiteral("Terminal Options"));
    m_tabSize = new QLineEdit(this);
    m_tabSize->setMaxLength(2);
    m_tabSize->setFixedWidth(m_tabSize->fontMetrics().horizontalAdvance(QStringLiteral("0000")) + 12);
    auto* form = new QFormLayout;
    auto* label = new QLabel(QStringLiteral("Tab size "), this);
    label->setBuddy(m_tabSize);
    form->addRow(label, m_tabSize);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    buttons->button(QDialogButtonBox::Ok)->setText(QStringLiteral("OK"));
    buttons->button(QDialogButtonBox::Ok)->setDefault(true);  // Enter in the field confirms
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addWidget(buttons);
    setSizeGripEnabled(false);
}

void TTerminalOptionsDialog::setTabSize(int size) { m_tabSize->setText(QString::number(size)); }

void TTerminalOptionsDialog::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    m_tabSize->setFocus();
    m_tabSize->selectAll();
}

std::optional<QString> askTerminalOptions(TTerminalOptionsDialog& dialog, int tabSize,
                                          const std::function<bool(TTerminalOptionsDialog&)>& ask) {
    dialog.setTabSize(tabSize);
    if (!ask(dialog)) {
        return std::nullopt;
    }
    return dialog.tabSizeText();
}

}  // namespace orrery::terminal
