#include <gtest/gtest.h>

#include <unistd.h>

#include <atomic>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <memory>
#include <thread>

#include "app/application.h"
#include "app/help_file.h"
#include "app/machine_defaults.h"
#include "app/main_window_controls.h"
#include "queue_main_thread.h"
#include "support/scripted_ui_services.h"

using namespace vantrel;
namespace fs = std::filesystem;

namespace {

struct Shell {
    AppState state;
    ControlSet controls;
    ScriptedUiServices ui;
    InlineMainThread mainThread;
    Application app{state, controls, ui, mainThread};
    Shell() { app.createControls(); }
};

}  // namespace

TEST(AppStateStartUp, EveryGroupHoldsItsStartUpValue) {
    AppState s;
    EXPECT_EQ(s.machineKind, MachineKind::VerticalMill);
    // Machine options
    EXPECT_EQ(s.machine.holderStandard, 2);
    EXPECT_EQ(s.machine.chuckSizeIndex, 3);
    EXPECT_EQ(s.machine.diameterDivisor, 1);
    EXPECT_EQ(s.machine.tCodeFormat, 0);
    EXPECT_TRUE(s.machine.atcAnimation);
    EXPECT_FALSE(s.machine.generalPurposeLathe);
    EXPECT_TRUE(s.machine.showBody && s.machine.showVice && s.machine.showSpindle && s.machine.showChuck &&
                s.machine.showTurret && s.machine.seeThrough && s.machine.spindleShown);
    EXPECT_FLOAT_EQ(s.machine.toolChangeX, -250);
    EXPECT_FLOAT_EQ(s.machine.toolChangeY, 100);
    EXPECT_EQ(s.machine.tailstockPosition, 1200);
    // Display switches: tool, holder, stock, CAD, grid, axes shown; no machine; no wireframes.
    const DisplaySwitches& d = s.display;
    EXPECT_TRUE(d.tool_on && d.holder_on && d.cad_on && d.grid_on && d.axis_on);
    EXPECT_EQ(s.stock.visible, 1);
    EXPECT_FALSE(d.kikai_on || d.kouwyer_on || d.zaiwyer_on || d.kikaiwyer_on || d.cadwyer_on);
    // Colours
    EXPECT_EQ(s.colours[0], 0xFFFFFFu);
    EXPECT_EQ(s.colours[7], 0x00FFFFu);
    EXPECT_EQ(s.colours[9], 0xA0A0A0u);
    EXPECT_EQ(s.colours[23], 0xC06040u);
    // Window
    EXPECT_EQ(s.window.caption, "Vantrel 3.71");
    EXPECT_EQ(s.window.clientWidth, 640);
    EXPECT_EQ(s.window.clientHeight, 480);
    EXPECT_EQ(s.window.panelTop, 29);
    EXPECT_EQ(s.window.panelLeft, 128);
    EXPECT_EQ(s.window.ready, 0);
    // View
    EXPECT_DOUBLE_EQ(s.view.scale, 1.5);
    EXPECT_DOUBLE_EQ(s.view.pendingScale, 1.5);
    EXPECT_FLOAT_EQ(s.view.kyori, 1000);
    EXPECT_FLOAT_EQ(s.view.eyeGap, 600);
    EXPECT_DOUBLE_EQ(s.view.viewA, kPi / 4);
    EXPECT_DOUBLE_EQ(s.view.viewB, -5 * kPi / 8);
    EXPECT_EQ(s.view.originX, 160);
    EXPECT_EQ(s.view.originY, 350);
    EXPECT_EQ(s.view.laypower, 5);
    EXPECT_EQ(s.view.mouseMode, 1);
    EXPECT_EQ(s.view.rotationCentre, 2);
    EXPECT_EQ(s.view.moveLock, 4);
    EXPECT_FALSE(s.view.parallel);
    EXPECT_FALSE(s.view.magnifierPending);
    // Stock
    EXPECT_FLOAT_EQ(s.stock.sizeX, 100);
    EXPECT_FLOAT_EQ(s.stock.sizeY, 100);
    EXPECT_FLOAT_EQ(s.stock.sizeZ, 50);
    EXPECT_FLOAT_EQ(s.stock.offsetZ, -50);
    EXPECT_EQ(s.stock.sides, 4);
    EXPECT_DOUBLE_EQ(s.stock.pitch, 1.0);
    EXPECT_TRUE(s.stock.cuttingEnabled);
    // Tools
    EXPECT_EQ(s.tools.t_cnt(), 1);
    EXPECT_EQ(s.tools.t_cnt_s(), 1);
    EXPECT_EQ(s.tools.currentToolIndex, 0);
    EXPECT_EQ(static_cast<uint32_t>(s.tools.workingTool.color), 0x00FFFFu);
    // Positions
    EXPECT_EQ(s.pos.toolPosition(), Vec3(0, 0, 437.25));
    EXPECT_EQ(s.pos.axis, Vec3(0, 0, 1));
    EXPECT_EQ(s.pos.reference, Vec3(0, 0, 500));
    EXPECT_DOUBLE_EQ(s.pos.rapidStep, 10);
    // R-arc overlay
    EXPECT_EQ(s.arc.start, Vec3(0, 0, 437.25));
    EXPECT_DOUBLE_EQ(s.arc.radius, 30);
    EXPECT_EQ(s.arc.plane, 0);
    // Play options
    EXPECT_EQ(s.play.playState, 10);
    EXPECT_FALSE(s.play.singleBlock || s.play.optionalStop || s.play.blockSkip || s.play.endless);
    EXPECT_EQ(s.play.speedStep, 1);
    EXPECT_TRUE(s.play.noseRadiusArcJoin && s.play.ignoreM0 && s.play.repaintAfterPlay);
    // Path display, grid, DNC, settings, picture
    EXPECT_FALSE(s.path.on);
    EXPECT_FLOAT_EQ(s.grid.gridX, 300);
    EXPECT_FLOAT_EQ(s.grid.gridZ, 0);
    EXPECT_FLOAT_EQ(s.grid.interval, 10);
    EXPECT_FLOAT_EQ(s.grid.axisZ, 200);
    EXPECT_FALSE(s.dnc.connected);
    EXPECT_TRUE(s.settings.autoSave);
    EXPECT_EQ(s.picture.pictureMode, 0);
    EXPECT_EQ(s.picture.effectKind, 255);
}

TEST(AppStateStartUp, StartUpSelectsDefaultsAndSetsChuckDiameter) {
    Shell sh;
    std::vector<std::string> order;
    sh.app.hooks.resetToolLists = [&] { order.push_back("tools"); };
    sh.app.hooks.loadSettings = [&] {
        order.push_back("load");
        EXPECT_FALSE(sh.state.window.settingsReady);
        sh.state.view.laypower = 8;
    };
    sh.app.hooks.prepareImages = [&] { order.push_back("images"); };
    sh.app.hooks.applySettings = [&] {
        order.push_back("apply");
        EXPECT_EQ(sh.state.window.ready, 1);
    };
    sh.app.startUp();
    EXPECT_EQ(order, (std::vector<std::string>{"tools", "load", "images", "apply"}));
    EXPECT_NEAR(sh.state.machine.chuckDiameter, 203.2, 1e-4);
    EXPECT_EQ(sh.controls.position("ScrollBar2"), 8);
    EXPECT_EQ(sh.controls.itemIndex("combo_holder"), 2);
    EXPECT_EQ(sh.controls.itemIndex("combo_chack"), 3);
    EXPECT_TRUE(sh.controls.checked("ini1"));
    EXPECT_TRUE(sh.state.window.settingsReady);
}

TEST(MachineKindDefaults, AllFiveKinds) {
    struct Row {
        MachineKind kind;
        double a, b;
        int ox, oy;
        uint8_t lock;
        Vec3 pos, axis, ref;
        int plane;
        float zx, zy, zz, zzoff, ax, ay, az;
    };
    const Row rows[] = {
        {MachineKind::VerticalMill,
         kPi / 4,
         -5 * kPi / 8,
         160,
         350,
         4,
         {0, 0, 435},
         {0, 0, 1},
         {0, 0, 500},
         0,
         100,
         100,
         50,
         -50,
         200,
         200,
         200},
        {MachineKind::HorizontalMill,
         kPi / 6,
         kPi,
         100,
         250,
         4,
         {0, 0, 435},
         {0, 0, 1},
         {0, 0, 500},
         0,
         100,
         100,
         50,
         -50,
         200,
         200,
         200},
        {MachineKind::Lathe,
         3 * kPi / 8,
         5 * kPi / 8,
         100,
         260,
         1,
         {150, 0, 400},
         {1, 0, 0},
         {150, 0, 400},
         1,
         100,
         0,
         150,
         0,
         200,
         100,
         100},
        {MachineKind::VerticalLathe,
         3 * kPi / 8,
         -kPi / 3,
         160,
         280,
         1,
         {150, 0, 400},
         {1, 0, 0},
         {150, 0, 400},
         1,
         100,
         0,
         150,
         0,
         200,
         100,
         100},
        {MachineKind::WireEdm,
         kPi / 3,
         -5 * kPi / 8,
         160,
         260,
         0,
         {0, 0, 0},
         {0, 0, 0},
         {0, 0, 0},
         0,
         100,
         100,
         10,
         0,
         200,
         200,
         50},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(static_cast<int>(r.kind));
        AppState s;
        s.view.kyori = 5;
        s.view.scale = 3;
        applyMachineKindDefaults(s, r.kind, /*radiusProgramming=*/false);
        EXPECT_DOUBLE_EQ(s.view.viewA, r.a);
        EXPECT_DOUBLE_EQ(s.view.viewB, r.b);
        EXPECT_EQ(s.view.originX, r.ox);
        EXPECT_EQ(s.view.originY, r.oy);
        EXPECT_EQ(s.view.moveLock, r.lock);
        EXPECT_FLOAT_EQ(s.view.kyori, 1000);
        EXPECT_DOUBLE_EQ(s.view.scale, 1.5);
        EXPECT_EQ(s.pos.toolPosition(), r.pos);
        EXPECT_EQ(s.pos.axis, r.axis);
        EXPECT_EQ(s.pos.reference, r.ref);
        EXPECT_EQ(s.arc.plane, r.plane);
        EXPECT_FLOAT_EQ(s.stock.sizeX, r.zx);
        EXPECT_FLOAT_EQ(s.stock.sizeY, r.zy);
        EXPECT_FLOAT_EQ(s.stock.sizeZ, r.zz);
        EXPECT_FLOAT_EQ(s.stock.offsetZ, r.zzoff);
        EXPECT_FLOAT_EQ(s.grid.axisX, r.ax);
        EXPECT_FLOAT_EQ(s.grid.axisY, r.ay);
        EXPECT_FLOAT_EQ(s.grid.axisZ, r.az);
        EXPECT_EQ(s.machine.diameterDivisor, isTurning(r.kind) ? 2 : 1);
    }
    AppState s;
    applyMachineKindDefaults(s, MachineKind::Lathe, /*radiusProgramming=*/true);
    EXPECT_EQ(s.machine.diameterDivisor, 1);
}

TEST(MachineKindDefaults, FamilyControls) {
    ControlSet cs;
    addMainWindowControls(cs);
    for (const char* n : {"ComboBox1", "ComboBox2", "Label32", "Label39", "button_t_new"}) {
        Control c;
        c.name = n;
        c.kind = ControlKind::Label;
        cs.add(c);
    }
    applyFamilyControls(cs, MachineKind::Lathe);
    EXPECT_FALSE(cs.enabled("N35"));
    EXPECT_FALSE(cs.enabled("menu_playfast"));
    EXPECT_FALSE(cs.checked("menu_okupitch"));
    EXPECT_TRUE(cs.enabled("ComboBox2"));
    EXPECT_EQ(cs.items("ComboBox2").size(), 15u);
    EXPECT_EQ(cs.items("ComboBox2")[14], "内ねじ左");
    EXPECT_EQ(cs.caption("Label32"), "外径");
    EXPECT_FALSE(cs.visible("Label39"));
    EXPECT_FALSE(cs.enabled("menu_repaint"));
    applyFamilyControls(cs, MachineKind::WireEdm);
    EXPECT_TRUE(cs.enabled("N35"));
    EXPECT_TRUE(cs.checked("menu_okupitch"));
    EXPECT_FALSE(cs.enabled("ComboBox1"));
    EXPECT_FALSE(cs.enabled("ComboBox2"));
    EXPECT_FALSE(cs.enabled("button_t_new"));
    EXPECT_EQ(cs.caption("Label32"), "Ｘ（長さ）");
    EXPECT_TRUE(cs.visible("Label39"));
    applyFamilyControls(cs, MachineKind::VerticalMill);
    EXPECT_TRUE(cs.enabled("menu_repaint"));
    EXPECT_TRUE(cs.enabled("ComboBox1"));
    EXPECT_TRUE(cs.enabled("button_t_new"));
}

TEST(DisplaySwitches, MenuAndButtonToggleTogetherAndRepaintOnce) {
    Shell sh;
    sh.app.startUp();
    int repaints = 0;
    sh.app.hooks.repaint = [&] { ++repaints; };
    sh.controls.click("sb_showgrid");
    EXPECT_FALSE(sh.state.display.grid_on);
    EXPECT_FALSE(sh.controls.checked("menu_grid"));
    EXPECT_FALSE(sh.controls.checked("sb_showgrid"));
    EXPECT_EQ(repaints, 1);
    sh.controls.click("menu_grid");
    EXPECT_TRUE(sh.state.display.grid_on);
    EXPECT_TRUE(sh.controls.checked("sb_showgrid"));
    EXPECT_EQ(repaints, 2);
    // Every switch, from its menu item, twice: field, check mark and button agree each time.
    for (const auto& sw : displaySwitchControls()) {
        SCOPED_TRACE(sw.field);
        bool before = sh.app.displaySwitch(sw.field);
        sh.controls.click(sw.menuItem);
        EXPECT_EQ(sh.app.displaySwitch(sw.field), !before);
        EXPECT_EQ(sh.controls.checked(sw.menuItem), !before);
        EXPECT_EQ(sh.controls.checked(sw.button), !before);
        sh.controls.click(sw.button);
        EXPECT_EQ(sh.app.displaySwitch(sw.field), before);
        EXPECT_EQ(sh.controls.checked(sw.button), before);
    }
    EXPECT_EQ(repaints, 2 + 2 * static_cast<int>(displaySwitchControls().size()));
    // The machine body starts hidden, the stock shown.
    const auto fresh = std::make_unique<AppState>();
    EXPECT_FALSE(fresh->display.kikai_on);
}

TEST(DisplaySwitches, RepaintRequestsAreDroppedWhileSettingsLoad) {
    Shell sh;
    int repaints = 0;
    sh.app.hooks.repaint = [&] { ++repaints; };
    sh.app.hooks.loadSettings = [&] {
        sh.app.requestRepaint();
        sh.controls.click("sb_showaxis");  // a check box or menu set while loading repaints nothing
    };
    sh.app.startUp();
    EXPECT_EQ(repaints, 0);
    EXPECT_FALSE(sh.state.display.axis_on);  // the toggle itself still took effect
    sh.app.requestRepaint();
    EXPECT_EQ(repaints, 1);
}

TEST(CloseQuery, ConnectedRefusesEveryTime) {
    Shell sh;
    sh.state.dnc.connected = true;
    sh.ui.yesNoAnswers = {true, true};
    EXPECT_FALSE(sh.app.closeQuery());
    EXPECT_FALSE(sh.app.closeQuery());
    EXPECT_EQ(sh.ui.log, (std::vector<std::string>{"message:接続中です", "message:接続中です"}));
    sh.state.dnc.connected = false;
    EXPECT_TRUE(sh.app.closeQuery());
    EXPECT_EQ(sh.ui.log.back(), "ask:終了しますか?");
}

TEST(CloseQuery, NoKeepsRunningYesRunsShutdownInOrder) {
    Shell sh;
    sh.app.startUp();
    std::vector<std::string> order;
    sh.app.hooks.resetDncReceive = [&] { order.push_back("dnc"); };
    sh.app.hooks.saveSettings = [&] {
        order.push_back("save");
        EXPECT_EQ(sh.state.window.ready, 0);
        EXPECT_EQ(sh.state.picture.effectKind, 255);
    };
    bool closed = false;
    sh.app.hooks.requestClose = [&] {
        if (sh.app.closeQuery()) {
            sh.app.close();
            closed = true;
        }
    };
    sh.ui.yesNoAnswers = {false};
    sh.controls.click("sb_end");
    EXPECT_FALSE(closed);
    EXPECT_TRUE(order.empty());
    EXPECT_EQ(sh.state.window.ready, 1);
    sh.state.picture.effectKind = 3;
    sh.ui.yesNoAnswers = {true};
    sh.controls.click("Exit1");
    EXPECT_TRUE(closed);
    EXPECT_EQ(order, (std::vector<std::string>{"dnc", "save"}));
}

namespace {
// A worker that keeps making synchronous calls to the UI thread until asked to stop.
class FakeWorker : public BackgroundWork {
  public:
    explicit FakeWorker(MainThread& mt) : mt_(mt) {}
    void start() {
        running_ = true;
        th_ = std::thread([this] {
            while (!stop_) mt_.invoke([this] { ++calls; });
            running_ = false;
        });
    }
    bool running() const override { return running_; }
    void requestStop() override { stop_ = true; }
    void join() override {
        if (th_.joinable()) th_.join();
    }
    std::atomic<int> calls{0};

  private:
    MainThread& mt_;
    std::thread th_;
    std::atomic<bool> stop_{false}, running_{false};
};

}  // namespace

TEST(CloseQuery, ShutdownStopsWorkersWhileServingTheirCalls) {
    AppState state;
    ControlSet controls;
    ScriptedUiServices ui;
    QueueMainThread mt;
    Application app(state, controls, ui, mt);
    app.createControls();
    FakeWorker worker(mt);
    app.registerWorker(&worker);
    bool savedAfterWorkerEnded = false;
    app.hooks.saveSettings = [&] { savedAfterWorkerEnded = !worker.running(); };
    worker.start();
    // Let the worker block in a synchronous call first.
    mt.processPending(50);
    app.close();  // must not deadlock although the worker waits on this thread
    EXPECT_FALSE(worker.running());
    EXPECT_TRUE(savedAfterWorkerEnded);
    EXPECT_GT(worker.calls.load(), 0);
}

TEST(HelpCommand, OpensTheFirstHelpPageFound) {
    // The folders: current directory first, then the installed data folder beside the executable.
    const std::vector<std::string> folders = helpSearchFolders();
    ASSERT_GE(folders.size(), 2u);
    EXPECT_EQ(folders[0], "");
    EXPECT_EQ(fs::path(folders[1]).filename(), "vantrel");
    EXPECT_EQ(fs::path(folders[1]).parent_path().filename(), "share");

    const fs::path dir = fs::temp_directory_path() / ("vantrel_help_" + std::to_string(::getpid()));
    fs::remove_all(dir);
    fs::create_directories(dir / "installed");
    fs::create_directories(dir / "source");
    fs::create_directories(dir / "cwd");
    const std::vector<std::string> mine{"", (dir / "installed").string(), (dir / "source").string()};
    const fs::path before = fs::current_path();
    fs::current_path(dir / "cwd");
    EXPECT_EQ(findHelpFile(mine), std::nullopt);
    std::ofstream(dir / "source" / kHelpFile) << "<html></html>";
    EXPECT_EQ(findHelpFile(mine), (dir / "source" / kHelpFile).string());
    std::ofstream(dir / "installed" / kHelpFile) << "<html></html>";
    EXPECT_EQ(findHelpFile(mine), (dir / "installed" / kHelpFile).string());
    std::ofstream(dir / "cwd" / kHelpFile) << "<html></html>";
    EXPECT_EQ(findHelpFile(mine), std::string(kHelpFile));  // the plain name, as it always was
    // The menu command opens the page of the current folder.
    Shell sh;
    sh.controls.click("menu_help");
    EXPECT_EQ(sh.ui.openedDocuments, (std::vector<std::string>{"vantrelhelp.html"}));
    fs::current_path(before);
    fs::remove_all(dir);
    // Run from the build folder, the source tree's page is found.
    Shell fromBuild;
    fromBuild.controls.click("menu_help");
    ASSERT_EQ(fromBuild.ui.openedDocuments.size(), 1u);
    EXPECT_TRUE(fs::is_regular_file(fromBuild.ui.openedDocuments[0]));
    EXPECT_TRUE(fromBuild.ui.messages.empty());
}

TEST(MainWindowControls, CaptionsHintsTagsAndCodeSetRules) {
    ControlSet cs;
    addMainWindowControls(cs);
    EXPECT_EQ(cs.caption("menu_kikai2"), "【普通NC旋盤】");
    EXPECT_EQ(cs.tag("menu_kikai2"), 2);
    EXPECT_EQ(cs.tag("sb_kikai1"), 2);
    EXPECT_EQ(cs.tag("sb_kikai2"), 4);
    EXPECT_EQ(cs.get("sb_kikai2").hint, "ワイヤー放電加工機");
    EXPECT_EQ(cs.get("sb_opengl").hint, "OpenGLを使って描画します");
    EXPECT_EQ(cs.tag("menu_hsk100"), 6);
    EXPECT_EQ(cs.tag("menu_chack20"), 20);
    EXPECT_EQ(cs.caption("menu_ichigime"), "位置決め速度　10");
    EXPECT_FALSE(cs.enabled("menu_kcolor"));
    EXPECT_FALSE(cs.enabled("CAD2"));
    EXPECT_FALSE(cs.visible("panel_grid"));
    EXPECT_EQ(cs.items("combo_chack").size(), 9u);
    // The machine buttons are one radio group.
    cs.click("sb_kikai1");
    EXPECT_TRUE(cs.checked("sb_kikai1"));
    EXPECT_FALSE(cs.checked("sb_kikai0"));
    // Play buttons: at most one down, all may be up.
    cs.click("sb_play");
    cs.click("sb_playstep");
    EXPECT_FALSE(cs.checked("sb_play"));
    cs.click("sb_playstep");
    EXPECT_FALSE(cs.checked("sb_playstep"));
    // A check box set from code runs its command; the machine menu's check mark does not.
    int atc = 0, menu = 0;
    cs.bind("checkbox_atc", [&](const Control&) { ++atc; });
    cs.bind("menu_atc", [&](const Control&) { ++menu; });
    cs.setCheckBox("checkbox_atc", false);
    cs.setChecked("menu_atc", false);
    EXPECT_EQ(atc, 1);
    EXPECT_EQ(menu, 0);
}

TEST(MachineSelection, LatheThenMillAndTheSameKindAgain) {
    Shell sh;
    sh.app.bindSubsystemCommands(nullptr);
    sh.app.startUp();
    int repaints = 0;
    sh.app.hooks.repaint = [&] { ++repaints; };
    sh.controls.click("sb_kikai1");  // lathe
    EXPECT_EQ(sh.state.machineKind, MachineKind::Lathe);
    EXPECT_TRUE(sh.controls.checked("menu_kikai2"));
    EXPECT_FALSE(sh.controls.checked("menu_kikai0"));
    EXPECT_EQ(sh.controls.caption("menu_kikai"), "機械（旋盤）");
    EXPECT_TRUE(sh.controls.checked("sb_mouse_xz"));
    EXPECT_TRUE(sh.controls.enabled("ComboBox2"));
    EXPECT_EQ(sh.state.pos.toolPosition(), Vec3(150, 0, 400));
    EXPECT_EQ(sh.state.machine.diameterDivisor, 2);  // "半径値指令" starts unchecked: X words are diameters
    EXPECT_EQ(repaints, 1);

    sh.controls.click("menu_kikai0");  // back to the vertical mill
    EXPECT_EQ(sh.state.machineKind, MachineKind::VerticalMill);
    EXPECT_EQ(sh.state.pos.toolPosition(), Vec3(0, 0, 435));
    EXPECT_FLOAT_EQ(sh.state.stock.sizeX, 100);
    EXPECT_FLOAT_EQ(sh.state.stock.sizeY, 100);
    EXPECT_FLOAT_EQ(sh.state.stock.sizeZ, 50);
    EXPECT_FLOAT_EQ(sh.state.stock.offsetZ, -50);
    EXPECT_EQ(sh.state.view.originX, 160);
    EXPECT_EQ(sh.state.view.originY, 350);
    EXPECT_TRUE(sh.controls.enabled("ComboBox1"));
    EXPECT_FALSE(sh.controls.enabled("ComboBox2"));
    EXPECT_FALSE(sh.controls.checked("sb_mouse_xz"));
    EXPECT_TRUE(sh.controls.checked("sb_kikai0"));
    EXPECT_EQ(sh.state.pos.axis, Vec3(0, 0, 1));

    // The kind already selected: no message, no reset of the view.
    sh.state.view.scale = 4;
    sh.controls.click("menu_kikai0");
    EXPECT_DOUBLE_EQ(sh.state.view.scale, 4);
    EXPECT_TRUE(sh.ui.messages.empty());
}

TEST(MachineSelection, WireIsSelectedWithoutMessageAndHiddenPanelsShiftTheOrigin) {
    Shell sh;
    sh.app.bindSubsystemCommands(nullptr);
    sh.app.startUp();
    sh.controls.setChecked("menu_paneloff", true);
    sh.controls.click("sb_kikai2");
    EXPECT_TRUE(sh.ui.messages.empty());  // the wire EDM plays: nothing to excuse
    EXPECT_EQ(sh.state.machineKind, MachineKind::WireEdm);
    EXPECT_EQ(sh.state.view.originX, 160 + 128);
    EXPECT_EQ(sh.state.view.originY, 260 + 29);
    EXPECT_TRUE(sh.controls.checked("sb_mouse_xy"));
    EXPECT_FALSE(sh.controls.enabled("ComboBox1"));
}
