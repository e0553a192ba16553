#pragma once
// The application shell: start-up and shutdown in their fixed order, the close query, the display
// switches, repaint requests and the help command. It owns nothing the GUI needs to draw; the GUI and
// the headless runner both drive it.
#include <functional>
#include <string>
#include <vector>
#include "core/version.h"

#include "app/app_state.h"
#include "core/control_set.h"
#include "platform/main_thread.h"
#include "platform/ui_services.h"
#include "tools/command_hooks.h"

namespace vantrel {

class TQuonStrings;

inline constexpr const char* kAppTitle = "VANTREL";
inline constexpr const char* kWindowCaption = kMainWindowCaption;
inline constexpr const char* kHelpFile = "vantrelhelp.html";
inline constexpr const char* kMsgConnected = "接続中です";
inline constexpr const char* kMsgConfirmExit = "終了しますか?";

// Hooks that later subsystems fill in. Empty hooks do nothing.
struct ShellHooks {
    std::function<void()> resetToolLists;    // start-up: the tool lists to their defaults
    std::function<void()> loadSettings;      // start-up: read the store (settings-ready is false meanwhile)
    std::function<void()> prepareImages;     // start-up: the off-screen images
    std::function<void()> loadPicture;       // start-up: the stored background picture
    std::function<void()> applySettings;     // start-up: the loaded values onto the controls
    std::function<void()> saveSettings;      // shutdown: write the store
    std::function<void()> resetDncReceive;   // shutdown: forget a half-received line
    std::function<void()> repaint;           // recompose and show the scene
    std::function<void()> requestClose;      // ask the window to close (GUI); headless: runs close query
    std::function<void()> releaseResources;  // process end: images, program text, tool lists
    std::function<void()> positionReadout;   // the position labels (and the scene's overlay)
    std::function<void()> holderChanged;     // rebuild the holder model (sets holderBaseLength)
    std::function<void()> showStockGrid;     // draw the machined state of the stock
    std::function<bool()> confirmDiscardProgram;  // unsaved-program guard at close; false keeps it open
    std::function<void()> drawPathOnce;           // the program's path onto the visible view, until a repaint
    std::function<void()> panelUnfoldStep;        // a floating panel grew by a pixel: show it now
    // Shows (true) or hides the OpenGL view over the scene; false when no usable OpenGL context exists.
    std::function<bool(bool)> openGlView;
};

// The position labels: X, Y, Z "###0.00000000" (X times the diameter divisor), the angles in degrees
// and the tool axis "0.00000".
void showPositionLabels(const AppState& s, ControlSet& cs);

class Application {
  public:
    Application(AppState& state, ControlSet& controls, UiServices& ui, MainThread& mainThread);

    ShellHooks hooks;

    // Registers every control of the main window (the shell's and the subsystems': modal labels, value
    // labels, tool and stock tabs) and binds the shell's commands (display switches, help, end).
    void createControls();
    // Binds the value edits, the tool tab and the stock commands (the stock fit reads `program`).
    void bindSubsystemCommands(const TQuonStrings* program);
    // The machine menu items and tool-bar buttons (Tag = MachineKind): per-kind values, tool list,
    // holder, stock grid, mouse-move lock, family controls, origin shift with hidden panels, labels.
    void selectMachine(MachineKind kind);

    // Rewrites every value label and value-bearing menu caption.
    void refreshLabels();
    // The callbacks the editing commands use to refresh, repaint and show a caption.
    CommandHooks commandHooks();

    // The start-up in its order: selections, first page, tool lists, settings load, light bar, images,
    // ready flag, picture, settings apply.
    void startUp();

    // The close query: false while the DNC line is connected (after telling the user), otherwise the
    // user's answer to "終了しますか?", followed by the unsaved-program guard when the program was
    // edited.
    bool closeQuery();
    // The shutdown sequence after a confirmed close: stop effects, reset the DNC receive state, clear
    // the ready flag, stop every worker (serving their synchronous calls until they have ended), save
    // the settings.
    void close();
    // Releases what the process holds at its end.
    void processEnd();

    // Worker threads that close() must stop first.
    void registerWorker(BackgroundWork* w);
    void unregisterWorker(BackgroundWork* w);

    // Inverts one display switch (by its field name, e.g. "grid_on"), keeps its menu check mark and
    // button in step and asks for a repaint.
    void toggleDisplaySwitch(const std::string& field);
    bool displaySwitch(const std::string& field) const;

    // Every command that changes something visible ends here; ignored while settings are being read.
    void requestRepaint();
    int repaintCount() const { return repaints_; }

    void help();

    AppState& state() { return s_; }
    ControlSet& controls() { return cs_; }
    UiServices& ui() { return ui_; }
    MainThread& mainThread() { return mt_; }

  private:
    void setDisplaySwitch(const std::string& field, bool on);

    AppState& s_;
    ControlSet& cs_;
    UiServices& ui_;
    MainThread& mt_;
    std::vector<BackgroundWork*> workers_;
    CommandHooks commandHooks_;  // bound commands keep a reference to it
    int repaints_ = 0;
};

}  // namespace vantrel
