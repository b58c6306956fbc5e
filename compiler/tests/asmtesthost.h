#pragma once
// A stand-in for the compiler's symbol table and code buffer, so the assembler runs alone in tests.

#include "assembler.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <map>
#include <string>
#include <vector>

namespace orrery::compiler::testing {

struct FakeSymbol {
    std::uint32_t flags = 0;
    std::uint32_t address = 0;
    std::uint32_t type = 0;
};

class FakeHost : public AssemblerHost {
public:
    std::map<std::string, FakeSymbol, std::less<>> symbols;
    std::vector<std::uint8_t> code;
    std::size_t symbolCapacity = 1000;
    std::size_t codeCapacity = 1 << 20;

    std::optional<AsmSymbol> findSymbol(std::string_view name) const override {
        const auto it = symbols.find(name);
        if (it == symbols.end())
            return std::nullopt;
        return AsmSymbol{it->second.flags, it->second.address};
    }
    bool hasRoomForSymbol() const override { return symbols.size() + 1 < symbolCapacity; }
    void defineLabel(std::string_view name, std::uint16_t value, bool isEqu) override {
        EXPECT_FALSE(symbols.count(name)) << name << " defined twice";
        symbols[std::string(name)] = FakeSymbol{isEqu ? kSymAsmEqu : kSymAsmLabel, value, kSymTypeAsmLabel};
    }
    std::size_t codeSize() const override { return code.size(); }
    bool appendCode(std::span<const std::uint8_t> bytes) override {
        if (code.size() + bytes.size() > codeCapacity)
            return false;
        code.insert(code.end(), bytes.begin(), bytes.end());
        return true;
    }
    void patchCode(std::size_t offset, std::span<const std::uint8_t> bytes) override {
        std::copy(bytes.begin(), bytes.end(), code.begin() + static_cast<std::ptrdiff_t>(offset));
    }
};

inline std::string hex(const std::vector<std::uint8_t>& bytes, std::size_t from = 0) {
    std::string out;
    for (std::size_t i = from; i < bytes.size(); ++i) {
        char buf[4];
        std::snprintf(buf, sizeof buf, "%s%02X", out.empty() ? "" : " ", bytes[i]);
        out += buf;
    }
    return out;
}

// Outcome of assembling a whole source: either the code as hex, or "error@line:column: message".
struct Outcome {
    std::string text;
    AsmBlockResult block;
};

// Assembles `source` as one block starting at its first byte (line 1), then runs the second pass.
inline Outcome assembleAll(FakeHost& host, const std::string& source, std::uint16_t origin = 0x814E,
                           int maxLines = 1000) {
    Assembler assembler(source, maxLines);
    Outcome out;
    out.block = assembler.assembleBlock(host, 0, origin, 1);
    std::optional<AsmDiagnostic> error = out.block.error;
    if (!error)
        error = assembler.resolvePending(host);
    if (error) {
        out.text = "error@" + std::to_string(error->line) + ":" + std::to_string(error->column) + ": " +
                   error->message;
    } else {
        out.text = hex(host.code);
    }
    return out;
}

// Lines are joined with CR LF, as the editor's text reaches the compiler.
inline std::string crlf(std::initializer_list<std::string_view> lines) {
    std::string s;
    for (auto l : lines) {
        s += l;
        s += "\r\n";
    }
    return s;
}

inline std::string assembleLines(std::initializer_list<std::string_view> lines,
                                 std::uint16_t origin = 0x814E) {
    FakeHost host;
    return assembleAll(host, crlf(lines), origin).text;
}

}  // namespace orrery::compiler::testing
