#pragma once
// Headless path trace: runs a program through the interpreter, as the play does, without cutting or
// drawing, and reports every move piece (and optionally every step). `vantrel-sim trace`
// (cli/trace_command.h) prints one JSON object per line:
//   {"line": 3, "kind": "cw", "plane": "xy", "start": [x,y,z], "end": [x,y,z], "centre": [x,y,z], "radius":
//   r}
//   {"step": [x,y,z]}                       (with --steps, every published position)
//   {"end": [x,y,z], "cutting_time_min": t} (last line)
// The format is what other tools compare paths with: keep it stable.
#include <cstdint>
#include <iosfwd>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "core/machine_kind.h"
#include "nc/interpreter.h"
#include "nc/modal_display.h"
#include "nc/modal_hooks.h"
#include "nc/motion.h"
#include "nc/turning_programming.h"

namespace vantrel {

class TQuonStrings;

struct TraceOptions {
    MachineKind machine = MachineKind::VerticalMill;
    TurningProgramming lathe;    // how a lathe reads X and T (diameter programming, format 0 by default)
    double toolDiameter = 10.0;  // diameter of every tool of the stand-in tool list (D and T words)
    // When not empty, the tool list itself (number and diameter of entries 0, 1, ...), as a stored
    // tool table gives it; toolDiameter then only replaces every diameter when given explicitly.
    std::vector<std::pair<int32_t, double>> tools;
    bool toolDiameterGiven = false;
    bool steps = false;
    int64_t stepBudget = -1;           // steps (and moves) allowed; negative: no limit
    int64_t blockBudget = 10'000'000;  // executed blocks allowed (a program looping through M99)
    bool blockSkip = false;            // "/" blocks skipped
    int32_t passes = 1;                // passes run (endless play stopped after that many)
    ModalSwitches switches;        // the Play menu's switches (all off: T words act, no warnings, feed steps)
    bool arcJoin = true;           // compensation corners joined by arcs ("円弧") or by lines ("線分")
    Shared<bool>* stop = nullptr;  // set from a listener: the run ends after the move in progress
    // The machine as a play has it; unset: the stand-in tool list and the dialect's points.
    ModalHooks* hooks = nullptr;
    std::optional<Vec3> start, reference;
    std::optional<double> totalLength;
};

struct TraceResult {
    Vec3 end;
    double cuttingTime = 0;
    int64_t blocks = 0;
    bool budgetSpent = false;  // the run was cut short by a budget
    PlayEnd how = PlayEnd::None;
    std::string alarm;  // PlayEnd::Alarm: why the program stopped
};

// Runs one pass of the program, publishing pieces and steps to `sink`.
TraceResult traceProgram(const TQuonStrings& program, const TraceOptions& options, MotionSink& sink);

// A MotionSink that writes the JSON lines.
class JsonTraceWriter : public MotionSink {
  public:
    JsonTraceWriter(std::ostream& out, bool steps) : out_(out), steps_(steps) {}
    void onPiece(const MotionSegment& piece, int32_t line) override;
    void onStep(const Vec3& pos, bool drawDue) override;
    void writeEnd(const TraceResult& result);
    // Bounds what the writer writes (bytes, the last line excepted): past it nothing more is written
    // and `stop` is set so that the run ends.
    void limitOutput(int64_t maxBytes, Shared<bool>* stop) {
        maxBytes_ = maxBytes;
        stop_ = stop;
    }
    bool outputOverrun() const { return overrun_; }

  private:
    void write(const std::string& text);
    std::ostream& out_;
    bool steps_;
    int64_t maxBytes_ = -1, written_ = 0;
    Shared<bool>* stop_ = nullptr;
    bool overrun_ = false;
};

// Formats a coordinate for the trace: at most six decimals, trailing zeros dropped, never "-0".
std::string formatTraceNumber(double v);

}  // namespace vantrel
