#pragma once
// Colours Quobol source in an editor document, and the assembler blocks inside it by the assembler's
// rules (a block's state passes from line to line). Highlighting only changes how the text looks; the
// text itself is never touched.

#include <QSyntaxHighlighter>
#include <QTextCharFormat>

#include "quobolsyntax.h"

namespace orrery {

class QuobolHighlighter : public QSyntaxHighlighter {
    Q_OBJECT
public:
    explicit QuobolHighlighter(QTextDocument* document);

    QTextCharFormat formatFor(quobol::SpanKind kind) const;

protected:
    void highlightBlock(const QString& text) override;

private:
    QTextCharFormat m_keyword, m_comment, m_string, m_number, m_format, m_label, m_mnemonic, m_directive;
};

}  // namespace orrery
