#include "scene/tool_path.h"

#include <algorithm>
#include <cmath>

#include "render/raster.h"
#include "render/view.h"

namespace vantrel {

namespace {

double axisOf(const Vec3& v, int axis) {
    return axis == 0 ? v.x : (axis == 1 ? v.y : v.z);
}
void setAxisOf(Vec3& v, int axis, double value) {
    (axis == 0 ? v.x : (axis == 1 ? v.y : v.z)) = value;
}

}  // namespace

void ToolPathData::add(PathRunStyle style, int32_t line, const std::vector<Vec3>& pts) {
    if (pts.size() < 2) return;
    PathRun r;
    r.first = static_cast<uint32_t>(points.size());
    r.count = static_cast<uint32_t>(pts.size());
    r.style = style;
    r.line = line;
    points.insert(points.end(), pts.begin(), pts.end());
    runs.push_back(r);
}

std::vector<Vec3> arcPolyline(const Vec3& start, const Vec3& end, const Vec3& centre, double radius,
                              bool clockwise, int a, int b, int n) {
    if (!(radius > 0) || !std::isfinite(radius)) return {start, end};
    constexpr double kTwoPi = 6.283185307179586;
    const double ca = axisOf(centre, a), cb = axisOf(centre, b);
    const double ts = std::atan2(axisOf(start, b) - cb, axisOf(start, a) - ca);
    const double te = std::atan2(axisOf(end, b) - cb, axisOf(end, a) - ca);
    double sweep = clockwise ? ts - te : te - ts;
    while (sweep <= 1e-9) sweep += kTwoPi;
    const int steps = std::clamp(static_cast<int>(std::ceil(sweep / (kTwoPi / 72))), 1, 72);
    const double n0 = axisOf(start, n), n1 = axisOf(end, n);
    std::vector<Vec3> pts;
    pts.reserve(static_cast<size_t>(steps) + 1);
    for (int i = 0; i <= steps; ++i) {
        const double f = static_cast<double>(i) / steps;
        const double t = ts + (clockwise ? -sweep : sweep) * f;
        Vec3 p;
        setAxisOf(p, a, ca + radius * std::cos(t));
        setAxisOf(p, b, cb + radius * std::sin(t));
        setAxisOf(p, n, n0 + (n1 - n0) * f);
        pts.push_back(p);
    }
    pts.front() = start;
    pts.back() = end;
    return pts;
}

int64_t drawToolPath(Image32& target, const ClipRect& clip, const ViewState& view, const ToolPathData& path,
                     const PathColours& colours) {
    // Points far outside the image are left out rather than walked pixel by pixel.
    constexpr int64_t kFar = 1 << 20;
    struct Pixel {
        int32_t x, y;
        bool near;
    };
    auto pixel = [&](const Vec3& v) {
        const ProjectedPoint p = projectPoint(view, v);
        const int64_t x = int64_t{view.originX} + p.px, y = int64_t{view.originY} + p.py;
        const bool near = !p.clipped && x > -kFar && x < kFar && y > -kFar && y < kFar;
        return Pixel{static_cast<int32_t>(near ? x : 0), static_cast<int32_t>(near ? y : 0), near};
    };
    int64_t drawn = 0;
    for (const PathRun& r : path.runs) {
        const uint32_t colour = colours.of(r.style);
        const bool dotted = r.style == PathRunStyle::Rapid;
        Pixel prev = pixel(path.points[r.first]);
        for (uint32_t i = 1; i < r.count; ++i) {
            const Pixel p = pixel(path.points[r.first + i]);
            if (prev.near && p.near) {
                paintLine2D(target, colour, clip, prev.x, prev.y, p.x, p.y, dotted);
                ++drawn;
            }
            prev = p;
        }
    }
    return drawn;
}

}  // namespace vantrel
