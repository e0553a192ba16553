#pragma once
// `vantrel-sim play FILE [--machine mill|hmill|lathe|vlathe|wire] [--mode fast|play|step]
//   [--stock X,Y,Z[@OX,OY,OZ]] [--pitch P] [--tool-diameter D] [--nose-radius R] [--tool-length L]
//   [--settings FILE] [--report out.json]`
// Plays a program headless (inline main thread), cutting the stock, and writes a JSON report:
//   {"blocks": N, "end": "m30", "position": [x, y, z], "cutting_time_min": t, "warnings": W, ...}
// (and "removed_volume_mm3", the material the play cut away). With --settings the play starts from
// a stored state (machine, stock, tools, switches) as the window would; options override it.
// `end` is one of "m02", "m30", "end_of_text", "m99", "stop"; `position` is where the last move
// ended, before the tool returns to its start. Other tools read these keys: keep them stable.
#include <iosfwd>
#include <string>
#include <vector>

namespace vantrel {

// Returns the exit status: 0 played, 1 the file could not be read or the report not written, 2 bad
// arguments. Messages go to `err`.
int runPlayCommand(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);

}  // namespace vantrel
