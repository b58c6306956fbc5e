#include <gtest/gtest.h>

#include "qstringprint.h"

#include "quobolsyntax.h"

using namespace orrery::quobol;

namespace {

// Renders the spans of a line as "kind:text" items, which makes table rows readable.
QString render(const QString& line) {
    QStringList out;
    for (const SyntaxSpan& s : classifyLine(line)) {
        static const char* names[] = {"kw", "rem", "str", "num", "fmt", "lab", "mn", "dir"};
        out << QStringLiteral("%1:%2").arg(QLatin1String(names[int(s.kind)]), line.mid(s.start, s.length));
    }
    return out.join(QLatin1Char(' '));
}

TEST(QuobolSyntax, ClassifiesTokensOfALine) {
    const struct {
        const char* line;
        const char* expected;
    } cases[] = {
        {"PRINT \"Hi\"", "kw:PRINT str:\"Hi\""},
        {"print x", "kw:print"},
        {"' a comment", "rem:' a comment"},
        {"X = 'A'", "str:'A'"},
        {"REM counts", "rem:REM counts"},
        {"x=1 rem tail", "num:1 rem:rem tail"},
        {"REM", "kw:REM"},
        {"REMARK = 1", "num:1"},
        {"A=1 // note", "num:1 rem:// note"},
        {"s$=\"a\\\"b\" + c$", "str:\"a\\\"b\""},
        {"PRINT \"open", "kw:PRINT str:\"open"},
        {"X=&H1F+&o17+&B101", "num:&H1F num:&o17 num:&B101"},
        {"X=&G1", ""},
        {"Y=1.5e-3+.5+5.", "num:1.5e-3 num:.5 num:5."},
        {"PRINT #5.2F,A;#0;#4;#12H", "kw:PRINT fmt:#5.2F fmt:#0 fmt:#4 fmt:#12H"},
        {"PRINT #.2S", "kw:PRINT fmt:#.2S"},
        {"a = # 1", "num:1"},
        {"loop: GOTO loop", "lab:loop: kw:GOTO"},
        {"  @l_2: x=1", "lab:@l_2: num:1"},
        {"REM: x", "kw:REM"},
        {"IFF a$ THEN", "kw:IFF"},
        {"MID$=1", "num:1"},
        {"log10 LOG10x", "kw:log10"},
        {"x = 10 MOD 3", "num:10 num:3"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(render(QString::fromUtf8(c.line)), QString::fromUtf8(c.expected)) << c.line;
    }
}

QString renderAsm(const QString& line) {
    static const char* names[] = {"kw", "rem", "str", "num", "fmt", "lab", "mn", "dir"};
    const AsmLine classified = classifyAsmLine(line);
    QStringList out;
    for (const SyntaxSpan& s : classified.spans) {
        out << QStringLiteral("%1:%2").arg(QLatin1String(names[int(s.kind)]), line.mid(s.start, s.length));
    }
    if (classified.endsBlock) {
        out << QStringLiteral("<end>");
    }
    return out.join(QLatin1Char(' '));
}

// Inside an ASM block the assembler's rules hold: ";" comments, labels in the first column, the
// compiler's own mnemonics and directives, and its number forms.
TEST(QuobolSyntax, ClassifiesAssemblerLines) {
    const struct {
        const char* line;
        const char* expected;
    } cases[] = {
        {"; Events = Events + 1, as 'one' number", "rem:; Events = Events + 1, as 'one' number"},
        {"   ; indented comment", "rem:; indented comment"},
        {"BumpEvents", "lab:BumpEvents"},
        {"loop:   ldaa  #$1F     ; low half", "lab:loop: mn:ldaa num:$1F rem:; low half"},
        {"        LDD     Events+2", "mn:LDD num:2"},
        {"        bcc     Done", "mn:bcc"},
        {"        aim     #%1010,$40", "mn:aim num:%1010 num:$40"},
        {"        ldx     #@17+&H0A+0FFh+h'1F'", "mn:ldx num:@17 num:&H0A num:0FFh num:h'1F'"},
        {"        ldab    #'A'", "mn:ldab str:'A'"},
        {"        sleep", "mn:sleep"},
        {"        sleepy", "mn:sleepy"},  // the first five letters decide, as in the compiler
        {"        frob    1", "num:1"},   // not a mnemonic: the compiler reports it
        {"table   fdb     1,2 ; words", "lab:table dir:fdb num:1 num:2 rem:; words"},
        {"        db.w    3", "dir:db.w num:3"},
        {"        fcc     \"a;b\"", "dir:fcc str:\"a;b\""},
        {"Done    end", "lab:Done dir:end <end>"},
        {"        END     ; back to Quobol", "dir:END rem:; back to Quobol <end>"},
        {"end", "lab:end"},  // in the first column a word is a label
        {"", ""},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(renderAsm(QString::fromUtf8(c.line)), QString::fromUtf8(c.expected)) << c.line;
    }
}

TEST(QuobolSyntax, AnAsmStatementOpensABlock) {
    const struct {
        const char* line;
        bool opens;
    } cases[] = {{"ASM $", true},          {"  asm &H8000", true},        {"start: ASM $", true},
                 {"PRINT \"ASM\"", false}, {"' ASM in a comment", false}, {"ASMX = 1", false}};
    for (const auto& c : cases) {
        const QString line = QString::fromUtf8(c.line);
        EXPECT_EQ(opensAsmBlock(line, classifyLine(line)), c.opens) << c.line;
    }
}

TEST(QuobolSyntax, KeywordLookupIgnoresCase) {
    const struct {
        const char* name;
        bool keyword;
    } cases[] = {{"ABS", true}, {"xshake", true}, {"Extension", true}, {"ABSX", false},
                 {"AB", false}, {"", false},     {"ZZZ", false},      {"0ABS", false}};
    for (const auto& c : cases) {
        EXPECT_EQ(isKeyword(QString::fromUtf8(c.name)), c.keyword) << c.name;
    }
}

}  // namespace
