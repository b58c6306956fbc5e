// The compile driver: start, the parse loop one line per call, finish and release.

#include "compiler.h"

#include <algorithm>
#include <new>

#include "context.h"
#include "image.h"
#include "models.h"
#include "parser.h"

namespace orrery::compiler {

namespace {
std::string clearBit7(std::string_view source) {
    std::string clean(source);
    for (char& c : clean) c = static_cast<char>(static_cast<unsigned char>(c) & 0x7F);
    return clean;
}

std::string_view sourceOf(const CompileJob& job) {
    std::string_view text = job.sourceText;
    if (job.sourceLength != 0 && job.sourceLength < text.size()) text = text.substr(0, job.sourceLength);
    return text;
}
}  // namespace

CompileContext::CompileContext(CompileJob& compileJob)
    : job(&compileJob),
      cleanSource(clearBit7(sourceOf(compileJob))),
      originalSource(sourceOf(compileJob)),
      code(std::min(cleanSource.size() + kImageReserve - kHeaderRoom, kMaxCodeSize)),
      scanner(cleanSource, originalSource) {}

namespace {
// The offending token's extent as shown to people: its first character's 1-based column and length.
void setTokenPosition(CompileJob& job, long offsetInLine, std::size_t length) {
    job.errorTokenColumn = static_cast<std::uint16_t>(std::clamp<long>(offsetInLine + 1, 1, 0xFFFF));
    job.errorTokenLength = static_cast<std::uint16_t>(std::min<std::size_t>(length, 0xFFFF));
}

bool isNameCharacter(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_' || c == '@';
}

// What reportAt() points at: a name (an undefined label, an assembler symbol) or one character.
std::size_t extentAt(std::string_view text, std::size_t position) {
    std::size_t end = position;
    while (end < text.size() && isNameCharacter(text[end])) ++end;
    if (end > position) return end - position;
    return position < text.size() && text[position] != '\n' && text[position] != '\r' ? 1 : 0;
}
}  // namespace

void CompileContext::report(std::string_view message) {
    if (errorSeen || !job) return;
    errorSeen = true;
    stop = true;
    job->errorCode = kCompileFailed;
    job->errorMessage = std::string(message.substr(0, 127));
    job->errorName = errorCodeName(message);
    const long column = static_cast<long>(lastToken.start) - static_cast<long>(lineStart);
    job->errorColumn = static_cast<std::uint16_t>(std::clamp<long>(column, 1, 0xFFFF));
    job->errorLine = static_cast<std::int32_t>(line);
    // A line end or the end of the source has no characters to point at; the error sits just after the
    // line's last character (or at column 1 of the line after the last).
    const bool atLineEnd = lastToken.code == kNewline || lastToken.code == kEnd;
    std::size_t length = atLineEnd ? 0 : lastToken.length;
    // A comment runs to the line end, whose CR is no character of the line.
    while (length > 0 && cleanSource[lastToken.start + length - 1] == '\r') --length;
    setTokenPosition(*job, std::max(column, 0L), length);
}

void CompileContext::reportAt(std::string_view message, std::size_t sourcePosition) {
    if (errorSeen || !job) return;
    const std::string_view text = cleanSource;
    sourcePosition = std::min(sourcePosition, text.size());
    const std::size_t lineBegin = text.rfind('\n', sourcePosition == 0 ? 0 : sourcePosition - 1);
    const std::size_t begin = lineBegin == std::string_view::npos || sourcePosition == 0 ? 0 : lineBegin + 1;
    report(message);
    job->errorLine = static_cast<std::int32_t>(1 + std::count(text.begin(), text.begin() + static_cast<long>(begin), '\n'));
    const long column = static_cast<long>(sourcePosition) - static_cast<long>(begin);
    job->errorColumn = static_cast<std::uint16_t>(std::clamp<long>(column, 1, 0xFFFF));
    setTokenPosition(*job, column, extentAt(text, sourcePosition));
}

namespace {

void resetResults(CompileJob& job) {
    job.modelCode = job.initialModelCode;
    job.targetOrderMark = 0x0100;
    job.header = HeaderSummary{};
    job.code.clear();
    job.image.clear();
    job.imageLength = 0;
    job.dataFileSize = -1;
    job.errorCode = kCompileOk;
    job.errorMessage.clear();
    job.errorLine = 0;
    job.errorColumn = 0;
    job.errorTokenColumn = 0;
    job.errorTokenLength = 0;
    job.errorName.clear();
    job.lineStart = 0;
    job.state.reset();
}

void failStart(CompileJob& job) {
    job.state.reset();
    job.errorCode = kCompileOutOfMemory;
    job.errorMessage = userText(Err::not_enough_DOS_memory);
    job.errorName = errorCodeName(job.errorMessage);
}

// Start: a fresh context with its code buffer, symbol table and assembler line table.
std::shared_ptr<CompileContext> start(CompileJob& job) {
    if (job.maxLabels <= 0 || job.maxAsmLines < 0) return nullptr;
    auto context = std::make_shared<CompileContext>(job);
    CompileContext* raw = context.get();
    context->code.setEmbedLineNumbers(job.flags & kEmbedLineNumbers);
    context->code.startLineNumbers();
    context->symbols = std::make_unique<SymbolTable>(job.maxLabels, [raw](std::string_view message) {
        raw->report(message);
    });
    SymbolTable* symbols = context->symbols.get();
    context->scanner = Scanner(context->cleanSource, context->originalSource,
                               [symbols](std::string_view name) { return symbols->isExtension(name); });
    context->assembler = std::make_unique<Assembler>(context->cleanSource, job.maxAsmLines);
    return context;
}

// ---- the finish, one step per call so that each part can grow on its own -------------------------

// Pending operands of inline assembler blocks.
void resolveAssemblerReferences(CompileContext& context) { finishInlineAssembly(context); }

// Every label referenced must be defined; the first one that is not is reported at its first use.
void resolveSymbols(CompileContext& context) {
    const auto undefined = context.symbols->firstUndefinedLabel();
    if (!undefined) return;
    const SymbolEntry& entry = context.symbols->entry(*undefined);
    const std::string message = "\"" + entry.name.substr(0, 30) + "\" : Undefined label reference";
    context.reportAt(message, entry.second);
}

// The sorted symbol summary with its two CRCs, for the header, the symbol file and the variable viewer.
void buildSummary(CompileContext& context) { context.summary = buildSymbolSummary(*context.symbols); }

void fillHeaderSummary(CompileContext& context) {
    CompileJob& job = *context.job;
    HeaderSummary& header = job.header;
    header.headerSize = usesSlotAddressing(job.modelCode) ? kLongHeaderSize : kShortHeaderSize;
    header.modelByte = static_cast<std::uint8_t>(job.modelCode / 10);
    header.constant4 = 4;
    header.constant14 = 14;
    header.highestToken = static_cast<std::uint8_t>(context.code.highestToken() & 0xFF);
    header.codeSize = static_cast<std::uint32_t>(context.code.size());
    header.variablesSize = context.symbols->area().variablesSize() & 0xFFFF;
    header.sourceName = job.sourceName.substr(0, 31);
}

// The image: the header for the model in force, then the code. An unknown model, a missing DFSIZE and a
// program the header cannot describe stop the compile here.
void buildImage(CompileContext& context) {
    CompileJob& job = *context.job;
    job.code = context.code.bytes();
    HeaderFacts facts;
    facts.modelCode = job.modelCode;
    facts.highestToken = context.code.highestToken();
    facts.variablesSize = static_cast<std::uint16_t>(job.header.variablesSize);
    facts.vcrc = context.summary.vcrc;
    facts.lcrc = context.summary.lcrc;
    facts.sourceName = job.sourceName;
    facts.dataFileSize = job.dataFileSize;
    ProgramImage image = buildProgramImage(facts, job.code);
    if (!image.ok()) {
        context.report(imageErrorMessage(image.error));
        return;
    }
    job.header.headerSize = image.headerSize;
    job.dataFileSize = image.dataFileSize;
    job.image = std::move(image.bytes);
    job.imageLength = static_cast<std::uint32_t>(job.image.size());
}

void finish(CompileContext& context) {
    resolveAssemblerReferences(context);
    if (context.failed()) return;
    resolveSymbols(context);
    if (context.failed()) return;
    buildSummary(context);
    fillHeaderSummary(context);
    buildImage(context);
}

}  // namespace

void applyOptions(CompileJob& job, const CompilerOptions& options) {
    job.flags = static_cast<std::uint8_t>((job.flags & ~0x1F) | (options.embedLineNum ? kEmbedLineNumbers : 0));
    job.maxLabels = options.maxLabels;
    job.maxAsmLines = options.maxAsmLines;
}

void setSource(CompileJob& job, std::string sourceName, std::string_view text) {
    job.sourceName = std::move(sourceName);
    job.sourceText.reserve(text.size() + 2);
    job.sourceText.assign(text);
    job.sourceText += "\r\n";
    job.sourceLength = static_cast<std::uint32_t>(job.sourceText.size());
}

std::uint8_t compile(CompileJob& job) {
    resetResults(job);
    std::shared_ptr<CompileContext> context;
    try {
        context = start(job);
    } catch (const std::bad_alloc&) {
        context.reset();
    }
    if (!context) {
        failStart(job);
        return job.errorCode;
    }
    try {
        Parser parser(*context);
        while (!context->stop) parser.parseLine();
        if (!context->failed()) finish(*context);
    } catch (const std::bad_alloc&) {
        context->report(userText(Err::not_enough_DOS_memory));
    } catch (const std::exception&) {
        // Nothing may escape the compile: a failure of our own still ends as a reported error.
        context->report(userText(Err::unknown_error));
    }
    context->job = nullptr;
    if (context->failed()) {
        job.code.clear();
        job.image.clear();
        job.imageLength = 0;
        job.state.reset();
    } else {
        job.state = std::move(context);
    }
    return job.errorCode;
}

void releaseJob(CompileJob& job) {
    job.image.clear();
    job.image.shrink_to_fit();
    job.imageLength = 0;
    job.state.reset();
}

const SymbolTable* symbolTable(const CompileJob& job) { return job.state ? job.state->symbols.get() : nullptr; }

std::string outputFileName(const std::string& sourceName, const std::string& extension) {
    const std::size_t slash = sourceName.find_last_of("/\\");
    const std::size_t dot = sourceName.find_last_of('.');
    if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) return sourceName + extension;
    return sourceName.substr(0, dot) + extension;
}

}  // namespace orrery::compiler
