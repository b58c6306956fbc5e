#pragma once
// Generated programs for the compiler benchmark: Quobol source that uses every statement kind, and a
// block of HD6301 instruction lines that both our inline assembler and crasm accept with the same
// meaning.

#include <cstdint>
#include <string>
#include <vector>

namespace orrery::bench {

// One Quobol program of about `lines` lines (each ended by CR LF, as the workbench compiles them).
// Programs are limited to 64 KB of token code, so a large line count is spread over several
// programs by generateQuobolPrograms.
struct QuobolProgram {
    std::string text;
    int lines = 0;
    bool hasAssembler = false;
};

// Programs holding `totalLines` lines together, each at most `linesPerProgram` long. The first targets
// model 500 (Maple: DFSIZE) and is short, as that model shares little room between code and data; the
// last targets model 800 (Larch: EXTENSION and the time variables); the others model 510 (Maple-R:
// pins, LABPTR, ASM $). Between them every statement kind appears. withAssembler adds a small ASM $
// block to each repetition of the statements on the Maple models.
std::vector<QuobolProgram> generateQuobolPrograms(int totalLines, int linesPerProgram, bool withAssembler);

// `count` instruction lines (no origin, no END), with labels and branches between them, in a syntax
// both assemblers read the same way; labels start in column 1, instructions after a TAB.
std::vector<std::string> generateAssemblerLines(int count);

// The assembler lines wrapped for our compiler: "ASM <origin>", the lines, "END".
std::string assemblerProgramForCompiler(const std::vector<std::string>& lines, std::uint16_t origin);

// The same lines for crasm: "cpu 6801", "* = <origin>", the lines, "code".
std::string assemblerProgramForCrasm(const std::vector<std::string>& lines, std::uint16_t origin);

}  // namespace orrery::bench
