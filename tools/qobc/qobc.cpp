#include "qobc.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <ostream>
#include <sstream>

#include "compilejob.h"
#include "compiler.h"
#include "orrery_version.h"

namespace orrery::qobc {

namespace {

constexpr const char* kUsage =
    "Usage: qobc [OPTIONS] FILE\n"
    "Compiles a Quobol program to the logger's token code.\n"
    "  -l, --listing          also write the listing FILE.lst\n"
    "  -b, --binary           also write the program image FILE.bin\n"
    "  -s, --symbols          also write the symbol file FILE.sym\n"
    "  -n, --no-line-numbers  do not embed line numbers\n"
    "  -o, --output-dir DIR   where output files go (default: beside FILE)\n"
    "      --max-symbols N    symbol table capacity (default 1000)\n"
    "      --max-asm-lines N  assembler line table size (default 1000)\n"
    "      --code             print the token code (the bytes after the header) on stdout as hex\n"
    "  -h, --help             show this help\n"
    "      --version          show the version\n";

constexpr const char* kVersion = "qobc (Orrery) " ORRERY_VERSION_TEXT "\n";

struct Options {
    compiler::CompilerOptions compiler;
    bool printCode = false;
    bool help = false;
    bool version = false;
    std::string outputDir;
    std::string file;
};

struct UsageError {
    std::string message;
};

std::int16_t parseLimit(const std::string& option, const std::string& text) {
    char* end = nullptr;
    errno = 0;
    const long value = std::strtol(text.c_str(), &end, 10);
    if (text.empty() || *end != '\0' || errno != 0 || value < 1 || value > 32767) {
        throw UsageError{"qobc: " + option + " needs a number from 1 to 32767, not '" + text + "'"};
    }
    return static_cast<std::int16_t>(value);
}

Options parseArguments(const std::vector<std::string>& arguments) {
    Options options;
    for (std::size_t i = 0; i < arguments.size(); ++i) {
        const std::string& arg = arguments[i];
        auto value = [&](const std::string& option) -> std::string {
            if (i + 1 >= arguments.size()) throw UsageError{"qobc: " + option + " needs a value"};
            return arguments[++i];
        };
        if (arg == "-l" || arg == "--listing") {
            options.compiler.createListFile = true;
        } else if (arg == "-b" || arg == "--binary") {
            options.compiler.createBinFile = true;
        } else if (arg == "-s" || arg == "--symbols") {
            options.compiler.createSymFile = true;
        } else if (arg == "-n" || arg == "--no-line-numbers") {
            options.compiler.embedLineNum = false;
        } else if (arg == "-o" || arg == "--output-dir") {
            options.outputDir = value(arg);
        } else if (arg == "--max-symbols") {
            options.compiler.maxLabels = parseLimit(arg, value(arg));
        } else if (arg == "--max-asm-lines") {
            options.compiler.maxAsmLines = parseLimit(arg, value(arg));
        } else if (arg == "--code") {
            options.printCode = true;
        } else if (arg == "-h" || arg == "--help") {
            options.help = true;
        } else if (arg == "--version") {
            options.version = true;
        } else if (arg.size() > 1 && arg[0] == '-') {
            throw UsageError{"qobc: unknown option '" + arg + "'"};
        } else if (!options.file.empty()) {
            throw UsageError{"qobc: only one FILE can be compiled at a time"};
        } else {
            options.file = arg;
        }
    }
    return options;
}

bool readFile(const std::string& path, std::string& text) {
    std::error_code error;
    if (std::filesystem::is_directory(path, error)) return false;
    std::ifstream in(path, std::ios::binary);
    if (!in) return false;
    text.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    return !in.bad();
}

}  // namespace

std::string hexDump(const std::vector<unsigned char>& bytes) {
    std::string out;
    char buffer[24];
    for (std::size_t offset = 0; offset < bytes.size(); offset += 16) {
        std::snprintf(buffer, sizeof buffer, "%04zX:", offset);
        out += buffer;
        for (std::size_t i = offset; i < offset + 16 && i < bytes.size(); ++i) {
            std::snprintf(buffer, sizeof buffer, " %02X", bytes[i]);
            out += buffer;
        }
        out += '\n';
    }
    return out;
}

int run(const std::vector<std::string>& arguments, std::ostream& out, std::ostream& err) {
    Options options;
    try {
        options = parseArguments(arguments);
    } catch (const UsageError& usage) {
        err << usage.message << "\n" << "Try 'qobc --help'.\n";
        return kExitUsage;
    }
    if (options.help) {
        out << kUsage;
        return kExitOk;
    }
    if (options.version) {
        out << kVersion;
        return kExitOk;
    }
    if (options.file.empty()) {
        err << "qobc: no FILE given\n" << kUsage;
        return kExitUsage;
    }
    std::error_code error;
    if (!options.outputDir.empty() && !std::filesystem::is_directory(options.outputDir, error)) {
        err << "qobc: output folder '" << options.outputDir << "' does not exist\n";
        return kExitUsage;
    }

    std::string text;
    if (!readFile(options.file, text)) {
        err << "qobc: cannot read '" << options.file << "': "
            << (std::filesystem::is_directory(options.file, error) ? "it is a folder" : std::strerror(errno))
            << "\n";
        return kExitUsage;
    }

    // The same job the workbench runs for an editor holding this file. The chosen output files go beside
    // FILE unless -o names another folder.
    compiler::CompileRequest request;
    request.sourceName = std::filesystem::path(options.file).filename().string();
    request.text = std::move(text);
    request.options = options.compiler;
    request.outputFolder = options.outputDir.empty() ? std::filesystem::path(options.file).parent_path()
                                                     : std::filesystem::path(options.outputDir);
    compiler::CompileOutcome outcome = compiler::compileProgram(request);
    const compiler::CompileJob& job = outcome.job;
    if (!outcome.compiled()) {
        err << options.file << ":" << job.errorLine << ":" << job.errorTokenColumn
            << ": error: " << job.errorMessage << "\n";
        return kExitCompileError;
    }
    if (options.printCode) out << hexDump(job.code);
    out << options.file << ": program size " << job.header.codeSize << ", header " << job.header.headerSize
        << ", variables " << job.header.variablesSize << "\n";
    // Any file asked for and not written is an unwritable output for the caller (exit code 2), even one
    // that does not fail the job.
    for (const std::string& error : outcome.outputs.errors)
        err << "qobc: " << error << "\n";
    return outcome.outputs.ok() ? kExitOk : kExitUsage;
}

}  // namespace orrery::qobc
