// Feeds arbitrary bytes to the compiler, with and without line numbers: it must end with a result or
// a first error, never a crash, a hang or a read outside its buffers.

#include <cstddef>
#include <cstdint>
#include <string>

#include "compiler.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace orrery::compiler;
    CompileJob job;
    job.flags = size > 0 && (data[0] & 1) ? kEmbedLineNumbers : 0;
    job.sourceText.assign(reinterpret_cast<const char*>(data), size);
    job.sourceText += "\r\n";
    if (compile(job) != kCompileOk && (job.errorMessage.empty() || job.errorColumn < 1)) __builtin_trap();
    releaseJob(job);
    return 0;
}
