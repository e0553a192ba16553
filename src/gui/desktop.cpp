#include "gui/desktop.h"

#include "app/program_listing.h"
#include "app/settings_store.h"
#include "app/value_edit.h"

namespace vantrel {

Desktop::Desktop(AppState& state, TQuonStrings& program, UiServices& ui, MainThread& mainThread)
    : state_(state), program_(program), ui_(ui), app_(state, controls_, ui, mainThread) {
    app_.createControls();
    app_.bindSubsystemCommands(&program_);
    window_ = std::make_unique<MainWindow>(app_);
    app_.hooks.repaint = [this] { window_->repaintScene(); };
    app_.hooks.requestClose = [this] { window_->close(); };
    // The screen tab comes before the start-up, which reads the stored picture.
    screenTab_ = std::make_unique<GuiScreenTab>(app_, *window_);
}

Desktop::~Desktop() {
    // The screen tab was made before the play and outlives it: it lets go of the play first.
    if (screenTab_) screenTab_->detachPlayback();
    scene_.reset();
    guiDnc_.reset();
    if (dnc_) app_.unregisterWorker(dnc_.get());
    dnc_.reset();
    checkList_.reset();
    playback_.reset();
    editor_.reset();
    screenTab_.reset();
    window_.reset();
}

void Desktop::start(const std::string& settingsPath, CaptionedQuestions* questions,
                    const std::vector<std::string>& programArguments) {
    if (!settingsPath.empty()) attachSettingsStore(app_, settingsPath);
    app_.startUp();
    // The editor window comes second; the first parameter names a program to load into it.
    editor_ = std::make_unique<ProgramEditor>(*window_, app_, program_, questions);
    // "読み込んだデータに材料を合わせますか？" answered Yes: fit the stock to the program's path.
    editor_->files().hooks.stockFit = [this] {
        fitStockToProgramNow(state_, state_.stockGrid, controls_, program_, ui_, app_.commandHooks());
    };
    editor_->files().hooks.programStrip = [this] { redrawProgramStrip(); };
    editor_->files().loadStartupParameter(programArguments);
    // The play: its thread reads the same program store; closing the window stops and joins it.
    playback_ = std::make_unique<GuiPlayback>(app_, *window_, program_);
    // The findings of the interference checks in a window of their own; a double click shows the line.
    checkList_ = std::make_unique<GuiCheckList>(*window_, controls_, playback_->session().checks());
    checkList_->attachEditor(editor_->edit());
    // The communication panel: transfers on their own thread, received text into the editor here.
    dnc_ =
        std::make_unique<DncPanel>(state_, controls_, ui_, app_.mainThread(), program_, &playback_->input());
    app_.registerWorker(dnc_.get());
    guiDnc_ = std::make_unique<GuiDnc>(*dnc_, *window_, *editor_, program_);
    playback_->view().editorReadOnly = [this](bool on) {
        editor_->setPlaying(on);
        dnc_->setProgramLocked(on);
    };
    // The scene: composition into the scene widget, its mouse and view commands and the play's drawing.
    scene_ = std::make_unique<GuiScene>(app_, *window_, *playback_);
    screenTab_->attachPlayback(*playback_);
    scene_->composer().setProgram(&program_);
    redrawProgramStrip();
    app_.requestRepaint();
}

void Desktop::redrawProgramStrip() {
    DrawProgramListing(window_->listingImage(), program_, 0, painter_);
    window_->updateListing();
}

}  // namespace vantrel
