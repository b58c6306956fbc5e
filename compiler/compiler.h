#pragma once
// The Quobol compiler's public entry: one CompileJob in, token code and the first error out.
//
// The caller fills the inputs of a CompileJob (source name and text, flags, limits), calls compile(),
// and reads the results: the token code and program image, the sizes for the summary, the model code,
// the data-file size and either success or the first error with its line and column. The compiler never
// prints, never throws across this interface and keeps no state between compiles: every compile builds a
// fresh context, which the job holds until releaseJob() (or the job's destruction).
//
// What this module does not do: write output files (listing, binary image, symbol file) and talk to the
// logger; those read the job after a successful compile.

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace orrery::compiler {

// The compiler options held by the main window and stored under "Compile". Only embedLineNum,
// maxLabels and maxAsmLines reach the compile; the others choose output files or belong to the link.
struct CompilerOptions {
    bool confirmConnect = true;       // "ConfirmConnect"
    bool embedLineNum = true;         // "EmbedLineNum": bit 0 of CompileJob::flags
    bool createListFile = false;      // "CreateListFile"
    bool createBinFile = false;       // "CreateBinFile"
    bool createSymFile = false;       // "CreateSymFile"
    bool caseInsensitiveSym = false;  // "CaseInsensitiveSym": shown and stored only
    std::int16_t maxLabels = 1000;    // "MaxLabels": symbol table capacity
    std::int16_t maxAsmLines = 1000;  // "MaxAsmLines": inline assembler line table entries
};

// Bit 0 of CompileJob::flags: emit LinNum instructions.
inline constexpr std::uint8_t kEmbedLineNumbers = 0x01;

// Result codes of CompileJob::errorCode.
inline constexpr std::uint8_t kCompileOk = 0;
inline constexpr std::uint8_t kCompileFailed = 255;
inline constexpr std::uint8_t kCompileOutOfMemory = 48;

// Header sizes of the program image: short for every model but 700 and 800.
inline constexpr std::uint16_t kShortHeaderSize = 14;
inline constexpr std::uint16_t kLongHeaderSize = 82;

// The values the compiler gathers for the program header and the summary dialog.
struct HeaderSummary {
    std::uint16_t headerSize = 0;     // 14 or 82
    std::uint8_t modelByte = 0;       // model code / 10
    std::uint8_t constant4 = 0;       // 4 once filled
    std::uint8_t constant14 = 0;      // 14 once filled
    std::uint8_t highestToken = 0;    // low 8 bits of the highest opcode token number emitted
    std::uint32_t codeSize = 0;       // bytes of token code
    std::uint32_t blockSizes[3] = {};  // always zero
    std::uint32_t variablesSize = 0;  // |next - start| x slot size of the variable area
    std::uint32_t reserved[2] = {};
    std::string sourceName;           // cut to 31 characters
};

// Called with a progress value; returns true when the user asked to cancel (the compile ignores it).
using ProgressCallback = std::function<bool(std::int32_t)>;

struct CompileContext;
class SymbolTable;

// The record of one compile. Inputs are filled by the caller, results by compile().
struct CompileJob {
    // ---- inputs ----
    ProgressCallback progress;        // may be empty
    std::string sourceName;           // file name without folder, e.g. "LOGGER.qob" or "NONAME3"
    std::string sourceText;           // the whole text, with "\r\n" appended by the caller
    std::uint32_t sourceLength = 0;   // bytes of sourceText to compile; 0 means sourceText.size()
    std::string lineEnd = "\r\n";     // line end of listing and symbol file lines
    std::uint16_t hostOrderMark = 1;
    std::uint16_t initialModelCode = 0;
    std::uint8_t flags = kEmbedLineNumbers;  // bit 0: embed line numbers; bits 1..4 unused
    std::int16_t maxLabels = 1000;    // from CompilerOptions::maxLabels
    std::int16_t maxAsmLines = 1000;  // from CompilerOptions::maxAsmLines

    // ---- results ----
    std::uint16_t modelCode = 0;      // model in force at the end (0: none)
    std::uint16_t targetOrderMark = 0x0100;  // bytes 0 then 1 in memory: header values big-endian
    HeaderSummary header;
    std::vector<std::uint8_t> code;   // the token code alone (header excluded)
    std::vector<std::uint8_t> image;  // the program image: header, then the code
    std::uint32_t imageLength = 0;
    std::int32_t dataFileSize = -1;   // set by DFSIZE (models 400 and 500)
    std::uint8_t errorCode = kCompileOk;
    std::string errorMessage;         // first error, at most 127 characters
    std::int32_t errorLine = 0;       // 1-based
    std::uint16_t errorColumn = 0;    // after an error: the error token's offset in its line, at least 1
    // Where the error is shown to people and tools (qobc's FILE:LINE:COLUMN, the workbench's caret,
    // editors): the 1-based column of the offending token's first character and the token's length
    // (0 when the error was noticed at a line end or at the end of the source). errorColumn counts from
    // 0 and is kept for the compiler's own formats.
    std::uint16_t errorTokenColumn = 0;
    std::uint16_t errorTokenLength = 0;
    std::string errorName;            // the error table's name ("FOR_NEXT_not_terminated"), see errorCodeName()
    std::uint32_t lineStart = 0;      // offset of the current line in the source while compiling

    // The compile's own state, kept after a successful compile for the writers of the listing, the
    // symbol summary and the image; cleared by releaseJob().
    std::shared_ptr<CompileContext> state;

    bool failed() const { return errorCode != kCompileOk; }
};

// Copies the options that reach the compile into the job (flags bit 0 and the two limits).
void applyOptions(CompileJob& job, const CompilerOptions& options);

// Sets the source of a job as every front end compiles a program: the text as given, then CR LF (so
// that a last line without a line end is a whole line), named by the file name without its folder.
void setSource(CompileJob& job, std::string sourceName, std::string_view text);

// Runs one compile to completion. Returns the job's error code: 0 on success.
std::uint8_t compile(CompileJob& job);

// Frees the image and the compile's state (symbol table, code buffer).
void releaseJob(CompileJob& job);

// The symbol table of the last compile of this job, or nullptr after releaseJob() or a failed start.
const SymbolTable* symbolTable(const CompileJob& job);

// Output file name: the source name with its extension replaced (or added), e.g. ".lst".
std::string outputFileName(const std::string& sourceName, const std::string& extension);

}  // namespace orrery::compiler
