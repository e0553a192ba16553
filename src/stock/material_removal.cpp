#include "stock/material_removal.h"

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstdint>
#include <limits>
#include <numbers>

#include "core/rounding.h"

#if defined(__x86_64__) && (defined(__GNUC__) || defined(__clang__))
#include <immintrin.h>
#define VANTREL_CUT_AVX2 1
#else
#define VANTREL_CUT_AVX2 0
#endif

namespace vantrel {

namespace {

constexpr double kDegToRad = std::numbers::pi / 180.0;

// Lowers the nodes of one lattice row (fixed ix, iy from lo to hi) to the cutter surface. Each node is
// evaluated without branches (the zones of the outline are chosen with selects) so that the loops
// vectorise. Two common shapes need no root of the horizontal distance: the flat end mill (a disc at
// the tip height) and the ball end mill (a sphere around the corner centre on the axis). Every node
// visited is also kept from going below 0.
//
// On processors with AVX2 the rows run through an explicit 8-wide version of the same arithmetic
// (the same operations in the same order, so the results are identical); the portable loops serve
// the rest and the remainders.
enum class CutterShape { Flat, Ball, General };

std::atomic<bool> gVectorCut{true};

constexpr int kBlock = 8;

// The bounds of the nodes lowered by one cut and the highest of their heights before it.
struct ChangeTrack {
    int ixMin = INT32_MAX, ixMax = -1, iyMin = INT32_MAX, iyMax = -1;
    float oldMax = 0;
    void note(int ix, int iyFirst, int iyLast) {
        ixMin = std::min(ixMin, ix);
        ixMax = std::max(ixMax, ix);
        iyMin = std::min(iyMin, iyFirst);
        iyMax = std::max(iyMax, iyLast);
    }
};

struct RowCutter {
    CutterShape shape = CutterShape::General;
    float zt, tanA, tanS;
    float bottomTangentR, sideTangentR, topRadius, cornerCentreR, r;
    float cornerBase;  // zt + bottomTangentZ + r
    float sideBase;    // zt + sideTangentZ
    float topRadius2;  // topRadius squared
    float r2;          // r squared

    // The height of one node after the cut, dy its offset from the axis along Y; `lowered` is set
    // when the node went down to the cutter surface.
    template <CutterShape S>
    inline float node(float h, float dx2, float dy2, int& lowered) const {
        float s;
        bool inside;
        const float d2 = dx2 + dy2;
        if constexpr (S == CutterShape::Flat) {
            s = zt;
            inside = d2 <= topRadius2;
        } else if constexpr (S == CutterShape::Ball) {
            // The sphere's radius is the cutter's: beyond it the root is undefined (NaN), and a NaN
            // surface compares false below, which leaves those nodes alone without a test of their own.
            s = cornerBase - std::sqrt(r2 - d2);
            inside = true;
        } else {
            const float rho = std::sqrt(d2);
            const float bottom = zt + rho * tanA;
            const float q = (r - rho + cornerCentreR) * (rho + r - cornerCentreR);
            const float corner = cornerBase - std::sqrt(std::fabs(q));
            const float side = sideBase + (rho - sideTangentR) * tanS;
            s = rho <= sideTangentR ? corner : side;
            s = rho <= bottomTangentR ? bottom : s;
            inside = rho <= topRadius;
        }
        const bool lower = inside & (h > s);
        lowered |= lower ? 1 : 0;
        const float nh = lower ? s : h;
        return nh > 0.0f ? nh : 0.0f;
    }

    // dy2[i] is the squared Y offset of node iy = i + base from the axis. A row with a lowered node
    // widens `track` (the whole row of the window, as the vector path reports it).
    template <CutterShape S>
    bool run(float* row, int ix, int lo, int hi, float dx2, const float* dy2, int base,
             ChangeTrack& track) const {
        int changed = 0;
        float oldMax = track.oldMax;
        for (int iy = lo; iy <= hi; ++iy) {
            int lowered = 0;
            const float h = row[iy];
            row[iy] = node<S>(h, dx2, dy2[iy - base], lowered);
            oldMax = lowered && h > oldMax ? h : oldMax;
            changed |= lowered;
        }
        if (changed == 0) return false;
        track.note(ix, lo, hi);
        track.oldMax = oldMax;
        return true;
    }

#if VANTREL_CUT_AVX2
    // Eight nodes: heights h[0..7] with squared Y offsets dy2[0..7].
    // The lanes lowered collect into `seen` (this row), their node offsets (`at` + lane, as floats)
    // into `first` and `last`, and the highest height they had into `oldMax`: all in registers, so the
    // bounds of a cut cost a few vector operations a block and no branch.
    struct Lowered {
        __m256 seen, oldMax;
    };

    template <CutterShape S, bool Track>
    __attribute__((target("avx2"))) inline void block8(float* hp, const float* dy2p, __m256 vdx2,
                                                       Lowered& l) const {
        const __m256 zero = _mm256_setzero_ps();
        const __m256 d2 = _mm256_add_ps(vdx2, _mm256_loadu_ps(dy2p));
        const __m256 h = _mm256_loadu_ps(hp);
        __m256 lower, nh;
        if constexpr (S == CutterShape::Ball) {
            const __m256 s = _mm256_sub_ps(_mm256_set1_ps(cornerBase),
                                           _mm256_sqrt_ps(_mm256_sub_ps(_mm256_set1_ps(r2), d2)));
            lower = _mm256_cmp_ps(h, s, _CMP_GT_OQ);
            // min(s, h) is s where h > s and h otherwise (also where s is NaN).
            nh = _mm256_min_ps(s, h);
        } else {
            __m256 s, inside;
            if constexpr (S == CutterShape::Flat) {
                s = _mm256_set1_ps(zt);
                inside = _mm256_cmp_ps(d2, _mm256_set1_ps(topRadius2), _CMP_LE_OQ);
            } else {
                const __m256 absMask = _mm256_castsi256_ps(_mm256_set1_epi32(0x7fffffff));
                const __m256 rho = _mm256_sqrt_ps(d2);
                const __m256 vr = _mm256_set1_ps(r), vc = _mm256_set1_ps(cornerCentreR);
                const __m256 bottom =
                    _mm256_add_ps(_mm256_set1_ps(zt), _mm256_mul_ps(rho, _mm256_set1_ps(tanA)));
                const __m256 q = _mm256_mul_ps(_mm256_add_ps(_mm256_sub_ps(vr, rho), vc),
                                               _mm256_sub_ps(_mm256_add_ps(rho, vr), vc));
                const __m256 corner =
                    _mm256_sub_ps(_mm256_set1_ps(cornerBase), _mm256_sqrt_ps(_mm256_and_ps(q, absMask)));
                const __m256 side = _mm256_add_ps(
                    _mm256_set1_ps(sideBase),
                    _mm256_mul_ps(_mm256_sub_ps(rho, _mm256_set1_ps(sideTangentR)), _mm256_set1_ps(tanS)));
                s = _mm256_blendv_ps(side, corner,
                                     _mm256_cmp_ps(rho, _mm256_set1_ps(sideTangentR), _CMP_LE_OQ));
                s = _mm256_blendv_ps(s, bottom,
                                     _mm256_cmp_ps(rho, _mm256_set1_ps(bottomTangentR), _CMP_LE_OQ));
                inside = _mm256_cmp_ps(rho, _mm256_set1_ps(topRadius), _CMP_LE_OQ);
            }
            lower = _mm256_and_ps(inside, _mm256_cmp_ps(h, s, _CMP_GT_OQ));
            nh = _mm256_blendv_ps(h, s, lower);
        }
        // max(x, 0) gives x when x > 0 and 0 otherwise, as the portable loop does.
        _mm256_storeu_ps(hp, _mm256_max_ps(nh, zero));
        l.seen = _mm256_or_ps(l.seen, lower);
        if constexpr (Track) l.oldMax = _mm256_max_ps(l.oldMax, _mm256_and_ps(h, lower));
    }

    // All rows of the window: rows ixLo..ixHi, nodes iyLo..iyHi. A row of at least eight nodes ends
    // with a block that overlaps the one before it: a cut applied twice gives what it gave once.
    // Without Track (fast play, where nothing is drawn) only whether anything changed is found, and
    // the whole window is reported.
    template <CutterShape S, bool Track>
    __attribute__((target("avx2"))) bool windowAvx2(StockGrid& grid, int ixLo, int ixHi, int iyLo, int iyHi,
                                                    float cx, float p, const float* dy2,
                                                    ChangeTrack& track) const {
        Lowered l{_mm256_setzero_ps(), _mm256_setzero_ps()};
        const int len = iyHi - iyLo + 1;
        int rowFirst = INT32_MAX, rowLast = -1;
        for (int ix = ixLo; ix <= ixHi; ++ix) {
            const float dx = cx - static_cast<float>(ix) * p;
            const __m256 vdx2 = _mm256_set1_ps(dx * dx);
            float* row = grid.row(ix) + iyLo;
            if constexpr (Track) l.seen = _mm256_setzero_ps();
            if (len >= kBlock) {
                int j = 0;
                for (; j + kBlock <= len; j += kBlock) block8<S, Track>(row + j, dy2 + j, vdx2, l);
                if (j < len) block8<S, Track>(row + len - kBlock, dy2 + len - kBlock, vdx2, l);
            } else {
                // Too short for one block: run it on copies, padded far outside the cutter.
                alignas(32) float h[kBlock] = {};
                alignas(32) float d[kBlock];
                for (int j = 0; j < kBlock; ++j) d[j] = j < len ? dy2[j] : 1e30f;
                for (int j = 0; j < len; ++j) h[j] = row[j];
                block8<S, Track>(h, d, vdx2, l);
                for (int j = 0; j < len; ++j) row[j] = h[j];
            }
            if constexpr (Track) {
                if (!_mm256_testz_ps(l.seen, l.seen)) {
                    rowFirst = std::min(rowFirst, ix);
                    rowLast = ix;
                }
            }
        }
        if constexpr (!Track) {
            if (_mm256_testz_ps(l.seen, l.seen)) return false;
            track.note(ixLo, iyLo, iyHi);
            track.note(ixHi, iyLo, iyHi);
            return true;
        }
        if (rowLast < 0) return false;
        alignas(32) float m[kBlock];
        _mm256_store_ps(m, l.oldMax);
        for (float v : m) track.oldMax = std::max(track.oldMax, v);
        // Rows are tracked exactly; along a row the bounds are those of the window.
        track.note(rowFirst, iyLo, iyHi);
        track.note(rowLast, iyLo, iyHi);
        return true;
    }
#endif

    bool window(StockGrid& grid, int ixLo, int ixHi, int iyLo, int iyHi, float cx, float p, const float* dy2,
                ChangeTrack& track, bool tracked) const {
#if VANTREL_CUT_AVX2
        static const bool avx2 = __builtin_cpu_supports("avx2");
        if (avx2 && gVectorCut.load(std::memory_order_relaxed)) {
            switch (shape) {
                case CutterShape::Flat:
                    return tracked ? windowAvx2<CutterShape::Flat, true>(grid, ixLo, ixHi, iyLo, iyHi, cx, p,
                                                                         dy2, track)
                                   : windowAvx2<CutterShape::Flat, false>(grid, ixLo, ixHi, iyLo, iyHi, cx, p,
                                                                          dy2, track);
                case CutterShape::Ball:
                    return tracked ? windowAvx2<CutterShape::Ball, true>(grid, ixLo, ixHi, iyLo, iyHi, cx, p,
                                                                         dy2, track)
                                   : windowAvx2<CutterShape::Ball, false>(grid, ixLo, ixHi, iyLo, iyHi, cx, p,
                                                                          dy2, track);
                case CutterShape::General:
                    return tracked ? windowAvx2<CutterShape::General, true>(grid, ixLo, ixHi, iyLo, iyHi, cx,
                                                                            p, dy2, track)
                                   : windowAvx2<CutterShape::General, false>(grid, ixLo, ixHi, iyLo, iyHi, cx,
                                                                             p, dy2, track);
            }
        }
#endif
        bool changed = false;
        for (int ix = ixLo; ix <= ixHi; ++ix) {
            const float dx = cx - static_cast<float>(ix) * p;
            float* row = grid.row(ix);
            switch (shape) {
                case CutterShape::Flat:
                    changed |= run<CutterShape::Flat>(row, ix, iyLo, iyHi, dx * dx, dy2, iyLo, track);
                    break;
                case CutterShape::Ball:
                    changed |= run<CutterShape::Ball>(row, ix, iyLo, iyHi, dx * dx, dy2, iyLo, track);
                    break;
                case CutterShape::General:
                    changed |= run<CutterShape::General>(row, ix, iyLo, iyHi, dx * dx, dy2, iyLo, track);
                    break;
            }
        }
        return changed;
    }
};

}  // namespace

MillCutResult applyMillCut(StockGrid& grid, const StockSpec& stock, const ToolRecord& tool,
                           const ToolProfile& profile, const Vec3& toolPos, bool fastPlay) {
    MillCutResult result;
    float x = static_cast<float>(toolPos.x);
    float y = static_cast<float>(toolPos.y);
    const float z = static_cast<float>(toolPos.z);
    const float top = stock.offsetZ + stock.sizeZ;
    if (fastPlay && z > top) {
        result.skipped = true;
        return result;
    }
    const double pitch = stock.pitch;
    if (!(pitch > 0) || !std::isfinite(pitch)) return result;

    {
        const Vec3 axis = millCutterAxis(tool, {x, y, 0});
        x = static_cast<float>(axis.x);
        y = static_cast<float>(axis.y);
    }

    const float p = static_cast<float>(pitch);
    const int nx = stockNodeCount(stock.sizeX, pitch);
    const int ny = stockNodeCount(stock.sizeY, pitch);
    // The window's first node and its width, rounded half away from zero, in double: with a tiny pitch
    // or a far position they exceed any integer, and the sum must still say where the window ends.
    // Clipped to the lattice before iterating: sizes restored with another pitch, or a tool far outside
    // the stock, must never reach beyond the block.
    auto roundHalfAway = [](double v) { return std::trunc(v < 0 ? v - 0.5 : v + 0.5); };
    const double n = std::max(roundHalfAway(profile.topDiameter / pitch), 0.0);
    const double ix0 = roundHalfAway((x - profile.topRadius - stock.offsetX) / pitch);
    const double iy0 = roundHalfAway((y - profile.topRadius - stock.offsetY) / pitch);
    auto clip = [](double v, int lo, int hi) { return saturatingToInt32(std::clamp<double>(v, lo, hi)); };
    // A position that is not a number gives an empty window (its low end 0, its high end -1).
    const int ixLo = clip(ix0, 0, nx + 1), ixHi = std::isnan(ix0 + n) ? -1 : clip(ix0 + n, -1, nx);
    const int iyLo = clip(iy0, 0, ny + 1), iyHi = std::isnan(iy0 + n) ? -1 : clip(iy0 + n, -1, ny);

    if (!stock.cuttingEnabled || !(top >= z)) return result;
    if (ixLo > ixHi || iyLo > iyHi) return result;
    result.ixMin = ixLo, result.ixMax = ixHi, result.iyMin = iyLo, result.iyMax = iyHi;

    RowCutter rc;
    rc.zt = z - stock.offsetZ;
    rc.tanA = static_cast<float>(std::tan(tool.angleA * kDegToRad));
    rc.tanS = tool.angleB != 0 ? static_cast<float>(std::tan((90.0 - tool.angleB) * kDegToRad)) : 0.0f;
    rc.bottomTangentR = profile.bottomTangentR;
    rc.sideTangentR = profile.sideTangentR;
    rc.topRadius = profile.topRadius;
    rc.cornerCentreR = profile.cornerCentreR;
    rc.r = static_cast<float>(tool.noseRadius);
    rc.cornerBase = rc.zt + profile.bottomTangentZ + rc.r;
    rc.sideBase = rc.zt + profile.sideTangentZ;

    rc.topRadius2 = rc.topRadius * rc.topRadius;
    rc.r2 = rc.r * rc.r;
    if (rc.r == 0 && rc.tanA == 0 && profile.sideTangentR >= profile.topRadius)
        rc.shape = CutterShape::Flat;
    else if (rc.r > 0 && rc.r == rc.topRadius && std::fabs(profile.cornerCentreR) <= 1e-6f * rc.r &&
             profile.bottomTangentR <= 1e-6f * rc.r && profile.sideTangentR >= profile.topRadius &&
             profile.bottomTangentZ == 0)
        rc.shape = CutterShape::Ball;

    const float cx = x - stock.offsetX;
    const float cy = y - stock.offsetY;
    // Squared Y offsets of the window's nodes, shared by all its rows (a fixed buffer on the stack:
    // the window never exceeds the lattice).
    float dy2[kStockNodes];
    for (int iy = iyLo; iy <= iyHi; ++iy) {
        const float dy = cy - static_cast<float>(iy) * p;
        dy2[iy - iyLo] = dy * dy;
    }
    // Fast play draws nothing while it runs: it learns only whether the stock changed, and the bounds
    // of the change are the window, from nodes as high as the stock.
    ChangeTrack track;
    if (fastPlay) track.oldMax = stock.sizeZ;
    const bool changed = rc.window(grid, ixLo, ixHi, iyLo, iyHi, cx, p, dy2, track, !fastPlay);
    result.stockChanged = changed;
    if (changed) {
        result.changedIxMin = track.ixMin, result.changedIxMax = track.ixMax;
        result.changedIyMin = track.iyMin, result.changedIyMax = track.iyMax;
        result.highestLowered = track.oldMax;
    }
    return result;
}

Vec3 millCutterAxis(const ToolRecord& tool, const Vec3& toolPos) {
    // The tip-position code places the programmed point on the cutter outline like the keys of a
    // numeric keypad; 5 keeps it on the axis. Single precision, as the cut takes its position.
    float x = static_cast<float>(toolPos.x);
    float y = static_cast<float>(toolPos.y);
    const float half = static_cast<float>(tool.diameter / 2);
    switch (tool.tipPosition) {
        case 1:
            x += half, y += half;
            break;
        case 2:
            y += half;
            break;
        case 3:
            x -= half, y += half;
            break;
        case 4:
            x += half;
            break;
        case 6:
            x -= half;
            break;
        case 7:
            x += half, y -= half;
            break;
        case 8:
            y -= half;
            break;
        case 9:
            x -= half, y -= half;
            break;
        default:
            break;
    }
    return {x, y, toolPos.z};
}

float millCutterSurface(const ToolRecord& tool, const ToolProfile& profile, float rho) {
    if (!(rho <= profile.topRadius)) return std::numeric_limits<float>::infinity();
    // The general outline of the row cutter, with the tip at height 0.
    if (rho <= profile.bottomTangentR)
        return tool.angleA != 0 ? rho * static_cast<float>(std::tan(tool.angleA * kDegToRad)) : 0.0f;
    if (rho <= profile.sideTangentR) {
        const float r = static_cast<float>(tool.noseRadius);
        const float q = (r - rho + profile.cornerCentreR) * (rho + r - profile.cornerCentreR);
        return profile.bottomTangentZ + r - std::sqrt(std::fabs(q));
    }
    const float tanS =
        tool.angleB != 0 ? static_cast<float>(std::tan((90.0 - tool.angleB) * kDegToRad)) : 0.0f;
    return profile.sideTangentZ + (rho - profile.sideTangentR) * tanS;
}

void setVectorMillCut(bool enabled) {
    gVectorCut.store(enabled, std::memory_order_relaxed);
}

TurnCutSide turnCutSide(uint8_t kind) {
    switch (kind) {
        case 0:
        case 1:
        case 2:
        case 3:
        case 10:
        case 11:
        case 12:
            return TurnCutSide::Outer;
        case 4:
        case 5:
        case 6:
        case 7:
        case 13:
        case 14:
            return TurnCutSide::Inner;
        case 9:
            return TurnCutSide::AxialDrill;
        default:
            return TurnCutSide::None;
    }
}

bool applyTurnCut(StockGrid& grid, const StockSpec& stock, const ToolRecord& tool, const Vec3& toolPos) {
    const float face = stock.offsetX;
    const float pitch = static_cast<float>(stock.pitch);
    if (!(pitch > 0)) return false;
    // Tested before truncating: a point just in front of the end face (-1 < q < 0) must not fall into
    // slice 0, and a huge or undefined quotient never reaches the integer conversion. Slice 1000 is
    // the last one (q below 1001).
    const float q = (face - static_cast<float>(toolPos.z)) / pitch;
    if (!(q >= 0.0f) || !(q < static_cast<float>(kStockNodes))) return false;
    const int k = static_cast<int>(q);
    const float twoX = static_cast<float>(2 * toolPos.x);
    float* outer = grid.outerDiameters();
    float* inner = grid.innerDiameters();
    switch (turnCutSide(tool.kind)) {
        case TurnCutSide::Outer:
            if (twoX < outer[k]) {
                outer[k] = twoX;
                return true;
            }
            return false;
        case TurnCutSide::Inner:
            if (twoX > inner[k]) {
                inner[k] = twoX;
                return true;
            }
            return false;
        case TurnCutSide::AxialDrill: {
            const float d = static_cast<float>(tool.diameter);
            if (d > inner[k]) {
                inner[k] = d;
                return true;
            }
            return false;
        }
        case TurnCutSide::None:
            return false;  // the radial drill and unknown kinds cut nothing
    }
    return false;
}

}  // namespace vantrel
