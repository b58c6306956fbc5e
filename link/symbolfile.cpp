#include "symbolfile.h"

#include <QFile>
#include <optional>

namespace orrery::link {

namespace {

const QByteArray kTitleLine = QByteArrayLiteral("QUOBOL SYMBOL TABLE\r\n");
const QByteArray kVcrcTag = QByteArrayLiteral("[VCRC]=");
// Where the hexadecimal value of a "[VCRC]=" line starts.
constexpr int kVcrcValueColumn = 7;
constexpr int kElementSize = 4;
// No real program has more variables than its address space has bytes; a file that claims more is
// refused rather than allowed to exhaust memory.
constexpr qsizetype kMaxItems = 0x10000;

int hexDigitValue(char c) {
    if (c >= '0' && c <= '9') {
        return c - '0';
    }
    if (c >= 'a' && c <= 'f') {
        return c - 'a' + 10;
    }
    if (c >= 'A' && c <= 'F') {
        return c - 'A' + 10;
    }
    return -1;
}

// The leading hexadecimal number of text (blanks first and a "0x" are allowed), as a C reader of "%x"
// takes it; nothing when no digit follows.
std::optional<quint32> leadingHex(const QByteArray& text) {
    qsizetype i = 0;
    while (i < text.size() && (text[i] == ' ' || text[i] == '\t')) {
        ++i;
    }
    if (i + 1 < text.size() && text[i] == '0' && (text[i + 1] == 'x' || text[i + 1] == 'X')) {
        i += 2;
    }
    quint32 value = 0;
    bool any = false;
    for (; i < text.size(); ++i) {
        const int digit = hexDigitValue(text[i]);
        if (digit < 0) {
            break;
        }
        value = value * 16 + quint32(digit);
        any = true;
    }
    return any ? std::optional<quint32>(value) : std::nullopt;
}

std::optional<int> leadingDecimal(const QByteArray& text) {
    qsizetype end = 0;
    if (end < text.size() && (text[end] == '-' || text[end] == '+')) {
        ++end;
    }
    const qsizetype digitsStart = end;
    while (end < text.size() && text[end] >= '0' && text[end] <= '9' && end - digitsStart < 9) {
        ++end;
    }
    if (end == digitsStart) {
        return std::nullopt;
    }
    return text.left(end).toInt();
}

QList<QByteArray> wordsOf(const QByteArray& line) {
    QList<QByteArray> words;
    qsizetype i = 0;
    const auto isBlank = [](char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; };
    while (i < line.size()) {
        while (i < line.size() && isBlank(line[i])) {
            ++i;
        }
        const qsizetype start = i;
        while (i < line.size() && !isBlank(line[i])) {
            ++i;
        }
        if (i > start) {
            words.append(line.mid(start, i - start));
        }
    }
    return words;
}

char kindOf(const QList<QByteArray>& words) {
    return words.size() > 1 ? words[1][0] : '\0';
}

bool isVariableKind(char kind) {
    return kind == 'V' || kind == 'A';
}

QString typeSuffix(char type) {
    switch (type) {
        case 'F':
            return QStringLiteral("!");
        case 'S':
            return QStringLiteral("$");
        default:
            return {};
    }
}

// The elements of an array that lie inside the address space.
int elementsInAddressSpace(quint32 address, int count) {
    if (count <= 0) {
        return 0;
    }
    const quint32 fitting = (0xFFFFu - address) / kElementSize + 1;
    return int(qMin<quint32>(quint32(count), fitting));
}

struct LineReader {
    QIODevice& file;
    // Reads one whole line with its terminator; an empty result at the end of the file.
    QByteArray next() { return file.atEnd() ? QByteArray() : file.readLine(); }
};

// Adds the items of one variable line; false when the line lacks its address or count or the file
// holds more items than any program could.
bool addItems(const QList<QByteArray>& words, QList<TVarItem>& items) {
    const char kind = kindOf(words);
    const char type = words.size() > 2 ? words[2][0] : '\0';
    const std::optional<quint32> parsedAddress = words.size() > 3 ? leadingHex(words[3]) : std::nullopt;
    if (!parsedAddress) {
        return false;
    }
    const quint32 address = *parsedAddress & 0xFFFF;
    const QString name = QString::fromLatin1(words[0].left(kMaxSymbolNameLength)) + typeSuffix(type);
    TVarItem item;
    item.TypeLetter = type;
    if (kind == 'V') {
        item.Name = name;
        item.Address = address;
        items.append(item);
        return items.size() <= kMaxItems;
    }
    const std::optional<int> count = words.size() > 4 ? leadingDecimal(words[4]) : std::nullopt;
    if (!count) {
        return false;
    }
    const int elements = elementsInAddressSpace(address, *count);
    if (items.size() + elements > kMaxItems) {
        return false;
    }
    for (int i = 0; i < elements; ++i) {
        item.Name = name + QStringLiteral("(%1)").arg(i);
        item.Address = address + quint32(kElementSize * i);
        items.append(item);
    }
    return true;
}

}  // namespace

SymbolFileContents readSymbolFile(QIODevice& file) {
    SymbolFileContents result;
    LineReader reader{file};
    if (reader.next() != kTitleLine) {
        result.status = SymbolFileStatus::NotSymbolTable;
        return result;
    }
    const qint64 firstEntry = file.pos();

    // First pass: how many variable lines there are, and the program's CRC.
    int variableLines = 0;
    for (QByteArray line = reader.next(); !line.isEmpty(); line = reader.next()) {
        if (line.contains(kVcrcTag)) {
            if (const auto crc = leadingHex(line.mid(kVcrcValueColumn))) {
                result.fileCrc = quint16(*crc);
            }
        } else if (!line.startsWith('[') && isVariableKind(kindOf(wordsOf(line)))) {
            ++variableLines;
        }
    }

    // Second pass: exactly that many variable lines.
    file.seek(firstEntry);
    for (int taken = 0; taken < variableLines;) {
        const QByteArray line = reader.next();
        if (line.isEmpty()) {
            result.status = SymbolFileStatus::EndedEarly;
            return result;
        }
        if (line.startsWith('[')) {
            continue;
        }
        const QList<QByteArray> words = wordsOf(line);
        if (!isVariableKind(kindOf(words))) {
            continue;
        }
        if (!addItems(words, result.items)) {
            result.status = SymbolFileStatus::EndedEarly;
            return result;
        }
        ++taken;
    }
    result.status = SymbolFileStatus::Loaded;
    return result;
}

SymbolFileContents readSymbolFile(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        return {};
    }
    return readSymbolFile(file);
}

QString symbolFileMessage(SymbolFileStatus status, const QString& path) {
    switch (status) {
        case SymbolFileStatus::NotOpened:
            return QStringLiteral("%1\nwould not open").arg(path);
        case SymbolFileStatus::NotSymbolTable:
            return QStringLiteral("%1\nis not a symbol table").arg(path);
        case SymbolFileStatus::EndedEarly:
            return QStringLiteral("Error reading symbol table file");
        case SymbolFileStatus::Loaded:
            break;
    }
    return {};
}

}  // namespace orrery::link
