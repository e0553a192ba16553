// Milling cut cost per step and per lattice node visited.
//
//  BM_MillCutFlatD10Pitch1:   one applyMillCut per step, D10 flat end mill, default 100 x 100 stock,
//                             pitch 1 (121 nodes a call).
//  BM_MillCutBallD10Pitch01:  D10 ball end mill, pitch 0.1 (10,201 nodes a call) along a 10,000-step
//                             raster path; counter node_time is the time per node visited. A second
//                             argument of 1 cuts as fast play does (no bounds of the change).
//  BM_MillCutBallD10Pitch01Portable: the same with the vector path switched off.
//  BM_BaselineMinPitch01:     the same windows over the same path, each node only taking the minimum
//                             with a constant: the floor any per-node cut can reach.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <vector>

#include "core/rounding.h"
#include "stock/material_removal.h"

namespace vantrel {
namespace {

// A raster over the stock: rows 5 mm apart, steps `step` along X, `count` points at height z.
std::vector<Vec3> rasterPath(int count, double step, double z) {
    std::vector<Vec3> path;
    path.reserve(static_cast<size_t>(count));
    double x = 5, y = 5, dir = 1;
    while (static_cast<int>(path.size()) < count) {
        path.push_back({x, y, z});
        x += dir * step;
        if (x > 95 || x < 5) {
            dir = -dir;
            x += dir * step;
            y += 5;
            if (y > 95) y = 5;
        }
    }
    return path;
}

void BM_MillCutFlatD10Pitch1(benchmark::State& state) {
    StockGrid grid;
    StockSpec stock;
    ToolRecord tool = defaultMillTool();
    tool.noseRadius = 0;
    const ToolProfile profile = computeToolProfile(tool, 0);
    const std::vector<Vec3> path = rasterPath(10000, 1.0, -2);
    size_t i = 0;
    for (auto _ : state) {
        MillCutResult r = applyMillCut(grid, stock, tool, profile, path[i], false);
        benchmark::DoNotOptimize(r);
        if (++i == path.size()) i = 0;
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_MillCutFlatD10Pitch1);

struct FinePitchSetup {
    StockGrid grid;
    StockSpec stock;
    ToolRecord tool = defaultMillTool();  // D10, nose radius 5: a ball end mill
    ToolProfile profile;
    std::vector<Vec3> path = rasterPath(10000, 0.1, -2);
    FinePitchSetup() {
        stock.pitch = 0.1;
        profile = computeToolProfile(tool, 0);
    }
    int64_t nodesPerPass() const {
        int64_t nodes = 0;
        const int nx = stockNodeCount(stock.sizeX, stock.pitch);
        const int n = RoundHalfAway(profile.topDiameter / stock.pitch);
        for (const Vec3& p : path) {
            const int ix0 = RoundHalfAway((p.x - profile.topRadius - stock.offsetX) / stock.pitch);
            const int iy0 = RoundHalfAway((p.y - profile.topRadius - stock.offsetY) / stock.pitch);
            const int64_t w = std::min(ix0 + n, nx) - std::max(ix0, 0) + 1;
            const int64_t h = std::min(iy0 + n, nx) - std::max(iy0, 0) + 1;
            nodes += std::max<int64_t>(w, 0) * std::max<int64_t>(h, 0);
        }
        return nodes;
    }
};

// Arguments: the vector path on (1) or off (0); fast play (1: the cut only tells whether the stock
// changed) or not (0).
void BM_MillCutBallD10Pitch01(benchmark::State& state) {
    setVectorMillCut(state.range(0) != 0);
    const bool fast = state.range(1) != 0;
    FinePitchSetup s;
    const int64_t nodes = s.nodesPerPass();
    for (auto _ : state) {
        state.PauseTiming();
        initialiseStockGrid(s.grid, s.stock, MachineKind::VerticalMill);
        state.ResumeTiming();
        for (const Vec3& p : s.path) {
            MillCutResult r = applyMillCut(s.grid, s.stock, s.tool, s.profile, p, fast);
            benchmark::DoNotOptimize(r);
        }
    }
    state.counters["node_time"] =
        benchmark::Counter(static_cast<double>(nodes),
                           benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}
BENCHMARK(BM_MillCutBallD10Pitch01)->Args({1, 0})->Args({1, 1})->Unit(benchmark::kMillisecond);

BENCHMARK(BM_MillCutBallD10Pitch01)
    ->Name("BM_MillCutBallD10Pitch01Portable")
    ->Args({0, 0})
    ->Unit(benchmark::kMillisecond);

void BM_BaselineMinPitch01(benchmark::State& state) {
    FinePitchSetup s;
    const int64_t nodes = s.nodesPerPass();
    const int nx = stockNodeCount(s.stock.sizeX, s.stock.pitch);
    const int n = RoundHalfAway(s.profile.topDiameter / s.stock.pitch);
    for (auto _ : state) {
        state.PauseTiming();
        initialiseStockGrid(s.grid, s.stock, MachineKind::VerticalMill);
        state.ResumeTiming();
        for (const Vec3& p : s.path) {
            const int ix0 = RoundHalfAway((p.x - s.profile.topRadius - s.stock.offsetX) / s.stock.pitch);
            const int iy0 = RoundHalfAway((p.y - s.profile.topRadius - s.stock.offsetY) / s.stock.pitch);
            const float c = static_cast<float>(p.z - s.stock.offsetZ);
            const int iyLo = std::max(iy0, 0), iyHi = std::min(iy0 + n, nx);
            for (int ix = std::max(ix0, 0); ix <= std::min(ix0 + n, nx); ++ix) {
                float* row = s.grid.row(ix);
                for (int iy = iyLo; iy <= iyHi; ++iy) row[iy] = std::min(row[iy], c);
            }
            benchmark::ClobberMemory();
        }
    }
    state.counters["node_time"] =
        benchmark::Counter(static_cast<double>(nodes),
                           benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}
BENCHMARK(BM_BaselineMinPitch01)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace vantrel

BENCHMARK_MAIN();
