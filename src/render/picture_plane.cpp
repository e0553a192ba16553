#include "render/picture_plane.h"

#include <algorithm>
#include <array>
#include <cmath>

#include "core/rounding.h"
#include "render/view.h"

namespace vantrel {

namespace {

constexpr double kPlaneDepthBias = 1e-4;

struct PlaneFrame {
    Vec3 point, normal;
    // World point of the plane coordinates (u along the picture's columns, v against its rows).
    Vec3 at(double u, double v, bool turning) const { return turning ? Vec3{v, 0, u} : Vec3{u, v, point.z}; }
    void coords(const Vec3& w, bool turning, double& u, double& v) const {
        u = turning ? w.z : w.x;
        v = turning ? w.x : w.y;
    }
};

}  // namespace

int64_t pastePictureOnPlane(FrameBuffer& fb, const ViewState& view, const Image32& picture, MachineKind kind,
                            double stockBottom) {
    if (picture.empty() || isWire(kind) || !std::isfinite(stockBottom)) return 0;
    const bool turning = isTurning(kind);
    PlaneFrame plane;
    plane.point = turning ? Vec3{0, 0, 0} : Vec3{0, 0, stockBottom};
    plane.normal = turning ? Vec3{0, 1, 0} : Vec3{0, 0, 1};
    const double pw = picture.width(), ph = picture.height();
    const int W = fb.width(), H = fb.height();

    // The projected corners bound the pixels to visit; when a corner lies behind the eye its projection
    // means nothing, and every pixel is cast instead.
    const std::array<Vec3, 4> corners = {
        plane.at(-pw / 2, ph / 2, turning), plane.at(pw / 2, ph / 2, turning),
        plane.at(pw / 2, -ph / 2, turning), plane.at(-pw / 2, -ph / 2, turning)};
    std::array<double, 4> sx{}, sy{};
    bool useQuad = true;
    for (size_t i = 0; i < 4; ++i) {
        const ProjectedPoint p = projectPoint(view, corners[i]);
        sx[i] = screenX(view, p);
        sy[i] = screenY(view, p);
        if (p.clipped || !std::isfinite(sx[i]) || !std::isfinite(sy[i])) useQuad = false;
    }
    int left = 0, top = 0, right = W - 1, bottom = H - 1;
    if (useQuad) {
        left = std::max(left, saturatingToInt32(std::floor(*std::min_element(sx.begin(), sx.end()))));
        right = std::min(right, saturatingToInt32(std::ceil(*std::max_element(sx.begin(), sx.end()))));
        top = std::max(top, saturatingToInt32(std::floor(*std::min_element(sy.begin(), sy.end()))));
        bottom = std::min(bottom, saturatingToInt32(std::ceil(*std::max_element(sy.begin(), sy.end()))));
    }
    // Inside the quadrilateral: all four edge tests of one sign.
    auto inside = [&](double x, double y) {
        int pos = 0, neg = 0;
        for (size_t i = 0; i < 4; ++i) {
            const size_t j = (i + 1) % 4;
            const double e = (sx[j] - sx[i]) * (y - sy[i]) - (sy[j] - sy[i]) * (x - sx[i]);
            if (e > 0) ++pos;
            if (e < 0) ++neg;
        }
        return pos == 0 || neg == 0;
    };
    const Vec3 toScene = view.basis.n * -1.0;
    int64_t written = 0;
    for (int y = top; y <= bottom; ++y) {
        uint32_t* row = fb.image().row(y);
        float* depth = fb.depthRow(y);
        for (int x = left; x <= right; ++x) {
            if (useQuad && !inside(x, y)) continue;
            const std::optional<Vec3> hit = castToPlane(view, x, y, plane.point, plane.normal);
            if (!hit) continue;
            const Vec3 d = *hit - view.basis.eye;
            if (!view.parallel && d.dot(toScene) <= 0) continue;  // behind the eye
            double u, v;
            plane.coords(*hit, turning, u, v);
            const double fx = std::nearbyint(pw / 2 + u), fy = std::nearbyint(ph / 2 - v);
            if (!(fx >= 0 && fx < pw && fy >= 0 && fy < ph)) continue;
            const double dist = std::sqrt(d.dot(d));
            if (!(dist < depth[x])) continue;
            // Stored a hair behind the plane: the grid and the stock bottom lie in this very plane and
            // are drawn later; they show on the picture instead of flickering with it.
            depth[x] = static_cast<float>(dist * (1 + kPlaneDepthBias));
            row[x] = picture.at(static_cast<int>(fx), static_cast<int>(fy));
            ++written;
        }
    }
    return written;
}

}  // namespace vantrel
