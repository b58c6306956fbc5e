// The variable viewer's logic over a memory that can be told to fail: loading, the CRC check, single and
// "All data" reads, and the two header toggles.
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <cstring>
#include <set>

#include "scriptedprompts.h"
#include "viewvariables.h"

namespace orrery::link {
namespace {

// 64 KB of logger memory. A read that touches a failing address writes what it got so far (garbage)
// and fails, as a read cut short on the line does.
class FakeMemory : public VariableMemory {
public:
    QByteArray bytes = QByteArray(0x10000, '\0');
    std::set<quint16> failing;
    QList<std::pair<quint16, int>> reads;

    void put(quint16 address, QByteArray data) { bytes.replace(address, data.size(), data); }
    void putWord(quint16 address, quint16 word) {
        const char b[] = {char(word >> 8), char(word & 0xFF)};
        put(address, QByteArray(b, 2));
    }
    void putLong(quint16 address, quint32 v) {
        const char b[] = {char(v >> 24), char(v >> 16), char(v >> 8), char(v)};
        put(address, QByteArray(b, 4));
    }

    MemoryRead ReadLoggerMemory(quint8* buffer, quint16 address, int count) override {
        reads.append({address, count});
        for (int i = 0; i < count; ++i) {
            const auto at = quint16(address + i);
            if (failing.count(at)) {
                buffer[i] = 0xEE;
                return MemoryRead::Failed;
            }
            buffer[i] = quint8(bytes[at]);
        }
        return MemoryRead::Done;
    }
    MemoryRead ReadLoggerLong(quint16 address, quint8* destination) override {
        if (ReadLoggerMemory(destination, address, 4) == MemoryRead::Failed) {
            return MemoryRead::Failed;
        }
        std::swap(destination[0], destination[3]);
        std::swap(destination[1], destination[2]);
        return MemoryRead::Done;
    }
    MemoryRead ReadLoggerString(quint16 address, quint8& length, quint8* characters) override {
        quint8 l = 0;
        if (ReadLoggerMemory(&l, address, 1) == MemoryRead::Failed ||
            (l != 0 && ReadLoggerMemory(characters, quint16(address + 1), l) == MemoryRead::Failed)) {
            return MemoryRead::Failed;
        }
        length = l;
        return MemoryRead::Done;
    }
};

const QByteArray kTitle = "QUOBOL SYMBOL TABLE\r\n";

class ViewerTest : public ::testing::Test {
protected:
    QTemporaryDir dir;
    FakeMemory memory;
    ScriptedPrompts prompts;
    QString programDir;
    VariableViewer viewer{memory, prompts, programDir};

    void SetUp() override {
        viewer.chooseSymbolFile = [this](const QString& folder) {
            return prompts.openFileName("Open", folder, "");
        };
        memory.bytes[kModelByteAddress] = char(0x80);  // program at 0x8140
        memory.putWord(0x8140, 14);
    }

    QString symbolFile(const QByteArray& lines, const QString& name = "prog.sym") {
        const QString path = dir.filePath(name);
        QFile f(path);
        f.open(QIODevice::WriteOnly);
        f.write(kTitle + lines);
        return path;
    }

    // Shows the dialog with a file of n integer variables COUNTn at 0x7000 + 4n, holding 100 + n.
    void showWithIntegers(int n, quint16 crc = 0) {
        QByteArray lines;
        for (int i = 0; i < n; ++i) {
            lines += QStringLiteral("COUNT%1 V I %2\r\n").arg(i).arg(0x7000 + 4 * i, 4, 16).toLatin1();
            memory.putLong(quint16(0x7000 + 4 * i), quint32(100 + i));
        }
        lines += QStringLiteral("[VCRC]=%1\r\n").arg(crc, 0, 16).toLatin1();
        memory.putWord(0x8140 + 10, crc);
        prompts.answerFile(symbolFile(lines));
        viewer.FormShow();
    }

    QStringList column(int c) const {
        QStringList out;
        for (int r = 0; r < viewer.rowCount(); ++r) {
            out << viewer.cellText(c, r);
        }
        return out;
    }
};

TEST_F(ViewerTest, ShowingTheDialogFillsTheGridFromTheSymbolFile) {
    memory.putWord(0x8140 + 10, 0xBEEF);
    prompts.answerFile(symbolFile("COUNT V I 74BC\r\nNAME V S 74B0\r\nTEMPS A F 7494 3\r\nSCAN L B 0012\r\n"
                                  "[VCRC]=beef\r\n[LCRC]=0\r\n"));
    viewer.FormShow();
    EXPECT_EQ(prompts.messages(), QStringList());
    EXPECT_EQ(programDir, dir.path() + "/");
    EXPECT_EQ(column(0), QStringList({"Variable Name", "COUNT", "NAME$", "TEMPS!(0)", "TEMPS!(1)", "TEMPS!(2)"}));
    EXPECT_EQ(column(1), QStringList({"Type", "Integer", "String", "Float", "Float", "Float"}));
    EXPECT_EQ(column(2), QStringList({"Address (hex)", "74BC", "74B0", "7494", "7498", "749C"}));
    EXPECT_EQ(column(3), QStringList({"Data (floats in fixed point format)", "", "", "", "", ""}));
}

TEST_F(ViewerTest, TheModelByteDecidesWhereTheCrcIsRead) {
    const std::pair<quint8, quint16> cases[] = {{0xA4, 0x014A}, {0xCB, 0x014A}, {0xA3, 0x814A}, {0xCC, 0x814A},
                                                {0x00, 0x814A}, {0xFF, 0x814A}};
    for (const auto& [modelByte, crcAddress] : cases) {
        EXPECT_EQ(programStartForModelByte(modelByte) + 10, crcAddress);
        memory.reads.clear();
        memory.bytes[kModelByteAddress] = char(modelByte);
        memory.putWord(crcAddress, 0x1234);
        memory.putWord(crcAddress - 10, 14);
        viewer.FileCrc = 0x1234;
        viewer.CheckSymbolCrc("unused");
        EXPECT_EQ(memory.reads, (QList<std::pair<quint16, int>>{{0xFFE8, 1}, {crcAddress, 2}})) << int(modelByte);
        memory.putWord(crcAddress, 0);
    }
    EXPECT_EQ(prompts.messages(), QStringList());
}

TEST_F(ViewerTest, CrcMismatchIsReportedWithBothValues) {
    struct Case {
        quint16 headerSize;
        quint32 wideCrc;
        quint16 fileCrc;
        QString message;
    };
    const QString mismatch = "CRC mismatch on symbol table\nBrackwater: %1  File: %2";
    const Case cases[] = {
        {14, 0, 0x00C3, mismatch.arg("0ABC", "00C3")},
        {14, 0, 0x0000, mismatch.arg("0ABC", "0000")},  // a file without a "[VCRC]=" line
        {82, 0x00001A2B, 0x1A2B, QString()},             // long header: the CRC further on matches
        {82, 0x00001A2B, 0x1A2C, mismatch.arg("1A2B", "1A2C")},
    };
    for (const Case& c : cases) {
        ScriptedPrompts local;
        VariableViewer v(memory, local, programDir);
        v.chooseSymbolFile = [&local](const QString& folder) {
            return local.openFileName("Open", folder, "");
        };
        memory.putWord(0x8140, c.headerSize);
        memory.putWord(0x8140 + 10, 0x0ABC);
        memory.putLong(0x8140 + 42, c.wideCrc);
        v.FileCrc = c.fileCrc;
        v.CheckSymbolCrc("unused");
        EXPECT_EQ(local.messages(), c.message.isEmpty() ? QStringList() : QStringList{c.message}) << c.headerSize;
    }
}

TEST_F(ViewerTest, UnreadableModelByteOrCrcGivesTheCallersText) {
    for (const quint16 failing : {quint16(0xFFE8), quint16(0x814B)}) {
        memory.failing = {failing};
        ScriptedPrompts local;
        VariableViewer v(memory, local, programDir);
        v.chooseSymbolFile = [&local](const QString& folder) {
            return local.openFileName("Open", folder, "");
        };
        local.answerFile(symbolFile("COUNT V I 74BC\r\n"));
        v.FormShow();
        local.answerFile(symbolFile("COUNT V I 74BC\r\n"));
        v.openSymbolFile();
        EXPECT_EQ(local.messages(), QStringList({"Error communicating with Brackwater",
                                                 "Error communicationg with Brackwater"}));
        EXPECT_EQ(v.rowCount(), 2);
    }
}

TEST_F(ViewerTest, FilesThatLoadNothing) {
    const QString missing = dir.filePath("missing.sym");
    const QString notTable = dir.filePath("other.sym");
    QFile f(notTable);
    f.open(QIODevice::WriteOnly);
    f.write("QUOBOL SYMBOL TABLE\nCOUNT V I 74BC\n");
    f.close();
    struct Case {
        QString answer;
        QStringList messages;
    };
    const Case cases[] = {
        {QString(), {}},
        {missing, {missing + "\nwould not open"}},
        {notTable, {notTable + "\nis not a symbol table"}},
        {symbolFile("SCAN L B 0012\r\n[VCRC]=0\r\n[LCRC]=5\r\n", "labels.sym"), {"No variables in this symbol table"}},
    };
    for (const Case& c : cases) {
        ScriptedPrompts local;
        VariableViewer v(memory, local, programDir);
        v.chooseSymbolFile = [&local](const QString& folder) {
            return local.openFileName("Open", folder, "");
        };
        local.answerFile(c.answer);
        v.FormShow();
        EXPECT_EQ(local.messages(), c.messages) << c.answer.toStdString();
        EXPECT_EQ(v.rowCount(), 2);
        EXPECT_EQ(v.cellText(0, 1), QString());
        EXPECT_TRUE(local.unexpected().isEmpty());
    }
}

TEST_F(ViewerTest, ACancelledOpenKeepsTheLoadedItems) {
    showWithIntegers(3);
    prompts.answerFile(QString());
    viewer.openSymbolFile();
    EXPECT_EQ(viewer.Items.size(), 3);
    EXPECT_EQ(viewer.rowCount(), 4);
}

TEST_F(ViewerTest, AllDataShowsProgressOnlyAboveTenRowsAndPollsEveryFifth) {
    struct Case {
        int rows;
        int cancelAt;
        int progressStarts;
        int polls;
        int loaded;
    };
    const Case cases[] = {
        {10, -1, 0, 0, 10},
        {11, -1, 1, 2, 11},
        {12, -1, 1, 2, 12},
        {12, 0, 1, 1, 5},   // Cancel at the first poll: rows 1 to 5 were read and are shown
        {12, 1, 1, 2, 10},
    };
    for (const Case& c : cases) {
        ScriptedPrompts local;
        local.scriptedProgress().cancelAtCall(c.cancelAt);
        VariableViewer v(memory, local, programDir);
        v.chooseSymbolFile = [&local](const QString& folder) {
            return local.openFileName("Open", folder, "");
        };
        QByteArray lines;
        for (int i = 0; i < c.rows; ++i) {
            lines += QStringLiteral("V%1 V I %2\r\n").arg(i).arg(0x7000 + 4 * i, 4, 16).toLatin1();
            memory.putLong(quint16(0x7000 + 4 * i), quint32(-i));
        }
        local.answerFile(symbolFile(lines + "[VCRC]=0\r\n"));
        memory.putWord(0x8140 + 10, 0);
        v.FormShow();
        EXPECT_EQ(v.ReadAllVariables(), MemoryRead::Done);
        const ScriptedProgress& p = local.scriptedProgress();
        EXPECT_EQ(p.captions.size(), c.progressStarts) << c.rows;
        if (c.progressStarts > 0) {
            EXPECT_EQ(p.captions[0], QStringLiteral("Loading variable data"));
            EXPECT_EQ(p.maximums[0], c.rows);
            EXPECT_FALSE(p.open);
        }
        EXPECT_EQ(p.calls, c.polls);
        for (int r = 1; r <= c.rows; ++r) {
            const bool loaded = r <= c.loaded;
            EXPECT_EQ(v.Items[r - 1].Loaded, loaded);
            EXPECT_EQ(v.cellText(3, r), loaded ? QString::number(-(r - 1)) : QString()) << r;
        }
        EXPECT_EQ(local.messages(), QStringList());
    }
}

TEST_F(ViewerTest, AFailedAllDataChangesNoCellAndKeepsTheFailedItemsValue) {
    showWithIntegers(4);
    viewer.cellChosen(3, 3);
    ASSERT_EQ(viewer.cellText(3, 3), "102");
    memory.putLong(0x7008, 999);
    memory.putLong(0x7000, 555);
    memory.failing = {0x700A};
    EXPECT_EQ(viewer.ReadAllVariables(), MemoryRead::Failed);
    EXPECT_EQ(prompts.messages(), QStringList{"Error reading data from Brackwater"});
    EXPECT_EQ(column(3).mid(1), QStringList({"", "", "102", ""}));
    EXPECT_TRUE(viewer.Items[2].Loaded);
    qint32 kept = 0;
    std::memcpy(&kept, viewer.Items[2].Value.data(), 4);
    EXPECT_EQ(kept, 102);
    // The others were read; the float toggle shows nothing new for integers.
    EXPECT_TRUE(viewer.Items[0].Loaded);
    memory.failing.clear();
    EXPECT_EQ(viewer.ReadAllVariables(), MemoryRead::Done);
    EXPECT_EQ(column(3).mid(1), QStringList({"555", "101", "999", "103"}));
}

TEST_F(ViewerTest, AChosenValueCellReadsThatItem) {
    memory.putLong(0x7000, 0x3F000000);  // 0.5
    memory.put(0x7010, QByteArray("\x05HELLO", 6));
    memory.put(0x7020, QByteArray("\x00", 1));
    prompts.answerFile(symbolFile("RATE V F 7000\r\nNAME V S 7010\r\nBLANK V S 7020\r\nODD V X 7030\r\n"));
    viewer.FormShow();
    prompts.answerFile(QString());
    for (int row = 1; row <= 4; ++row) {
        viewer.cellChosen(3, row);
    }
    EXPECT_EQ(column(3).mid(1), QStringList({"0.5000000", "HELLO", "", ""}));
    EXPECT_TRUE(viewer.Items[3].Loaded);
    // The empty string needs no second read.
    EXPECT_EQ(std::count_if(memory.reads.begin(), memory.reads.end(), [](const auto& r) { return r.first == 0x7021; }),
              0);
    EXPECT_TRUE(std::find(memory.reads.begin(), memory.reads.end(), std::pair<quint16, int>(0x7011, 5)) !=
                memory.reads.end());

    memory.failing = {0x7013};
    memory.put(0x7010, QByteArray("\x05WORLD", 6));
    viewer.cellChosen(3, 2);
    EXPECT_EQ(prompts.messages(), QStringList{"Error communicating with Brackwater"});
    EXPECT_EQ(viewer.cellText(3, 2), "HELLO");
    EXPECT_EQ(viewer.Items[1].Length, 5);
    EXPECT_EQ(QByteArray(reinterpret_cast<const char*>(viewer.Items[1].Value.data()), 5), "HELLO");

    // Other cells and other columns read nothing.
    memory.reads.clear();
    for (const auto& [c, r] : {std::pair{0, 1}, std::pair{1, 1}, std::pair{2, 1}, std::pair{0, 0}, std::pair{1, 0},
                               std::pair{3, 5}, std::pair{3, -1}}) {
        viewer.cellChosen(c, r);
    }
    EXPECT_TRUE(memory.reads.isEmpty());
}

TEST_F(ViewerTest, HeaderCellsToggleTheAddressAndFloatForms) {
    memory.putLong(0x7494, 0x44DA5000);  // 1746.5
    memory.putLong(0x7000, 7);
    prompts.answerFile(symbolFile("TEMPS A F 7494 2\r\nN V I 7000\r\n"));
    viewer.FormShow();
    viewer.cellChosen(3, 1);
    viewer.cellChosen(3, 3);
    EXPECT_EQ(column(3).mid(1), QStringList({"1746.5000000", "", "7"}));

    viewer.cellChosen(2, 0);
    EXPECT_FALSE(viewer.AddressInHex);
    EXPECT_EQ(column(2), QStringList({"Address (dec)", "29844", "29848", "28672"}));
    viewer.cellChosen(2, 0);
    EXPECT_EQ(column(2), QStringList({"Address (hex)", "7494", "7498", "7000"}));

    viewer.cellChosen(3, 0);
    EXPECT_FALSE(viewer.FloatsFixed);
    EXPECT_EQ(column(3), QStringList({"Data (floats in scientific format)", "1.746500E+03", "", "7"}));
    viewer.decimalSeparator = QLatin1Char(',');
    viewer.cellChosen(3, 0);
    EXPECT_EQ(column(3), QStringList({"Data (floats in fixed point format)", "1746,5000000", "", "7"}));

    // Showing the dialog again starts in hexadecimal and fixed point.
    viewer.cellChosen(2, 0);
    viewer.cellChosen(3, 0);
    prompts.answerFile(QString());
    viewer.FormShow();
    EXPECT_TRUE(viewer.AddressInHex);
    EXPECT_TRUE(viewer.FloatsFixed);
    EXPECT_EQ(column(2), QStringList({"Address (hex)", ""}));
    EXPECT_TRUE(viewer.Items.isEmpty());
}

}  // namespace
}  // namespace orrery::link
