#include "hexrecord.h"

#include <QIODevice>

namespace orrery::link {

namespace {

void appendHexByte(QByteArray& line, quint8 byte) {
    static constexpr char kDigits[] = "0123456789ABCDEF";
    line.append(kDigits[byte >> 4]);
    line.append(kDigits[byte & 0x0F]);
}

}  // namespace

QByteArray formatHexRecord(quint16 address, std::span<const quint8> bytes) {
    const auto count = quint8(bytes.size());
    quint8 sum = quint8(count + (address >> 8) + (address & 0xFF));
    QByteArray line;
    line.reserve(1 + 2 * (4 + kHexRecordMaxBytes + 1) + 2);
    line.append(':');
    appendHexByte(line, count);
    appendHexByte(line, quint8(address >> 8));
    appendHexByte(line, quint8(address & 0xFF));
    line.append("00");
    for (const quint8 byte : bytes) {
        sum = quint8(sum + byte);
        appendHexByte(line, byte);
    }
    appendHexByte(line, quint8(256 - sum));
    line.append("\r\n");
    return line;
}

RecordWrite WriteHexRecord(QIODevice& file, quint16 address, int count, const quint8* bytes) {
    const QByteArray line = formatHexRecord(address, std::span<const quint8>(bytes, std::size_t(count)));
    return file.write(line) == line.size() ? RecordWrite::Written : RecordWrite::Failed;
}

quint16 programStartForModelNumber(int modelNumber) {
    return modelNumber >= 400 && modelNumber <= 509 ? kLowProgramStart : kHighProgramStart;
}

quint16 programRecordAddress(quint16 address) {
    constexpr quint16 kTopBit = 0x8000;
    constexpr quint16 kLowProgramEnd = 0x3FFF;
    if (address >= kLowProgramStart && address <= kLowProgramEnd) {
        return address | kTopBit;
    }
    return address & ~kTopBit;
}

quint32 boundedProgramLength(quint16 programStart, quint32 programLength) {
    const quint32 room = 0x10000u - programStart;
    return qMin(programLength, room);
}

QList<HexPiece> exportPieces(quint16 programStart, quint32 programLength) {
    QList<HexPiece> pieces;
    const quint32 length = boundedProgramLength(programStart, programLength);
    for (quint32 done = 0; done < length; done += kHexRecordMaxBytes) {
        const auto address = quint16(programStart + done);
        const int count = int(qMin<quint32>(kHexRecordMaxBytes, length - done));
        pieces.append({Stretch::Program, address, count, programRecordAddress(address)});
    }
    for (int offset = 0; offset < kUpperMemorySize; offset += kHexRecordMaxBytes) {
        const auto address = quint16(kUpperMemoryStart + offset);
        pieces.append({Stretch::UpperMemory, address, kHexRecordMaxBytes, address});
    }
    return pieces;
}

}  // namespace orrery::link
