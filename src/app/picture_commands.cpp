#include "app/picture_commands.h"

#include <filesystem>

#include "app/main_window_controls.h"
#include "effects/picture_effects.h"
#include "platform/picture_decode.h"

namespace vantrel {

namespace {

// KIND|name|parent|caption|hint|tag|flags  (see addControlTable)
const char* kPictureControls = R"(
SB|sb_onpicture|TabSheet1|背景の絵|背景の絵|1|g40a
SB|sb_onpicture2|TabSheet1|背景の絵（枠にあわせる）|背景の絵（枠にあわせる）|2|g40a
SB|sb_onpicture3|TabSheet1|平面に貼り付け|平面に貼り付け|3|g40a
SB|sb_scroll|TabSheet1|スクロール|スクロール|0|th
SB|sb_rustarscroll|TabSheet1|ラスタースクロール|ラスタースクロール|1|th
SB|sb_finout|TabSheet1|フェードイン フェードアウト|フェードイン フェードアウト|3|th
SB|sb_kage|TabSheet1|かげろう|かげろう|4|th
SB|sb_kaiten|TabSheet1|回転|回転|5|th
SB|sb_peep|TabSheet1|虫眼鏡|虫眼鏡|6|th
SB|sb_mono|TabSheet1|白黒|白黒|256|h
LABEL|label_mono|TabSheet1|256|||h
SB|sb_musicav|TabSheet1|音楽，映像|音楽，映像||t
PANEL|MediaPlayer1|TabSheet1||||h
BTN|mp_play|MediaPlayer1|再生|||
BTN|mp_pause|MediaPlayer1|一時停止|||
BTN|mp_stop|MediaPlayer1|停止|||
TRACK|TrackBar1|TabSheet1||||h
)";

}  // namespace

void addPictureControls(ControlSet& cs) {
    addControlTable(cs, kPictureControls);
    cs.setRange("TrackBar1", 0, 0);
}

PictureCommands::PictureCommands(AppState& s, ControlSet& cs, UiServices& ui, MainThread& mt)
    : s_(s), cs_(cs), ui_(ui), thread_(mt) {}

void PictureCommands::requestRepaint() {
    if (repaint) repaint();
}

void PictureCommands::bindCommands() {
    for (const char* n : kPictureButtons) cs_.bind(n, [this](const Control&) { pictureClick(); });
    for (const char* n : kEffectButtons) cs_.bind(n, [this](const Control& c) { effectClick(c); });
    cs_.bind("sb_mono", [this](const Control&) { monoClick(); });
}

void PictureCommands::showEffectControls(bool on) {
    for (const char* n : kEffectButtons) cs_.setVisible(n, on);
    cs_.setVisible("sb_mono", on);
    cs_.setVisible("label_mono", on);
}

bool PictureCommands::loadPicture(const std::string& path, bool tellWhy) {
    DecodedPicture d = loadPictureFile(path);
    if (!d.ok) {
        if (tellWhy) ui_.message(d.message);
        return false;
    }
    s_.picture.pictureImage = std::move(d.image);
    s_.picture.fileName = path;
    s_.picture.monoLevels = 256;
    cs_.setCaption("label_mono", "256");
    cs_.setEnabled("label_mono", true);
    return true;
}

void PictureCommands::stopEffect() {
    PictureState& p = s_.picture;
    const bool wasRunning = p.effectKind != kEffectStopped || thread_.running();
    p.effectKind = kEffectStopped;
    thread_.finish();
    for (const char* n : kEffectButtons) cs_.setChecked(n, false);
    if (!p.pictureCopy.empty()) {
        p.pictureImage = std::move(p.pictureCopy);
        p.pictureCopy = Image32();
    }
    if (wasRunning) requestRepaint();
}

void PictureCommands::pictureClick() {
    PictureState& p = s_.picture;
    int mode = 0;
    for (const char* n : kPictureButtons)
        if (cs_.checked(n)) mode = cs_.tag(n);
    if (mode != 0) {
        const std::optional<std::string> path = ui_.openFile(kPictureDialogTitle, kPictureFilter);
        if (path) {
            // A new picture ends the effect first; a file that fails keeps the picture as it was.
            stopEffect();
            loadPicture(*path, true);
            showEffectControls(!p.pictureImage.empty());
            p.pictureMode = mode;
        } else if (p.pictureImage.empty()) {
            for (const char* n : kPictureButtons) cs_.setChecked(n, false);
            stopEffect();
            p.pictureMode = 0;
            showEffectControls(false);
        } else {
            p.pictureMode = mode;
        }
    } else {
        stopEffect();
        p.pictureMode = 0;
        showEffectControls(false);
    }
    requestRepaint();
}

void PictureCommands::loadStoredPicture() {
    PictureState& p = s_.picture;
    if (p.pictureMode < 1 || p.pictureMode > 3) return;
    for (const char* n : kPictureButtons)
        if (cs_.tag(n) == p.pictureMode) cs_.setChecked(n, true);
    // A stored picture that has gone is not worth a message at every start; one that is there but
    // cannot be read is.
    std::error_code ec;
    if (p.fileName.empty() || !std::filesystem::exists(p.fileName, ec)) return;
    if (loadPicture(p.fileName, true)) showEffectControls(true);
}

void PictureCommands::effectClick(const Control& sender) {
    PictureState& p = s_.picture;
    if (!cs_.checked(sender.name)) {
        // Released: the effect stops and the picture returns as it was before it.
        p.effectKind = kEffectStopped;
        thread_.finish();
        if (!p.pictureCopy.empty()) {
            p.pictureImage = std::move(p.pictureCopy);
            p.pictureCopy = Image32();
        }
        requestRepaint();
        return;
    }
    bool other = false;
    for (const char* n : kEffectButtons)
        if (sender.name != n && cs_.checked(n)) other = true;
    // One effect at a time; and nothing to animate without a picture or while a program plays.
    if (other || p.pictureImage.empty() || (playing && playing())) {
        cs_.setChecked(sender.name, false);
        return;
    }
    thread_.finish();
    p.pictureCopy = p.pictureImage;
    const int32_t kind = sender.tag;
    const EffectValues v = effectStartValues(kind, s_.modal.stepLength);
    p.effectPhase = v.phase;
    p.effectAmplitude = v.amplitude;
    p.fadeLevel = v.fadeLevel;
    p.effectKind = kind;
    thread_.start([this] { return frame(); });
}

bool PictureCommands::frame() {
    PictureState& p = s_.picture;
    const int32_t kind = p.effectKind;
    if (kind == kEffectStopped || p.pictureCopy.empty()) return false;
    const double step = s_.modal.stepLength;
    EffectValues v{p.effectPhase, p.effectAmplitude, p.fadeLevel};
    switch (kind) {
        case kEffectScroll:
            scrollFrame(p.pictureImage);
            break;
        case kEffectRasterScroll:
            rasterScrollFrame(p.pictureCopy, p.pictureImage, v, step);
            break;
        case kEffectFadeIn:
        case kEffectFadeOut:
            p.effectKind = fadeFrame(p.pictureCopy, p.pictureImage, kind, v);
            break;
        case kEffectHeatHaze:
            heatHazeFrame(p.pictureCopy, p.pictureImage, v, step);
            break;
        case kEffectRotation:
            rotationFrame(p.pictureCopy, p.pictureImage, v, step);
            break;
        case kEffectMagnifier: {
            const std::pair<int, int> size = viewSize ? viewSize() : std::pair<int, int>{0, 0};
            int cx = 0, cy = 0;
            magnifierCentre(p.lensX, p.lensY, size.first, size.second, p.pictureCopy.width(),
                            p.pictureCopy.height(), cx, cy);
            magnifierFrame(p.pictureCopy, p.pictureImage, cx, cy);
            break;
        }
        default:
            return false;
    }
    p.effectPhase = v.phase;
    p.effectAmplitude = v.amplitude;
    p.fadeLevel = v.fadeLevel;
    requestRepaint();
    return true;
}

void PictureCommands::monoClick() {
    PictureState& p = s_.picture;
    const int levels = p.monoLevels;
    monochromeStep(p.pictureImage, levels);
    // During an effect the copy it renders from is reduced too, so the effect does not undo the step.
    if (!p.pictureCopy.empty()) monochromeStep(p.pictureCopy, levels);
    cs_.setCaption("label_mono", std::to_string(levels));
    if (levels >= 3) p.monoLevels = levels / 2;
    if (p.monoLevels < 3) cs_.setEnabled("label_mono", false);
    requestRepaint();
}

}  // namespace vantrel
