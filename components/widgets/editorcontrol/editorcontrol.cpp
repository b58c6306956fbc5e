#include "editorcontrol.h"

#include <QFontDatabase>
#include <QKeyEvent>
#include <QPainter>
#include <QHelpEvent>
#include <algorithm>
#include <QTextBlock>
#include <QToolTip>

#include "cellfont.h"
#include "quobolhighlighter.h"

namespace orrery {

class LineNumberArea : public QWidget {
public:
    explicit LineNumberArea(EditorControl* editor) : QWidget(editor), m_editor(editor) {}
    QSize sizeHint() const override { return {m_editor->lineNumberAreaWidth(), 0}; }

protected:
    void paintEvent(QPaintEvent* event) override { m_editor->paintLineNumbers(event); }

private:
    EditorControl* m_editor;
};

EditorControl::EditorControl(QWidget* parent) : QPlainTextEdit(parent) {
    setFont(chooseCellFont({QStringLiteral("Fixedsys")}, 10));
    setLineWrapMode(QPlainTextEdit::NoWrap);
    setTabChangesFocus(false);
    // The selection stays visible while the find dialog has the focus.
    QPalette p = palette();
    p.setColor(QPalette::Inactive, QPalette::Highlight, p.color(QPalette::Active, QPalette::Highlight));
    p.setColor(QPalette::Inactive, QPalette::HighlightedText, p.color(QPalette::Active, QPalette::HighlightedText));
    setPalette(p);
    setTabSize(m_tabSize);

    m_highlighter = new QuobolHighlighter(document());
    m_lineNumberArea = new LineNumberArea(this);
    connect(this, &QPlainTextEdit::blockCountChanged, this, &EditorControl::updateLineNumberAreaWidth);
    connect(this, &QPlainTextEdit::updateRequest, this, &EditorControl::updateLineNumberArea);
    connect(this, &QPlainTextEdit::cursorPositionChanged, this, &EditorControl::emitCaretChanged);
    updateLineNumberAreaWidth();
}

void EditorControl::setTabSize(int columns) {
    m_tabSize = std::max(1, columns);
    // The exact advance of a character, fractions included: a whole-pixel width puts the stops a little
    // short of the columns, and text that ends on a stop then gets a tab of almost no width.
    setTabStopDistance(cellAdvance(font()) * m_tabSize);
}

void EditorControl::setOverwrite(bool on) {
    if (overwriteMode() != on) {
        setOverwriteMode(on);
        emitCaretChanged();
    }
}

QPair<int, int> EditorControl::errorMarkSpan() const {
    if (!m_errorMark.isSet()) return {-1, 0};
    const QTextBlock block = document()->findBlockByNumber(m_errorMark.line - 1);
    if (!block.isValid()) return {-1, 0};
    const int lineLength = block.length() - 1;
    int start = std::clamp(m_errorMark.column - 1, 0, lineLength);
    int length = std::clamp(m_errorMark.length, 0, lineLength - start);
    if (length == 0 && lineLength > 0) {
        // Nothing to underline at a line end: the last character before it carries the mark.
        start = std::min(start, lineLength) - 1;
        length = 1;
    }
    return {block.position() + start, length};
}

void EditorControl::setErrorMark(const ErrorMark& mark) {
    // Drawn again even when the mark is the same: an edit since may have collapsed the old underline
    // (the marked token deleted and typed again).
    m_errorMark = mark;
    QList<QTextEdit::ExtraSelection> selections;
    const auto [position, length] = errorMarkSpan();
    if (position >= 0 && length > 0) {
        QTextEdit::ExtraSelection underline;
        underline.format.setUnderlineStyle(QTextCharFormat::WaveUnderline);
        underline.format.setUnderlineColor(Qt::red);
        underline.format.setToolTip(mark.message);
        underline.cursor = QTextCursor(document());
        underline.cursor.setPosition(position);
        underline.cursor.setPosition(position + length, QTextCursor::KeepAnchor);
        selections << underline;
    }
    setExtraSelections(selections);
    emit errorMarkChanged();
}

// The underline's message as a tool tip while the mouse rests on the marked characters.
bool EditorControl::event(QEvent* event) {
    if (event->type() == QEvent::ToolTip) {
        auto* help = static_cast<QHelpEvent*>(event);
        const QPoint inViewport = viewport()->mapFrom(this, help->pos());
        const int position = cursorForPosition(inViewport).position();
        const auto [start, length] = errorMarkSpan();
        if (start >= 0 && position >= start && position <= start + length) {
            QToolTip::showText(help->globalPos(), m_errorMark.message, this);
        } else {
            QToolTip::hideText();
        }
        return true;
    }
    return QPlainTextEdit::event(event);
}

int EditorControl::caretLine() const { return textCursor().blockNumber() + 1; }

int EditorControl::caretColumn() const { return textCursor().positionInBlock() + 1; }

void EditorControl::setCaretPosition(int line, int column) {
    const QTextBlock block = document()->findBlockByNumber(std::clamp(line, 1, lineCount()) - 1);
    QTextCursor cursor(block);
    cursor.setPosition(block.position() + std::clamp(column, 1, block.length()) - 1);
    setTextCursor(cursor);
    ensureCursorVisible();
}

QString EditorControl::lineText(int line) const {
    const QTextBlock block = document()->findBlockByNumber(line - 1);
    return block.isValid() ? block.text() : QString();
}

int EditorControl::selectionFirstLine() const {
    return document()->findBlock(textCursor().selectionStart()).blockNumber() + 1;
}

int EditorControl::selectionLastLine() const {
    const QTextCursor cursor = textCursor();
    const QTextBlock last = document()->findBlock(cursor.selectionEnd());
    const bool endsAtLineStart = cursor.hasSelection() && cursor.selectionEnd() == last.position() &&
                                 cursor.selectionStart() < last.position();
    return last.blockNumber() + (endsAtLineStart ? 0 : 1);
}

void EditorControl::insertAtCaret(const QString& text) { textCursor().insertText(text); }

SearchRequest EditorControl::beginSearch(const QString& text, const QString& replacement, SearchOptions options) {
    SearchRequest request{text, replacement, options, {}};
    if (options.testFlag(SearchOption::SelectedOnly) && hasSelection()) {
        request.scope = textCursor();
        QTextCursor start = textCursor();
        start.setPosition(start.selectionStart());
        setTextCursor(start);
    }
    return request;
}

bool EditorControl::searchNext(const SearchRequest& request) {
    QTextCursor cursor = textCursor();
    if (!searchText(cursor, request)) {
        return false;
    }
    setTextCursor(cursor);
    return true;
}

int EditorControl::replaceNext(const SearchRequest& request) {
    QTextCursor cursor = textCursor();
    const int result = replaceText(cursor, request);
    setTextCursor(cursor);
    return result;
}

void EditorControl::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Insert && event->modifiers() == Qt::NoModifier) {
        setOverwrite(!overwrite());
        return;
    }
    if ((event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) && m_autoIndent &&
        !(event->modifiers() & ~Qt::KeypadModifier)) {
        insertNewLineWithIndent();
        return;
    }
    QPlainTextEdit::keyPressEvent(event);
}

// The new line starts with the blanks and tabs that start the line the caret was on.
void EditorControl::insertNewLineWithIndent() {
    const QString line = textCursor().block().text();
    qsizetype n = 0;
    while (n < line.size() && (line[n] == u' ' || line[n] == u'\t')) {
        ++n;
    }
    const int column = textCursor().positionInBlock();
    textCursor().insertText(QLatin1Char('\n') + line.left(std::min<qsizetype>(n, column)));
    ensureCursorVisible();
}

int EditorControl::lineNumberAreaWidth() const {
    int digits = 1;
    for (int max = std::max(1, blockCount()); max >= 10; max /= 10) {
        ++digits;
    }
    return 8 + fontMetrics().horizontalAdvance(QLatin1Char('9')) * std::max(digits, 3);
}

void EditorControl::updateLineNumberAreaWidth() { setViewportMargins(lineNumberAreaWidth(), 0, 0, 0); }

void EditorControl::updateLineNumberArea(const QRect& rect, int dy) {
    if (dy != 0) {
        m_lineNumberArea->scroll(0, dy);
    } else {
        m_lineNumberArea->update(0, rect.y(), m_lineNumberArea->width(), rect.height());
    }
    if (rect.contains(viewport()->rect())) {
        updateLineNumberAreaWidth();
    }
}

void EditorControl::resizeEvent(QResizeEvent* event) {
    QPlainTextEdit::resizeEvent(event);
    const QRect r = contentsRect();
    m_lineNumberArea->setGeometry(QRect(r.left(), r.top(), lineNumberAreaWidth(), r.height()));
}

void EditorControl::paintLineNumbers(QPaintEvent* event) {
    QPainter painter(m_lineNumberArea);
    painter.fillRect(event->rect(), palette().color(QPalette::Window));
    painter.setPen(palette().color(QPalette::Mid));
    QTextBlock block = firstVisibleBlock();
    int top = qRound(blockBoundingGeometry(block).translated(contentOffset()).top());
    const int lineHeight = fontMetrics().height();
    while (block.isValid() && top <= event->rect().bottom()) {
        if (block.isVisible()) {
            painter.drawText(0, top, m_lineNumberArea->width() - 4, lineHeight, Qt::AlignRight,
                             QString::number(block.blockNumber() + 1));
        }
        top += qRound(blockBoundingRect(block).height());
        block = block.next();
    }
}

void EditorControl::emitCaretChanged() { emit caretChanged(caretLine(), caretColumn(), overwrite()); }

}  // namespace orrery
