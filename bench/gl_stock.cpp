// One frame of a machined 1001 x 1001 stock (100 mm at pitch 0.1) in a 1280 x 720 scene, drawn by the
// software renderer and through OpenGL in an off-screen OSMesa context, in the same run.
// Argument: 0 a wavy surface (no two neighbouring nodes level: nothing merges), 1 a pocket (a flat
// top with a 60 x 40 mm pocket 10 mm deep: the flat runs merge).
#include <benchmark/benchmark.h>

#include <memory>

#include "app/scene_composer.h"
#include "app/view_commands.h"
#include "platform/headless_gl.h"
#include "stock/material_removal.h"

namespace vantrel {
namespace {

std::unique_ptr<AppState> machinedState(int surface) {
    auto s = std::make_unique<AppState>();
    s->window.clientWidth = 1280 + s->window.panelLeft + kPanelRightWidth;
    s->window.clientHeight = 720 + s->window.panelTop + kPanelBottomHeight;
    s->window.settingsReady = true;
    s->stock.pitch = 0.1;
    initialiseStockGrid(s->stockGrid, s->stock, MachineKind::VerticalMill);
    for (int ix = 0; ix <= 1000; ++ix)
        for (int iy = 0; iy <= 1000; ++iy) {
            float& h = s->stockGrid.height(ix, iy);
            if (surface == 0)
                h = 30.0f + 5.0f * static_cast<float>((ix * 7 + iy * 13) % 17) / 17.0f;
            else if (ix >= 200 && ix <= 800 && iy >= 300 && iy <= 700)
                h = 40.0f;
        }
    return s;
}

void BM_StockFrameSoftware(benchmark::State& st) {
    auto s = machinedState(static_cast<int>(st.range(0)));
    SceneComposer c(*s);
    fitToScreen(s->view, c.viewEnvironment());
    for (auto _ : st) {
        c.drawStockSurface();
        benchmark::DoNotOptimize(c.window().data());
    }
}
BENCHMARK(BM_StockFrameSoftware)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->MinTime(2.0);

void BM_StockFrameOpenGl(benchmark::State& st) {
    auto s = machinedState(static_cast<int>(st.range(0)));
    SceneComposer c(*s);
    fitToScreen(s->view, c.viewEnvironment());
    HeadlessGlContext context;
    GlApi api;
    if (!context.create(c.scene().width(), c.scene().height()) ||
        !api.load(&HeadlessGlContext::lookup, &context)) {
        st.SkipWithError("no off-screen OpenGL (libOSMesa)");
        return;
    }
    GlFrame frame;
    frame.width = c.scene().width();
    frame.height = c.scene().height();
    for (auto _ : st) {
        const GlStockSampling done = c.renderSceneGL(api, frame);
        benchmark::DoNotOptimize(done);
    }
}
BENCHMARK(BM_StockFrameOpenGl)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->MinTime(2.0);

}  // namespace
}  // namespace vantrel

BENCHMARK_MAIN();
