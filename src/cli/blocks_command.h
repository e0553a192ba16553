#pragma once
// `vantrel-sim blocks FILE`: shows how the scanner reads a program. Every block it produces, in the
// order it produces them (subprogram calls followed), is printed as one JSON object per line:
//   {"line": 4, "words": [["G", 1], ["X", 10], ["F", 1000000100]]}
// "line" is the 0-based program line; each word is its address letter ("#" and "/" for the codes 30
// and 31) and its value after scaling (an F written with "." includes the decimal marker). Lines that
// are no block (empty, comment only, "%") are not printed. Other tools read this format: keep it.
#include <cstdint>
#include <iosfwd>
#include <string>

namespace vantrel {

class TQuonStrings;
struct BlockWords;

// Loads the file and prints its blocks to `out`. Returns 0, or 1 when the file cannot be read (the
// message goes to `err`).
int runBlocksCommand(const std::string& path, std::ostream& out);
int runBlocksCommand(const std::string& path, std::ostream& out, std::ostream& err);

// The same for a program already in a store. Returns the number of blocks printed.
int64_t writeBlocksJson(const TQuonStrings& program, std::ostream& out);

// One block as a JSON object (without a line break).
std::string blockJson(const BlockWords& block);

}  // namespace vantrel
