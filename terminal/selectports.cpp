#include "selectports.h"

#include <QButtonGroup>
#include <QDialogButtonBox>
#include <QGroupBox>
#include <QLabel>
#include <QRadioButton>
#include <QVBoxLayout>

namespace orrery {

TSelectPortsDialog::TSelectPortsDialog(QWidget* parent) : QDialog(parent) {
    setWindowTitle(QStringLiteral("Select Ports"));
    auto* layout = new QVBoxLayout(this);
    for (const char* text : {"The settings contain no entry for this program",
                             "A Com Port must be specified before the program can continue",
                             "Choose a Com Port from this list"}) {
        layout->addWidget(new QLabel(QString::fromLatin1(text), this));
    }
    auto* box = new QGroupBox(QStringLiteral("Available Ports"), this);
    m_list = new QVBoxLayout(box);
    m_group = new QButtonGroup(this);
    layout->addWidget(box);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    layout->addWidget(buttons);
}

void TSelectPortsDialog::setPorts(const QStringList& available, const serial::PortMap& map) {
    for (QAbstractButton* b : m_group->buttons()) {
        m_group->removeButton(b);
        delete b;
    }
    m_ports = available;
    for (int i = 0; i < available.size(); ++i) {
        auto* radio = new QRadioButton(map.label(serial::PortMap::numberOf(available.at(i))), this);
        m_group->addButton(radio, i);
        m_list->addWidget(radio);
    }
    // With a single port there is nothing to choose between: it is chosen, so OK does not end in "No
    // active Com Port". With several, the user picks; the workbench does not guess which is the logger.
    if (available.size() == 1) {
        m_group->button(0)->setChecked(true);
    }
    if (available.isEmpty()) {
        auto* none = new QLabel(QStringLiteral("(no serial port could be opened)"), this);
        none->setEnabled(false);
        m_list->addWidget(none);
    }
}

QString TSelectPortsDialog::chosenPort() const {
    const int id = m_group->checkedId();
    return (id >= 0 && id < m_ports.size()) ? m_ports.at(id) : QString();
}

}  // namespace orrery
