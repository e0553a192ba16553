// The machine in the window's scene: the layer and its switches, the controls that drive it, the play
// that draws its moving parts over a still picture, the render command's --machine-parts, and golden
// pictures of every kind with every part (see tests/app/data/machine_golden/README.md).
//
// To re-accept the pictures after an intended change, run with VANTREL_ACCEPT_GOLDEN=1 (the test
// writes them and fails), look at every changed picture, and commit them only if they are right.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <functional>
#include <memory>
#include <sstream>
#include <string>

#include "app/application.h"
#include "app/headless_setup.h"
#include "app/machine_part_commands.h"
#include "app/main_window_controls.h"
#include "app/play_controller.h"
#include "app/scene_composer.h"
#include "cli/scene_render_command.h"
#include "core/control_set.h"
#include "render/png_writer.h"
#include "render/raster.h"
#include "render/view.h"
#include "support/scripted_ui_services.h"

namespace vantrel {
namespace {

std::string repoPath(const std::string& rel) {
    return std::string(VANTREL_SOURCE_DIR) + "/" + rel;
}

// A headless state of the kind at w x h with the machine shown, seen from further away than at
// start-up so that the whole machine fits.
std::unique_ptr<AppState> machineState(MachineKind kind, int w = 320, int h = 240) {
    auto s = std::make_unique<AppState>();
    HeadlessOptions opt;
    opt.kind = kind;
    setUpHeadlessState(*s, opt);
    s->window.clientWidth = w + s->window.panelLeft + kPanelRightWidth;
    s->window.clientHeight = h + s->window.panelTop + kPanelBottomHeight;
    s->display.kikai_on = true;
    s->display.grid_on = false;
    s->view.scale = 0.45;
    s->view.kyori = 3000;
    s->view.originX = w / 2;
    s->view.originY = h / 2;
    return s;
}

int countDiffering(const Image32& a, const Image32& b) {
    if (a.width() != b.width() || a.height() != b.height()) return -1;
    int n = 0;
    for (int y = 0; y < a.height(); ++y)
        for (int x = 0; x < a.width(); ++x) n += a.at(x, y) != b.at(x, y);
    return n;
}

void checkGolden(const std::string& name, const Image32& got) {
    const std::string golden = repoPath("tests/app/data/machine_golden/" + name + ".png");
    if (std::getenv("VANTREL_ACCEPT_GOLDEN")) {
        ASSERT_TRUE(writePng(golden, got));
        FAIL() << "wrote " << golden << ": look at it before committing";
    }
    Image32 want;
    ASSERT_TRUE(readPng(golden, want)) << golden;
    EXPECT_EQ(countDiffering(got, want), 0) << name;
}

Image32 picture(MachineKind kind, const std::function<void(AppState&)>& tweak = {}) {
    auto s = machineState(kind);
    if (tweak) tweak(*s);
    SceneComposer c(*s);
    c.repaintScene();
    return c.window();
}

TEST(MachineGolden, EveryKindWithEveryPart) {
    checkGolden("mill", picture(MachineKind::VerticalMill));
    checkGolden("hmill", picture(MachineKind::HorizontalMill));
    checkGolden("lathe", picture(MachineKind::Lathe));
    checkGolden("vlathe", picture(MachineKind::VerticalLathe));
    checkGolden("wire", picture(MachineKind::WireEdm));
}

TEST(MachineGolden, SeeThroughAndGeneralPurposeLathe) {
    // "透過" off: the enclosure and the lathe housing are drawn opaque on both sides.
    checkGolden("mill_opaque",
                picture(MachineKind::VerticalMill, [](AppState& s) { s.machine.seeThrough = false; }));
    checkGolden("lathe_opaque",
                picture(MachineKind::Lathe, [](AppState& s) { s.machine.seeThrough = false; }));
    checkGolden("lathe_general",
                picture(MachineKind::Lathe, [](AppState& s) { s.machine.generalPurposeLathe = true; }));
}

TEST(MachineLayer, HiddenMachineDrawsNothingEvenTheWireGuides) {
    auto none = [](AppState& s) {
        s.machine.showBody = s.machine.showVice = s.machine.showSpindle = false;
        s.machine.showChuck = s.machine.showTurret = false;
    };
    for (MachineKind k : {MachineKind::VerticalMill, MachineKind::Lathe, MachineKind::WireEdm}) {
        const Image32 off = picture(k, [](AppState& s) { s.display.kikai_on = false; });
        const Image32 on = picture(k);
        const Image32 bare = picture(k, none);
        EXPECT_GT(countDiffering(off, on), 1000) << static_cast<int>(k);
        if (k == MachineKind::WireEdm) {
            EXPECT_GT(countDiffering(off, bare), 0);  // the guides and the arm stay
        } else {
            EXPECT_EQ(countDiffering(off, bare), 0) << static_cast<int>(k);
        }
    }
}

TEST(MachineLayer, ChuckJawsTurnAtEachRepaintWhileTheSpindleRuns) {
    auto s = machineState(MachineKind::Lathe);
    SceneComposer c(*s);
    s->modal.spindle = 1;
    s->modal.spindleSpeed = 300;
    c.repaintScene();
    EXPECT_FLOAT_EQ(s->chuckPhase, 1.0f);
    c.repaintScene();
    EXPECT_FLOAT_EQ(s->chuckPhase, 2.0f);
    s->machine.showChuck = false;  // no jaws drawn, no turn
    c.repaintScene();
    EXPECT_FLOAT_EQ(s->chuckPhase, 2.0f);
}

// The window's controls through the control model, as a user works them.
struct Shell {
    AppState state;
    ControlSet controls;
    ScriptedUiServices ui;
    InlineMainThread mainThread;
    Application app{state, controls, ui, mainThread};
    Shell() { app.createControls(); }
};

TEST(MachineControls, PartBoxesChuckSizeAndTailstock) {
    Shell sh;
    ControlSet& cs = sh.controls;
    AppState& s = sh.state;
    int repaints = sh.app.repaintCount();
    cs.click("checkbox_bise");
    EXPECT_FALSE(s.machine.showVice);
    EXPECT_TRUE(s.machine.showBody);
    EXPECT_GT(sh.app.repaintCount(), repaints);
    cs.click("checkbox_spindle");
    EXPECT_FALSE(s.machine.showSpindle);
    EXPECT_FALSE(s.machine.spindleShown);
    cs.click("checkbox_touka");
    EXPECT_FALSE(s.machine.seeThrough);
    // Any part box sets the spindle-shown flag from the spindle box again.
    s.machine.spindleShown = true;
    cs.click("checkbox_hon");
    EXPECT_FALSE(s.machine.spindleShown);
    EXPECT_FALSE(s.machine.showBody);
    cs.click("checkbox_hanyou");
    EXPECT_TRUE(s.machine.generalPurposeLathe);
    cs.click("checkbox_chack");
    cs.click("checkbox_hamonodai");
    EXPECT_FALSE(s.machine.showChuck);
    EXPECT_FALSE(s.machine.showTurret);

    // Chuck size from the combo box and from the menu; each keeps the other in step.
    repaints = sh.app.repaintCount();
    cs.selectItem("combo_chack", 8);
    EXPECT_FLOAT_EQ(s.machine.chuckDiameter, 508.0f);
    EXPECT_TRUE(cs.checked("menu_chack20"));
    EXPECT_FALSE(cs.checked("menu_chack8"));
    cs.click("menu_chack4");
    EXPECT_FLOAT_EQ(s.machine.chuckDiameter, 101.6f);
    EXPECT_EQ(cs.itemIndex("combo_chack"), 0);
    EXPECT_TRUE(cs.checked("menu_chack4"));
    EXPECT_FALSE(cs.checked("menu_chack20"));
    EXPECT_EQ(sh.app.repaintCount(), repaints + 2);

    cs.moveTo("ScrollBar1", 2500);
    EXPECT_EQ(s.machine.tailstockPosition, 2500);

    // "詳細設定" opens the display options; their "×" closes them.
    EXPECT_FALSE(cs.visible("panel_hyoujiop"));
    cs.click("N43");
    EXPECT_TRUE(cs.visible("panel_hyoujiop"));
    cs.click("button_closehy");
    EXPECT_FALSE(cs.visible("panel_hyoujiop"));
}

// The spindle's pixels in a mill play: drawn at each step over the still picture, never into it.
TEST(MachinePlay, SpindleMovesOverTheStillPicture) {
    auto s = machineState(MachineKind::VerticalMill, 320, 240);
    s->view.scale = 1.2;
    s->view.kyori = 1000;
    s->view.originY = 200;
    SceneComposer c(*s);
    c.repaintScene();
    const Image32 withSpindle = c.window();
    const int64_t fullCopies = c.fullWindowCopies();
    c.playStart(kModeMillPlay);
    // The still picture leaves the spindle out, and the spindle flag follows "スピンドル" again.
    EXPECT_TRUE(s->machine.spindleShown);
    const Image32 still = c.scene().image();
    const int64_t afterStart = c.fullWindowCopies();
    Image32 firstStep;
    for (int i = 0; i < 10; ++i) {
        const Vec3 p{20.0 + 3 * i, 50, -2};
        s->pos.tool.set(p);
        c.millStep(p, true);
        if (i == 0) firstStep = c.window();
        PixelRect announced;
        for (const PixelRect& r : c.lastCopies()) announced.unite(r);
        // Each step announces less than the whole picture.
        EXPECT_LT(announced.area(), int64_t{320} * 240) << i;
    }
    EXPECT_EQ(c.fullWindowCopies(), afterStart);  // no full repaint during the steps
    // The spindle's outline shows in the window: pixels in the spindle's colours above the tool that
    // the still picture does not have.
    const ProjectedPoint head = projectPoint(s->view, Vec3{20, 50, -2 + 20 + 27 + 40 + 300});
    int changedAbove = 0;
    for (int y = 0; y < 240; ++y)
        for (int x = 0; x < 320; ++x)
            if (y < s->view.originY + head.py + 40 && firstStep.at(x, y) != still.at(x, y)) ++changedAbove;
    EXPECT_GT(changedAbove, 50);
    c.playEnd(false);
    // At the end the moving parts stand solid again where the play left them.
    EXPECT_GT(countDiffering(c.window(), still), 0);
    EXPECT_GT(fullCopies, 0);
    (void)withSpindle;
}

TEST(MachinePlay, SpindleFollowsADraggedTool) {
    auto s = machineState(MachineKind::VerticalMill);
    SceneComposer c(*s);
    s->machine.spindleShown = false;  // the picture a drag starts from leaves the spindle out
    c.repaintScene();
    s->machine.spindleShown = true;
    const Image32 still = c.scene().image();
    s->pos.tool.set({30, 40, 100});
    c.quickToolRedraw();
    // The spindle's outline stands over the tool in the window, in the head's colour; the scene image
    // keeps no spindle (the drag copies it to the window at each step).
    int outline = 0;
    for (int y = 0; y < still.height(); ++y)
        for (int x = 0; x < still.width(); ++x)
            if (c.window().at(x, y) != c.scene().image().at(x, y) &&
                c.window().at(x, y) == toPixel(s->colours[23]))
                ++outline;
    EXPECT_GT(outline, 100);
    s->display.kikai_on = false;
    c.quickToolRedraw();
    outline = 0;
    for (int y = 0; y < still.height(); ++y)
        for (int x = 0; x < still.width(); ++x)
            if (c.window().at(x, y) != c.scene().image().at(x, y) &&
                c.window().at(x, y) == toPixel(s->colours[23]))
                ++outline;
    EXPECT_EQ(outline, 0);
}

TEST(MachinePlay, LatheJawsAndTurretAtEachMoveRepaint) {
    auto s = machineState(MachineKind::Lathe);
    SceneComposer c(*s);
    c.repaintScene();
    s->modal.spindle = 1;
    s->modal.spindleSpeed = 300;
    const float phase = s->chuckPhase;
    c.playStart(kModeLathePlay);
    EXPECT_EQ(s->chuckPhase, phase);  // the still picture has no turning jaws
    for (int i = 1; i <= 3; ++i) {
        s->pos.tool.set({40.0 - i, 0, -10.0 * i});
        c.moveRepaint(kModeLathePlay);
        EXPECT_NEAR(s->chuckPhase, phase + i, 1e-5);
        EXPECT_FALSE(c.lastCopies().empty());
    }
    c.playEnd(false);
}

TEST(MachineRender, MachinePartsOption) {
    bool shown = false;
    MachinePartSwitches p;
    ASSERT_TRUE(parseMachineParts("vice,spindle,see-through", shown, p));
    EXPECT_TRUE(shown);
    EXPECT_TRUE(p.vice && p.spindle && p.seeThrough);
    EXPECT_FALSE(p.body || p.chuck || p.turret || p.generalLathe);
    ASSERT_TRUE(parseMachineParts("none", shown, p));
    EXPECT_FALSE(shown);
    EXPECT_FALSE(parseMachineParts("vice,tailstock", shown, p));
    EXPECT_FALSE(parseMachineParts("", shown, p));

    const std::string dir = testing::TempDir();
    auto render = [&](const std::string& name, std::vector<std::string> extra) {
        std::vector<std::string> args = {"--machine", "wire", "--size", "160x120", "--out", dir + name};
        args.insert(args.end(), extra.begin(), extra.end());
        std::ostringstream o, e;
        const int rc = runSceneRenderCommand(args, o, e);
        Image32 img;
        if (rc == 0) {
            EXPECT_TRUE(readPng(dir + name, img));
            std::remove((dir + name).c_str());
        }
        return std::pair{rc, img};
    };
    const auto plain = render("m_plain.png", {});
    const auto none = render("m_none.png", {"--machine-parts", "none"});
    const auto all = render("m_all.png", {"--machine-parts", "all"});
    const auto guides = render("m_guides.png", {"--machine-parts", "vice"});
    ASSERT_EQ(plain.first, 0);
    EXPECT_EQ(countDiffering(plain.second, none.second), 0);
    EXPECT_GT(countDiffering(plain.second, all.second), 0);
    // The wire EDM has no vice: what shows is the guides, drawn whatever the list says.
    EXPECT_GT(countDiffering(plain.second, guides.second), 0);
    EXPECT_GT(countDiffering(guides.second, all.second), 0);
    EXPECT_EQ(render("m_bad.png", {"--machine-parts", "spindel"}).first, 2);
}

}  // namespace
}  // namespace vantrel
