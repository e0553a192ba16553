// Roughing over random parts: the G71 and G72 passes, applied to a turned stock the way the play
// cuts it, never go inside the finished shape shifted by the allowance, and leave at most the depth of
// cut outside it. The shape is computed here from the part's points, independently of the cycle code.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <random>
#include <string>
#include <vector>

#include "nc/lathe_cycles.h"
#include "stock/material_removal.h"
#include "stock/stock_spec.h"
#include "tools/tool_table.h"

namespace vantrel::lathe::mrc {
namespace {

class Lines : public ProgramText {
  public:
    explicit Lines(std::vector<std::string> l) : lines_(std::move(l)) {}
    int32_t count() const override { return static_cast<int32_t>(lines_.size()); }
    std::string_view lineText(int32_t i) const override { return lines_[static_cast<std::size_t>(i)]; }

  private:
    std::vector<std::string> lines_;
};

// A turned part: radius never shrinking toward the chuck (-Z). Points from the free end (z 0) to
// zEnd, then a shoulder up to rB.
struct Part {
    std::vector<Pt> pts;
    double rB = 0, zEnd = 0;
    double stockRadius = 0;

    // The part's radius at z; on a shoulder the smaller one (the side toward the free end).
    double radiusAt(double z) const {
        if (z >= 0) return pts.front().x;
        if (z < zEnd) return rB;
        double r = 1e300;
        for (std::size_t i = 0; i + 1 < pts.size(); ++i) {
            const Pt a = pts[i], b = pts[i + 1];
            if (!(b.z < a.z) || z > a.z || z < b.z) continue;
            r = std::min(r, a.x + (b.x - a.x) * (a.z - z) / (a.z - b.z));
        }
        if (r == 1e300)
            for (const Pt& p : pts)
                if (p.z == z) r = std::min(r, p.x);
        return r;
    }

    // Least and greatest radius of the part over [zlo, zhi] (pockets included).
    std::pair<double, double> rangeOver(double zlo, double zhi) const {
        double lo = 1e300, hi = -1e300;
        auto take = [&](double r) {
            lo = std::min(lo, r);
            hi = std::max(hi, r);
        };
        if (zhi > 0) take(pts.front().x);
        if (zlo < zEnd) take(rB);
        for (std::size_t i = 0; i + 1 < pts.size(); ++i) {
            const Pt a = pts[i], b = pts[i + 1];
            if (a.z < zlo || b.z > zhi) continue;
            if (!(b.z < a.z)) {
                take(a.x);
                take(b.x);
                continue;
            }
            const double z0 = std::min(a.z, zhi), z1 = std::max(b.z, zlo);
            take(a.x + (b.x - a.x) * (a.z - z0) / (a.z - b.z));
            take(a.x + (b.x - a.x) * (a.z - z1) / (a.z - b.z));
        }
        return {lo, hi};
    }
};

Part randomPart(std::mt19937& rng) {
    std::uniform_real_distribution<double> u(0, 1);
    auto q = [](double v) { return std::round(v * 1000) / 1000; };  // written with three decimals
    Part p;
    Pt cur{q(2 + 10 * u(rng)), 0};
    p.pts.push_back(cur);
    const int n = 2 + static_cast<int>(u(rng) * 6);
    for (int i = 0; i < n; ++i) {
        const double kind = u(rng);
        Pt next = cur;
        if (kind < 0.3) {
            next.x = q(cur.x + 0.5 + 6 * u(rng));  // shoulder
        } else if (kind < 0.6) {
            next.z = q(cur.z - 1 - 8 * u(rng));  // cylinder
        } else {
            next.x = q(cur.x + 0.2 + 5 * u(rng));  // taper
            next.z = q(cur.z - 1 - 8 * u(rng));
        }
        p.pts.push_back(next);
        cur = next;
    }
    if (cur.z > -5) {
        cur.z = q(cur.z - 5);
        p.pts.push_back(cur);
    }
    p.zEnd = cur.z;
    p.stockRadius = q(cur.x + 1 + 3 * u(rng));
    p.rB = p.stockRadius + 0.5;
    return p;
}

// A part with grooves and pockets: the radius goes up and down, Z never turns back.
Part randomPocketPart(std::mt19937& rng) {
    std::uniform_real_distribution<double> u(0, 1);
    auto q = [](double v) { return std::round(v * 1000) / 1000; };
    Part p;
    Pt cur{q(5 + 10 * u(rng)), 0};
    p.pts.push_back(cur);
    double rMax = cur.x;
    const int n = 3 + static_cast<int>(u(rng) * 8);
    for (int i = 0; i < n; ++i) {
        const double kind = u(rng);
        Pt next = cur;
        const double dr = (u(rng) < 0.5 ? -1 : 1) * (0.5 + 4 * u(rng));
        if (kind < 0.3) {
            next.x = q(std::max(1.0, cur.x + dr));  // wall up or down
        } else if (kind < 0.6) {
            next.z = q(cur.z - 1 - 6 * u(rng));
        } else {
            next.x = q(std::max(1.0, cur.x + dr));
            next.z = q(cur.z - 1 - 6 * u(rng));
        }
        if (next.x == cur.x && next.z == cur.z) continue;
        p.pts.push_back(next);
        rMax = std::max(rMax, next.x);
        cur = next;
    }
    if (cur.z > -5) {
        cur.z = q(cur.z - 5);
        p.pts.push_back(cur);
    }
    p.zEnd = cur.z;
    p.stockRadius = q(rMax + 1 + 2 * u(rng));
    p.rB = p.stockRadius + 0.5;
    return p;
}

std::string word(char c, double v) {
    char buf[48];
    std::snprintf(buf, sizeof buf, "%c%.3f", c, v);
    return buf;
}

// The G71 program: the profile from the free end toward the chuck. G72: the same shape from the
// chuck toward the axis.
std::vector<std::string> program(const Part& p, bool facing, double depth, double u, double w,
                                 bool pockets = false) {
    std::vector<std::string> l;
    l.push_back(std::string(facing ? "G72 " : "G71 ") + word(facing ? 'W' : 'U', depth) + " R0.5");
    l.push_back("G71 P10 Q20 " + word('U', 2 * u) + " " + word('W', w) + " F0.2");
    if (facing) l.back()[2] = '2';
    if (!facing) {
        l.push_back("N10 G00 " + word('X', 2 * p.pts.front().x) + (pockets ? " Z2." : ""));
        l.push_back("G01 Z0");
        for (std::size_t i = 1; i < p.pts.size(); ++i)
            l.push_back(word('X', 2 * p.pts[i].x) + " " + word('Z', p.pts[i].z));
        l.push_back("N20 " + word('X', 2 * p.rB));
    } else {
        l.push_back("N10 G00 " + word('Z', p.zEnd));
        l.push_back("G01 " + word('X', 2 * p.rB));
        for (std::size_t i = p.pts.size(); i-- > 0;)
            l.push_back(word('X', 2 * p.pts[i].x) + " " + word('Z', p.pts[i].z));
        l.push_back("N20 X0");
    }
    return l;
}

// Every move in steps of at most 0.02 mm, each step cutting the turned stock.
void cutAlong(StockGrid& g, const StockSpec& s, const ToolRecord& tool, Pt from,
              const std::vector<CycleMove>& moves) {
    for (const CycleMove& m : moves) {
        const double len = std::hypot(m.to.x - from.x, m.to.z - from.z);
        const int steps = std::max(1, static_cast<int>(std::ceil(len / 0.02)));
        for (int i = 1; i <= steps; ++i) {
            const double t = static_cast<double>(i) / steps;
            applyTurnCut(g, s, tool, Vec3{from.x + (m.to.x - from.x) * t, 0, from.z + (m.to.z - from.z) * t});
        }
        from = m.to;
    }
}

TEST(LatheCyclesProperty, RoughingStaysOutsideTheAllowanceAndLeavesAtMostTheDepth) {
    std::mt19937 rng(20261210);
    std::uniform_real_distribution<double> u(0, 1);
    StockGrid grid;
    const ToolRecord tool{};  // an outer turning tool
    int checkedSlices = 0;
    for (int iter = 0; iter < 150; ++iter) {
        const Part part = randomPart(rng);
        for (bool facing : {false, true}) {
            const double depth = std::round((0.5 + 2.5 * u(rng)) * 1000) / 1000;
            const double du = std::round(0.5 * u(rng) * 1000) / 1000;  // radius
            const double dw = std::round(0.3 * u(rng) * 1000) / 1000;
            const Pt A{part.rB + 0.5, 2};
            Lines text(program(part, facing, depth, du, dw));
            std::vector<CycleWarning> warns;
            auto prof = readProfile(text, 10, 20, ProfileContext{0, 2}, A, 1, warns);
            ASSERT_TRUE(std::holds_alternative<Profile>(prof)) << std::get<CycleAlarm>(prof).text;
            RoughParams rp;
            rp.depthAxis = facing ? Axis::Z : Axis::X;
            rp.depth = depth;
            rp.allowX = du;
            rp.allowZ = dw;
            rp.feed = 0.2;
            rp.semiFinishingPass = false;
            auto r = expandRough(std::get<Profile>(prof), A, rp, 1);
            ASSERT_TRUE(std::holds_alternative<std::vector<CycleMove>>(r)) << std::get<CycleAlarm>(r).text;
            const auto& moves = std::get<std::vector<CycleMove>>(r);
            if (!moves.empty()) {  // a start within one depth of the shape makes no pass at all
                ASSERT_NEAR(moves.back().to.x, A.x, 1e-12);
                ASSERT_NEAR(moves.back().to.z, A.z, 1e-12);
            }

            StockSpec s;
            applyMachineStockDefaults(s, MachineKind::Lathe);
            s.sizeX = static_cast<float>(2 * part.stockRadius);
            s.sizeY = 0;
            s.sizeZ = static_cast<float>(-part.zEnd);
            s.offsetX = 0;
            s.pitch = 0.1;
            initialiseStockGrid(grid, s, MachineKind::Lathe);
            cutAlong(grid, s, tool, A, moves);

            auto shifted = [&](double z) { return part.radiusAt(z - dw) + du; };
            // A point exactly on a shoulder at a slice's edge may fall into either slice, so each
            // slice is compared over its extent widened by a hair.
            constexpr double kEdge = 1e-4;
            const float* od = grid.outerDiameters();
            const int slices = static_cast<int>(std::floor(-part.zEnd / s.pitch + 1e-9));
            for (int k = 0; k < slices; ++k) {
                const double zhi = -k * s.pitch + kEdge, zlo = -(k + 1) * s.pitch - kEdge;
                const double D = od[k] / 2.0;
                // Never inside: the least radius the shifted shape has over the slice is at its top.
                ASSERT_GE(D, std::min(shifted(zhi), part.stockRadius) - 1e-4)
                    << "iteration " << iter << (facing ? " G72" : " G71") << " slice " << k;
                if (facing) continue;
                // At most the depth outside it, in X.
                if (D < part.stockRadius) ++checkedSlices;
                ASSERT_LE(D, std::min(shifted(zlo) + depth, static_cast<double>(part.stockRadius)) + 1e-4)
                    << "iteration " << iter << " G71 slice " << k;
            }
            if (facing) {
                // The point-like turning cut leaves a comb between facing passes, so the depth is
                // measured along Z: every slice of the shape below the first pass has, at most one
                // depth of cut above it, a pass that reached its radius.
                double firstLevel = 2;
                while (firstLevel > 0) firstLevel -= depth;
                const int reach = static_cast<int>(std::ceil(depth / s.pitch)) + 1;
                for (int k = 0; k < slices; ++k) {
                    const double zhi = -k * s.pitch, zlo = -(k + 1) * s.pitch - kEdge;
                    if (zhi > firstLevel || !(shifted(zhi) < part.stockRadius - 1e-3)) continue;
                    bool reached = false;
                    for (int j = std::max(0, k - reach); j <= k && !reached; ++j)
                        reached = od[j] / 2.0 <= shifted(zlo) + 1e-4;
                    ASSERT_TRUE(reached) << "iteration " << iter << " G72 slice " << k;
                    ++checkedSlices;
                }
            }
            if (facing) continue;
            // With the semi-finishing pass the turned shape is the shifted one.
            rp.semiFinishingPass = true;
            r = expandRough(std::get<Profile>(prof), A, rp, 1);
            ASSERT_TRUE(std::holds_alternative<std::vector<CycleMove>>(r));
            initialiseStockGrid(grid, s, MachineKind::Lathe);
            cutAlong(grid, s, tool, A, std::get<std::vector<CycleMove>>(r));
            for (int k = 0; k < slices; ++k) {
                const double D = od[k] / 2.0;
                ASSERT_GE(D, std::min(shifted(-k * s.pitch + kEdge), part.stockRadius) - 1e-4)
                    << iter << " slice " << k;
                ASSERT_LE(D, std::min(shifted(-(k + 1) * s.pitch - kEdge), part.stockRadius) + 1e-4)
                    << iter << " slice " << k;
            }
        }
    }
    EXPECT_GT(checkedSlices, 10000);  // the passes really cut
}

TEST(LatheCyclesProperty, PocketRoughingStaysOutsideAndLeavesAtMostTheDepth) {
    std::mt19937 rng(1210);
    std::uniform_real_distribution<double> u(0, 1);
    StockGrid grid;
    const ToolRecord tool{};
    int checkedSlices = 0;
    for (int iter = 0; iter < 300; ++iter) {
        const Part part = randomPocketPart(rng);
        const double depth = std::round((0.5 + 2.5 * u(rng)) * 1000) / 1000;
        const double du = std::round(0.5 * u(rng) * 1000) / 1000;
        const double dw = std::round(0.3 * u(rng) * 1000) / 1000;
        const Pt A{part.rB + 0.5, 2};
        Lines text(program(part, false, depth, du, dw, true));
        std::vector<CycleWarning> warns;
        auto prof = readProfile(text, 10, 20, ProfileContext{0, 2}, A, 1, warns);
        ASSERT_TRUE(std::holds_alternative<Profile>(prof)) << std::get<CycleAlarm>(prof).text;
        ASSERT_TRUE(std::get<Profile>(prof).nsHasZ);
        RoughParams rp;
        rp.depth = depth;
        rp.allowX = du;
        rp.allowZ = dw;
        rp.semiFinishingPass = false;
        auto r = expandRough(std::get<Profile>(prof), A, rp, 1);
        ASSERT_TRUE(std::holds_alternative<std::vector<CycleMove>>(r)) << std::get<CycleAlarm>(r).text;
        StockSpec s;
        applyMachineStockDefaults(s, MachineKind::Lathe);
        s.sizeX = static_cast<float>(2 * part.stockRadius);
        s.sizeY = 0;
        s.sizeZ = static_cast<float>(-part.zEnd);
        s.offsetX = 0;
        s.pitch = 0.1;
        initialiseStockGrid(grid, s, MachineKind::Lathe);
        cutAlong(grid, s, tool, A, std::get<std::vector<CycleMove>>(r));
        const float* od = grid.outerDiameters();
        const int slices = static_cast<int>(std::floor(-part.zEnd / s.pitch + 1e-9));
        for (int k = 0; k < slices; ++k) {
            const double zhi = -k * s.pitch, zlo = -(k + 1) * s.pitch;
            // A point exactly on a wall at the slice's edge may fall into either slice.
            const auto [lo, hi] = part.rangeOver(zlo - dw - 1e-4, zhi - dw + 1e-4);
            const double D = od[k] / 2.0;
            ASSERT_GE(D, std::min(lo + du, static_cast<double>(part.stockRadius)) - 1e-4)
                << "iteration " << iter << " slice " << k;
            ASSERT_LE(D, std::min(hi + du + depth, static_cast<double>(part.stockRadius)) + 1e-4)
                << "iteration " << iter << " slice " << k;
            if (D < part.stockRadius) ++checkedSlices;
        }
    }
    EXPECT_GT(checkedSlices, 10000);
}

}  // namespace
}  // namespace vantrel::lathe::mrc
