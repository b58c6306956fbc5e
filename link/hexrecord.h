#pragma once
// Intel HEX records for the EPROM image, and the address rules of the two stretches an export copies.
//
// One data record, as written into the image file (16-bit addresses, record type 00):
//
//   +---+-------+---------+------+--------------+----------+-------+
//   | : | count | address | type | data         | checksum | CR LF |
//   |   | 2 hex | 4 hex   | 00   | 2 hex a byte | 2 hex    |       |
//   +---+-------+---------+------+--------------+----------+-------+
//
// Hexadecimal digits are upper case. The checksum is the two's complement, modulo 256, of the sum of the
// count, both address bytes and every data byte. The file ends with the record ":00000001FF".
//
// The image holds the program loaded in the logger and the logger's upper 16 KB (0xC000..0xFFFF). The
// program's record addresses are moved to where the EPROM holds it: a program read from 0x0140..0x3FFF
// is written with the top address bit set, any other with it cleared.

#include <QByteArray>
#include <QList>
#include <span>

class QIODevice;

namespace orrery::link {

inline constexpr int kHexRecordMaxBytes = 16;
inline constexpr char kHexEndRecord[] = ":00000001FF\r\n";

inline constexpr quint16 kLowProgramStart = 0x0140;
inline constexpr quint16 kHighProgramStart = 0x8140;
inline constexpr quint16 kUpperMemoryStart = 0xC000;
inline constexpr int kUpperMemorySize = 0x4000;

// One data record line with its CR LF; bytes holds 1 to 16 data bytes.
QByteArray formatHexRecord(quint16 address, std::span<const quint8> bytes);

// Whether a record line reached the file whole.
enum class RecordWrite { Written, Failed };

// Writes one data record with a single write.
[[nodiscard]] RecordWrite WriteHexRecord(QIODevice& file, quint16 address, int count, const quint8* bytes);

// Where an identified logger keeps its program: models 400 to 509 at 0x0140, every other at 0x8140.
quint16 programStartForModelNumber(int modelNumber);

// The record address of a program byte read from logger address a.
quint16 programRecordAddress(quint16 address);

enum class Stretch { Program, UpperMemory };

// One read of at most 16 bytes and the record that carries it.
struct HexPiece {
    Stretch stretch;
    quint16 readAddress;
    int count;
    quint16 recordAddress;

    bool operator==(const HexPiece&) const = default;
};

// The pieces of an export in file order: the program in 16-byte pieces with one shorter last piece,
// then 0xC000..0xFFFF in 1024 pieces of 16. A program that would run past 0xFFFF stops there rather
// than wrap round into low memory.
QList<HexPiece> exportPieces(quint16 programStart, quint32 programLength);

// The program length the export copies, bounded by the end of the address space.
quint32 boundedProgramLength(quint16 programStart, quint32 programLength);

}  // namespace orrery::link
