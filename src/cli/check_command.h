#pragma once
// `vantrel-sim check FILE... [--machine KIND] [--stock X,Y,Z[@OX,OY,OZ]] [--pitch P] [--tool-diameter D]
//   [--nose-radius R] [--tool-length L] [--settings FILE] [--max-steps N] [--max-blocks N] [-j N]
//   [--report out.jsonl]`
// Plays every program headless in fast mode with the program checks on and writes one JSON line per
// program, in the order the files were given:
//   {"file": F, "end": "m30", "cutting_time_min": t, "removed_volume_mm3": v,
//    "findings": [{"kind": "rapid_cut", "line": L, "n": N, "position": [x, y, z], "volume_mm3": v}]}
// `line` is 0-based as `trace` counts it; `n` the sequence number in force (null before any N word).
// -j N checks N programs at a time, each on its own thread with its own state.
#include <iosfwd>
#include <string>
#include <vector>

#include "verify/program_checks.h"

namespace vantrel {

// Exit status: 0 every program clean, 1 a finding in any program, 2 bad arguments or a file that could
// not be read (or the report not written), 3 a program reached the work budget.
int runCheckCommand(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);

// The findings as a JSON array (the "findings" value of the check and play reports).
std::string findingsJson(const std::vector<Finding>& findings);
// A JSON string literal for `text` (quotes, backslashes and control characters escaped).
std::string jsonString(const std::string& text);

}  // namespace vantrel
