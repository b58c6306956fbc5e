#pragma once
// Logical port names COM1..COM9 and the devices behind them.
//
// A logger is attached to "COM1".."COM4" as far as the user, the settings and the dialogs are concerned;
// on Linux each of those names stands for a device path. The map comes from, in order of precedence:
//   1. ORRERY_COM1=/path ... ORRERY_COM9 in the environment (tests, the simulated logger), with
//      ORRERY_COM1_LABEL=text ... naming what is behind it ("simulated logger") where ports are listed;
//   2. the key "COM1Device" ... "COM9Device" in section "Ports" of the settings;
//   3. when neither names any port: the serial devices that exist, USB adapters first by their stable
//      /dev/serial/by-id names, then the other serial devices, as COM1..COM4 in that order.
// An explicit entry for any port switches the automatic assignment off, so a chosen map never shifts
// when an adapter is plugged in.

#include <QMap>
#include <QProcessEnvironment>
#include <QString>
#include <QStringList>

namespace orrery::serial {

inline constexpr int kMaxComNumber = 9;
inline constexpr int kAutoMappedPorts = 4;

class PortMap {
public:
    // The device of COMn, empty when nothing is assigned.
    QString device(int comNumber) const { return m_devices.value(comNumber); }
    void assign(int comNumber, const QString& device);
    bool isEmpty() const { return m_devices.isEmpty(); }
    bool isAutomatic() const { return m_automatic; }
    const QMap<int, QString>& entries() const { return m_devices; }

    // "COM1" -> 1; 0 for anything that is not "COM" followed by one digit 1..9.
    static int numberOf(const QString& portName);
    // How a port is shown in lists: "COM1  (ttyUSB0)", "COM2  (/dev/pts/3)", "COM1" when nothing is
    // assigned, or "COM1 (simulated logger)" when the port was given that description.
    QString label(int comNumber) const;
    void describe(int comNumber, const QString& description) { m_descriptions.insert(comNumber, description); }
    // What is behind COMn ("simulated logger"), empty when nothing was said.
    QString description(int comNumber) const { return m_descriptions.value(comNumber); }

    // Builds the map from the three sources above. stored holds the settings entries (number -> path).
    static PortMap resolve(const QProcessEnvironment& env, const QMap<int, QString>& stored,
                           const QStringList& discovered);

    // The settings key that holds the device of COMn.
    static QString settingsKey(int comNumber);

private:
    QMap<int, QString> m_devices;
    QMap<int, QString> m_descriptions;
    bool m_automatic = false;
};

// The serial devices present on this machine, in the stable order described above: every entry of
// byIdDir (sorted by name), then every other serial device Qt knows of (sorted, skipping those a by-id
// entry already points to).
QStringList discoverSerialDevices(const QString& byIdDir = QStringLiteral("/dev/serial/by-id"));

// Orders device paths: by-id links first, then by name with numbers compared as numbers
// (ttyS2 before ttyS10).
QStringList orderDevices(QStringList byId, QStringList others, const QStringList& byIdTargets);

}  // namespace orrery::serial
