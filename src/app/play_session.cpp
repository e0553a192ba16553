#include "app/play_session.h"

#include "stock/material_removal.h"
#include "tools/tool_table.h"

namespace vantrel {

namespace {
MachineKind kindOf(const AppState& s) {
    int k = s.machineKindShared;
    return isValidMachineKind(k) ? static_cast<MachineKind>(k) : MachineKind::VerticalMill;
}
}  // namespace

int32_t ToolLibraryHooks::findToolIndex(int32_t toolNumber) {
    const std::vector<ToolRecord>* list = toolListFor(s_.tools, kindOf(s_));
    if (list == nullptr) return 0;
    int i = vantrel::findToolIndex(*list, toolNumber);
    return i < 0 ? 0 : i;
}

void ToolLibraryHooks::loadWorkingTool(int32_t index) {
    vantrel::loadWorkingTool(s_.tools, kindOf(s_), index);
}

double ToolLibraryHooks::workingToolTotalLength() const {
    return s_.tools.workingTool.length + s_.tools.workingTool.holderLength + s_.tools.holderBaseLength;
}

double ToolLibraryHooks::toolDiameter(int32_t index) const {
    const std::vector<ToolRecord>* list = toolListFor(s_.tools, kindOf(s_));
    if (list == nullptr || index < 0 || index >= static_cast<int32_t>(list->size())) return 0;
    return (*list)[static_cast<size_t>(index)].diameter;
}

void CuttingPlaybackView::playStart(uint8_t mode) {
    if (drawing_) drawing_->playStart(mode);
}
void CuttingPlaybackView::passStart(int32_t pass) {
    if (drawing_) drawing_->passStart(pass);
}
void CuttingPlaybackView::passEnd(int32_t pass) {
    if (drawing_) drawing_->passEnd(pass);
}
bool CuttingPlaybackView::pixelChanged(const Vec3& pos) {
    return drawing_ && drawing_->pixelChanged(pos);
}
void CuttingPlaybackView::stepRepaint(uint8_t mode, const Vec3& pos) {
    if (drawing_) drawing_->stepRepaint(mode, pos);
}
void CuttingPlaybackView::moveEndRepaint(uint8_t mode, const Vec3& end, bool rapid) {
    if (drawing_) drawing_->moveEndRepaint(mode, end, rapid);
}

void CuttingPlaybackView::perStepUpdate(uint8_t mode, const Vec3& pos, bool drawDue) {
    if (s_.stock.cuttingEnabled && mode != kModeWire) {
        std::lock_guard lk(s_.stockMutex);
        ++cutSteps_;
        if (mode == kModeLathePlay || mode == kModeLatheStep || mode == kModeLatheFast) {
            if (applyTurnCut(s_.stockGrid, s_.stock, s_.tools.workingTool, pos)) ++changedSteps_;
        } else {
            MillCutResult r = applyMillCut(s_.stockGrid, s_.stock, s_.tools.workingTool, s_.tools.profile,
                                           pos, mode == kModeMillFast);
            if (r.stockChanged) ++changedSteps_;
        }
    }
    if (drawing_) drawing_->perStepUpdate(mode, pos, drawDue);
}

void CuttingPlaybackView::playEnd(bool rebuildStock) {
    if (drawing_) drawing_->playEnd(rebuildStock);
}
void CuttingPlaybackView::setEditorReadOnly(bool on) {
    if (drawing_) drawing_->setEditorReadOnly(on);
}
void CuttingPlaybackView::setEditorCaption(const std::string& text) {
    if (drawing_) drawing_->setEditorCaption(text);
}
void CuttingPlaybackView::showListing() {
    if (drawing_) drawing_->showListing();
}
void CuttingPlaybackView::drawPath(const MotionSegment& piece, bool rapid) {
    if (drawing_) drawing_->drawPath(piece, rapid);
}

PlaySession::PlaySession(AppState& s, const PlaySessionParts& parts)
    : s_(s), hooks_(s), view_(s, *parts.mainThread) {
    s_.machineKindShared = static_cast<int32_t>(s_.machineKind);
    PlaybackEnv env;
    env.controls = parts.controls;
    env.mainThread = parts.mainThread;
    env.input = parts.input;
    env.program = parts.program;
    env.stock = &s_.stock;
    env.tool = &s_.pos.tool;
    env.hooks = &hooks_;
    env.view = &view_;
    env.ui = parts.ui;
    env.painter = parts.painter;
    env.listing = parts.listing;
    env.options = &s_.play;
    env.machineKind = &s_.machineKindShared;
    env.openGl = &s_.openGlOn;
    env.rapidStep = s_.pos.rapidStep;
    env.referencePoint = s_.pos.reference;
    env.toolTotalLength = hooks_.workingToolTotalLength();
    env.refresh = [this](PlaybackEnv& e) {
        e.rapidStep = s_.pos.rapidStep;
        e.referencePoint = s_.pos.reference;
        e.toolTotalLength = hooks_.workingToolTotalLength();
    };
    controller_ = std::make_unique<PlaybackController>(env);
}

}  // namespace vantrel
