#pragma once
// The music and video player of the screen tab: "音楽，映像" opens a file and plays it with endless
// repeat, the player's buttons, the track bar that follows the position and seeks while paused, and
// the timer that drives both.
#include "app/app_state.h"
#include "core/control_set.h"
#include "platform/media_service.h"
#include "platform/ui_services.h"

namespace vantrel {

inline constexpr const char* kMediaDialogTitle = "音楽，映像";
inline constexpr const char* kMediaFilter = "音楽，映像 (*.mid *.wav *.avi *.mpg);;すべてのファイル (*)";
inline constexpr const char* kMsgNoAudioOutput = "音声の出力先がありません（音は出ません）";
inline constexpr int kMediaTimerMs = 1000;

class MediaCommands {
  public:
    MediaCommands(AppState& s, ControlSet& cs, UiServices& ui, MediaService& media)
        : s_(s), cs_(cs), ui_(ui), media_(media) {}

    void bindCommands();
    // Timer1: at the end the media starts again from the beginning; the track bar shows the position.
    void tick();
    // Stops the player and hides it (closing the window, releasing the button).
    void close();
    bool opened() const { return opened_; }

  private:
    void toggle(const Control& sender);

    AppState& s_;
    ControlSet& cs_;
    UiServices& ui_;
    MediaService& media_;
    bool opened_ = false;
};

}  // namespace vantrel
