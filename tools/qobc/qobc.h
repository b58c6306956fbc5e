#pragma once
// qobc, the command-line compiler: the same compile as the workbench's, for users, scripts and CI.
//
// Exit codes: 0 compiled, 1 compile error (reported as FILE:LINE:COLUMN: error: MESSAGE), 2 bad usage or
// a file that cannot be read or written.

#include <iosfwd>
#include <string>
#include <vector>

namespace orrery::qobc {

inline constexpr int kExitOk = 0;
inline constexpr int kExitCompileError = 1;
inline constexpr int kExitUsage = 2;

// Runs qobc with the arguments after the program name, writing to out and err.
int run(const std::vector<std::string>& arguments, std::ostream& out, std::ostream& err);

// "OOOO: XX XX ..." lines, 16 bytes a line.
std::string hexDump(const std::vector<unsigned char>& bytes);

}  // namespace orrery::qobc
