#pragma once
// `vantrel-sim trace FILE [--machine mill|hmill|lathe|vlathe|wire] [--tool-diameter D] [--steps]
//   [--max-steps N] [--max-blocks N] [--max-output BYTES]`
// Prints the tool path of FILE as the play runs it (nc/trace.h describes the lines). A run that reaches
// its work budget ends early with a message and exit status 3; its last line is still written.
#include <iosfwd>
#include <string>
#include <vector>

namespace vantrel {

// args are the words after "trace". Returns 0 done, 1 the file could not be read, 2 bad arguments,
// 3 the budget was reached; messages go to `err`.
int runTraceCommand(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);

}  // namespace vantrel
