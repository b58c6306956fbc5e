// libFuzzer entry: compiles arbitrary bytes and, when the compile succeeds, runs every writer of its
// results (program image, listing, symbol file) into memory.
//
// The first byte of an input chooses the options, the rest is the source text:
//   bit 0      embed line numbers
//   bits 1-3   MaxLabels, from a small table (small capacities reach the "table full" paths)
//   bits 4-6   MaxAsmLines, likewise
// The source gets the CR LF that the workbench appends before every compile.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "compiler.h"
#include "symboltable.h"

#if __has_include("image.h")
#include "image.h"
#define ORRERY_FUZZ_IMAGE 1
#endif
#if __has_include("listing.h")
#include "listing.h"
#define ORRERY_FUZZ_LISTING 1
#endif
#if __has_include("symfile.h")
#include "symfile.h"
#define ORRERY_FUZZ_SYMFILE 1
#endif

namespace {

using namespace orrery::compiler;

constexpr std::int16_t kLabelChoices[8] = {1, 2, 3, 5, 8, 16, 64, 1000};
constexpr std::int16_t kAsmLineChoices[8] = {0, 1, 2, 3, 5, 16, 64, 1000};

CompileJob jobFor(const std::uint8_t* data, std::size_t size) {
    CompileJob job;
    const std::uint8_t options = size > 0 ? data[0] : 0;
    job.flags = (options & 1) ? kEmbedLineNumbers : 0;
    job.maxLabels = kLabelChoices[(options >> 1) & 7];
    job.maxAsmLines = kAsmLineChoices[(options >> 4) & 7];
    job.sourceName = "FUZZ.qob";
    if (size > 1) job.sourceText.assign(reinterpret_cast<const char*>(data + 1), size - 1);
    job.sourceText += "\r\n";
    return job;
}

#ifdef ORRERY_FUZZ_SYMFILE
std::string symbolFileOf(const CompileJob& job) {
    const SymbolTable* table = symbolTable(job);
    if (table == nullptr) return {};
    std::vector<SymbolRecord> records;
    for (int index : table->visitOrder()) {
        const SymbolEntry& entry = table->entry(index);
        SymbolEntryFacts facts{entry.name, entry.flags, entry.type, entry.address, entry.second};
        records.push_back(summaryRecordOf(facts, table->area().step));
    }
    return symbolFileText(makeSymbolSummary(std::move(records)));
}
#endif

void runWriters(const CompileJob& job) {
    std::vector<std::uint8_t> image = job.image;
    std::uint16_t headerSize = job.header.headerSize;
#ifdef ORRERY_FUZZ_IMAGE
    HeaderFacts facts;
    facts.modelCode = job.modelCode;
    facts.highestToken = job.header.highestToken;
    facts.variablesSize = static_cast<std::uint16_t>(job.header.variablesSize);
    facts.sourceName = job.sourceName;
    facts.dataFileSize = job.dataFileSize;
    ProgramImage built = buildProgramImage(facts, job.code);
    if (built.ok()) {
        image = std::move(built.bytes);
        headerSize = built.headerSize;
    } else {
        headerSize = 0;
    }
#endif
#ifdef ORRERY_FUZZ_LISTING
    ListingInputs inputs;
    inputs.sourceName = job.sourceName;
    inputs.sourceText = job.sourceText;
    inputs.image = image;
    inputs.headerSize = headerSize;
    inputs.codeSize = job.header.codeSize;
    inputs.variablesSize = job.header.variablesSize;
    inputs.dateText = "Tue Dec 08 12:00:00 2026";
    const std::string listing = listingText(inputs);
    if (listing.empty()) __builtin_trap();
#endif
#ifdef ORRERY_FUZZ_SYMFILE
    (void)symbolFileOf(job);
#endif
    (void)image;
    (void)headerSize;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    CompileJob job = jobFor(data, size);
    if (compile(job) == kCompileOk) {
        // A successful compile must describe its own code consistently.
        if (job.header.codeSize != job.code.size()) __builtin_trap();
        runWriters(job);
    } else if (job.errorMessage.empty() || job.errorLine < 1 || job.errorColumn < 1) {
        // Every failure must say what and where.
        __builtin_trap();
    }
    releaseJob(job);
    return 0;
}
