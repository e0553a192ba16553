// Fill rate and triangle rate of the software rasteriser into a 1280 x 720 frame buffer, and the time of
// a full test-scene frame. Pixel and triangle counts are reported as items per second.
#include <benchmark/benchmark.h>

#include <random>
#include <vector>

#include "render/raster.h"
#include "render/test_scene.h"
#include "render/view.h"

namespace vantrel {
namespace {

constexpr int kW = 1280, kH = 720;

// Looking straight down from (0, 0, 1600), origin in the middle.
ViewState benchView() {
    ViewState v;
    v.viewA = 0;
    v.viewB = -kPi / 2;
    v.scale = 1;
    v.originX = kW / 2;
    v.originY = kH / 2;
    updateViewBasis(v, MachineKind::VerticalMill);
    return v;
}

struct Tri {
    Vec3f p[3];
    Vec3f n[3];
    ScreenPoint s[3];
};

// A triangle given on the screen, lifted onto the plane z = h so that world and screen agree.
Tri makeTri(const ViewState& v, ScreenPoint a, ScreenPoint b, ScreenPoint c, double h) {
    Tri t;
    const ScreenPoint s[3] = {a, b, c};
    for (int i = 0; i < 3; ++i) {
        const Vec3 w = *screenToPlane(v, s[i].x, s[i].y, Vec3{0, 0, h}, Vec3{0, 0, 1});
        t.p[i] = {static_cast<float>(w.x), static_cast<float>(w.y), static_cast<float>(w.z)};
        t.s[i] = s[i];
        t.n[i] = {static_cast<float>(i == 0), static_cast<float>(i == 1), 1.0f};
    }
    return t;
}

long coverage(FrameBuffer& fb, const ViewState& v, const Tri& t) {
    fb.image().fill(0xFFFFFF);
    fb.clearDepth();
    paintTriangle(fb.image(), 0, fb.fullClip(), t.s[0], t.s[1], t.s[2]);
    long n = 0;
    for (int y = 0; y < kH; ++y)
        for (int x = 0; x < kW; ++x) n += fb.image().at(x, y) == 0;
    (void)v;
    return n;
}

// Large triangles: each one nearer than the last, so every pixel passes the depth test and is written.
template <bool smooth>
void largeTriangles(benchmark::State& state) {
    FrameBuffer fb(kW, kH);
    const ViewState v = benchView();
    std::vector<Tri> tris;
    for (int i = 0; i < 800; ++i) tris.push_back(makeTri(v, {100, 50}, {1200, 120}, {500, 700}, i * 1.0));
    const long pixels = coverage(fb, v, tris[0]);
    fb.clearDepth();
    size_t i = 0;
    for (auto _ : state) {
        const Tri& t = tris[i];
        if (smooth)
            fillTriangleSmooth(fb, v, 0x808080, fb.fullClip(), t.p[0], t.p[1], t.p[2], t.n[0], t.n[1], t.n[2],
                               t.s[0], t.s[1], t.s[2]);
        else
            fillTriangle(fb, v, 0x808080, fb.fullClip(), t.p[0], t.p[1], t.p[2], t.s[0], t.s[1], t.s[2]);
        if (++i == tris.size()) {
            i = 0;
            state.PauseTiming();
            fb.clearDepth();
            state.ResumeTiming();
        }
    }
    state.SetItemsProcessed(state.iterations() * pixels);
    state.counters["pixels_per_triangle"] = static_cast<double>(pixels);
}

// Small triangles of 12 to 50 pixels, spread over the whole frame (every row a cache miss) or, as the
// faces of one tessellated object are, kept within a 256 x 128 pixel area.
template <bool smooth, bool local>
void smallTriangles(benchmark::State& state) {
    FrameBuffer fb(kW, kH);
    const ViewState v = benchView();
    std::mt19937 rng(7);
    std::uniform_real_distribution<float> px(10, local ? 266 : kW - 20), py(10, local ? 138 : kH - 20),
        leg(5, 10), hz(0, 500);
    std::vector<Tri> tris;
    for (int i = 0; i < 8192; ++i) {
        const float x = px(rng), y = py(rng), a = leg(rng), b = leg(rng);
        tris.push_back(makeTri(v, {x, y}, {x + a, y + 0.3f}, {x + 0.2f, y + b}, hz(rng)));
    }
    fb.clearDepth();
    size_t i = 0;
    for (auto _ : state) {
        for (int k = 0; k < 64; ++k) {
            const Tri& t = tris[i + k];
            if (smooth)
                fillTriangleSmooth(fb, v, 0x808080, fb.fullClip(), t.p[0], t.p[1], t.p[2], t.n[0], t.n[1],
                                   t.n[2], t.s[0], t.s[1], t.s[2]);
            else
                fillTriangle(fb, v, 0x808080, fb.fullClip(), t.p[0], t.p[1], t.p[2], t.s[0], t.s[1], t.s[2]);
        }
        i += 64;
        if (i == tris.size()) {
            i = 0;
            state.PauseTiming();
            fb.clearDepth();
            state.ResumeTiming();
        }
    }
    state.SetItemsProcessed(state.iterations() * 64);
}

void BM_FillTriangle_Large(benchmark::State& s) {
    largeTriangles<false>(s);
}
void BM_FillTriangleSmooth_Large(benchmark::State& s) {
    largeTriangles<true>(s);
}
void BM_FillTriangle_Small(benchmark::State& s) {
    smallTriangles<false, false>(s);
}
void BM_FillTriangleSmooth_Small(benchmark::State& s) {
    smallTriangles<true, false>(s);
}
void BM_FillTriangle_SmallLocal(benchmark::State& s) {
    smallTriangles<false, true>(s);
}
void BM_FillTriangleSmooth_SmallLocal(benchmark::State& s) {
    smallTriangles<true, true>(s);
}

void BM_FullTestScene(benchmark::State& state) {
    FrameBuffer fb(kW, kH);
    const ViewState v = testSceneView(kW, kH);
    for (auto _ : state) {
        drawTestScene(fb, v);
        benchmark::DoNotOptimize(fb.image().data());
    }
    state.SetItemsProcessed(state.iterations());
}

BENCHMARK(BM_FillTriangle_Large);
BENCHMARK(BM_FillTriangleSmooth_Large);
BENCHMARK(BM_FillTriangle_Small);
BENCHMARK(BM_FillTriangleSmooth_Small);
BENCHMARK(BM_FillTriangle_SmallLocal);
BENCHMARK(BM_FillTriangleSmooth_SmallLocal);
BENCHMARK(BM_FullTestScene)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace vantrel

BENCHMARK_MAIN();
