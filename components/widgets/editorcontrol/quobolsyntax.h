#pragma once
// Splits one line of Quobol source into the spans the editor colours. It follows the compiler's token
// rules closely enough for display (comments, strings, character constants, numbers, print-format
// items, keywords, label definitions) but never reports errors: an unterminated string simply runs to
// the end of the line.
//
// The lines after an ASM statement, up to the END directive, are HD6301 assembler and follow the
// assembler's rules instead: ";" comments, a label in the first column, the mnemonic or directive (as
// the compiler's own tables know them) and the operand's numbers and character constants.

#include <QList>
#include <QString>

namespace orrery::quobol {

enum class SpanKind { Keyword, Comment, String, Number, Format, Label, Mnemonic, Directive };

struct SyntaxSpan {
    int start = 0;
    int length = 0;
    SpanKind kind = SpanKind::Keyword;
    bool operator==(const SyntaxSpan&) const = default;
};

bool isKeyword(QStringView name);

QList<SyntaxSpan> classifyLine(QStringView line);

// Whether a Quobol line holds an ASM statement, so that the lines after it are assembler.
bool opensAsmBlock(QStringView line, const QList<SyntaxSpan>& spans);

struct AsmLine {
    QList<SyntaxSpan> spans;
    bool endsBlock = false;  // the line's directive is END: the next line is Quobol again
};

// One line inside an ASM block.
AsmLine classifyAsmLine(QStringView line);

}  // namespace orrery::quobol
