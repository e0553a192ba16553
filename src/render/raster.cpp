#include "render/raster.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

#include "core/rounding.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace vantrel {

namespace {

// The clip rectangle limited to the image, so a caller's rectangle can never make us write outside it.
ClipRect limitClip(const ClipRect& c, int w, int h) {
    return {std::max(c.left, 0), std::max(c.top, 0), std::min(c.right, w - 1), std::min(c.bottom, h - 1)};
}

bool finite(ScreenPoint s) {
    return std::isfinite(s.x) && std::isfinite(s.y);
}

// floor() of a value that may lie far outside the int range (or be NaN-free but huge).
inline int64_t floorToInt(double v) {
    if (v > -1e9 && v < 1e9) {
        const auto i = static_cast<int64_t>(v);
        return v < static_cast<double>(i) ? i - 1 : i;
    }
    // Rows and columns this far out are beyond any image; keeping them within +-2^40 leaves room for the
    // +-1 the scan conversion does with them.
    return std::clamp<int64_t>(saturatingToInt64(std::floor(v)), -(int64_t{1} << 40), int64_t{1} << 40);
}

int32_t roundToInt(double v) {
    return RoundHalfAway(v);
}

// floor() for values known to lie well inside the int range (std::floor is a library call on baseline
// x86-64, which costs more than a whole short span).
inline int fastFloor(double v) {
    const int i = static_cast<int>(v);
    return v < i ? i - 1 : i;
}

inline Vec3 toVec(const Vec3f& p) {
    return {p.x, p.y, p.z};
}

// Everything a primitive needs to walk the viewing rays of the pixels.
struct RayWalk {
    double ox, oy, invK;
    bool turned;
    Vec3 r, u, nE, step;

    explicit RayWalk(const ViewState& v) {
        const ViewBasis& b = v.basis;
        ox = v.originX;
        oy = v.originY;
        invK = 1.0 / v.scale;
        turned = b.turned;
        r = b.r;
        u = b.u;
        nE = b.nE;
        // One pixel to the right moves along r, or along u when the picture is turned.
        step = (turned ? u : r) * invK;
    }
    Vec3 at(double x, double y) const {
        double s, t;
        if (turned) {
            t = (x - ox) * invK;
            s = (y - oy) * invK;
        } else {
            s = (x - ox) * invK;
            t = (oy - y) * invK;
        }
        return r * s + u * t - nE;
    }
};

struct DepthPlane {
    Vec3 n;
    double c = 0;
};

inline float depthAlong(const DepthPlane& p, const Vec3& d) {
    const double nd = p.n.dot(d);
    if (nd == 0) return 0.0f;
    return static_cast<float>(std::sqrt(d.dot(d)) * p.c / nd);
}

DepthPlane trianglePlane(const ViewState& v, const Vec3f& p1, const Vec3f& p2, const Vec3f& p3) {
    const Vec3 a = toVec(p1);
    DepthPlane dp;
    dp.n = (toVec(p2) - a).cross(toVec(p3) - a);
    dp.c = dp.n.dot(a - v.basis.eye);
    return dp;
}

// The lighting of one view, worked out once per primitive.
// Where a row meets a triangle edge: the edge's end points (vertex indices) and the position along it.
struct EdgeSample {
    int from = 0, to = 0;
    double t = 0;
};

// The scan conversion shared by every triangle routine. For each covered row it calls
// span(y, firstX, lastX, xl, xr, leftEdge, rightEdge) with the covered columns already limited to the
// clip rectangle and xl, xr the unclamped edge positions.
template <class Span>
void scanTriangle(const ClipRect& clipIn, int w, int h, const ScreenPoint (&s)[3], Span&& span) {
    const ClipRect clip = limitClip(clipIn, w, h);
    if (clip.left > clip.right || clip.top > clip.bottom) return;
    if (!finite(s[0]) || !finite(s[1]) || !finite(s[2])) return;
    double xs[3], ys[3];
    int64_t rows[3];
    for (int i = 0; i < 3; ++i) {
        xs[i] = s[i].x;
        ys[i] = s[i].y;
        rows[i] = floorToInt(ys[i] + 0.5);
    }
    const double minY = std::min({ys[0], ys[1], ys[2]}), maxY = std::max({ys[0], ys[1], ys[2]});
    const double minX = std::min({xs[0], xs[1], xs[2]}), maxX = std::max({xs[0], xs[1], xs[2]});
    if (minY > clip.bottom || maxY < clip.top || minX > clip.right || maxX < clip.left) return;
    if (rows[0] == rows[1] && rows[1] == rows[2]) return;

    // A stable three-element sort by row (std::stable_sort could allocate a buffer).
    int idx[3] = {0, 1, 2};
    if (rows[idx[1]] < rows[idx[0]]) std::swap(idx[0], idx[1]);
    if (rows[idx[2]] < rows[idx[1]]) std::swap(idx[1], idx[2]);
    if (rows[idx[1]] < rows[idx[0]]) std::swap(idx[0], idx[1]);
    const int T = idx[0], M = idx[1], B = idx[2];

    // 1 / dy of the three edges T->M, M->B, T->B, worked out once instead of dividing on every row.
    const double invTM = rows[M] > rows[T] ? 1.0 / (ys[M] - ys[T]) : 0.0;
    const double invMB = rows[B] > rows[M] ? 1.0 / (ys[B] - ys[M]) : 0.0;
    const double invTB = 1.0 / (ys[B] - ys[T]);
    auto inverse = [&](int a, int b) { return a == T ? (b == M ? invTM : invTB) : invMB; };
    auto edgeX = [&](int a, int b, double y, double& t) {
        t = (y - ys[a]) * inverse(a, b);
        return xs[a] + (xs[b] - xs[a]) * t;
    };
    auto emitRow = [&](int64_t y, int a0, int a1, int b0, int b1) {
        const double sampleY = static_cast<double>(y) + 0.5;
        EdgeSample ea{a0, a1, 0}, eb{b0, b1, 0};
        const double xa = edgeX(a0, a1, sampleY, ea.t);
        const double xb = edgeX(b0, b1, sampleY, eb.t);
        double xl = xa, xr = xb;
        if (xb < xa) {
            std::swap(xl, xr);
            std::swap(ea, eb);
        }
        if (!(xr >= clip.left) || !(xl <= clip.right + 1.0)) return;
        const double xlc = std::max(xl, static_cast<double>(clip.left));
        const double xrc = std::min(xr, clip.right + 1.0);
        const int first = fastFloor(xlc + 0.5);
        const int last = fastFloor(xrc - 0.5);
        if (first > last) return;
        span(static_cast<int>(y), first, last, xl, xr, ea, eb);
    };

    const int64_t yTop = std::max<int64_t>(rows[T], clip.top);
    const int64_t yUpperEnd = std::min<int64_t>(rows[M] - 1, clip.bottom);
    for (int64_t y = yTop; y <= yUpperEnd; ++y) emitRow(y, T, M, T, B);
    const int64_t yLower = std::max<int64_t>(rows[M], clip.top);
    const int64_t yEnd = std::min<int64_t>(rows[B] - 1, clip.bottom);
    for (int64_t y = yLower; y <= yEnd; ++y) emitRow(y, M, B, T, B);
}

enum class FillKind { Opaque, Blend };

template <FillKind kind>
void fillFlat(FrameBuffer& fb, const ViewState& view, uint32_t colour, const ClipRect& clip, const Vec3f& p1,
              const Vec3f& p2, const Vec3f& p3, ScreenPoint s1, ScreenPoint s2, ScreenPoint s3) {
    const DepthPlane plane = trianglePlane(view, p1, p2, p3);
    const RayWalk walk(view);
    const uint32_t pixel = toPixel(colour);
    const ScreenPoint s[3] = {s1, s2, s3};
    Image32& img = fb.image();
    // The depth plane and the ray step in single precision, as the depth buffer itself: the per-pixel
    // work is then one square root and one division in float, and each row restarts from a direction
    // computed in double, so the stepping error never builds up over more than one span.
    const float nx = static_cast<float>(plane.n.x), ny = static_cast<float>(plane.n.y),
                nz = static_cast<float>(plane.n.z), c = static_cast<float>(plane.c);
    const float sx = static_cast<float>(walk.step.x), sy = static_cast<float>(walk.step.y),
                sz = static_cast<float>(walk.step.z);
    [[maybe_unused]] const float newR = static_cast<float>((pixel >> 16) & 0xFF) * 0.4f;
    [[maybe_unused]] const float newG = static_cast<float>((pixel >> 8) & 0xFF) * 0.4f;
    [[maybe_unused]] const float newB = static_cast<float>(pixel & 0xFF) * 0.4f;
    scanTriangle(
        clip, fb.width(), fb.height(), s,
        [&](int y, int first, int last, double, double, const EdgeSample&, const EdgeSample&) {
            uint32_t* row = img.row(y);
            float* z = fb.depthRow(y);
            const Vec3 d0 = walk.at(first - 0.5, y + 0.5);
            float dx = static_cast<float>(d0.x), dy = static_cast<float>(d0.y), dz = static_cast<float>(d0.z);
            int x = first;
#if defined(__SSE2__)
            {
                // Four pixels at a time. The directions are still stepped one pixel after the
                // other and every operation is the scalar one in the same order, so the depths
                // (and the blended colours) are bit for bit those of the scalar loop below.
                const __m128 vnx = _mm_set1_ps(nx), vny = _mm_set1_ps(ny), vnz = _mm_set1_ps(nz);
                const __m128 vc = _mm_set1_ps(c), zero = _mm_setzero_ps();
                const __m128i vpix = _mm_set1_epi32(static_cast<int>(pixel));
                [[maybe_unused]] const __m128 keep = _mm_set1_ps(0.6f);
                [[maybe_unused]] const __m128 addR = _mm_set1_ps(newR), addG = _mm_set1_ps(newG),
                                              addB = _mm_set1_ps(newB);
                [[maybe_unused]] const __m128i byte = _mm_set1_epi32(0xFF);
                for (; x + 3 <= last; x += 4) {
                    const float x0 = dx + sx, y0 = dy + sy, z0 = dz + sz;
                    const float x1 = x0 + sx, y1 = y0 + sy, z1 = z0 + sz;
                    const float x2 = x1 + sx, y2 = y1 + sy, z2 = z1 + sz;
                    dx = x2 + sx;
                    dy = y2 + sy;
                    dz = z2 + sz;
                    const __m128 vx = _mm_setr_ps(x0, x1, x2, dx), vy = _mm_setr_ps(y0, y1, y2, dy),
                                 vz = _mm_setr_ps(z0, z1, z2, dz);
                    const __m128 nd =
                        _mm_add_ps(_mm_add_ps(_mm_mul_ps(vnx, vx), _mm_mul_ps(vny, vy)), _mm_mul_ps(vnz, vz));
                    const __m128 dd =
                        _mm_add_ps(_mm_add_ps(_mm_mul_ps(vx, vx), _mm_mul_ps(vy, vy)), _mm_mul_ps(vz, vz));
                    __m128 depth = _mm_div_ps(_mm_mul_ps(_mm_sqrt_ps(dd), vc), nd);
                    depth = _mm_andnot_ps(_mm_cmpeq_ps(nd, zero), depth);
                    const __m128 old = _mm_loadu_ps(z + x);
                    const __m128 nearer = _mm_cmplt_ps(depth, old);
                    _mm_storeu_ps(z + x, _mm_or_ps(_mm_and_ps(nearer, depth), _mm_andnot_ps(nearer, old)));
                    const __m128i m = _mm_castps_si128(nearer);
                    auto* px = reinterpret_cast<__m128i*>(row + x);
                    const __m128i oldPx = _mm_loadu_si128(px);
                    __m128i newPx = vpix;
                    if constexpr (kind == FillKind::Blend) {
                        // Each channel: trunc(old * 0.6 + new * 0.4), at most 255.
                        auto mix = [&](int shift, __m128 add) {
                            const __m128i ch = _mm_and_si128(_mm_srli_epi32(oldPx, shift), byte);
                            __m128i v =
                                _mm_cvttps_epi32(_mm_add_ps(_mm_mul_ps(_mm_cvtepi32_ps(ch), keep), add));
                            const __m128i over = _mm_cmpgt_epi32(v, byte);
                            v = _mm_or_si128(_mm_and_si128(over, byte), _mm_andnot_si128(over, v));
                            return _mm_slli_epi32(v, shift);
                        };
                        newPx = _mm_or_si128(_mm_or_si128(mix(16, addR), mix(8, addG)), mix(0, addB));
                    }
                    _mm_storeu_si128(px, _mm_or_si128(_mm_and_si128(m, newPx), _mm_andnot_si128(m, oldPx)));
                }
            }
#endif
            for (; x <= last; ++x) {
                dx += sx;
                dy += sy;
                dz += sz;
                const float nd = nx * dx + ny * dy + nz * dz;
                const float depth = nd == 0 ? 0.0f : std::sqrt(dx * dx + dy * dy + dz * dz) * c / nd;
                if (depth < z[x]) {
                    z[x] = depth;
                    if constexpr (kind == FillKind::Opaque) {
                        row[x] = pixel;
                    } else {
                        const uint32_t old = row[x];
                        const auto mix = [](uint32_t o, float n) {
                            return static_cast<uint32_t>(static_cast<float>(o) * 0.6f + n);
                        };
                        const uint32_t r = std::min(mix((old >> 16) & 0xFF, newR), 255u);
                        const uint32_t g = std::min(mix((old >> 8) & 0xFF, newG), 255u);
                        const uint32_t b = std::min(mix(old & 0xFF, newB), 255u);
                        row[x] = (r << 16) | (g << 8) | b;
                    }
                }
            }
        });
}

// Steps a line from s1 to s2 and calls plot(px, py, x, y) for every point, px and py being the rounded
// pixel and (x, y) the exact position. Only the steps that can land inside the clip rectangle are
// walked, so a segment to a far-away point costs no more than one that ends at the image border; the
// points plotted are those the full walk would plot.
template <class Plot>
void stepLine(const ClipRect& clip, ScreenPoint s1, ScreenPoint s2, Plot&& plot) {
    if (!finite(s1) || !finite(s2)) return;
    const double dx = static_cast<double>(s2.x) - s1.x;
    const double dy = static_cast<double>(s2.y) - s1.y;
    const bool alongY = std::fabs(dy) > std::fabs(dx);
    // Work in (major, minor) coordinates.
    double a0 = alongY ? s1.y : s1.x, b0 = alongY ? s1.x : s1.y;
    double a1 = alongY ? s2.y : s2.x, b1 = alongY ? s2.x : s2.y;
    if (a1 < a0) {
        std::swap(a0, a1);
        std::swap(b0, b1);
    }
    const double da = a1 - a0, db = b1 - b0;
    double m = da == 0 ? 0.0 : std::fabs(db / da);
    if (db < 0) m = -m;
    const double steps = std::floor(da);  // the walk runs i = 0 .. steps
    const double lo = alongY ? clip.top : clip.left;
    const double hi = alongY ? clip.bottom : clip.right;
    // Rounded major coordinates outside [lo, hi] are clipped anyway; one step of margin each side.
    const double iLo = std::max(0.0, std::floor(lo - a0) - 1.0);
    const double iHi = std::min(steps, std::ceil(hi - a0) + 1.0);
    if (!(iLo <= iHi)) {
        // No step lands near the rectangle.
    } else {
        // Counting with an integer: far from zero adding 1 to a double changes nothing, and the range is
        // never longer than the rectangle plus the margins.
        const int64_t count =
            std::min<int64_t>(saturatingToInt64(iHi - iLo), static_cast<int64_t>(hi - lo) + 4);
        for (int64_t k = 0; k <= count; ++k) {
            const double i = iLo + static_cast<double>(k);
            const double a = a0 + i;
            const double b = b0 + i * m;
            if (alongY)
                plot(roundToInt(b), roundToInt(a), b, a);
            else
                plot(roundToInt(a), roundToInt(b), a, b);
        }
    }
    const bool s2Last = alongY ? (s2.y >= s1.y) : (s2.x >= s1.x);
    const ScreenPoint end = s2Last ? s2 : s1;
    plot(roundToInt(end.x), roundToInt(end.y), end.x, end.y);
}

}  // namespace

Vec3 lightDirection(const ViewState& view) {
    const double a = view.viewA, b = view.viewB;
    if (view.basis.kind == MachineKind::Lathe) {
        return {std::sin(a) * std::cos(b - kPi / 3), std::sin(a) * std::sin(b - kPi / 3), std::cos(a)};
    }
    const double t = a - kPi / 6;
    return {std::sin(t) * std::cos(b), std::sin(t) * std::sin(b), std::cos(t)};
}

FaceShader::FaceShader(const ViewState& v)
    : light_(lightDirection(v)), power_(v.laypower), gain_(v.lightGain) {}

uint32_t FaceShader::shade(uint32_t colour, const Vec3& n) const {
    const double len = n.length();
    double theta = 0;
    if (len > 0 && std::isfinite(len)) theta = std::acos(std::clamp(n.dot(light_) / len, -1.0, 1.0));
    const double r = (power_ / 20.0 - theta / kPi) * gain_;
    uint32_t out = 0;
    for (int shift = 0; shift <= 16; shift += 8) {
        const int ch = static_cast<int>((colour >> shift) & 0xFF);
        const double delta = ch * r;
        const int add = std::isfinite(delta) ? static_cast<int>(std::clamp(delta, -1000.0, 1000.0)) : 0;
        out |= static_cast<uint32_t>(std::clamp(ch + add, 0, 255)) << shift;
    }
    return out;
}

uint32_t shadeColour(const ViewState& view, uint32_t colour, const Vec3& normal) {
    return FaceShader(view).shade(colour, normal);
}

void drawDepthLine(FrameBuffer& fb, const ViewState& view, uint32_t colour, const ClipRect& clipIn,
                   const Vec3f& p1, const Vec3f& p2, ScreenPoint s1, ScreenPoint s2) {
    const ClipRect clip = limitClip(clipIn, fb.width(), fb.height());
    if (clip.left > clip.right || clip.top > clip.bottom) return;
    // A plane through the segment whose normal lies in the plane of the eye and the segment keeps the
    // rays near the line far from parallel to it.
    const Vec3 a = toVec(p1);
    const Vec3 dir = toVec(p2) - a;
    const Vec3 toA = a - view.basis.eye;
    DepthPlane plane;
    plane.n = dir.cross(dir.cross(toA));
    plane.c = plane.n.dot(toA);
    const RayWalk walk(view);
    const uint32_t pixel = toPixel(colour);
    Image32& img = fb.image();
    stepLine(clip, s1, s2, [&](int32_t px, int32_t py, double x, double y) {
        if (px < clip.left || px > clip.right || py < clip.top || py > clip.bottom) return;
        const float depth = depthAlong(plane, walk.at(x, y));
        float& z = fb.depthRow(py)[px];
        if (depth < z) {
            z = depth;
            img.row(py)[px] = pixel;
        }
    });
}

void fillTriangle(FrameBuffer& fb, const ViewState& view, uint32_t colour, const ClipRect& clip,
                  const Vec3f& p1, const Vec3f& p2, const Vec3f& p3, ScreenPoint s1, ScreenPoint s2,
                  ScreenPoint s3) {
    fillFlat<FillKind::Opaque>(fb, view, colour, clip, p1, p2, p3, s1, s2, s3);
}

void fillTriangleBlend(FrameBuffer& fb, const ViewState& view, uint32_t colour, const ClipRect& clip,
                       const Vec3f& p1, const Vec3f& p2, const Vec3f& p3, ScreenPoint s1, ScreenPoint s2,
                       ScreenPoint s3) {
    fillFlat<FillKind::Blend>(fb, view, colour, clip, p1, p2, p3, s1, s2, s3);
}

void fillTriangleSmooth(FrameBuffer& fb, const ViewState& view, uint32_t colour, const ClipRect& clip,
                        const Vec3f& p1, const Vec3f& p2, const Vec3f& p3, const Vec3f& n1, const Vec3f& n2,
                        const Vec3f& n3, ScreenPoint s1, ScreenPoint s2, ScreenPoint s3) {
    const DepthPlane plane = trianglePlane(view, p1, p2, p3);
    const RayWalk walk(view);
    const FaceShader shader(view);
    const ScreenPoint s[3] = {s1, s2, s3};
    const Vec3 normals[3] = {toVec(n1), toVec(n2), toVec(n3)};
    Image32& img = fb.image();
    const float nx = static_cast<float>(plane.n.x), ny = static_cast<float>(plane.n.y),
                nz = static_cast<float>(plane.n.z), c = static_cast<float>(plane.c);
    const float sx = static_cast<float>(walk.step.x), sy = static_cast<float>(walk.step.y),
                sz = static_cast<float>(walk.step.z);
    scanTriangle(
        clip, fb.width(), fb.height(), s,
        [&](int y, int first, int last, double xl, double xr, const EdgeSample& el, const EdgeSample& er) {
            uint32_t* row = img.row(y);
            float* z = fb.depthRow(y);
            const Vec3 nl = normals[el.from] + (normals[el.to] - normals[el.from]) * el.t;
            const Vec3 nr = normals[er.from] + (normals[er.to] - normals[er.from]) * er.t;
            const double width = xr - xl;
            const Vec3 dn = width > 0 ? (nr - nl) / width : Vec3{};
            const Vec3 d0 = walk.at(first - 0.5, y + 0.5);
            float dx = static_cast<float>(d0.x), dy = static_cast<float>(d0.y), dz = static_cast<float>(d0.z);
            for (int x = first; x <= last; ++x) {
                dx += sx;
                dy += sy;
                dz += sz;
                // The same single-precision depth as the flat fill, so both agree on shared geometry.
                const float nd = nx * dx + ny * dy + nz * dz;
                const float depth = nd == 0 ? 0.0f : std::sqrt(dx * dx + dy * dy + dz * dz) * c / nd;
                if (depth < z[x]) {
                    z[x] = depth;
                    const Vec3 n = nl + dn * ((x + 0.5) - xl);
                    row[x] = toPixel(shader.shade(colour, n));
                }
            }
        });
}

void paintTriangle(Image32& target, uint32_t colour, const ClipRect& clip, ScreenPoint s1, ScreenPoint s2,
                   ScreenPoint s3) {
    const uint32_t pixel = toPixel(colour);
    const ScreenPoint s[3] = {s1, s2, s3};
    scanTriangle(clip, target.width(), target.height(), s,
                 [&](int y, int first, int last, double, double, const EdgeSample&, const EdgeSample&) {
                     std::fill(target.row(y) + first, target.row(y) + last + 1, pixel);
                 });
}

void restoreTriangle(Image32& target, const Image32& background, const ClipRect& clip, ScreenPoint s1,
                     ScreenPoint s2, ScreenPoint s3) {
    const ScreenPoint s[3] = {s1, s2, s3};
    scanTriangle(clip, target.width(), target.height(), s,
                 [&](int y, int first, int last, double, double, const EdgeSample&, const EdgeSample&) {
                     if (y >= background.height()) return;
                     const int end = std::min(last, background.width() - 1);
                     for (int x = first; x <= end; ++x) target.row(y)[x] = background.row(y)[x];
                 });
}

namespace {

// A line's major axis a (the one it runs longer along) and minor axis b, its ends ordered so that the
// walk starts at the smaller major coordinate.
struct LineAxes {
    bool alongY;
    int64_t a0, b0, a1, b1;
    LineAxes(int64_t x1, int64_t y1, int64_t x2, int64_t y2)
        : alongY(std::llabs(y2 - y1) > std::llabs(x2 - x1)) {
        a0 = alongY ? y1 : x1, b0 = alongY ? x1 : y1, a1 = alongY ? y2 : x2, b1 = alongY ? x2 : y2;
        if (a1 < a0) {
            std::swap(a0, a1);
            std::swap(b0, b1);
        }
    }
};

// The pixels of an integer line from (x1, y1) to (x2, y2), both ends included, inside `clip` (already
// limited to the image), handed to plot(x, y). Along the major axis a the minor coordinate has moved
// floor(i minor / major + 1/2) times after i steps (the ties fall as in the classic incremental walk);
// the quotient is found once at the first step inside the clip and then carried on in integers.
template <class Plot>
void walkLine2D(const ClipRect& clip, int32_t x1, int32_t y1, int32_t x2, int32_t y2, bool dotted,
                Plot&& plot) {
    auto inside = [&](int64_t x, int64_t y) {
        return x >= clip.left && x <= clip.right && y >= clip.top && y <= clip.bottom;
    };
    if (inside(x1, y1)) plot(static_cast<int>(x1), static_cast<int>(y1));
    const LineAxes ax(x1, y1, x2, y2);
    const bool alongY = ax.alongY;
    const int64_t a0 = ax.a0, b0 = ax.b0, a1 = ax.a1, b1 = ax.b1;
    const int64_t major = a1 - a0;
    if (major == 0) return;
    const int64_t minor = std::llabs(b1 - b0);
    const int64_t dir = b1 >= b0 ? 1 : -1;
    const int64_t lo = alongY ? clip.top : clip.left, hi = alongY ? clip.bottom : clip.right;
    const int64_t iLo = std::max<int64_t>(1, lo - a0), iHi = std::min<int64_t>(major, hi - a0);
    if (iLo > iHi) return;
    const int64_t den = 2 * major;
    const __int128 num0 = static_cast<__int128>(2) * iLo * minor + major;
    auto moves = static_cast<int64_t>(num0 / den);
    auto rem = static_cast<int64_t>(num0 % den);
    const int64_t grow = 2 * minor;
    for (int64_t i = iLo; i <= iHi; ++i) {
        if (!(dotted && (i & 1))) {
            const int64_t a = a0 + i, b = b0 + dir * moves;
            const int64_t x = alongY ? b : a, y = alongY ? a : b;
            if (inside(x, y)) plot(static_cast<int>(x), static_cast<int>(y));
        }
        rem += grow;
        if (rem >= den) {
            rem -= den;
            ++moves;
        }
    }
}

}  // namespace

void paintLine2D(Image32& target, uint32_t colour, const ClipRect& clipIn, int32_t x1, int32_t y1, int32_t x2,
                 int32_t y2, bool dotted) {
    const ClipRect clip = limitClip(clipIn, target.width(), target.height());
    if (clip.left > clip.right || clip.top > clip.bottom) return;
    const uint32_t pixel = toPixel(colour);
    walkLine2D(clip, x1, y1, x2, y2, dotted, [&](int x, int y) { target.row(y)[x] = pixel; });
}

void paintLine2DRecorded(Image32& target, uint32_t colour, const ClipRect& clipIn, int32_t x1, int32_t y1,
                         int32_t x2, int32_t y2, PixelRecord& offsets) {
    const ClipRect clip = limitClip(clipIn, target.width(), target.height());
    if (clip.left > clip.right || clip.top > clip.bottom) return;
    const uint32_t pixel = toPixel(colour);
    const auto w = static_cast<uint32_t>(target.width());
    auto inClip = [&](int32_t x, int32_t y) {
        return x >= clip.left && x <= clip.right && y >= clip.top && y <= clip.bottom;
    };
    if (!inClip(x1, y1) || !inClip(x2, y2)) {
        walkLine2D(clip, x1, y1, x2, y2, false, [&](int x, int y) {
            target.row(y)[x] = pixel;
            offsets.push(static_cast<uint32_t>(y) * w + static_cast<uint32_t>(x));
        });
        return;
    }
    // Both ends inside: every pixel of the walk is too, so it runs without tests, over offsets into
    // the image, with the same pixels as the general walk.
    const LineAxes ax(x1, y1, x2, y2);
    const bool alongY = ax.alongY;
    const int64_t a0 = ax.a0, b0 = ax.b0, a1 = ax.a1, b1 = ax.b1;
    const int64_t major = a1 - a0;
    const int64_t minor = std::llabs(b1 - b0);
    uint32_t* out = offsets.room(static_cast<size_t>(major) + 1);
    offsets.added(static_cast<size_t>(major) + 1);
    uint32_t* img = target.row(0);
    const uint32_t first = static_cast<uint32_t>(y1) * w + static_cast<uint32_t>(x1);
    img[first] = pixel;
    *out++ = first;
    // One step along the major axis, and one along the minor axis, as offsets.
    const int64_t stepMajor = alongY ? int64_t{w} : 1;
    const int64_t stepMinor = (b1 >= b0 ? 1 : -1) * (alongY ? 1 : int64_t{w});
    int64_t o = alongY ? a0 * w + b0 : b0 * w + a0;
    const int64_t den = 2 * major;
    int64_t rem = major;  // 2 i minor + major, less the moves made, at i = 0
    for (int64_t i = 1; i <= major; ++i) {
        rem += 2 * minor;
        o += stepMajor;
        const bool move = rem >= den;
        rem -= move ? den : 0;
        o += move ? stepMinor : 0;
        img[o] = pixel;
        *out++ = static_cast<uint32_t>(o);
    }
}

}  // namespace vantrel
