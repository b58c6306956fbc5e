#include "benchprograms.h"

#include <algorithm>
#include <sstream>

namespace orrery::bench {

namespace {

// Statements every model accepts. "@" in a line is replaced by the repetition number, which keeps
// labels and arrays unique.
const char* const kCommonBody[] = {
    "' repetition @: assignments and expressions",
    "REM every statement kind, in a loop body that jumps over its subroutines",
    "Top@:",
    "A@ = 1 : B = A@ + 2 * 3 - 4 / 2 % 3",
    "LET F! = 1.5 * FLOAT(B) + SIN(0.5) - SQR(2.0) / LOG(3.0)",
    "Sa$ = \"abc\" + STR(B)",
    "Tb$ = LEFT(Sa$, 2) + RIGHT(Sa$, 1) + MID(Sa$, 1, 2) + GETS(B)",
    "DIM R@(10), Q@(3, 4)",
    "R@(3) = CHAN(1) : Q@(1, 2) = R@(3) | 4 & 7",
    "F! = VAL(Sa$) : I = VAL(Tb$)",
    "IF A@ = 1 B = 2 : C = 3",
    "IFF B > 2 // block if",
    "  PRINT \"big \", #5, B, #08.3F, F!, #4H, B, \\65, {B, 2}",
    "ELSE",
    "  PRINT \"small\";",
    "ENDIF",
    "FOR I = 1 TO 10 STEP 2",
    "  X = X + I",
    "NEXT I",
    "WHILE I < 20",
    "  I = I + 1",
    "WEND",
    "REPEAT",
    "  I = I - 1",
    "UNTIL I <= 0",
    "GOSUB Sub@",
    "ONERR Err@, E",
    "ONERR",
    "CBREAK Brk@",
    "CBREAK",
    "SCROLL \"x=\", X;",
    "DISPLY \"t\", T",
    "STORE P, #2, A@, B",
    "STORE P, \"v=\", B",
    "USEND 9600, \"hi\", B",
    "USEND 9600, 1, V",
    "SDO 1, 2",
    "SDO \"a\", B",
    "CALL 4096, 1",
    "INPUT \"n\", N, M;",
    "INPUT W!, Z$",
    "ITEXT S, \\10, 20",
    "OTEXT S",
    "PSET 1, 2",
    "PCLR 3",
    "PTOG 4, X",
    "X = PIN(5) + PIN(X)",
    "BURST V, 10, 2",
    "COUNT C",
    "COUNT",
    "DFREAD 1, V",
    "DFSAVE 1, V, 3",
    "DOFFLD 1, 2",
    "DOFFLD 1, 2, V",
    "OFFLD 0, 100",
    "OFFLD 0, 100, 6000, V",
    "DSKON V",
    "DSKOFF",
    "DTOA 5",
    "RATE 60",
    "RTIME T",
    "STIME",
    "TONE 1, 2",
    "UGET 9600, V, 1, 2",
    "VSTORE 1, 2",
    "XMIT+",
    "XMIT-",
    "XSHAKE 1",
    "POKE 100, 1 : POKEW 100, 1 : POKEL 100, 1",
    "X = PEEK(100) + PEEKW(100) + PEEKL(100) + VARPTR(X) + INSTR(Sa$, Tb$) + LEN(Sa$)",
    "X = TEMP(0) + COUNT(1) + PERIOD(1, 2) + SDI(1) + VGET(1) + GET(V, #2) + ABS(-3) + INT(F!)",
    "F! = AINT(F!) + ASFLT(X) + EXP(1.0) + COS(F!) * TAN(F!) + ATN(1) + LOG10(F!)",
    "X = MODEL + VERS + FPERR + DFMAX + FIX(F!)",
    "TEMP(1)",
    "SLEEP 1",
    "SLEEP C PRINT \"woke\"",
    "HYB 5",
    "ADLOOP",
    "GOTO Skip@",
    "Sub@:",
    "RETURN",
    "Err@:",
    "Brk@:",
    "RUN Top@",
    "Skip@:",
};

const char* const kMapleBody[] = {
    "X = LABPTR(Top@)",
};

const char* const kLarchBody[] = {
    "X = ?(1) + ?(X) + ? + Probe(1, 2)",
};

// A small machine-code routine run in place.
const char* const kMapleAssembler[] = {
    "ASM $",
    "Asm@\tldaa\t#$12",
    "\tstaa\t$0140",
    "\tbne\tAsm@",
    "\tend",
};

void appendLine(std::string& text, int& lines, const std::string& line, int repetition) {
    std::string out = line;
    const std::string number = std::to_string(repetition);
    for (std::size_t at = out.find('@'); at != std::string::npos; at = out.find('@', at + number.size())) {
        out.replace(at, 1, number);
    }
    text += out;
    text += "\r\n";
    ++lines;
}

template <std::size_t N>
void appendAll(std::string& text, int& lines, const char* const (&body)[N], int repetition) {
    for (const char* line : body) appendLine(text, lines, line, repetition);
}

enum class Target { MapleR, Maple, Larch };

QuobolProgram generateOne(int targetLines, Target target, bool withAssembler) {
    QuobolProgram program;
    std::string& text = program.text;
    int& lines = program.lines;
    const bool larch = target == Target::Larch;
    if (target == Target::Larch) {
        appendLine(text, lines, "MODEL \"Larch\"", 0);
        appendLine(text, lines, "EXTENSION Probe, Other", 0);
    } else if (target == Target::Maple) {
        appendLine(text, lines, "MODEL \"Maple\"", 0);
        appendLine(text, lines, "DFSIZE 4000", 0);
    } else {
        appendLine(text, lines, "MODEL \"Maple-R\"", 0);
    }
    const int perRepetition = static_cast<int>(std::size(kCommonBody)) + 1 +
                              (!larch && withAssembler ? static_cast<int>(std::size(kMapleAssembler)) : 0);
    for (int repetition = 1; lines + perRepetition + 4 <= targetLines; ++repetition) {
        appendAll(text, lines, kCommonBody, repetition);
        if (larch) {
            appendAll(text, lines, kLarchBody, repetition);
        } else {
            appendAll(text, lines, kMapleBody, repetition);
            if (withAssembler) appendAll(text, lines, kMapleAssembler, repetition);
        }
    }
    // Fill up to the exact line count with comments, then end the four ways a program can end.
    while (lines + 4 < targetLines) appendLine(text, lines, "// filler", 0);
    for (const char* end : {"DONE", "HALT", "QUIT", "STOP"}) appendLine(text, lines, end, 0);
    program.hasAssembler = !larch && withAssembler;
    return program;
}

}  // namespace

std::vector<QuobolProgram> generateQuobolPrograms(int totalLines, int linesPerProgram, bool withAssembler) {
    // Model 500 shares its 29554 bytes between code, variables and data file, so its program is short.
    constexpr int kMapleLines = 500;
    std::vector<QuobolProgram> programs;
    int left = totalLines;
    const int mapleLines = std::min({left, linesPerProgram, kMapleLines});
    programs.push_back(generateOne(mapleLines, Target::Maple, withAssembler));
    left -= mapleLines;
    while (left > 0) {
        const int lines = std::min(left, linesPerProgram);
        left -= lines;
        programs.push_back(generateOne(lines, left == 0 ? Target::Larch : Target::MapleR, withAssembler));
    }
    return programs;
}

std::vector<std::string> generateAssemblerLines(int count) {
    // A loop of ten instructions over the addressing modes, with a label at its head and a branch back
    // to it, so that branches stay within reach and forward references need the second pass. Memory
    // operands are 256 or above: below that crasm picks the direct form, which our assembler never does
    // for a plain address.
    static const char* const kPattern[] = {
        "L@\tldaa\t#$12", "\tstaa\t$0140",  "\tldx\t#L@",     "\tbne\tM@",      "M@\tinx",
        "\taddd\t5,x",    "\tjsr\tL@",      "\tldd\t$1234",   "\tstd\t4,x",     "\tbra\tL@",
    };
    std::vector<std::string> lines;
    lines.reserve(static_cast<std::size_t>(count));
    for (int i = 0; static_cast<int>(lines.size()) < count; ++i) {
        for (const char* pattern : kPattern) {
            if (static_cast<int>(lines.size()) == count) break;
            std::string line = pattern;
            const std::string number = std::to_string(i);
            for (std::size_t at = line.find('@'); at != std::string::npos; at = line.find('@', at)) {
                line.replace(at, 1, number);
            }
            lines.push_back(std::move(line));
        }
    }
    return lines;
}

std::string assemblerProgramForCompiler(const std::vector<std::string>& lines, std::uint16_t origin) {
    std::string text = "ASM " + std::to_string(origin) + "\r\n";
    for (const auto& line : lines) text += line + "\r\n";
    text += "\tend\r\n";
    return text;
}

std::string assemblerProgramForCrasm(const std::vector<std::string>& lines, std::uint16_t origin) {
    std::ostringstream text;
    text << "\tcpu 6801\n\t* = $" << std::hex << origin << "\n";
    for (const auto& line : lines) text << line << "\n";
    text << "\tcode\n";
    return text.str();
}

}  // namespace orrery::bench
