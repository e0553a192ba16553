// What the scene and the tool library see of a play: the spindle turns in the scene while M03 is in
// force and stands still after M05; the T word follows the machine's T format.
#include <gtest/gtest.h>

#include <map>
#include <memory>

#include "app/headless_setup.h"
#include "app/scene_composer.h"
#include "app/scene_playback_view.h"
#include "program/quon_strings.h"
#include "tools/tool_table.h"

namespace vantrel {
namespace {

// Passes everything to the scene's view and notes, per source line, what was seen as its pieces began.
class Watch : public ForwardingPlaybackView {
  public:
    std::function<void(int32_t)> onPiece;
    void pieceStarted(const MotionSegment& piece, int32_t line) override {
        if (onPiece) onPiece(line);
        ForwardingPlaybackView::pieceStarted(piece, line);
    }
};

TEST(PlayFaults, TheSpindleTurnsInTheSceneUnderM03AndStopsAfterM05) {
    TQuonStrings program;
    program.SetText("O0001\nG90 G00 X10. Y10. Z5.\nS1000 M03\nG01 Z-1. F3000\nX40.\nM05\nX10.\nY40.\nM30\n");
    auto s = std::make_unique<AppState>();
    setUpHeadlessState(*s, HeadlessOptions{});
    s->window.clientWidth = 400 + s->window.panelLeft + kPanelRightWidth;
    s->window.clientHeight = 300 + s->window.panelTop + kPanelBottomHeight;
    s->window.settingsReady = true;
    s->view.scale = 2;
    HeadlessPlay headless(*s, program);
    SceneComposer composer(*s);
    composer.repaintScene();
    ScenePlaybackView scene(*s, composer, headless.mainThread);
    Watch watch;
    watch.setNext(&scene);
    headless.session().view().setDrawing(&watch);
    std::map<int32_t, float> phaseAt;
    std::map<int32_t, int32_t> spindleAt;
    watch.onPiece = [&](int32_t line) {
        phaseAt[line] = composer.spinPhase();
        spindleAt[line] = s->modal.spindle;
    };
    const PlayResult r = headless.session().controller().runNow(kModeMillPlay);
    ASSERT_EQ(r.end, PlayEnd::M30);
    ASSERT_GT(scene.drawnSteps(), 0) << composer.window().width();
    EXPECT_EQ(spindleAt[1], 0);
    EXPECT_EQ(spindleAt[3], 1);
    EXPECT_EQ(spindleAt[6], 0);
    // The plunge of line 3 was drawn step by step with the spindle turning; after M05 it stands still.
    EXPECT_NE(phaseAt[3], phaseAt[4]);
    EXPECT_EQ(phaseAt[6], phaseAt[7]);
    EXPECT_EQ(s->modal.spindle, 0);  // and it stops with the play
}

TEST(PlayFaults, TheTWordIsReadInTheMachinesTFormat) {
    auto s = std::make_unique<AppState>();
    HeadlessOptions opt;
    opt.kind = MachineKind::Lathe;
    setUpHeadlessState(*s, opt);
    std::vector<ToolRecord>* list = toolListFor(s->tools, MachineKind::Lathe);
    ASSERT_TRUE(list != nullptr && !list->empty());
    ToolRecord extra = list->back();
    extra.number = 7;
    list->push_back(extra);
    const int32_t number = 7;
    // "T*** ***": the tool number is the T word's thousands.
    s->machine.tCodeFormat = 1;
    TQuonStrings program;
    program.SetText("O0001\nT" + std::to_string(number * 1000 + number) + "\nG00 X100. Z50.\nM30\n");
    HeadlessPlay headless(*s, program);
    Watch watch;
    headless.session().view().setDrawing(&watch);
    int32_t selected = -1;
    watch.onPiece = [&](int32_t) { selected = s->tools.currentToolIndex; };
    const uint8_t mode = PlaybackController::modeFor(1, MachineKind::Lathe, false);
    ASSERT_EQ(headless.session().controller().runNow(mode).end, PlayEnd::M30);
    EXPECT_EQ((*list)[static_cast<size_t>(selected)].number, number);
    EXPECT_EQ(selected, findToolIndex(*list, number));
}

}  // namespace
}  // namespace vantrel
