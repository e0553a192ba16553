#pragma once
// What the headless commands (play, render) share: their machine, stock and tool options, and an
// application state set up from them as the desktop program would set it up for that machine.
#include <array>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "app/app_state.h"
#include "app/play_session.h"
#include "core/control_set.h"
#include "nc/turning_programming.h"
#include "platform/input_state.h"
#include "platform/main_thread.h"

namespace vantrel {

// The work a headless run may do before it ends with "budget": beyond what real programs need (two
// million executed blocks is a program text of some 50 MB; twenty million steps are 2 km of feed at a
// 0.1 mm step), and reached within seconds by a program that calls itself into an exponential loop
// or pecks with a Q of a micrometre. The options raise them.
inline constexpr int64_t kDefaultMaxSteps = 20'000'000;
inline constexpr int64_t kDefaultMaxBlocks = 2'000'000;
inline constexpr int64_t kDefaultMaxOutputBytes = 256LL << 20;
// The exit status of a run that reached its budget.
inline constexpr int kExitBudget = 3;
// The exit status of a run the program stopped with an alarm (a lathe cycle that cannot run).
inline constexpr int kExitAlarm = 4;

struct HeadlessOptions {
    MachineKind kind = MachineKind::VerticalMill;
    std::optional<std::array<double, 3>> stockSize, stockOffset;
    std::optional<double> pitch, toolDiameter, noseRadius, toolLength;
    std::optional<int> holder;  // 0..6, only where a command offers --holder
    bool kindGiven = false;     // --machine was on the command line
    // The lathe's programming (--radius-programming, --x-reversed, --tformat 0|1|2): on top of the
    // start-up state (diameter programming, no reversal, format 0) or of the stored one.
    bool radiusProgramming = false, xReversed = false;
    std::optional<int> tFormat;
    std::string settingsFile;  // --settings FILE: start from a stored state instead of the start-up one
    std::string toolFile;      // --tool-file FILE: the tool stores of a .tgs (or a .gst) file
    int64_t maxSteps = kDefaultMaxSteps;
    int64_t maxBlocks = kDefaultMaxBlocks;
    int64_t maxOutputBytes = kDefaultMaxOutputBytes;
};

enum class OptionResult { NotMine, Taken, Bad };

// The one parser of the options the headless commands share. Reads the option at args[i] when it is
// one of --machine, --stock, --pitch, --tool-diameter, --nose-radius, --tool-length, --settings,
// --tool-file, --max-steps, --max-blocks, --max-output, --radius-programming, --x-reversed, --tformat (and
// --holder when allowHolder), moving i past its value. On Bad, `error` says what the option takes. The
// values' ranges are checked by setUpHeadlessState.
OptionResult parseHeadlessOption(const std::vector<std::string>& args, size_t& i, HeadlessOptions& o,
                                 bool allowHolder, std::string& error);

// Machine defaults (or the stored state of --settings, loaded and applied as the window does at
// start-up), then what the command line gives on top: machine, stock sizes and offsets, pitch, holder,
// tool values for every entry of the family's list; the working tool and the stock grid. The values go
// through the same checks as the window's value edits. False when the settings file cannot be read or
// a value is out of range, with `error` (when given) saying why; `notes` (when given) lists the stored
// values that could not be read.
bool setUpHeadlessState(AppState& s, const HeadlessOptions& o, std::string* error = nullptr,
                        std::string* notes = nullptr);
// The same with one message: the error on failure, the notes on success.
bool setUpHeadlessState(AppState& s, const HeadlessOptions& o, std::string& message);

// The lathe's programming settings of `base` with the command line's on top.
TurningProgramming turningProgrammingWith(const TurningProgramming& base, const HeadlessOptions& o);

// A play without a window: the main window's controls and the modal status labels, the calling thread
// as the UI thread, no keys or mouse, and the session that cuts the stock. Attach a drawing view to
// session().view() to draw as well.
class HeadlessPlay {
  public:
    HeadlessPlay(AppState& s, TQuonStrings& program);
    PlaySession& session() { return *session_; }

    ControlSet controls;
    InlineMainThread mainThread;
    InputState input;

  private:
    std::unique_ptr<PlaySession> session_;
};

// A number for the JSON reports: at most six decimals, trailing zeros dropped, never "-0", every digit
// of a large number written out.
std::string jsonNumber(double v);

}  // namespace vantrel
