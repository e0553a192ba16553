#include "nc/turning.h"

#include <algorithm>
#include <cmath>

#include "core/machine_kind.h"
#include "core/number_format.h"
#include "core/rounding.h"
#include "nc/apply_block.h"
#include "nc/cutter_comp.h"
#include "nc/modal_hooks.h"
#include "program/quon_strings.h"
#include "tools/tool_table.h"

namespace vantrel {

namespace {

const ModalCode kMotionCodes[] = {ModalCode::G00, ModalCode::G01, ModalCode::G02, ModalCode::G03};

bool near(double g, double code) {
    return std::fabs(g - code) < 0.001;
}

void showMotion(ModalDisplay& d, int which) {
    for (int i = 0; i < 4; ++i) d.inForce(kMotionCodes[i], i == which);
}

// The axis and arc words of one block as the lathe reads them.
struct TurningWords {
    bool x = false, u = false, y = false, v = false, z = false, w = false;
    bool i = false, j = false, k = false, r = false;
    double X = 0, U = 0, Y = 0, V = 0, Z = 0, W = 0, I = 0, J = 0, K = 0, R = 0;
    bool anyAxis() const { return x || u || y || v || z || w || i || j || k; }
};

TurningWords wordsOf(const ModalState& m) {
    TurningWords t;
    const SeenWords& s = m.seen;
    t.x = s.x, t.u = s.u, t.y = s.y, t.v = s.v, t.z = s.z, t.w = s.w;
    t.i = s.i, t.j = s.j, t.k = s.k, t.r = s.r;
    t.X = m.reg('X'), t.U = m.reg('U'), t.Y = m.reg('Y'), t.V = m.reg('V'), t.Z = m.reg('Z');
    t.W = m.reg('W'), t.I = m.reg('I'), t.J = m.reg('J'), t.K = m.reg('K'), t.R = m.reg('R');
    return t;
}

// The point the words name from `from`: X / U in the programmed unit (diameter or radius, reversed
// or not), Z / W and Y / V as they stand. Absolute words win over their incremental twins.
Vec3 targetOf(const TurningWords& t, const Vec3& from, double divisor) {
    Vec3 p = from;
    if (t.x)
        p.x = t.X / divisor;
    else if (t.u)
        p.x = from.x + t.U / divisor;
    if (t.y)
        p.y = t.Y;
    else if (t.v)
        p.y = from.y + t.V;
    if (t.z)
        p.z = t.Z;
    else if (t.w)
        p.z = from.z + t.W;
    return p;
}

// A G00..G03 or G32 block's programmed segment. I, J and K are relative to the start and are not
// divided: they are radius amounts whatever the X words are.
MotionSegment segmentOf(int32_t motion, int32_t plane, const TurningWords& t, const Vec3& from,
                        double divisor) {
    MotionSegment s;
    s.moveKind = motion == kTurnThread ? kMoveLine : motion;
    s.plane = plane;
    s.start = from;
    s.end = targetOf(t, from, divisor);
    if (s.moveKind != kMoveArcCW && s.moveKind != kMoveArcCCW) return s;
    if (t.r) {
        s.centre = ArcCentreFromRadius(plane, motion, t.R, s.end, from);
        s.radius = std::fabs(t.R);
        const double reach = planeDistance(plane, s.end, s.centre);
        if (s.radius < reach) s.radius = reach;
    } else {
        s.centre = from;
        if (t.i) s.centre.x += t.I;
        if (t.j) s.centre.y += t.J;
        if (t.k) s.centre.z += t.K;
        s.radius = planeDistance(plane, s.end, s.centre);
    }
    return s;
}

// The next programmed segment under compensation, from the queue's entries 3 .. 0, read by the lathe's
// rules (the reversal and the divisor apply here as in the executing block).
MotionSegment lookAhead(const ModalState& m, const BlockQueue& queue, const Vec3& from, double divisor) {
    int32_t motion = m.motion, plane = m.plane, comp = m.radiusComp, cycle = m.cycle;
    const MotionSegment none{};
    for (int entry = 3; entry >= 0; --entry) {
        const BlockWords& b = queue[entry];
        if (b.count <= 0) continue;
        TurningWords t;
        bool noMove = false;
        for (int i = 0; i < b.count && i < BlockWords::kMaxWords; ++i) {
            const double v = b.values[static_cast<size_t>(i)];
            switch (b.codes[static_cast<size_t>(i)]) {
                case kCodeG:
                    if (v == 0 || v == 1 || v == 2 || v == 3 || v == 32 || v == 90 || v == 92 || v == 94) {
                        motion = static_cast<int32_t>(v);
                        cycle = 80;
                    } else if (v == 17 || v == 18 || v == 19) {
                        plane = static_cast<int32_t>(v) - 17;
                    } else if (v == 40) {
                        comp = 0;
                    } else if (v == 41 || v == 42) {
                        if (comp == 0) comp = v == 41 ? 3 : 4;
                    } else if (v >= 80 && v <= 89 && v == std::floor(v)) {
                        cycle = static_cast<int32_t>(v);
                    } else if (v == 4 || v == 12 || v == 13 || v == 28 || v == 29 || v == 53 ||
                               (v >= 70 && v <= 76 && v == std::floor(v))) {
                        noMove = true;
                    }
                    break;
                case kCodeX:
                    t.x = true, t.X = v;
                    break;
                case kCodeU:
                    t.u = true, t.U = v;
                    break;
                case kCodeY:
                    t.y = true, t.Y = v;
                    break;
                case kCodeV:
                    t.v = true, t.V = v;
                    break;
                case kCodeZ:
                    t.z = true, t.Z = v;
                    break;
                case kCodeW:
                    t.w = true, t.W = v;
                    break;
                case kCodeI:
                    t.i = true, t.I = v;
                    break;
                case kCodeJ:
                    t.j = true, t.J = v;
                    break;
                case kCodeK:
                    t.k = true, t.K = v;
                    break;
                case kCodeR:
                    t.r = true, t.R = v;
                    break;
                default:
                    break;
            }
        }
        if (!t.anyAxis()) continue;
        if (noMove || comp == 0 || cycle != 80 || !((motion >= 1 && motion <= 3) || motion == kTurnThread))
            return none;
        MotionSegment s = segmentOf(motion, plane, t, from, divisor);
        if (!hasPlaneLength(s)) continue;
        return s;
    }
    return none;
}

// Moves a point from the nose-circle centre to the imaginary tool tip of tip position 1..9.
void toTip(Vec3& p, int32_t tip, double r) {
    if (tip >= 1 && tip <= 3) p.x -= r;
    if (tip >= 7 && tip <= 9) p.x += r;
    if (tip == 1 || tip == 4 || tip == 7) p.z -= r;
    if (tip == 3 || tip == 6 || tip == 9) p.z += r;
}

MotionSegment straight(int32_t kind, const Vec3& from, const Vec3& to) {
    MotionSegment m;
    m.moveKind = kind;
    m.plane = kPlaneZX;
    m.start = from;
    m.end = to;
    return m;
}

}  // namespace

void startTurningPass(ModalState& m, ModalDisplay& d) {
    m.plane = kPlaneZX;
    m.feedMode = 1;
    m.speedMode = 0;
    d.inForce(ModalCode::G17, false);
    d.inForce(ModalCode::G18, true);
    d.inForce(ModalCode::G90, false);
    d.inForce(ModalCode::G94, false);
    d.inForce(ModalCode::G98, false);
    d.inForce(ModalCode::G99, true);
    d.inForce(ModalCode::G96, true);
    d.inForce(ModalCode::G97, false);
}

void applyTurningG(ModalState& m, double g, ModalDisplay& d) {
    // The mirror and the rotation do nothing on a lathe; their blocks name a centre, not a target, so
    // they make no move either.
    if (near(g, 50.1) || near(g, 51.1)) {
        m.oneShot = g < 51 ? 50 : 51;
        return;
    }
    if (g != std::floor(g) || g < 0 || g > 99) return;
    const int code = static_cast<int>(g);
    switch (code) {
        case 68:
        case 69:
            m.oneShot = code;
            break;
        case 0:
        case 1:
        case 2:
        case 3:
            m.motion = code;
            m.cycle = 80;
            showMotion(d, code);
            break;
        case 32:
        case 90:
        case 92:
        case 94:
            m.motion = code;
            m.cycle = 80;
            showMotion(d, -1);
            break;
        case 4:
        case 12:
        case 13:
        case 28:
        case 29:
        case 53:
            m.oneShot = code;
            break;
        case 17:
        case 18:
        case 19:
            m.plane = code - 17;
            d.inForce(ModalCode::G17, code == 17);
            d.inForce(ModalCode::G18, code == 18);
            d.inForce(ModalCode::G19, code == 19);
            break;
        case 40:
            m.radiusComp = 0;
            d.inForce(ModalCode::G40, true);
            d.inForce(ModalCode::G41, false);
            d.inForce(ModalCode::G42, false);
            break;
        case 41:
        case 42:
            if (m.radiusComp == 0) m.radiusComp = code == 41 ? kCompLeftRequested : kCompRightRequested;
            d.inForce(ModalCode::G40, false);
            d.inForce(ModalCode::G41, code == 41);
            d.inForce(ModalCode::G42, code == 42);
            break;
        case 43:
        case 44:
            m.lengthOffsetCalled = true;
            d.inForce(ModalCode::G43, code == 43);
            d.inForce(ModalCode::G44, code == 44);
            d.inForce(ModalCode::G49, false);
            break;
        case 49:
            d.inForce(ModalCode::G43, false);
            d.inForce(ModalCode::G44, false);
            d.inForce(ModalCode::G49, true);
            break;
        case 70:
        case 71:
        case 72:
        case 73:
        case 74:
        case 75:
        case 76:
            m.repetitiveCycle = code;
            break;
        case 80:
        case 81:
        case 82:
        case 83:
        case 84:
        case 85:
        case 86:
        case 87:
        case 88:
        case 89:
            m.cycle = code;
            break;
        case 96:
        case 97:
            m.speedMode = code - 96;
            d.inForce(ModalCode::G96, code == 96);
            d.inForce(ModalCode::G97, code == 97);
            break;
        case 98:
        case 99:
            m.feedMode = code - 98;
            d.inForce(ModalCode::G98, code == 98);
            d.inForce(ModalCode::G99, code == 99);
            break;
        default:  // the rest: no effect on a lathe
            break;
    }
}

void applyTurningF(ModalState& m, double value, ModalContext& ctx) {
    double f;
    if (value >= kFeedDecimalMarker) {
        f = std::round((value - kFeedDecimalMarker) * 1e6) / 1e6;
    } else {
        // Without a decimal point: thousandths of a millimetre per revolution under G99 (F200 is
        // 0.2 mm/rev), millimetres per minute under G98.
        f = m.feedMode != 0 ? value / 1000.0 : value;
    }
    // One feed value; the feed mode says whether it is per revolution or per minute.
    m.feedPerRev = f;
    m.feedPerMinute = f;
    if (value >= kFeedDecimalMarker && (m.cycle == 84 || m.cycle == 74))
        m.feedPerMinute = static_cast<double>(m.spindleSpeed.load()) * f;
    const std::string text = FormatFloat("##0.###", f);
    ctx.display.value(ModalValue::FeedPerRev, text);
    ctx.display.value(ModalValue::FeedPerMinute, text);
}

void applyTurningT(ModalState& m, double tWord, int32_t tFormat, ModalContext& ctx) {
    ModalHooks& h = ctx.hooks;
    const int32_t number = toolNumberFromTWord(MachineKind::Lathe, tWord, tFormat);
    const int32_t index = h.findToolIndex(number);
    h.setCurrentToolIndex(index);
    h.loadWorkingTool(index);
    m.compRadius = h.workingToolNoseRadius();
    const std::string text = toolNumberText(number);
    ctx.display.value(ModalValue::LoadedTool, text);
    ctx.display.value(ModalValue::NextTool, text);
}

double turningSpindleSpeed(int32_t speedMode, double s, double x) {
    if (speedMode != 0) return s;
    const double radius = x > 0 ? x : 0.000001;
    // The controller's own constant: 3.14, not pi.
    const double speed = s * 1000.0 / (2.0 * 3.14 * radius);
    return std::isfinite(speed) ? std::min(kMaxTurningSpeed, speed) : kMaxTurningSpeed;
}

double turningFeedPerMinute(double feed, double speed) {
    if (!(speed > 0) || !std::isfinite(feed)) return 0;
    return std::trunc(speed * feed);
}

double turningFeedPerRev(double feed, double speed) {
    if (!(speed > 0) || !std::isfinite(feed)) return 0;
    return feed / speed;
}

RepetitiveCycleRun expandRepetitiveCycle(const RepetitiveCycleRequest& rq) {
    namespace mrc = lathe::mrc;
    RepetitiveCycleRun run;
    if (rq.modal == nullptr || rq.block == nullptr || rq.program == nullptr || rq.store == nullptr)
        return run;
    const mrc::ProgramTextOf<TQuonStrings> text(*rq.program);
    mrc::CallState call;
    call.motion = rq.modal->motion;
    call.diameterDivisor = rq.programming.diameterDivisor;
    call.compensationActive = rq.compensationActive;
    call.feed = rq.modal->feedPerRev;
    const mrc::Pt start{rq.current.x, rq.current.z};
    mrc::CycleResult r = mrc::runCycleBlock(text, *rq.block, start, call, *rq.store);
    run.action = r.action;
    run.alarm = std::move(r.alarm);
    run.warnings = std::move(r.warnings);
    run.nextLine = r.nextLine;
    run.finishFrom = r.finishFrom;
    run.finishTo = r.finishTo;
    Vec3 from = rq.current;
    for (const mrc::CycleMove& mv : r.moves) {
        MotionSegment p;
        p.plane = kPlaneZX;
        p.start = from;
        p.end = {mv.to.x, rq.current.y, mv.to.z};
        switch (mv.kind) {
            case mrc::MoveKind::Rapid:
                p.moveKind = kMoveRapid;
                break;
            case mrc::MoveKind::Feed:
            case mrc::MoveKind::Thread:  // at the feed in force, which the cycle's F (the lead) set
                p.moveKind = kMoveLine;
                break;
            case mrc::MoveKind::ArcCW:
            case mrc::MoveKind::ArcCCW:
                p.moveKind = mv.kind == mrc::MoveKind::ArcCW ? kMoveArcCW : kMoveArcCCW;
                p.centre = {mv.centre.x, rq.current.y, mv.centre.z};
                p.radius = planeDistance(kPlaneZX, p.end, p.centre);
                break;
        }
        from = p.end;
        run.pieces.push_back(p);
    }
    return run;
}

bool TurningMotion::takeRedirect(int32_t& line, SubprogramStack& stack) {
    if (!redirect_) return false;
    redirect_ = false;
    line = redirectLine_;
    stack = redirectStack_;
    return true;
}

void TurningMotion::startPass(const Vec3& toolPosition) {
    current_ = chainEnd_ = lastOut_ = toolPosition;
    boxGiven_ = false;
    env_.cuttingTime = 0;
    cycleStore_ = lathe::mrc::MrcModal{};
    finishing_ = false;
    redirect_ = false;
    alarm_ = TurningAlarm{};
    warnings_.clear();
}

MotionContext TurningMotion::context(const ModalState& m, int32_t line) {
    MotionContext ctx;
    ctx.env = &env_;
    ctx.line = line;
    ctx.pathHook = settings_.pathHook;
    ctx.pathSkipRapids = settings_.pathSkipRapids;
    ctx.feedStep = m.stepLength;
    env_.feed.feedMode = m.feedMode;
    env_.feed.feedPerMinute = m.feedPerMinute;
    // Under G96 the speed follows the radius; the move is timed with the speed where it starts.
    const double speed =
        turningSpindleSpeed(m.speedMode, static_cast<double>(m.spindleSpeed.load()), lastOut_.x);
    env_.feed.revolutionFeed = speed * m.feedPerRev;
    return ctx;
}

void TurningMotion::runPieces(MotionContext& ctx, const std::vector<MotionSegment>& pieces) {
    for (const MotionSegment& p : pieces) {
        if (env_.stopped()) break;
        MotionSegment piece = p;
        piece.start = lastOut_;
        runMove(ctx, piece);
        lastOut_ = piece.end;
    }
    current_ = chainEnd_ = lastOut_;
}

void TurningMotion::runBoxCycle(ModalState& m, MotionContext& ctx) {
    const TurningWords t = wordsOf(m);
    // An axis the block leaves out keeps the previous cycle's target (X48. Z-30. then X46. alone
    // turns the next pass to the same length).
    const Vec3 base = boxGiven_ ? boxTarget_ : current_;
    Vec3 target = targetOf(t, current_, programming_.diameterDivisor);
    if (!t.x && !t.u) target.x = base.x;
    if (!t.z && !t.w) target.z = base.z;
    boxTarget_ = target;
    boxGiven_ = true;

    const Vec3 s = current_;
    std::vector<MotionSegment> pieces;
    if (m.motion == kTurnBoxX) {
        const double k = t.k ? t.K : 0;
        pieces.push_back(straight(kMoveRapid, s, {s.x, s.y, target.z}));
        pieces.push_back(straight(kMoveLine, {s.x, s.y, target.z}, {target.x, s.y, target.z + k}));
        pieces.push_back(straight(kMoveLine, {target.x, s.y, target.z + k}, {target.x, s.y, s.z}));
        pieces.push_back(straight(kMoveRapid, {target.x, s.y, s.z}, s));
    } else {
        const double i = t.i ? t.I : 0;
        pieces.push_back(straight(kMoveRapid, s, {target.x, s.y, s.z}));
        pieces.push_back(straight(kMoveLine, {target.x, s.y, s.z}, {target.x + i, s.y, target.z}));
        pieces.push_back(straight(kMoveLine, {target.x + i, s.y, target.z}, {s.x, s.y, target.z}));
        pieces.push_back(straight(kMoveRapid, {s.x, s.y, target.z}, s));
    }
    runPieces(ctx, pieces);
    current_ = chainEnd_ = lastOut_ = s;
}

void TurningMotion::runRepetitiveCycle(ModalState& m, const BlockWords& b, MotionContext& ctx) {
    using Action = lathe::mrc::CycleResult::Action;
    RepetitiveCycleRequest rq;
    rq.modal = &m;
    rq.block = &b;
    rq.program = program_;
    rq.current = current_;
    rq.programming = programming_;
    rq.compensationActive = m.radiusComp == kCompLeft || m.radiusComp == kCompRight;
    rq.store = &cycleStore_;
    RepetitiveCycleRun run = expandRepetitiveCycle(rq);
    warnings_ = std::move(run.warnings);
    switch (run.action) {
        case Action::Store:
            return;
        case Action::Alarm:
            // Nothing of the cycle has moved: the play stops at its block.
            alarm_.line = b.line;
            alarm_.text = run.alarm.text;
            return;
        case Action::Finish:
            // The shape's blocks run as ordinary ones; after the last the tool goes back to the start.
            finishing_ = true;
            finishStart_ = current_;
            finishLast_ = run.finishTo;
            finishReturn_ = b.line + 1;
            finishStack_ = b.stackAfter;
            redirect_ = true;
            redirectLine_ = run.finishFrom;
            redirectStack_ = b.stackAfter;
            return;
        case Action::Moves:
            break;
    }
    // The passes run on the programmed shape with the compensation suspended (the allowance covers the
    // nose), and the tool ends where the cycle started.
    const Vec3 start = current_;
    boxGiven_ = false;
    for (const MotionSegment& piece : run.pieces) {
        if (env_.stopped()) break;
        // Each move is timed with the spindle speed where it starts (G96 follows the radius).
        MotionContext moveCtx = context(m, ctx.line);
        runPieces(moveCtx, {piece});
    }
    if (!env_.stopped()) current_ = chainEnd_ = lastOut_ = start;
    if (run.nextLine >= 0) {
        redirect_ = true;
        redirectLine_ = run.nextLine;
        redirectStack_ = b.stackAfter;
    }
}

void TurningMotion::executeBlock(ModalState& m, const BlockQueue& queue, bool onLastLine,
                                 const ModalHooks& hooks) {
    const BlockWords& b = queue.executing();
    alarm_ = TurningAlarm{};
    warnings_.clear();
    runBlockMovement(m, queue, onLastLine, hooks);
    if (finishing_ && b.line == finishLast_ && m.repetitiveCycle == 0) finishShape(m);
}

bool TurningMotion::finishingPast(int32_t line) const {
    return finishing_ && line > finishLast_;
}

void TurningMotion::finishShape(ModalState& m) {
    // G70's shape is done: straight back to where the G70 block stood, and on after that block.
    finishing_ = false;
    if (!env_.stopped()) {
        MotionContext ctx = context(m, finishReturn_ - 1);  // the G70 block's move
        boxGiven_ = false;
        runPieces(ctx, {straight(kMoveRapid, lastOut_, finishStart_)});
        current_ = chainEnd_ = lastOut_ = finishStart_;
    }
    redirect_ = true;
    redirectLine_ = finishReturn_;
    redirectStack_ = finishStack_;
    m.cuttingTime = env_.cuttingTime;
}

void TurningMotion::runBlockMovement(ModalState& m, const BlockQueue& queue, bool onLastLine,
                                     const ModalHooks& hooks) {
    const BlockWords& b = queue.executing();
    const SeenWords& s = m.seen;
    const bool axisWords = s.x || s.u || s.y || s.v || s.z || s.w || s.i || s.j || s.k;
    const double divisor = programming_.diameterDivisor;
    MotionContext ctx = context(m, b.line);

    if (m.repetitiveCycle != 0) {
        runRepetitiveCycle(m, b, ctx);
    } else if (!axisWords) {
        return;
    } else if (m.oneShot == 28) {
        const TurningWords t = wordsOf(m);
        const Vec3 intermediate = targetOf(t, current_, divisor);
        // The lathe's reference Z is the machine origin itself: no tool length is taken off.
        current_ = runReferenceReturn(ctx, current_, intermediate, {t.x || t.u, t.y || t.v, t.z || t.w},
                                      settings_.referencePoint);
        chainEnd_ = lastOut_ = current_;
    } else if (m.oneShot != 0 || m.cycle != 80) {
        return;  // no full circles and no drilling cycles on a lathe: the block makes no move
    } else if (m.motion == kTurnBoxZ || m.motion == kTurnThreadBox || m.motion == kTurnBoxX) {
        runBoxCycle(m, ctx);
    } else if ((m.motion >= 0 && m.motion <= 3) || m.motion == kTurnThread) {
        boxGiven_ = false;
        const MotionSegment seg = segmentOf(m.motion, m.plane, wordsOf(m), current_, divisor);
        CompRequest rq;
        rq.current = seg;
        rq.next = onLastLine ? MotionSegment{} : lookAhead(m, queue, seg.end, divisor);
        rq.axisGiven = {s.x || s.u, s.y || s.v, s.z || s.w};
        rq.chainStart = chainEnd_;
        rq.radius = m.compRadius;
        rq.arcJoin = settings_.arcJoin;
        int32_t uncompensated = kCompOff;
        SegmentChain chain = compensateBlock(rq, settings_.programmedPath ? uncompensated : m.radiusComp);
        chainEnd_ = chain.last();
        const bool active =
            !settings_.programmedPath && (m.radiusComp == kCompLeft || m.radiusComp == kCompRight);
        if (active) {
            // The compensation ran the nose-circle centre along the contour; the machine's point is the
            // imaginary tool tip.
            const int32_t tip = hooks.workingToolTipPosition();
            const double r = m.compRadius;
            for (int i = 1; i <= chain.count; ++i) toTip(chain.points[static_cast<size_t>(i)], tip, r);
            for (int i = 0; i < chain.count; ++i) {
                MotionSegment& p = chain.pieces[static_cast<size_t>(i)];
                toTip(p.start, tip, r);
                toTip(p.end, tip, r);
                toTip(p.centre, tip, r);
            }
        }
        chain.points[0] = lastOut_;
        if (chain.count > 0) chain.pieces[0].start = lastOut_;
        lastOut_ = chain.last();
        for (int i = 0; i < chain.count && !env_.stopped(); ++i)
            runMove(ctx, chain.pieces[static_cast<size_t>(i)]);
        current_ = seg.end;
    }
    m.cuttingTime = env_.cuttingTime;
}

}  // namespace vantrel
