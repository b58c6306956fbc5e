#include "commandline.h"

#include <string_view>

#include "orrery_version.h"

namespace orrery {

namespace {

constexpr const char* kUsage =
    "Usage: orrery [OPTIONS] [FILE...]\n"
    "Opens the Quobol programs FILE... in the workbench for Brackwater data loggers.\n"
    "When a workbench is already running for this user, the files open in that one.\n"
    "  -h, --help     show this help\n"
    "      --version  show the version\n"
    "      --         every argument after it is a file name\n";

constexpr const char* kVersion = "orrery " ORRERY_VERSION_TEXT "\n";

}  // namespace

std::optional<int> answerInfoOption(int argc, const char* const* argv, std::ostream& out) {
    for (int i = 1; i < argc; ++i) {
        const std::string_view arg = argv[i];
        if (arg == "--") {
            break;
        }
        if (arg == "-h" || arg == "--help") {
            out << kUsage;
            return 0;
        }
        if (arg == "--version") {
            out << kVersion;
            return 0;
        }
    }
    return std::nullopt;
}

}  // namespace orrery
