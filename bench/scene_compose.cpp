// The scene's costs: the master repaint of the start-up scene, the full machined stock of a 1001 x 1001
// lattice, one play step (cut + stock window + tool frame) and the pocket sample played and drawn.
#include <benchmark/benchmark.h>

#include <memory>
#include <sstream>
#include <string>

#include "app/headless_setup.h"
#include "app/play_controller.h"
#include "app/play_session.h"
#include "app/scene_composer.h"
#include "app/scene_playback_view.h"
#include "app/view_commands.h"
#include "cli/scene_render_command.h"
#include "core/control_set.h"
#include "platform/main_thread.h"
#include "program/quon_strings.h"
#include "stock/material_removal.h"

namespace vantrel {
namespace {

// The position labels a play step updates, as the window has them.
void addReadoutLabels(ControlSet& cs) {
    for (const char* n : {"label_x", "label_y", "label_z", "label_a", "label_b", "label_c", "label_vx",
                          "label_vy", "label_vz"})
        cs.add(labelControl(n, ""));
}

std::unique_ptr<AppState> makeState(int w, int h) {
    auto s = std::make_unique<AppState>();
    s->window.clientWidth = w + s->window.panelLeft + kPanelRightWidth;
    s->window.clientHeight = h + s->window.panelTop + kPanelBottomHeight;
    return s;
}

void fit(AppState& s, SceneComposer& c) {
    fitToScreen(s.view, c.viewEnvironment());
}

// Argument: 0 the machine hidden (as at start-up), 1 the machine shown with every part.
void BM_RepaintStartUpScene(benchmark::State& st) {
    auto s = makeState(1280, 720);
    s->display.kikai_on = st.range(0) == 1;
    initialiseStockGrid(s->stockGrid, s->stock, MachineKind::VerticalMill);
    SceneComposer c(*s);
    for (auto _ : st) {
        c.repaintScene();
        benchmark::DoNotOptimize(c.window().data());
    }
}
BENCHMARK(BM_RepaintStartUpScene)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

void BM_DrawStockSurface1001(benchmark::State& st) {
    auto s = makeState(1280, 720);
    s->stock.pitch = 0.1;  // 100 mm at 0.1: 1001 x 1001 nodes
    initialiseStockGrid(s->stockGrid, s->stock, MachineKind::VerticalMill);
    // Fully machined: a wavy surface, no two neighbouring nodes at the same height.
    for (int ix = 0; ix <= 1000; ++ix)
        for (int iy = 0; iy <= 1000; ++iy)
            s->stockGrid.height(ix, iy) = 30.0f + 5.0f * static_cast<float>((ix * 7 + iy * 13) % 17) / 17.0f;
    SceneComposer c(*s);
    fit(*s, c);
    for (auto _ : st) {
        c.drawStockSurface();
        benchmark::DoNotOptimize(c.window().data());
    }
}
BENCHMARK(BM_DrawStockSurface1001)->Unit(benchmark::kMillisecond);

// A D10 end mill (flat, or ball-nosed) at pitch 0.5 over the default block, with the scene and its
// position labels.
struct PlayBench {
    std::unique_ptr<AppState> s = makeState(1280, 720);
    std::unique_ptr<SceneComposer> c;
    ControlSet labels;

    // `fitted`: the stock fills the scene (about 4.7 pixels a millimetre, the holder some 300 x 600
    // pixels); otherwise the view the program opens with (about 0.7 pixels a millimetre).
    PlayBench(bool fitted, bool toolShown, bool stockShown, bool ball, bool machine = false) {
        s->stock.pitch = 0.5;
        s->display.kikai_on = machine;
        s->display.tool_on = s->display.holder_on = toolShown;
        s->stock.visible = stockShown ? 1 : 0;
        initialiseStockGrid(s->stockGrid, s->stock, MachineKind::VerticalMill);
        // The scene loads the selected tool when it is made: the tool is set after it.
        c = std::make_unique<SceneComposer>(*s);
        s->tools.workingTool.diameter = 10;
        s->tools.workingTool.noseRadius = ball ? 5 : 0;
        updateDerivedToolValues(s->tools);
        addReadoutLabels(labels);
        c->setControls(&labels);
        if (fitted) fit(*s, *c);
        c->repaintScene();
    }
};

// The tool runs a raster 3 mm deep at 0.05 mm a step, so every step cuts fresh material; `restart`
// runs (outside the timing) when the raster has covered the stock.
struct RasterWalk {
    double x = 10, y = 10, dir = 0.05;
    template <class Restart>
    Vec3 next(benchmark::State& st, Restart&& restart) {
        x += dir;
        if (x > 90 || x < 10) {
            dir = -dir;
            y += 4;
            if (y > 90) {
                st.PauseTiming();
                y = 10;
                restart();
                st.ResumeTiming();
            }
        }
        return {x, y, -3};
    }
};

// Drawn play steps along the raster walk: the cut, the redraw of the changed stock cells and the
// tool frame at every step; the pixels announced to the widget are counted per step.
void drawnPlaySteps(benchmark::State& st, PlayBench& b) {
    AppState& s = *b.s;
    SceneComposer& c = *b.c;
    c.playStart(kModeMillPlay);
    RasterWalk walk;
    int64_t steps = 0, area = 0;
    for (auto _ : st) {
        const Vec3 p = walk.next(st, [&] {
            c.playEnd(false);
            initialiseStockGrid(s.stockGrid, s.stock, MachineKind::VerticalMill);
            c.repaintScene();
            c.playStart(kModeMillPlay);
        });
        s.pos.tool.set(p);
        s.stockChanges.add(
            applyMillCut(s.stockGrid, s.stock, s.tools.workingTool, s.tools.profile, p, false));
        c.millStep(p, true);
        for (const PixelRect& r : c.lastCopies()) area += r.area();
        ++steps;
    }
    st.SetItemsProcessed(steps);
    st.counters["px_announced"] = benchmark::Counter(static_cast<double>(area) / static_cast<double>(steps));
    c.playEnd(false);
}

// One drawn play step: the cut, the redraw of the changed stock cells and the tool frame, every step
// drawn (a step is about a quarter of a pixel in the fitted view). First argument: 0 everything
// shown; 1 the stock alone (tool and holder hidden); 2 the tool and holder alone (stock hidden), to
// tell the two costs apart. Second argument: 0 the fitted view, 1 the start-up view. Third: 0 flat
// end mill, 1 ball end mill (which lowers every node under its leading half a little at each step).
void BM_PlayStep(benchmark::State& st) {
    PlayBench b(st.range(1) == 0, st.range(0) != 1, st.range(0) != 2, st.range(2) == 1);
    drawnPlaySteps(st, b);
}
BENCHMARK(BM_PlayStep)
    ->ArgsProduct({{0, 1, 2}, {0, 1}, {0}})
    ->Args({0, 0, 1})
    ->Args({1, 0, 1})
    ->Args({0, 1, 1})
    ->Unit(benchmark::kMicrosecond);

// One drawn play step (cut, stock cells, tool frame) with the machine hidden or shown: the still
// parts are in the play's background, the spindle follows the tool as an outline. First argument: 0
// hidden, 1 shown; second: 0 the fitted view, 1 the start-up view.
void BM_PlayStepMachine(benchmark::State& st) {
    PlayBench b(st.range(1) == 0, true, true, false, st.range(0) == 1);
    drawnPlaySteps(st, b);
}
BENCHMARK(BM_PlayStepMachine)->ArgsProduct({{0, 1}, {0, 1}})->Unit(benchmark::kMicrosecond);

// The per-step update as a play runs it: the cutting view cuts at every step, the scene's view draws
// only when the tool's pixel changed, so this is the average over all steps, drawn or not.
// First argument: 0 the fitted view, 1 the start-up view; second: 0 flat, 1 ball end mill.
void BM_PlayStepAsPlayed(benchmark::State& st) {
    PlayBench b(st.range(0) == 0, true, true, st.range(1) == 1);
    AppState& s = *b.s;
    InlineMainThread mt;
    ScenePlaybackView drawing(s, *b.c, mt);
    CuttingPlaybackView cutting(s, mt);
    cutting.setDrawing(&drawing);
    cutting.playStart(kModeMillPlay);
    RasterWalk walk;
    int64_t steps = 0;
    const int64_t drawnBefore = drawing.drawnSteps();
    for (auto _ : st) {
        const Vec3 p = walk.next(st, [&] {
            cutting.playEnd(false);
            initialiseStockGrid(s.stockGrid, s.stock, MachineKind::VerticalMill);
            b.c->repaintScene();
            cutting.playStart(kModeMillPlay);
        });
        s.pos.tool.set(p);
        cutting.perStepUpdate(kModeMillPlay, p, cutting.pixelChanged(p));
        ++steps;
    }
    st.SetItemsProcessed(steps);
    st.counters["drawn_share"] = benchmark::Counter(static_cast<double>(drawing.drawnSteps() - drawnBefore) /
                                                    static_cast<double>(steps));
    cutting.playEnd(false);
}
BENCHMARK(BM_PlayStepAsPlayed)->ArgsProduct({{0, 1}, {0, 1}})->Unit(benchmark::kMicrosecond);

// The pocket sample (pitch 0.5, steps of F/S = 0.333 mm) played in play mode with the scene drawing
// as in the window: time_per_step is the whole play divided by its steps. First argument: 0 the stock
// fitted to a 1280 x 720 scene (each step moves the tool more than a pixel, so every step draws), 1
// the start-up view. Second: 0 a D10 flat end mill (as the sample is written for), 1 the D10 ball end
// mill of the default tool list.
void BM_PocketPlayedAndDrawn(benchmark::State& st) {
    const std::string pocket = std::string(VANTREL_SOURCE_DIR) + "/samples/pocket.nc";
    TQuonStrings program;
    std::string message;
    if (!program.LoadFromFile(pocket, &message)) {
        st.SkipWithError(message.c_str());
        return;
    }
    HeadlessOptions opt;
    opt.pitch = 0.5;
    opt.toolDiameter = 10;
    opt.noseRadius = st.range(1) == 1 ? 5 : 0;
    int64_t cut = 0, drawn = 0, runs = 0;
    for (auto _ : st) {
        st.PauseTiming();
        auto s = makeState(1280, 720);
        setUpHeadlessState(*s, opt);
        SceneComposer c(*s);
        if (st.range(0) == 0) fit(*s, c);
        c.repaintScene();
        HeadlessPlay headless(*s, program);
        c.setControls(&headless.controls);
        PlaySession& session = headless.session();
        ScenePlaybackView drawing(*s, c, headless.mainThread);
        session.view().setDrawing(&drawing);
        st.ResumeTiming();
        const PlayResult r = session.controller().runNow(kModeMillPlay);
        st.PauseTiming();
        if (r.end != PlayEnd::M30) st.SkipWithError("the sample did not reach M30");
        cut += session.view().cutSteps();
        drawn += drawing.drawnSteps();
        ++runs;
        st.ResumeTiming();
    }
    st.counters["steps"] = benchmark::Counter(static_cast<double>(cut) / static_cast<double>(runs));
    st.counters["drawn_share"] = benchmark::Counter(static_cast<double>(drawn) / static_cast<double>(cut));
    st.counters["time_per_step"] =
        benchmark::Counter(static_cast<double>(cut) / static_cast<double>(runs),
                           benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}
BENCHMARK(BM_PocketPlayedAndDrawn)->ArgsProduct({{0, 1}, {0, 1}})->Unit(benchmark::kMillisecond);

void BM_RenderPocketSample(benchmark::State& st) {
    const std::string pocket = std::string(VANTREL_SOURCE_DIR) + "/samples/pocket.nc";
    const std::string out = "/tmp/vantrel_bench_pocket.png";
    for (auto _ : st) {
        std::ostringstream o, e;
        const int rc = runSceneRenderCommand({pocket, "--play", "--fit", "--out", out}, o, e);
        if (rc != 0) st.SkipWithError(e.str().c_str());
    }
}
BENCHMARK(BM_RenderPocketSample)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace vantrel

BENCHMARK_MAIN();
