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
#include "app/scene_composer.h"
#include "app/scene_render_command.h"
#include "core/control_set.h"
#include "nc/playback.h"
#include "platform/scripted_ui_services.h"
#include "render/png_writer.h"
#include "render/raster.h"
#include "render/view.h"

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
    checkGolden("mill_opaque", picture(MachineKind::VerticalMill, [](AppState& s) { s.machine.seeThrough = false; }));
    checkGolden("lathe_opaque", picture(MachineKind::Lathe, [](AppState& s) { s.machine.seeThrough = false; }));
    checkGolden("lathe_general",
                picture(MachineKind::Lathe, [](AppState& s) { s.machine.generalPurposeLathe = true; }));
}

}  // namespace
}  // namespace vantrel
