#include "quobolhighlighter.h"

namespace orrery {

namespace {

QTextCharFormat makeFormat(const QColor& colour, bool bold = false, bool italic = false) {
    QTextCharFormat format;
    format.setForeground(colour);
    if (bold) {
        format.setFontWeight(QFont::Bold);
    }
    format.setFontItalic(italic);
    return format;
}

}  // namespace

QuobolHighlighter::QuobolHighlighter(QTextDocument* document)
    : QSyntaxHighlighter(document),
      m_keyword(makeFormat(QColor(0x00, 0x00, 0xa0), true)),
      m_comment(makeFormat(QColor(0x20, 0x80, 0x20), false, true)),
      m_string(makeFormat(QColor(0xa0, 0x20, 0x20))),
      m_number(makeFormat(QColor(0x80, 0x00, 0x80))),
      m_format(makeFormat(QColor(0x00, 0x70, 0x70))),
      m_label(makeFormat(QColor(0x90, 0x50, 0x00), true)) {}

QTextCharFormat QuobolHighlighter::formatFor(quobol::SpanKind kind) const {
    switch (kind) {
        case quobol::SpanKind::Keyword:
            return m_keyword;
        case quobol::SpanKind::Comment:
            return m_comment;
        case quobol::SpanKind::String:
            return m_string;
        case quobol::SpanKind::Number:
            return m_number;
        case quobol::SpanKind::Format:
            return m_format;
        case quobol::SpanKind::Label:
            return m_label;
    }
    return {};
}

void QuobolHighlighter::highlightBlock(const QString& text) {
    for (const quobol::SyntaxSpan& span : quobol::classifyLine(text)) {
        setFormat(span.start, span.length, formatFor(span.kind));
    }
}

}  // namespace orrery
