#include "gui/scene_view.h"

#include <QMouseEvent>
#include <QWheelEvent>

#include "app/view_commands.h"
#include "app/window_commands.h"
#include "gui/main_window.h"

namespace vantrel {

GuiScene::GuiScene(Application& app, MainWindow& window, GuiPlayback& playback)
    : app_(app),
      window_(window),
      playback_(playback),
      composer_(app.state()),
      drawing_(app.state(), composer_, app.mainThread()) {
    composer_.setControls(&app.controls());
    composer_.setTextPainter(&painter_);
    ImageView* view = window.scene();
    composer_.setSceneSize(view->width(), view->height());
    view->setImage(&composer_.window());
    composer_.onWindowUpdate = [view](int x, int y, int w, int h) { view->update(QRect(x, y, w, h)); };
    view->onResize = [this, view](int w, int h) {
        composer_.setSceneSize(w, h);
        // The image may have been reallocated: the widget is pointed at it again.
        view->setImage(&composer_.window());
        if (glView_) glView_->setGeometry(0, 0, w, h);
        if (app_.state().window.ready == 1) app_.requestRepaint();
    };
    view->onMousePress = [this](QMouseEvent* e) { mouse(e, 0); };
    view->onMouseMove = [this](QMouseEvent* e) { mouse(e, 1); };
    view->onMouseRelease = [this](QMouseEvent* e) { mouse(e, 2); };
    view->onWheel = [this](QWheelEvent* e) { wheel(e); };
    app.hooks.repaint = [this] { composer_.repaintScene(); };
    app.hooks.openGlView = [this](bool on) { return showGlView(on); };
    app.hooks.drawPathOnce = [this] { composer_.drawPathOnce(); };
    playback.view().setScene(&drawing_);
    bindSceneCommands(app, composer_, [&playback] { return playback.session().controller().running(); });
}

GuiScene::~GuiScene() {
    playback_.view().setScene(nullptr);
    app_.hooks.openGlView = nullptr;
    composer_.onGlRepaint = nullptr;
    delete glView_.data();
    app_.hooks.drawPathOnce = nullptr;
    app_.hooks.holderChanged = nullptr;
    app_.hooks.showStockGrid = nullptr;
    ImageView* view = window_.scene();
    view->onResize = nullptr;
    view->onMousePress = view->onMouseMove = view->onMouseRelease = nullptr;
    view->onWheel = nullptr;
    view->setImage(&window_.sceneImage());
}

namespace {

WireSwitches wiresOf(const AppState& s) {
    return {s.display.kikaiwyer_on, s.display.zaiwyer_on, s.display.kouwyer_on, s.display.cadwyer_on};
}

void storeWires(AppState& s, const WireSwitches& w) {
    s.display.kikaiwyer_on = w.machine;
    s.display.zaiwyer_on = w.stock;
    s.display.kouwyer_on = w.tool;
    s.display.cadwyer_on = w.cad;
}

}  // namespace

void GuiScene::mouse(QMouseEvent* e, int kind) {
    AppState& s = app_.state();
    const bool playing = playback_.session().controller().running();
    const ViewEnvironment env = composer_.viewEnvironment(playing);
    MouseInput m;
    m.x = static_cast<int>(e->position().x());
    m.y = static_cast<int>(e->position().y());
    const Qt::MouseButtons b = e->buttons();
    m.left = b & Qt::LeftButton;
    m.right = b & Qt::RightButton;
    m.middle = b & Qt::MiddleButton;
    if (kind == 0) {
        // The pressed button is in buttons() already; a press reports it alone.
        m.left = m.left || e->button() == Qt::LeftButton;
        m.right = m.right || e->button() == Qt::RightButton;
    }
    m.shift = e->modifiers() & Qt::ShiftModifier;
    m.ctrl = e->modifiers() & Qt::ControlModifier;
    m.alt = e->modifiers() & Qt::AltModifier;
    ControlSet& cs = app_.controls();
    if (kind == 0) {
        WireSwitches w = wiresOf(s);
        const ViewUpdate up = sceneMouseDown(s.view, cs, env, m, w);
        storeWires(s, w);
        apply(up, nullptr);
    } else if (kind == 1) {
        // The magnifier follows the mouse, but not while a program plays.
        if (!playing) {
            s.picture.lensX = m.x;
            s.picture.lensY = m.y;
        }
        ToolPose pose = composer_.toolPose();
        const ViewUpdate up = sceneMouseMove(s.view, cs, env, m, pose);
        apply(up, &pose);
    } else {
        WireSwitches w = wiresOf(s);
        const ViewUpdate up = sceneMouseUp(s.view, cs, env, w);
        storeWires(s, w);
        apply(up, nullptr);
    }
}

void GuiScene::wheel(QWheelEvent* e) {
    apply(composer_.wheel(e->angleDelta().y(), static_cast<int>(e->position().x()),
                          static_cast<int>(e->position().y()), playback_.session().controller().running()),
          nullptr);
}

bool GuiScene::showGlView(bool on) {
    if (!on) {
        composer_.onGlRepaint = nullptr;
        if (glView_) glView_->hide();
        return true;
    }
    if (!glView_) {
        if (!openGlUsable()) return false;
        ImageView* view = window_.scene();
        glView_ = new GlSceneView(composer_, view);
        glView_->onMousePress = view->onMousePress;
        glView_->onMouseMove = view->onMouseMove;
        glView_->onMouseRelease = view->onMouseRelease;
        glView_->onWheel = view->onWheel;
    }
    glView_->setGeometry(0, 0, window_.scene()->width(), window_.scene()->height());
    glView_->show();
    glView_->raise();
    QPointer<GlSceneView> gl = glView_;
    composer_.onGlRepaint = [gl] {
        if (gl) gl->update();
    };
    return true;
}

void GuiScene::apply(const ViewUpdate& up, const ToolPose* pose) {
    applyViewUpdate(app_, composer_, up, pose);
}

}  // namespace vantrel
