#pragma once
// The program checks during a play (see verify/program_checks.h), wired to the application: the Play
// menu's switch "干渉チェック", the tool and holder of the moment, and the findings for the window's
// list (the control `list_check`, whose item picked puts the editor's caret on the finding's line)
// and for the headless reports.
//
// Threads: the play calls everything but findings() and lineOfItem() on its own thread, the step under
// the stock lock before the cut; the findings are copied out under a mutex.
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "app/app_state.h"
#include "core/control_set.h"
#include "core/shared_value.h"
#include "nc/motion.h"
#include "verify/program_checks.h"

namespace vantrel {

inline constexpr const char* kCheckMenuItem = "menu_check";
inline constexpr const char* kCheckList = "list_check";
// The window lists at most this many findings; the reports keep them all.
inline constexpr size_t kCheckListLimit = 1000;

// The Play menu's check item (on at start-up) and the findings list.
void addCheckControls(ControlSet& cs);

class PlayChecks {
  public:
    PlayChecks(AppState& s, ControlSet* controls);
    ~PlayChecks();
    PlayChecks(const PlayChecks&) = delete;
    PlayChecks& operator=(const PlayChecks&) = delete;

    // Follows the menu item; read when a play starts. Off: the play runs exactly as without checks.
    Shared<bool> enabled{true};
    // Where a picked finding's line goes (the editor's caret). Set by the window.
    std::function<void(int32_t line)> goToLine;

    // Binds the menu item and the list's pick.
    void bindCommands();

    bool active() const { return checker_ != nullptr; }
    void passStart(int32_t pass);
    void blockApplied(int32_t line, int64_t n);
    void pieceStarted(const MotionSegment& piece, int32_t line);
    void spindleChanged(int32_t state);
    // Before the stock is cut at `pos` (the stock lock held).
    void step(const Vec3& pos);
    void playEnd();

    // The findings of the current or last play.
    std::vector<Finding> findings() const;
    // The line of the list's item `index`; -1 when there is none.
    int32_t lineOfItem(int index) const;

  private:
    void begin();
    void found(const Finding& f);
    AppState& s_;
    ControlSet* cs_;
    std::unique_ptr<ProgramChecker> checker_;
    double bodyRadius_ = 0;
    mutable std::mutex mu_;
    std::vector<Finding> findings_;
    std::vector<std::string> items_;
};

}  // namespace vantrel
