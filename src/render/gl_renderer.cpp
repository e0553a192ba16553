#include "render/gl_renderer.h"

#include <GL/gl.h>

#include <algorithm>
#include <cmath>

#include "render/raster.h"

namespace vantrel {

namespace {

using Mat = std::array<double, 16>;

Mat identity() {
    Mat m{};
    m[0] = m[5] = m[10] = m[15] = 1;
    return m;
}

// a x b, column-major.
Mat multiply(const Mat& a, const Mat& b) {
    Mat r{};
    for (int c = 0; c < 4; ++c)
        for (int rr = 0; rr < 4; ++rr) {
            double s = 0;
            for (int k = 0; k < 4; ++k) s += a[k * 4 + rr] * b[c * 4 + k];
            r[c * 4 + rr] = s;
        }
    return r;
}

Mat orthoMatrix(const std::array<double, 6>& o) {
    const double l = o[0], r = o[1], b = o[2], t = o[3], n = o[4], f = o[5];
    Mat m{};
    m[0] = 2 / (r - l);
    m[5] = 2 / (t - b);
    m[10] = -2 / (f - n);
    m[12] = -(r + l) / (r - l);
    m[13] = -(t + b) / (t - b);
    m[14] = -(f + n) / (f - n);
    m[15] = 1;
    return m;
}

// The software projection puts an eye-space point at (E k x / -z, E k y / -z) pixels from the origin
// (E the eye's gap to the projection plane, k the scale); the orthographic box maps a unit of its input
// to 350 k pixels across and 350 k H / W pixels up, so the perspective must scale by E / 350 across and
// E W / (350 H) up. A fixed field of view would match only a square scene area.
constexpr double kOrthoUnit = 350.0;
constexpr double kFarPlane = 10000.0;

double farPlane(const ViewState& view) {
    // The view distance may be raised far beyond the usual; the far plane follows it so that nothing
    // the software view shows is cut away.
    return std::max(kFarPlane, 4.0 * (static_cast<double>(view.kyori) + view.eyeGap));
}

}  // namespace

std::array<double, 6> glOrthoBox(const ViewState& view, int32_t width, int32_t height) {
    const double W = std::max(width, 1), H = std::max(height, 1);
    const double k = view.scale;
    const double ox = view.originX, oy = view.originY;
    return {-ox / (kOrthoUnit * k),
            (W - ox) / (kOrthoUnit * k),
            (oy - H) * W / (kOrthoUnit * k * H),
            oy * W / (kOrthoUnit * k * H),
            1.0,
            -10.0};
}

std::array<double, 16> glProjectionMatrix(const ViewState& view, int32_t width, int32_t height) {
    const double W = std::max(width, 1), H = std::max(height, 1);
    const double e = view.eyeGap;
    const double farZ = farPlane(view);
    Mat m{};
    if (view.parallel) {
        // The parallel view draws q at (k/10) (q.r, q.u): no division by depth. Depth runs linearly
        // over a band about the view centre wide enough for any scene.
        const double centre = static_cast<double>(view.kyori) + e;
        m[0] = 1.0 / (10.0 * kOrthoUnit);
        m[5] = W / (10.0 * kOrthoUnit * H);
        m[10] = -1.0 / farZ;
        m[14] = -centre / farZ;
        m[15] = 1;
        return m;
    }
    // gluPerspective(fovy, W / H, near, far) with cot(fovy / 2) = E W / (350 H).
    const double f = e * W / (kOrthoUnit * H);
    const double aspect = W / H;
    const double nearZ = e;
    m[0] = f / aspect;
    m[5] = f;
    m[10] = (farZ + nearZ) / (nearZ - farZ);
    m[11] = -1;
    m[14] = 2 * farZ * nearZ / (nearZ - farZ);
    return m;
}

std::array<double, 16> glLookAtMatrix(const ViewState& view) {
    const ViewBasis& b = view.basis;
    const Vec3 eye = b.eyeOffset;
    // Screen up: u, or for the quarter-turned kinds -r (their screen x runs along u). Both are
    // perpendicular to the viewing direction at every angle, so the camera never degenerates.
    const Vec3 up = b.turned ? Vec3{-b.r.x, -b.r.y, -b.r.z} : b.u;
    const Vec3 f = Vec3{-eye.x, -eye.y, -eye.z} * (1.0 / eye.length());
    Vec3 s{f.y * up.z - f.z * up.y, f.z * up.x - f.x * up.z, f.x * up.y - f.y * up.x};
    s = s * (1.0 / s.length());
    const Vec3 u{s.y * f.z - s.z * f.y, s.z * f.x - s.x * f.z, s.x * f.y - s.y * f.x};
    Mat m = identity();
    m[0] = s.x;
    m[4] = s.y;
    m[8] = s.z;
    m[1] = u.x;
    m[5] = u.y;
    m[9] = u.z;
    m[2] = -f.x;
    m[6] = -f.y;
    m[10] = -f.z;
    m[12] = -(s.dot(eye));
    m[13] = -(u.dot(eye));
    m[14] = f.dot(eye);
    return m;
}

std::array<double, 16> glSceneMatrix(const ViewState& view, int32_t width, int32_t height) {
    Mat t = identity();
    t[12] = view.vwx;
    t[13] = view.vwy;
    t[14] = view.vwz;
    return multiply(multiply(multiply(orthoMatrix(glOrthoBox(view, width, height)),
                                      glProjectionMatrix(view, width, height)),
                             glLookAtMatrix(view)),
                    t);
}

std::array<float, 4> glColourOf(uint32_t c) {
    return {static_cast<float>(c & 0xFF) / 255.0f, static_cast<float>((c >> 8) & 0xFF) / 255.0f,
            static_cast<float>((c >> 16) & 0xFF) / 255.0f, 0.4f};
}

void GlRenderer::beginFrame(const ViewState& view, const GlFrame& frame) {
    batch_ = Batch::None;
    const double ratio = frame.pixelRatio > 0 && std::isfinite(frame.pixelRatio) ? frame.pixelRatio : 1.0;
    gl_.viewport(frame.viewportX, frame.viewportY,
                 static_cast<int32_t>(std::lround(std::max(frame.width, 1) * ratio)),
                 static_cast<int32_t>(std::lround(std::max(frame.height, 1) * ratio)));
    gl_.matrixMode(GL_PROJECTION);
    gl_.loadIdentity();
    gl_.matrixMode(GL_MODELVIEW);
    gl_.loadIdentity();
    const std::array<double, 6> o = glOrthoBox(view, frame.width, frame.height);
    gl_.ortho(o[0], o[1], o[2], o[3], o[4], o[5]);
    const Mat p = glProjectionMatrix(view, frame.width, frame.height);
    gl_.multMatrixd(p.data());
    const Mat l = glLookAtMatrix(view);
    gl_.multMatrixd(l.data());
    gl_.translated(view.vwx, view.vwy, view.vwz);

    const std::array<float, 4> back = glColourOf(frame.back);
    gl_.clearColor(back[0], back[1], back[2], 0.0f);
    gl_.shadeModel(GL_FLAT);
    gl_.enable(GL_CULL_FACE);
    gl_.cullFace(GL_BACK);
    cullFace_ = GL_BACK;
    gl_.enable(GL_DEPTH_TEST);
    gl_.depthFunc(GL_LESS);
    gl_.disable(GL_BLEND);
    gl_.depthMask(GL_TRUE);
    gl_.clear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    gl_.blendFunc(GL_ONE, GL_ZERO);
}

void GlRenderer::endFrame() {
    setDotted(false);
    flush();
    gl_.finish();
}

namespace {
constexpr size_t kBatchVertices = size_t{1} << 18;
}

void GlRenderer::open(Batch b) {
    if (batch_ == b && xyz_.size() < 3 * kBatchVertices) return;
    flush();
    batch_ = b;
    xyz_.reserve(3 * kBatchVertices);
    rgba_.reserve(4 * kBatchVertices);
}

void GlRenderer::flush() {
    const auto count = static_cast<int32_t>(xyz_.size() / 3);
    if (batch_ != Batch::None && count > 0) {
        if (batch_ == Batch::SmoothTriangles) gl_.shadeModel(GL_SMOOTH);
        gl_.enableClientState(GL_VERTEX_ARRAY);
        gl_.enableClientState(GL_COLOR_ARRAY);
        gl_.vertexPointer(3, GL_FLOAT, 0, xyz_.data());
        gl_.colorPointer(4, GL_UNSIGNED_BYTE, 0, rgba_.data());
        gl_.drawArrays(batch_ == Batch::Lines ? GL_LINES : GL_TRIANGLES, 0, count);
        gl_.disableClientState(GL_COLOR_ARRAY);
        gl_.disableClientState(GL_VERTEX_ARRAY);
        if (batch_ == Batch::SmoothTriangles) gl_.shadeModel(GL_FLAT);
    }
    xyz_.clear();
    rgba_.clear();
    batch_ = Batch::None;
}

void GlRenderer::colour(uint32_t c) {
    // The palette's bytes as they are; alpha 0.4 (102 / 255).
    colour_ = {static_cast<uint8_t>(c & 0xFF), static_cast<uint8_t>((c >> 8) & 0xFF),
               static_cast<uint8_t>((c >> 16) & 0xFF), 102};
}

uint32_t GlRenderer::shade(const ViewState& view, uint32_t colour, const Vec3& normal) {
    if (!shader_ || shaderView_ != &view || shaderGain_ != view.lightGain || shaderPower_ != view.laypower ||
        shaderA_ != view.viewA || shaderB_ != view.viewB) {
        shader_.emplace(view);
        shaderView_ = &view;
        shaderGain_ = view.lightGain;
        shaderPower_ = view.laypower;
        shaderA_ = view.viewA;
        shaderB_ = view.viewB;
    }
    return shader_->shade(colour, normal);
}

void GlRenderer::vertex(const Vec3f& p) {
    xyz_.insert(xyz_.end(), {p.x, p.y, p.z});
    rgba_.insert(rgba_.end(), colour_.begin(), colour_.end());
}

void GlRenderer::applyFaceMode(FaceMode mode) {
    flush();
    switch (mode) {
        case FaceMode::Both:
            gl_.disable(GL_CULL_FACE);
            break;
        case FaceMode::Front:
            if (cullFace_ != GL_BACK) gl_.cullFace(GL_BACK);
            cullFace_ = GL_BACK;
            break;
        case FaceMode::Back:
            if (cullFace_ != GL_FRONT) gl_.cullFace(GL_FRONT);
            cullFace_ = GL_FRONT;
            break;
        case FaceMode::SeeThrough:
            gl_.disable(GL_CULL_FACE);
            gl_.enable(GL_BLEND);
            // The see-through part adds 0.4 of its colour to what lies behind it; a drawable without a
            // destination alpha reads it as 1, which ONE states for every drawable alike.
            gl_.blendFunc(GL_SRC_ALPHA, GL_ONE);
            break;
    }
}

void GlRenderer::restoreAfter(FaceMode mode) {
    if (mode == FaceMode::Both || mode == FaceMode::SeeThrough) {
        flush();
        if (mode == FaceMode::SeeThrough) {
            gl_.disable(GL_BLEND);
            gl_.blendFunc(GL_ONE, GL_ZERO);
        }
        gl_.enable(GL_CULL_FACE);
    }
}

void GlRenderer::line(uint32_t c, const Vec3f& a, const Vec3f& b) {
    open(Batch::Lines);
    colour(c);
    vertex(a);
    vertex(b);
    ++lines_;
}

void GlRenderer::polygon(const ViewState& view, uint32_t c, FaceMode mode, bool wire, const Vec3f* p,
                         int count, const Vec3f* normals) {
    auto toV = [](const Vec3f& v) { return Vec3{v.x, v.y, v.z}; };
    const Vec3 a = toV(p[0]), b = toV(p[1]), d = toV(p[2]);
    const Vec3 e1 = b - a, e2 = d - a;
    const Vec3 normal{e1.y * e2.z - e1.z * e2.y, e1.z * e2.x - e1.x * e2.z, e1.x * e2.y - e1.y * e2.x};
    const bool smooth = normals != nullptr && !wire && count == 4;
    // Face-mode state changes only where the mode needs one: consecutive front faces share one batch.
    if (!(mode == FaceMode::Front && cullFace_ == GL_BACK)) applyFaceMode(mode);
    if (wire) {
        open(Batch::Lines);
        colour(shade(view, c, normal));
        for (int i = 0; i < count; ++i) {
            vertex(p[i]);
            vertex(p[(i + 1) % count]);
        }
        lines_ += count;
    } else if (smooth) {
        open(Batch::SmoothTriangles);
        static constexpr int kFan[6] = {0, 1, 2, 0, 2, 3};
        for (int i : kFan) {
            colour(shade(view, c, toV(normals[i])));
            vertex(p[i]);
        }
        triangles_ += 2;
    } else {
        open(Batch::Triangles);
        colour(shade(view, c, normal));
        vertex(p[0]);
        vertex(p[1]);
        vertex(p[2]);
        if (count == 4) {
            vertex(p[0]);
            vertex(p[2]);
            vertex(p[3]);
        }
        triangles_ += count == 4 ? 2 : 1;
    }
    restoreAfter(mode);
}

void GlRenderer::setDotted(bool on) {
    if (on == dotted_) return;
    flush();
    if (on) {
        gl_.lineStipple(1, 0x5555);
        gl_.enable(GL_LINE_STIPPLE);
    } else {
        gl_.disable(GL_LINE_STIPPLE);
    }
    dotted_ = on;
}

void GlRenderer::setDepthTest(bool on) {
    flush();
    if (on)
        gl_.enable(GL_DEPTH_TEST);
    else
        gl_.disable(GL_DEPTH_TEST);
}

}  // namespace vantrel
