#include "stock/material_removal.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <limits>
#include <numbers>

#include "core/rounding.h"

namespace vantrel {

namespace {

constexpr double kDegToRad = std::numbers::pi / 180.0;

// The row loop is built for the baseline instruction set and for AVX2; the loader picks the one the
// processor runs.
#if defined(__x86_64__) && defined(__GNUC__) && !defined(__clang__) && !defined(__SANITIZE_ADDRESS__)
#define VANTREL_CUT_CLONES __attribute__((target_clones("avx2", "default")))
#else
#define VANTREL_CUT_CLONES
#endif

// Lowers the nodes of one lattice row (fixed ix, iy from iyLo to iyHi) to the cutter surface. The
// general loop evaluates the three zones of the outline with selects instead of branches so that it
// vectorises; two common shapes have loops of their own that need no square root of the horizontal
// distance: the flat end mill (a disc at the tip height) and the ball end mill (a sphere around
// the corner centre on the axis). Every loop also keeps the nodes it visits from going below 0.
enum class CutterShape { Flat, Ball, General };

struct RowCutter {
    CutterShape shape = CutterShape::General;
    float zt, tanA, tanS;
    float bottomTangentR, sideTangentR, topRadius, cornerCentreR, r;
    float cornerBase;  // zt + bottomTangentZ + r
    float sideBase;    // zt + sideTangentZ
    float topRadius2;  // topRadius squared
    float r2;          // r squared

    VANTREL_CUT_CLONES bool cut(float* row, int iyLo, int iyHi, float dx, float cy, float p) const {
        const float dx2 = dx * dx;
        int changed = 0;
        switch (shape) {
            case CutterShape::Flat:
                for (int iy = iyLo; iy <= iyHi; ++iy) {
                    const float dy = cy - static_cast<float>(iy) * p;
                    const float h = row[iy];
                    const bool lower = (dx2 + dy * dy <= topRadius2) & (h > zt);
                    changed |= lower ? 1 : 0;
                    const float nh = lower ? zt : h;
                    row[iy] = nh < 0.0f ? 0.0f : nh;
                }
                break;
            case CutterShape::Ball:
                for (int iy = iyLo; iy <= iyHi; ++iy) {
                    const float dy = cy - static_cast<float>(iy) * p;
                    const float d2 = dx2 + dy * dy;
                    const float s = cornerBase - std::sqrt(std::fabs(r2 - d2));
                    const float h = row[iy];
                    const bool lower = (d2 <= topRadius2) & (h > s);
                    changed |= lower ? 1 : 0;
                    const float nh = lower ? s : h;
                    row[iy] = nh < 0.0f ? 0.0f : nh;
                }
                break;
            case CutterShape::General:
                for (int iy = iyLo; iy <= iyHi; ++iy) {
                    const float dy = cy - static_cast<float>(iy) * p;
                    const float rho = std::sqrt(dx2 + dy * dy);
                    const float bottom = zt + rho * tanA;
                    const float q = (r - rho + cornerCentreR) * (rho + r - cornerCentreR);
                    const float corner = cornerBase - std::sqrt(std::fabs(q));
                    const float side = sideBase + (rho - sideTangentR) * tanS;
                    float s = rho <= sideTangentR ? corner : side;
                    s = rho <= bottomTangentR ? bottom : s;
                    const float h = row[iy];
                    const bool lower = (rho <= topRadius) & (h > s);
                    changed |= lower ? 1 : 0;
                    const float nh = lower ? s : h;
                    row[iy] = nh < 0.0f ? 0.0f : nh;
                }
                break;
        }
        return changed != 0;
    }
};

// A row index from a float bound: values outside the lattice (and NaN) end up just outside it.
int rowIndex(float v) {
    if (!(v > -1.0f)) return -1;
    if (!(v < 2000.0f)) return 2000;
    return static_cast<int>(v);
}

// Visited nodes outside the cutter's reach are only kept from going below 0.
void clampRow(float* row, int iyLo, int iyHi) {
    for (int iy = iyLo; iy <= iyHi; ++iy) row[iy] = row[iy] < 0.0f ? 0.0f : row[iy];
}

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

    // The tip-position code places the programmed point on the cutter outline like the keys of a
    // numeric keypad; 5 keeps it on the axis.
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

    const float p = static_cast<float>(pitch);
    const int64_t n = std::max<int64_t>(RoundHalfAway64(profile.topDiameter / pitch), 0);
    const int64_t ix0 = RoundHalfAway64((x - profile.topRadius - stock.offsetX) / pitch);
    const int64_t iy0 = RoundHalfAway64((y - profile.topRadius - stock.offsetY) / pitch);
    const int nx = stockNodeCount(stock.sizeX, pitch);
    const int ny = stockNodeCount(stock.sizeY, pitch);
    // Clip the window to the lattice before iterating: sizes restored with another pitch, or a tool far
    // outside the stock, must never reach beyond the block.
    const int ixLo = static_cast<int>(std::clamp<int64_t>(ix0, 0, nx + 1));
    const int ixHi = static_cast<int>(std::clamp<int64_t>(ix0 + n, -1, nx));
    const int iyLo = static_cast<int>(std::clamp<int64_t>(iy0, 0, ny + 1));
    const int iyHi = static_cast<int>(std::clamp<int64_t>(iy0 + n, -1, ny));

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
    else if (rc.r > 0 && std::fabs(profile.cornerCentreR) <= 1e-6f * rc.r &&
             profile.bottomTangentR <= 1e-6f * rc.r && profile.sideTangentR >= profile.topRadius &&
             profile.bottomTangentZ == 0)
        rc.shape = CutterShape::Ball;

    const float cx = x - stock.offsetX;
    const float cy = y - stock.offsetY;
    bool changed = false;
    for (int ix = ixLo; ix <= ixHi; ++ix) {
        const float dx = cx - static_cast<float>(ix) * p;
        float* row = grid.row(ix);
        // Only the chord of the cutter's disc on this row can be lowered; one node of margin on each
        // side keeps the per-node test in charge of the exact edge.
        const float reach2 = rc.topRadius2 - dx * dx;
        if (!(reach2 >= 0)) {
            clampRow(row, iyLo, iyHi);
            continue;
        }
        const float reach = std::sqrt(reach2);
        const int lo = std::max(iyLo, rowIndex((cy - reach) / p - 1));
        const int hi = std::min(iyHi, rowIndex((cy + reach) / p + 1));
        if (lo > hi) {
            clampRow(row, iyLo, iyHi);
            continue;
        }
        clampRow(row, iyLo, lo - 1);
        changed |= rc.cut(row, lo, hi, dx, cy, p);
        clampRow(row, hi + 1, iyHi);
    }
    result.stockChanged = changed;
    return result;
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
    switch (tool.kind) {
        case 0:
        case 1:
        case 2:
        case 3:
        case 10:
        case 11:
        case 12:
            if (twoX < outer[k]) {
                outer[k] = twoX;
                return true;
            }
            return false;
        case 4:
        case 5:
        case 6:
        case 7:
        case 13:
        case 14:
            if (twoX > inner[k]) {
                inner[k] = twoX;
                return true;
            }
            return false;
        case 9: {
            const float d = static_cast<float>(tool.diameter);
            if (d > inner[k]) {
                inner[k] = d;
                return true;
            }
            return false;
        }
        default:
            return false;  // the radial drill and unknown kinds cut nothing
    }
}

}  // namespace vantrel
