#include "cli/played_scene.h"

#include "render/png_writer.h"

namespace vantrel {

namespace {
// The scene area of the picture; the client area is sized so that the panels leave it.
constexpr int kWidth = 1280, kHeight = 720;

AppState& sized(AppState& s) {
    s.window.clientWidth = kWidth + s.window.panelLeft + kPanelRightWidth;
    s.window.clientHeight = kHeight + s.window.panelTop + kPanelBottomHeight;
    return s;
}
}  // namespace

PlayedScene::PlayedScene(AppState& s, PlaySession& session, MainThread& mt)
    : session_(session), composer_(sized(s)), drawing_(s, composer_, mt) {
    composer_.repaintScene();
    session_.view().setDrawing(&drawing_);
}

PlayedScene::~PlayedScene() {
    session_.view().setDrawing(nullptr);
}

bool PlayedScene::write(const std::string& png, std::string* error) {
    composer_.showPlayedResult();
    return writePng(png, composer_.window(), error);
}

}  // namespace vantrel
