#include "compilejob.h"

#include <algorithm>

namespace orrery::compiler {

namespace {

bool wrote(const OutputsWritten& outputs, const char* extension) {
    return std::any_of(outputs.written.begin(), outputs.written.end(),
                       [&](const std::filesystem::path& p) { return p.extension() == extension; });
}

void compileWithProgress(CompileJob& job, CompileProgress* progress) {
    if (progress == nullptr) {
        compile(job);
        return;
    }
    progress->begin(CompilePhase::Compiling, std::int32_t(job.sourceLength));
    job.progress = [progress](std::int32_t value) { return progress->step(value); };
    compile(job);
    job.progress = nullptr;
    progress->end();
}

OutputsWritten writeOutputs(const CompileJob& job, const CompileRequest& request) {
    const CompilerOptions& options = request.options;
    OutputChoice choice;
    choice.listing = options.createListFile;
    choice.binary = options.createBinFile;
    choice.symbols = options.createSymFile;
    choice.folder = request.outputFolder;
    CompileProgress* progress = choice.listing ? request.progress : nullptr;
    if (progress != nullptr) {
        progress->begin(CompilePhase::Listing, std::int32_t(job.header.codeSize));
        // The listing is short work: a stop asked for here has no meaning.
        choice.listingProgress = [progress](std::int32_t value) {
            progress->step(value);
            return false;
        };
    }
    OutputsWritten outputs = writeCompileOutputs(job, choice);
    if (progress != nullptr) {
        progress->end();
    }
    return outputs;
}

}  // namespace

CompileJob jobFor(const CompileRequest& request) {
    CompileJob job;
    setSource(job, request.sourceName, request.text);
    applyOptions(job, request.options);
    return job;
}

CompileOutcome compileProgram(const CompileRequest& request) {
    CompileOutcome outcome;
    outcome.job = jobFor(request);
    compileWithProgress(outcome.job, request.progress);
    if (!outcome.compiled()) {
        return outcome;
    }
    const CompilerOptions& options = request.options;
    if (options.createListFile || options.createBinFile || options.createSymFile) {
        outcome.outputs = writeOutputs(outcome.job, request);
    }
    outcome.imageMissing = options.createBinFile && !wrote(outcome.outputs, ".bin");
    return outcome;
}

}  // namespace orrery::compiler
