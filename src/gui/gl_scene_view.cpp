#include "gui/gl_scene_view.h"

#include <QMouseEvent>
#include <QOffscreenSurface>
#include <QOpenGLContext>
#include <QWheelEvent>

#include "app/scene_composer.h"
#include "render/gl_api.h"

namespace vantrel {

namespace {

GlProc lookupIn(const char* name, void* context) {
    return reinterpret_cast<GlProc>(static_cast<QOpenGLContext*>(context)->getProcAddress(name));
}

}  // namespace

QSurfaceFormat sceneGlFormat() {
    QSurfaceFormat f;
    f.setRenderableType(QSurfaceFormat::OpenGL);
    f.setProfile(QSurfaceFormat::CompatibilityProfile);
    f.setVersion(2, 1);
    f.setDepthBufferSize(24);
    f.setSwapBehavior(QSurfaceFormat::DoubleBuffer);
    return f;
}

bool openGlUsable(std::string* why) {
    auto fail = [why](const char* reason) {
        if (why) *why = std::string(reason);
        return false;
    };
    QOpenGLContext context;
    context.setFormat(sceneGlFormat());
    if (!context.create()) return fail("no OpenGL context");
    if (context.isOpenGLES()) return fail("OpenGL ES only");
    QOffscreenSurface surface;
    surface.setFormat(context.format());
    surface.create();
    if (!surface.isValid()) return fail("no surface");
    if (!context.makeCurrent(&surface)) return fail("context not made current");
    GlApi api;
    std::string missing;
    const bool ok = api.load(&lookupIn, &context, &missing);
    context.doneCurrent();
    if (!ok) {
        if (why) *why = std::string("missing ").append(missing);
        return false;
    }
    return true;
}

GlSceneView::GlSceneView(SceneComposer& composer, QWidget* parent)
    : QOpenGLWidget(parent), composer_(composer) {
    setFormat(sceneGlFormat());
    setMouseTracking(true);
}

void GlSceneView::initializeGL() {
    api_ = GlApi{};
    api_.load(&lookupIn, context());
}

void GlSceneView::paintGL() {
    if (!api_.loaded()) return;
    GlFrame frame;
    frame.width = width();
    frame.height = height();
    frame.pixelRatio = devicePixelRatioF();
    composer_.renderSceneGL(api_, frame);
    ++frames_;
}

void GlSceneView::mousePressEvent(QMouseEvent* e) {
    if (onMousePress) onMousePress(e);
}
void GlSceneView::mouseMoveEvent(QMouseEvent* e) {
    if (onMouseMove) onMouseMove(e);
}
void GlSceneView::mouseReleaseEvent(QMouseEvent* e) {
    if (onMouseRelease) onMouseRelease(e);
}
void GlSceneView::wheelEvent(QWheelEvent* e) {
    if (onWheel) onWheel(e);
}

}  // namespace vantrel
