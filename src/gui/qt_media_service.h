#pragma once
// The media player's playback through Qt Multimedia: sound to the default audio output, video in a
// window of its own, and the player's one-second timer.
#include <QObject>
#include <QTimer>
#include <memory>

#include "platform/media_service.h"

class QMediaPlayer;
class QAudioOutput;
class QVideoWidget;

namespace vantrel {

class QtMediaService : public QObject, public MediaService {
  public:
    QtMediaService();
    ~QtMediaService() override;

    bool open(const std::string& path, std::string& message) override;
    bool missingAudioOutput() const override;
    void play() override;
    void pause() override;
    void stop() override;
    void seek(int64_t ms) override;
    int64_t length() const override;
    int64_t position() const override;
    void showVideo(bool on) override;
    void startTimer(int intervalMs, std::function<void()> tick) override;
    void stopTimer() override;
    bool timerRunning() const { return timer_.isActive(); }

  private:
    std::unique_ptr<QMediaPlayer> player_;
    std::unique_ptr<QAudioOutput> audio_;
    std::unique_ptr<QVideoWidget> video_;
    QTimer timer_;
    std::function<void()> tick_;
};

}  // namespace vantrel
