#pragma once
// vantrel-sim's DNC commands: encode and decode programs in the tape codes, and send and receive them
// over a serial line, for scripts.
//
//   encode FILE --code eia|iso|ascii|hex [--eor] [--cr]        the exact bytes on standard output
//   decode --code eia|iso|ascii|hex [--seven-bit] < BYTES       the text on standard output
//   send FILE --port DEVICE [line options] [--code C] [--eor] [--cr] [--wait-dc1] [--timeout S]
//   receive --port DEVICE [line options] [--code C] [--timeout S] [--idle S] [--limit BYTES] > FILE
//   line options: --baud N --parity none|even|odd|mark|space --stop 1|1.5|2 --bits 5|6|7|8
//                 --flow none|rtscts|dc1
//
// Exit codes: 0 done, 1 line or file error, 2 wrong arguments, 3 timeout (nothing came, or the
// machine held the line longer than the bound).
#include <iosfwd>
#include <string>
#include <vector>

namespace vantrel {

inline constexpr int kExitLineError = 1;
inline constexpr int kExitUsage = 2;
inline constexpr int kExitTimeout = 3;

// True when `command` is one of the four; `rc` then holds its exit code.
bool runDncCommand(const std::string& command, const std::vector<std::string>& args, std::istream& in,
                   std::ostream& out, std::ostream& err, int& rc);

// The lines for the usage text.
const char* dncCommandsUsage();

}  // namespace vantrel
