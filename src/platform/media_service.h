#pragma once
// The platform's media playback for the music and video player: open a file, play, pause, stop, seek,
// length and position in milliseconds, and a repeating timer. The GUI realises it with its multimedia
// library; tests use a scripted one.
#include <cstdint>
#include <functional>
#include <string>

namespace vantrel {

class MediaService {
  public:
    virtual ~MediaService() = default;
    // Opens a file for playing (its length is known when this returns). False, with a Japanese message
    // saying why, when it cannot be played.
    virtual bool open(const std::string& path, std::string& message) = 0;
    // True when the media has sound but the machine has no audio output for it (it plays silently).
    virtual bool missingAudioOutput() const { return false; }
    virtual void play() = 0;
    virtual void pause() = 0;
    virtual void stop() = 0;
    virtual void seek(int64_t ms) = 0;
    virtual int64_t length() const = 0;
    virtual int64_t position() const = 0;
    // Shows or hides the picture of a video (nothing for sound alone).
    virtual void showVideo(bool) {}
    // Runs `tick` every intervalMs on the UI thread until stopTimer.
    virtual void startTimer(int intervalMs, std::function<void()> tick) = 0;
    virtual void stopTimer() = 0;
};

}  // namespace vantrel
