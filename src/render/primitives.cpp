#include "render/primitives.h"

#include <algorithm>
#include <cmath>

#include "core/rounding.h"
#include "render/gl_renderer.h"
#include "render/raster.h"
#include "render/view.h"

namespace vantrel {

namespace {

inline Vec3 toVec(const Vec3f& p) {
    return {p.x, p.y, p.z};
}
inline Vec3f toVecf(const Vec3& p) {
    return {static_cast<float>(p.x), static_cast<float>(p.y), static_cast<float>(p.z)};
}

Vec3 faceNormal(const Vec3f& p1, const Vec3f& p2, const Vec3f& p3) {
    const Vec3 a = toVec(p1);
    return (toVec(p2) - a).cross(toVec(p3) - a);
}

struct Projected {
    ProjectedPoint pp;
    ScreenPoint s;
};

Projected project(const ViewState& view, const Vec3& p) {
    Projected out;
    out.pp = projectPoint(view, p);
    out.s = {static_cast<float>(screenX(view, out.pp)), static_cast<float>(screenY(view, out.pp))};
    return out;
}

bool sameScreen(ScreenPoint a, ScreenPoint b) {
    return a.x == b.x && a.y == b.y;
}

// Distance of a point in front of the projection plane (positive on the scene's side).
double planeDistance(const ViewState& view, const Vec3& p) {
    return view.kyori - (p + view.offset()).dot(view.basis.n);
}

bool bboxMeets(const ScreenPoint* s, int count, const ClipRect& clip) {
    float minX = s[0].x, maxX = s[0].x, minY = s[0].y, maxY = s[0].y;
    for (int i = 1; i < count; ++i) {
        minX = std::min(minX, s[i].x);
        maxX = std::max(maxX, s[i].x);
        minY = std::min(minY, s[i].y);
        maxY = std::max(maxY, s[i].y);
    }
    return !(minX > clip.right || maxX < clip.left || minY > clip.bottom || maxY < clip.top);
}

// The shared body of drawTriangle3D, drawQuad3D and drawSmoothQuad3D.
void drawPolygon(DrawContext& ctx, uint32_t colour, const ClipRect& clip, FaceMode mode, bool wire,
                 const Vec3f* p, int count, const Vec3f* normals) {
    if (ctx.gl) {
        ctx.gl->polygon(ctx.view, colour, mode, wire, p, count, normals);
        return;
    }
    const ViewState& view = ctx.view;
    // Back-face test.
    const double s1 = orientation(view, p[0], p[1], p[2]);
    const double s2 = count == 4 ? orientation(view, p[0], p[2], p[3]) : s1;
    if (mode == FaceMode::Front) {
        if (count == 3 ? !(s1 > 0) : !(s1 >= 0 && s2 >= 0)) return;
    } else if (mode == FaceMode::Back) {
        if (count == 3 ? !(s1 < 0) : !(s1 <= 0 && s2 <= 0)) return;
    }
    const double sign = mode == FaceMode::Back ? -1.0 : 1.0;
    const Vec3 normal = faceNormal(p[0], p[1], p[2]) * sign;

    if (wire) {
        const uint32_t c = shadeColour(view, colour, normal);
        for (int i = 0; i < count; ++i) drawLine3D(ctx, c, clip, p[i], p[(i + 1) % count]);
        return;
    }

    Projected pr[4];
    int clippedCount = 0;
    for (int i = 0; i < count; ++i) {
        pr[i] = project(view, toVec(p[i]));
        if (pr[i].pp.clipped) ++clippedCount;
    }
    if (clippedCount == count) return;
    const bool blend = mode == FaceMode::SeeThrough && normals == nullptr;

    if (clippedCount == 0) {
        int kept[4];
        int k = 0;
        for (int i = 0; i < count; ++i) {
            bool dup = false;
            for (int j = 0; j < i; ++j) dup = dup || sameScreen(pr[i].s, pr[j].s);
            if (!dup) kept[k++] = i;
        }
        if (k < 3) return;
        ScreenPoint ks[4];
        for (int i = 0; i < k; ++i) ks[i] = pr[kept[i]].s;
        if (!bboxMeets(ks, k, clip)) return;
        auto fill = [&](int a, int b, int c) {
            const int ia = kept[a], ib = kept[b], ic = kept[c];
            if (normals) {
                auto nrm = [&](int i) {
                    return Vec3f{normals[i].x * static_cast<float>(sign),
                                 normals[i].y * static_cast<float>(sign),
                                 normals[i].z * static_cast<float>(sign)};
                };
                fillTriangleSmooth(ctx.fb, view, colour, clip, p[ia], p[ib], p[ic], nrm(ia), nrm(ib), nrm(ic),
                                   pr[ia].s, pr[ib].s, pr[ic].s);
                return;
            }
            const uint32_t c2 = shadeColour(view, colour, faceNormal(p[ia], p[ib], p[ic]) * sign);
            if (blend)
                fillTriangleBlend(ctx.fb, view, c2, clip, p[ia], p[ib], p[ic], pr[ia].s, pr[ib].s, pr[ic].s);
            else
                fillTriangle(ctx.fb, view, c2, clip, p[ia], p[ib], p[ic], pr[ia].s, pr[ib].s, pr[ic].s);
        };
        fill(0, 1, 2);
        if (k == 4) fill(0, 2, 3);
        return;
    }

    // Some vertices lie on the eye's side of the projection plane: cut the polygon there and fill the
    // remaining polygon as a flat fan, shaded with the face normal.
    Vec3f poly[8];
    ScreenPoint ps[8];
    int n = 0;
    for (int i = 0; i < count; ++i) {
        const int j = (i + 1) % count;
        const Vec3 a = toVec(p[i]), b = toVec(p[j]);
        const bool aIn = !pr[i].pp.clipped, bIn = !pr[j].pp.clipped;
        if (aIn) {
            poly[n] = p[i];
            ps[n++] = pr[i].s;
        }
        if (aIn != bIn) {
            const double da = planeDistance(view, a), db = planeDistance(view, b);
            const double t = da == db ? 0.0 : da / (da - db);
            const Vec3 q = a + (b - a) * t;
            poly[n] = toVecf(q);
            ps[n++] = project(view, q).s;
        }
    }
    if (n < 3) return;
    const uint32_t c = shadeColour(view, colour, normal);
    for (int i = 1; i + 1 < n; ++i) {
        if (mode == FaceMode::SeeThrough)
            fillTriangleBlend(ctx.fb, view, c, clip, poly[0], poly[i], poly[i + 1], ps[0], ps[i], ps[i + 1]);
        else
            fillTriangle(ctx.fb, view, c, clip, poly[0], poly[i], poly[i + 1], ps[0], ps[i], ps[i + 1]);
    }
}

int32_t roundPixel(double v) {
    return RoundHalfAway(v);
}

void outline(DrawContext& ctx, const ClipRect& clip, const Projected* pr, int count, bool dotted) {
    for (int i = 0; i < count; ++i) {
        const int j = (i + 1) % count;
        paintLine2D(ctx.fb.image(), ctx.penColour, clip, roundPixel(pr[i].s.x), roundPixel(pr[i].s.y),
                    roundPixel(pr[j].s.x), roundPixel(pr[j].s.y), dotted);
    }
}

// Grows the dirty rectangle by the polygon's bounding box limited to the clip rectangle; false when the
// polygon lies entirely outside it.
bool growDirty(DrawContext& ctx, const ClipRect& clip, const Projected* pr, int count) {
    double minX = pr[0].s.x, maxX = minX, minY = pr[0].s.y, maxY = minY;
    for (int i = 1; i < count; ++i) {
        minX = std::min<double>(minX, pr[i].s.x);
        maxX = std::max<double>(maxX, pr[i].s.x);
        minY = std::min<double>(minY, pr[i].s.y);
        maxY = std::max<double>(maxY, pr[i].s.y);
    }
    if (!(minX <= clip.right && maxX >= clip.left && minY <= clip.bottom && maxY >= clip.top)) return false;
    minX = std::max<double>(minX, clip.left);
    maxX = std::min<double>(maxX, clip.right);
    minY = std::max<double>(minY, clip.top);
    maxY = std::min<double>(maxY, clip.bottom);
    ctx.dirty.grow(roundPixel(minX), roundPixel(minY), roundPixel(maxX), roundPixel(maxY));
    return true;
}

bool allDistinct(const Projected& a, const Projected& b, const Projected& c) {
    return !sameScreen(a.s, b.s) && !sameScreen(b.s, c.s) && !sameScreen(a.s, c.s);
}

}  // namespace

void DirtyRect::grow(int32_t x0, int32_t y0, int32_t x1, int32_t y1) {
    if (empty()) {
        minX = x0;
        maxX = x1;
        minY = y0;
        maxY = y1;
        return;
    }
    minX = std::min(minX, x0);
    maxX = std::max(maxX, x1);
    minY = std::min(minY, y0);
    maxY = std::max(maxY, y1);
}

double orientation(const ViewState& view, const Vec3f& p1, const Vec3f& p2, const Vec3f& p3) {
    return (view.basis.eye - toVec(p1)).dot(faceNormal(p1, p2, p3));
}

std::optional<std::pair<Vec3, Vec3>> clipSegment(const ViewState& view, int width, int height, const Vec3& p1,
                                                 const Vec3& p2) {
    Vec3 a = p1, b = p2;
    ProjectedPoint pa = projectPoint(view, a), pb = projectPoint(view, b);
    if (pa.clipped && pb.clipped) return std::nullopt;
    if (pa.clipped != pb.clipped) {
        // Replace the flagged end by the crossing with the projection plane.
        const double da = planeDistance(view, a), db = planeDistance(view, b);
        const double t = da == db ? 0.0 : da / (da - db);
        const Vec3 q = a + (b - a) * t;
        if (pa.clipped)
            a = q;
        else
            b = q;
    }
    const double w1 = width - 1, h1 = height - 1;
    auto screenOf = [&](const Vec3& p, double& x, double& y) {
        const ProjectedPoint pp = projectPoint(view, p);
        x = screenX(view, pp);
        y = screenY(view, pp);
    };
    // Side tests in screen space: 0 left, 1 top, 2 right, 3 bottom.
    auto outside = [&](int side, double x, double y) {
        switch (side) {
            case 0:
                return x < 0;
            case 1:
                return y < 0;
            case 2:
                return x > w1;
            default:
                return y > h1;
        }
    };
    const double cornerX[4] = {0, w1, w1, 0}, cornerY[4] = {0, 0, h1, h1};
    const Vec3& eye = view.basis.eye;
    for (int side = 0; side < 4; ++side) {
        double ax, ay, bx, by;
        screenOf(a, ax, ay);
        screenOf(b, bx, by);
        const bool aOut = outside(side, ax, ay), bOut = outside(side, bx, by);
        if (aOut == bOut) continue;
        double t;
        if (view.parallel) {
            // The parallel projection is affine: the crossing is found on the screen.
            const double sa = side % 2 == 0 ? ax : ay, sb = side % 2 == 0 ? bx : by;
            const double edge = side == 0 || side == 1 ? 0.0 : (side == 2 ? w1 : h1);
            t = sa == sb ? 0.0 : (edge - sa) / (sb - sa);
        } else {
            // The side plane through the eye and the rays of the side's two corners (side i runs from
            // corner i to corner i + 1 in the order top-left, top-right, bottom-right, bottom-left).
            static constexpr int kFrom[4] = {3, 0, 1, 2};
            const int c0 = kFrom[side], c1 = (c0 + 1) % 4;
            const Vec3 normal = rayDirection(view, cornerX[c0], cornerY[c0])
                                    .cross(rayDirection(view, cornerX[c1], cornerY[c1]));
            const double den = normal.dot(b - a);
            t = den == 0 ? 0.0 : normal.dot(eye - a) / den;
        }
        t = std::clamp(t, 0.0, 1.0);
        const Vec3 q = a + (b - a) * t;
        if (aOut)
            a = q;
        else
            b = q;
    }
    double ax, ay, bx, by;
    screenOf(a, ax, ay);
    screenOf(b, bx, by);
    for (int side = 0; side < 4; ++side) {
        if (outside(side, ax, ay) && outside(side, bx, by)) return std::nullopt;
    }
    return std::make_pair(a, b);
}

void drawLine3D(DrawContext& ctx, uint32_t colour, const ClipRect& clip, const Vec3f& p1, const Vec3f& p2) {
    if (ctx.gl) {
        ctx.gl->line(colour, p1, p2);
        return;
    }
    const auto seg = clipSegment(ctx.view, ctx.fb.width(), ctx.fb.height(), toVec(p1), toVec(p2));
    if (!seg) return;
    const Projected a = project(ctx.view, seg->first), b = project(ctx.view, seg->second);
    drawDepthLine(ctx.fb, ctx.view, colour, clip, toVecf(seg->first), toVecf(seg->second), a.s, b.s);
}

void drawOverlayLine(DrawContext& ctx, OverlayTarget target, const Vec3f& p1, const Vec3f& p2) {
    if (ctx.gl) {
        ctx.gl->line(target == OverlayTarget::SceneBlack ? 0 : ctx.penColour, p1, p2);
        return;
    }
    const auto seg = clipSegment(ctx.view, ctx.fb.width(), ctx.fb.height(), toVec(p1), toVec(p2));
    if (!seg) return;
    const Projected a = project(ctx.view, seg->first), b = project(ctx.view, seg->second);
    Image32* img = nullptr;
    uint32_t colour = ctx.penColour;
    bool dotted = ctx.penDotted;
    switch (target) {
        case OverlayTarget::SceneBlack:
            img = &ctx.fb.image();
            colour = 0;
            dotted = false;
            break;
        case OverlayTarget::ScenePen:
            img = &ctx.fb.image();
            break;
        case OverlayTarget::Window:
            img = ctx.window;
            break;
        case OverlayTarget::Frame:
            img = ctx.frame;
            break;
    }
    if (!img) return;
    const ClipRect clip{0, 0, img->width() - 1, img->height() - 1};
    const int64_t ox = ctx.view.originX, oy = ctx.view.originY;
    auto pix = [](int64_t v) { return static_cast<int32_t>(std::clamp<int64_t>(v, INT32_MIN, INT32_MAX)); };
    paintLine2D(*img, colour, clip, pix(ox + a.pp.px), pix(oy + a.pp.py), pix(ox + b.pp.px),
                pix(oy + b.pp.py), dotted);
}

void drawTriangle3D(DrawContext& ctx, uint32_t colour, const ClipRect& clip, FaceMode mode, bool wire,
                    const Vec3f& p1, const Vec3f& p2, const Vec3f& p3) {
    const Vec3f p[3] = {p1, p2, p3};
    drawPolygon(ctx, colour, clip, mode, wire, p, 3, nullptr);
}

void drawQuad3D(DrawContext& ctx, uint32_t colour, const ClipRect& clip, FaceMode mode, bool wire,
                const Vec3f& p1, const Vec3f& p2, const Vec3f& p3, const Vec3f& p4) {
    const Vec3f p[4] = {p1, p2, p3, p4};
    drawPolygon(ctx, colour, clip, mode, wire, p, 4, nullptr);
}

MeshQuadPainter::MeshQuadPainter(DrawContext& ctx, uint32_t colour, const ClipRect& clip, bool wire)
    : ctx_(ctx), colour_(colour), clip_(clip), wire_(wire), shader_(ctx.view) {}

MeshCorner MeshQuadPainter::corner(const Vec3f& p) const {
    const Projected pr = project(ctx_.view, toVec(p));
    return {p, pr.s, pr.pp.clipped};
}

bool MeshQuadPainter::facesEye(const Vec3f& a, const Vec3f& b, const Vec3f& c, const Vec3f& d) const {
    // Wire mode draws the edges of back faces too (drawPolygon decides).
    if (wire_) return true;
    return orientation(ctx_.view, a, b, c) >= 0 && orientation(ctx_.view, a, c, d) >= 0;
}

void MeshQuadPainter::quad(const MeshCorner& a, const MeshCorner& b, const MeshCorner& c,
                           const MeshCorner& d) {
    const Vec3f p[4] = {a.p, b.p, c.p, d.p};
    if (ctx_.gl) {
        drawPolygon(ctx_, colour_, clip_, FaceMode::Front, wire_, p, 4, nullptr);
        return;
    }
    if (wire_ || a.clipped || b.clipped || c.clipped || d.clipped) {
        drawPolygon(ctx_, colour_, clip_, FaceMode::Front, wire_, p, 4, nullptr);
        return;
    }
    // The remaining tests of drawPolygon (the back-face test was facesEye).
    const ScreenPoint s[4] = {a.s, b.s, c.s, d.s};
    if (!bboxMeets(s, 4, clip_)) return;
    // A quad between pixel centres fills nothing (the fill samples rows at y + 0.5 and takes the
    // columns from floor(left + 0.5) to floor(right - 0.5)): on a lattice finer than the pixels most
    // quads end here, before they are shaded.
    const float minX = std::min({s[0].x, s[1].x, s[2].x, s[3].x}),
                maxX = std::max({s[0].x, s[1].x, s[2].x, s[3].x});
    const float minY = std::min({s[0].y, s[1].y, s[2].y, s[3].y}),
                maxY = std::max({s[0].y, s[1].y, s[2].y, s[3].y});
    if (std::floor(double{minY} + 0.5) == std::floor(double{maxY} + 0.5)) return;
    if (std::floor(double{minX} + 0.5) > std::floor(double{maxX} - 0.5)) return;
    if (areas_ != nullptr) {
        bool meets = false;
        for (int i = 0; i < areaCount_ && !meets; ++i)
            meets = !(minX > areas_[i].right || maxX < areas_[i].left || minY > areas_[i].bottom ||
                      maxY < areas_[i].top);
        if (!meets) return;
    }
    const ViewState& view = ctx_.view;
    int kept[4];
    int k = 0;
    for (int i = 0; i < 4; ++i) {
        bool dup = false;
        for (int j = 0; j < i; ++j) dup = dup || sameScreen(s[i], s[j]);
        if (!dup) kept[k++] = i;
    }
    if (k < 3) return;
    auto fill = [&](int i, int j, int l) {
        const int ia = kept[i], ib = kept[j], ic = kept[l];
        const Vec3 n = faceNormal(p[ia], p[ib], p[ic]);
        if (!haveShade_ || !(n.x == lastNormal_.x && n.y == lastNormal_.y && n.z == lastNormal_.z)) {
            lastShade_ = shader_.shade(colour_, n);
            lastNormal_ = n;
            haveShade_ = true;
        }
        const uint32_t shaded = lastShade_;
        fillTriangle(ctx_.fb, view, shaded, clip_, p[ia], p[ib], p[ic], s[ia], s[ib], s[ic]);
    };
    fill(0, 1, 2);
    if (k == 4) fill(0, 2, 3);
    ++filled_;
}

void drawSmoothQuad3D(DrawContext& ctx, uint32_t colour, const ClipRect& clip, FaceMode mode, bool wire,
                      const Vec3f& p1, const Vec3f& p2, const Vec3f& p3, const Vec3f& p4, const Vec3f& n1,
                      const Vec3f& n2, const Vec3f& n3, const Vec3f& n4) {
    const Vec3f p[4] = {p1, p2, p3, p4};
    const Vec3f n[4] = {n1, n2, n3, n4};
    drawPolygon(ctx, colour, clip, mode, wire, p, 4, n);
}

void paintTriangle3D(DrawContext& ctx, uint32_t colour, const ClipRect& clip, PaintMode mode, int shading,
                     const Vec3f& p1, const Vec3f& p2, const Vec3f& p3) {
    if (ctx.openGl()) return;
    const ViewState& view = ctx.view;
    if (mode == PaintMode::FillFront && !(orientation(view, p1, p2, p3) > 0)) return;
    Projected pr[3] = {project(view, toVec(p1)), project(view, toVec(p2)), project(view, toVec(p3))};
    // Without a depth buffer there is no clipping at the projection plane: a polygon reaching the eye's
    // side of it is left out rather than drawn distorted.
    if (pr[0].pp.clipped || pr[1].pp.clipped || pr[2].pp.clipped) return;
    if ((shading == 1 || shading == 3) && (mode == PaintMode::FillFront || mode == PaintMode::Outline))
        colour = shadeColour(view, colour, faceNormal(p1, p2, p3));
    if (!growDirty(ctx, clip, pr, 3)) return;
    switch (mode) {
        case PaintMode::Fill:
        case PaintMode::FillFront:
            if (allDistinct(pr[0], pr[1], pr[2]))
                paintTriangle(ctx.fb.image(), colour, clip, pr[0].s, pr[1].s, pr[2].s);
            break;
        case PaintMode::Outline:
            outline(ctx, clip, pr, 3, false);
            break;
        case PaintMode::OutlineDotted:
            outline(ctx, clip, pr, 3, true);
            break;
        default:
            break;
    }
}

void paintQuad3D(DrawContext& ctx, uint32_t colour, const ClipRect& clip, PaintMode mode, int shading,
                 const Vec3f& p1, const Vec3f& p2, const Vec3f& p3, const Vec3f& p4) {
    if (ctx.openGl()) return;
    const ViewState& view = ctx.view;
    if (mode == PaintMode::FillFront && orientation(view, p1, p2, p3) < 0 &&
        orientation(view, p1, p3, p4) < 0)
        return;
    Projected pr[4] = {project(view, toVec(p1)), project(view, toVec(p2)), project(view, toVec(p3)),
                       project(view, toVec(p4))};
    for (const Projected& q : pr) {
        if (q.pp.clipped) return;
    }
    uint32_t c1 = colour, c2 = colour;
    if ((shading == 1 || shading == 3) && mode == PaintMode::FillFront) {
        c1 = shadeColour(view, colour, faceNormal(p1, p2, p3));
        c2 = shadeColour(view, colour, faceNormal(p1, p3, p4));
    }
    if (!growDirty(ctx, clip, pr, 4)) return;
    Image32& img = ctx.fb.image();
    switch (mode) {
        case PaintMode::Fill:
        case PaintMode::FillFront:
            if (allDistinct(pr[0], pr[1], pr[2])) paintTriangle(img, c1, clip, pr[0].s, pr[1].s, pr[2].s);
            if (allDistinct(pr[0], pr[2], pr[3])) paintTriangle(img, c2, clip, pr[0].s, pr[2].s, pr[3].s);
            break;
        case PaintMode::Outline:
            outline(ctx, clip, pr, 4, false);
            break;
        case PaintMode::OutlineDotted:
            outline(ctx, clip, pr, 4, true);
            break;
        case PaintMode::Restore:
            if (ctx.fb.background) {
                restoreTriangle(img, *ctx.fb.background, clip, pr[0].s, pr[1].s, pr[2].s);
                restoreTriangle(img, *ctx.fb.background, clip, pr[0].s, pr[2].s, pr[3].s);
            }
            break;
    }
}

}  // namespace vantrel
