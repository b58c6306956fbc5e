#include "quobolsyntax.h"

#include <algorithm>

#include "keyworddocs.h"
#include "assembler.h"
#include "tokens.h"

namespace orrery::quobol {

namespace {

bool isNameStart(QChar c) { return c.isLetter() || c == u'_' || c == u'@'; }
bool isNameChar(QChar c) { return isNameStart(c) || c.isDigit(); }
bool isBlank(QChar c) { return c == u' ' || c == u'\t' || c == QChar(26); }

bool isDigitIn(QChar c, int base) {
    switch (base) {
        case 16:
            return c.isDigit() || (c.toLower() >= u'a' && c.toLower() <= u'f');
        case 8:
            return c >= u'0' && c <= u'7';
        case 2:
            return c == u'0' || c == u'1';
        default:
            return c.isDigit();
    }
}

int compareNoCase(QStringView a, std::string_view b) {
    const int n = int(std::min<qsizetype>(a.size(), qsizetype(b.size())));
    for (int i = 0; i < n; ++i) {
        const char ca = char(a[i].toUpper().unicode() < 128 ? a[i].toUpper().unicode() : 0x7f);
        if (ca != b[i]) {
            return ca < b[i] ? -1 : 1;
        }
    }
    return a.size() == qsizetype(b.size()) ? 0 : (a.size() < qsizetype(b.size()) ? -1 : 1);
}

class LineScanner {
public:
    explicit LineScanner(QStringView line) : m_line(line) {}

    QList<SyntaxSpan> run() {
        scanLabelDefinition();
        while (m_pos < m_line.size()) {
            scanOne();
        }
        return m_spans;
    }

private:
    QChar at(qsizetype i) const { return i < m_line.size() ? m_line[i] : QChar(); }

    void add(qsizetype start, qsizetype end, SpanKind kind) {
        m_spans.append({int(start), int(end - start), kind});
        m_pos = end;
    }

    // "name:" at the start of a line defines a label unless the name is a keyword.
    void scanLabelDefinition() {
        qsizetype i = 0;
        while (isBlank(at(i))) {
            ++i;
        }
        if (!isNameStart(at(i))) {
            return;
        }
        qsizetype end = i;
        while (isNameChar(at(end))) {
            ++end;
        }
        if (at(end) == u':' && !isKeyword(m_line.mid(i, end - i))) {
            add(i, end + 1, SpanKind::Label);
        }
    }

    void scanOne() {
        const QChar c = at(m_pos);
        if (m_pos == 0 && c == u'\'') {
            add(0, m_line.size(), SpanKind::Comment);
        } else if (c == u'/' && at(m_pos + 1) == u'/') {
            add(m_pos, m_line.size(), SpanKind::Comment);
        } else if (c == u'"' || c == u'\'') {
            scanQuoted(c);
        } else if (c == u'&' && scanRadixNumber()) {
        } else if (c.isDigit() || (c == u'.' && at(m_pos + 1).isDigit())) {
            scanDecimal();
        } else if (c == u'#') {
            scanFormat();
        } else if (isNameStart(c)) {
            scanName();
        } else {
            ++m_pos;
        }
    }

    void scanQuoted(QChar quote) {
        qsizetype i = m_pos + 1;
        while (i < m_line.size() && m_line[i] != quote) {
            i += m_line[i] == u'\\' ? 2 : 1;
        }
        add(m_pos, std::min(i + 1, m_line.size()), SpanKind::String);
    }

    bool scanRadixNumber() {
        const QChar r = at(m_pos + 1).toUpper();
        const int base = r == u'H' ? 16 : r == u'O' ? 8 : r == u'B' ? 2 : 0;
        if (base == 0 || !isDigitIn(at(m_pos + 2), base)) {
            return false;
        }
        qsizetype i = m_pos + 2;
        while (isDigitIn(at(i), base)) {
            ++i;
        }
        add(m_pos, i, SpanKind::Number);
        return true;
    }

    qsizetype skipDigits(qsizetype i) const {
        while (at(i).isDigit()) {
            ++i;
        }
        return i;
    }

    void scanDecimal() {
        qsizetype i = skipDigits(m_pos);
        if (at(i) == u'.') {
            i = skipDigits(i + 1);
        }
        if (at(i).toUpper() == u'E') {
            qsizetype e = i + 1;
            if (at(e) == u'+' || at(e) == u'-') {
                ++e;
            }
            if (at(e).isDigit()) {
                i = skipDigits(e);
            }
        }
        add(m_pos, i, SpanKind::Number);
    }

    // #0, #1, #2, #4, #5, #5H, #5.2F, #.2S ...; a lone '#' is an ordinary character.
    void scanFormat() {
        qsizetype i = skipDigits(m_pos + 1);
        if (at(i) == u'.' && at(i + 1).isDigit()) {
            i = skipDigits(i + 1);
        }
        if (QStringLiteral("FSBDHQ").contains(at(i).toUpper()) && !isNameChar(at(i + 1))) {
            ++i;
        }
        if (i == m_pos + 1) {
            ++m_pos;
            return;
        }
        add(m_pos, i, SpanKind::Format);
    }

    void scanName() {
        qsizetype end = m_pos;
        while (isNameChar(at(end))) {
            ++end;
        }
        const QStringView name = m_line.mid(m_pos, end - m_pos);
        if (at(end) == u'$' || at(end) == u'!') {
            m_pos = end + 1;
            return;
        }
        if (compareNoCase(name, "REM") == 0 && isBlank(at(end))) {
            add(m_pos, m_line.size(), SpanKind::Comment);
        } else if (isKeyword(name)) {
            add(m_pos, end, SpanKind::Keyword);
        } else {
            m_pos = end;
        }
    }

    QStringView m_line;
    qsizetype m_pos = 0;
    QList<SyntaxSpan> m_spans;
};

}  // namespace

// The documented keywords, which are the compiler's own, so the editor colours exactly the words the
// compiler knows and the help explains.
bool isKeyword(QStringView name) {
    const auto& kKeywords = compiler::kKeywordDocs;
    const auto it = std::lower_bound(kKeywords.begin(), kKeywords.end(), name, [](const auto& k, QStringView n) {
        return compareNoCase(n, k.name) > 0;
    });
    return it != kKeywords.end() && compareNoCase(name, it->name) == 0;
}

QList<SyntaxSpan> classifyLine(QStringView line) { return LineScanner(line).run(); }

bool opensAsmBlock(QStringView line, const QList<SyntaxSpan>& spans) {
    return std::any_of(spans.begin(), spans.end(), [line](const SyntaxSpan& span) {
        return span.kind == SpanKind::Keyword && compareNoCase(line.mid(span.start, span.length), "ASM") == 0;
    });
}

namespace {

// The assembler's character classes: identifiers may hold "$" after the first character, and a
// statement ends at ";".
bool isAsmIdentStart(QChar c) {
    return (c.unicode() < 128 && c.isLetter()) || c == u'_';
}
bool isAsmIdentChar(QChar c) {
    return isAsmIdentStart(c) || c.isDigit() || c == u'$';
}

class AsmLineScanner {
public:
    explicit AsmLineScanner(QStringView line) : m_line(line) {}

    AsmLine run() {
        skipBlanks();
        if (at(m_pos) == u';') {
            add(m_pos, m_line.size(), SpanKind::Comment);
            return m_result;
        }
        m_pos = 0;
        scanLabel();
        skipBlanks();
        scanMnemonic();
        scanOperand();
        return m_result;
    }

private:
    QChar at(qsizetype i) const { return i < m_line.size() ? m_line[i] : QChar(); }

    void skipBlanks() {
        while (isBlank(at(m_pos))) {
            ++m_pos;
        }
    }

    qsizetype identEnd(qsizetype i) const {
        while (isAsmIdentChar(at(i))) {
            ++i;
        }
        return i;
    }

    void add(qsizetype start, qsizetype end, SpanKind kind) {
        m_result.spans.append({int(start), int(end - start), kind});
        m_pos = end;
    }

    // A label starts in the first column; a ":" after it belongs to it.
    void scanLabel() {
        if (!isAsmIdentStart(at(0))) {
            return;
        }
        const qsizetype end = identEnd(0);
        add(0, at(end) == u':' ? end + 1 : end, SpanKind::Label);
    }

    void scanMnemonic() {
        if (!isAsmIdentStart(at(m_pos))) {
            return;
        }
        const qsizetype start = m_pos;
        qsizetype end = identEnd(start);
        const std::string word = m_line.mid(start, end - start).toLatin1().toStdString();
        if (compiler::findInstruction(word) != nullptr) {
            add(start, end, SpanKind::Mnemonic);
            return;
        }
        const compiler::AsmDirective* directive = compiler::findDirective(word);
        if (directive == nullptr) {
            m_pos = end;  // the compiler says what is wrong with it
            return;
        }
        if (at(end) == u'.' && isAsmIdentChar(at(end + 1)) && !isAsmIdentChar(at(end + 2))) {
            end += 2;  // the data unit: ".b", ".w" ...
        }
        m_result.endsBlock = directive->kind == compiler::AsmDirectiveKind::End;
        add(start, end, SpanKind::Directive);
    }

    void scanOperand() {
        while (m_pos < m_line.size()) {
            const QChar c = at(m_pos);
            if (c == u';') {
                add(m_pos, m_line.size(), SpanKind::Comment);
            } else if (c == u'\'' || c == u'"') {
                scanQuoted(c);
            } else if (!scanNumber()) {
                m_pos = isAsmIdentStart(c) ? identEnd(m_pos) : m_pos + 1;
            }
        }
    }

    void scanQuoted(QChar quote) {
        qsizetype i = m_pos + 1;
        while (i < m_line.size() && m_line[i] != quote) {
            ++i;
        }
        add(m_pos, std::min(i + 1, m_line.size()), SpanKind::String);
    }

    qsizetype digitsEnd(qsizetype i, int base) const {
        while (isDigitIn(at(i), base)) {
            ++i;
        }
        return i;
    }

    // $1F, %101, @17, &H1F, h'1F', and numbers that start with a digit (12, 0FFh, 101b).
    bool scanNumber() {
        const QChar c = at(m_pos);
        const QChar next = at(m_pos + 1);
        int base = 0;
        qsizetype digits = 0;
        if (c == u'$' || c == u'%' || c == u'@') {
            base = c == u'$' ? 16 : c == u'%' ? 2 : 8;
            digits = m_pos + 1;
        } else if (c == u'&' && next.toLower() == u'h') {
            base = 16;
            digits = m_pos + 2;
        } else if (next == u'\'' && QStringLiteral("bdhq").contains(c.toLower()) &&
                   (m_pos == 0 || !isAsmIdentChar(at(m_pos - 1)))) {
            const qsizetype end = digitsEnd(m_pos + 2, 16);
            add(m_pos, at(end) == u'\'' ? end + 1 : end, SpanKind::Number);
            return true;
        } else if (c.isDigit()) {
            add(m_pos, identEnd(m_pos), SpanKind::Number);
            return true;
        }
        if (base == 0 || !isDigitIn(at(digits), base)) {
            return false;
        }
        add(m_pos, digitsEnd(digits, base), SpanKind::Number);
        return true;
    }

    QStringView m_line;
    qsizetype m_pos = 0;
    AsmLine m_result;
};

}  // namespace

AsmLine classifyAsmLine(QStringView line) {
    return AsmLineScanner(line).run();
}

}  // namespace orrery::quobol
