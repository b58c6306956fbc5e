#pragma once
// What the language server knows of one Quobol document: the compile's first error, the program's
// symbols as the symbol file would list them, and where each label and variable is defined and used.
//
// Plain C++ over the text as the compiler reads it: one byte per character of the editor's text (a
// character outside Latin-1 stands as a byte with bit 7 set, which the compiler refuses just as it
// refuses the UTF-8 bytes qobc reads), so a byte offset in a line is the editor's UTF-16 column.
// Lines and columns here count from 0, as the protocol does.
//
// The index comes from the compiler's own scanner, line by line, skipping the bodies of ASM blocks
// (whose lines are assembler, not Quobol); it needs no successful compile, so labels and variables are
// found while the program still has an error. Types, storage and array sizes do need one: they are
// kept from the last compile that succeeded.

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "compiler.h"

namespace orrery::qobls {

struct TextRange {
    int line = 0;
    int column = 0;
    int length = 0;
    friend bool operator==(const TextRange&, const TextRange&) = default;
};

// The first compile error, where qobc reports it (line and column of the offending token).
struct CompileDiagnostic {
    TextRange range;
    std::string message;
    std::string name;  // the error table's name, e.g. "parse_error", "FOR_NEXT_not_terminated"
};

enum class NameKind { Label, Variable, Array, AsmLabel };

// One name of the program with its definition (label definition, DIM, first assignment, assembler
// label) and every use.
struct NameEntry {
    std::string name;  // as written, without a type suffix ($ or !)
    NameKind kind = NameKind::Variable;
    std::optional<TextRange> definition;
    std::vector<TextRange> references;  // every occurrence, the definition included
};

// A variable or array as the symbol file describes it.
struct SymbolFacts {
    char kind = 'V';  // V variable, A array, L label, E extension
    char type = 'I';  // I integer, F float, S string; labels B (Quobol) or A (assembler)
    std::uint16_t address = 0;
    int count = 1;  // elements of an array
    int dim1 = 0;   // the DIM dimensions of an array (dim2 is 0 for one dimension)
    int dim2 = 0;
    bool slotAddressing = false;  // models 700 and 800 number four-byte slots instead of addresses
    std::string symbolFileLine;   // the line the symbol file holds for it, e.g. "COUNT V I 74BC"
};

struct Analysis {
    std::optional<CompileDiagnostic> error;
    std::map<std::string, NameEntry> names;
    // From the compile that succeeded last; empty until one did.
    std::map<std::string, SymbolFacts> symbols;

    const NameEntry* nameAt(int line, int column) const;
};

// The compiler's text for an editor's document (Latin-1 bytes; other characters become 0xBF).
std::string compilerText(std::u16string_view text);

// Compiles the text with the options qobc would use and indexes it. previous: the analysis of an
// earlier version of the document, whose symbols are kept when this one does not compile.
Analysis analyse(std::string_view text, const compiler::CompilerOptions& options,
                 const Analysis* previous = nullptr);

// The word (letters, digits, _, @, and a trailing $ or !) around a column of a line, or empty.
std::string_view wordAt(std::string_view line, int column, int* start = nullptr);

// The lines of a text, split at "\n" (a "\r" before it belongs to the line end).
std::vector<std::string_view> splitLines(std::string_view text);

}  // namespace orrery::qobls
