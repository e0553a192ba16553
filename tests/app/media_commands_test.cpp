// The media player's commands over a scripted playback service: opening, endless repeat on the timer,
// the track bar seeking only while paused, and closing.
#include <gtest/gtest.h>

#include "app/application.h"
#include "app/media_commands.h"
#include "support/scripted_ui_services.h"

namespace vantrel {
namespace {

class FakeMedia : public MediaService {
  public:
    bool openOk = true, noAudio = false;
    int64_t len = 5000, pos = 0;
    std::vector<std::string> calls;
    std::function<void()> tick;
    int interval = 0;

    bool open(const std::string& path, std::string& message) override {
        calls.push_back("open:" + path);
        if (!openOk) message = "このファイルは再生できません";
        return openOk;
    }
    bool missingAudioOutput() const override { return noAudio; }
    void play() override { calls.push_back("play"); }
    void pause() override { calls.push_back("pause"); }
    void stop() override { calls.push_back("stop"); }
    void seek(int64_t ms) override {
        calls.push_back("seek:" + std::to_string(ms));
        pos = ms;
    }
    int64_t length() const override { return len; }
    int64_t position() const override { return pos; }
    void startTimer(int ms, std::function<void()> t) override {
        interval = ms;
        tick = std::move(t);
    }
    void stopTimer() override {
        interval = 0;
        tick = nullptr;
    }
};

struct Player {
    AppState state;
    ControlSet controls;
    ScriptedUiServices ui;
    InlineMainThread mt;
    Application app{state, controls, ui, mt};
    FakeMedia media;
    MediaCommands commands{state, controls, ui, media};
    Player() {
        app.createControls();
        commands.bindCommands();
    }
    void open(std::optional<std::string> path) {
        ui.fileAnswers.push_back(path);
        controls.click("sb_musicav");
    }
};

TEST(MediaPlayer, OpeningPlaysAndShowsThePlayerAndTrackBar) {
    Player p;
    EXPECT_FALSE(p.controls.visible("MediaPlayer1"));
    EXPECT_FALSE(p.controls.visible("TrackBar1"));
    p.open("song.wav");
    EXPECT_TRUE(p.controls.checked("sb_musicav"));
    EXPECT_EQ(p.media.calls, (std::vector<std::string>{"open:song.wav", "play"}));
    EXPECT_TRUE(p.controls.visible("MediaPlayer1"));
    EXPECT_TRUE(p.controls.visible("TrackBar1"));
    EXPECT_EQ(p.controls.get("TrackBar1").maximum, 5000);
    EXPECT_EQ(p.controls.position("TrackBar1"), 0);
    EXPECT_TRUE(p.state.picture.mediaPlaying);
    EXPECT_EQ(p.media.interval, 1000);
    EXPECT_TRUE(p.ui.messages.empty());
}

TEST(MediaPlayer, AFileThatReachesItsEndStartsAgain) {
    Player p;
    p.open("song.wav");
    p.media.pos = 1200;
    p.media.tick();
    EXPECT_EQ(p.controls.position("TrackBar1"), 1200);
    p.media.calls.clear();
    p.media.pos = 5000;
    p.media.tick();
    EXPECT_EQ(p.media.calls, (std::vector<std::string>{"stop", "seek:0", "play"}));
    EXPECT_EQ(p.controls.position("TrackBar1"), 0);
}

TEST(MediaPlayer, TheTrackBarSeeksOnlyWhileNotPlaying) {
    Player p;
    p.open("clip.avi");
    p.media.calls.clear();
    p.controls.moveTo("TrackBar1", 2000);
    EXPECT_TRUE(p.media.calls.empty());  // playing: the bar only follows the position
    p.controls.click("mp_pause");
    EXPECT_FALSE(p.state.picture.mediaPlaying);
    p.controls.moveTo("TrackBar1", 2500);
    EXPECT_EQ(p.media.calls, (std::vector<std::string>{"pause", "seek:2500"}));
    p.controls.click("mp_play");
    EXPECT_TRUE(p.state.picture.mediaPlaying);
    p.controls.click("mp_stop");
    EXPECT_FALSE(p.state.picture.mediaPlaying);
    EXPECT_EQ(p.media.calls.back(), "stop");
}

TEST(MediaPlayer, ReleasingStopsAndHidesEverything) {
    Player p;
    p.open("song.wav");
    p.controls.click("sb_musicav");
    EXPECT_EQ(p.media.calls.back(), "stop");
    EXPECT_EQ(p.media.interval, 0);
    EXPECT_FALSE(p.controls.visible("MediaPlayer1"));
    EXPECT_FALSE(p.controls.visible("TrackBar1"));
    EXPECT_FALSE(p.state.picture.mediaPlaying);
}

TEST(MediaPlayer, CancelledOrUnplayableFilesPopTheButtonUp) {
    Player p;
    p.open(std::nullopt);
    EXPECT_FALSE(p.controls.checked("sb_musicav"));
    EXPECT_TRUE(p.media.calls.empty());
    p.media.openOk = false;
    p.open("broken.mpg");
    EXPECT_FALSE(p.controls.checked("sb_musicav"));
    EXPECT_EQ(p.ui.messages, (std::vector<std::string>{"このファイルは再生できません"}));
    EXPECT_FALSE(p.controls.visible("MediaPlayer1"));
    // Without an audio output the user is told, and the media plays on (silently).
    p.media.openOk = true;
    p.media.noAudio = true;
    p.open("song.wav");
    EXPECT_EQ(p.ui.messages.back(), kMsgNoAudioOutput);
    EXPECT_TRUE(p.controls.checked("sb_musicav"));
}

}  // namespace
}  // namespace vantrel
