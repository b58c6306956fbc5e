// HEX records and the address rules of the EPROM export.
#include <QBuffer>
#include <gtest/gtest.h>
#include <numeric>
#include <vector>

#include "hexrecord.h"

namespace orrery::link {
namespace {

TEST(HexRecord, FormatsDataRecordsWithTheirChecksums) {
    struct Case {
        quint16 address;
        std::vector<quint8> bytes;
        QByteArray line;
    };
    const Case cases[] = {
        {0xC000, std::vector<quint8>(16, 0x00), ":10C00000" + QByteArray(32, '0') + "30\r\n"},
        {0x8140, {0x01, 0x02, 0x03, 0x04}, ":048140000102030431\r\n"},
        {0xFFFF, {0xFF}, ":01FFFF00FF02\r\n"},
        {0x0000, {0x00}, ":0100000000FF\r\n"},
        {0x0140, {0xAB, 0xCD}, ":02014000ABCD45\r\n"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(formatHexRecord(c.address, c.bytes), c.line) << c.line.toStdString();
    }
}

TEST(HexRecord, EveryRecordSumsToZero) {
    std::vector<quint8> bytes(16);
    std::iota(bytes.begin(), bytes.end(), quint8(0xF0));
    const QByteArray line = formatHexRecord(0x7FF8, bytes);
    const QByteArray digits = line.mid(1, line.size() - 3);
    int sum = 0;
    for (qsizetype i = 0; i < digits.size(); i += 2) {
        sum += digits.mid(i, 2).toInt(nullptr, 16);
    }
    EXPECT_EQ(sum % 256, 0);
}

TEST(HexRecord, WriteReportsAFileThatCannotTakeTheLine) {
    const quint8 bytes[] = {1, 2, 3};
    QByteArray stored;
    QBuffer writable(&stored);
    writable.open(QIODevice::WriteOnly);
    EXPECT_EQ(WriteHexRecord(writable, 0xC000, 3, bytes), RecordWrite::Written);
    EXPECT_EQ(stored, QByteArray(":03C0000001020337\r\n"));

    QBuffer readOnly(&stored);
    readOnly.open(QIODevice::ReadOnly);
    EXPECT_EQ(WriteHexRecord(readOnly, 0xC000, 3, bytes), RecordWrite::Failed);
}

TEST(HexRecord, ProgramStartFollowsTheIdentifiedModel) {
    const std::pair<int, quint16> cases[] = {
        {210, 0x8140}, {399, 0x8140}, {400, 0x0140}, {500, 0x0140}, {509, 0x0140},
        {510, 0x8140}, {600, 0x8140}, {800, 0x8140}, {0, 0x8140},   {0xFFFF, 0x8140},
    };
    for (const auto& [model, start] : cases) {
        EXPECT_EQ(programStartForModelNumber(model), start) << model;
    }
}

TEST(HexRecord, ProgramRecordsMoveBetweenTheTwoHalves) {
    const std::pair<quint16, quint16> cases[] = {
        {0x0140, 0x8140}, {0x3FFF, 0xBFFF}, {0x013F, 0x013F}, {0x4000, 0x4000},
        {0x8140, 0x0140}, {0xBFF0, 0x3FF0}, {0xC000, 0x4000}, {0xFFF0, 0x7FF0},
    };
    for (const auto& [logger, record] : cases) {
        EXPECT_EQ(programRecordAddress(logger), record) << std::hex << logger;
    }
}

qint64 totalBytes(const QList<HexPiece>& pieces) {
    qint64 total = 0;
    for (const HexPiece& p : pieces) {
        total += p.count;
    }
    return total;
}

TEST(HexRecord, AProgramOfOneHundredBytesGivesSevenRecordsThenUpperMemory) {
    struct Case {
        int model;
        quint16 firstRecord;
    };
    for (const Case c : {Case{400, 0x8140}, Case{510, 0x0140}, Case{600, 0x0140}}) {
        const quint16 start = programStartForModelNumber(c.model);
        const QList<HexPiece> pieces = exportPieces(start, 100);
        ASSERT_EQ(pieces.size(), 7 + 1024) << c.model;
        for (int i = 0; i < 6; ++i) {
            EXPECT_EQ(pieces[i], (HexPiece{Stretch::Program, quint16(start + 16 * i), 16,
                                           quint16(c.firstRecord + 16 * i)}));
        }
        EXPECT_EQ(pieces[6], (HexPiece{Stretch::Program, quint16(start + 96), 4, quint16(c.firstRecord + 96)}));
        EXPECT_EQ(pieces[7], (HexPiece{Stretch::UpperMemory, 0xC000, 16, 0xC000}));
        EXPECT_EQ(pieces.last(), (HexPiece{Stretch::UpperMemory, 0xFFF0, 16, 0xFFF0}));
        EXPECT_EQ(totalBytes(pieces), 16484);
    }
}

TEST(HexRecord, ProgramStretchNeverWrapsPastTheTopOfMemory) {
    struct Case {
        quint16 start;
        quint32 length;
        int programPieces;
        qint64 programBytes;
    };
    const Case cases[] = {
        {0x8140, 0, 0, 0},
        {0x8140, 1, 1, 1},
        {0x8140, 16, 1, 16},
        {0x8140, 17, 2, 17},
        {0x8140, 0x7EC0, 0x7EC, 0x7EC0},
        {0x8140, 0xFFFF, 0x7EC, 0x7EC0},
        {0x0140, 0x10000, 0xFEC, 0xFEC0},
    };
    for (const Case& c : cases) {
        const QList<HexPiece> pieces = exportPieces(c.start, c.length);
        EXPECT_EQ(pieces.size(), c.programPieces + 1024) << c.length;
        EXPECT_EQ(totalBytes(pieces), c.programBytes + 16384) << c.length;
        for (const HexPiece& p : pieces) {
            EXPECT_LE(quint32(p.readAddress) + quint32(p.count), 0x10000u);
        }
    }
}

}  // namespace
}  // namespace orrery::link
