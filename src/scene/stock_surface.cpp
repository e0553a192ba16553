#include "scene/stock_surface.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <utility>
#include <vector>

#include "core/rounding.h"
#include "render/shapes.h"
#include "render/view.h"

namespace vantrel {

namespace {

constexpr int kSectors = 24;

Vec3f f3(double x, double y, double z) {
    return {static_cast<float>(x), static_cast<float>(y), static_cast<float>(z)};
}

Vec3f toF(const Vec3& v) {
    return f3(v.x, v.y, v.z);
}

int nodeCount(float size, double pitch) {
    return stockNodeCount(size, pitch);
}

}  // namespace

void LatticeWindow::unite(const LatticeWindow& o) {
    if (o.empty()) return;
    if (empty()) {
        *this = o;
        return;
    }
    outlinePoints = 0;
    ixMin = std::min(ixMin, o.ixMin);
    ixMax = std::max(ixMax, o.ixMax);
    iyMin = std::min(iyMin, o.iyMin);
    iyMax = std::max(iyMax, o.iyMax);
}

int latticeNodesX(const StockSpec& s) {
    return nodeCount(s.sizeX, s.pitch);
}
int latticeNodesY(const StockSpec& s) {
    return nodeCount(s.sizeY, s.pitch);
}

void LatticeWindow::rowRange(int ix, int& first, int& last) const {
    first = iyMin;
    last = iyMax;
    if (outlinePoints == 0) return;
    // A point at x belongs to the cells floor(x) - 1 .. floor(x) + 1 (as for the window itself), so
    // row ix takes the outline's extent over the strip ix - 1 <= x <= ix + 2.
    const double a = ix - 1.0, b = ix + 2.0;
    double lo = std::numeric_limits<double>::max(), hi = std::numeric_limits<double>::lowest();
    auto take = [&](double y) {
        lo = std::min(lo, y);
        hi = std::max(hi, y);
    };
    for (int i = 0; i < outlinePoints; ++i) {
        const double px = outline[static_cast<size_t>(2 * i)], py = outline[static_cast<size_t>(2 * i + 1)];
        const int j = (i + 1) % outlinePoints;
        const double qx = outline[static_cast<size_t>(2 * j)], qy = outline[static_cast<size_t>(2 * j + 1)];
        if (px >= a && px <= b) take(py);
        for (double x : {a, b}) {
            if ((px - x) * (qx - x) < 0) take(py + (qy - py) * (x - px) / (qx - px));
        }
    }
    if (lo > hi) {
        first = 0;
        last = -1;
        return;
    }
    const double top = static_cast<double>(iyMax) + 2.0;
    first = std::max(first, static_cast<int>(std::floor(std::clamp(lo, -1.0, top))) - 1);
    last = std::min(last, static_cast<int>(std::floor(std::clamp(hi, -1.0, top))) + 1);
}

LatticeWindow fullLattice(const StockSpec& s) {
    return {0, latticeNodesX(s) - 1, 0, latticeNodesY(s) - 1};
}

void drawStockShape(DrawContext& ctx, ViewState& view, const StockSpec& s, MachineKind kind, uint32_t colour,
                    bool wire, bool lathePlaying, bool latheSnapshot) {
    view.lightGain = 2.5f;
    if (isTurning(kind)) {
        if (!latheSnapshot) {
            if (lathePlaying) {
                const ClipRect clip = ctx.fb.fullClip();
                const double z0 = s.offsetX - s.sizeZ, z1 = s.offsetX;
                const double ro = s.sizeX / 2.0, ri = s.sizeY / 2.0;
                drawQuad3D(ctx, colour, clip, FaceMode::Both, false, f3(ri, 0, z0), f3(ro, 0, z0),
                           f3(ro, 0, z1), f3(ri, 0, z1));
                drawQuad3D(ctx, colour, clip, FaceMode::Both, false, f3(-ro, 0, z0), f3(-ri, 0, z0),
                           f3(-ri, 0, z1), f3(-ro, 0, z1));
            } else {
                ShapeStyle st{colour, wire, FaceMode::Front};
                drawTube(ctx, st, Vec3{0, 0, s.offsetX}, s.sizeX, s.sizeY, s.sizeZ, {0, kPi});
            }
        }
    } else {
        ShapeStyle st{colour, wire, FaceMode::Front};
        const Vec3 bottom{s.offsetX + s.sizeX / 2.0, s.offsetY + s.sizeY / 2.0, s.offsetZ};
        drawPrism(ctx, st, bottom, s.sizeX, s.sizeY, s.wallThickness, s.sizeZ, s.sides, {0, 0});
    }
    view.lightGain = 1.0f;
}

int drawStockMesh(DrawContext& ctx, const StockSpec& s, const StockGrid& g, uint32_t colour, bool wire,
                  const ClipRect& clip, const LatticeWindow& winIn, const std::vector<ClipRect>* areas) {
    const int NX = latticeNodesX(s), NY = latticeNodesY(s);
    LatticeWindow win = winIn;
    win.ixMin = std::max(winIn.ixMin, 0);
    win.ixMax = std::min(winIn.ixMax, NX - 1);
    win.iyMin = std::max(winIn.iyMin, 0);
    win.iyMax = std::min(winIn.iyMax, NY - 1);
    if (win.empty() || !(s.pitch > 0)) return 0;
    const double p = s.pitch, ox = s.offsetX, oy = s.offsetY, oz = s.offsetZ;
    auto X = [&](int ix) { return ox + ix * p; };
    auto Y = [&](int iy) { return oy + iy * p; };
    MeshQuadPainter painter(ctx, colour, clip, wire);
    if (areas != nullptr) painter.onlyWhereMeets(areas->data(), static_cast<int>(areas->size()));
    int quads = 0;
    auto at = [&](const Vec3f& v) { return painter.corner(v); };
    // Wall quads: corners built here, projected only when the quad faces the eye.
    auto quad = [&](const Vec3f& a, const Vec3f& b, const Vec3f& c, const Vec3f& d) {
        ++quads;
        if (painter.facesEye(a, b, c, d)) painter.quad(at(a), at(b), at(c), at(d));
    };
    // The top corners of two node lines (ix and ix + 1), each projected once when a quad first needs it;
    // walking ix downwards, the line ix of one step is the line ix + 1 of the next.
    const int span = win.iyMax + 1 - win.iyMin + 1;
    thread_local std::vector<MeshCorner> lineA, lineB;
    thread_local std::vector<uint8_t> haveA, haveB;
    lineA.resize(static_cast<size_t>(span));
    lineB.resize(static_cast<size_t>(span));
    haveA.assign(static_cast<size_t>(span), 0);
    haveB.assign(static_cast<size_t>(span), 0);
    std::vector<MeshCorner>* lineLo = &lineA;  // node line ix
    std::vector<MeshCorner>* lineHi = &lineB;  // node line ix + 1
    std::vector<uint8_t>* haveLo = &haveA;
    std::vector<uint8_t>* haveHi = &haveB;
    auto node = [&](bool hiLine, int ix, const float* r, int iy) -> const MeshCorner& {
        std::vector<MeshCorner>& line = hiLine ? *lineHi : *lineLo;
        std::vector<uint8_t>& have = hiLine ? *haveHi : *haveLo;
        const auto k = static_cast<size_t>(iy - win.iyMin);
        if (!have[k]) {
            line[k] = at(f3(X(ix), Y(iy), oz + r[iy]));
            have[k] = 1;
        }
        return line[k];
    };
    auto topQuad = [&](int ix, const float* r0, const float* r1, int first, int top) {
        ++quads;
        const Vec3f a = f3(X(ix), Y(first), oz + r0[first]), b = f3(X(ix + 1), Y(first), oz + r1[first]);
        const Vec3f c = f3(X(ix + 1), Y(top), oz + r1[top]), d = f3(X(ix), Y(top), oz + r0[top]);
        if (!painter.facesEye(a, b, c, d)) return;
        painter.quad(node(false, ix, r0, first), node(true, ix + 1, r1, first), node(true, ix + 1, r1, top),
                     node(false, ix, r0, top));
    };
    for (int ix = win.ixMax; ix >= win.ixMin; --ix) {
        const float* r0 = g.row(ix);
        const float* r1 = g.row(ix + 1);
        // Cells walked from high iy down; a run keeps going while both node lines stay flat.
        int rowFirst = 0, rowLast = -1;
        win.rowRange(ix, rowFirst, rowLast);
        int iy = rowLast;
        while (iy >= rowFirst) {
            const int top = iy + 1;  // the run's last node line
            int first = iy;          // the run's first cell
            if (r0[iy] == r0[iy + 1] && r1[iy] == r1[iy + 1]) {
                while (first - 1 >= rowFirst && r0[first - 1] == r0[iy] && r1[first - 1] == r1[iy]) --first;
            }
            const float a = r0[first], b = r1[first], c = r1[top], d = r0[top];
            if (!(a == 0 && b == 0 && c == 0 && d == 0)) topQuad(ix, r0, r1, first, top);
            iy = first - 1;
        }
        // Outer walls along Y = offsetY and Y = offsetY + NY p.
        if (win.iyMin == 0 && (r0[0] > 0 || r1[0] > 0)) {
            quad(f3(X(ix), Y(0), oz), f3(X(ix + 1), Y(0), oz), f3(X(ix + 1), Y(0), oz + r1[0]),
                 f3(X(ix), Y(0), oz + r0[0]));
        }
        if (win.iyMax == NY - 1 && (r0[NY] > 0 || r1[NY] > 0)) {
            quad(f3(X(ix + 1), Y(NY), oz), f3(X(ix), Y(NY), oz), f3(X(ix), Y(NY), oz + r0[NY]),
                 f3(X(ix + 1), Y(NY), oz + r1[NY]));
        }
        // The line ix becomes the line ix + 1 of the next row.
        std::swap(lineLo, lineHi);
        std::swap(haveLo, haveHi);
        std::fill(haveLo->begin(), haveLo->end(), 0);
    }
    // Outer walls along X = offsetX (first row) and X = offsetX + NX p (last row).
    for (int iy = win.iyMin; iy <= win.iyMax; ++iy) {
        if (win.ixMin == 0) {
            const float* r = g.row(0);
            if (r[iy] > 0 || r[iy + 1] > 0) {
                quad(f3(X(0), Y(iy + 1), oz), f3(X(0), Y(iy), oz), f3(X(0), Y(iy), oz + r[iy]),
                     f3(X(0), Y(iy + 1), oz + r[iy + 1]));
            }
        }
        if (win.ixMax == NX - 1) {
            const float* r = g.row(NX);
            if (r[iy] > 0 || r[iy + 1] > 0) {
                quad(f3(X(NX), Y(iy), oz), f3(X(NX), Y(iy + 1), oz), f3(X(NX), Y(iy + 1), oz + r[iy + 1]),
                     f3(X(NX), Y(iy), oz + r[iy]));
            }
        }
    }
    return quads;
}

void drawLatheStockSurface(DrawContext& ctx, const StockSpec& s, const StockGrid& g, uint32_t colour,
                           bool wire) {
    if (!(s.pitch > 0)) return;
    const ClipRect clip = ctx.fb.fullClip();
    const float* od = g.outerDiameters();
    const float* id = g.innerDiameters();
    const double step = kTwoPi / kSectors;
    auto ring = [&](double r, int k, double z) {
        const double t = step * k;
        return Vec3{r * std::cos(t), r * std::sin(t), z};
    };
    // End face at Z = offsetX, facing +Z.
    {
        const double ri = id[0] / 2.0, ro = od[0] / 2.0, z = s.offsetX;
        if (ro > ri) {
            for (int k = 0; k < kSectors; ++k) {
                drawQuad3D(ctx, colour, clip, FaceMode::Front, wire, toF(ring(ri, k, z)), toF(ring(ro, k, z)),
                           toF(ring(ro, k + 1, z)), toF(ring(ri, k + 1, z)));
            }
        }
    }
    // Slice pairs k, k + 1 are read only inside the profile arrays (0..1000).
    const int last = std::min(saturatingToInt32(RoundHalfAway(s.sizeZ / s.pitch)), kStockMaxIndex - 1);
    for (int k = 0; k <= last; ++k) {
        double ro0 = od[k] / 2.0, ri0 = id[k] / 2.0, ro1 = od[k + 1] / 2.0, ri1 = id[k + 1] / 2.0;
        if (!(ro0 > ri0) && !(ro1 > ri1)) continue;
        ro0 = std::max(ro0, ri0);
        ro1 = std::max(ro1, ri1);
        const double z0 = s.offsetX - k * s.pitch, z1 = s.offsetX - (k + 1) * s.pitch;
        auto surface = [&](double ra, double rb, double sign) {
            // Normal of the profile segment (dr, dz) turned a quarter turn: (-dz, dr).
            const double dr = rb - ra, dz = z1 - z0;
            const double len = std::hypot(dr, dz);
            const double nr = sign * -dz / len, nz = sign * dr / len;
            for (int j = 0; j < kSectors; ++j) {
                const double t0 = step * j, t1 = step * (j + 1);
                const Vec3 n0{nr * std::cos(t0), nr * std::sin(t0), nz};
                const Vec3 n1{nr * std::cos(t1), nr * std::sin(t1), nz};
                if (sign > 0) {
                    drawSmoothQuad3D(ctx, colour, clip, FaceMode::Front, wire, toF(ring(ra, j + 1, z0)),
                                     toF(ring(ra, j, z0)), toF(ring(rb, j, z1)), toF(ring(rb, j + 1, z1)),
                                     toF(n1), toF(n0), toF(n0), toF(n1));
                } else {
                    drawSmoothQuad3D(ctx, colour, clip, FaceMode::Front, wire, toF(ring(ra, j, z0)),
                                     toF(ring(ra, j + 1, z0)), toF(ring(rb, j + 1, z1)), toF(ring(rb, j, z1)),
                                     toF(n0), toF(n1), toF(n1), toF(n0));
                }
            }
        };
        surface(ro0, ro1, 1);
        if (ri0 > 0 || ri1 > 0) surface(ri0, ri1, -1);
    }
}

void drawStockSurfaceModel(DrawContext& ctx, ViewState& view, const StockSpec& s, const StockGrid& g,
                           MachineKind kind, uint32_t colour, bool wire, bool lathePlaying) {
    if (isTurning(kind)) {
        if (lathePlaying) {
            drawStockShape(ctx, view, s, kind, colour, wire, true);
            return;
        }
        view.lightGain = 2.5f;
        drawLatheStockSurface(ctx, s, g, colour, wire);
    } else {
        view.lightGain = 2.5f;
        drawStockMesh(ctx, s, g, colour, wire, ctx.fb.fullClip(), fullLattice(s));
    }
    view.lightGain = 1.0f;
}

float lowestHeight(const StockSpec& s, const StockGrid& g) {
    const int NX = latticeNodesX(s), NY = latticeNodesY(s);
    if (NX <= 0 || NY <= 0) return 0;
    float lo = g.height(0, 0);
    for (int ix = 0; ix <= NX; ++ix) {
        const float* r = g.row(ix);
        for (int iy = 0; iy <= NY; ++iy) lo = std::min(lo, r[iy]);
    }
    return std::max(lo, 0.0f);
}

LatticeWindow latticeWindowFor(const ViewState& view, const StockSpec& s, const PixelRect& rect,
                               double lowest) {
    LatticeWindow w;
    if (rect.empty() || !(s.pitch > 0)) return w;
    const int NX = latticeNodesX(s), NY = latticeNodesY(s);
    double minX = 1e300, maxX = -1e300, minY = 1e300, maxY = -1e300;
    bool any = false;
    std::array<std::pair<double, double>, 8> cast{};
    int casts = 0;
    const Vec3 normal{0, 0, 1};
    const double low = std::clamp(std::isfinite(lowest) ? lowest : 0.0, 0.0, static_cast<double>(s.sizeZ));
    for (double z : {static_cast<double>(s.offsetZ) + s.sizeZ, static_cast<double>(s.offsetZ) + low}) {
        const Vec3 planePoint{0, 0, z};
        for (int c = 0; c < 4; ++c) {
            const double px = (c & 1) ? rect.right + 1.0 : rect.left;
            const double py = (c & 2) ? rect.bottom + 1.0 : rect.top;
            const std::optional<Vec3> hit = castToPlane(view, px, py, planePoint, normal);
            // A corner whose ray misses the plane (looking along it) may see any cell.
            if (!hit || !std::isfinite(hit->x) || !std::isfinite(hit->y)) return fullLattice(s);
            const double ix = (hit->x - s.offsetX) / s.pitch, iy = (hit->y - s.offsetY) / s.pitch;
            minX = std::min(minX, ix);
            maxX = std::max(maxX, ix);
            minY = std::min(minY, iy);
            maxY = std::max(maxY, iy);
            any = true;
            cast[static_cast<size_t>(casts++)] = {ix, iy};
        }
    }
    if (!any) return w;
    auto idx = [](double v, int hi) {
        const double c = std::clamp(v, -1.0, static_cast<double>(hi) + 1.0);
        return static_cast<int>(std::floor(c));
    };
    // The cell holding a point is floor(index); the neighbours round the cast to the nearest node.
    w.ixMin = std::max(idx(minX, NX) - 1, 0);
    w.ixMax = std::min(idx(maxX, NX) + 1, NX - 1);
    w.iyMin = std::max(idx(minY, NY) - 1, 0);
    w.iyMax = std::min(idx(maxY, NY) + 1, NY - 1);
    // Every point of the cells' surfaces between the two planes that shows inside the rectangle lies
    // over the convex hull of the eight cast points (the rectangle's pyramid of sight cut by the slab
    // between the planes is convex, with its corners on the planes).
    // Both planes and all four corners cast (a miss returned above): eight points.
    std::sort(cast.begin(), cast.end());
    std::array<std::pair<double, double>, 16> hull{};
    int h = 0;
    auto cross = [](const std::pair<double, double>& o, const std::pair<double, double>& p,
                    const std::pair<double, double>& q) {
        return (p.first - o.first) * (q.second - o.second) - (p.second - o.second) * (q.first - o.first);
    };
    for (int i = 0; i < casts; ++i) {  // lower chain
        while (h >= 2 && cross(hull[static_cast<size_t>(h - 2)], hull[static_cast<size_t>(h - 1)],
                               cast[static_cast<size_t>(i)]) <= 0)
            --h;
        hull[static_cast<size_t>(h++)] = cast[static_cast<size_t>(i)];
    }
    for (int i = casts - 2, lower = h + 1; i >= 0; --i) {  // upper chain
        while (h >= lower && cross(hull[static_cast<size_t>(h - 2)], hull[static_cast<size_t>(h - 1)],
                                   cast[static_cast<size_t>(i)]) <= 0)
            --h;
        hull[static_cast<size_t>(h++)] = cast[static_cast<size_t>(i)];
    }
    if (h > 1) --h;  // the last point repeats the first
    if (h >= 1 && h <= 8) {
        w.outlinePoints = h;
        for (int i = 0; i < h; ++i) {
            w.outline[static_cast<size_t>(2 * i)] = hull[static_cast<size_t>(i)].first;
            w.outline[static_cast<size_t>(2 * i + 1)] = hull[static_cast<size_t>(i)].second;
        }
    }
    return w;
}

}  // namespace vantrel

namespace vantrel {

double glStockStep(const StockSpec& s, bool dragging) {
    if (dragging) {
        const double coarse = (static_cast<double>(s.sizeX) + s.sizeY) / 100.0;
        if (coarse > 0 && std::isfinite(coarse)) return std::max(coarse, s.pitch);
    }
    return s.pitch;
}

GlStockSampling drawStockGL(DrawContext& ctx, ViewState& view, const StockSpec& s, const StockGrid& g,
                            MachineKind kind, uint32_t colour, bool wire, double step) {
    GlStockSampling out;
    // The wire EDM removes nothing: its stock is the nominal solid.
    if (!isTurning(kind) && !isMilling(kind)) {
        drawStockShape(ctx, view, s, kind, colour, wire, false);
        return out;
    }
    view.lightGain = 2.5f;
    if (isTurning(kind)) {
        drawLatheStockSurface(ctx, s, g, colour, wire);
        view.lightGain = 1.0f;
        return out;
    }
    const int NX = latticeNodesX(s), NY = latticeNodesY(s);
    const double p = s.pitch;
    if (NX <= 0 || NY <= 0 || !(p > 0) || !(step > 0) || !std::isfinite(step)) {
        view.lightGain = 1.0f;
        return out;
    }
    const int SX = std::max(1, saturatingToInt32(RoundHalfAway(s.sizeX / step)));
    const int SY = std::max(1, saturatingToInt32(RoundHalfAway(s.sizeY / step)));
    out.samplesX = SX;
    out.samplesY = SY;
    // Sample i stands at offset + i step and reads node trunc(i step / p), never past the lattice.
    auto nodeX = [&](int i) { return std::min(static_cast<int>(i * step / p), NX); };
    auto nodeY = [&](int j) { return std::min(static_cast<int>(j * step / p), NY); };
    std::vector<int> nx(static_cast<size_t>(SX) + 1), ny(static_cast<size_t>(SY) + 1);
    for (int i = 0; i <= SX; ++i) nx[static_cast<size_t>(i)] = nodeX(i);
    for (int j = 0; j <= SY; ++j) ny[static_cast<size_t>(j)] = nodeY(j);
    const double ox = s.offsetX, oy = s.offsetY, oz = s.offsetZ;
    // The last sample line stands on the lattice's far edge, as the software mesh's does.
    auto X = [&](int i) { return i == SX ? ox + NX * p : ox + i * step; };
    auto Y = [&](int j) { return j == SY ? oy + NY * p : oy + j * step; };
    const ClipRect clip = ctx.fb.fullClip();
    auto h = [&](int i, int j) { return g.row(nx[static_cast<size_t>(i)])[ny[static_cast<size_t>(j)]]; };
    for (int i = 0; i < SX; ++i) {
        int j = 0;
        while (j < SY) {
            const float a = h(i, j), b = h(i + 1, j), c = h(i + 1, j + 1), d = h(i, j + 1);
            if (a == b && b == c && c == d) {
                // A flat run along Y: as far as the cells stay at this height.
                int last = j + 1;
                while (last < SY && h(i, last + 1) == a && h(i + 1, last + 1) == a) ++last;
                if (a != 0)
                    drawQuad3D(ctx, colour, clip, FaceMode::Front, wire, f3(X(i), Y(j), oz + a),
                               f3(X(i + 1), Y(j), oz + a), f3(X(i + 1), Y(last), oz + a),
                               f3(X(i), Y(last), oz + a));
                j = last;
                continue;
            }
            const Vec3f pa = f3(X(i), Y(j), oz + a), pb = f3(X(i + 1), Y(j), oz + b);
            const Vec3f pc = f3(X(i + 1), Y(j + 1), oz + c), pd = f3(X(i), Y(j + 1), oz + d);
            drawTriangle3D(ctx, colour, clip, FaceMode::Front, wire, pa, pb, pc);
            drawTriangle3D(ctx, colour, clip, FaceMode::Front, wire, pa, pc, pd);
            ++j;
        }
        // Outer walls along Y = offsetY and the far Y edge.
        if (h(i, 0) > 0 || h(i + 1, 0) > 0)
            drawQuad3D(ctx, colour, clip, FaceMode::Front, wire, f3(X(i), Y(0), oz), f3(X(i + 1), Y(0), oz),
                       f3(X(i + 1), Y(0), oz + h(i + 1, 0)), f3(X(i), Y(0), oz + h(i, 0)));
        if (h(i, SY) > 0 || h(i + 1, SY) > 0)
            drawQuad3D(ctx, colour, clip, FaceMode::Front, wire, f3(X(i + 1), Y(SY), oz), f3(X(i), Y(SY), oz),
                       f3(X(i), Y(SY), oz + h(i, SY)), f3(X(i + 1), Y(SY), oz + h(i + 1, SY)));
    }
    for (int j = 0; j < SY; ++j) {
        if (h(0, j) > 0 || h(0, j + 1) > 0)
            drawQuad3D(ctx, colour, clip, FaceMode::Front, wire, f3(X(0), Y(j + 1), oz), f3(X(0), Y(j), oz),
                       f3(X(0), Y(j), oz + h(0, j)), f3(X(0), Y(j + 1), oz + h(0, j + 1)));
        if (h(SX, j) > 0 || h(SX, j + 1) > 0)
            drawQuad3D(ctx, colour, clip, FaceMode::Front, wire, f3(X(SX), Y(j), oz), f3(X(SX), Y(j + 1), oz),
                       f3(X(SX), Y(j + 1), oz + h(SX, j + 1)), f3(X(SX), Y(j), oz + h(SX, j)));
    }
    view.lightGain = 1.0f;
    return out;
}

}  // namespace vantrel
