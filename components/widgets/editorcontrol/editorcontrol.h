#pragma once
// The plain-text editor control of the source windows: a fixed-pitch QPlainTextEdit with insert and
// overwrite modes (Insert key), auto indent, a tab size, a line-number margin and Quobol highlighting,
// plus the caret, line and search operations the workbench commands use. Lines and columns are
// counted from 1; a column is a character position in its line (a tab counts as one).

#include <QPlainTextEdit>

#include "editorsearch.h"

namespace orrery {

class QuobolHighlighter;

// A compile error shown in the text: a wavy red underline from column for length characters of line
// (at least one character: an error at a line end marks the line's last character), its message in a
// tool tip there.
struct ErrorMark {
    int line = 0;  // 1-based; 0: no mark
    int column = 1;
    int length = 0;
    QString message;
    bool isSet() const { return line > 0; }
    bool operator==(const ErrorMark&) const = default;
};

class EditorControl : public QPlainTextEdit {
    Q_OBJECT
public:
    explicit EditorControl(QWidget* parent = nullptr);

    void setAutoIndent(bool on) { m_autoIndent = on; }
    bool autoIndent() const { return m_autoIndent; }
    void setTabSize(int columns);
    int tabSize() const { return m_tabSize; }
    // The Insert key switches between the two; caretChanged reports every change.
    void setOverwrite(bool on);
    bool overwrite() const { return overwriteMode(); }

    QString text() const { return toPlainText(); }
    void setText(const QString& text) { setPlainText(text); }
    bool isModified() const { return document()->isModified(); }
    void setModified(bool modified) { document()->setModified(modified); }
    bool hasSelection() const { return textCursor().hasSelection(); }
    bool canUndo() const { return document()->isUndoAvailable(); }

    int lineCount() const { return document()->blockCount(); }
    int caretLine() const;
    int caretColumn() const;
    // Moves the caret, clamping both values into the text, and scrolls it into view.
    void setCaretPosition(int line, int column);
    QString lineText(int line) const;
    // The first and last line touched by the selection (the caret's line when there is none). A
    // selection that ends at the very start of a line does not include that line.
    int selectionFirstLine() const;
    int selectionLastLine() const;
    void insertAtCaret(const QString& text);

    // Starts a search command: with SelectedOnly the current selection becomes the scope and the caret
    // moves to its start. The request is then used for searchNext()/replaceNext().
    SearchRequest beginSearch(const QString& text, const QString& replacement, SearchOptions options);
    bool searchNext(const SearchRequest& request);
    int replaceNext(const SearchRequest& request);

    // The options of the last search command on this editor; "Find again" continues with them.
    SearchOptions searchOptions() const { return m_searchOptions; }
    void setSearchOptions(SearchOptions options) { m_searchOptions = options; }

    // The error underline; setErrorMark({}) removes it. errorMark() says what is shown.
    void setErrorMark(const ErrorMark& mark);
    const ErrorMark& errorMark() const { return m_errorMark; }
    // The characters the underline covers (position in the document and count), or {-1, 0}.
    QPair<int, int> errorMarkSpan() const;

    int lineNumberAreaWidth() const;
    QuobolHighlighter* highlighter() const { return m_highlighter; }

signals:
    void caretChanged(int line, int column, bool overwrite);
    void errorMarkChanged();

protected:
    bool event(QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    friend class LineNumberArea;
    void paintLineNumbers(QPaintEvent* event);
    void updateLineNumberAreaWidth();
    void updateLineNumberArea(const QRect& rect, int dy);
    void emitCaretChanged();
    void insertNewLineWithIndent();

    QWidget* m_lineNumberArea = nullptr;
    QuobolHighlighter* m_highlighter = nullptr;
    bool m_autoIndent = false;
    int m_tabSize = 8;
    SearchOptions m_searchOptions;
    ErrorMark m_errorMark;
};

}  // namespace orrery
