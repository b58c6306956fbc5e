#include "screen.h"

#include <algorithm>
#include <cstring>

namespace orrery::term {

namespace {
constexpr std::uint8_t kBlank = ' ';
constexpr int kDefaultTabSpacing = 8;
}  // namespace

Screen::Screen(int rows, int columns, int historyLines)
    : m_rows(std::max(1, rows)),
      m_columns(std::max(1, columns)),
      m_historyLimit(std::max(0, historyLines)),
      m_tabStops(std::size_t(m_columns) + 1, false) {
    resetStorage(m_rows);
    for (int c = 1; c <= m_columns; c += kDefaultTabSpacing) {
        m_tabStops[std::size_t(c)] = true;
    }
}

void Screen::resetStorage(int rows) {
    m_rows = rows;
    m_capacity = m_rows + m_historyLimit;
    m_cells.assign(std::size_t(m_capacity) * std::size_t(m_columns), kBlank);
    m_firstLine = 0;
    m_endLine = m_rows;
    m_cursorCells = nullptr;
}

std::uint8_t* Screen::lineAt(long long line) {
    return m_cells.data() + std::size_t(line % m_capacity) * std::size_t(m_columns);
}

const std::uint8_t* Screen::lineAt(long long line) const {
    return m_cells.data() + std::size_t(line % m_capacity) * std::size_t(m_columns);
}

void Screen::blankLine(long long line) { std::memset(lineAt(line), kBlank, std::size_t(m_columns)); }

void Screen::setRows(int rows) {
    rows = std::max(1, rows);
    if (rows == m_rows) {
        return;
    }
    // Keep as many of the newest lines as the new ring holds, and keep the cursor on the same text.
    const std::vector<std::uint8_t> old = m_cells;
    const int oldRows = m_rows;
    const int oldCapacity = m_capacity;
    const long long oldFirst = m_firstLine;
    const long long oldEnd = m_endLine;
    const long long cursorLine = pageTopLine() + m_cursorRow - 1;
    const long long savedLine = pageTopLine() + m_savedRow - 1;

    m_rows = rows;
    m_capacity = m_rows + m_historyLimit;
    m_cells.assign(std::size_t(m_capacity) * std::size_t(m_columns), kBlank);
    // A shorter page gives up the lines below the cursor first (usually blank), then the top lines go
    // into the history; the cursor line always stays on the page.
    long long end = oldEnd;
    if (rows < oldRows) {
        end = std::max(cursorLine + 1, oldEnd - (oldRows - rows));
    }
    if (end - oldFirst < m_rows) {
        // Not enough content: pad with blank lines below (the cursor keeps its text).
        end = oldFirst + m_rows;
    }
    m_endLine = end;
    m_cursorCells = nullptr;
    m_firstLine = std::max(oldFirst, m_endLine - m_capacity);
    for (long long line = m_firstLine; line < m_endLine; ++line) {
        if (line < std::min(oldEnd, end)) {
            std::memcpy(lineAt(line), old.data() + std::size_t(line % oldCapacity) * std::size_t(m_columns),
                        std::size_t(m_columns));
        }
    }
    const auto rowOf = [this](long long line) {
        return int(std::clamp<long long>(line - pageTopLine() + 1, 1, m_rows));
    };
    m_cursorRow = rowOf(cursorLine);
    m_savedRow = rowOf(savedLine);
    m_viewOffset = std::min(m_viewOffset, historySize());
    m_dirty.all = true;
}

void Screen::markDirty(int row) {
    if (m_dirty.first == 0) {
        m_dirty.first = m_dirty.last = row;
    } else {
        m_dirty.first = std::min(m_dirty.first, row);
        m_dirty.last = std::max(m_dirty.last, row);
    }
}

void Screen::newLine() {
    ++m_endLine;
    m_cursorCells = nullptr;
    if (m_endLine - m_firstLine > m_capacity) {
        ++m_firstLine;
    }
    blankLine(m_endLine - 1);
    // A view into the history stays on the same text while the page scrolls beneath it.
    if (m_viewOffset > 0) {
        m_viewOffset = std::min(m_viewOffset + 1, historySize());
    }
    m_dirty.all = true;
}

void Screen::lineFeed() {
    if (m_cursorRow < m_rows) {
        ++m_cursorRow;
        m_cursorCells = nullptr;
    } else {
        newLine();
    }
}

void Screen::setCell(std::uint8_t c) {
    if (m_cursorColumn > m_columns) {
        m_cursorColumn = 1;
        lineFeed();
    }
    if (m_cursorCells == nullptr) {
        m_cursorCells = lineAt(pageTopLine() + m_cursorRow - 1);
    }
    m_cursorCells[m_cursorColumn - 1] = c;
    markDirty(m_cursorRow);
    ++m_cursorColumn;
}

void Screen::putChar(std::uint8_t c) {
    if (c > kCarriageReturn) {
        setCell(c);
        return;
    }
    switch (c) {
        case kCarriageReturn:
            m_cursorColumn = 1;
            markDirty(m_cursorRow);
            break;
        case kLineFeed:
            markDirty(m_cursorRow);
            lineFeed();
            markDirty(m_cursorRow);
            break;
        case kBackspace:
            if (m_cursorColumn > 1) {
                m_cursorColumn = std::min(m_cursorColumn, m_columns + 1) - 1;
                markDirty(m_cursorRow);
            }
            break;
        default:
            setCell(c);
            break;
    }
}

void Screen::putString(const std::uint8_t* text, int length) {
    for (int i = 0; i < length; ++i) {
        putChar(text[i]);
    }
}

void Screen::moveToColumn(int column) {
    if (column <= 0) {
        return;
    }
    m_cursorColumn = std::min(column, m_columns);
    markDirty(m_cursorRow);
}

void Screen::horizontalTab() {
    int column = cursorColumn() + 1;
    while (column < m_columns && !m_tabStops[std::size_t(column)]) {
        ++column;
    }
    m_cursorColumn = std::min(column, m_columns);
    markDirty(m_cursorRow);
}

void Screen::saveCursor() {
    m_savedRow = m_cursorRow;
    m_savedColumn = m_cursorColumn;
}

void Screen::restoreCursor() {
    markDirty(m_cursorRow);
    m_cursorRow = std::clamp(m_savedRow, 1, m_rows);
    m_cursorCells = nullptr;
    m_cursorColumn = std::clamp(m_savedColumn, 1, m_columns + 1);
    markDirty(m_cursorRow);
}

void Screen::setTabStop() { m_tabStops[std::size_t(cursorColumn())] = true; }

void Screen::clearTabStop() { m_tabStops[std::size_t(cursorColumn())] = false; }

bool Screen::isTabStop(int column) const {
    return column >= 1 && column <= m_columns && m_tabStops[std::size_t(column)];
}

std::vector<int> Screen::tabStops() const {
    std::vector<int> stops;
    for (int c = 1; c <= m_columns; ++c) {
        if (m_tabStops[std::size_t(c)]) {
            stops.push_back(c);
        }
    }
    return stops;
}

void Screen::clear() {
    m_firstLine = pageTopLine();
    for (long long line = m_firstLine; line < m_endLine; ++line) {
        blankLine(line);
    }
    m_cursorRow = m_cursorColumn = 1;
    m_cursorCells = nullptr;
    m_savedRow = m_savedColumn = 1;
    m_viewOffset = 0;
    m_hasSelection = false;
    m_dirty.all = true;
}

std::uint8_t Screen::cell(int row, int column) const {
    if (row < 1 || row > m_rows || column < 1 || column > m_columns) {
        return kBlank;
    }
    return lineAt(pageTopLine() + row - 1)[column - 1];
}

std::string Screen::rowText(int row) const {
    if (row < 1 || row > m_rows) {
        return {};
    }
    return lineText(pageTopLine() + row - 1);
}

const std::uint8_t* Screen::lineCells(long long line) const { return hasLine(line) ? lineAt(line) : nullptr; }

std::string Screen::lineText(long long line) const {
    if (!hasLine(line)) {
        return {};
    }
    const std::uint8_t* cells = lineAt(line);
    int length = m_columns;
    while (length > 0 && cells[length - 1] == kBlank) {
        --length;
    }
    return std::string(reinterpret_cast<const char*>(cells), std::size_t(length));
}

void Screen::setViewOffset(int offset) {
    offset = std::clamp(offset, 0, historySize());
    if (offset != m_viewOffset) {
        m_viewOffset = offset;
        m_dirty.all = true;
    }
}

void Screen::setSelection(Position anchor, Position end) {
    const auto before = [](const Position& a, const Position& b) {
        return a.line < b.line || (a.line == b.line && a.column <= b.column);
    };
    m_selectionStart = before(anchor, end) ? anchor : end;
    m_selectionEnd = before(anchor, end) ? end : anchor;
    m_hasSelection = true;
    m_dirty.all = true;
}

void Screen::clearSelection() {
    if (m_hasSelection) {
        m_hasSelection = false;
        m_dirty.all = true;
    }
}

bool Screen::isSelected(long long line, int column) const {
    if (!m_hasSelection || line < m_selectionStart.line || line > m_selectionEnd.line) {
        return false;
    }
    if (line == m_selectionStart.line && column < m_selectionStart.column) {
        return false;
    }
    return !(line == m_selectionEnd.line && column > m_selectionEnd.column);
}

std::string Screen::selectedText() const {
    std::string text;
    if (!m_hasSelection) {
        return text;
    }
    for (long long line = std::max(m_selectionStart.line, m_firstLine);
         line <= m_selectionEnd.line && line < m_endLine; ++line) {
        const std::uint8_t* cells = lineAt(line);
        const int from = line == m_selectionStart.line ? std::max(1, m_selectionStart.column) : 1;
        int to = line == m_selectionEnd.line ? std::min(m_columns, m_selectionEnd.column) : m_columns;
        while (to >= from && cells[to - 1] == kBlank) {
            --to;
        }
        if (to >= from) {
            text.append(reinterpret_cast<const char*>(cells + from - 1), std::size_t(to - from + 1));
        }
        text += "\r\n";
    }
    return text;
}

DirtyRows Screen::takeDirty() {
    DirtyRows dirty = m_dirty;
    m_dirty = DirtyRows{};
    return dirty;
}

}  // namespace orrery::term
