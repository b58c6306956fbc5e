// Reading symbol files: the title check, both passes, arrays, labels, the CRC line and files written by
// other tools.
#include <QBuffer>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include "symbolfile.h"

namespace orrery::link {
namespace {

SymbolFileContents readText(const QByteArray& text) {
    QByteArray data = text;
    QBuffer buffer(&data);
    buffer.open(QIODevice::ReadOnly);
    return readSymbolFile(buffer);
}

struct Row {
    QString name;
    quint32 address;
    char type;
    bool operator==(const Row&) const = default;
};

std::ostream& operator<<(std::ostream& out, const Row& r) {
    return out << r.name.toStdString() << " " << std::hex << r.address << " " << r.type;
}

std::vector<Row> rowsOf(const SymbolFileContents& c) {
    std::vector<Row> rows;
    for (const TVarItem& item : c.items) {
        EXPECT_FALSE(item.Loaded);
        rows.push_back({item.Name, item.Address, item.TypeLetter});
    }
    return rows;
}

const QByteArray kTitle = "QUOBOL SYMBOL TABLE\r\n";

TEST(SymbolFile, ReadsTheVariablesOfACompilerWrittenFile) {
    const QByteArray file = kTitle +
                            "COUNT V I 74BC\r\n"
                            "NAME  V S 74B0\r\n"
                            "RATE  V F 74A8\r\n"
                            "TEMPS A F 7494 3\r\n"
                            "ROWS  A I 7400 2\r\n"
                            "SCAN  L B 0012\r\n"
                            "PORT2 U U 0003\r\n"
                            "[VCRC]=1a2b\r\n"
                            "[LCRC]=77\r\n";
    const SymbolFileContents c = readText(file);
    EXPECT_EQ(c.status, SymbolFileStatus::Loaded);
    EXPECT_EQ(c.fileCrc, 0x1A2B);
    const std::vector<Row> expected = {
        {"COUNT", 0x74BC, 'I'},     {"NAME$", 0x74B0, 'S'},     {"RATE!", 0x74A8, 'F'},
        {"TEMPS!(0)", 0x7494, 'F'}, {"TEMPS!(1)", 0x7498, 'F'}, {"TEMPS!(2)", 0x749C, 'F'},
        {"ROWS(0)", 0x7400, 'I'},   {"ROWS(1)", 0x7404, 'I'},
    };
    EXPECT_EQ(rowsOf(c), expected);
}

TEST(SymbolFile, RefusesFilesThatDoNotOpenWithTheTitleLine) {
    const QByteArray firstLines[] = {
        "QUOBOL SYMBOL TABLE\n",         // LF alone
        "QUOBOL SYMBOL TABLE",           // no line end at all
        "quobol symbol table\r\n",
        " QUOBOL SYMBOL TABLE\r\n",
        "QUOBOL SYMBOL TABLE \r\n",
        "",
        "COUNT V I 74BC\r\n",
    };
    for (const QByteArray& first : firstLines) {
        const SymbolFileContents c = readText(first + "COUNT V I 74BC\r\n[VCRC]=5\r\n");
        EXPECT_EQ(c.status, SymbolFileStatus::NotSymbolTable) << first.toStdString();
        EXPECT_TRUE(c.items.isEmpty());
    }
}

TEST(SymbolFile, TakesTheCrcLineAndDefaultsToZero) {
    const std::pair<QByteArray, quint16> cases[] = {
        {"[VCRC]=0\r\n", 0x0000},
        {"[VCRC]=ffff\r\n", 0xFFFF},
        {"[VCRC]=C3\r\n", 0x00C3},
        {"[VCRC]=12345\r\n", 0x2345},  // wider than 16 bits: the low 16 bits, as the header holds them
        {"[VCRC]=zz\r\n", 0x0000},
        {"[LCRC]=99\r\n", 0x0000},
        {"", 0x0000},
        {"[VCRC]=10\r\n[VCRC]=20\r\n", 0x0020},
    };
    for (const auto& [lines, crc] : cases) {
        const SymbolFileContents c = readText(kTitle + "COUNT V I 74BC\r\n" + lines);
        EXPECT_EQ(c.status, SymbolFileStatus::Loaded);
        EXPECT_EQ(c.fileCrc, crc) << lines.toStdString();
        EXPECT_EQ(c.items.size(), 1);
    }
}

TEST(SymbolFile, OnlyVariablesAndArraysBecomeRows) {
    const QByteArray file = kTitle +
                            "SCAN L B 0012\r\n"
                            "LOOP L A 0040\r\n"
                            "EXT1 E U 0001\r\n"
                            "\r\n"
                            "LONELY\r\n"
                            "[COMMENT V I 0000\r\n"
                            "[VCRC]=0\r\n";
    const SymbolFileContents c = readText(file);
    EXPECT_EQ(c.status, SymbolFileStatus::Loaded);
    EXPECT_TRUE(c.items.isEmpty());
}

TEST(SymbolFile, ArraysStayInsideTheAddressSpace) {
    struct Case {
        QByteArray line;
        int rows;
        quint32 lastAddress;
    };
    const Case cases[] = {
        {"BIG A I FFF8 10\r\n", 2, 0xFFFC},
        {"TOP A I FFFC 1\r\n", 1, 0xFFFC},
        {"NONE A I 7000 0\r\n", 0, 0},
        {"NEG A I 7000 -3\r\n", 0, 0},
        {"WIDE A I 1237494 2\r\n", 2, 0x7498},  // an address wider than 16 bits keeps its low 16 bits
    };
    for (const Case& c : cases) {
        const SymbolFileContents contents = readText(kTitle + c.line);
        EXPECT_EQ(contents.status, SymbolFileStatus::Loaded) << c.line.toStdString();
        ASSERT_EQ(contents.items.size(), c.rows) << c.line.toStdString();
        if (c.rows > 0) {
            EXPECT_EQ(contents.items.last().Address, c.lastAddress);
        }
    }
}

TEST(SymbolFile, LongNamesAndLinesFromOtherToolsAreCutSafely) {
    const QByteArray longName(200, 'N');
    const QByteArray padding(300, ' ');
    const QByteArray file = kTitle + longName + " V F 0100\r\n" + "X" + padding + "V I 0200\r\n" + longName +
                            " A S 0300 2\r\n" + "SHORT V I 0400" + padding + "\r\n";
    const SymbolFileContents c = readText(file);
    ASSERT_EQ(c.status, SymbolFileStatus::Loaded);
    const QString cut = QString(31, QLatin1Char('N'));
    const std::vector<Row> expected = {
        {cut + "!", 0x0100, 'F'},   {"X", 0x0200, 'I'},     {cut + "$(0)", 0x0300, 'S'},
        {cut + "$(1)", 0x0304, 'S'}, {"SHORT", 0x0400, 'I'},
    };
    EXPECT_EQ(rowsOf(c), expected);
    for (const TVarItem& item : c.items) {
        EXPECT_LE(item.Name.size(), kMaxItemNameLength);
    }
}

TEST(SymbolFile, AVariableLineWithoutItsAddressOrCountEndsTheRead) {
    const QByteArray broken[] = {"BROKEN V I\r\n", "BROKEN V I xyz\r\n", "BROKEN A I 7000\r\n", "BROKEN A I 7000 n\r\n"};
    for (const QByteArray& line : broken) {
        const SymbolFileContents c = readText(kTitle + "FIRST V I 0010\r\n" + line + "LAST V I 0020\r\n");
        EXPECT_EQ(c.status, SymbolFileStatus::EndedEarly) << line.toStdString();
        ASSERT_EQ(c.items.size(), 1);
        EXPECT_EQ(c.items[0].Name, QStringLiteral("FIRST"));
    }
}

// A file that loses its tail between the two passes (another program rewriting it meanwhile).
class ShrinkingBuffer : public QBuffer {
public:
    using QBuffer::QBuffer;
    bool seek(qint64 pos) override {
        buffer().truncate(buffer().indexOf("LAST"));
        return QBuffer::seek(pos);
    }
};

TEST(SymbolFile, AFileThatEndsBeforeEveryCountedLineIsRefused) {
    QByteArray data = kTitle + "FIRST V I 0010\r\nLAST V I 0020\r\n";
    ShrinkingBuffer buffer(&data);
    buffer.open(QIODevice::ReadOnly);
    const SymbolFileContents c = readSymbolFile(buffer);
    EXPECT_EQ(c.status, SymbolFileStatus::EndedEarly);
    ASSERT_EQ(c.items.size(), 1);
    EXPECT_EQ(c.items[0].Name, QStringLiteral("FIRST"));
}

TEST(SymbolFile, ReadsFromAPathAndNamesItInItsMessages) {
    QTemporaryDir dir;
    const QString good = dir.filePath("prog.sym");
    QFile out(good);
    ASSERT_TRUE(out.open(QIODevice::WriteOnly));
    out.write(kTitle + "COUNT V I 74BC\r\n[VCRC]=abcd\r\n[LCRC]=0\r\n");
    out.close();
    const SymbolFileContents c = readSymbolFile(good);
    EXPECT_EQ(c.status, SymbolFileStatus::Loaded);
    EXPECT_EQ(c.fileCrc, 0xABCD);

    const QString missing = dir.filePath("missing.sym");
    EXPECT_EQ(readSymbolFile(missing).status, SymbolFileStatus::NotOpened);
    EXPECT_EQ(symbolFileMessage(SymbolFileStatus::NotOpened, missing), missing + "\nwould not open");
    EXPECT_EQ(symbolFileMessage(SymbolFileStatus::NotSymbolTable, good), good + "\nis not a symbol table");
    EXPECT_EQ(symbolFileMessage(SymbolFileStatus::EndedEarly, good), QStringLiteral("Error reading symbol table file"));
    EXPECT_EQ(symbolFileMessage(SymbolFileStatus::Loaded, good), QString());
}

}  // namespace
}  // namespace orrery::link
