#include "verify/program_checks.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <limits>
#include <numbers>

#include "core/rounding.h"
#include "stock/material_removal.h"

namespace vantrel {

namespace {

// Closer than this counts as touching (mm); a step must involve more than kMinVolume (mm3) of
// material before it counts as removing any: the float heights of a surface the cutter has just
// left stay within these of its outline.
constexpr double kTouch = 1e-3;
constexpr double kMinVolume = 1e-3;

// The part [t0, t1] of 0..1 where the XY distance from (px, py) to a + t*(dx, dy) is at most r, and the
// parameter tc of the closest point inside it. False when the point is never within r.
bool coverInterval(double ax, double ay, double dx, double dy, double px, double py, double r, double& t0,
                   double& t1, double& tc) {
    const double ex = ax - px, ey = ay - py;
    const double a = dx * dx + dy * dy;
    const double b = dx * ex + dy * ey;
    const double c = ex * ex + ey * ey - r * r;
    if (a < 1e-18) {
        if (c > 0) return false;
        t0 = 0, t1 = 1, tc = 0;
        return true;
    }
    const double disc = b * b - a * c;
    if (disc < 0) return false;
    const double sq = std::sqrt(disc);
    const double lo = (-b - sq) / a, hi = (-b + sq) / a;
    if (hi < 0 || lo > 1) return false;
    t0 = std::max(lo, 0.0);
    t1 = std::min(hi, 1.0);
    tc = std::clamp(-b / a, t0, t1);
    return true;
}

// The lattice indices from the coordinate lo to hi (absolute), clipped to 0..n.
void nodeRange(double lo, double hi, double offset, double pitch, int n, int& first, int& last) {
    first = saturatingToInt32(std::ceil((lo - offset) / pitch));
    last = saturatingToInt32(std::floor((hi - offset) / pitch));
    first = std::max(first, 0);
    last = std::min(last, n);
}

}  // namespace

const char* findingKindName(FindingKind kind) {
    switch (kind) {
        case FindingKind::RapidCut:
            return "rapid_cut";
        case FindingKind::Holder:
            return "holder";
        case FindingKind::BelowStock:
            return "below_stock";
        case FindingKind::SpindleStopped:
            return "spindle_stopped";
        case FindingKind::Chuck:
            return "chuck";
    }
    return "rapid_cut";
}

const char* findingKindCaption(FindingKind kind) {
    switch (kind) {
        case FindingKind::RapidCut:
            return "早送りで切削";
        case FindingKind::Holder:
            return "ホルダ干渉";
        case FindingKind::BelowStock:
            return "材料底面より下を切削";
        case FindingKind::SpindleStopped:
            return "主軸停止中に切削";
        case FindingKind::Chuck:
            return "チャック干渉";
    }
    return "";
}

std::string findingText(const Finding& f) {
    char buf[256];
    const std::string n = f.n >= 0 ? std::string("N").append(std::to_string(f.n)) : "N-";
    std::snprintf(buf, sizeof buf, "%s  行 %d  %s  X%.3f Y%.3f Z%.3f  %.1fmm3", findingKindCaption(f.kind),
                  f.line + 1, n.c_str(), f.position.x, f.position.y, f.position.z, f.volume);
    return buf;
}

ProgramChecker::ProgramChecker(MachineKind kind, const StockSpec& stock, double chuckDiameter)
    : kind_(kind), stock_(stock), chuckRadius_(chuckDiameter / 2) {}

void ProgramChecker::blockApplied(int32_t line, int64_t n) {
    (void)line;
    if (n >= 0) n_ = n;
}

void ProgramChecker::pieceStarted(bool rapid, int32_t line, const Vec3& start) {
    rapid_ = rapid;
    line_ = line;
    prev_ = start;
    havePrev_ = true;
}

double ProgramChecker::SweptLevels::add(size_t index, double low, double top) {
    if (level.empty()) level.assign(StockGrid::kCellCount, std::numeric_limits<float>::infinity());
    float& l = level[index];
    if (std::isinf(l)) touched.push_back(static_cast<uint32_t>(index));
    const double fresh = std::min(top, static_cast<double>(l)) - low;
    if (low < l) l = static_cast<float>(low);
    return fresh > 0 ? fresh : 0;
}

void ProgramChecker::SweptLevels::reset() {
    for (uint32_t i : touched) level[i] = std::numeric_limits<float>::infinity();
    touched.clear();
}

void ProgramChecker::leavePlace() {
    PartCache& c = parts_;
    if (c.pending && runs_[static_cast<int>(FindingKind::Holder)].open) {
        SweptLevels& swept = runs_[static_cast<int>(FindingKind::Holder)].swept;
        for (uint32_t i : c.holderNodes) swept.add(i, c.level, c.level);
        for (uint32_t i : c.bodyNodes) swept.add(i, c.level + c.holderLength, c.level + c.holderLength);
    }
    c.valid = false;
    c.pending = false;
    c.holderNodes.clear();
    c.bodyNodes.clear();
    c.touchedArea = 0;
    c.holderMax = c.bodyMax = c.holderNext = c.bodyNext = -1e300;
}

void ProgramChecker::close(int kind) {
    Run& r = runs_[kind];
    if (kind == static_cast<int>(FindingKind::Holder)) leavePlace();
    r.swept.reset();
    if (!r.open) return;
    r.open = false;
    findings_.push_back(r.f);
    if (onFinding) onFinding(r.f);
}

void ProgramChecker::finish() {
    for (int k = 0; k < kFindingKinds; ++k) close(k);
    havePrev_ = false;
}

void ProgramChecker::step(const StockGrid& grid, const CheckedTool& tool, const Vec3& pos, bool cutFollows) {
    if (!std::isfinite(pos.x) || !std::isfinite(pos.y) || !std::isfinite(pos.z) || tool.tool == nullptr ||
        tool.profile == nullptr)
        return;
    const Vec3 from = havePrev_ ? prev_ : pos;
    // A step that does not move (the pause loop, the end of a move repeated) changes nothing.
    if (havePrev_ && from.x == pos.x && from.y == pos.y && from.z == pos.z) return;
    prev_ = pos;
    havePrev_ = true;
    StepHits hits;
    if (isMilling(kind_))
        millStep(grid, tool, from, pos, cutFollows, hits);
    else if (isTurning(kind_))
        latheStep(grid, tool, from, pos, hits);
    else
        return;
    for (int k = 0; k < kFindingKinds; ++k) {
        Run& r = runs_[k];
        if (!hits.hit[k]) {
            close(k);
            continue;
        }
        if (!r.open) {
            r.open = true;
            r.f = Finding{static_cast<FindingKind>(k), line_, n_, pos, 0};
        }
        r.f.volume += hits.volume[k];
    }
}

void ProgramChecker::millStep(const StockGrid& grid, const CheckedTool& tool, const Vec3& from,
                              const Vec3& to, bool cutFollows, StepHits& hits) {
    const double pitch = stock_.pitch;
    if (!(pitch > 0) || !std::isfinite(pitch)) return;
    const ToolRecord& t = *tool.tool;
    const ToolProfile& profile = *tool.profile;
    const double top = stock_.offsetZ + stock_.sizeZ;
    const double bottom = stock_.offsetZ;
    const Vec3 a = millCutterAxis(t, from), b = millCutterAxis(t, to);
    const double zLow = std::min(a.z, b.z);
    const double cutterLength = std::max(t.length, 0.0);
    const double holderLength = std::max(t.holderLength, 0.0);
    const double rc = profile.topRadius, rh = t.holderDiameter / 2, rb = tool.bodyRadius;
    const int cutKind = static_cast<int>(rapid_ ? FindingKind::RapidCut : FindingKind::SpindleStopped);
    const int belowKind = static_cast<int>(FindingKind::BelowStock);
    const int holderKind = static_cast<int>(FindingKind::Holder);

    // Only what can reach the stock is looked at: most steps of a play need no lattice walk at all.
    const bool below = zLow < bottom - kTouch;
    const bool cutting = rapid_ || spindle_ == 0;
    bool cutter = rc > 0 && zLow < top && (cutting || below);
    bool holder = rh > 0 && holderLength > 0 && zLow + cutterLength <= top + kTouch;
    bool body = rb > 0 && zLow + cutterLength + holderLength <= top + kTouch;
    if (below) hits.hit[belowKind] = true;

    const bool vertical = a.x == b.x && a.y == b.y;
    {
        // Straight down or up where the play has already cut lower: the cutter meets nothing.
        PartCache& c = parts_;
        const bool same = vertical && c.cutValid && c.cutX == a.x && c.cutY == a.y && c.cutRadius == rc;
        // (Less than kTouch below it leaves no material deep enough to count.)
        if (cutter && !below && same && zLow >= c.cutLevel - kTouch) cutter = false;
        if (!cutFollows) {
            c.cutValid = false;
        } else if (same) {
            c.cutLevel = std::min(c.cutLevel, b.z);
        } else {
            c.cutValid = true;
            c.cutX = b.x, c.cutY = b.y, c.cutLevel = b.z, c.cutRadius = rc;
        }
    }
    bool holderTouch = false;
    bool record = false;
    if (holder || body) {
        PartCache& c = parts_;
        const double level = zLow + cutterLength;
        const bool same = vertical && c.valid && c.x == a.x && c.y == a.y && c.length == cutterLength &&
                          c.holderLength == holderLength && c.rh == rh && c.rb == rb && c.rc == rc;
        if (same && level >= c.level) {
            holderTouch = (holder && c.holderMax > level - kTouch) ||
                          (body && c.bodyMax > level + holderLength - kTouch);
            holder = body = false;
        } else if (same && level - kTouch >= c.holderNext && level + holderLength - kTouch >= c.bodyNext &&
                   runs_[holderKind].open) {
            holderTouch = true;
            hits.volume[holderKind] = c.touchedArea * (c.level - level);
            c.level = level;
            c.pending = true;
            holder = body = false;
        } else {
            leavePlace();
            if (vertical) {
                record = true;
                c.x = a.x, c.y = a.y, c.level = level;
                c.length = cutterLength, c.holderLength = holderLength;
                c.rh = rh, c.rb = rb, c.rc = rc;
            }
        }
    }
    if (!cutter && !holder && !body) {
        if (holderTouch) hits.hit[holderKind] = true;
        return;
    }

    double reach = 0;
    if (cutter) reach = std::max(reach, rc);
    if (holder) reach = std::max(reach, rh);
    if (body) reach = std::max(reach, rb);
    const int nx = stockNodeCount(stock_.sizeX, pitch), ny = stockNodeCount(stock_.sizeY, pitch);
    int ix0, ix1, iy0, iy1;
    nodeRange(std::min(a.x, b.x) - reach, std::max(a.x, b.x) + reach, stock_.offsetX, pitch, nx, ix0, ix1);
    nodeRange(std::min(a.y, b.y) - reach, std::max(a.y, b.y) + reach, stock_.offsetY, pitch, ny, iy0, iy1);

    const double dx = b.x - a.x, dy = b.y - a.y, dz = b.z - a.z;
    // A flat end mill's lower surface is its tip plane: no outline to evaluate.
    const bool flat = cutter && millCutterSurface(t, profile, static_cast<float>(rc)) == 0.0f;
    SweptLevels& cutSwept = runs_[cutKind].swept;
    SweptLevels& belowSwept = runs_[belowKind].swept;
    SweptLevels& holderSwept = runs_[holderKind].swept;
    double cutVolume = 0, belowVolume = 0, holderVolume = 0;
    bool material = false;
    for (int ix = ix0; ix <= ix1; ++ix) {
        const float* row = grid.row(ix);
        const double px = stock_.offsetX + ix * pitch;
        // A node stands for the area around it; the nodes on the stock's edges for half of it (a
        // quarter at the corners), so that volumes over the stock come out exact.
        const double wx = (ix == 0 || ix == nx) ? 0.5 : 1.0;
        for (int iy = iy0; iy <= iy1; ++iy) {
            const double py = stock_.offsetY + iy * pitch;
            // Material stands from the stock's bottom up to the node's height; a node cut through
            // (height 0) has none.
            const bool solid = row[iy] > 0;
            const double hz = bottom + row[iy];
            const double cell = wx * ((iy == 0 || iy == ny) ? 0.5 : 1.0) * pitch * pitch;
            const size_t index = static_cast<size_t>(ix) * kStockNodes + static_cast<size_t>(iy);
            double t0, t1, tc;
            if (cutter && coverInterval(a.x, a.y, dx, dy, px, py, rc, t0, t1, tc)) {
                // The lowest the cutter's surface comes over the node along the step: at the ends of
                // the part of the step that covers it or where it passes closest (exact for flat ends
                // and for moves along or across the axis).
                double low = 1e300;
                if (flat) {
                    low = std::min(a.z + t0 * dz, a.z + t1 * dz);
                } else if (vertical || dz == 0) {
                    // The outline rises with the distance from the axis: lowest where closest.
                    const double ex = a.x + tc * dx - px, ey = a.y + tc * dy - py;
                    const double rho = std::sqrt(ex * ex + ey * ey);
                    low = (vertical ? zLow : a.z) +
                          millCutterSurface(t, profile, static_cast<float>(std::min(rho, rc)));
                } else {
                    for (double s : {t0, t1, tc}) {
                        const double ex = a.x + s * dx - px, ey = a.y + s * dy - py;
                        const double rho = std::sqrt(ex * ex + ey * ey);
                        const float surf =
                            millCutterSurface(t, profile, static_cast<float>(std::min(rho, rc)));
                        low = std::min(low, a.z + s * dz + surf);
                    }
                }
                const double cap = low + cutterLength;
                const double base = std::max(low, bottom);
                if (cutting && solid && std::min(hz, cap) - base > kTouch) {
                    material = true;
                    cutVolume += cutSwept.add(index, base, std::min(hz, cap)) * cell;
                }
                if (below && std::min(bottom, cap) > low)
                    belowVolume += belowSwept.add(index, low, std::min(bottom, cap)) * cell;
            }
            // The holder and the standard's body above it: the lowest non-cutting part over the node.
            double part = 1e300;
            int under = 0;  // 1 holder, 2 body
            if (holder && coverInterval(a.x, a.y, dx, dy, px, py, rh, t0, t1, tc)) {
                part = std::min(a.z + t0 * dz, a.z + t1 * dz) + cutterLength;
                under = 1;
            } else if (body && coverInterval(a.x, a.y, dx, dy, px, py, rb, t0, t1, tc)) {
                part = std::min(a.z + t0 * dz, a.z + t1 * dz) + cutterLength + holderLength;
                under = 2;
            }
            const bool touch = solid && hz > part - kTouch;
            if (record && under != 0 && solid &&
                (px - a.x) * (px - a.x) + (py - a.y) * (py - a.y) > rc * rc) {
                PartCache& c = parts_;
                if (touch) {
                    (under == 1 ? c.holderNodes : c.bodyNodes).push_back(static_cast<uint32_t>(index));
                    (under == 1 ? c.holderMax : c.bodyMax) =
                        std::max(under == 1 ? c.holderMax : c.bodyMax, hz);
                    c.touchedArea += cell;
                } else {
                    double& next = under == 1 ? c.holderNext : c.bodyNext;
                    next = std::max(next, hz);
                }
            }
            if (touch) {
                holderTouch = true;
                part = std::max(part, bottom);
                if (hz > part) holderVolume += holderSwept.add(index, part, hz) * cell;
            }
        }
    }
    if (material) {
        hits.hit[cutKind] = true;
        hits.volume[cutKind] = cutVolume;
    }
    hits.volume[belowKind] = belowVolume;
    if (record) parts_.valid = true;
    if (holderTouch) {
        hits.hit[holderKind] = true;
        hits.volume[holderKind] += holderVolume;
    }
}

void ProgramChecker::latheStep(const StockGrid& grid, const CheckedTool& tool, const Vec3& from,
                               const Vec3& to, StepHits& hits) const {
    const double pitch = stock_.pitch;
    if (!(pitch > 0) || !std::isfinite(pitch)) return;
    const double face = stock_.offsetX;
    const double end = face - stock_.sizeZ;
    const double zLow = std::min(from.z, to.z), zHigh = std::max(from.z, to.z);
    // X is a radius on the lathes. The chuck's jaws and body stand beyond the stock's far end.
    if (zLow < end - kTouch && std::min(from.x, to.x) < chuckRadius_)
        hits.hit[static_cast<int>(FindingKind::Chuck)] = true;

    if (!rapid_ && spindle_ != 0) return;
    const TurnCutSide side = turnCutSide(tool.tool->kind);
    if (side != TurnCutSide::Outer && side != TurnCutSide::Inner) return;
    const int slices = std::min(stockNodeCount(stock_.sizeZ, pitch), kStockMaxIndex);
    // The slices the step passes, taken as the play's cut takes the slice of a point.
    int k0 = saturatingToInt32(std::floor((face - zHigh) / pitch));
    int k1 = saturatingToInt32(std::floor((face - zLow) / pitch));
    k0 = std::max(k0, 0);
    k1 = std::min(k1, slices - 1);
    const float* outer = grid.outerDiameters();
    const float* inner = grid.innerDiameters();
    const double dz = to.z - from.z, dx = to.x - from.x;
    double volume = 0;
    for (int k = k0; k <= k1; ++k) {
        // The X the step has over the slice's span of Z.
        const double s0 = face - (k + 1) * pitch, s1 = face - k * pitch;
        double xa, xb;
        if (std::fabs(dz) < 1e-12) {
            xa = from.x, xb = to.x;
        } else {
            const double u0 = std::clamp((std::max(s0, zLow) - from.z) / dz, 0.0, 1.0);
            const double u1 = std::clamp((std::min(s1, zHigh) - from.z) / dz, 0.0, 1.0);
            xa = from.x + u0 * dx, xb = from.x + u1 * dx;
        }
        const double ro = outer[k] / 2.0, ri = inner[k] / 2.0;
        if (!(ro > ri)) continue;
        if (side == TurnCutSide::Outer) {
            const double x = std::max(std::min(xa, xb), ri);
            if (x < ro - kTouch) volume += std::numbers::pi * (ro * ro - x * x) * pitch;
        } else {
            const double x = std::min(std::max(xa, xb), ro);
            if (x > ri + kTouch) volume += std::numbers::pi * (x * x - ri * ri) * pitch;
        }
    }
    if (volume > kMinVolume) {
        const int k = static_cast<int>(rapid_ ? FindingKind::RapidCut : FindingKind::SpindleStopped);
        hits.hit[k] = true;
        hits.volume[k] = volume;
    }
}

}  // namespace vantrel
