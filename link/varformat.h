#pragma once
// How the variable viewer shows a value, a type and an address.
//
// Integers are signed 32-bit decimals, strings their characters. Floats (IEEE-754 single precision)
// show 7 significant digits: in fixed-point form with exactly 7 digits after the decimal point when
// asked for and 0.000001 <= |x| <= 10000000 (and the integer part has at most 7 digits), otherwise in
// scientific form "d.ddddddE+xx". The decimal separator is passed in (the user's locale), so the result
// does not depend on the C library's locale.

#include <QChar>
#include <QString>

#include "symbolfile.h"

namespace orrery::link {

QString formatInteger(qint32 value);
QString formatFloat(float value, bool fixed, QChar decimalSeparator);
// The value cell of an item: empty for a type letter other than I, F or S (either case).
QString formatValue(const TVarItem& item, bool floatsFixed, QChar decimalSeparator);

// "Integer", "Float", "String" or nothing.
QString typeWord(char typeLetter);

// Four upper-case hexadecimal digits, or the unsigned 16-bit decimal.
QString formatAddress(quint32 address, bool inHex);

bool isFloatType(char typeLetter);

}  // namespace orrery::link
