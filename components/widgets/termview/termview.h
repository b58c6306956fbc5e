#pragma once
// TermView: the terminal display widget. It owns the character-cell screen and its emulator, paints the
// screen black on white in a fixed-pitch font, and turns typed keys into bytes for the port (there is no
// local echo: what the user types shows only when the other side sends it back).
//
// Received bytes go through receive(); the widget repaints only the rows that changed, and Qt folds the
// repaints of many receive() calls into one, so a burst of bytes costs one paint.
//
// The vertical scroll bar moves over the history. Scroll-back mode (Up/Down/PgUp/PgDn/Home/End move the
// view instead of being typed) is switched by the owner; keys reach the owner's interceptor first.

#include <QAbstractScrollArea>
#include <QByteArray>
#include <QFont>
#include <QTimer>
#include <functional>

#include "emulator.h"
#include "screen.h"

namespace orrery::term {

// Bytes a key press sends to the port; empty for keys that send nothing (arrows, function keys).
QByteArray keyBytes(int key, Qt::KeyboardModifiers modifiers, const QString& text);

class TermView : public QAbstractScrollArea {
    Q_OBJECT
public:
    static constexpr int kCaretBlinkMs = 550;

    explicit TermView(QWidget* parent = nullptr);

    Screen& screen() { return m_screen; }
    const Screen& screen() const { return m_screen; }
    Emulator& emulator() { return m_emulator; }

    // Processes received bytes and schedules the repaint of what they changed.
    void receive(const QByteArray& bytes);
    // Repaints what changed by other means (stuffed characters, clear, tab set-up).
    void refresh();

    int visibleColumns() const { return m_visibleColumns; }
    int visibleRows() const { return m_visibleRows; }
    // The font is "Terminal" where it exists, else the system's fixed-pitch font.
    void setDisplayFont(const QFont& font);
    const QFont& displayFont() const { return m_font; }
    qreal cellWidth() const { return m_cellWidth; }
    int cellHeight() const { return m_cellHeight; }
    // Centre of a visible cell in viewport pixels (column and row from 1).
    QPoint cellCenter(int column, int row) const;
    // Client size that shows the given number of columns and rows.
    QSize sizeForCells(int columns, int rows) const;

    bool scrollback() const { return m_scrollback; }
    void setScrollback(bool on);

    // The selected text with each line ended by CR LF, in the display's glyphs.
    QString selectedText() const;
    bool caretShown() const { return m_caretOn; }

    // Called with every key press before the widget handles it; returning true consumes the key.
    void setKeyInterceptor(std::function<bool(QKeyEvent*)> interceptor) { m_interceptor = std::move(interceptor); }

signals:
    void bytesTyped(const QByteArray& bytes);
    void geometryChanged(int rows, int columns);
    // The user scrolled into the history with the wheel or the scroll bar.
    void scrollbackEntered();

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void scrollContentsBy(int dx, int dy) override;
    bool focusNextPrevChild(bool next) override;

private:
    void chooseFont();
    void blinkCaret();
    void updateGeometryFromViewport();
    void syncScrollBar();
    bool scrollbackKey(int key);
    void paintRow(QPainter& painter, int viewRow);
    Position positionAt(const QPoint& point) const;
    void updateRows(int first, int last);

    Screen m_screen;
    Emulator m_emulator;
    QFont m_font;
    qreal m_cellWidth = 8;
    int m_cellHeight = 16;
    int m_ascent = 12;
    int m_visibleColumns = 80;
    int m_visibleRows = 25;
    bool m_scrollback = false;
    bool m_caretOn = true;
    int m_caretViewRow = 0;  // row the caret was last painted on, 0 = none
    bool m_syncingScrollBar = false;
    Position m_selectionAnchor;
    QTimer m_caretTimer;
    std::function<bool(QKeyEvent*)> m_interceptor;
};

}  // namespace orrery::term
