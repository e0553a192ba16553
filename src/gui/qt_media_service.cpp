#include "gui/qt_media_service.h"

#include <QAudioDevice>
#include <QAudioOutput>
#include <QEventLoop>
#include <QFileInfo>
#include <QMediaDevices>
#include <QMediaPlayer>
#include <QUrl>
#include <QVideoWidget>

namespace vantrel {

namespace {
// How long opening a file may take before it counts as unplayable.
constexpr int kOpenTimeoutMs = 10000;
constexpr const char* kMsgMediaUnplayable = "このファイルは再生できません";
constexpr const char* kMsgMediaMissing = "ファイルが見つかりません";
}  // namespace

QtMediaService::QtMediaService() {
    connect(&timer_, &QTimer::timeout, this, [this] {
        if (tick_) tick_();
    });
}

QtMediaService::~QtMediaService() {
    timer_.stop();
    if (player_) player_->stop();
}

bool QtMediaService::open(const std::string& path, std::string& message) {
    const QString file = QString::fromStdString(path);
    if (!QFileInfo(file).isFile()) {
        message = kMsgMediaMissing;
        return false;
    }
    // A fresh player per file: nothing of the last file's state or errors carries over.
    if (player_) player_->stop();
    player_ = std::make_unique<QMediaPlayer>();
    audio_ = std::make_unique<QAudioOutput>();
    player_->setAudioOutput(audio_.get());
    if (!video_) {
        video_ = std::make_unique<QVideoWidget>();
        video_->setWindowTitle(QStringLiteral("映像"));
        video_->resize(480, 360);
    }
    player_->setVideoOutput(video_.get());

    // Loading is asynchronous; the length is known once the media is loaded.
    QEventLoop wait;
    bool failed = false;
    auto settle = [&] {
        const QMediaPlayer::MediaStatus st = player_->mediaStatus();
        if (st == QMediaPlayer::InvalidMedia || player_->error() != QMediaPlayer::NoError) failed = true;
        if (failed || st == QMediaPlayer::LoadedMedia || st == QMediaPlayer::BufferedMedia) wait.quit();
    };
    auto c1 = connect(player_.get(), &QMediaPlayer::mediaStatusChanged, &wait, settle);
    auto c2 = connect(player_.get(), &QMediaPlayer::errorOccurred, &wait, settle);
    QTimer::singleShot(kOpenTimeoutMs, &wait, [&] {
        failed = true;
        wait.quit();
    });
    player_->setSource(QUrl::fromLocalFile(file));
    settle();
    if (!failed && player_->mediaStatus() != QMediaPlayer::LoadedMedia &&
        player_->mediaStatus() != QMediaPlayer::BufferedMedia)
        wait.exec();
    disconnect(c1);
    disconnect(c2);
    if (failed) {
        message = kMsgMediaUnplayable;
        player_->setSource(QUrl());
        return false;
    }
    return true;
}

bool QtMediaService::missingAudioOutput() const {
    return player_ && player_->hasAudio() && QMediaDevices::audioOutputs().isEmpty();
}

void QtMediaService::play() {
    if (player_) player_->play();
}

void QtMediaService::pause() {
    if (player_) player_->pause();
}

void QtMediaService::stop() {
    if (player_) player_->stop();
}

void QtMediaService::seek(int64_t ms) {
    if (player_) player_->setPosition(ms);
}

int64_t QtMediaService::length() const {
    return player_ ? player_->duration() : 0;
}

int64_t QtMediaService::position() const {
    return player_ ? player_->position() : 0;
}

void QtMediaService::showVideo(bool on) {
    if (!video_) return;
    if (on && player_ && player_->hasVideo())
        video_->show();
    else
        video_->hide();
}

void QtMediaService::startTimer(int intervalMs, std::function<void()> tick) {
    tick_ = std::move(tick);
    timer_.start(intervalMs);
}

void QtMediaService::stopTimer() {
    timer_.stop();
}

}  // namespace vantrel
