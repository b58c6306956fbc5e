#include "portmap.h"

#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>
#include <QSerialPortInfo>
#include <algorithm>

namespace orrery::serial {

void PortMap::assign(int comNumber, const QString& device) {
    if (comNumber < 1 || comNumber > kMaxComNumber) {
        return;
    }
    if (device.isEmpty()) {
        m_devices.remove(comNumber);
    } else {
        m_devices.insert(comNumber, device);
    }
}

int PortMap::numberOf(const QString& portName) {
    if (portName.size() != 4 || !portName.startsWith(QLatin1String("COM"), Qt::CaseInsensitive)) {
        return 0;
    }
    const QChar digit = portName.at(3);
    return (digit >= QLatin1Char('1') && digit <= QLatin1Char('9')) ? digit.digitValue() : 0;
}

QString PortMap::label(int comNumber) const {
    const QString name = QStringLiteral("COM%1").arg(comNumber);
    const QString path = device(comNumber);
    if (path.isEmpty()) {
        return name;
    }
    if (const QString description = m_descriptions.value(comNumber); !description.isEmpty()) {
        return QStringLiteral("%1 (%2)").arg(name, description);
    }
    // Devices directly in /dev and the by-id links are known by their names; anything else (a pty,
    // a simulator's link) needs its whole path to be recognised.
    const QFileInfo info(path);
    const QString dir = info.absolutePath();
    const bool shortName = dir == QLatin1String("/dev") || dir == QLatin1String("/dev/serial/by-id");
    return QStringLiteral("%1  (%2)").arg(name, shortName ? info.fileName() : path);
}

QString PortMap::settingsKey(int comNumber) {
    return QStringLiteral("COM%1Device").arg(comNumber);
}

PortMap PortMap::resolve(const QProcessEnvironment& env, const QMap<int, QString>& stored,
                         const QStringList& discovered) {
    PortMap map;
    for (int n = 1; n <= kMaxComNumber; ++n) {
        const QString fromEnv = env.value(QStringLiteral("ORRERY_COM%1").arg(n));
        map.assign(n, fromEnv.isEmpty() ? stored.value(n) : fromEnv);
        if (!fromEnv.isEmpty()) {
            map.describe(n, env.value(QStringLiteral("ORRERY_COM%1_LABEL").arg(n)));
        }
    }
    if (!map.isEmpty()) {
        return map;
    }
    map.m_automatic = true;
    for (int i = 0; i < discovered.size() && i < kAutoMappedPorts; ++i) {
        map.assign(i + 1, discovered.at(i));
    }
    return map;
}

namespace {

// Compares names with runs of digits taken as numbers, so ttyS2 sorts before ttyS10 in any locale.
bool naturalLess(const QString& a, const QString& b) {
    qsizetype i = 0;
    qsizetype j = 0;
    while (i < a.size() && j < b.size()) {
        if (a.at(i).isDigit() && b.at(j).isDigit()) {
            qsizetype ei = i;
            qsizetype ej = j;
            while (ei < a.size() && a.at(ei).isDigit()) {
                ++ei;
            }
            while (ej < b.size() && b.at(ej).isDigit()) {
                ++ej;
            }
            const QString na = a.mid(i, ei - i).remove(QRegularExpression(QStringLiteral("^0+(?=.)")));
            const QString nb = b.mid(j, ej - j).remove(QRegularExpression(QStringLiteral("^0+(?=.)")));
            if (na.size() != nb.size()) {
                return na.size() < nb.size();
            }
            if (na != nb) {
                return na < nb;
            }
            i = ei;
            j = ej;
            continue;
        }
        if (a.at(i) != b.at(j)) {
            return a.at(i) < b.at(j);
        }
        ++i;
        ++j;
    }
    return a.size() - i < b.size() - j;
}

}  // namespace

QStringList orderDevices(QStringList byId, QStringList others, const QStringList& byIdTargets) {
    const auto byName = naturalLess;
    std::sort(byId.begin(), byId.end(), byName);
    std::sort(others.begin(), others.end(), byName);
    QStringList ordered = byId;
    for (const QString& other : others) {
        if (!byIdTargets.contains(other) && !ordered.contains(other)) {
            ordered << other;
        }
    }
    return ordered;
}

QStringList discoverSerialDevices(const QString& byIdDir) {
    QStringList byId;
    QStringList targets;
    const QDir dir(byIdDir);
    for (const QFileInfo& link : dir.entryInfoList(QDir::Files | QDir::System | QDir::NoDotAndDotDot)) {
        byId << link.absoluteFilePath();
        targets << link.canonicalFilePath();
    }
    QStringList others;
    for (const QSerialPortInfo& info : QSerialPortInfo::availablePorts()) {
        others << info.systemLocation();
    }
    return orderDevices(byId, others, targets);
}

}  // namespace orrery::serial
