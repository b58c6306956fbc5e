#pragma once
// Small helpers shared by the workbench dialogs: the integer conversion every number field uses, with
// its standard message, and the typed reading of settings values.

#include <QSettings>
#include <QString>
#include <optional>

namespace orrery {

// Converts a dialog field to an integer the way every number field of the workbench does: surrounding
// blanks are ignored, anything else that is not a decimal integer is refused.
std::optional<int> parseInteger(const QString& text);

// "'%s' is not a valid integer value" with the field's text in place of %s.
QString invalidIntegerMessage(const QString& text);

// Settings values are all text; these read them back with the default for a missing or unreadable
// value, and write booleans as "1"/"0".
int readIntSetting(const QSettings& settings, const QString& key, int defaultValue);
bool readBoolSetting(const QSettings& settings, const QString& key, bool defaultValue);
void writeIntSetting(QSettings& settings, const QString& key, int value);
void writeBoolSetting(QSettings& settings, const QString& key, bool value);

// A numbered list: a count value and one value per entry named prefix + two-digit index.
QStringList readListSetting(const QSettings& settings, const QString& countKey, const QString& prefix);
void writeListSetting(QSettings& settings, const QString& countKey, const QString& prefix,
                      const QStringList& list);

}  // namespace orrery
