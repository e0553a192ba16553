// Headless fast play through the whole interpreter (scanner, modal state, motion, steppers, its pass
// loop under the play controller) without cutting or drawing: 100,000 blocks of 1 mm feed moves at a 0.1 mm
// step, ten steps a block, on a mill (absolute X words) and on the NC lathe (the turning dialect: W words
// at 0.1 mm per revolution).
#include <benchmark/benchmark.h>

#include <string>

#include "app/headless_setup.h"
#include "app/main_window_controls.h"
#include "app/modal_labels.h"
#include "app/play_controller.h"
#include "program/quon_strings.h"
#include "stock/stock_spec.h"

using namespace vantrel;

static std::string makeProgram(int blocks) {
    std::string text = "O0001\nG90 G01 X0 Y0 Z0 F600\n";
    text.reserve(static_cast<size_t>(blocks) * 16);
    for (int i = 1; i <= blocks; ++i) {
        text += "X";
        text += std::to_string(i);
        text += ".\n";  // 1 mm each
    }
    text += "M30\n";
    return text;
}

static std::string makeLatheProgram(int blocks) {
    std::string text = "O0001\nG00 X80. Z0.\nG97 S1000 M03\nG99 G01 F0.1\n";
    text.reserve(static_cast<size_t>(blocks) * 6);
    for (int i = 1; i <= blocks; ++i) text += "W-1.\n";  // 1 mm each
    text += "M30\n";
    return text;
}

static void runFastPlay(benchmark::State& state, MachineKind kind) {
    const int blocks = static_cast<int>(state.range(0));
    const bool lathe = isTurning(kind);
    TQuonStrings program;
    program.SetText(lathe ? makeLatheProgram(blocks) : makeProgram(blocks));
    Shared<int32_t> machine{static_cast<int32_t>(kind)};
    ControlSet controls;
    addMainWindowControls(controls);
    addModalStatusControls(controls);
    controls.setChecked("menu_okupitch", false);
    InlineMainThread mt;
    InputState input;
    ToolPosition tool;
    StockSpec stock;
    stock.pitch = 0.1;  // the step length of feed moves without a per-revolution feed
    PlaybackEnv env;
    env.controls = &controls;
    env.mainThread = &mt;
    env.input = &input;
    env.program = &program;
    env.stock = &stock;
    env.tool = &tool;
    env.machineKind = &machine;
    PlaybackController play(env);
    int64_t executed = 0;
    for (auto _ : state) {
        PlayResult r = play.runNow(lathe ? kModeLatheFast : kModeMillFast);
        executed += r.blocks;
        benchmark::DoNotOptimize(r);
    }
    state.counters["blocks_per_s"] =
        benchmark::Counter(static_cast<double>(executed), benchmark::Counter::kIsRate);
}
static void BM_FastPlay(benchmark::State& state) {
    runFastPlay(state, MachineKind::VerticalMill);
}
static void BM_FastPlayLathe(benchmark::State& state) {
    runFastPlay(state, MachineKind::Lathe);
}
BENCHMARK(BM_FastPlay)->Arg(100000)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_FastPlayLathe)->Arg(100000)->Unit(benchmark::kMillisecond)->UseRealTime();

// The same 100,000 one-millimetre blocks cutting: a D10 flat end mill 1 mm deep in rows across the
// 100 x 100 block (pitch 0.1), the stock cut at every step, with the interference checks off (0) and
// on (1). Both run in one command so that their medians compare under the same load:
//   bench_play_fast --benchmark_filter=Cutting --benchmark_repetitions=9
//     --benchmark_enable_random_interleaving=true --benchmark_report_aggregates_only=true
// (one command line)
static std::string makeCuttingProgram(int blocks) {
    std::string text = "O0001\nG90 G00 X0 Y0.5 Z5.\nS1000 M03\nG01 Z-1. F600\n";
    for (int i = 1; i <= blocks; ++i) {
        const int row = (i / 100) % 100;
        const int x = row % 2 == 0 ? i % 100 : 100 - i % 100;
        text.append("X").append(std::to_string(x)).append(". Y").append(std::to_string(row)).append(".5\n");
    }
    text += "M05\nM30\n";
    return text;
}

static void BM_FastPlayCutting(benchmark::State& state) {
    TQuonStrings program;
    program.SetText(makeCuttingProgram(100000));
    AppState s;
    HeadlessOptions opt;
    opt.pitch = 0.1;
    opt.toolDiameter = 10;
    opt.noseRadius = 0;
    setUpHeadlessState(s, opt);
    HeadlessPlay play(s, program);
    play.controls.setChecked("menu_okupitch", false);
    play.session().checks().enabled = state.range(0) != 0;
    int64_t findings = 0;
    for (auto _ : state) {
        state.PauseTiming();
        initialiseStockGrid(s.stockGrid, s.stock, s.machineKind);
        state.ResumeTiming();
        PlayResult r = play.session().controller().runNow(kModeMillFast);
        benchmark::DoNotOptimize(r);
        findings += static_cast<int64_t>(play.session().checks().findings().size());
    }
    state.counters["findings"] = static_cast<double>(findings);
}
BENCHMARK(BM_FastPlayCutting)
    ->ArgName("checks")
    ->Arg(0)
    ->Arg(1)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

BENCHMARK_MAIN();
