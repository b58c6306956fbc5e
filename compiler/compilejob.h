#pragma once
// One compile job as every front end runs it (the workbench's Syntax check, Load and Run, loggerlink
// load, qobc): a program's text compiled with the user's options, then the output files those options
// ask for written into one folder. The outcome carries the compiled job (image, header, code, or the
// error with its line and column) and the files written or not.
//
// The failure rule is the same for every front end: a job fails when the program does not compile, or
// when the program image file was asked for and could not be written (nothing must load a program whose
// image file the user asked for and did not get). A listing or symbol file that could not be written is
// reported in the outcome and does not fail the job.
//
// What it does not do: read the source file, talk to the user or print; the front ends do that.

#include <cstdint>
#include <filesystem>
#include <string>

#include "compiler.h"
#include "outputfile.h"

namespace orrery::compiler {

enum class CompilePhase { Compiling, Listing };

// How far a long job has come: the compile of a large program and its listing.
class CompileProgress {
public:
    virtual ~CompileProgress() = default;
    virtual void begin(CompilePhase phase, std::int32_t total) = 0;
    // Returns true when the user asked to stop (the compile ignores it, as it always has).
    virtual bool step(std::int32_t value) = 0;
    virtual void end() = 0;
};

struct CompileRequest {
    std::string sourceName;  // file name without folder: messages and output files use it
    std::string text;        // the program as the user has it; CR LF is appended
    CompilerOptions options;
    std::filesystem::path outputFolder;   // where the chosen output files go (empty: the current folder)
    CompileProgress* progress = nullptr;  // may be null
};

struct CompileOutcome {
    CompileJob job;             // after a compile error: errorLine, errorTokenColumn, errorMessage
    OutputsWritten outputs;     // the files written, and one message per file that could not be
    bool imageMissing = false;  // the program image was asked for and is not on disk

    bool compiled() const { return !job.failed(); }
    bool ok() const { return compiled() && !imageMissing; }
};

// The job a request compiles: its text with CR LF, its name and the options' flags and limits.
CompileJob jobFor(const CompileRequest& request);

// Compiles and, after a successful compile, writes the chosen output files. Call releaseJob on the
// outcome's job when its symbol table is no longer needed (destroying it does the same).
CompileOutcome compileProgram(const CompileRequest& request);

}  // namespace orrery::compiler
