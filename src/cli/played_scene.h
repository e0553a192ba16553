#pragma once
// The main window's scene for a headless play: set up before the play (1280 x 720 pixels, the start-up
// view), drawn along with it, and after it the machined stock in full with the tool where it stands,
// written into a PNG (`vantrel-sim play --png`).
#include <memory>
#include <string>

#include "app/app_state.h"
#include "app/play_session.h"
#include "app/scene_composer.h"
#include "app/scene_playback_view.h"

namespace vantrel {

class PlayedScene {
  public:
    PlayedScene(AppState& s, PlaySession& session, MainThread& mt);
    ~PlayedScene();
    PlayedScene(const PlayedScene&) = delete;
    PlayedScene& operator=(const PlayedScene&) = delete;
    // After the play: draws the result and writes the picture.
    bool write(const std::string& png, std::string* error);

  private:
    PlaySession& session_;
    SceneComposer composer_;
    ScenePlaybackView drawing_;
};

}  // namespace vantrel
