// The play controller, headless: a scripted InputState, a recording control model, the inline main
// thread, and real threads where the behaviour is about threads (pause, resume, stop).
#include <gtest/gtest.h>

#include <chrono>
#include <stdexcept>
#include <thread>

#include "app/modal_labels.h"
#include "app/play_controller.h"
#include "program/quon_strings.h"
#include "stock/stock_spec.h"
#include "support/recording_text_painter.h"
#include "support/scripted_ui_services.h"

using namespace vantrel;
using namespace std::chrono_literals;

namespace {

void addPlayControls(ControlSet& cs) {
    auto add = [&](const char* name, ControlKind kind, int tag, int group, bool checked = false) {
        Control c;
        c.name = name;
        c.kind = kind;
        c.tag = tag;
        c.group = group;
        c.allowAllUp = group != 0;
        c.checked = checked;
        cs.add(c);
    };
    add("sb_play", ControlKind::SpeedButton, 0, 4);
    add("sb_playfast", ControlKind::SpeedButton, 1, 4);
    add("sb_playstep", ControlKind::SpeedButton, 2, 4);
    add("menu_play", ControlKind::MenuItem, 5, 0);
    add("menu_playfast", ControlKind::MenuItem, 6, 0);
    add("menu_playstep", ControlKind::MenuItem, 7, 0);
    add("sb_playend", ControlKind::SpeedButton, 0, 0);
    add("sb_playsb", ControlKind::SpeedButton, 0, 32);
    add("sb_playop", ControlKind::SpeedButton, 0, 33);
    add("sb_playobs", ControlKind::SpeedButton, 0, 34);
    add("menu_m0no", ControlKind::MenuItem, 0, 0, true);
    add("menu_endless", ControlKind::MenuItem, 0, 0);
    add("menu_repaint", ControlKind::MenuItem, 0, 0, true);
    add("ProgressBar1", ControlKind::ProgressBar, 0, 0);
    add("TrackBar2", ControlKind::TrackBar, 0, 0);
    add("mcform", ControlKind::Other, 0, 0);
    add("sb_view1", ControlKind::SpeedButton, 1, 2);
    add("File1", ControlKind::Menu, 0, 0);
    addModalStatusControls(cs);
    Control n = cs.get("label_n");
    cs.setCaption("label_n", "0");
}

// Records what the play asked of the scene.
class RecordingView : public PlaybackView {
  public:
    std::atomic<int> steps{0}, passes{0}, playEnds{0};
    std::atomic<bool> readOnly{false};
    std::function<void(int32_t)> onPass, onPassEnd;
    std::string editorCaption;
    std::mutex mu;
    void passStart(int32_t pass) override {
        passes = pass;
        if (onPass) onPass(pass);
    }
    void passEnd(int32_t pass) override {
        if (onPassEnd) onPassEnd(pass);
    }
    void perStepUpdate(uint8_t, const Vec3&, bool) override { ++steps; }
    void playEnd(bool) override { ++playEnds; }
    void setEditorReadOnly(bool on) override { readOnly = on; }
    void setEditorCaption(const std::string& t) override {
        std::lock_guard lk(mu);
        editorCaption = t;
    }
};

struct Rig {
    ControlSet cs;
    InlineMainThread mt;
    InputState input;
    TQuonStrings program;
    StockSpec stock;
    ToolPosition tool;
    StandInModalHooks hooks;
    RecordingView view;
    ScriptedUiServices ui;
    PlayOptions options;
    Shared<int32_t> kind{0};
    Shared<bool> gl{false};
    RecordingTextPainter painter;
    Image32 listing{120, 100};
    std::unique_ptr<PlaybackController> play;

    PlaybackView* viewUsed = nullptr;
    bool withListing = false;
    explicit Rig(const std::string& text, PlaybackView* customView = nullptr, bool listingOn = false) {
        withListing = listingOn;
        viewUsed = customView ? customView : &view;
        addPlayControls(cs);
        program.SetText(text);
        tool.set({0, 0, 100});
        hooks.tools.push_back({0, 10, 100});
        PlaybackEnv env;
        env.controls = &cs;
        env.mainThread = &mt;
        env.input = &input;
        env.program = &program;
        env.stock = &stock;
        env.tool = &tool;
        env.hooks = &hooks;
        env.view = viewUsed;
        env.ui = &ui;
        // The listing is drawn through the main thread; with the inline one it would run on the play's
        // thread, so only the single-threaded tests that look at it switch it on.
        env.painter = withListing ? &painter : nullptr;
        env.listing = withListing ? &listing : nullptr;
        env.options = &options;
        env.machineKind = &kind;
        env.openGl = &gl;
        env.rapidStep = 10;
        play = std::make_unique<PlaybackController>(env);
        play->bindCommands();
    }
    bool waitUntil(const std::function<bool()>& f, std::chrono::milliseconds limit = 5000ms) {
        auto end = std::chrono::steady_clock::now() + limit;
        while (std::chrono::steady_clock::now() < end) {
            if (f()) return true;
            std::this_thread::sleep_for(1ms);
        }
        return f();
    }
    bool paused() {
        return play->running() && !cs.checked("sb_play") && !cs.checked("sb_playfast") &&
               !cs.checked("sb_playstep");
    }
};

const char* kSimple =
    "O0001\n"
    "G90 G00 X10. Y0 Z50.\n"
    "G01 X20. F1000\n"
    "G01 Y5.\n"
    "M30\n";

}  // namespace

TEST(Playback, ModeFromTagAndMachine) {
    EXPECT_EQ(PlaybackController::modeFor(0, MachineKind::VerticalMill, false), kModeMillPlay);
    EXPECT_EQ(PlaybackController::modeFor(1, MachineKind::HorizontalMill, false), kModeMillFast);
    EXPECT_EQ(PlaybackController::modeFor(2, MachineKind::VerticalMill, false), kModeMillStep);
    EXPECT_EQ(PlaybackController::modeFor(0, MachineKind::Lathe, false), kModeLathePlay);
    EXPECT_EQ(PlaybackController::modeFor(1, MachineKind::VerticalLathe, false), kModeLatheFast);
    EXPECT_EQ(PlaybackController::modeFor(2, MachineKind::Lathe, true), kModeLatheStep);
    for (int tag = 0; tag <= 2; ++tag)  // the wire EDM plays only in its own mode, never cutting
        EXPECT_EQ(PlaybackController::modeFor(tag, MachineKind::WireEdm, tag == 1), kModeWire);
    EXPECT_EQ(PlaybackController::modeFor(0, MachineKind::VerticalMill, true), kModeGlPlay);
    EXPECT_EQ(PlaybackController::modeFor(2, MachineKind::VerticalMill, true), kModeGlStep);
    EXPECT_EQ(PlaybackController::modeFor(1, MachineKind::VerticalMill, true), kModeMillFast);
}

TEST(Playback, OneLineProgramDoesNothing) {
    Rig rig("G01 X50. F100");
    PlayResult r = rig.play->runNow(kModeMillPlay);
    EXPECT_EQ(r.blocks, 0);
    EXPECT_EQ(r.passes, 0);
    EXPECT_EQ(rig.view.steps, 0);
    EXPECT_EQ(rig.tool.get(), Vec3(0, 0, 100));
    EXPECT_EQ(rig.play->control().mode, kModeIdle);
}

TEST(Playback, PlaysToM30AndTheToolReturns) {
    Rig rig(kSimple);
    PlayResult r = rig.play->runNow(kModeMillFast);
    EXPECT_EQ(r.end, PlayEnd::M30);
    EXPECT_EQ(r.blocks, 5);
    EXPECT_NEAR(r.lastPosition.x, 20, 1e-9);
    EXPECT_NEAR(r.lastPosition.y, 5, 1e-9);
    EXPECT_NEAR(r.lastPosition.z, 50, 1e-9);
    EXPECT_GT(r.cuttingTime, 0);
    EXPECT_GT(rig.view.steps, 0);
    EXPECT_EQ(rig.tool.get(), Vec3(0, 0, 100));  // back where it stood
    EXPECT_EQ(rig.cs.caption("mcform"), "Vantrel 3.71");
    EXPECT_FALSE(rig.view.readOnly);
    EXPECT_EQ(rig.cs.position("ProgressBar1"), 0);
    EXPECT_EQ(rig.cs.caption("label_l"), "5");
    EXPECT_EQ(rig.view.playEnds, 1);
}

TEST(Playback, EndOfTextAndMainProgramM99) {
    Rig a("G00 X1.\nG00 X2.\nG00 X3.");
    EXPECT_EQ(a.play->runNow(kModeMillFast).end, PlayEnd::EndOfText);
    Rig b("G00 X1.\nM99\nG00 X9.\nM30");
    PlayResult r = b.play->runNow(kModeMillFast);
    EXPECT_EQ(r.end, PlayEnd::M99);
    EXPECT_NEAR(r.lastPosition.x, 1, 1e-9);
}

TEST(Playback, BlockSkipOnlyWhileOptionalSkipIsOn) {
    Rig rig("G90 G00 X0\n/N10 G00 X5.\nG00 Y1.\nM30");
    EXPECT_NEAR(rig.play->runNow(kModeMillFast).lastPosition.x, 5, 1e-9);
    rig.cs.click("sb_playobs");
    EXPECT_TRUE(rig.options.blockSkip);
    PlayResult r = rig.play->runNow(kModeMillFast);
    EXPECT_NEAR(r.lastPosition.x, 0, 1e-9);
    EXPECT_EQ(r.blocks, 3);
}

TEST(Playback, StartLineIsClampedIntoTheProgram) {
    Rig rig(kSimple);
    rig.play->control().startLine = 400;  // the program was shortened since it was chosen
    EXPECT_EQ(rig.play->runNow(kModeMillFast).blocks, 5);
    rig.play->control().startLine = -7;
    EXPECT_EQ(rig.play->runNow(kModeMillFast).blocks, 5);
}

TEST(Playback, StartBlockByNumberAndByLine) {
    Rig rig("O0001\nN10 G00 X1.\nN20 G00 X2.\nN30 G00 X3.\nM30", nullptr, /*listingOn=*/true);
    rig.ui.keypadAnswers = {20.0};
    rig.cs.click("label_n");
    EXPECT_EQ(rig.cs.caption("label_n"), "20");
    EXPECT_EQ(rig.cs.caption("label_l"), "3");
    EXPECT_EQ(rig.play->control().startLine, 2);
    EXPECT_FALSE(rig.painter.entries.empty());
    EXPECT_EQ(rig.painter.entries.back().text, ">");
    PlayResult r = rig.play->runNow(kModeMillFast);
    EXPECT_EQ(r.blocks, 3);         // N20, N30, M30
    rig.ui.keypadAnswers = {99.0};  // not found: block 1
    rig.cs.click("label_n");
    EXPECT_EQ(rig.cs.caption("label_l"), "1");
    EXPECT_EQ(rig.play->control().startLine, 0);
    rig.ui.keypadAnswers = {4.0};
    rig.cs.click("label_l");
    EXPECT_EQ(rig.cs.caption("label_l"), "4");
    EXPECT_EQ(rig.play->control().startLine, 3);
    rig.ui.keypadAnswers = {std::nullopt};  // cancelled: unchanged
    rig.cs.click("label_l");
    EXPECT_EQ(rig.play->control().startLine, 3);
}

TEST(Playback, M00StopsOnlyWithoutM0Ignore) {
    Rig rig("G00 X1.\nM00\nG00 X2.\nM30");
    EXPECT_EQ(rig.play->runNow(kModeMillFast).end, PlayEnd::M30);  // "M0無視" checked: no stop
    rig.cs.setChecked("menu_m0no", false);
    rig.cs.click("sb_play");
    ASSERT_TRUE(rig.waitUntil([&] { return rig.paused(); }));
    {
        std::lock_guard lk(rig.view.mu);
        EXPECT_EQ(rig.view.editorCaption, kCaptionM0Stop);
    }
    EXPECT_TRUE(rig.view.readOnly);
    // Shift resumes in the mode that was running.
    rig.input.shift = true;
    ASSERT_TRUE(rig.waitUntil([&] { return !rig.play->running(); }));
    rig.input.shift = false;
    rig.play->join();
    EXPECT_EQ(rig.play->lastResult().end, PlayEnd::M30);
    EXPECT_FALSE(rig.view.readOnly);
}

TEST(Playback, ReleasingTheButtonPausesAndStopEndsThePause) {
    Rig rig(kSimple);
    rig.cs.click("sb_playsb");  // single block: pause after every executed block
    rig.cs.click("sb_play");
    ASSERT_TRUE(rig.waitUntil([&] { return rig.paused(); }));
    rig.cs.click("sb_playend");
    ASSERT_TRUE(rig.waitUntil([&] { return !rig.play->running(); }));
    rig.play->join();
    EXPECT_EQ(rig.play->lastResult().end, PlayEnd::Stop);
    EXPECT_EQ(rig.play->lastResult().blocks, 1);
    EXPECT_EQ(rig.cs.caption("label_n"), "---");
    EXPECT_EQ(rig.tool.get(), Vec3(0, 0, 100));
}

TEST(Playback, ShiftDoesNotResumeOpenGlModesButAButtonDoes) {
    Rig rig("G00 X1.\nM00\nG00 X2.\nM30");
    rig.cs.setChecked("menu_m0no", false);
    rig.gl = true;
    rig.cs.click("sb_play");
    EXPECT_EQ(rig.play->control().mode, kModeGlPlay);
    ASSERT_TRUE(rig.waitUntil([&] { return rig.paused(); }));
    rig.input.shift = true;
    std::this_thread::sleep_for(60ms);
    EXPECT_TRUE(rig.paused());
    rig.input.shift = false;
    rig.cs.click("sb_play");  // a button press resumes (mode recomputed from the Tag)
    ASSERT_TRUE(rig.waitUntil([&] { return !rig.play->running(); }));
    rig.play->join();
    EXPECT_EQ(rig.play->lastResult().end, PlayEnd::M30);
}

TEST(Playback, AResumeClickThatArrivesAfterThePlayEndedStartsNothing) {
    // The click's two halves, apart: the button goes down (the paused play resumes on it and runs to
    // its end), then the command runs on a play that has already ended.
    Rig rig("G00 X1.\nM00\nG00 X2.\nM30");
    rig.cs.setChecked("menu_m0no", false);
    rig.cs.click("sb_play");
    ASSERT_TRUE(rig.waitUntil([&] { return rig.paused(); }));
    rig.cs.setChecked("sb_play", true);
    ASSERT_TRUE(rig.waitUntil([&] { return !rig.play->running(); }));
    rig.cs.runCommand("sb_play");
    ASSERT_FALSE(rig.play->running());
    rig.play->join();
    EXPECT_EQ(rig.play->lastResult().end, PlayEnd::M30);
    EXPECT_EQ(rig.play->lastResult().blocks, 4);
    EXPECT_FALSE(rig.cs.checked("sb_play"));
    EXPECT_EQ(rig.play->control().mode, kModeIdle);
    // A click on the idle window still starts a play.
    rig.cs.click("sb_play");
    ASSERT_TRUE(rig.waitUntil([&] { return rig.paused(); }));
    rig.play->requestStop();
    rig.play->join();
}

TEST(Playback, SwitchingModesWhilePlaying) {
    // Two stops, so the play is still there to be looked at after the switch.
    Rig rig("G00 X1.\nM00\nG00 X2.\nM00\nG00 X3.\nM30");
    rig.cs.setChecked("menu_m0no", false);
    std::mutex lm;
    std::vector<std::string> pressed;
    rig.cs.subscribe([&](const Control& c, ControlChange ch) {
        if (ch == ControlChange::Checked && c.checked) {
            std::lock_guard lk(lm);
            pressed.push_back(c.name);
        }
    });
    rig.cs.click("sb_play");
    ASSERT_TRUE(rig.waitUntil([&] { return rig.paused(); }));
    {
        std::lock_guard lk(lm);
        pressed.clear();
    }
    rig.cs.click("menu_playstep");  // a menu click presses its button and takes the step mode
    // The play resumes in the step mode and stops at the second M00 (the buttons go up again there).
    ASSERT_TRUE(rig.waitUntil([&] { return rig.paused() && rig.tool.get().x == 2.0; }));
    EXPECT_EQ(rig.play->control().mode, kModeMillStep);
    {
        std::lock_guard lk(lm);
        EXPECT_EQ(pressed, (std::vector<std::string>{"menu_playstep", "sb_playstep"}));
    }
    rig.cs.click("sb_playfast");
    ASSERT_TRUE(rig.waitUntil([&] { return !rig.play->running(); }));
    rig.play->join();
    EXPECT_EQ(rig.play->lastResult().end, PlayEnd::M30);
    EXPECT_EQ(rig.play->control().mode, kModeIdle);
    // Whatever the switches did, the idle window starts a new play on the next click.
    rig.cs.click("sb_play");
    ASSERT_TRUE(rig.waitUntil([&] { return rig.paused(); }));
    EXPECT_EQ(rig.play->control().mode, kModeMillPlay);
    rig.play->requestStop();
    rig.play->join();
}

TEST(Playback, EndlessRepeatsUntilEscIsHeldAtAPassStart) {
    Rig rig(kSimple);
    rig.cs.click("menu_endless");
    EXPECT_TRUE(rig.play->control().endless);
    // Pass 2: Esc goes down as the pass starts and is released when its block loop has ended (a short
    // press): the program restarts. Pass 4: Esc goes down and stays down: pass 5 sees it held at its
    // start, which ends endless play.
    rig.view.onPass = [&](int32_t pass) {
        if (pass == 2 || pass == 4) rig.input.escape = true;
    };
    rig.view.onPassEnd = [&](int32_t pass) {
        if (pass == 2) rig.input.escape = false;
    };
    PlayResult r = rig.play->runNow(kModeMillFast);
    EXPECT_EQ(r.passes, 5);
    EXPECT_EQ(r.blocks, 10);  // passes 1 and 3 ran whole; 2, 4 and 5 were cut short by Esc
    EXPECT_FALSE(rig.play->control().endless);
    EXPECT_TRUE(rig.cs.checked("menu_endless"));  // the check mark is not changed
    EXPECT_EQ(rig.tool.get(), Vec3(0, 0, 100));
}

TEST(Playback, EndlessStopsOnStop) {
    Rig rig(kSimple);
    rig.cs.click("menu_endless");
    rig.view.onPass = [&](int32_t pass) {
        if (pass == 3) rig.play->StopPlay();
    };
    PlayResult r = rig.play->runNow(kModeMillFast);
    EXPECT_EQ(r.passes, 3);
    EXPECT_EQ(r.end, PlayEnd::Stop);
}

TEST(Playback, AStopPressedAsThePlayStartsIsNotLost) {
    // The stop arrives while the play is still setting up, before its first pass: the pass must not
    // forget it, or an endless play would never end.
    class StartView : public RecordingView {
      public:
        std::function<void()> onStart;
        void playStart(uint8_t mode) override {
            RecordingView::playStart(mode);
            if (onStart) onStart();
        }
    };
    StartView view;
    Rig rig(kSimple, &view);
    rig.cs.click("menu_endless");
    view.onStart = [&] { rig.play->StopPlay(); };
    // Should the stop be lost, end the test at the fifth pass instead of hanging.
    view.onPass = [&](int32_t pass) {
        if (pass == 5) rig.play->StopPlay();
    };
    PlayResult r = rig.play->runNow(kModeMillPlay);
    EXPECT_LE(r.passes, 1);
    EXPECT_EQ(r.end, PlayEnd::Stop);
}

TEST(Playback, SpeedSliderAt100WaitsUntilStopped) {
    class PixelView : public RecordingView {
        bool pixelChanged(const Vec3&) override { return true; }
    };
    PixelView view;
    Rig rig("G00 X10.\nG00 X200.\nM30", &view);
    rig.cs.setPosition("TrackBar2", 100);
    rig.cs.click("sb_play");
    std::this_thread::sleep_for(50ms);
    EXPECT_TRUE(rig.play->running());  // standing still at 100
    EXPECT_LE(view.steps, 1);
    rig.cs.click("sb_playend");
    ASSERT_TRUE(rig.waitUntil([&] { return !rig.play->running(); }));
    rig.play->join();
    EXPECT_EQ(rig.play->lastResult().end, PlayEnd::Stop);
}

TEST(Playback, ExceptionsInTheViewStillUnlockTheWindow) {
    class ThrowingView : public RecordingView {
        void perStepUpdate(uint8_t, const Vec3&, bool) override { throw std::runtime_error("draw failed"); }
    };
    ThrowingView view;
    Rig rig("O0001\nT2 M06\nG90 G00 X10. Y0 Z50.\nG01 X20. F1000\nM30\n", &view);
    rig.hooks.tools.push_back({2, 6, 80});
    PlayResult r = rig.play->runNow(kModeMillPlay);
    EXPECT_EQ(r.end, PlayEnd::Stop);
    EXPECT_FALSE(view.readOnly);
    // The way out is the ordinary one: the tool and its index as before the play, the scene's play end.
    EXPECT_EQ(view.playEnds, 1);
    EXPECT_EQ(rig.tool.get().x, 0);
    EXPECT_EQ(rig.tool.get().z, 100);
    EXPECT_EQ(rig.hooks.current, 0);
    ASSERT_FALSE(rig.hooks.loads.empty());
    EXPECT_EQ(rig.hooks.loads.back(), 0);
    EXPECT_EQ(rig.play->control().mode, kModeIdle);
    EXPECT_FALSE(rig.play->running());
}
