#pragma once
// Reading a symbol file for the variable viewer: the variables it lists, and its "[VCRC]=" value.
//
// The file starts with the line "QUOBOL SYMBOL TABLE" and CR LF; then one line per symbol,
//
//   NAME KIND TYPE ADDRESS [COUNT]        e.g.  "COUNT V I 74BC"   "TEMPS A F 7494 10"
//
// blank-separated, with the address in hexadecimal and, for arrays (kind "A"), the element count in
// decimal; lines starting with "[" carry the two CRCs. Only variables ("V") and arrays ("A") become
// items; an array of n elements becomes n items of 4 bytes each, named NAME(0) .. NAME(n-1). Names of
// floats get "!", names of strings "$".
//
// The reader makes two passes: the first counts the variable lines and takes the "[VCRC]=" value, the
// second takes that many variable lines; a file that ends before them all is refused.
//
// Files written by other tools may hold longer names and lines than the compiler writes. Lines are read
// whole whatever their length, names are cut to the 31 characters of a compiler symbol so that a display
// name never exceeds 39 characters, and arrays are cut where their elements would leave the 16-bit
// address space.

#include <QByteArray>
#include <QList>
#include <QString>
#include <array>

class QIODevice;

namespace orrery::link {

inline constexpr int kMaxSymbolNameLength = 31;
inline constexpr int kMaxItemNameLength = 39;

// One variable or array element of the viewer.
struct TVarItem {
    QString Name;          // display name: symbol name, "!" or "$", and "(i)" for array elements
    quint32 Address = 0;   // logger address, 16-bit
    char TypeLetter = 0;   // 'I', 'F' or 'S' as the file gives it
    bool Loaded = false;   // a read of this item has succeeded
    quint8 Length = 0;     // length of a string value
    std::array<quint8, 256> Value{};  // a 4-byte integer or float in host order, or a string's characters
};

enum class SymbolFileStatus { Loaded, NotOpened, NotSymbolTable, EndedEarly };

struct SymbolFileContents {
    SymbolFileStatus status = SymbolFileStatus::NotOpened;
    QList<TVarItem> items;    // the items read; on EndedEarly those read before the end
    quint16 fileCrc = 0;      // the "[VCRC]=" value, 0 when the file has none
};

// Reads a symbol file from an open device.
SymbolFileContents readSymbolFile(QIODevice& file);
// Opens and reads the file at path.
SymbolFileContents readSymbolFile(const QString& path);

// The message for a status other than Loaded ("%s\nwould not open" and its companions).
QString symbolFileMessage(SymbolFileStatus status, const QString& path);

}  // namespace orrery::link
