#include "varformat.h"

#include <charconv>
#include <cmath>
#include <cstring>
#include <string>

namespace orrery::link {

namespace {

constexpr int kSignificantDigits = 7;
constexpr int kFixedDecimals = 7;
constexpr double kSmallestFixed = 0.000001;
constexpr double kLargestFixed = 10000000.0;

// The value rounded to 7 significant digits: the digits and the decimal exponent of the first one.
struct Decimal {
    std::string digits;  // exactly 7
    int exponent = 0;
};

Decimal roundToSignificant(double magnitude) {
    char text[32];
    const auto result =
        std::to_chars(text, text + sizeof text, magnitude, std::chars_format::scientific, kSignificantDigits - 1);
    const std::string written(text, result.ptr);  // "d.dddddde+xx"
    const std::size_t e = written.find('e');
    Decimal d;
    d.digits = written.substr(0, 1) + written.substr(2, e - 2);
    d.exponent = std::stoi(written.substr(e + 1));
    return d;
}

// Rounds a digit string half up at digit count keep; true when the carry ran off the front.
bool roundDigits(std::string& digits, std::size_t keep) {
    if (digits.size() <= keep) {
        return false;
    }
    const bool up = digits[keep] >= '5';
    digits.resize(keep);
    if (!up) {
        return false;
    }
    for (std::size_t i = keep; i-- > 0;) {
        if (digits[i] != '9') {
            ++digits[i];
            return false;
        }
        digits[i] = '0';
    }
    return true;
}

// Fixed-point text of a rounded value with exactly 7 decimals; empty when the integer part would need
// more than 7 digits.
std::string fixedText(const Decimal& d) {
    if (d.exponent >= kSignificantDigits) {
        return {};
    }
    std::string integerPart;
    std::string fraction;
    if (d.exponent >= 0) {
        integerPart = d.digits.substr(0, std::size_t(d.exponent) + 1);
        fraction = d.digits.substr(std::size_t(d.exponent) + 1);
    } else {
        integerPart = "0";
        fraction = std::string(std::size_t(-d.exponent - 1), '0') + d.digits;
    }
    std::string all = integerPart + fraction;
    const std::size_t keep = integerPart.size() + kFixedDecimals;
    if (roundDigits(all, keep)) {
        all.insert(all.begin(), '1');
        integerPart.push_back('0');
    }
    all.resize(integerPart.size() + kFixedDecimals, '0');
    std::string integer = all.substr(0, integerPart.size());
    const std::size_t firstNonZero = integer.find_first_not_of('0');
    integer = firstNonZero == std::string::npos ? "0" : integer.substr(firstNonZero);
    if (integer.size() > std::size_t(kSignificantDigits)) {
        return {};
    }
    return integer + "." + all.substr(integerPart.size());
}

std::string scientificText(double magnitude) {
    char text[32];
    const auto result =
        std::to_chars(text, text + sizeof text, magnitude, std::chars_format::scientific, kSignificantDigits - 1);
    std::string written(text, result.ptr);
    for (char& c : written) {
        if (c == 'e') {
            c = 'E';
        }
    }
    return written;
}

}  // namespace

QString formatInteger(qint32 value) {
    return QString::number(value);
}

QString formatFloat(float value, bool fixed, QChar decimalSeparator) {
    const double x = value;
    if (std::isnan(x)) {
        return QStringLiteral("NAN");
    }
    const char* sign = std::signbit(x) && x != 0.0 ? "-" : "";
    const double magnitude = std::fabs(x);
    if (std::isinf(x)) {
        return QString::fromLatin1(sign) + QStringLiteral("INF");
    }
    std::string text;
    if (fixed && magnitude >= kSmallestFixed && magnitude <= kLargestFixed) {
        text = fixedText(roundToSignificant(magnitude));
    }
    if (text.empty()) {
        text = scientificText(magnitude);
    }
    QString shown = QString::fromLatin1(sign) + QString::fromStdString(text);
    shown.replace(QLatin1Char('.'), decimalSeparator);
    return shown;
}

QString formatValue(const TVarItem& item, bool floatsFixed, QChar decimalSeparator) {
    switch (item.TypeLetter) {
        case 'I':
        case 'i': {
            qint32 value = 0;
            std::memcpy(&value, item.Value.data(), sizeof value);
            return formatInteger(value);
        }
        case 'F':
        case 'f': {
            float value = 0;
            std::memcpy(&value, item.Value.data(), sizeof value);
            return formatFloat(value, floatsFixed, decimalSeparator);
        }
        case 'S':
        case 's':
            return QString::fromLatin1(reinterpret_cast<const char*>(item.Value.data()), item.Length);
        default:
            return {};
    }
}

QString typeWord(char typeLetter) {
    switch (typeLetter) {
        case 'I':
        case 'i':
            return QStringLiteral("Integer");
        case 'F':
        case 'f':
            return QStringLiteral("Float");
        case 'S':
        case 's':
            return QStringLiteral("String");
        default:
            return {};
    }
}

QString formatAddress(quint32 address, bool inHex) {
    const auto address16 = quint16(address);
    return inHex ? QStringLiteral("%1").arg(address16, 4, 16, QLatin1Char('0')).toUpper()
                 : QString::number(address16);
}

bool isFloatType(char typeLetter) {
    return typeLetter == 'F' || typeLetter == 'f';
}

}  // namespace orrery::link
