#include "nc/trace.h"

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <ostream>

#include "core/number_format.h"
#include "nc/interpreter.h"
#include "program/quon_strings.h"

namespace vantrel {

namespace {

const char* kindName(int32_t kind) {
    switch (kind) {
        case kMoveLine:
            return "line";
        case kMoveArcCW:
            return "cw";
        case kMoveArcCCW:
            return "ccw";
        default:
            return "rapid";
    }
}

const char* planeName(int32_t plane) {
    switch (plane) {
        case kPlaneZX:
            return "zx";
        case kPlaneYZ:
            return "yz";
        default:
            return "xy";
    }
}

std::string point(const Vec3& p) {
    std::string s;
    s.reserve(48);
    s.append(1, '[').append(formatTraceNumber(p.x)).append(", ").append(formatTraceNumber(p.y));
    s.append(", ").append(formatTraceNumber(p.z)).append(1, ']');
    return s;
}

}  // namespace

std::string formatTraceNumber(double v) {
    return formatFixedTrimmed(v);
}

void JsonTraceWriter::onPiece(const MotionSegment& piece, int32_t line) {
    std::string s;
    s.reserve(200);
    s.append("{\"line\": ")
        .append(std::to_string(line))
        .append(", \"kind\": \"")
        .append(kindName(piece.moveKind));
    s.append("\", \"plane\": \"")
        .append(planeName(piece.plane))
        .append("\", \"start\": ")
        .append(point(piece.start));
    s.append(", \"end\": ").append(point(piece.end));
    if (piece.moveKind == kMoveArcCW || piece.moveKind == kMoveArcCCW) {
        s.append(", \"centre\": ").append(point(piece.centre));
        s.append(", \"radius\": ").append(formatTraceNumber(piece.radius));
    }
    s.append("}\n");
    write(s);
}

void JsonTraceWriter::onStep(const Vec3& pos, bool) {
    if (steps_) write("{\"step\": " + point(pos) + "}\n");
}

void JsonTraceWriter::writeEnd(const TraceResult& r) {
    out_ << "{\"end\": " << point(r.end) << ", \"cutting_time_min\": " << formatTraceNumber(r.cuttingTime)
         << "}\n";
}

void JsonTraceWriter::write(const std::string& text) {
    if (overrun_) return;
    written_ += static_cast<int64_t>(text.size());
    if (maxBytes_ >= 0 && written_ > maxBytes_) {
        // Past the bound nothing more is written, and the run is asked to end.
        overrun_ = true;
        if (stop_) *stop_ = true;
        return;
    }
    out_ << text;
}

TraceResult traceProgram(const TQuonStrings& program, const TraceOptions& opt, MotionSink& sink) {
    // The trace is the play without drawing or cutting: the same interpreter with a stand-in tool list,
    // every stop answered at once and one pass.
    class Actions : public MachineActions {
      public:
        explicit Actions(MotionSink& s) : s_(s) {}
        void onPiece(const MotionSegment& piece, int32_t line) override { s_.onPiece(piece, line); }
        bool pixelChanged(const Vec3& pos) override { return s_.pixelChanged(pos); }
        void onStep(const Vec3& pos, bool drawDue) override { s_.onStep(pos, drawDue); }
        void onMoveEndRepaint(const Vec3& end) override { s_.onMoveEndRepaint(end); }
        void onMoveEnd(const Vec3& end) override { s_.onMoveEnd(end); }
        void onCuttingTime(double minutes) override { s_.onCuttingTime(minutes); }
        void onSpindle(int32_t state) override { s_.onSpindle(state); }
        bool skipSlashBlocks() override { return skip; }
        bool anotherPass() override { return ++passes < maxPasses; }
        bool skip = false;
        int32_t passes = 0, maxPasses = 1;

      private:
        MotionSink& s_;
    } actions(sink);
    actions.skip = opt.blockSkip;
    actions.maxPasses = opt.passes;

    Dialect dialect = Dialect::forMachine(opt.machine);
    if (opt.start) dialect.start = *opt.start;
    if (opt.reference) dialect.reference = *opt.reference;
    ToolPosition tool;
    tool.set(dialect.start);
    StandInModalHooks hooks;
    const double totalLength = opt.totalLength ? *opt.totalLength : dialect.reference.z - dialect.start.z;
    const double diameter = std::isfinite(opt.toolDiameter) ? opt.toolDiameter : 0.0;
    if (opt.tools.empty()) {
        hooks.tools.push_back({0, diameter, totalLength});
    } else {
        // A stored tool list: its numbers and diameters, unless a diameter was given for every tool.
        for (const auto& [number, d] : opt.tools)
            hooks.tools.push_back(
                {number, opt.toolDiameterGiven ? diameter : (std::isfinite(d) ? d : 0.0), totalLength});
    }
    hooks.refZ = dialect.reference.z;

    InterpreterEnv env;
    env.switches = [&opt] { return opt.switches; };
    env.hooks = opt.hooks ? opt.hooks : &hooks;
    env.tool = &tool;
    env.stopRequested = opt.stop;
    env.rapidStep = 10;
    env.stepBudget = opt.stepBudget;
    env.blockBudget = opt.blockBudget;
    env.motion.referencePoint = dialect.reference;
    env.motion.totalLength = totalLength;
    env.motion.arcJoin = opt.arcJoin;
    Interpreter interpreter(dialect, program, env, actions);
    const InterpretResult r = interpreter.run();

    TraceResult result;
    result.end = tool.get();
    result.cuttingTime = r.cuttingTime;
    result.blocks = r.blocks;
    result.budgetSpent = r.end == PlayEnd::Budget;
    result.how = r.end;
    return result;
}

}  // namespace vantrel
