// The viewer's value, type and address texts.
#include <gtest/gtest.h>

#include <cstring>
#include <limits>

#include "varformat.h"

namespace orrery::link {
namespace {

TEST(VarFormat, FloatsInFixedAndScientificForm) {
    struct Case {
        float value;
        const char* fixed;
        const char* scientific;
    };
    const Case cases[] = {
        {1234.5f, "1234.5000000", "1.234500E+03"},
        {-1234.5f, "-1234.5000000", "-1.234500E+03"},
        {0.0f, "0.000000E+00", "0.000000E+00"},
        {0.5f, "0.5000000", "5.000000E-01"},
        {20000000.0f, "2.000000E+07", "2.000000E+07"},
        {10000000.0f, "1.000000E+07", "1.000000E+07"},  // eight digits before the point
        {9999999.0f, "9999999.0000000", "9.999999E+06"},
        {3.14159265f, "3.1415930", "3.141593E+00"},
        {0.0123456789f, "0.0123457", "1.234568E-02"},
        {0.00001f, "0.0000100", "1.000000E-05"},
        {0.0000015f, "0.0000015", "1.500000E-06"},
        {0.0000001f, "1.000000E-07", "1.000000E-07"},
        {123456.789f, "123456.8000000", "1.234568E+05"},
        {-0.25f, "-0.2500000", "-2.500000E-01"},
        {3.0e38f, "3.000000E+38", "3.000000E+38"},
        {std::numeric_limits<float>::infinity(), "INF", "INF"},
        {-std::numeric_limits<float>::infinity(), "-INF", "-INF"},
        {std::numeric_limits<float>::quiet_NaN(), "NAN", "NAN"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(formatFloat(c.value, true, QLatin1Char('.')), QLatin1String(c.fixed)) << c.fixed;
        EXPECT_EQ(formatFloat(c.value, false, QLatin1Char('.')), QLatin1String(c.scientific)) << c.scientific;
    }
}

TEST(VarFormat, FloatsUseTheGivenDecimalSeparator) {
    EXPECT_EQ(formatFloat(1234.5f, true, QLatin1Char(',')), QStringLiteral("1234,5000000"));
    EXPECT_EQ(formatFloat(1234.5f, false, QLatin1Char(',')), QStringLiteral("1,234500E+03"));
    EXPECT_EQ(formatFloat(0.0f, true, QLatin1Char(',')), QStringLiteral("0,000000E+00"));
}

TVarItem itemOf(char type, const void* bytes, std::size_t size, quint8 length = 0) {
    TVarItem item;
    item.TypeLetter = type;
    item.Length = length;
    std::memcpy(item.Value.data(), bytes, size);
    return item;
}

TEST(VarFormat, ValueCellsByTypeLetter) {
    const qint32 minusOne = -1;
    const qint32 largest = std::numeric_limits<qint32>::max();
    const qint32 smallest = std::numeric_limits<qint32>::min();
    const float half = 0.5f;
    const char text[] = "Hello, logger";
    struct Case {
        TVarItem item;
        const char* shown;
    };
    const Case cases[] = {
        {itemOf('I', &minusOne, 4), "-1"},
        {itemOf('i', &largest, 4), "2147483647"},
        {itemOf('I', &smallest, 4), "-2147483648"},
        {itemOf('F', &half, 4), "0.5000000"},
        {itemOf('f', &half, 4), "0.5000000"},
        {itemOf('S', text, sizeof text, 5), "Hello"},
        {itemOf('s', text, sizeof text, 13), "Hello, logger"},
        {itemOf('S', text, sizeof text, 0), ""},
        {itemOf('U', &minusOne, 4), ""},
        {itemOf('\0', &minusOne, 4), ""},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(formatValue(c.item, true, QLatin1Char('.')), QLatin1String(c.shown)) << c.shown;
    }
    EXPECT_EQ(formatValue(itemOf('F', &half, 4), false, QLatin1Char('.')), QStringLiteral("5.000000E-01"));
}

TEST(VarFormat, StringsShowEveryByteOfTheirLength) {
    TVarItem item;
    item.TypeLetter = 'S';
    item.Length = 255;
    item.Value.fill('x');
    EXPECT_EQ(formatValue(item, true, QLatin1Char('.')), QString(255, QLatin1Char('x')));
}

TEST(VarFormat, TypeWordsAndAddresses) {
    const std::pair<char, const char*> words[] = {{'I', "Integer"}, {'i', "Integer"}, {'F', "Float"}, {'f', "Float"},
                                                  {'S', "String"},  {'s', "String"},  {'U', ""},      {'B', ""}};
    for (const auto& [letter, word] : words) {
        EXPECT_EQ(typeWord(letter), QLatin1String(word)) << letter;
    }
    struct Address {
        quint32 address;
        const char* hex;
        const char* dec;
    };
    const Address addresses[] = {{0x7494, "7494", "29844"}, {0x00AB, "00AB", "171"}, {0x0000, "0000", "0"},
                                 {0xFFFF, "FFFF", "65535"}, {0x10005, "0005", "5"}};
    for (const Address& a : addresses) {
        EXPECT_EQ(formatAddress(a.address, true), QLatin1String(a.hex));
        EXPECT_EQ(formatAddress(a.address, false), QLatin1String(a.dec));
    }
}

}  // namespace
}  // namespace orrery::link
