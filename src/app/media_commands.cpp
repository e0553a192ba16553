#include "app/media_commands.h"

#include <algorithm>

namespace vantrel {

namespace {
int clampMs(int64_t ms) {
    return static_cast<int>(std::clamp<int64_t>(ms, 0, INT32_MAX));
}
}  // namespace

void MediaCommands::bindCommands() {
    cs_.bind("sb_musicav", [this](const Control& c) { toggle(c); });
    cs_.bind("mp_play", [this](const Control&) {
        s_.picture.mediaPlaying = true;
        if (opened_) media_.play();
    });
    cs_.bind("mp_pause", [this](const Control&) {
        s_.picture.mediaPlaying = false;
        if (opened_) media_.pause();
    });
    cs_.bind("mp_stop", [this](const Control&) {
        s_.picture.mediaPlaying = false;
        if (opened_) media_.stop();
    });
    cs_.bind("TrackBar1", [this](const Control& c) {
        if (!s_.picture.mediaPlaying && opened_) media_.seek(c.position);
    });
}

void MediaCommands::toggle(const Control& sender) {
    if (!cs_.checked(sender.name)) {
        close();
        return;
    }
    const std::optional<std::string> path = ui_.openFile(kMediaDialogTitle, kMediaFilter);
    if (!path) {
        cs_.setChecked(sender.name, false);
        return;
    }
    std::string why;
    if (!media_.open(*path, why)) {
        ui_.message(why);
        cs_.setChecked(sender.name, false);
        return;
    }
    opened_ = true;
    if (media_.missingAudioOutput()) ui_.message(kMsgNoAudioOutput);
    media_.play();
    const int length = clampMs(media_.length());
    cs_.setRange("TrackBar1", 0, length);
    cs_.setPosition("TrackBar1", 0);
    cs_.setVisible("MediaPlayer1", true);
    cs_.setVisible("TrackBar1", true);
    media_.showVideo(true);
    s_.picture.mediaPlaying = true;
    media_.startTimer(kMediaTimerMs, [this] { tick(); });
}

void MediaCommands::tick() {
    if (!opened_) return;
    const int64_t length = media_.length();
    if (length > 0 && media_.position() >= length) {
        media_.stop();
        media_.seek(0);
        media_.play();
    }
    cs_.setPosition("TrackBar1", clampMs(media_.position()));
}

void MediaCommands::close() {
    media_.stopTimer();
    if (opened_) media_.stop();
    opened_ = false;
    media_.showVideo(false);
    cs_.setVisible("MediaPlayer1", false);
    cs_.setVisible("TrackBar1", false);
    s_.picture.mediaPlaying = false;
    cs_.setChecked("sb_musicav", false);
}

}  // namespace vantrel
