// The screen tab's picture, effect and monochrome commands, driven through the control model as the
// window drives them, with the effect thread's frames served by a stand-in UI thread.
#include <gtest/gtest.h>

#include <filesystem>
#include <thread>

#include "app/application.h"
#include "app/picture_commands.h"
#include "app/play_session.h"
#include "effects/picture_effects.h"
#include "platform/atomic_file.h"
#include "platform/picture_decode.h"
#include "queue_main_thread.h"
#include "support/scripted_ui_services.h"

namespace vantrel {
namespace {

// A 24-bit bitmap file whose pixel (x, y) is 0x00RRGGBB = (x, y, 7) (bottom-up rows, padded).
std::string bitmapBytes(int w, int h) {
    const int stride = (w * 3 + 3) / 4 * 4;
    const uint32_t size = 54 + static_cast<uint32_t>(stride * h);
    std::string b = "BM";
    auto put = [&b](uint32_t v, int n) {
        for (int i = 0; i < n; ++i) b.push_back(static_cast<char>(v >> (8 * i)));
    };
    put(size, 4);
    put(0, 4);
    put(54, 4);
    put(40, 4);
    put(static_cast<uint32_t>(w), 4);
    put(static_cast<uint32_t>(h), 4);
    put(1, 2);
    put(24, 2);
    for (int i = 0; i < 6; ++i) put(0, 4);
    for (int y = h - 1; y >= 0; --y) {
        for (int x = 0; x < w; ++x) {
            b.push_back(7);
            b.push_back(static_cast<char>(y));
            b.push_back(static_cast<char>(x));
        }
        for (int k = w * 3; k < stride; ++k) b.push_back(0);
    }
    return b;
}

struct Screen {
    AppState state;
    ControlSet controls;
    ScriptedUiServices ui;
    QueueMainThread mt;
    Application app{state, controls, ui, mt};
    PictureCommands pictures{state, controls, ui, mt};
    int repaints = 0;
    std::filesystem::path dir;

    Screen() {
        app.createControls();
        pictures.repaint = [this] { ++repaints; };
        pictures.viewSize = [] { return std::pair<int, int>{40, 30}; };
        pictures.bindCommands();
        dir = std::filesystem::temp_directory_path() /
              ("vantrel_pictures_" + std::to_string(reinterpret_cast<uintptr_t>(this)));
        std::filesystem::create_directories(dir);
    }
    ~Screen() {
        pictures.thread().finish();
        std::error_code ec;
        std::filesystem::remove_all(dir, ec);
    }
    std::string file(const std::string& name, const std::string& bytes) {
        const std::string p = (dir / name).string();
        EXPECT_TRUE(writeFileAtomically(p, bytes));
        return p;
    }
    // Clicks a picture button and answers its dialog.
    void choose(const char* button, std::optional<std::string> path) {
        ui.fileAnswers.push_back(path);
        controls.click(button);
    }
    // Serves the effect thread until it has rendered `n` more frames.
    void frames(int64_t n) {
        const int64_t target = pictures.thread().frames() + n;
        for (int i = 0; i < 2000 && pictures.thread().frames() < target; ++i) mt.processPending(5);
        ASSERT_GE(pictures.thread().frames(), target);
    }
    bool effectControlsShown() const {
        for (const char* n : kEffectButtons)
            if (!controls.visible(n)) return false;
        return controls.visible("sb_mono") && controls.visible("label_mono");
    }
};

TEST(PictureButtons, ALoadedPictureSetsTheModeAndShowsTheEffectControls) {
    Screen sc;
    EXPECT_FALSE(sc.effectControlsShown());
    sc.choose("sb_onpicture2", sc.file("p.bmp", bitmapBytes(5, 4)));
    EXPECT_EQ(sc.state.picture.pictureMode, 2);
    ASSERT_EQ(sc.state.picture.pictureImage.width(), 5);
    EXPECT_EQ(sc.state.picture.pictureImage.at(3, 2), 0x030207u);
    EXPECT_EQ(sc.state.picture.fileName, (sc.dir / "p.bmp").string());
    EXPECT_TRUE(sc.effectControlsShown());
    EXPECT_EQ(sc.controls.caption("label_mono"), "256");
    EXPECT_TRUE(sc.controls.enabled("label_mono"));
    EXPECT_EQ(sc.ui.log.back(), std::string("open:") + kPictureDialogTitle);
    EXPECT_GT(sc.repaints, 0);
    // Another button of the group: the dialog again, the new mode.
    sc.choose("sb_onpicture3", std::nullopt);
    EXPECT_EQ(sc.state.picture.pictureMode, 3);
    EXPECT_FALSE(sc.controls.checked("sb_onpicture2"));
    // Releasing the button that is down: no picture mode, controls hidden, the picture kept.
    sc.controls.click("sb_onpicture3");
    EXPECT_EQ(sc.state.picture.pictureMode, 0);
    EXPECT_FALSE(sc.effectControlsShown());
    EXPECT_FALSE(sc.state.picture.pictureImage.empty());
}

TEST(PictureButtons, AnUnknownExtensionLoadsNothingButTheModeFollowsTheButton) {
    Screen sc;
    sc.choose("sb_onpicture", sc.file("p.png", bitmapBytes(2, 2)));
    EXPECT_TRUE(sc.state.picture.pictureImage.empty());
    EXPECT_EQ(sc.state.picture.pictureMode, 1);
    EXPECT_EQ(sc.ui.messages, (std::vector<std::string>{kMsgPictureType}));
    EXPECT_FALSE(sc.effectControlsShown());
}

TEST(PictureButtons, AFailedDecodeKeepsThePreviousPicture) {
    Screen sc;
    sc.choose("sb_onpicture", sc.file("good.bmp", bitmapBytes(3, 3)));
    const Image32 before = sc.state.picture.pictureImage;
    const std::string name = sc.state.picture.fileName;
    std::string broken = bitmapBytes(3, 3);
    broken.resize(60);
    sc.choose("sb_onpicture2", sc.file("broken.bmp", broken));
    EXPECT_EQ(sc.ui.messages, (std::vector<std::string>{kMsgPictureBroken}));
    EXPECT_EQ(sc.state.picture.pictureImage.width(), 3);
    EXPECT_TRUE(std::equal(before.data(), before.data() + 9, sc.state.picture.pictureImage.data()));
    EXPECT_EQ(sc.state.picture.fileName, name);  // the stored picture stays the one that loads
    EXPECT_EQ(sc.state.picture.pictureMode, 2);
    // JPEG bytes that libjpeg gives up on: refused the same way, no exit.
    sc.choose("sb_onpicture", sc.file("bad.jpg", std::string("\xFF\xD8\xFF\xC0\x00\x03\x01", 7)));
    EXPECT_EQ(sc.ui.messages.back(), kMsgPictureBroken);
    EXPECT_EQ(sc.state.picture.pictureImage.width(), 3);
}

TEST(PictureButtons, CancellingWithoutAPictureReleasesEverything) {
    Screen sc;
    sc.choose("sb_onpicture3", std::nullopt);
    EXPECT_FALSE(sc.controls.checked("sb_onpicture3"));
    EXPECT_EQ(sc.state.picture.pictureMode, 0);
    EXPECT_EQ(sc.state.picture.effectKind, kEffectStopped);
    EXPECT_FALSE(sc.effectControlsShown());
}

TEST(EffectButtons, OneEffectAtATimeAndReleasingRestoresThePicture) {
    Screen sc;
    sc.choose("sb_onpicture", sc.file("p.bmp", bitmapBytes(6, 5)));
    const Image32 original = sc.state.picture.pictureImage;
    sc.controls.click("sb_scroll");
    EXPECT_EQ(sc.state.picture.effectKind, kEffectScroll);
    sc.frames(3);
    // Three frames scrolled three rows up.
    EXPECT_EQ(sc.state.picture.pictureImage.at(0, 0), original.at(0, 3));
    // "回転" while "スクロール" is down pops up again; the scroll goes on.
    sc.controls.click("sb_kaiten");
    EXPECT_FALSE(sc.controls.checked("sb_kaiten"));
    EXPECT_EQ(sc.state.picture.effectKind, kEffectScroll);
    sc.frames(2);
    // Releasing: stopped, thread ended, the picture exactly as before the effect.
    sc.controls.click("sb_scroll");
    EXPECT_EQ(sc.state.picture.effectKind, kEffectStopped);
    EXPECT_FALSE(sc.pictures.thread().running());
    EXPECT_TRUE(sc.state.picture.pictureCopy.empty());
    ASSERT_EQ(sc.state.picture.pictureImage.width(), 6);
    EXPECT_TRUE(std::equal(original.data(), original.data() + 30, sc.state.picture.pictureImage.data()));
    // Now "回転" starts with its phase from the feed step.
    sc.state.modal.stepLength = 2;
    sc.controls.click("sb_kaiten");
    EXPECT_EQ(sc.state.picture.effectKind, kEffectRotation);
    EXPECT_FLOAT_EQ(sc.state.picture.effectPhase, -10);
    sc.frames(1);
    EXPECT_FLOAT_EQ(sc.state.picture.effectPhase, -20);
    sc.controls.click("sb_kaiten");
}

TEST(EffectButtons, EveryEffectRunsItsFramesAndTheFadeTurnsAround) {
    Screen sc;
    sc.choose("sb_onpicture", sc.file("p.bmp", bitmapBytes(16, 16)));
    for (const char* n : kEffectButtons) {
        sc.controls.click(n);
        ASSERT_TRUE(sc.controls.checked(n)) << n;
        sc.frames(2);
        sc.controls.click(n);
        EXPECT_EQ(sc.state.picture.effectKind, kEffectStopped) << n;
    }
    // The fade starts by fading out from 70 and turns to fading in after 75 frames.
    sc.controls.click("sb_finout");
    EXPECT_EQ(sc.state.picture.effectKind, kEffectFadeOut);
    sc.frames(76);
    EXPECT_EQ(sc.state.picture.effectKind, kEffectFadeIn);
    sc.controls.click("sb_finout");
    // The magnifier centres on the last mouse position: view 40 x 30, picture 16 x 16, mouse (20, 15)
    // is picture (8, 8); the lens rim (x = 8 + 37) lies outside the picture, its centre keeps its pixel.
    sc.state.picture.lensX = 20;
    sc.state.picture.lensY = 15;
    const Image32 original = sc.state.picture.pictureImage;
    sc.controls.click("sb_peep");
    sc.frames(1);
    EXPECT_EQ(sc.state.picture.pictureImage.at(8, 8), original.at(8, 8));
    sc.controls.click("sb_peep");
}

TEST(EffectButtons, APlayStartingStopsTheEffectBeforeItDraws) {
    Screen sc;
    sc.choose("sb_onpicture", sc.file("p.bmp", bitmapBytes(8, 8)));
    const Image32 original = sc.state.picture.pictureImage;
    // The play session's start runs this on the UI thread before the scene's play-start sequence.
    PlaySessionParts parts;
    parts.controls = &sc.controls;
    parts.mainThread = &sc.mt;
    PlaySession session(sc.state, parts);
    session.view().beforePlay = [&] { sc.pictures.stopEffect(); };
    int drawnAfterStop = -1;
    struct Drawing : PlaybackView {
        Screen* sc;
        int* drawn;
        void playStart(uint8_t) override { *drawn = sc->repaints; }
    } drawing;
    drawing.sc = &sc;
    drawing.drawn = &drawnAfterStop;
    session.view().setDrawing(&drawing);
    sc.pictures.playing = [] { return false; };

    sc.controls.click("sb_kage");
    sc.frames(4);
    std::atomic<bool> started{false};
    std::thread play([&] {
        session.view().playStart(kModeMillPlay);
        started = true;
    });
    while (!started) sc.mt.processPending(5);
    play.join();
    EXPECT_EQ(sc.state.picture.effectKind, kEffectStopped);
    EXPECT_FALSE(sc.controls.checked("sb_kage"));
    EXPECT_FALSE(sc.pictures.thread().running());
    EXPECT_TRUE(std::equal(original.data(), original.data() + 64, sc.state.picture.pictureImage.data()));
    // No effect frame came after the stop: the repaint count stood still from then on.
    const int64_t framesAtStop = sc.pictures.thread().frames();
    for (int i = 0; i < 5; ++i) sc.mt.processPending(2);
    EXPECT_EQ(sc.pictures.thread().frames(), framesAtStop);
    EXPECT_EQ(drawnAfterStop, sc.repaints);
    // While a program plays no effect starts.
    sc.pictures.playing = [] { return true; };
    sc.controls.click("sb_scroll");
    EXPECT_FALSE(sc.controls.checked("sb_scroll"));
    EXPECT_FALSE(sc.pictures.thread().running());
}

TEST(EffectButtons, ClosingTheWindowStopsARunningEffect) {
    Screen sc;
    sc.app.registerWorker(&sc.pictures.thread());
    sc.choose("sb_onpicture", sc.file("p.bmp", bitmapBytes(8, 8)));
    sc.controls.click("sb_rustarscroll");
    sc.frames(2);
    sc.app.close();
    EXPECT_FALSE(sc.pictures.thread().running());
    EXPECT_EQ(sc.state.picture.effectKind, kEffectStopped);
}

TEST(MonochromeButton, EightClicksStepFrom256To2Levels) {
    Screen sc;
    sc.choose("sb_onpicture", sc.file("p.bmp", bitmapBytes(4, 4)));
    std::vector<std::string> shown;
    for (int i = 0; i < 8; ++i) {
        sc.controls.click("sb_mono");
        shown.push_back(sc.controls.caption("label_mono"));
    }
    EXPECT_EQ(shown, (std::vector<std::string>{"256", "128", "64", "32", "16", "8", "4", "2"}));
    EXPECT_FALSE(sc.controls.enabled("label_mono"));
    // Two levels: every pixel black or white. Pixel (3, 2) = (3, 2, 7): grey 4 -> black.
    for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 4; ++x) {
            const uint32_t p = sc.state.picture.pictureImage.at(x, y);
            EXPECT_TRUE(p == 0 || p == 0xFFFFFF);
        }
    // A new picture starts over at 256 levels.
    sc.choose("sb_onpicture2", sc.file("q.bmp", bitmapBytes(2, 2)));
    EXPECT_EQ(sc.state.picture.monoLevels, 256);
    EXPECT_TRUE(sc.controls.enabled("label_mono"));
}

TEST(StoredPicture, LoadsAtStartUpOrLeavesTheModeAsStored) {
    {
        Screen sc;
        sc.state.picture.pictureMode = 2;
        sc.state.picture.fileName = sc.file("stored.bmp", bitmapBytes(3, 2));
        sc.pictures.loadStoredPicture();
        EXPECT_EQ(sc.state.picture.pictureImage.width(), 3);
        EXPECT_TRUE(sc.controls.checked("sb_onpicture2"));
        EXPECT_TRUE(sc.effectControlsShown());
    }
    {
        // Missing: nothing loaded, nothing said, the mode as stored.
        Screen sc;
        sc.state.picture.pictureMode = 3;
        sc.state.picture.fileName = (sc.dir / "gone.bmp").string();
        sc.pictures.loadStoredPicture();
        EXPECT_TRUE(sc.state.picture.pictureImage.empty());
        EXPECT_EQ(sc.state.picture.pictureMode, 3);
        EXPECT_TRUE(sc.ui.messages.empty());
        EXPECT_FALSE(sc.effectControlsShown());
    }
    {
        // There but undecodable: the same state as missing, and the user is told why.
        Screen sc;
        sc.state.picture.pictureMode = 1;
        sc.state.picture.fileName = sc.file("stored.jpg", "not a jpeg");
        sc.pictures.loadStoredPicture();
        EXPECT_TRUE(sc.state.picture.pictureImage.empty());
        EXPECT_EQ(sc.state.picture.pictureMode, 1);
        EXPECT_EQ(sc.ui.messages, (std::vector<std::string>{kMsgPictureBroken}));
    }
}

}  // namespace
}  // namespace vantrel
