#include "app/tool_path_pass.h"

#include <algorithm>
#include <functional>
#include <string_view>

#include "core/rounding.h"
#include "nc/interpreter.h"
#include "nc/modal_state.h"

namespace vantrel {

namespace {

// Collects the pieces the interpreter draws (the same stream as path drawing during a play) with the
// block's modal state to tell compensation, cycles and G28 apart.
class PathCollector : public MachineActions, public PathDrawHook {
  public:
    PathCollector(ToolPathData& out, const ToolPathOptions& o) : out_(out), o_(o) {}

    void blockFetched(int32_t line, int32_t) override { line_ = line; }
    void modalChanged(const ModalState& m, const BlockWords&) override {
        compensated_ = m.radiusComp != 0;
        cycle_ = m.cycle != 80;
        referenceReturn_ = m.oneShot == 28;
    }
    void drawPiece(const MotionSegment& piece, PathStyle style) override {
        const bool rapid = style == PathStyle::Rapid || piece.moveKind == kMoveRapid;
        // "G00 ignored" leaves out the program's rapids, not the legs of G28 and of the cycles.
        if (rapid && o_.skipRapids && !cycle_ && !referenceReturn_) return;
        PathRunStyle s = PathRunStyle::Feed;
        if (rapid)
            s = PathRunStyle::Rapid;
        else if (cycle_)
            s = PathRunStyle::Plunge;
        else if (compensated_)
            s = PathRunStyle::Compensated;
        std::vector<Vec3> pts = polyline(piece);
        out_.add(s, line_, pts);
        if (!rapid && isTurning(o_.kind)) {
            for (Vec3& p : pts) p.x = -p.x;
            out_.add(s, line_, pts);
        }
    }

  private:
    static std::vector<Vec3> polyline(const MotionSegment& piece) {
        if (piece.moveKind != kMoveArcCW && piece.moveKind != kMoveArcCCW) return {piece.start, piece.end};
        // Arcs in their plane; full turns and helix are not drawn, one turn at most.
        const PlaneAxes ax = planeAxes(piece.plane);
        return arcPolyline(piece.start, piece.end, piece.centre, piece.radius, piece.moveKind == kMoveArcCW,
                           ax.a, ax.b, ax.n);
    }

    ToolPathData& out_;
    const ToolPathOptions& o_;
    int32_t line_ = 0;
    bool compensated_ = false, cycle_ = false, referenceReturn_ = false;
};

}  // namespace

ToolPathData buildToolPath(const TQuonStrings& program, const ToolPathOptions& options) {
    ToolPathData data;
    PathCollector collector(data, options);
    ToolPosition tool;
    tool.set(options.start);
    InterpreterEnv env;
    env.tool = &tool;
    env.motion.programmedPath = true;
    env.motion.pathHook = &collector;
    env.motion.stepPlay = true;  // one plunge per hole, no pecks
    env.motion.referencePoint = options.reference;
    env.motion.totalLength = 0;
    // The turning dialect reads X in the machine's unit; the path is drawn in radii, as the tool moves.
    TurningProgramming lathe;
    lathe.diameterDivisor = static_cast<int8_t>(std::clamp(RoundHalfAway(options.diameterDivisor), -2, 2));
    if (lathe.diameterDivisor == 0) lathe.diameterDivisor = 2;
    Interpreter interp(Dialect::forMachine(options.kind, lathe), program, env, collector);
    interp.run();
    return data;
}

const ToolPathData& ToolPathCache::get(const TQuonStrings& program, const ToolPathOptions& options) {
    // A hash of the text decides whether the program changed: an edit anywhere changes it, and it is
    // far cheaper than a pass over a long program.
    size_t h = 0;
    const std::hash<std::string_view> hasher;
    for (int32_t i = 0; i < program.count(); ++i) h = h * 1000003u ^ hasher(program.lineText(i));
    if (passes_ > 0 && h == textHash_ && program.count() == lines_ && options == options_) return data_;
    data_ = buildToolPath(program, options);
    textHash_ = h;
    lines_ = program.count();
    options_ = options;
    ++passes_;
    return data_;
}

}  // namespace vantrel
