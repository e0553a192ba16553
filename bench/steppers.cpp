// The steppers alone (no cutting, no drawing): 100,000 generated feed moves at a 0.1 mm step, each
// step published to a listener through the same interface playback uses. Reports steps per second.
#include <benchmark/benchmark.h>

#include <cmath>
#include <string>
#include <vector>

#include "nc/motion.h"
#include "nc/trace.h"
#include "program/quon_strings.h"

namespace {

using namespace vantrel;

constexpr int kMoves = 100000;
constexpr double kStep = 0.1;

// A zigzag of feed moves 2 to 8 mm long, with an arc every tenth move.
std::vector<MotionSegment> generateMoves() {
    std::vector<MotionSegment> moves;
    moves.reserve(kMoves);
    Vec3 at{0, 0, -1};
    for (int i = 0; i < kMoves; ++i) {
        MotionSegment m;
        m.start = at;
        double len = 2.0 + static_cast<double>((i * 7919) % 61) / 10.0;
        if (i % 10 == 9) {
            m.moveKind = kMoveArcCCW;
            m.radius = len / 2;
            m.end = {at.x + len, at.y, at.z};
            m.centre = {at.x + len / 2, at.y, at.z};
        } else {
            m.moveKind = kMoveLine;
            double a = (i % 4) * 1.5707963267948966 + 0.3;
            m.end = {at.x + len * std::cos(a), at.y + len * std::sin(a), at.z};
        }
        moves.push_back(m);
        at = m.end;
    }
    return moves;
}

// Counts what it is told, as cheaply as a real listener that tests the pixel first.
class CountingSink : public MotionSink {
  public:
    int64_t steps = 0;
    bool pixelChanged(const Vec3&) override { return false; }
    void onStep(const Vec3&, bool) override { ++steps; }
};

void BM_StepFeedMoves(benchmark::State& state) {
    static const std::vector<MotionSegment> moves = generateMoves();
    ToolPosition tool;
    CountingSink sink;
    Shared<bool> stop{false};
    Shared<bool> moving{false};
    StepperEnv env;
    env.tool = &tool;
    env.sink = &sink;
    env.stopRequested = &stop;
    env.moveInProgress = &moving;
    env.feed.feedPerMinute = 500;
    int64_t total = 0;
    for (auto _ : state) {
        sink.steps = 0;
        for (const MotionSegment& m : moves) runPiece(env, m, kStep);
        total += sink.steps;
        benchmark::DoNotOptimize(env.cuttingTime);
    }
    state.counters["steps_per_s"] =
        benchmark::Counter(static_cast<double>(total), benchmark::Counter::kIsRate);
    state.counters["steps_per_run"] = static_cast<double>(sink.steps);
}
BENCHMARK(BM_StepFeedMoves)->Unit(benchmark::kMillisecond)->UseRealTime();

// The same moves as program text through the interpreter, as the trace runs it (for comparison).
void BM_TraceProgram(benchmark::State& state) {
    static const std::string text = [] {
        std::string t = "G90 G17 G00 X0 Y0 Z-1.\nS5000 M03\nG01 F500.\n";  // 0.1 mm per revolution
        for (const MotionSegment& m : generateMoves()) {
            char buf[128];
            std::snprintf(buf, sizeof buf, "%s X%.4f Y%.4f%s\n", m.moveKind == kMoveLine ? "G01" : "G03",
                          m.end.x, m.end.y,
                          m.moveKind == kMoveLine ? "" : (" R" + std::to_string(m.radius)).c_str());
            t += buf;
        }
        t += "M30\n";
        return t;
    }();
    TQuonStrings program;
    program.SetText(text);
    CountingSink sink;
    TraceOptions opt;
    int64_t total = 0;
    for (auto _ : state) {
        sink.steps = 0;
        traceProgram(program, opt, sink);
        total += sink.steps;
    }
    state.counters["steps_per_s"] =
        benchmark::Counter(static_cast<double>(total), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_TraceProgram)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
