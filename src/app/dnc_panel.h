#pragma once
// The communication panel (panel_tuusin): the line settings, connect / disconnect, force send, the
// machine's DC1, reception into the program, and the panel's own buttons.
//
//   DncPanel dnc(app.state(), app.controls(), app.ui(), app.mainThread(), program, &input);
//   dnc.hooks.programChanged = [&] { editor.refresh(); };      // after received text went in
//   dnc.hooks.showLine = [&](int32_t line) { drawListing(line); };
//   app.registerWorker(&dnc);                                  // closing stops a running transfer
//
// Every transfer runs on its own thread (DncLink); this class works on the UI thread only and takes
// what the transfer and the watcher report through MainThread::post, so the program is only ever
// changed here, in the order the bytes came. While a play reads the program, received text waits
// and goes in when the play ends.
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "app/app_state.h"
#include "core/control_set.h"
#include "dnc/comm.h"
#include "dnc/dnc_link.h"
#include "platform/input_state.h"
#include "platform/main_thread.h"
#include "platform/ui_services.h"

namespace vantrel {

class TQuonStrings;

inline constexpr const char* kDncPanel = "panel_tuusin";
// Where the panel floats over the window, and its size.
inline constexpr int kDncPanelLeft = 200, kDncPanelTop = 29, kDncPanelWidth = 300, kDncPanelHeight = 430;

inline constexpr const char* kMsgDncConnectedPanel = "接続中!";
inline constexpr const char* kMsgForceSend = "送信します（右クリックで停止）";
inline constexpr const char* kCaptionForceSend = "強制送信";
inline constexpr const char* kCaptionSending = "送信中";
inline constexpr const char* kMsgNoDevice = "（デバイスなし）";

// The items of the panel's combo boxes.
const std::vector<std::string>& baudRateItems();
int32_t baudRateOfItem(int index);

// Registers the panel and its controls (hidden until "通信" opens it).
void addDncPanelControls(ControlSet& cs);
// Shows the settings in the panel's combo boxes and check boxes (no command runs); the
// settings store calls it after loading them.
void showDncSettings(const DncState& d, ControlSet& cs);
// The line settings as the panel's controls show them (after a settings load set them from code,
// which runs no combo command), written back into the state the panel connects with.
void readDncSettings(const ControlSet& cs, DncState& d);

class DncPanel : public BackgroundWork {
  public:
    struct Hooks {
        std::function<void()> programChanged;        // received text went into the program
        std::function<void(int32_t line)> showLine;  // the line being sent, in the listing
    };

    // `input` (may be null): its right mouse button stops a transfer before the next line.
    DncPanel(AppState& s, ControlSet& cs, UiServices& ui, MainThread& mt, TQuonStrings& program,
             const InputState* input = nullptr);
    ~DncPanel() override;

    Hooks hooks;

    // A play reads the program: received text waits until it ends.
    void setProgramLocked(bool locked);

    // BackgroundWork: the running transfer.
    bool running() const override { return link_.sending(); }
    void requestStop() override { link_.stopSend(); }
    void join() override { link_.joinSend(); }

    TComm& comm() { return comm_; }
    DncLink& link() { return link_; }
    // The default device of each port item: the first four serial devices found.
    static std::array<std::string, 4> defaultPortDevices();

  private:
    void bind();
    void connect(bool down);
    void forceSend();
    void sendFinished(const SendOutcome& o, DncLink::Origin origin);
    void applyReceived(const std::string& text, const std::string& lineBuffer);
    void setDefaults();
    void showDevice();
    void chooseDevice();
    void setConnectedControls(bool on);

    AppState& s_;
    ControlSet& cs_;
    UiServices& ui_;
    MainThread& mt_;
    TQuonStrings& program_;
    const InputState* input_;
    TComm comm_;
    DncLink link_{comm_};
    bool locked_ = false;
    std::string held_;  // received while a play ran
};

}  // namespace vantrel
