#pragma once
// What the headless commands (play, render) share: their machine, stock and tool options, and an
// application state set up from them as the desktop program would set it up for that machine.
#include <array>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "app/app_state.h"
#include "app/play_session.h"
#include "core/control_set.h"
#include "platform/input_state.h"
#include "platform/main_thread.h"

namespace vantrel {

struct HeadlessOptions {
    MachineKind kind = MachineKind::VerticalMill;
    std::optional<std::array<double, 3>> stockSize, stockOffset;
    std::optional<double> pitch, toolDiameter, noseRadius, toolLength;
    std::optional<int> holder;  // 0..6, only where a command offers --holder
    bool kindGiven = false;     // --machine was on the command line
    std::string settingsFile;   // --settings FILE: start from a stored state instead of the start-up one
};

enum class OptionResult { NotMine, Taken, Bad };

// Reads the option at args[i] when it is one of --machine, --stock, --pitch, --tool-diameter,
// --nose-radius, --tool-length, --settings (and --holder when allowHolder), moving i past its value.
// On Bad, `error` says what the option takes.
OptionResult parseHeadlessOption(const std::vector<std::string>& args, size_t& i, HeadlessOptions& o,
                                 bool allowHolder, std::string& error);

// Machine defaults (or the stored state of --settings, loaded and applied as the window does at
// start-up), then what the command line gives on top: machine, stock sizes and offsets, pitch, holder,
// tool values for every entry of the family's list; the working tool and the stock grid. False when
// the settings file cannot be read, with `message` saying why; on success `message` lists the stored
// values that could not be read (empty when none).
bool setUpHeadlessState(AppState& s, const HeadlessOptions& o, std::string& message);
// The same for callers that take no --settings (nothing can fail then).
void setUpHeadlessState(AppState& s, const HeadlessOptions& o);

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

// A number for the JSON reports: at most six decimals, trailing zeros dropped, never "-0".
std::string jsonNumber(double v);

}  // namespace vantrel
