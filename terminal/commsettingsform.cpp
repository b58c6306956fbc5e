#include "commsettingsform.h"

#include <QButtonGroup>
#include <QDialogButtonBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QRadioButton>
#include <QVBoxLayout>

#include "selectports.h"

namespace orrery {

using serial::Parity;
using serial::SwFlow;

QStringList baudChoices() {
    return {"300", "600", "1200", "2400", "4800", "9600", "19200", "38400", "57600"};
}
QStringList dataBitsChoices() {
    return {"7", "8"};
}
QStringList stopBitsChoices() {
    return {"1", "2"};
}
QStringList parityChoices() {
    return {"Even", "Odd", "None"};
}
QStringList handshakeChoices() {
    return {"XON/XOFF", "None"};
}

int portNumberOf(const QString& portName) {
    if (portName.size() < 4 || !portName.at(3).isDigit()) {
        return 0;
    }
    return portName.at(3).digitValue();
}

namespace {

// The text-to-integer conversion of a setting; nullopt (and a message) when the text is not a number.
std::optional<int> settingNumber(const QString& text, QStringList& problems) {
    bool ok = false;
    const int value = text.trimmed().toInt(&ok);
    if (!ok || value <= 0) {
        problems << QStringLiteral("'%1' is not a valid integer value").arg(text);
        return std::nullopt;
    }
    return value;
}

}  // namespace

QStringList applyCommSettings(serial::TApdComPort& port, const CommSettings& settings) {
    QStringList problems;
    port.setComNumber(portNumberOf(settings.port));
    if (auto baud = settingNumber(settings.baud, problems)) {
        port.setBaud(*baud);
    }
    if (auto bits = settingNumber(settings.dataBits, problems)) {
        port.setDataBits(*bits);
    }
    if (auto bits = settingNumber(settings.stopBits, problems)) {
        port.setStopBits(*bits);
    }
    if (settings.parity == QLatin1String("None")) {
        port.setParity(Parity::None);
    } else if (settings.parity == QLatin1String("Odd")) {
        port.setParity(Parity::Odd);
    } else if (settings.parity == QLatin1String("Even")) {
        port.setParity(Parity::Even);
    }
    if (settings.handshake == QLatin1String("None")) {
        port.setSwFlowOptions(SwFlow::None);
    } else if (settings.handshake == QLatin1String("XON/XOFF")) {
        port.setSwFlowOptions(SwFlow::Both);
    }
    return problems;
}

QString parityName(Parity parity) {
    switch (parity) {
        case Parity::Odd:
            return QStringLiteral("Odd");
        case Parity::Even:
            return QStringLiteral("Even");
        default:
            return QStringLiteral("None");
    }
}

QString handshakeName(SwFlow flow) {
    // Only "both ways" has a name of its own; a one-way setting (which the dialog never makes) shows as
    // "None" so that confirming the dialog gives a defined state.
    return flow == SwFlow::Both ? QStringLiteral("XON/XOFF") : QStringLiteral("None");
}

CommSettings commSettingsOf(const serial::TApdComPort& port) {
    CommSettings s;
    s.port = QStringLiteral("COM%1").arg(port.comNumber());
    s.baud = QString::number(port.baud());
    s.dataBits = QString::number(port.dataBits());
    s.stopBits = QString::number(port.stopBits());
    s.parity = parityName(port.parity());
    s.handshake = handshakeName(port.swFlowOptions());
    return s;
}

TCommSettingsDialog::TCommSettingsDialog(QWidget* parent) : QDialog(parent) {
    setWindowTitle(QStringLiteral("Serial Port Settings"));
    auto* grid = new QGridLayout;
    QGroupBox* baudBox = nullptr;
    m_portBox = makeGroup(QStringLiteral("ComPort"), m_port);
    baudBox = makeGroup(QStringLiteral("Baud Rate"), m_baud);
    grid->addWidget(m_portBox, 0, 0, 2, 1);
    grid->addWidget(baudBox, 0, 1, 3, 1);
    grid->addWidget(makeGroup(QStringLiteral("Data Bits"), m_dataBits), 0, 2);
    grid->addWidget(makeGroup(QStringLiteral("Stop Bits"), m_stopBits), 1, 2);
    grid->addWidget(makeGroup(QStringLiteral("Handshake"), m_handshake), 2, 0);
    grid->addWidget(makeGroup(QStringLiteral("Parity"), m_parity), 2, 2);
    fillGroup(m_baud, baudBox, baudChoices(), baudChoices(), {});
    fillGroup(m_dataBits, qobject_cast<QGroupBox*>(grid->itemAtPosition(0, 2)->widget()), dataBitsChoices(),
              dataBitsChoices(), {});
    fillGroup(m_stopBits, qobject_cast<QGroupBox*>(grid->itemAtPosition(1, 2)->widget()), stopBitsChoices(),
              stopBitsChoices(), {});
    fillGroup(m_handshake, qobject_cast<QGroupBox*>(grid->itemAtPosition(2, 0)->widget()), handshakeChoices(),
              handshakeChoices(), {});
    fillGroup(m_parity, qobject_cast<QGroupBox*>(grid->itemAtPosition(2, 2)->widget()), parityChoices(),
              parityChoices(), {});
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(grid);
    layout->addWidget(buttons);
}

QGroupBox* TCommSettingsDialog::makeGroup(const QString& title, QButtonGroup*& group) {
    auto* box = new QGroupBox(title, this);
    box->setLayout(new QVBoxLayout);
    group = new QButtonGroup(box);
    return box;
}

void TCommSettingsDialog::fillGroup(QButtonGroup* group, QGroupBox* box, const QStringList& choices,
                                    const QStringList& labels, const QString& current) {
    for (QAbstractButton* b : group->buttons()) {
        group->removeButton(b);
        delete b;
    }
    group->setExclusive(false);  // so that "nothing selected" can be shown
    for (int i = 0; i < choices.size(); ++i) {
        auto* radio = new QRadioButton(labels.at(i), box);
        radio->setProperty("choice", choices.at(i));
        group->addButton(radio, i);
        box->layout()->addWidget(radio);
    }
    for (QAbstractButton* b : group->buttons()) {
        b->setChecked(b->property("choice").toString().compare(current, Qt::CaseInsensitive) == 0);
    }
    group->setExclusive(true);
}

void TCommSettingsDialog::setValues(const CommSettings& current, const QStringList& available,
                                    const serial::PortMap& map) {
    m_current = current;
    QStringList labels;
    for (const QString& port : available) {
        labels << map.label(portNumberOf(port));
    }
    fillGroup(m_port, m_portBox, available, labels, current.port);
    auto refill = [this](QButtonGroup* group, const QString& value) {
        group->setExclusive(false);
        for (QAbstractButton* b : group->buttons()) {
            b->setChecked(b->property("choice").toString().compare(value, Qt::CaseInsensitive) == 0);
        }
        group->setExclusive(true);
    };
    refill(m_baud, current.baud);
    refill(m_dataBits, current.dataBits);
    refill(m_stopBits, current.stopBits);
    refill(m_handshake, current.handshake);
    refill(m_parity, current.parity);
}

QString TCommSettingsDialog::selected(const QButtonGroup* group, const QString& fallback) {
    const QAbstractButton* b = group->checkedButton();
    return b ? b->property("choice").toString() : fallback;
}

CommSettings TCommSettingsDialog::values() const {
    CommSettings s;
    s.port = selected(m_port, QStringLiteral("COM0"));
    s.baud = selected(m_baud, m_current.baud);
    s.dataBits = selected(m_dataBits, m_current.dataBits);
    s.stopBits = selected(m_stopBits, m_current.stopBits);
    s.handshake = selected(m_handshake, m_current.handshake);
    s.parity = selected(m_parity, m_current.parity);
    return s;
}

std::optional<QString> QtPortDialogs::selectPort(const QStringList& available, const serial::PortMap& map) {
    TSelectPortsDialog dialog(m_parent);
    dialog.setPorts(available, map);
    if (dialog.exec() != QDialog::Accepted) {
        return std::nullopt;
    }
    return dialog.chosenPort();
}

std::optional<CommSettings> QtPortDialogs::portSettings(const CommSettings& current, const QStringList& available,
                                                        const serial::PortMap& map) {
    TCommSettingsDialog dialog(m_parent);
    dialog.setValues(current, available, map);
    if (dialog.exec() != QDialog::Accepted) {
        return std::nullopt;
    }
    return dialog.values();
}

}  // namespace orrery
