#include "gui/screen_tab.h"

#include "gui/gui_playback.h"
#include "gui/main_window.h"

namespace vantrel {

GuiScreenTab::GuiScreenTab(Application& app, MainWindow& window)
    : app_(app),
      pictures_(app.state(), app.controls(), app.ui(), app.mainThread()),
      mediaCommands_(app.state(), app.controls(), app.ui(), media_) {
    pictures_.repaint = [&app] { app.requestRepaint(); };
    pictures_.viewSize = [&window] {
        const ImageView* v = window.scene();
        return std::pair<int, int>{v->width(), v->height()};
    };
    pictures_.bindCommands();
    mediaCommands_.bindCommands();
    app.hooks.loadPicture = [this] { pictures_.loadStoredPicture(); };
    app.registerWorker(&pictures_.thread());
}

GuiScreenTab::~GuiScreenTab() {
    if (playback_) playback_->session().view().beforePlay = nullptr;
    app_.hooks.loadPicture = nullptr;
    mediaCommands_.close();
    pictures_.thread().finish();
    app_.unregisterWorker(&pictures_.thread());
}

void GuiScreenTab::detachPlayback() {
    if (!playback_) return;
    playback_->session().view().beforePlay = nullptr;
    pictures_.playing = nullptr;
    playback_ = nullptr;
}

void GuiScreenTab::attachPlayback(GuiPlayback& playback) {
    playback_ = &playback;
    playback.session().view().beforePlay = [this] { pictures_.stopEffect(); };
    pictures_.playing = [&playback] { return playback.session().controller().running(); };
}

}  // namespace vantrel
