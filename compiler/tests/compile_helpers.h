#pragma once
// Helpers for compiler tests: compile a source as the workbench does (text + CR LF) and show the token
// code as hex.

#include <cstdint>
#include <sstream>
#include <string>
#include <string_view>
#include <vector>

#include "compiler.h"

namespace orrery::compiler::test {

inline std::string hex(const std::vector<std::uint8_t>& bytes) {
    std::string out;
    static const char* digits = "0123456789ABCDEF";
    for (std::uint8_t byte : bytes) {
        if (!out.empty()) out += ' ';
        out += digits[byte >> 4];
        out += digits[byte & 15];
    }
    return out;
}

struct Compiled {
    bool ok = false;
    std::string code;  // hex of the token code
    std::string message;
    int line = 0;
    int column = 0;
    CompileJob job;
};

// Lines of the source are joined with CR LF; the workbench's CR LF is appended.
inline Compiled compileSource(std::string_view source, bool lineNumbers = false, std::int16_t maxLabels = 1000) {
    Compiled result;
    std::string text;
    for (char c : source) {
        if (c == '\n') text += '\r';
        text += c;
    }
    result.job.sourceName = "TEST.qob";
    result.job.sourceText = text + "\r\n";
    result.job.flags = lineNumbers ? kEmbedLineNumbers : 0;
    result.job.maxLabels = maxLabels;
    result.ok = compile(result.job) == kCompileOk;
    result.code = hex(result.job.code);
    result.message = result.job.errorMessage;
    result.line = result.job.errorLine;
    result.column = result.job.errorColumn;
    return result;
}

struct CodeCase {
    const char* source;
    const char* code;
};

struct ErrorCase {
    const char* source;
    const char* message;
    int line;
};

}  // namespace orrery::compiler::test
