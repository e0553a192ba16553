// The tool changer's animation through a play: M06 shows 43 frames when the tool really changes,
// none for the same tool, none with the right button held, tool and holder hidden or on the wire
// EDM, and the change itself happens in every case.
#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "app/headless_setup.h"
#include "app/play_session.h"
#include "app/scene_composer.h"
#include "app/scene_playback_view.h"
#include "program/quon_strings.h"
#include "scene/tool_change_frames.h"

namespace vantrel {
namespace {

struct AnimatedPlay {
    std::unique_ptr<AppState> s = std::make_unique<AppState>();
    TQuonStrings program;
    std::unique_ptr<SceneComposer> composer;

    explicit AnimatedPlay(const std::string& text, MachineKind kind = MachineKind::VerticalMill) {
        s->machineKind = kind;
        s->window.clientWidth = 320 + s->window.panelLeft + kPanelRightWidth;
        s->window.clientHeight = 240 + s->window.panelTop + kPanelBottomHeight;
        initialiseToolTables(s->tools, kind);
        initialiseStockGrid(s->stockGrid, s->stock, kind);
        // Entry 0 is the list's placeholder; T1 and T2 follow.
        ToolRecord t1 = defaultMillTool(), t2 = defaultMillTool();
        t1.number = 1;
        t1.length = 50;
        t1.diameter = 10;
        t2.number = 2;
        t2.length = 70;
        t2.diameter = 6;
        s->tools.millTools = {defaultMillTool(), t1, t2};
        loadWorkingTool(s->tools, kind, 0);
        s->view.scale = 0.5;
        program.SetText(text);
        composer = std::make_unique<SceneComposer>(*s);
        // Spindle and magazine (500 mm apart along -X) both in the picture.
        s->view.originX = 220;
        s->view.originY = 200;
        composer->repaintScene();
    }

    struct Outcome {
        int64_t frames = 0;
        PlayResult result;
    };
    Outcome play(bool rightButtonHeld = false) {
        HeadlessPlay headless(*s, program);
        headless.input.rightButton = rightButtonHeld;
        PlaySession& session = headless.session();
        ScenePlaybackView drawing(*s, *composer, headless.mainThread);
        session.view().setDrawing(&drawing);
        Outcome o;
        o.result = session.controller().runNow(PlaybackController::modeFor(0, s->machineKind, false));
        o.frames = drawing.toolChangeFramesShown();
        return o;
    }
};

// T1 (0 -> 1: animated), T1 again (1 -> 1: nothing), T2 (1 -> 2: animated). The last M06 leaves Z at
// the reference Z less T2's total length.
const char* kTwoChanges = "%\nT1\nM06\nG00 X20. Y10.\nT1\nM06\nT2\nM06\nM30\n";

TEST(ToolChangeAnimation, FramesForEachRealChangeOnly) {
    AnimatedPlay p(kTwoChanges);
    ASSERT_TRUE(p.s->machine.atcAnimation);  // on by default
    const double t2Length = 70 + p.s->tools.millTools[2].holderLength + p.s->tools.holderBaseLength;
    const auto o = p.play();
    EXPECT_EQ(o.result.end, PlayEnd::M30);
    EXPECT_EQ(o.frames, 2 * kToolChangeFrames);
    EXPECT_NEAR(o.result.lastPosition.z, p.s->pos.reference.z - t2Length, 1e-9);
}

TEST(ToolChangeAnimation, NothingShownWhenHeldOffButTheToolStillChanges) {
    const double ref = std::make_unique<AppState>()->pos.reference.z;  // the state is too big for a stack
    {
        AnimatedPlay p(kTwoChanges);
        const auto o = p.play(/*rightButtonHeld=*/true);  // the right button ends each one at once
        EXPECT_EQ(o.frames, 0);
        EXPECT_LT(o.result.lastPosition.z, ref - 70);
    }
    {
        AnimatedPlay p(kTwoChanges);
        p.s->machine.atcAnimation = false;
        const auto o = p.play();
        EXPECT_EQ(o.frames, 0);
        EXPECT_LT(o.result.lastPosition.z, ref - 70);
    }
    {
        AnimatedPlay p(kTwoChanges);
        p.s->display.tool_on = false;
        p.s->display.holder_on = false;
        EXPECT_EQ(p.play().frames, 0);
    }
    {
        AnimatedPlay p(kTwoChanges);
        p.s->display.tool_on = false;  // the holder alone is still animated
        EXPECT_EQ(p.play().frames, 2 * kToolChangeFrames);
    }
    {
        AnimatedPlay p(kTwoChanges, MachineKind::WireEdm);  // M06 does nothing on the wire EDM
        const double z = p.s->pos.tool.get().z;
        const auto o = p.play();
        EXPECT_EQ(o.frames, 0);
        EXPECT_EQ(o.result.end, PlayEnd::M30);
        EXPECT_EQ(o.result.lastPosition.z, z);
    }
}

TEST(ToolChangeAnimation, AFrameDrawsBothToolsOverTheSceneAndTheLastRestoresIt) {
    AnimatedPlay p(kTwoChanges);
    SceneComposer& c = *p.composer;
    const std::vector<ToolChangeFrame> frames = c.toolChangeFrameList(1, 2);
    ASSERT_EQ(frames.size(), static_cast<size_t>(kToolChangeFrames));
    EXPECT_TRUE(c.toolChangeFrameList(1, 1).empty());
    EXPECT_TRUE(c.toolChangeFrameList(1, 3).empty());  // no such entry
    c.playStart(kModeMillPlay);
    int shownWindows = 0;
    c.onWindowUpdate = [&](int, int, int, int) { ++shownWindows; };
    c.showToolChangeFrame(1, 2, frames[0]);
    int differ = 0;
    const Image32& scene = c.scene().image();
    for (int y = 0; y < scene.height(); ++y)
        for (int x = 0; x < scene.width(); ++x) differ += scene.at(x, y) != c.window().at(x, y);
    EXPECT_GT(differ, 50);  // two tool outlines
    EXPECT_EQ(shownWindows, 1);
    c.snapshotFrame();
    differ = 0;
    for (int y = 0; y < scene.height(); ++y)
        for (int x = 0; x < scene.width(); ++x) differ += scene.at(x, y) != c.window().at(x, y);
    EXPECT_EQ(differ, 0);
    c.playEnd(false);
}

}  // namespace
}  // namespace vantrel
