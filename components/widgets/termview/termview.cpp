#include "termview.h"

#include <QFontDatabase>

#include "cellfont.h"
#include <QKeyEvent>
#include <QPainter>
#include <QScrollBar>
#include <algorithm>
#include <cmath>

#include "glyphs.h"

namespace orrery::term {

namespace {
const QColor kForeground = Qt::black;
const QColor kBackground = Qt::white;

struct KeyByte {
    int key;
    char byte;
};
// Keys whose byte does not come from the key's text on every platform.
constexpr KeyByte kKeyBytes[] = {
    {Qt::Key_Return, '\r'}, {Qt::Key_Enter, '\r'},  {Qt::Key_Backspace, '\b'},
    {Qt::Key_Tab, '\t'},    {Qt::Key_Escape, 0x1B}, {Qt::Key_Delete, 0x7F},
};
}  // namespace

QByteArray keyBytes(int key, Qt::KeyboardModifiers modifiers, const QString& text) {
    for (const KeyByte& k : kKeyBytes) {
        if (k.key == key) {
            return QByteArray(1, k.byte);
        }
    }
    if ((modifiers & Qt::ControlModifier) && key >= Qt::Key_A && key <= Qt::Key_Z) {
        return QByteArray(1, char(key - Qt::Key_A + 1));
    }
    QByteArray bytes;
    for (QChar c : text) {
        // The line carries bytes; characters beyond Latin-1 have no byte to send.
        if (c.unicode() <= 0xFF) {
            bytes += char(c.unicode());
        }
    }
    return bytes;
}

TermView::TermView(QWidget* parent) : QAbstractScrollArea(parent), m_emulator(m_screen) {
    chooseFont();
    setFocusPolicy(Qt::StrongFocus);
    setAttribute(Qt::WA_InputMethodEnabled, false);
    viewport()->setCursor(Qt::IBeamCursor);
    viewport()->setAutoFillBackground(false);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    m_caretTimer.setInterval(kCaretBlinkMs);
    connect(&m_caretTimer, &QTimer::timeout, this, &TermView::blinkCaret);
    m_caretTimer.start();
}

void TermView::chooseFont() {
    // "Terminal" is the font the display was designed for; where it is missing, a font whose characters
    // all measure the same keeps the columns of a hex dump aligned.
    const int size = QFontDatabase::systemFont(QFontDatabase::FixedFont).pointSize();
    setDisplayFont(chooseCellFont({QStringLiteral("Terminal")}, size > 0 ? size : 10));
}

void TermView::setDisplayFont(const QFont& font) {
    m_font = font;
    m_font.setStyleHint(QFont::TypeWriter);
    m_font.setFixedPitch(true);
    const QFontMetrics metrics(m_font);
    // The advance of a fixed-pitch font is often fractional; cells are placed at multiples of the exact
    // advance so that a run of characters drawn as one string ends where the next cell starts.
    m_cellWidth = std::max<qreal>(1.0, QFontMetricsF(m_font).horizontalAdvance(QLatin1Char('M')));
    m_cellHeight = std::max(1, metrics.height());
    m_ascent = metrics.ascent();
    updateGeometryFromViewport();
}

QPoint TermView::cellCenter(int column, int row) const {
    return QPointF((column - 1 + 0.5) * m_cellWidth, (row - 1 + 0.5) * m_cellHeight).toPoint();
}

QSize TermView::sizeForCells(int columns, int rows) const {
    return {int(std::ceil(columns * m_cellWidth)), rows * m_cellHeight};
}

void TermView::receive(const QByteArray& bytes) {
    m_emulator.receive(reinterpret_cast<const std::uint8_t*>(bytes.constData()), std::size_t(bytes.size()));
    refresh();
}

void TermView::refresh() {
    const DirtyRows dirty = m_screen.takeDirty();
    if (!dirty.any()) {
        return;
    }
    syncScrollBar();
    if (dirty.all || m_screen.viewOffset() > 0) {
        viewport()->update();
        return;
    }
    updateRows(dirty.first, dirty.last);
    if (m_caretViewRow != 0 && m_caretViewRow != m_screen.cursorRow()) {
        updateRows(m_caretViewRow, m_caretViewRow);
    }
}

void TermView::updateRows(int first, int last) {
    viewport()->update(0, (first - 1) * m_cellHeight, viewport()->width(), (last - first + 1) * m_cellHeight);
}

void TermView::syncScrollBar() {
    m_syncingScrollBar = true;
    QScrollBar* bar = verticalScrollBar();
    const int history = m_screen.historySize();
    bar->setRange(0, history);
    bar->setPageStep(std::max(1, m_visibleRows));
    bar->setValue(history - m_screen.viewOffset());
    m_syncingScrollBar = false;
}

void TermView::scrollContentsBy(int dx, int dy) {
    Q_UNUSED(dx);
    Q_UNUSED(dy);
    if (!m_syncingScrollBar) {
        m_screen.setViewOffset(verticalScrollBar()->maximum() - verticalScrollBar()->value());
        m_screen.takeDirty();
        // The wheel or the scroll bar moving into the history is scroll-back as the keys make it: the
        // panel says so, and the keys that end it bring the view back.
        if (m_screen.viewOffset() > 0 && !m_scrollback) {
            m_scrollback = true;
            emit scrollbackEntered();
        }
    }
    viewport()->update();
}

void TermView::setScrollback(bool on) {
    m_scrollback = on;
    if (!on) {
        m_screen.setViewOffset(0);
        refresh();
    }
}

QString TermView::selectedText() const {
    const std::string bytes = m_screen.selectedText();
    return glyphText(reinterpret_cast<const std::uint8_t*>(bytes.data()), int(bytes.size()));
}

void TermView::blinkCaret() {
    m_caretOn = !m_caretOn;
    if (m_screen.viewOffset() == 0) {
        updateRows(m_screen.cursorRow(), m_screen.cursorRow());
    }
}

void TermView::resizeEvent(QResizeEvent* event) {
    QAbstractScrollArea::resizeEvent(event);
    updateGeometryFromViewport();
}

void TermView::updateGeometryFromViewport() {
    m_visibleColumns = std::max(1, int(viewport()->width() / m_cellWidth));
    m_visibleRows = std::max(1, viewport()->height() / m_cellHeight);
    m_screen.setRows(m_visibleRows);
    m_screen.takeDirty();
    horizontalScrollBar()->setRange(0, std::max(0, m_screen.columns() - m_visibleColumns));
    horizontalScrollBar()->setPageStep(m_visibleColumns);
    syncScrollBar();
    viewport()->update();
    emit geometryChanged(m_visibleRows, m_visibleColumns);
}

bool TermView::scrollbackKey(int key) {
    const int offset = m_screen.viewOffset();
    switch (key) {
        case Qt::Key_Up:
            m_screen.setViewOffset(offset + 1);
            break;
        case Qt::Key_Down:
            m_screen.setViewOffset(offset - 1);
            break;
        case Qt::Key_PageUp:
            m_screen.setViewOffset(offset + m_visibleRows);
            break;
        case Qt::Key_PageDown:
            m_screen.setViewOffset(offset - m_visibleRows);
            break;
        case Qt::Key_Home:
            m_screen.setViewOffset(m_screen.historySize());
            break;
        case Qt::Key_End:
            m_screen.setViewOffset(0);
            break;
        default:
            return false;
    }
    refresh();
    viewport()->update();
    return true;
}

void TermView::keyPressEvent(QKeyEvent* event) {
    if (m_interceptor && m_interceptor(event)) {
        return;
    }
    if (m_scrollback && scrollbackKey(event->key())) {
        return;
    }
    const QByteArray bytes = keyBytes(event->key(), event->modifiers(), event->text());
    if (bytes.isEmpty()) {
        // Navigation keys move the view only in scroll-back mode; otherwise they are not ours.
        event->ignore();
        return;
    }
    emit bytesTyped(bytes);
}

bool TermView::focusNextPrevChild(bool) {
    return false;  // Tab goes to the port, not to the next widget
}

Position TermView::positionAt(const QPoint& point) const {
    const int row = std::clamp(point.y() / m_cellHeight, 0, m_visibleRows - 1);
    const int column = std::clamp(int(point.x() / m_cellWidth) + 1 + horizontalScrollBar()->value(), 1,
                                  m_screen.columns());
    return {m_screen.viewTopLine() + row, column};
}

void TermView::mousePressEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) {
        QAbstractScrollArea::mousePressEvent(event);
        return;
    }
    m_selectionAnchor = positionAt(event->position().toPoint());
    m_screen.clearSelection();
    refresh();
}

void TermView::mouseMoveEvent(QMouseEvent* event) {
    if (!(event->buttons() & Qt::LeftButton)) {
        return;
    }
    m_screen.setSelection(m_selectionAnchor, positionAt(event->position().toPoint()));
    refresh();
}

void TermView::paintEvent(QPaintEvent* event) {
    QPainter painter(viewport());
    painter.fillRect(event->rect(), kBackground);
    painter.setFont(m_font);
    const int first = std::max(1, event->rect().top() / m_cellHeight + 1);
    const int last = std::min(m_visibleRows, event->rect().bottom() / m_cellHeight + 1);
    m_caretViewRow = 0;
    for (int row = first; row <= last; ++row) {
        paintRow(painter, row);
    }
}

void TermView::paintRow(QPainter& painter, int viewRow) {
    const long long line = m_screen.viewTopLine() + viewRow - 1;
    const std::uint8_t* cells = m_screen.lineCells(line);
    if (cells == nullptr) {
        return;
    }
    const int firstColumn = horizontalScrollBar()->value() + 1;
    const int lastColumn = std::min(m_screen.columns(), firstColumn + m_visibleColumns);
    const int top = (viewRow - 1) * m_cellHeight;
    const bool caretRow = m_screen.viewOffset() == 0 && viewRow == m_screen.cursorRow();
    if (caretRow) {
        m_caretViewRow = viewRow;
    }
    // Runs of plain ASCII in one colour are drawn as one string; other glyphs one cell at a time, since a
    // fallback font may draw them at another width.
    int column = firstColumn;
    while (column <= lastColumn) {
        const bool selected = m_screen.isSelected(line, column);
        const bool caret = caretRow && m_caretOn && column == m_screen.cursorColumn();
        const bool inverted = selected != caret;
        int end = column + 1;
        const bool ascii = cells[column - 1] >= 32 && cells[column - 1] < 127;
        if (ascii && !caret) {
            while (end <= lastColumn && cells[end - 1] >= 32 && cells[end - 1] < 127 &&
                   m_screen.isSelected(line, end) == selected &&
                   !(caretRow && m_caretOn && end == m_screen.cursorColumn())) {
                ++end;
            }
        }
        const qreal x = (column - firstColumn) * m_cellWidth;
        const QRectF cellRect(x, top, (end - column) * m_cellWidth, m_cellHeight);
        if (inverted) {
            painter.fillRect(cellRect, kForeground);
        }
        painter.setPen(inverted ? kBackground : kForeground);
        const QString text = ascii ? QString::fromLatin1(reinterpret_cast<const char*>(cells + column - 1),
                                                         end - column)
                                   : QString(glyphFor(cells[column - 1]));
        painter.drawText(QPointF(x, top + m_ascent), text);
        column = end;
    }
}

}  // namespace orrery::term
