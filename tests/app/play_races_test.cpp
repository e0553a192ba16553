// What the UI thread may do while a play runs on its own thread: turn the wheel, resize the scene,
// reset the stock, toggle the play options and move the mouse over the scene. Run under
// ThreadSanitizer (`make tsan`), any unguarded access between the two threads is reported.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <string>
#include <vector>

#include "app/application.h"
#include "app/headless_setup.h"
#include "app/play_session.h"
#include "app/scene_composer.h"
#include "app/scene_playback_view.h"
#include "program/quon_strings.h"
#include "support/scripted_ui_services.h"

namespace vantrel {
namespace {

// The UI thread's event loop as the play sees it: invoke() queues and waits; pump() runs the queue.
class QueueMainThread : public MainThread {
  public:
    void invoke(const std::function<void()>& fn) override {
        std::unique_lock lk(mu_);
        queue_.push_back(&fn);
        cv_.notify_all();
        done_.wait(lk, [&] { return std::find(queue_.begin(), queue_.end(), &fn) == queue_.end(); });
    }
    bool isMainThread() const override { return std::this_thread::get_id() == ui_; }
    void processPending(int timeoutMs) override {
        std::unique_lock lk(mu_);
        cv_.wait_for(lk, std::chrono::milliseconds(timeoutMs), [&] { return !queue_.empty(); });
        while (!queue_.empty()) {
            auto fn = queue_.front();
            lk.unlock();
            (*fn)();
            lk.lock();
            queue_.erase(queue_.begin());
            done_.notify_all();
        }
    }

  private:
    std::thread::id ui_ = std::this_thread::get_id();
    std::mutex mu_;
    std::condition_variable cv_, done_;
    std::vector<const std::function<void()>*> queue_;
};

std::string longProgram() {
    std::string p = "O0001\nG90 G00 X10. Y10. Z5.\n";
    for (int i = 0; i < 20; ++i) {
        p.append("T").append(std::to_string(1 + i % 2)).append(" M06\n");
        p += "/ G00 Z5.\n";
        p += "G01 Z-2. F500\n";
        p.append("G01 X").append(std::to_string(20 + i % 50)).append(". Y");
        p.append(std::to_string(10 + (i * 7) % 60)).append(".\n");
        p += "M01\n";
    }
    return p + "M30\n";
}

TEST(PlayRaces, WheelResizeStockResetOptionsAndMouseDuringAPlay) {
    AppState s;
    setUpHeadlessState(s, HeadlessOptions{});
    s.window.settingsReady = true;
    s.window.ready = 1;
    ControlSet controls;
    ScriptedUiServices ui;
    QueueMainThread mt;
    InputState input;
    TQuonStrings program;
    program.SetText(longProgram());
    Application app(s, controls, ui, mt);
    app.createControls();
    app.bindSubsystemCommands(&program);

    SceneComposer composer(s);
    composer.setControls(&controls);
    app.hooks.repaint = [&] { composer.repaintScene(); };
    PlaySessionParts parts;
    parts.controls = &controls;
    parts.mainThread = &mt;
    parts.input = &input;
    parts.program = &program;
    parts.ui = &ui;
    PlaySession session(s, parts);
    ScenePlaybackView drawing(s, composer, mt);
    session.view().setDrawing(&drawing);
    PlaybackController& play = session.controller();
    play.bindCommands();
    composer.repaintScene();

    controls.click("sb_play");
    ASSERT_TRUE(play.running());
    const double scale = s.view.scale;
    composer.layoutWindow(800, 600);
    const int widthBefore = composer.scene().width();
    int rounds = 0;
    const auto limit = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    while (play.running() && std::chrono::steady_clock::now() < limit) {
        mt.processPending(1);
        // The wheel: refused while the play draws with the view it started with.
        const bool playing = play.running();
        const ViewUpdate up = composer.wheel(120, 100, 100, playing);
        if (up.repaint) app.requestRepaint();
        if (playing) {
            EXPECT_EQ(s.view.scale, scale);
        }
        // A resize: the images keep their size, the repaint waits for the end of the play.
        composer.layoutWindow(900 + rounds % 40, 700 + rounds % 30);
        app.requestRepaint();
        // The stock reset button, answered Yes.
        ui.yesNoAnswers.push_back(true);
        controls.click("sb_zai_mas_reset");
        // The play options, each left as it was found; a single-block or M01 stop is resumed.
        for (const char* b : {"sb_playsb", "sb_playop", "sb_playobs"}) {
            controls.click(b);
            mt.processPending(0);
            controls.click(b);
        }
        if (!controls.checked("sb_play") && play.running()) controls.click("sb_play");
        // A mouse move reads the working tool, which a tool change replaces.
        const ToolPose pose = composer.toolPose();
        EXPECT_GE(pose.length, 0);
        ++rounds;
    }
    play.requestStop();
    while (play.running()) mt.processPending(1);
    play.join();
    EXPECT_GT(rounds, 0);
    EXPECT_GT(session.view().cutSteps(), 0);
    // The play's end takes the last resize.
    EXPECT_EQ(composer.scene().width(), composer.area().width);
    EXPECT_NE(composer.scene().width(), widthBefore);
    // After the play, the wheel works again.
    const double before = s.view.scale;
    const ViewUpdate up = composer.wheel(120, 100, 100, play.running());
    EXPECT_TRUE(up.repaint);
    EXPECT_NE(s.view.scale, before);
}

}  // namespace
}  // namespace vantrel
