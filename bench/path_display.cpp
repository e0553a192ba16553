// The path display of a 100,000-block program at 1280 x 720: the full repaint with the continuous path
// (the path made once, drawn at every repaint), the repaint without it for comparison, the "once"
// drawing alone, and the pass that makes the path after an edit.
#include <benchmark/benchmark.h>

#include <cmath>
#include <memory>
#include <string>

#include "app/scene_composer.h"
#include "app/tool_path_pass.h"
#include "app/view_commands.h"
#include "core/control_set.h"
#include "program/quon_strings.h"
#include "stock/material_removal.h"

namespace vantrel {
namespace {

// Feeds along a spiral over the stock with an arc and a rapid now and then: 100,000 blocks.
std::string longProgram() {
    std::string p = "O1000\nG90 G17 G00 X0 Y0 Z5.\nG01 Z-1. F500\n";
    for (int i = 0; i < 100000; ++i) {
        const double t = i * 0.01, r = 5 + 40.0 * i / 100000;
        char line[96];
        if (i % 50 == 0)
            std::snprintf(line, sizeof line, "G02 X%.3f Y%.3f R%.3f\n", 50 + r * std::cos(t),
                          50 + r * std::sin(t), r);
        else if (i % 97 == 0)
            std::snprintf(line, sizeof line, "G00 X%.3f Y%.3f\n", 50 + r * std::cos(t), 50 + r * std::sin(t));
        else
            std::snprintf(line, sizeof line, "G01 X%.3f Y%.3f\n", 50 + r * std::cos(t), 50 + r * std::sin(t));
        p += line;
    }
    return p + "M30\n";
}

struct Setup {
    std::unique_ptr<AppState> s = std::make_unique<AppState>();
    ControlSet controls;
    TQuonStrings program;
    std::unique_ptr<SceneComposer> c;
    Setup() {
        s->window.clientWidth = 1280 + s->window.panelLeft + kPanelRightWidth;
        s->window.clientHeight = 720 + s->window.panelTop + kPanelBottomHeight;
        initialiseStockGrid(s->stockGrid, s->stock, MachineKind::VerticalMill);
        c = std::make_unique<SceneComposer>(*s);
        program.SetText(longProgram());
        c->setProgram(&program);
        fitToScreen(s->view, c->viewEnvironment());
    }
};

void BM_RepaintWithContinuousPath100k(benchmark::State& st) {
    Setup u;
    u.s->path.on = true;
    u.c->repaintScene();  // the pass runs once here
    for (auto _ : st) {
        u.c->repaintScene();
        benchmark::DoNotOptimize(u.c->window().data());
    }
    st.counters["runs"] = static_cast<double>(u.c->programPath().runs.size());
    st.counters["passes"] = static_cast<double>(u.c->pathPasses());
}
BENCHMARK(BM_RepaintWithContinuousPath100k)
    ->Unit(benchmark::kMillisecond)
    ->Repetitions(9)
    ->ReportAggregatesOnly();

void BM_RepaintWithoutPath(benchmark::State& st) {
    Setup u;
    for (auto _ : st) {
        u.c->repaintScene();
        benchmark::DoNotOptimize(u.c->window().data());
    }
}
BENCHMARK(BM_RepaintWithoutPath)->Unit(benchmark::kMillisecond)->Repetitions(9)->ReportAggregatesOnly();

void BM_PathPassAfterAnEdit100k(benchmark::State& st) {
    Setup u;
    ToolPathOptions o;
    for (auto _ : st) {
        ToolPathData d = buildToolPath(u.program, o);
        benchmark::DoNotOptimize(d.points.data());
    }
}
BENCHMARK(BM_PathPassAfterAnEdit100k)->Unit(benchmark::kMillisecond)->Repetitions(5)->ReportAggregatesOnly();

}  // namespace
}  // namespace vantrel

BENCHMARK_MAIN();
