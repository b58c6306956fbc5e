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

// The memory reads the viewer makes; LinkMemory does them on the logger's line. Each returns true when
// the read FAILED and may then leave its destination partly written.
class VariableMemory {
public:
    virtual ~VariableMemory() = default;
    virtual bool ReadLoggerMemory(quint8* buffer, quint16 address, int count) = 0;
    virtual bool ReadLoggerLong(quint16 address, quint8* destination) = 0;
    virtual bool ReadLoggerString(quint16 address, quint8& length, quint8* characters) = 0;
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
    bool LoadSymbolFile();  // true when nothing was loaded
    void FillVariableRows();
    void CheckSymbolCrc(const QString& messageText);
    bool ReadAllVariables();  // true when any read failed
    void ShowAllValues();
    void RefreshFloatValues();
    // Reads one item; on failure the item keeps its previous value and state.
    bool readItem(TVarItem& item);  // true when the read failed

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
