#pragma once
// The screen tab ("画面"): the three picture buttons with their file dialog, the six screen effects on
// their own thread, "白黒", and the stored picture at start-up.
//
// Every command runs on the UI thread. The effect thread renders nothing itself: each frame is a
// synchronous call to the UI thread, which draws it into the picture and repaints the scene.
#include <functional>
#include <string>
#include <utility>

#include "app/app_state.h"
#include "core/control_set.h"
#include "effects/effect_thread.h"
#include "platform/main_thread.h"
#include "platform/ui_services.h"

namespace vantrel {

inline constexpr const char* kPictureDialogTitle = "背景の絵";
inline constexpr const char* kPictureFilter = "画像 (*.bmp *.jpg *.jpeg);;すべてのファイル (*)";

// The picture buttons (mode in the Tag) and the effect buttons (effectKind in the Tag).
inline constexpr const char* kPictureButtons[3] = {"sb_onpicture", "sb_onpicture2", "sb_onpicture3"};
inline constexpr const char* kEffectButtons[6] = {"sb_scroll", "sb_kaiten", "sb_rustarscroll",
                                                  "sb_finout", "sb_kage",   "sb_peep"};

// Registers the controls of the screen tab: picture, effect and monochrome buttons and the media player.
void addPictureControls(ControlSet& cs);

class PictureCommands {
  public:
    PictureCommands(AppState& s, ControlSet& cs, UiServices& ui, MainThread& mt);
    PictureCommands(const PictureCommands&) = delete;
    PictureCommands& operator=(const PictureCommands&) = delete;

    // Recompose and show the scene.
    std::function<void()> repaint;
    // The scene view's size in pixels, for the magnifier's centre.
    std::function<std::pair<int, int>()> viewSize;
    // True while a program plays (an effect does not start then).
    std::function<bool()> playing;

    // Binds the picture, effect and monochrome buttons.
    void bindCommands();
    // Start-up: the stored picture (fileName) in the stored mode. A file that is missing or cannot be
    // decoded loads nothing and leaves the mode as stored.
    void loadStoredPicture();
    // Stops a running effect as releasing its button does: the picture as it was before the effect
    // returns and the button pops up. Waits until the thread has ended; nothing is drawn after it.
    void stopEffect();
    // The effect thread (the application stops it on closing).
    EffectThread& thread() { return thread_; }

  private:
    void pictureClick();
    void effectClick(const Control& sender);
    void monoClick();
    // One frame of the running effect (UI thread); false when it has stopped.
    bool frame();
    // Shows or hides the effect and monochrome controls.
    void showEffectControls(bool on);
    // Loads a picture file into pictureImage; false (with the reason told) when it could not.
    bool loadPicture(const std::string& path, bool tellWhy);
    void requestRepaint();

    AppState& s_;
    ControlSet& cs_;
    UiServices& ui_;
    EffectThread thread_;
};

}  // namespace vantrel
