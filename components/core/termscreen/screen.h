#pragma once
// The character-cell screen of the terminal: a page of rows over a bounded scroll-back history, a cursor,
// horizontal tab stops, a saved cursor position, a selection and dirty-row tracking.
//
// Cells hold the received byte itself; turning a byte into a glyph is the painter's business. Columns
// and page rows are counted from 1. Lines are addressed absolutely (a line keeps its number while it
// scrolls up into the history), so a selection stays on its text while new lines arrive.
//
// The model knows nothing of windows: the widget asks for the dirty rows after feeding bytes and repaints
// only those.

#include <cstdint>
#include <string>
#include <vector>

namespace orrery::term {

inline constexpr int kBufferColumns = 132;
inline constexpr int kDefaultHistoryLines = 2000;

inline constexpr std::uint8_t kBackspace = 8;
inline constexpr std::uint8_t kLineFeed = 10;
inline constexpr std::uint8_t kCarriageReturn = 13;

// A place in the buffer: absolute line number and column (from 1).
struct Position {
    long long line = 0;
    int column = 1;
    friend bool operator==(const Position&, const Position&) = default;
};

// Page rows changed since the last takeDirty(). `all` is set when the page scrolled or was cleared.
struct DirtyRows {
    bool all = false;
    int first = 0;  // 0 = no single row changed
    int last = 0;
    bool any() const { return all || first != 0; }
};

class Screen {
public:
    explicit Screen(int rows = 25, int columns = kBufferColumns, int historyLines = kDefaultHistoryLines);

    int rows() const { return m_rows; }
    int columns() const { return m_columns; }
    int historyLimit() const { return m_historyLimit; }
    // Changes the page height; the bottom of the content stays on the page, lines pushed off the top go
    // into the history.
    void setRows(int rows);

    // Cursor on the page (row 1..rows, column 1..columns).
    int cursorRow() const { return m_cursorRow; }
    int cursorColumn() const { return m_cursorColumn > m_columns ? m_columns : m_cursorColumn; }

    // Display commands.
    void putChar(std::uint8_t c);  // CR, LF and BS act on the cursor; every other byte is a glyph
    void putString(const std::uint8_t* text, int length);
    void moveToColumn(int column);  // 0 leaves the cursor where it is; others are clamped to the line
    void horizontalTab();           // next tab stop right of the cursor, else the last column
    void saveCursor();
    void restoreCursor();
    void setTabStop();
    void clearTabStop();
    bool isTabStop(int column) const;
    std::vector<int> tabStops() const;
    // Empties the page and the history and homes the cursor.
    void clear();

    // Reading the buffer.
    std::uint8_t cell(int row, int column) const;  // page row
    std::string rowText(int row) const;            // page row, trailing blanks removed
    long long firstLine() const { return m_firstLine; }
    long long endLine() const { return m_endLine; }  // one past the last line
    long long pageTopLine() const { return m_endLine - m_rows; }
    int historySize() const { return int(pageTopLine() - m_firstLine); }
    bool hasLine(long long line) const { return line >= m_firstLine && line < m_endLine; }
    // The cells of a stored line (columns() bytes).
    const std::uint8_t* lineCells(long long line) const;
    std::string lineText(long long line) const;

    // Scroll-back view: how many lines above the page the view starts (0 = showing the page).
    int viewOffset() const { return m_viewOffset; }
    void setViewOffset(int offset);  // clamped to 0..historySize()
    long long viewTopLine() const { return pageTopLine() - m_viewOffset; }

    // Selection (stream selection between two positions, inclusive, in either order).
    void setSelection(Position anchor, Position end);
    void clearSelection();
    bool hasSelection() const { return m_hasSelection; }
    bool isSelected(long long line, int column) const;
    // Each selected line's text without trailing blanks, each followed by CR LF.
    std::string selectedText() const;

    DirtyRows takeDirty();
    void markAllDirty() { m_dirty.all = true; }

private:
    std::uint8_t* lineAt(long long line);
    const std::uint8_t* lineAt(long long line) const;
    void blankLine(long long line);
    void newLine();
    void lineFeed();
    void markDirty(int row);
    void setCell(std::uint8_t c);
    void resetStorage(int rows);

    int m_rows;
    int m_columns;
    int m_historyLimit;
    int m_capacity = 0;                // lines the ring holds: rows + history
    std::vector<std::uint8_t> m_cells;  // m_capacity lines of m_columns bytes, line n at slot n % capacity
    long long m_firstLine = 0;
    long long m_endLine = 0;

    std::uint8_t* m_cursorCells = nullptr;  // cells of the cursor's line, found again after it moves
    int m_cursorRow = 1;
    int m_cursorColumn = 1;  // columns + 1 while a wrap is pending
    int m_savedRow = 1;
    int m_savedColumn = 1;
    std::vector<bool> m_tabStops;  // index = column

    int m_viewOffset = 0;
    bool m_hasSelection = false;
    Position m_selectionStart;
    Position m_selectionEnd;
    DirtyRows m_dirty{true, 0, 0};
};

}  // namespace orrery::term
