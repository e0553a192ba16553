#include "nc/apply_block.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <string>

#include "core/number_format.h"
#include "core/rounding.h"
#include "platform/main_thread.h"
#include "program/quon_strings.h"
#include "stock/stock_spec.h"

namespace vantrel {

namespace {

constexpr double kPi = 3.14159265358979323846;

const ModalCode kMotionCodes[] = {ModalCode::G00, ModalCode::G01, ModalCode::G02, ModalCode::G03};
const ModalCode kPlaneCodes[] = {ModalCode::G17, ModalCode::G18, ModalCode::G19};
const ModalCode kCompCodes[] = {ModalCode::G40, ModalCode::G41, ModalCode::G42};
const ModalCode kLengthCodes[] = {ModalCode::G43, ModalCode::G44, ModalCode::G49};

// One code of a group in force, the others not.
template <std::size_t N>
void selectCode(ModalDisplay& d, const ModalCode (&group)[N], int which) {
    for (std::size_t i = 0; i < N; ++i) d.inForce(group[i], static_cast<int>(i) == which);
}

std::string intText(double v) {
    return std::to_string(saturatingToInt32(v));
}

void endNurbs(ModalState& m, ModalContext& ctx) {
    if (m.nurbsState != 1) return;
    ctx.hooks.runOutNurbs(m);
    ctx.display.inForce(ModalCode::G062, false);
    m.nurbsState = 0;
    m.nurbsPoints.clear();
}

// A decimal code (2.1, 6.2, 50.1 ...) matches within a thousandth.
bool near(double g, double code) {
    return g > code - 0.001 && g < code + 0.001;
}

void applyG(ModalState& m, double g, ModalContext& ctx) {
    ModalDisplay& d = ctx.display;
    endNurbs(m, ctx);
    if (near(g, 2.1) || near(g, 3.1)) {
        if (!ctx.rules.helicalArcs) return;
        m.motion = g < 2.5 ? 2 : 3;
        m.cycle = 80;
        selectCode(d, kMotionCodes, m.motion);
        return;
    }
    if (near(g, 6.2)) {
        m.nurbsState = 2;
        d.inForce(ModalCode::G062, true);
        return;
    }
    if (near(g, 50.1)) {
        m.mirrorState = 0;
        return;
    }
    if (near(g, 51.1)) {
        m.mirrorState = 2;
        return;
    }
    if (g != std::floor(g) || g < 0 || g > 99) return;  // other values are ignored
    const int code = static_cast<int>(g);
    switch (code) {
        case 0:
        case 1:
        case 2:
        case 3:
            m.motion = code;
            m.cycle = 80;
            selectCode(d, kMotionCodes, code);
            break;
        case 4:
        case 12:
        case 13:
        case 28:
        case 29:
        case 53:
        case 92:
            m.oneShot = code;
            break;
        case 17:
        case 18:
        case 19:
            m.plane = code - 17;
            selectCode(d, kPlaneCodes, m.plane);
            break;
        case 40:
            m.radiusComp = 0;
            selectCode(d, kCompCodes, 0);
            break;
        case 41:
        case 42:
            if (m.radiusComp == 0) m.radiusComp = code == 41 ? 3 : 4;
            selectCode(d, kCompCodes, code - 40);
            break;
        case 43:
        case 44:
            m.lengthOffsetCalled = true;
            selectCode(d, kLengthCodes, code - 43);
            break;
        case 49:
            selectCode(d, kLengthCodes, 2);
            break;
        case 68:
            m.rotationState = 2;
            break;
        case 69:
            m.rotationState = 0;
            break;
        case 73:
        case 74:
        case 76:
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
        case 90:
        case 91:
            m.incremental = code - 90;
            d.inForce(ModalCode::G90, code == 90);
            d.inForce(ModalCode::G91, code == 91);
            break;
        case 93:
        case 94:
        case 95:
            m.feedMode = code - 94;
            d.inForce(ModalCode::G94, code == 94);
            d.inForce(ModalCode::G95, code == 95);
            break;
        case 96:
        case 97:
            m.speedMode = code - 96;
            d.inForce(ModalCode::G96, code == 96);
            d.inForce(ModalCode::G97, code == 97);
            break;
        case 98:
        case 99:
            m.returnLevel = code - 98;
            break;
        default:
            break;
    }
}

void applyF(ModalState& m, double value, ModalContext& ctx) {
    const double speed = m.spindleSpeed.load();
    double f = value;
    bool done = false;
    if (value >= kFeedDecimalMarker) {
        // The marker leaves only about 1e-7 of resolution (F0.2 comes back as 0.20000005); the written
        // value is recovered by rounding to the millionths a feed is written in.
        f = std::round((value - kFeedDecimalMarker) * 1e6) / 1e6;
        if (m.cycle == 84 || m.cycle == 74) {  // tapping: the pitch per revolution
            m.feedPerMinute = speed * f;
            m.feedPerRev = f;
            done = true;
        }
    }
    if (!done) {
        if (m.feedMode != 0) {
            m.feedPerRev = f;
            m.feedPerMinute = speed * f;
        } else {
            m.feedPerMinute = f;
            m.feedPerRev = speed > 0 ? f / speed : ctx.stock.pitch;
        }
    }
    ctx.display.value(ModalValue::FeedPerRev, FormatFloat("##0.###", m.feedPerRev));
    ctx.display.value(ModalValue::FeedPerMinute, FormatFloat("##0.###", m.feedPerMinute));
}

void toolChange(ModalState& m, ModalContext& ctx) {
    (void)m;
    ModalHooks& h = ctx.hooks;
    if (h.atcAnimationOn()) h.animateToolChange(h.loadedToolIndex(), h.currentToolIndex());
    h.loadWorkingTool(h.currentToolIndex());
    ctx.display.toolChanged();
    const double target = h.referenceZ() - h.workingToolTotalLength();
    if (h.currentZ() != target) WriteWarning(ctx, ctx.currentLine, WarningKind::ZNotAtReference);
    h.moveToToolChangeHeight(target);
}

// The radius of the store entry a D word names (D1 the first). A D that names no entry takes the
// entry a G41 / G42 block without D falls back to, rather than reading outside the store.
double storeEntryRadius(const ModalHooks& hooks, double dWord) {
    const double n = std::trunc(dWord);
    const int32_t count = hooks.toolCount();
    if (n >= 1 && n <= count) return hooks.toolDiameter(static_cast<int32_t>(n) - 1) / 2;
    return hooks.toolDiameter(hooks.currentToolIndex()) / 2;
}

}  // namespace

std::string toolNumberText(int32_t t) {
    std::string s = std::to_string(t);
    return (t >= 0 && t <= 9) ? "0" + s : s;
}

const char* warningText(WarningKind kind) {
    switch (kind) {
        case WarningKind::MissingD:
            return "(警告！　D指令がありません)";
        case WarningKind::MissingH:
            return "(警告！　H指令がありません)";
        case WarningKind::ZNotAtReference:
            return "(警告！　Z軸原点復帰未完)";
    }
    return "";
}

bool WriteWarning(ModalContext& ctx, int32_t line, WarningKind kind) {
    if (!ctx.switches.warnings) return false;
    if (ctx.onWarning) ctx.onWarning(line, warningText(kind));
    if (ctx.program == nullptr) return false;
    const std::string text = warningText(kind);
    TQuonStrings* program = ctx.program;
    bool written = false;
    ctx.mainThread.invoke([&] {
        if (line < 0 || line >= program->count()) return;
        const std::string& current = program->Get(line);
        if (current.find(text) != std::string::npos) return;
        written = program->Put(line, text + current);
    });
    return written;
}

void ApplyBlock(ModalState& m, const BlockWords& b, ModalContext& ctx) {
    ModalDisplay& d = ctx.display;
    ModalHooks& hooks = ctx.hooks;
    m.clearBlockItems();
    ctx.currentLine = b.line;

    for (int i = 0; i < b.count && i < BlockWords::kMaxWords; ++i) {
        const WordCode code = b.codes[static_cast<std::size_t>(i)];
        const double v = b.values[static_cast<std::size_t>(i)];
        if (code < 0 || code >= 26) continue;  // "#" and "/" touch no register
        m.registers[static_cast<std::size_t>(code)] = v;
        switch (code) {
            case kCodeD:
                m.seen.d = true;
                m.compRadius =
                    ctx.rules.dNamesStoreEntry ? storeEntryRadius(hooks, v) : hooks.workingToolDiameter() / 2;
                d.value(ModalValue::D, intText(v));
                break;
            case kCodeF:
                applyF(m, v, ctx);
                break;
            case kCodeG:
                applyG(m, v, ctx);
                break;
            case kCodeH:
                m.seen.h = true;
                d.value(ModalValue::H, intText(v));
                break;
            case kCodeI:
                m.seen.i = true;
                break;
            case kCodeJ:
                m.seen.j = true;
                break;
            case kCodeK:
                m.seen.k = true;
                break;
            case kCodeL:
                m.seen.l = true;
                break;
            case kCodeM:
                if (m.mCodeCount < ModalState::kMaxMCodes)
                    m.mCodes[static_cast<std::size_t>(m.mCodeCount++)] = v;
                break;
            case kCodeN:
                d.value(ModalValue::N, intText(v));
                break;
            case kCodeP:
                m.seen.p = true;
                break;
            case kCodeR:
                m.seen.r = true;
                break;
            case kCodeS:
                m.seen.s = true;
                break;
            case kCodeT:
                m.seen.t = true;
                break;
            case kCodeX:
                m.seen.x = true;
                break;
            case kCodeY:
                m.seen.y = true;
                break;
            case kCodeZ:
                m.seen.z = true;
                break;
            default:
                break;
        }
    }

    const bool ignoreT = ctx.switches.ignoreT;
    const bool warn = ctx.switches.warnings;

    // 1. M codes (M05, M09, M00, M01, M02, M30 act after the movement; M98, M99 when scanned).
    for (int k = 0; k < m.mCodeCount; ++k) {
        switch (saturatingToInt32(m.mCodes[static_cast<std::size_t>(k)])) {
            case 3:
                d.inForce(ModalCode::M03, true);
                d.inForce(ModalCode::M04, false);
                d.inForce(ModalCode::M05, false);
                m.spindle = 1;
                break;
            case 4:
                d.inForce(ModalCode::M04, true);
                d.inForce(ModalCode::M03, false);
                d.inForce(ModalCode::M05, false);
                m.spindle = 2;
                break;
            case 6:
                // 2. Tool change, with the tool selected by earlier blocks (a T of this block is
                // applied only below).
                if (!ignoreT && ctx.rules.toolWords) toolChange(m, ctx);
                break;
            case 8:
                d.inForce(ModalCode::M08, true);
                d.inForce(ModalCode::M09, false);
                break;
            default:
                break;
        }
    }

    const bool toolWords = ctx.rules.toolWords;
    // 3. Spindle speed.
    if (m.seen.s && toolWords) {
        m.spindleSpeed = saturatingToInt32(m.registers[kCodeS]);
        d.value(m.speedMode == 0 ? ModalValue::SpeedG96 : ModalValue::SpeedG97,
                std::to_string(m.spindleSpeed.load()));
    }

    // 4. Tool selection.
    if (m.seen.t && !ignoreT && toolWords) {
        const int32_t t = saturatingToInt32(m.registers[kCodeT]);
        hooks.selectTool(m.registers[kCodeT]);
        d.value(ModalValue::NextTool, toolNumberText(t));
    }

    const bool compRequested = m.radiusComp == 3 || m.radiusComp == 4;
    // 5. Warnings.
    if (warn) {
        if (compRequested && !m.seen.d) WriteWarning(ctx, b.line, WarningKind::MissingD);
        if (m.lengthOffsetCalled && !m.seen.h) WriteWarning(ctx, b.line, WarningKind::MissingH);
    }
    // 6. and 7. Fall back to the selected tool for a missing H or D.
    if (m.lengthOffsetCalled && !m.seen.h) {
        d.value(ModalValue::H, std::string("!").append(std::to_string(hooks.currentToolIndex())));
    }
    if (compRequested && !m.seen.d) {
        m.compRadius = hooks.toolDiameter(hooks.currentToolIndex()) / 2;
        d.value(ModalValue::D, std::string("!").append(std::to_string(hooks.currentToolIndex())));
    }

    // 8. Step length of feed moves. A feed that gives no positive step (F0. in G95, say) would make
    // the steppers divide by zero or never finish, so the stock pitch stands in for it.
    if (!ctx.switches.stepFromPitch && m.registers[kCodeF] > 0 && m.feedPerRev > 0 &&
        std::isfinite(m.feedPerRev)) {
        m.stepLength = m.feedPerRev;
    } else {
        m.stepLength = ctx.stock.pitch;
    }

    // 9. G06.2 control points.
    if (m.nurbsState == 2) {
        m.nurbsPoints.clear();
        m.nurbsOrder = m.seen.p ? m.registers[kCodeP] : 4.0;
        m.nurbsState = 1;
    }
    if (m.nurbsState == 1) {
        m.nurbsPoints.push_back({m.registers[kCodeX], m.registers[kCodeY], m.registers[kCodeZ],
                                 m.registers[kCodeR], m.registers[kCodeF]});
        m.nurbsPointAdded = true;
    }
}

void finishBlockSetup(ModalState& m) {
    const SeenWords& s = m.seen;
    if (!(s.x || s.y || s.z || s.i || s.j || s.k)) return;
    const bool axisSeen[3] = {s.x, s.y, s.z};
    const double axisValue[3] = {m.registers[kCodeX], m.registers[kCodeY], m.registers[kCodeZ]};
    if (m.mirrorState == 0) {
        for (int a = 0; a < 3; ++a) {
            if (!axisSeen[a]) continue;
            m.mirrorCentre[static_cast<std::size_t>(a)] = 0;
            m.mirrorAxis[static_cast<std::size_t>(a)] = false;
        }
    } else if (m.mirrorState == 2) {
        for (int a = 0; a < 3; ++a) {
            if (!axisSeen[a]) continue;
            m.mirrorCentre[static_cast<std::size_t>(a)] = axisValue[a];
            m.mirrorAxis[static_cast<std::size_t>(a)] = true;
        }
        m.mirrorState = 1;
    }
    if (m.rotationState == 2) {
        m.rotationXY = m.plane == 0;
        m.rotationZX = m.plane == 1;
        m.rotationYZ = m.plane == 2;
        m.rotationCentre = {0, 0, 0};
        if (m.plane == 0) {
            m.rotationCentre[0] = axisValue[0];
            m.rotationCentre[1] = axisValue[1];
        } else if (m.plane == 1) {
            m.rotationCentre[0] = axisValue[0];
            m.rotationCentre[2] = axisValue[2];
        } else {
            m.rotationCentre[1] = axisValue[1];
            m.rotationCentre[2] = axisValue[2];
        }
        m.rotationAngle = m.seen.r ? m.registers[kCodeR] * kPi / 180 : 0;
        m.rotationState = 1;
    }
}

void ModalHooks::selectTool(double tWord) {
    setCurrentToolIndex(findToolIndex(saturatingToInt32(tWord)));
}

// ---- stand-in hooks -------------------------------------------------------------------------------

int32_t StandInModalHooks::findToolIndex(int32_t toolNumber) {
    for (std::size_t i = 0; i < tools.size(); ++i)
        if (tools[i].number == toolNumber) return static_cast<int32_t>(i);
    return 0;
}

int32_t StandInModalHooks::toolCount() const {
    return static_cast<int32_t>(std::min<std::size_t>(tools.size(), INT32_MAX));
}

double StandInModalHooks::toolDiameter(int32_t index) const {
    if (index < 0 || static_cast<std::size_t>(index) >= tools.size()) return 0;
    return tools[static_cast<std::size_t>(index)].diameter;
}

double StandInModalHooks::workingToolTotalLength() const {
    if (loaded < 0 || static_cast<std::size_t>(loaded) >= tools.size()) return 0;
    return tools[static_cast<std::size_t>(loaded)].totalLength;
}

void StandInModalHooks::runOutNurbs(ModalState& state) {
    ++runOuts;
    lastRunOutPoints = state.nurbsPoints.size();
}

}  // namespace vantrel
