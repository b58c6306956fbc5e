#include "viewvariables.h"

#include <QFileInfo>

#include "linkresult.h"
#include "prompts.h"
#include "varformat.h"

namespace orrery::link {

namespace {

const QString kHeaderName = QStringLiteral("Variable Name");
const QString kHeaderType = QStringLiteral("Type");
const QString kHeaderAddressHex = QStringLiteral("Address (hex)");
const QString kHeaderAddressDec = QStringLiteral("Address (dec)");
const QString kHeaderFixed = QStringLiteral("Data (floats in fixed point format)");
const QString kHeaderScientific = QStringLiteral("Data (floats in scientific format)");
// The text "Open" has always shown for the same failure, misspelt as it is.
const QString kErrorCommunicatingAfterOpen = QStringLiteral("Error communicationg with Brackwater");
const QString kNoVariables = QStringLiteral("No variables in this symbol table");
const QString kErrorReadingData = QStringLiteral("Error reading data from Brackwater");
const QString kLoadingCaption = QStringLiteral("Loading variable data");

constexpr int kAddressColumn = 2;
constexpr int kValueColumn = 3;
// "All data" shows its progress only for longer lists, and polls Cancel every fifth row, so that short
// lists do not flash a dialog and long ones do not pay for a repaint per row.
constexpr int kProgressAboveRows = 10;
constexpr int kCancelPollEvery = 5;

constexpr quint8 kLowModelBytes[] = {164, 203};
constexpr quint16 kVcrcOffset = 10;
// The long program header (models 700 and 800): its size word, and where it keeps the VCRC.
constexpr quint16 kLongHeaderSize = 82;
constexpr quint16 kLongVcrcOffset = 42;

QStringList emptyRow() {
    return QStringList(kViewerColumns, QString());
}

}  // namespace

quint16 programStartForModelByte(quint8 modelByte) {
    return modelByte >= kLowModelBytes[0] && modelByte <= kLowModelBytes[1] ? 0x0140 : 0x8140;
}

VariableViewer::VariableViewer(VariableMemory& memory, Prompts& prompts, QString& programDir)
    : m_memory(memory), m_prompts(prompts), m_programDir(programDir) {
    m_cells = {emptyRow(), emptyRow()};
    writeHeaders();
}

QString VariableViewer::cellText(int column, int row) const {
    if (row < 0 || row >= m_cells.size() || column < 0 || column >= kViewerColumns) {
        return {};
    }
    return m_cells[row][column];
}

void VariableViewer::writeHeaders() {
    m_cells[0] = {kHeaderName, kHeaderType, AddressInHex ? kHeaderAddressHex : kHeaderAddressDec,
                  FloatsFixed ? kHeaderFixed : kHeaderScientific};
}

void VariableViewer::FormShow() {
    AddressInHex = true;
    FloatsFixed = true;
    writeHeaders();
    Items.clear();
    m_cells = {m_cells[0], emptyRow()};
    afterLoad(kErrorCommunicating);
}

void VariableViewer::openSymbolFile() {
    afterLoad(kErrorCommunicatingAfterOpen);
}

void VariableViewer::afterLoad(const QString& crcMessage) {
    if (LoadSymbolFile() == SymbolLoad::NothingLoaded) {
        return;
    }
    if (Items.isEmpty()) {
        m_prompts.showMessage(kNoVariables);
        return;
    }
    FillVariableRows();
    CheckSymbolCrc(crcMessage);
}

SymbolLoad VariableViewer::LoadSymbolFile() {
    const QString path = chooseSymbolFile(m_programDir);
    if (path.isEmpty()) {
        return SymbolLoad::NothingLoaded;
    }
    m_programDir = QFileInfo(path).absolutePath() + QLatin1Char('/');
    Items.clear();
    SymbolFileContents contents = readSymbolFile(path);
    if (contents.status == SymbolFileStatus::Loaded || contents.status == SymbolFileStatus::EndedEarly) {
        FileCrc = contents.fileCrc;
        Items = std::move(contents.items);
    }
    if (contents.status != SymbolFileStatus::Loaded) {
        m_prompts.showMessage(symbolFileMessage(contents.status, path));
        return SymbolLoad::NothingLoaded;
    }
    return SymbolLoad::Loaded;
}

void VariableViewer::FillVariableRows() {
    m_cells = {m_cells[0]};
    if (Items.isEmpty()) {
        m_cells.append(emptyRow());
        return;
    }
    for (const TVarItem& item : Items) {
        m_cells.append({item.Name, typeWord(item.TypeLetter), formatAddress(item.Address, AddressInHex), QString()});
    }
}

void VariableViewer::CheckSymbolCrc(const QString& messageText) {
    quint8 modelByte = 0;
    if (m_memory.ReadLoggerMemory(&modelByte, kModelByteAddress, 1) == MemoryRead::Failed) {
        m_prompts.showMessage(messageText);
        return;
    }
    const quint16 start = programStartForModelByte(modelByte);
    quint8 crc[2] = {};
    if (m_memory.ReadLoggerMemory(crc, quint16(start + kVcrcOffset), 2) == MemoryRead::Failed) {
        m_prompts.showMessage(messageText);
        return;
    }
    quint32 loggerCrc = quint32(crc[0]) << 8 | crc[1];
    if (loggerCrc != FileCrc) {
        // A long header keeps the CRC further on, where only its size word tells; short headers never
        // pay for the extra read unless their CRC already differs.
        quint8 size[2] = {};
        if (m_memory.ReadLoggerMemory(size, start, 2) == MemoryRead::Failed) {
            m_prompts.showMessage(messageText);
            return;
        }
        if ((quint16(size[0]) << 8 | size[1]) == kLongHeaderSize) {
            quint8 wide[4] = {};
            if (m_memory.ReadLoggerMemory(wide, quint16(start + kLongVcrcOffset), 4) == MemoryRead::Failed) {
                m_prompts.showMessage(messageText);
                return;
            }
            loggerCrc = quint32(wide[0]) << 24 | quint32(wide[1]) << 16 | quint32(wide[2]) << 8 | wide[3];
        }
    }
    if (loggerCrc != FileCrc) {
        m_prompts.showMessage(QStringLiteral("CRC mismatch on symbol table\nBrackwater: %1  File: %2")
                                  .arg(QStringLiteral("%1").arg(loggerCrc, 4, 16, QLatin1Char('0')).toUpper(),
                                       QStringLiteral("%1").arg(FileCrc, 4, 16, QLatin1Char('0')).toUpper()));
    }
}

MemoryRead VariableViewer::readItem(TVarItem& item) {
    TVarItem read = item;
    const auto address = quint16(item.Address);
    const MemoryRead outcome = item.TypeLetter == 'S'
                                   ? m_memory.ReadLoggerString(address, read.Length, read.Value.data())
                                   : m_memory.ReadLoggerLong(address, read.Value.data());
    if (outcome == MemoryRead::Failed) {
        return MemoryRead::Failed;
    }
    read.Loaded = true;
    item = read;
    return MemoryRead::Done;
}

MemoryRead VariableViewer::ReadAllVariables() {
    if (Items.isEmpty()) {
        return MemoryRead::Done;
    }
    const int rows = int(Items.size());
    Progress& progress = m_prompts.progress();
    const bool showProgress = rows > kProgressAboveRows;
    if (showProgress) {
        progress.start(kLoadingCaption, rows, false);
    }
    bool anyFailed = false;
    for (int row = 1; row <= rows; ++row) {
        anyFailed |= readItem(Items[row - 1]) == MemoryRead::Failed;
        if (row % kCancelPollEvery == 0 && showProgress && progress.update(row)) {
            break;
        }
    }
    if (showProgress) {
        progress.close();
    }
    if (anyFailed) {
        m_prompts.showMessage(kErrorReadingData);
    } else {
        ShowAllValues();
    }
    return anyFailed ? MemoryRead::Failed : MemoryRead::Done;
}

QString VariableViewer::valueText(const TVarItem& item) const {
    return formatValue(item, FloatsFixed, decimalSeparator);
}

void VariableViewer::ShowAllValues() {
    for (int i = 0; i < Items.size() && i + 1 < m_cells.size(); ++i) {
        if (Items[i].Loaded) {
            m_cells[i + 1][kValueColumn] = valueText(Items[i]);
        }
    }
}

void VariableViewer::RefreshFloatValues() {
    for (int i = 0; i < Items.size() && i + 1 < m_cells.size(); ++i) {
        if (Items[i].Loaded && isFloatType(Items[i].TypeLetter)) {
            m_cells[i + 1][kValueColumn] = valueText(Items[i]);
        }
    }
}

void VariableViewer::writeAddresses() {
    for (int i = 0; i < Items.size() && i + 1 < m_cells.size(); ++i) {
        m_cells[i + 1][kAddressColumn] = formatAddress(Items[i].Address, AddressInHex);
    }
}

void VariableViewer::toggleAddressForm() {
    AddressInHex = !AddressInHex;
    writeHeaders();
    writeAddresses();
}

void VariableViewer::toggleFloatForm() {
    FloatsFixed = !FloatsFixed;
    writeHeaders();
    RefreshFloatValues();
}

void VariableViewer::readSingleItem(int row) {
    TVarItem& item = Items[row - 1];
    if (readItem(item) == MemoryRead::Failed) {
        m_prompts.showMessage(kErrorCommunicating);
        return;
    }
    const QString text = valueText(item);
    if (!typeWord(item.TypeLetter).isEmpty()) {
        m_cells[row][kValueColumn] = text;
    }
}

void VariableViewer::cellChosen(int column, int row) {
    if (row == 0 && column == kAddressColumn) {
        toggleAddressForm();
    } else if (row == 0 && column == kValueColumn) {
        toggleFloatForm();
    } else if (row >= 1 && row <= Items.size() && row < m_cells.size() && column == kValueColumn) {
        readSingleItem(row);
    }
}

}  // namespace orrery::link
