#pragma once
// Output files that are complete or absent. The bytes go to a temporary file in the target's folder,
// which is renamed over the target only once everything is written, so a failed or interrupted write
// never leaves a truncated .bin that someone might load into a logger or burn into an EPROM.

#include <filesystem>
#include <string>
#include <string_view>

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

}  // namespace orrery::compiler
