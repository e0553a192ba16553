// Headless fast play through the whole interpreter (scanner, modal state, motion, steppers, its pass
// loop under the play controller) without cutting or drawing: 100,000 blocks of 1 mm feed moves at a 0.1 mm
// step, ten steps a block.
#include <benchmark/benchmark.h>

#include <string>

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

static void BM_FastPlay(benchmark::State& state) {
    const int blocks = static_cast<int>(state.range(0));
    TQuonStrings program;
    program.SetText(makeProgram(blocks));
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
    PlaybackController play(env);
    int64_t executed = 0;
    for (auto _ : state) {
        PlayResult r = play.runNow(kModeMillFast);
        executed += r.blocks;
        benchmark::DoNotOptimize(r);
    }
    state.counters["blocks_per_s"] =
        benchmark::Counter(static_cast<double>(executed), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_FastPlay)->Arg(100000)->Unit(benchmark::kMillisecond)->UseRealTime();

BENCHMARK_MAIN();
