#pragma once
// The one process-wide record of every long-lived value. Each group is defined by the subsystem that
// gives it meaning; this file only gathers them and adds the groups of the application shell itself
// (machine selection, machine options, display switches, colours, window layout).
//
// Values that the playback thread reads while the UI thread may write them (display switches, tool
// position, machine-part switches) are Shared<T>, a copyable relaxed atomic.
#include <array>
#include <cstdint>
#include <string>
#include "core/version.h"

#include <mutex>
#include "app/play_options.h"
#include "core/image32.h"
#include "core/machine_kind.h"
#include "core/shared_value.h"
#include "core/vec3.h"
#include "nc/modal_state.h"
#include "nc/motion.h"
#include "nc/turning_programming.h"
#include "render/view_state.h"
#include "stock/material_removal.h"
#include "stock/stock_spec.h"
#include "tools/tool_table.h"

namespace vantrel {

// Holder standards (combo_holder, menu_bt0 ... menu_hsk100).
enum class HolderStandard : int32_t { None = 0, BT30, BT40, BT50, HSK_A50, HSK_A63, HSK_A100 };

inline constexpr std::array<int, 9> kChuckInches = {4, 5, 6, 8, 10, 12, 15, 18, 20};

struct MachineOptions {
    int32_t holderStandard = static_cast<int32_t>(HolderStandard::BT40);
    int32_t chuckSizeIndex = 3;      // combo_chack index: 8 inch
    float chuckDiameter = 203.2f;    // inches x 25.4, set from the chuck size at start-up
    int8_t diameterDivisor = 1;      // +1 radius X words, +2 diameter X words; negated by the reversal
    bool radiusProgramming = false;  // "半径値指令" (checkbox_hankei, menu_kikai_hankei)
    int32_t tCodeFormat = 0;         // 0 "T** **", 1 "T*** ***", 2 "T**** ****"
    // What the turning dialect reads the programs with (the divisor of a lathe is never 0).
    TurningProgramming turningProgramming() const {
        TurningProgramming p;
        p.diameterDivisor = diameterDivisor == 0 ? int8_t{2} : diameterDivisor;
        p.tFormat = tCodeFormat >= 0 && tCodeFormat <= 2 ? tCodeFormat : 0;
        return p;
    }
    bool atcAnimation = true;
    bool generalPurposeLathe = false;  // checkbox_hanyou
    Shared<bool> showBody = true, showVice = true, showSpindle = true, showChuck = true, showTurret = true,
                 seeThrough = true;
    Shared<bool> spindleShown = true;
    float toolChangeX = -250, toolChangeY = 100;
    int32_t tailstockPosition = 1200;  // ScrollBar1
};

// The show/hide and wireframe switches of the scene's objects. zai_type lives in StockSpec::visible.
struct DisplaySwitches {
    Shared<bool> tool_on = true;
    Shared<bool> holder_on = true;
    Shared<bool> kikai_on = false;
    Shared<bool> cad_on = true;
    Shared<bool> grid_on = true;
    Shared<bool> axis_on = true;
    Shared<bool> kouwyer_on = false;
    Shared<bool> zaiwyer_on = false;
    Shared<bool> kikaiwyer_on = false;
    Shared<bool> cadwyer_on = false;
};

// 24 colours, 0x00BBGGRR.
struct ColourPalette {
    static constexpr int kBack = 0, kTool = 7, kZai = 9;
    std::array<uint32_t, 24> c = {0xFFFFFF, 0x000000, 0x0000FF, 0xFF0000, 0x808080, 0x800080,
                                  0x008080, 0x00FFFF, 0x800080, 0xA0A0A0, 0xFF0000, 0x0000FF,
                                  0xFFFF00, 0xC0C0C0, 0x808080, 0x606060, 0x808080, 0xA0A0A0,
                                  0xE0F0F0, 0xDFDFDF, 0xDF0000, 0x404040, 0x808080, 0xC06040};
    uint32_t& operator[](int i) { return c[static_cast<size_t>(i)]; }
    uint32_t operator[](int i) const { return c[static_cast<size_t>(i)]; }
    uint32_t back() const { return c[kBack]; }
};

struct WindowLayout {
    std::string caption = kMainWindowCaption;
    int clientWidth = 640, clientHeight = 480;
    int panelTop = 29;                  // height of the top tool bar Panel7
    int panelLeft = 128;                // width of the coordinate panel Panel1
    Shared<int> ready = 0;              // the window's tag: 1 between creation and the start of closing
    Shared<bool> settingsReady = true;  // false while the stored settings are read
};

// Current tool position, angles, axis, reference point and rapid step.
struct Positions {
    ToolPosition tool;           // the current tool position, written by the steppers
    double a = 0, b = 0, c = 0;  // tool angles A, B, C
    Vec3 axis{0, 0, 1};          // tool axis vector
    Vec3 reference{0, 0, 500};   // machine reference point
    double rapidStep = 10;
    Positions() {
        tool.set({0, 0, 437.25});
        tool.setShown({0, 0, 437.25});
    }
    Vec3 toolPosition() const { return tool.get(); }
    void setToolPosition(const Vec3& p) { tool.set(p); }
};

struct ArcOverlay {
    Vec3 start{0, 0, 437.25}, end{0, 0, 437.25};
    double a = 0, b = 0, c = 0;
    Vec3 axis{0, 0, 1};
    double radius = 30;
    int32_t plane = 0;  // 0 XY, 1 ZX, 2 YZ
    Vec3 centre1{}, centre2{};
};

struct PathDisplay {
    bool on = false;
};

struct GridAxes {
    float gridX = 300, gridY = 300, gridZ = 0;
    float centreX = 0, centreY = 0, centreZ = 0;
    float interval = 10;
    float axisX = 200, axisY = 200, axisZ = 200;
};

// The communication panel. The settings are the item indices of its combo boxes and its two check
// boxes, as the settings store keeps them; portDevices is the device behind each item of combo_port.
struct DncState {
    Shared<bool> connected = false;
    int32_t receiveState = 0;  // idle
    int32_t baudrate = 6;      // "9600bps"
    int32_t bytesize = 4;      // "８ビット"
    int32_t port = 0;          // "１"
    int32_t parity = 0;        // "なし"
    int32_t stopbit = 0;       // "１ビット"
    int32_t flow = 2;          // "DC1/DC3"
    int32_t code = 1;          // "ＩＳＯ"
    bool eor = false;
    bool cr = false;
    std::array<std::string, 4> portDevices;
    int32_t transferCode = 1;  // 0 EIA, 1 ISO, 2 hexadecimal, 3 ASCII (from code)
    bool softwareFlow = true;  // flow is "DC1/DC3"
    std::string lineBuffer;    // the received hexadecimal line being assembled
};

struct SettingsPersistence {
    bool autoSave = true;  // ini1 "設定を自動保存"
    // Read from the store, never written back: whether a program text was loaded at the last exit and
    // the default file name of the program-text open dialog.
    bool programTextLoaded = false;
    std::string programDialogFile;
};

// The background picture, its effects and the media player (the screen tab "画面").
struct PictureState {
    int32_t pictureMode = 0;  // 0 none, 1 centred, 2 fitted to the scene, 3 on a plane
    Image32 pictureImage;     // as loaded (and as the running effect renders it); empty until one is chosen
    std::string fileName;     // the picture last loaded ("backpicture")
    Image32 pictureCopy;      // the picture as it was when the running effect started
    Shared<int32_t> effectKind = 255;  // 255 stopped
    float effectPhase = 0;
    int16_t effectAmplitude = 0;
    int16_t fadeLevel = 0;
    int32_t monoLevels = 256;  // grey levels of the next "白黒" step
    // The last mouse position over the view, the magnifier's centre (kept only while no program plays).
    int32_t lensX = 0, lensY = 0;
    bool mediaPlaying = false;
};

struct AppState {
    MachineKind machineKind = MachineKind::VerticalMill;
    MachineOptions machine;
    DisplaySwitches display;
    ColourPalette colours;
    WindowLayout window;
    ViewState view;
    StockSpec stock;
    StockGrid stockGrid;    // the discretised stock: one block, allocated once
    std::mutex stockMutex;  // held while the stock grid is cut or read for drawing
    // The nodes lowered by the play's cuts since the scene last drew them (under stockMutex).
    StockChange stockChanges;
    ToolTable tools;
    Positions pos;
    ArcOverlay arc;
    ModalState modal;
    PlayOptions play;
    PathDisplay path;
    GridAxes grid;
    DncState dnc;
    SettingsPersistence settings;
    double inputValue = 0;  // the value being edited in the keypad dialog
    // The lathe chuck jaws' turn, advanced each time they are drawn while the spindle turns forward.
    float chuckPhase = 0;
    Shared<bool> openGlOn = false;          // sb_opengl: draw through OpenGL (always off until it exists)
    Shared<int32_t> machineKindShared = 0;  // machineKind for the playback thread
    PictureState picture;
};

}  // namespace vantrel
