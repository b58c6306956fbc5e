#include "utilities.h"

namespace orrery {

std::optional<int> parseInteger(const QString& text) {
    bool ok = false;
    const int value = text.trimmed().toInt(&ok, 10);
    if (!ok) {
        return std::nullopt;
    }
    return value;
}

QString invalidIntegerMessage(const QString& text) {
    return QStringLiteral("'%1' is not a valid integer value").arg(text);
}

int readIntSetting(const QSettings& settings, const QString& key, int defaultValue) {
    const QVariant value = settings.value(key);
    if (!value.isValid()) {
        return defaultValue;
    }
    return parseInteger(value.toString()).value_or(defaultValue);
}

bool readBoolSetting(const QSettings& settings, const QString& key, bool defaultValue) {
    return readIntSetting(settings, key, defaultValue ? 1 : 0) != 0;
}

void writeIntSetting(QSettings& settings, const QString& key, int value) {
    settings.setValue(key, QString::number(value));
}

void writeBoolSetting(QSettings& settings, const QString& key, bool value) {
    settings.setValue(key, value ? QStringLiteral("1") : QStringLiteral("0"));
}

QStringList readListSetting(const QSettings& settings, const QString& countKey, const QString& prefix) {
    QStringList list;
    const int count = readIntSetting(settings, countKey, 0);
    for (int i = 0; i < count; ++i) {
        list << settings.value(prefix + QStringLiteral("%1").arg(i, 2, 10, QLatin1Char('0'))).toString();
    }
    return list;
}

void writeListSetting(QSettings& settings, const QString& countKey, const QString& prefix,
                      const QStringList& list) {
    writeIntSetting(settings, countKey, int(list.size()));
    for (int i = 0; i < list.size(); ++i) {
        settings.setValue(prefix + QStringLiteral("%1").arg(i, 2, 10, QLatin1Char('0')), list[i]);
    }
}

}  // namespace orrery
