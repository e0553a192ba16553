#pragma once
// The checks of a program as it plays: what would crash a real machine although the simulation cuts
// on. They consume what the play already produces (the pieces of movement with their lines, every
// step of the tool, the spindle state, the block's N number) and look at the stock before each step's
// cut; they read no program text and run no pass of their own.
//
//   rapid_cut        a rapid move (G00) whose swept cutter crosses material
//   holder           the tool holder (the tool record's holder length and diameter) or the holder
//                    standard's body above it touching the stock
//   below_stock      a mill's cutter below the bottom of the stock (the table or the vice)
//   spindle_stopped  a feed move removing material while the spindle stands (M05)
//   chuck            on a lathe, the tool beyond the stock's end on the chuck side, inside the chuck
//
// Each check looks at the whole swept path of a step, from the previous position to the new one, not
// only at the positions the play samples: a rapid steps 10 mm by default and would jump a thin wall.
// A finding is reported once per continuous run of steps that show it, with the line and position of
// its first step and the material volume of the whole run (each bit of material counted once).
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "core/machine_kind.h"
#include "core/vec3.h"
#include "stock/stock_spec.h"
#include "tools/tool_table.h"

namespace vantrel {

enum class FindingKind : uint8_t { RapidCut, Holder, BelowStock, SpindleStopped, Chuck };
inline constexpr int kFindingKinds = 5;

// "rapid_cut", "holder", "below_stock", "spindle_stopped", "chuck": the names of the JSON reports.
const char* findingKindName(FindingKind kind);
// What the window lists for the kind.
const char* findingKindCaption(FindingKind kind);

struct Finding {
    FindingKind kind = FindingKind::RapidCut;
    int32_t line = 0;   // 0-based program line of the move
    int64_t n = -1;     // the sequence number in force (the last N word), -1 before any
    Vec3 position;      // the programmed point at the run's first step
    double volume = 0;  // mm3 of material inside the swept cutter, holder or region (0 for chuck)
};

// The line of the window's list for a finding: kind, line (1-based, as the editor counts), N,
// position and volume.
std::string findingText(const Finding& f);

// The tool as the checks see it at a step.
struct CheckedTool {
    const ToolRecord* tool = nullptr;
    const ToolProfile* profile = nullptr;
    double bodyRadius = 0;  // the holder standard's flange radius above the holder; 0: none
};

class ProgramChecker {
  public:
    // `chuckDiameter` serves the lathes' chuck check.
    ProgramChecker(MachineKind kind, const StockSpec& stock, double chuckDiameter);

    // Called with every finding as its run closes (on the thread that plays).
    std::function<void(const Finding&)> onFinding;

    void blockApplied(int32_t line, int64_t n);
    // A piece of movement starts at `start` (the tool's position).
    void pieceStarted(bool rapid, int32_t line, const Vec3& start);
    // 0 stopped, 1 clockwise, 2 counter-clockwise.
    void spindleChanged(int32_t state) { spindle_ = state; }
    // The tool reaches `pos`; `grid` is the stock before the step's cut. `cutFollows`: the play cuts
    // the stock at `pos` right after (off while the cut is switched off).
    void step(const StockGrid& grid, const CheckedTool& tool, const Vec3& pos, bool cutFollows = true);
    // Closes the runs still open (the end of a pass or of the play).
    void finish();

    const std::vector<Finding>& findings() const { return findings_; }

  private:
    // The lowest level a run's swept part has reached over each lattice node, so that the run's volume
    // counts every bit of material once however often its steps cross it (the holder and the region
    // below the stock remove nothing; a rapid's material between the play's samples stays too).
    // Allocated when a run first needs it; only the nodes a run touched are reset when it closes.
    struct SweptLevels {
        std::vector<float> level;
        std::vector<uint32_t> touched;
        // The part of the column from `low` up to `top` not yet swept by the run; records `low`.
        double add(size_t index, double low, double top);
        void reset();
    };
    struct Run {
        bool open = false;
        Finding f;
        SweptLevels swept;
    };
    struct StepHits {
        bool hit[kFindingKinds] = {};
        double volume[kFindingKinds] = {};
    };
    void millStep(const StockGrid& grid, const CheckedTool& tool, const Vec3& from, const Vec3& to,
                  bool cutFollows, StepHits& hits);
    void latheStep(const StockGrid& grid, const CheckedTool& tool, const Vec3& from, const Vec3& to,
                   StepHits& hits) const;
    void close(int kind);

    // What the last full walk of a vertical step found of the holder and body over the nodes outside
    // the cutter: a further vertical step at the same place whose parts stay as high or higher meets
    // nothing new (the stock only ever gets lower, and at that place only inside the cutter), so its
    // contact follows from these maxima without walking the lattice again. Pecking cycles repeat such
    // steps millions of times in a deep hole.
    struct PartCache {
        bool valid = false;
        // The lowest tip the play has cut at this place since the tool last moved sideways: the cutter
        // finds nothing above it there.
        bool cutValid = false;
        double cutX = 0, cutY = 0, cutLevel = 0, cutRadius = 0;
        double x = 0, y = 0, level = 0, length = 0, holderLength = 0, rh = 0, rb = 0, rc = 0;
        double holderMax = -1e300, bodyMax = -1e300;
        // Going deeper at the same place: the nodes under the parts (outside the cutter) that touched
        // at `level` and their area, and the highest of those that did not. While the parts stay above
        // that, the deeper step adds (old level - new level) over the touched area, and the run's swept
        // levels of those nodes are brought down when the place is left.
        std::vector<uint32_t> holderNodes, bodyNodes;
        double touchedArea = 0, holderNext = -1e300, bodyNext = -1e300;
        bool pending = false;
    };
    void leavePlace();
    MachineKind kind_;
    StockSpec stock_;
    PartCache parts_;
    double chuckRadius_;
    bool rapid_ = false;
    int32_t line_ = 0;
    int64_t n_ = -1;
    int32_t spindle_ = 0;
    bool havePrev_ = false;
    Vec3 prev_;
    Run runs_[kFindingKinds];
    std::vector<Finding> findings_;
};

}  // namespace vantrel
