#pragma once
// The Quobol keywords, in the alphabetical order that gives their token numbers (417 + index). Keywords
// are recognised in any mix of upper and lower case.

#include <array>
#include <string_view>

namespace orrery::quobol {

inline constexpr int kFirstKeywordToken = 417;

inline constexpr std::array<std::string_view, 102> kKeywords = {
    "ABS",    "ADLOOP", "AINT",   "ASFLT",  "ASM",    "ATN",    "BURST",  "CALL",   "CBREAK", "CHAN",
    "COS",    "COUNT",  "DFMAX",  "DFREAD", "DFSAVE", "DFSIZE", "DIM",    "DISPLY", "DOFFLD", "DONE",
    "DSKOFF", "DSKON",  "DTOA",   "ELSE",   "ENDIF",  "EXP",    "EXTENSION", "FIX", "FLOAT",  "FOR",
    "FPERR",  "GET",    "GETS",   "GOSUB",  "GOTO",   "HALT",   "HYB",    "IF",     "IFF",    "INPUT",
    "INSTR",  "INT",    "ITEXT",  "LABPTR", "LEFT",   "LEN",    "LET",    "LOG",    "LOG10",  "MID",
    "MODEL",  "NEXT",   "OFFLD",  "ONERR",  "OTEXT",  "PCLR",   "PEEK",   "PEEKL",  "PEEKW",  "PERIOD",
    "PIN",    "POKE",   "POKEL",  "POKEW",  "PRINT",  "PSET",   "PTOG",   "QUIT",   "RATE",   "REM",
    "REPEAT", "RETURN", "RIGHT",  "RTIME",  "RUN",    "SCROLL", "SDI",    "SDO",    "SIN",    "SLEEP",
    "SQR",    "STEP",   "STIME",  "STOP",   "STORE",  "STR",    "TAN",    "TEMP",   "TO",     "TONE",
    "UGET",   "UNTIL",  "USEND",  "VAL",    "VARPTR", "VERS",   "VGET",   "VSTORE", "WEND",   "WHILE",
    "XMIT",   "XSHAKE",
};

static_assert(kKeywords.front() == "ABS" && kKeywords[467 - kFirstKeywordToken] == "MODEL" &&
                  kKeywords.back() == "XSHAKE",
              "keyword token numbers depend on this order");

constexpr bool sortedByName() {
    for (std::size_t i = 1; i < kKeywords.size(); ++i) {
        if (!(kKeywords[i - 1] < kKeywords[i])) {
            return false;
        }
    }
    return true;
}
static_assert(sortedByName(), "keywords are looked up by bisection");

}  // namespace orrery::quobol
