#pragma once
// The readings of one line of text, as a logger prints them.
//
//   "T1=21.53 T2=19.87 RH=64.2%"   -> T1 21.53, T2 19.87, RH 64.2
//   "Temp: 21.5 C"                 -> Temp 21.5
//   "21.53,19.87,64.2"             -> 1 21.53, 2 19.87, 3 64.2
//   "21.53  19.87\t64.2"           -> 1 21.53, 2 19.87, 3 64.2
//
// A "name=value" or "name:value" pair (blanks allowed around the mark) gives a reading of that name; a
// name starts with a letter or '_' and goes on with letters, digits, '_' and '.'. A bare number gives a
// reading named after its column: on a line with commas or semicolons the column is the field's place
// between them (so an empty or textual field keeps the later columns where they were); on any other
// line it is the number's place among the bare numbers. A number may carry a unit ("21.5C", "64.2%",
// "3.3 V"): anything after it up to the next blank, comma or semicolon that has no digit and no '=' or
// ':'. Anything else is text and ignored, and so is a word that only starts like a number: times,
// dates and hex values ("12:30:15", "2026-12-08", "0x1F") give no reading.
//
// Numbers are read the same way in every locale ('.' is the decimal point). Not-a-number, infinities
// and values out of the range of a double are skipped, but still take their column. A line with
// control characters other than tab (binary data) or longer than kMaxLineLength gives nothing. Each
// name is read once per line (the first wins) and a line gives at most kMaxReadingsPerLine readings.

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace orrery::plot {

inline constexpr std::size_t kMaxLineLength = 1024;
inline constexpr std::size_t kMaxNameLength = 32;
inline constexpr std::size_t kMaxReadingsPerLine = 32;

struct Reading {
    std::string name;
    double value = 0.0;
    bool operator==(const Reading&) const = default;
};

// Replaces out with the readings of line (without its line end) and returns how many there are.
std::size_t parseLine(std::string_view line, std::vector<Reading>& out);

// Reads a decimal number at the start of text ("-1.5e3", "+.5"); returns the characters it takes, 0
// when text does not start with one. finite is false for a value out of the range of a double.
std::size_t readNumber(std::string_view text, double& value, bool& finite);

}  // namespace orrery::plot
