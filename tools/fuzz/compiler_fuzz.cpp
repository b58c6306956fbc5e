// libFuzzer entry: compiles arbitrary bytes and, when the compile succeeds, runs every writer of its
// results (listing, symbol file) into memory and checks that the image describes itself.
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
#include "image.h"
#include "outputfile.h"
#include "symfile.h"

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

// The writers as the workbench calls them after a successful compile, into memory.
void runWriters(const CompileJob& job) {
    // The image the loader would send must describe itself: its header holds the sizes it was built with.
    if (job.image.size() != job.imageLength || job.imageLength < job.header.headerSize) __builtin_trap();
    if (job.imageLength != job.header.headerSize + job.code.size()) __builtin_trap();
    if (compileListingText(job).empty()) __builtin_trap();
    const SymbolSummary* summary = symbolSummary(job);
    if (summary == nullptr) __builtin_trap();
    (void)symbolFileText(*summary);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    CompileJob job = jobFor(data, size);
    if (compile(job) == kCompileOk) {
        // A successful compile must describe its own code consistently.
        if (job.header.codeSize != job.code.size()) __builtin_trap();
        runWriters(job);
    } else if (job.errorMessage.empty() || job.errorLine < 1 || job.errorColumn < 1 || job.errorTokenColumn < 1 ||
               job.errorName.empty()) {
        // Every failure must say what and where, and name its kind for the language server.
        __builtin_trap();
    }
    releaseJob(job);
    return 0;
}
