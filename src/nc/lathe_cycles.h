#pragma once
// The lathe's multiple repetitive cycles G70 to G76: stock removal in turning (G71) and facing (G72),
// pattern repeating (G73), finishing (G70), face and diameter grooving (G74, G75) and threading (G76).
//
// Everything here is a pure function of the program text, the cycle block and the state at the call:
// it returns the moves the cycle makes, or an alarm, and never touches the interpreter's state, so the
// play, the path display and the stock fit expand a cycle the same way. A cycle that cannot run is
// refused as a whole before its first move: every check is made while the moves are computed.
//
// Coordinates: `x` is a radius (X words divided by the diameter divisor, as the interpreter keeps
// them), `z` the spindle axis. Amounts written "radius" are never divided.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "nc/block_scanner.h"

namespace vantrel::lathe::mrc {

struct Pt {
    double x = 0;  // radius
    double z = 0;
};

enum class MoveKind { Rapid, Feed, Thread, ArcCW, ArcCCW };

// One generated move; arcs (only where the profile has them) turn about `centre` in the ZX plane.
struct CycleMove {
    MoveKind kind = MoveKind::Rapid;
    Pt to;
    double feed = 0;  // the cycle's feed; the lead for Thread
    int32_t sourceLine = 0;
    Pt centre;
};

struct CycleAlarm {
    int id = 0;                // 1..16 (A01..A16)
    int32_t blockLine = 0;     // the cycle block
    int32_t profileLine = -1;  // the offending profile block, -1 when none
    std::string text;          // Japanese, naming the cycle block and the profile block
};

struct CycleWarning {
    int id = 0;  // 1..8 (W01..W08)
    int32_t line = 0;
    std::string text;
};

// Simulator guards: passes (levels, pecks, grooves, threading passes) and moves of one cycle.
inline constexpr int kMaxPasses = 10000;
inline constexpr std::size_t kMaxMoves = 400000;

// What the first blocks of the two-block forms store; one per play (reset at its start).
struct MrcModal {
    double roughDepth = 0;             // G71 U / G72 W / one-block D (mm; 0: never set)
    double roughRetract = 0.5;         // G71/G72 R
    double patternReliefX = 0;         // G73 U (radius, signed)
    double patternReliefZ = 0;         // G73 W
    int32_t patternCount = 1;          // G73 R
    double grooveRetract = 0.5;        // G74/G75 R
    int32_t threadFinishCount = 1;     // G76 P digits 1-2
    int32_t threadChamfer = 0;         // G76 P digits 3-4, tenths of the lead
    double threadAngle = 60;           // G76 P digits 5-6, degrees
    double threadMinDepth = 0;         // G76 Q (radius)
    double threadFinishAllowance = 0;  // G76 R (radius)
};

// The program's lines, as the profile reader needs them.
class ProgramText {
  public:
    virtual ~ProgramText() = default;
    virtual int32_t count() const = 0;
    virtual std::string_view lineText(int32_t line) const = 0;
};

// Adapts any line store with count() and lineText().
template <class Lines>
class ProgramTextOf : public ProgramText {
  public:
    explicit ProgramTextOf(const Lines& lines) : lines_(lines) {}
    int32_t count() const override { return static_cast<int32_t>(lines_.count()); }
    std::string_view lineText(int32_t line) const override { return lines_.lineText(line); }

  private:
    const Lines& lines_;
};

enum class ElementKind { Line, ArcCW, ArcCCW };

struct ProfileElement {
    ElementKind kind = ElementKind::Line;
    Pt from, to, centre;
    double radius = 0;
    int32_t sourceLine = 0;
    int32_t sourceN = -1;  // the block's sequence number, -1 without one
    bool rapid = false;    // a G00 line
};

// The finished shape between the P and Q blocks, collected from the cycle's start point.
struct Profile {
    Pt first;                              // end point of the ns block (A')
    Pt last;                               // end point of the nf block (B)
    std::vector<ProfileElement> elements;  // the moves after the ns block
    bool nsRapid = true;                   // the ns block is G00 (else G01)
    bool nsHasX = false, nsHasZ = false;   // X/U, Z/W written in the ns block
    int32_t nsLine = 0, nfLine = 0;
    int32_t nsN = 0;
};

struct ProfileContext {
    int32_t motion = 0;          // the group-01 code in force at the call (0..3; others are no G00/G01)
    double diameterDivisor = 2;  // signed: X and U words are divided by it
};

// Finds N`ns` (from line 0, the first) and N`nf` (from there on), checks what the profile may hold and
// collects its moves starting at `start`. Warns (W01) of a duplicated sequence number.
std::variant<Profile, CycleAlarm> readProfile(const ProgramText& text, int32_t ns, int32_t nf,
                                              const ProfileContext& ctx, Pt start, int32_t cycleLine,
                                              std::vector<CycleWarning>& warnings);

enum class Axis { X, Z };

struct RoughParams {
    Axis depthAxis = Axis::X;  // X: G71 (cuts along Z); Z: G72 (cuts along X)
    double depth = 0;          // depth of cut (radius for G71)
    double retract = 0.5;      // 45-degree retract
    double allowX = 0;         // finishing allowance, radius, signed
    double allowZ = 0;
    double feed = 0;
    bool semiFinishingPass = true;
};
// G71 / G72. Type II (pockets) when the ns block has both axes.
std::variant<std::vector<CycleMove>, CycleAlarm> expandRough(const Profile& profile, Pt start,
                                                             const RoughParams& params, int32_t cycleLine);

struct PatternParams {
    double reliefX = 0, reliefZ = 0;  // total relief of the first pass (radius, signed)
    int32_t count = 1;
    double allowX = 0, allowZ = 0;
    double feed = 0;
};
// G73.
std::variant<std::vector<CycleMove>, CycleAlarm> expandPattern(const Profile& profile, Pt start,
                                                               const PatternParams& params,
                                                               int32_t cycleLine);

// The moves G70 makes when its profile is followed from `start` as written (used where the blocks are
// not played one by one): the ns move, the profile, a rapid back to the start.
std::vector<CycleMove> finishingMoves(const Profile& profile, Pt start, double feed, int32_t cycleLine);

struct GrooveParams {
    Axis peckAxis = Axis::X;  // X: G75 (pecks along X, shifts along Z); Z: G74
    Pt end;                   // the bottom and the last shift position
    double peck = 0;          // peck depth along the peck axis (<= 0: one feed to the bottom)
    double shift = 0;         // shift between plunges
    double relief = 0;        // relief at the bottom, signed as written
    double retract = 0.5;     // back-off after each peck
    double feed = 0;
};
// G74 / G75.
std::variant<std::vector<CycleMove>, CycleAlarm> expandGroove(Pt start, const GrooveParams& params,
                                                              int32_t cycleLine);

struct ThreadParams {
    Pt end;                 // the thread's end at the root
    double taper = 0;       // radius at the start minus radius at the end
    double height = 0;      // thread height (radius)
    double firstDepth = 0;  // depth of the first pass (radius)
    double lead = 0;
    int32_t finishCount = 1;
    int32_t chamfer = 0;  // pull-out in tenths of the lead
    double angle = 60;    // included tool angle, degrees
    double minDepth = 0;  // smallest depth step
    double finishAllowance = 0;
    bool constantDepth = false;  // one-block P3/P4: n times the first depth
};
// G76. Warns W08 when the allowance leaves no roughing pass.
std::variant<std::vector<CycleMove>, CycleAlarm> expandThread(Pt start, const ThreadParams& params,
                                                              int32_t cycleLine,
                                                              std::vector<CycleWarning>& warnings);

// The state at the call that a cycle block reads besides its own words.
struct CallState {
    int32_t motion = 0;               // group-01 code in force
    double diameterDivisor = 2;       // signed
    bool compensationActive = false;  // G41/G42 in force
    double feed = 0;                  // the feed in force once the block's own F is applied
};

struct CycleResult {
    enum class Action {
        Store,   // a first block: only the modal store changed
        Moves,   // run `moves`, then continue at `nextLine`
        Finish,  // G70: run lines finishFrom..finishTo as ordinary blocks, then rapid to the start
        Alarm,   // stop before any move
    };
    Action action = Action::Store;
    std::vector<CycleMove> moves;
    CycleAlarm alarm;
    std::vector<CycleWarning> warnings;
    int32_t nextLine = -1;  // the line play continues at; -1: the line after the cycle block
    int32_t finishFrom = -1, finishTo = -1;
};

// 70..76 when the block holds one of the cycle codes (the first such G word), else 0.
int32_t cycleCode(const BlockWords& block);

// Executes one block holding G70..G76: classifies it, updates `modal` for a first block, reads the
// profile and expands the cycle. `start` is the tool position (the cycle's start point).
CycleResult runCycleBlock(const ProgramText& text, const BlockWords& block, Pt start, const CallState& call,
                          MrcModal& modal);

}  // namespace vantrel::lathe::mrc
