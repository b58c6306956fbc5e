#pragma once
// Token numbers of the scanner and parser: the keywords (417..518) and the lexical classes (520..540).
//
// They continue the opcode numbering of opcodes.h in one sequence: opcode names from 258, LAST_TOKEN
// (416), the keywords in alphabetical order, LAST_KEYWORD (519), then the lexical classes. Single
// characters are delivered as their own codes and the end of the source as 0.

#include <array>
#include <optional>
#include <string_view>

#include "opcodes.h"

namespace orrery::compiler {

// X(keyword spelling, enum name)
#define ORRERY_KEYWORDS(X)                                                                              \
    X("ABS", Abs) X("ADLOOP", Adloop) X("AINT", Aint) X("ASFLT", Asflt) X("ASM", Asm) X("ATN", Atn)     \
    X("BURST", Burst) X("CALL", Call) X("CBREAK", Cbreak) X("CHAN", Chan) X("COS", Cos)               \
    X("COUNT", Count) X("DFMAX", Dfmax) X("DFREAD", Dfread) X("DFSAVE", Dfsave) X("DFSIZE", Dfsize)   \
    X("DIM", Dim) X("DISPLY", Disply) X("DOFFLD", Doffld) X("DONE", Done) X("DSKOFF", Dskoff)         \
    X("DSKON", Dskon) X("DTOA", Dtoa) X("ELSE", Else) X("ENDIF", Endif) X("EXP", Exp)                 \
    X("EXTENSION", Extension) X("FIX", Fix) X("FLOAT", Float) X("FOR", For) X("FPERR", Fperr)         \
    X("GET", Get) X("GETS", Gets) X("GOSUB", Gosub) X("GOTO", Goto) X("HALT", Halt) X("HYB", Hyb)     \
    X("IF", If) X("IFF", Iff) X("INPUT", Input) X("INSTR", Instr) X("INT", Int) X("ITEXT", Itext)     \
    X("LABPTR", Labptr) X("LEFT", Left) X("LEN", Len) X("LET", Let) X("LOG", Log) X("LOG10", Log10)   \
    X("MID", Mid) X("MODEL", Model) X("NEXT", Next) X("OFFLD", Offld) X("ONERR", Onerr)               \
    X("OTEXT", Otext) X("PCLR", Pclr) X("PEEK", Peek) X("PEEKL", Peekl) X("PEEKW", Peekw)             \
    X("PERIOD", Period) X("PIN", Pin) X("POKE", Poke) X("POKEL", Pokel) X("POKEW", Pokew)             \
    X("PRINT", Print) X("PSET", Pset) X("PTOG", Ptog) X("QUIT", Quit) X("RATE", Rate) X("REM", Rem)   \
    X("REPEAT", Repeat) X("RETURN", Return) X("RIGHT", Right) X("RTIME", Rtime) X("RUN", Run)         \
    X("SCROLL", Scroll) X("SDI", Sdi) X("SDO", Sdo) X("SIN", Sin) X("SLEEP", Sleep) X("SQR", Sqr)     \
    X("STEP", Step) X("STIME", Stime) X("STOP", Stop) X("STORE", Store) X("STR", Str) X("TAN", Tan)   \
    X("TEMP", Temp) X("TO", To) X("TONE", Tone) X("UGET", Uget) X("UNTIL", Until) X("USEND", Usend)   \
    X("VAL", Val) X("VARPTR", Varptr) X("VERS", Vers) X("VGET", Vget) X("VSTORE", Vstore)             \
    X("WEND", Wend) X("WHILE", While) X("XMIT", Xmit) X("XSHAKE", Xshake)

inline constexpr int kFirstKeyword = 417;  // ABS
inline constexpr int kLastKeyword = 519;   // LAST_KEYWORD, never produced

namespace kw {
enum : int {
    kBeforeFirst = kFirstKeyword - 1,
#define ORRERY_KEYWORD_ENUM(text, name) name,
    ORRERY_KEYWORDS(ORRERY_KEYWORD_ENUM)
#undef ORRERY_KEYWORD_ENUM
    kEnd
};
}  // namespace kw

inline constexpr std::array<std::string_view, kLastKeyword - kFirstKeyword> kKeywordNames = {{
#define ORRERY_KEYWORD_NAME(text, name) text,
    ORRERY_KEYWORDS(ORRERY_KEYWORD_NAME)
#undef ORRERY_KEYWORD_NAME
}};

// Lexical classes.
enum Tok : int {
    kEnd = 0,
    kNewline = '\n',
    kErrorToken = 256,  // "error": a character the language cannot hold (NUL)
    HEXNUM = 520,
    DECNUM = 521,
    FLTNUM = 522,
    BINNUM = 523,
    OCTNUM = 524,
    STRING = 525,
    CHARCONST = 526,
    SYMBOL = 527,
    EXTNAME = 528,
    LABELDEF = 529,
    FLTFMT = 530,
    GFWFMT = 531,
    STRSIZ = 532,
    AMBIG = 533,
    LDZERO = 534,
    COMMENT = 535,
    COMMENT2 = 536,
    ASSIGN = 537,
    NE = 538,
    GE = 539,
    LE = 540,
};

constexpr bool keywordsAreSorted() {
    for (std::size_t i = 1; i < kKeywordNames.size(); ++i) {
        if (!(kKeywordNames[i - 1] < kKeywordNames[i])) return false;
    }
    return true;
}

static_assert(kKeywordNames.size() == 102, "102 keywords, ABS 417 to XSHAKE 518");
static_assert(kw::Abs == 417 && kw::Rem == 486 && kw::Xshake == 518 && kw::kEnd == kLastKeyword);
static_assert(kFirstKeyword == kLastToken + 1);
static_assert(keywordsAreSorted(), "keywords are numbered in alphabetical order");
static_assert(HEXNUM == kLastKeyword + 1 && LE == 540);

// The keyword whose spelling matches name in any mix of case, or nothing.
std::optional<int> lookupKeyword(std::string_view name);

// The name of a token number as the listing prints it: opcode names, keywords, "error", "$illegal.".
std::string_view tokenName(int token);

}  // namespace orrery::compiler
