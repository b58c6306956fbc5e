#pragma once
// Output files that are complete or absent. The bytes go to a temporary file in the target's folder,
// which is renamed over the target only once everything is written, so a failed or interrupted write
// never leaves a truncated .bin that someone might load into a logger or burn into an EPROM.

#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "compiler.h"

namespace orrery::compiler {

struct OutputResult {
    bool ok = false;
    std::string
        error;  // names the file and the reason, e.g. "Cannot write /tmp/x/prog.bin: Permission denied"
};

// Replaces (or creates) the file with exactly these bytes. A write-protected existing file is left alone
// and reported, as is a missing or unwritable folder.
OutputResult writeOutputFile(const std::filesystem::path& path, std::string_view bytes);

// The source name with its extension replaced (or added), placed in the folder given.
std::filesystem::path outputPathFor(std::string_view sourceName, std::string_view extension,
                                    const std::filesystem::path& folder = {});

// Which files to write after a successful compile, and where.
struct OutputChoice {
    bool listing = false;              // .lst
    bool binary = false;               // .bin
    bool symbols = false;              // .sym
    std::filesystem::path folder;      // empty: the current folder
    ProgressCallback listingProgress;  // may be empty; called while the listing is produced
};

struct OutputsWritten {
    std::vector<std::filesystem::path> written;  // in the order written
    std::vector<std::string> errors;             // each names its file
    bool ok() const { return errors.empty(); }
};

// Writes the chosen files of a successful compile in the order listing, binary image, symbol file.
// A failed listing does not stop the others; a failed binary image stops the symbol file, so that no new
// symbol file can stand beside an old image it does not describe.
OutputsWritten writeCompileOutputs(const CompileJob& job, const OutputChoice& choice);

// The listing of a successful compile, dated now (see listingDateText).
std::string compileListingText(const CompileJob& job, const ProgressCallback& progress = {});

}  // namespace orrery::compiler
