#pragma once
// The screen tab in the desktop program: the picture and effect commands over the scene, and the media
// player through Qt Multimedia. Made after the main window and before the start-up reads the stored
// picture.
#include "app/application.h"
#include "app/media_commands.h"
#include "app/picture_commands.h"
#include "gui/qt_media_service.h"

namespace vantrel {

class MainWindow;
class GuiPlayback;

class GuiScreenTab {
  public:
    GuiScreenTab(Application& app, MainWindow& window);
    ~GuiScreenTab();
    // A play stops a running effect before it draws, and no effect starts while it runs.
    void attachPlayback(GuiPlayback& playback);
    // Before the play goes (it may go first: the tab outlives it).
    void detachPlayback();
    PictureCommands& pictures() { return pictures_; }
    MediaCommands& mediaCommands() { return mediaCommands_; }
    QtMediaService& media() { return media_; }

  private:
    Application& app_;
    PictureCommands pictures_;
    QtMediaService media_;
    MediaCommands mediaCommands_;
    GuiPlayback* playback_ = nullptr;
};

}  // namespace vantrel
