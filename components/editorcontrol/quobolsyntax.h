#pragma once
// Splits one line of Quobol source into the spans the editor colours. It follows the compiler's token
// rules closely enough for display (comments, strings, character constants, numbers, print-format
// items, keywords, label definitions) but never reports errors: an unterminated string simply runs to
// the end of the line.

#include <QList>
#include <QString>

namespace orrery::quobol {

enum class SpanKind { Keyword, Comment, String, Number, Format, Label };

struct SyntaxSpan {
    int start = 0;
    int length = 0;
    SpanKind kind = SpanKind::Keyword;
    bool operator==(const SyntaxSpan&) const = default;
};

bool isKeyword(QStringView name);

QList<SyntaxSpan> classifyLine(QStringView line);

}  // namespace orrery::quobol
