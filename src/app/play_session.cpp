#include "app/play_session.h"

#include "stock/material_removal.h"
#include "tools/tool_commands.h"
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

void ToolLibraryHooks::setCurrentToolIndex(int32_t index) {
    onUiThread([&] { s_.tools.currentToolIndex = index; });
}

void ToolLibraryHooks::loadWorkingTool(int32_t index) {
    onUiThread([&] { vantrel::loadWorkingTool(s_.tools, kindOf(s_), index); });
}

double ToolLibraryHooks::workingToolTotalLength() const {
    return s_.tools.workingTool.length + s_.tools.workingTool.holderLength + s_.tools.holderBaseLength;
}

double ToolLibraryHooks::toolDiameter(int32_t index) const {
    const std::vector<ToolRecord>& list = offsetStoreFor(s_.tools, kindOf(s_));
    if (index < 0 || index >= static_cast<int32_t>(list.size())) return 0;
    return list[static_cast<size_t>(index)].diameter;
}

int32_t ToolLibraryHooks::toolCount() const {
    return static_cast<int32_t>(offsetStoreFor(s_.tools, kindOf(s_)).size());
}

void CuttingPlaybackView::perStepUpdate(uint8_t mode, const Vec3& pos, bool drawDue) {
    if (checks_ && checks_->active()) {
        // Before the cut: the checks see the material the step is about to meet.
        std::lock_guard lk(s_.stockMutex);
        checks_->step(pos);
    }
    if (s_.stock.cuttingEnabled && mode != kModeWire) {
        std::lock_guard lk(s_.stockMutex);
        ++cutSteps_;
        if (mode == kModeLathePlay || mode == kModeLatheStep || mode == kModeLatheFast) {
            if (applyTurnCut(s_.stockGrid, s_.stock, s_.tools.workingTool, pos)) ++changedSteps_;
        } else {
            MillCutResult r = applyMillCut(s_.stockGrid, s_.stock, s_.tools.workingTool, s_.tools.profile,
                                           pos, mode == kModeMillFast);
            if (r.stockChanged) ++changedSteps_;
            s_.stockChanges.add(r);
        }
    }
    ForwardingPlaybackView::perStepUpdate(mode, pos, drawDue);
}

void CuttingPlaybackView::playStart(uint8_t mode) {
    if (beforePlay) mt_.invoke(beforePlay);
    ForwardingPlaybackView::playStart(mode);
}

void CuttingPlaybackView::spindleChanged(int32_t state) {
    s_.modal.spindle = state;
    if (checks_) checks_->spindleChanged(state);
    ForwardingPlaybackView::spindleChanged(state);
}

void CuttingPlaybackView::playEnd(bool rebuildStock) {
    // The spindle stops with the play, whatever the program left it doing.
    s_.modal.spindle = 0;
    if (checks_) checks_->playEnd();
    ForwardingPlaybackView::playEnd(rebuildStock);
}

void CuttingPlaybackView::passStart(int32_t pass) {
    if (checks_) checks_->passStart(pass);
    ForwardingPlaybackView::passStart(pass);
}

void CuttingPlaybackView::pieceStarted(const MotionSegment& piece, int32_t line) {
    if (checks_) checks_->pieceStarted(piece, line);
    ForwardingPlaybackView::pieceStarted(piece, line);
}

void CuttingPlaybackView::blockApplied(int32_t line, int64_t n) {
    if (checks_) checks_->blockApplied(line, n);
    ForwardingPlaybackView::blockApplied(line, n);
}

void ToolLibraryHooks::animateToolChange(int32_t fromIndex, int32_t toIndex) {
    if (view_ == nullptr) return;
    const InputState* input = input_;
    view_->toolChangeAnimation(fromIndex, toIndex,
                               [input] { return input != nullptr && input->rightButton; });
}

void ToolLibraryHooks::selectTool(double tWord) {
    // The T format of the machine options decides which digits name the tool. The tables change on the
    // UI thread, which reads them between steps.
    onUiThread([&] { selectToolByTWord(s_.tools, kindOf(s_), tWord, s_.machine.tCodeFormat); });
}

PlaySession::PlaySession(AppState& s, const PlaySessionParts& parts)
    : s_(s), hooks_(s, parts.mainThread), checks_(s, parts.controls), view_(s, *parts.mainThread) {
    hooks_.setAnimationView(&view_, parts.input);
    checks_.bindCommands();
    view_.setChecks(&checks_);
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
