#pragma once
// The variable viewer without its window: the items of a symbol file, the grid's texts, the CRC check
// against the program in the logger, and the reads of single items and of all of them. The dialog
// (TViewVariableDialog) shows cellText() and passes clicks and buttons here; the memory-access session
// around it is withMemoryAccess (viewvarsession.h).
//
// Grid rows: row 0 holds the headers, row r (r >= 1) item r - 1; without items there is one empty row.
// Value cells change only when a read is shown (a click, "All data", the float toggle), so a failed
// "All data" leaves every cell as it was.

#include <QList>
#include <QString>
#include <QStringList>
#include <functional>

#include "linkresult.h"
#include "symbolfile.h"

namespace orrery {
class Prompts;
}

namespace orrery::link {

inline constexpr quint16 kModelByteAddress = 0xFFE8;
inline constexpr int kViewerColumns = 4;
inline constexpr char kSymbolFileFilter[] = "Quobol Symbol Table (*.sym)";

// Where the program lives, by the model byte at 0xFFE8: 164..203 at 0x0140, any other value at 0x8140.
quint16 programStartForModelByte(quint8 modelByte);

// Whether a symbol file's items are now in the viewer: nothing is loaded when the user chose no file or
// the file could not be read whole (the reason has then been shown).
enum class SymbolLoad { Loaded, NothingLoaded };

// The memory reads the viewer makes; LinkMemory does them on the logger's line. A failed read may leave
// its destination partly written.
class VariableMemory {
public:
    virtual ~VariableMemory() = default;
    [[nodiscard]] virtual MemoryRead ReadLoggerMemory(quint8* buffer, quint16 address, int count) = 0;
    [[nodiscard]] virtual MemoryRead ReadLoggerLong(quint16 address, quint8* destination) = 0;
    [[nodiscard]] virtual MemoryRead ReadLoggerString(quint16 address, quint8& length,
                                                      quint8* characters) = 0;
};

class VariableViewer {
public:
    // programDir is the link's folder of the last program or symbol file; the open dialog starts there
    // and a chosen file moves it.
    VariableViewer(VariableMemory& memory, Prompts& prompts, QString& programDir);

    // Asks the user for a symbol file, starting in folder; empty when cancelled. The dialog's window
    // sets it (the viewer itself asks nothing); without it no file is ever chosen.
    std::function<QString(const QString& folder)> chooseSymbolFile = [](const QString&) { return QString(); };

    QList<TVarItem> Items;
    quint16 FileCrc = 0;
    bool AddressInHex = true;
    bool FloatsFixed = true;
    // The user's decimal separator for floats.
    QChar decimalSeparator = QLatin1Char('.');

    int rowCount() const { return int(m_cells.size()); }
    QString cellText(int column, int row) const;

    // What the dialog does when it opens, when "Open" is pressed, and when a cell is chosen.
    void FormShow();
    void openSymbolFile();
    // A left-button press and release over the same cell.
    void cellChosen(int column, int row);

    // Operations.
    [[nodiscard]] SymbolLoad LoadSymbolFile();
    void FillVariableRows();
    void CheckSymbolCrc(const QString& messageText);
    // Failed when any read failed; the failure has then been shown.
    MemoryRead ReadAllVariables();
    void ShowAllValues();
    void RefreshFloatValues();
    // Reads one item; on failure the item keeps its previous value and state.
    [[nodiscard]] MemoryRead readItem(TVarItem& item);

private:
    void afterLoad(const QString& crcMessage);
    void writeHeaders();
    void writeAddresses();
    void toggleAddressForm();
    void toggleFloatForm();
    void readSingleItem(int row);
    QString valueText(const TVarItem& item) const;

    VariableMemory& m_memory;
    Prompts& m_prompts;
    QString& m_programDir;
    QList<QStringList> m_cells;
};

}  // namespace orrery::link
