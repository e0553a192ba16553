#pragma once
// The OpenGL view of the scene: a widget laid over the software view while the OpenGL switch is down.
// It draws nothing of its own; every frame is the scene composer's, issued into this widget's context.
#include <QOpenGLWidget>
#include <QSurfaceFormat>
#include <functional>
#include <string>

#include "render/gl_api.h"

namespace vantrel {

class SceneComposer;

// Compatibility profile (the scene is immediate-mode OpenGL 1.1), depth buffer, double buffering.
QSurfaceFormat sceneGlFormat();

// Whether an OpenGL context of that format can be made and has every entry point the scene draws
// with; `why` receives the reason when not. Run on the UI thread.
bool openGlUsable(std::string* why = nullptr);

class GlSceneView : public QOpenGLWidget {
    Q_OBJECT
  public:
    GlSceneView(SceneComposer& composer, QWidget* parent);

    std::function<void(QMouseEvent*)> onMousePress, onMouseMove, onMouseRelease;
    std::function<void(QWheelEvent*)> onWheel;
    int64_t framesDrawn() const { return frames_; }

  protected:
    void initializeGL() override;
    void paintGL() override;
    void mousePressEvent(QMouseEvent* e) override;
    void mouseMoveEvent(QMouseEvent* e) override;
    void mouseReleaseEvent(QMouseEvent* e) override;
    void wheelEvent(QWheelEvent* e) override;

  private:
    SceneComposer& composer_;
    GlApi api_;  // the entry points of the widget's context, looked up when it is made
    int64_t frames_ = 0;
};

}  // namespace vantrel
