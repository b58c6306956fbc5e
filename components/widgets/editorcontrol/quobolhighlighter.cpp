#include "quobolhighlighter.h"

namespace orrery {

namespace {

// Block states: the state of a line says where the next one starts (-1, the first line's "previous",
// is Quobol too).
constexpr int kInQuobol = 0;
constexpr int kInAsmBlock = 1;

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
      m_label(makeFormat(QColor(0x90, 0x50, 0x00), true)),
      m_mnemonic(makeFormat(QColor(0x00, 0x60, 0xc0), true)),
      m_directive(makeFormat(QColor(0x60, 0x30, 0xa0), true)) {}

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
        case quobol::SpanKind::Mnemonic:
            return m_mnemonic;
        case quobol::SpanKind::Directive:
            return m_directive;
    }
    return {};
}

void QuobolHighlighter::highlightBlock(const QString& text) {
    QList<quobol::SyntaxSpan> spans;
    if (previousBlockState() == kInAsmBlock) {
        quobol::AsmLine line = quobol::classifyAsmLine(text);
        spans = std::move(line.spans);
        setCurrentBlockState(line.endsBlock ? kInQuobol : kInAsmBlock);
    } else {
        spans = quobol::classifyLine(text);
        setCurrentBlockState(quobol::opensAsmBlock(text, spans) ? kInAsmBlock : kInQuobol);
    }
    for (const quobol::SyntaxSpan& span : spans) {
        setFormat(span.start, span.length, formatFor(span.kind));
    }
}

}  // namespace orrery
