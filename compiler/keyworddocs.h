#pragma once
// What each Quobol keyword is for, in one line of syntax and one sentence: the help that editors show
// (the language server's hover and completion, the workbench editor). The rows follow the keyword table
// of tokens.h one for one, and the editor's highlighter takes its keyword list from here, so a keyword
// cannot be coloured without being documented, nor documented without being known to the compiler.

#include <array>
#include <string_view>

#include "tokens.h"

namespace orrery::compiler {

enum class KeywordRole {
    Statement,  // starts a statement: PRINT, GOTO, FOR
    Function,   // a value with arguments in parentheses: ABS(x), LEFT(s, n)
    Both,       // a statement and a function or value: COUNT, PIN, MODEL
    Word,       // part of another statement: TO, STEP
};

struct KeywordDoc {
    std::string_view name;
    KeywordRole role;
    std::string_view syntax;
    std::string_view summary;
};

// clang-format off
inline constexpr std::array<KeywordDoc, kKeywordNames.size()> kKeywordDocs = {{
    {"ABS", KeywordRole::Function, "ABS(x)", "The absolute value of x, integer or float as x is."},
    {"ADLOOP", KeywordRole::Both, "ADLOOP  |  ADLOOP(n)", "Samples the analog channels 0 to 7 in one sweep; ADLOOP(n) is the value channel n read in the last sweep."},
    {"AINT", KeywordRole::Function, "AINT(x)", "The float x with its fraction dropped, still a float."},
    {"ASFLT", KeywordRole::Function, "ASFLT(x)", "The bits of the integer x read as a float, without conversion."},
    {"ASM", KeywordRole::Statement, "ASM $  |  ASM address", "Assembles the HD6301 lines that follow, up to an indented end, into the program (ASM $) or to load at address."},
    {"ATN", KeywordRole::Function, "ATN(x)", "The arc tangent of x in radians, as a float."},
    {"BURST", KeywordRole::Statement, "BURST var, n [, format]", "Samples the analog input n times at full speed into the array starting at var (format 0 to 3)."},
    {"CALL", KeywordRole::Statement, "CALL address [, item ...]", "Calls the machine-code routine at address with the items as its arguments."},
    {"CBREAK", KeywordRole::Statement, "CBREAK [label]", "Makes Ctrl+C jump to label instead of stopping the program; CBREAK alone restores the stop."},
    {"CHAN", KeywordRole::Function, "CHAN(n)", "Reads analog channel n, an integer from the converter."},
    {"COS", KeywordRole::Function, "COS(x)", "The cosine of x (radians), as a float."},
    {"COUNT", KeywordRole::Both, "COUNT [var]  |  COUNT(n)", "COUNT as a statement reads the counters (into var); COUNT(n) is the value of counter n."},
    {"DFMAX", KeywordRole::Function, "DFMAX", "The size of the logger's data file in bytes."},
    {"DFREAD", KeywordRole::Statement, "DFREAD a, var [, c]", "Reads from the data file at offset a into var (c bytes, up to a terminator without c)."},
    {"DFSAVE", KeywordRole::Statement, "DFSAVE a, var [, c]", "Writes var into the data file at offset a (c bytes)."},
    {"DFSIZE", KeywordRole::Statement, "DFSIZE n", "Sets the data-file size of the program in bytes (models 400 and 500, where it is required)."},
    {"DIM", KeywordRole::Statement, "DIM name(d1 [, d2]) [, name(d1 [, d2]) ...]", "Declares arrays of one or two dimensions; an integer array unless the name ends in !."},
    {"DISPLY", KeywordRole::Statement, "DISPLY [item, ...] [;]", "Shows the items on the logger's display line."},
    {"DOFFLD", KeywordRole::Statement, "DOFFLD a, b [, var]", "Offloads the disk files a to b over the serial line by XMODEM (the outcome into var)."},
    {"DONE", KeywordRole::Statement, "DONE", "Ends the program and tells the logger it finished normally."},
    {"DSKOFF", KeywordRole::Statement, "DSKOFF", "Switches the disk off."},
    {"DSKON", KeywordRole::Statement, "DSKON var", "Switches the disk on; var receives the outcome."},
    {"DTOA", KeywordRole::Statement, "DTOA x", "Sets the digital-to-analog output to x."},
    {"ELSE", KeywordRole::Statement, "ELSE", "Starts the statements an IFF block runs when its condition is false."},
    {"ENDIF", KeywordRole::Statement, "ENDIF", "Ends an IFF block."},
    {"EXP", KeywordRole::Function, "EXP(x)", "e raised to the power x, as a float."},
    {"EXTENSION", KeywordRole::Statement, "EXTENSION name [, name ...]", "Declares names of firmware extensions, which are then called like statements (models 700 and 800)."},
    {"FIX", KeywordRole::Function, "FIX(x)", "The float x as an integer, its fraction dropped toward zero."},
    {"FLOAT", KeywordRole::Function, "FLOAT(x)", "The integer x as a float."},
    {"FOR", KeywordRole::Statement, "FOR var = first TO last [STEP step]", "Repeats the lines up to NEXT var while var runs from first to last."},
    {"FPERR", KeywordRole::Function, "FPERR", "The floating-point error flag (overflow, a domain error), cleared by reading it."},
    {"GET", KeywordRole::Function, "GET(v [, #n])", "Takes a byte (or n = 1, 2, 4 bytes) from the serial input v, as an integer."},
    {"GETS", KeywordRole::Function, "GETS(v)", "Takes a string from the serial input v."},
    {"GOSUB", KeywordRole::Statement, "GOSUB label", "Calls the subroutine at label; RETURN comes back to the statement after it."},
    {"GOTO", KeywordRole::Statement, "GOTO label", "Continues the program at label."},
    {"HALT", KeywordRole::Statement, "HALT", "Stops the program and the logger until it is woken."},
    {"HYB", KeywordRole::Statement, "HYB x", "Sleeps x seconds in the low-power hybernation state."},
    {"IF", KeywordRole::Statement, "IF condition statement", "Runs the rest of the line only when condition is true (not zero)."},
    {"IFF", KeywordRole::Statement, "IFF condition", "Runs the lines up to ELSE or ENDIF only when condition is true."},
    {"INPUT", KeywordRole::Statement, "INPUT [\"prompt\",] var [;] [, ...]", "Reads a line typed on the serial line into var, after showing the prompt."},
    {"INSTR", KeywordRole::Function, "INSTR([n,] a$, b$)", "The position of b$ in a$ (searching from position n), 0 when it is not there."},
    {"INT", KeywordRole::Function, "INT(x)", "The float x as an integer, rounded down."},
    {"ITEXT", KeywordRole::Statement, "ITEXT var [, \\terminator | count ...]", "Reads text from the serial line into var, up to the terminator or count characters."},
    {"LABPTR", KeywordRole::Function, "LABPTR(label)", "The run-time address of the code at label."},
    {"LEFT", KeywordRole::Function, "LEFT(s$, n)", "The first n characters of s$."},
    {"LEN", KeywordRole::Function, "LEN(s$)", "The number of characters of s$."},
    {"LET", KeywordRole::Statement, "LET var = expression", "Assigns the value of the expression to var (LET may be left out)."},
    {"LOG", KeywordRole::Function, "LOG(x)", "The natural logarithm of x, as a float."},
    {"LOG10", KeywordRole::Function, "LOG10(x)", "The logarithm of x to base 10, as a float."},
    {"MID", KeywordRole::Function, "MID(s$, a, b)", "The characters of s$ from position a to position b."},
    {"MODEL", KeywordRole::Both, "MODEL number  |  MODEL \"name\"", "Names the logger model the program is for (first statement); as a value, the model the program runs on."},
    {"NEXT", KeywordRole::Statement, "NEXT var", "Ends a FOR loop: steps var and goes round again until it passes the last value."},
    {"OFFLD", KeywordRole::Statement, "OFFLD a, b [, c, var]", "Offloads the data file from a to b over the serial line (c: the rate, var: the outcome)."},
    {"ONERR", KeywordRole::Statement, "ONERR [label [, var]]", "Sends run-time faults to label with the fault's code in var; ONERR alone restores the stop."},
    {"OTEXT", KeywordRole::Statement, "OTEXT var [, \\terminator] [;]", "Sends the text of var on the serial line."},
    {"PCLR", KeywordRole::Statement, "PCLR pin [, pin ...]", "Sets the output pins low."},
    {"PEEK", KeywordRole::Function, "PEEK(address)", "The byte at address of the logger's memory."},
    {"PEEKL", KeywordRole::Function, "PEEKL(address)", "The four-byte value at address, most significant byte first."},
    {"PEEKW", KeywordRole::Function, "PEEKW(address)", "The two-byte value at address, most significant byte first."},
    {"PERIOD", KeywordRole::Function, "PERIOD(a, b)", "The period of the signal on input a, measured over b cycles."},
    {"PIN", KeywordRole::Function, "PIN(pin [, pin ...])", "1 when any of the pins is high, else 0."},
    {"POKE", KeywordRole::Statement, "POKE address, value", "Writes the byte value at address of the logger's memory."},
    {"POKEL", KeywordRole::Statement, "POKEL address, value", "Writes the four-byte value at address, most significant byte first."},
    {"POKEW", KeywordRole::Statement, "POKEW address, value", "Writes the two-byte value at address, most significant byte first."},
    {"PRINT", KeywordRole::Statement, "PRINT [item, ...] [;]", "Prints the items on the serial line, then CR LF unless the statement ends with ;."},
    {"PSET", KeywordRole::Statement, "PSET pin [, pin ...]", "Sets the output pins high."},
    {"PTOG", KeywordRole::Statement, "PTOG pin [, pin ...]", "Toggles the output pins."},
    {"QUIT", KeywordRole::Statement, "QUIT", "Ends the program and returns to the logger's prompt."},
    {"RATE", KeywordRole::Statement, "RATE x", "Sets the logger's sampling rate to x."},
    {"REM", KeywordRole::Statement, "REM text", "A comment up to the end of the line."},
    {"REPEAT", KeywordRole::Statement, "REPEAT", "Starts a loop that runs down to UNTIL until its condition is true."},
    {"RETURN", KeywordRole::Statement, "RETURN", "Returns from a subroutine to the statement after its GOSUB."},
    {"RIGHT", KeywordRole::Function, "RIGHT(s$, n)", "The last n characters of s$."},
    {"RTIME", KeywordRole::Statement, "RTIME [var]", "Reads the logger's clock into the time variables (or var)."},
    {"RUN", KeywordRole::Statement, "RUN label", "Starts the program again at label."},
    {"SCROLL", KeywordRole::Statement, "SCROLL [item, ...] [;]", "Scrolls the items onto the logger's display."},
    {"SDI", KeywordRole::Function, "SDI(n)", "Reads the SDI-12 line n."},
    {"SDO", KeywordRole::Statement, "SDO n [, item ...]", "Sends the items on the serial data output n."},
    {"SIN", KeywordRole::Function, "SIN(x)", "The sine of x (radians), as a float."},
    {"SLEEP", KeywordRole::Statement, "SLEEP x [statement]", "Waits x seconds; with a statement, runs it when a key cut the sleep short."},
    {"SQR", KeywordRole::Function, "SQR(x)", "The square root of x, as a float."},
    {"STEP", KeywordRole::Word, "FOR var = first TO last STEP step", "The amount a FOR loop adds to its variable each time round (1 without STEP)."},
    {"STIME", KeywordRole::Statement, "STIME [var]", "Sets the logger's clock from the time variables (or var)."},
    {"STOP", KeywordRole::Statement, "STOP", "Stops the program."},
    {"STORE", KeywordRole::Statement, "STORE p, item [, item ...]", "Writes the items into the data file at offset p and moves p on."},
    {"STR", KeywordRole::Function, "STR(x)", "The number x as text."},
    {"TAN", KeywordRole::Function, "TAN(x)", "The tangent of x (radians), as a float."},
    {"TEMP", KeywordRole::Function, "TEMP(n)", "Reads temperature sensor n."},
    {"TO", KeywordRole::Word, "FOR var = first TO last", "The last value of a FOR loop's variable."},
    {"TONE", KeywordRole::Statement, "TONE a, b", "Sounds a tone of pitch a for b."},
    {"UGET", KeywordRole::Statement, "UGET baud, var, a, b", "Receives from the software serial input at baud into var."},
    {"UNTIL", KeywordRole::Statement, "UNTIL condition", "Ends a REPEAT loop: goes round again until condition is true."},
    {"USEND", KeywordRole::Statement, "USEND baud, item [, item ...]", "Sends the items on the software serial output at baud."},
    {"VAL", KeywordRole::Function, "var = VAL(s$)", "The number written in s$, as the type of the variable assigned."},
    {"VARPTR", KeywordRole::Function, "VARPTR(var)", "The address (or slot) of var in the logger's memory."},
    {"VERS", KeywordRole::Function, "VERS", "The version of the logger's firmware."},
    {"VGET", KeywordRole::Function, "VGET(n)", "The value kept in cell n of the non-volatile store."},
    {"VSTORE", KeywordRole::Statement, "VSTORE n, value", "Keeps value in cell n of the non-volatile store, where it outlives the program."},
    {"WEND", KeywordRole::Statement, "WEND", "Ends a WHILE loop."},
    {"WHILE", KeywordRole::Statement, "WHILE condition", "Repeats the lines up to WEND while condition is true."},
    {"XMIT", KeywordRole::Statement, "XMIT+  |  XMIT-", "Switches the serial transmitter on (+) or off (-)."},
    {"XSHAKE", KeywordRole::Statement, "XSHAKE x", "Sets the serial line's handshake to x."},
}};
// clang-format on

constexpr bool keywordDocsFollowTheKeywordTable() {
    for (std::size_t i = 0; i < kKeywordDocs.size(); ++i) {
        if (kKeywordDocs[i].name != kKeywordNames[i] || kKeywordDocs[i].syntax.empty() ||
            kKeywordDocs[i].summary.empty())
            return false;
    }
    return true;
}
static_assert(keywordDocsFollowTheKeywordTable(),
              "one documented row per keyword, in the keyword table's order");

// The row of a keyword in any mix of case, or nullptr.
const KeywordDoc* keywordDoc(std::string_view name);

}  // namespace orrery::compiler
