#pragma once
// Serial port settings: the six strings that describe them, how they are applied to the port object,
// the "Serial Port Settings" dialog (TCommSettingsDialog) and the seam through which the main window
// asks for port choices (so tests script the answers instead of showing dialogs).

#include <QDialog>
#include <QString>
#include <QStringList>
#include <optional>

#include "apdcomport.h"

class QButtonGroup;
class QGroupBox;

namespace orrery {

// Port settings in text form, as stored: "COM1", "19200", "8", "1", "None", "None".
struct CommSettings {
    QString port = QStringLiteral("COM0");
    QString baud = QStringLiteral("19200");
    QString dataBits = QStringLiteral("8");
    QString stopBits = QStringLiteral("1");
    QString parity = QStringLiteral("None");
    QString handshake = QStringLiteral("None");
    friend bool operator==(const CommSettings&, const CommSettings&) = default;
};

// The choices the dialog offers, one list per radio group.
QStringList baudChoices();
QStringList dataBitsChoices();
QStringList stopBitsChoices();
QStringList parityChoices();
QStringList handshakeChoices();

// Port number of a port name: its fourth character as a digit, 0 for anything else.
int portNumberOf(const QString& portName);

// Sets the port object's number, baud, data bits, stop bits, parity and flow control from the strings.
// Parity and handshake texts are matched exactly ("none" is not "None") and an unknown text leaves the
// port's value as it was; a number that does not convert also leaves its value, and the returned
// messages ("'%s' is not a valid integer value") say which.
QStringList applyCommSettings(serial::TApdComPort& port, const CommSettings& settings);

// The port object's current values in text form, as the dialog shows them.
QString parityName(serial::Parity parity);
QString handshakeName(serial::SwFlow flow);
CommSettings commSettingsOf(const serial::TApdComPort& port);

// Every question about ports the main window asks.
class PortDialogs {
public:
    virtual ~PortDialogs() = default;
    // "Select Ports" on the very first start. nullopt when not confirmed; an empty string when
    // confirmed with no port chosen.
    virtual std::optional<QString> selectPort(const QStringList& available, const serial::PortMap& map) = 0;
    // "Serial Port Settings". nullopt when cancelled.
    virtual std::optional<CommSettings> portSettings(const CommSettings& current, const QStringList& available,
                                                     const serial::PortMap& map) = 0;
};

class TCommSettingsDialog : public QDialog {
    Q_OBJECT
public:
    explicit TCommSettingsDialog(QWidget* parent = nullptr);

    // Fills the groups: the ports offered (with their devices beside them) and the current values,
    // each selected when it is among the choices (ignoring case).
    void setValues(const CommSettings& current, const QStringList& available, const serial::PortMap& map);
    // The values read back: "COM0" for no port; a group with nothing selected keeps the current value.
    CommSettings values() const;

private:
    QGroupBox* makeGroup(const QString& title, QButtonGroup*& group);
    void fillGroup(QButtonGroup* group, QGroupBox* box, const QStringList& choices, const QStringList& labels,
                   const QString& current);
    static QString selected(const QButtonGroup* group, const QString& fallback);

    QGroupBox* m_portBox = nullptr;
    QButtonGroup* m_port = nullptr;
    QButtonGroup* m_baud = nullptr;
    QButtonGroup* m_dataBits = nullptr;
    QButtonGroup* m_stopBits = nullptr;
    QButtonGroup* m_handshake = nullptr;
    QButtonGroup* m_parity = nullptr;
    CommSettings m_current;
};

// The real dialogs.
class QtPortDialogs : public PortDialogs {
public:
    explicit QtPortDialogs(QWidget* parent) : m_parent(parent) {}
    void setParent(QWidget* parent) { m_parent = parent; }
    std::optional<QString> selectPort(const QStringList& available, const serial::PortMap& map) override;
    std::optional<CommSettings> portSettings(const CommSettings& current, const QStringList& available,
                                             const serial::PortMap& map) override;

private:
    QWidget* m_parent;
};

}  // namespace orrery
