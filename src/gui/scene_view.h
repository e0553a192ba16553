#pragma once
// The scene in the desktop program: the composition drawn into the scene widget (PaintBox1), its
// mouse commands (view drags, wheel, the left-button tool drag), the resize, the repaint hook and the
// drawing side of a play. Every copy to the screen is a rectangle update of the widget.
#include <QObject>
#include <QPointer>
#include <memory>

#include "app/application.h"
#include "app/scene_composer.h"
#include "app/scene_playback_view.h"
#include "app/view_commands.h"
#include "gui/gl_scene_view.h"
#include "gui/gui_playback.h"

class QMouseEvent;
class QWheelEvent;

namespace vantrel {

class MainWindow;

class GuiScene {
  public:
    GuiScene(Application& app, MainWindow& window, GuiPlayback& playback);
    ~GuiScene();
    SceneComposer& composer() { return composer_; }
    const ScenePlaybackView& drawing() const { return drawing_; }
    // The OpenGL view while it shows (null otherwise).
    GlSceneView* glView() const { return glView_ && glView_->isVisible() ? glView_ : nullptr; }

  private:
    void mouse(QMouseEvent* e, int kind);
    void wheel(QWheelEvent* e);
    void apply(const ViewUpdate& up, const ToolPose* pose);
    // Shows or hides the OpenGL view over the scene widget; false when OpenGL cannot be used here.
    bool showGlView(bool on);

    Application& app_;
    MainWindow& window_;
    GuiPlayback& playback_;
    QtTextPainter painter_;
    SceneComposer composer_;
    ScenePlaybackView drawing_;
    QPointer<GlSceneView> glView_;  // made on the first switch-on, a child of the scene widget
};

}  // namespace vantrel
