#include "app/play_checks.h"

#include "scene/holder_profile.h"

namespace vantrel {

void addCheckControls(ControlSet& cs) {
    if (cs.has(kCheckMenuItem)) return;
    Control item;
    item.name = kCheckMenuItem;
    item.kind = ControlKind::MenuItem;
    item.parent = std::string("N5");
    item.caption = "干渉チェック";
    item.checked = true;
    item.autoCheck = true;
    cs.add(item);
    Control list;
    list.name = kCheckList;
    list.kind = ControlKind::Other;
    list.caption = "干渉チェック";
    cs.add(list);
}

PlayChecks::PlayChecks(AppState& s, ControlSet* controls) : s_(s), cs_(controls) {
    if (cs_ && cs_->has(kCheckMenuItem)) enabled = cs_->checked(kCheckMenuItem);
}

PlayChecks::~PlayChecks() = default;

void PlayChecks::bindCommands() {
    if (cs_ == nullptr) return;
    cs_->bind(kCheckMenuItem, [this](const Control& c) { enabled = c.checked; });
    cs_->bind(kCheckList, [this](const Control& c) {
        const int32_t line = lineOfItem(c.itemIndex);
        if (line >= 0 && goToLine) goToLine(line);
    });
}

void PlayChecks::begin() {
    checker_.reset();
    {
        std::lock_guard lk(mu_);
        findings_.clear();
        items_.clear();
    }
    if (cs_ && cs_->has(kCheckList)) cs_->setItems(kCheckList, {});
    const int k = s_.machineKindShared;
    const MachineKind kind = isValidMachineKind(k) ? static_cast<MachineKind>(k) : MachineKind::VerticalMill;
    // The wire EDM removes nothing: there is nothing to check.
    if (!enabled.load() || isWire(kind)) return;
    checker_ = std::make_unique<ProgramChecker>(kind, s_.stock, s_.machine.chuckDiameter);
    checker_->onFinding = [this](const Finding& f) { found(f); };
    const HolderProfile* body = holderProfileFor(s_.machine.holderStandard);
    bodyRadius_ = body ? body->flangeDiameter / 2.0 : 0.0;
}

void PlayChecks::passStart(int32_t pass) {
    // The first pass starts the play's checks (every play mode has one); an endless play's further
    // passes close the runs of the previous one.
    if (pass <= 1)
        begin();
    else if (checker_)
        checker_->finish();
}

void PlayChecks::blockApplied(int32_t line, int64_t n) {
    if (checker_) checker_->blockApplied(line, n);
}

void PlayChecks::pieceStarted(const MotionSegment& piece, int32_t line) {
    if (checker_) checker_->pieceStarted(piece.moveKind == kMoveRapid, line, piece.start);
}

void PlayChecks::spindleChanged(int32_t state) {
    if (checker_) checker_->spindleChanged(state);
}

void PlayChecks::step(const Vec3& pos) {
    if (!checker_) return;
    CheckedTool tool;
    tool.tool = &s_.tools.workingTool;
    tool.profile = &s_.tools.profile;
    tool.bodyRadius = bodyRadius_;
    checker_->step(s_.stockGrid, tool, pos, s_.stock.cuttingEnabled);
}

void PlayChecks::playEnd() {
    if (checker_) checker_->finish();
    checker_.reset();
}

void PlayChecks::found(const Finding& f) {
    std::vector<std::string> items;
    {
        std::lock_guard lk(mu_);
        findings_.push_back(f);
        if (items_.size() >= kCheckListLimit) return;
        items_.push_back(findingText(f));
        items = items_;
    }
    if (cs_ && cs_->has(kCheckList)) cs_->setItems(kCheckList, std::move(items));
}

std::vector<Finding> PlayChecks::findings() const {
    std::lock_guard lk(mu_);
    return findings_;
}

int32_t PlayChecks::lineOfItem(int index) const {
    std::lock_guard lk(mu_);
    if (index < 0 || index >= static_cast<int>(items_.size())) return -1;
    return findings_[static_cast<size_t>(index)].line;
}

}  // namespace vantrel
