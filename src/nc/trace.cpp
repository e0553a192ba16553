#include "nc/trace.h"

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <ostream>

#include "core/control_set.h"
#include "editor/quon_strings.h"
#include "nc/apply_block.h"
#include "nc/block_scanner.h"
#include "nc/modal_hooks.h"
#include "nc/modal_state.h"
#include "nc/motion_block.h"
#include "platform/main_thread.h"
#include "stock/stock_spec.h"

namespace vantrel {

namespace {

// Start position and machine reference point of each machine kind.
struct MachinePoints {
    Vec3 start;
    Vec3 reference;
};
MachinePoints machinePoints(MachineKind k) {
    switch (familyOf(k)) {
        case MachineFamily::Turning:
            return {{150, 0, 400}, {150, 0, 400}};
        case MachineFamily::Wire:
            return {{0, 0, 0}, {0, 0, 0}};
        default:
            return {{0, 0, 435}, {0, 0, 500}};
    }
}

// The stand-in tool list, with the run-out, Z and tool-change height going to the motion code.
class TraceHooks : public StandInModalHooks {
  public:
    TraceHooks(MillMotion& motion, ToolPosition& tool) : motion_(motion), tool_(tool) {}
    double currentZ() const override { return motion_.current().z; }
    void moveToToolChangeHeight(double z) override {
        StandInModalHooks::moveToToolChangeHeight(z);
        motion_.toolChangedTo(z);
        tool_.set(motion_.current());
    }
    void runOutNurbs(ModalState& state) override {
        StandInModalHooks::runOutNurbs(state);
        motion_.runOutNurbs(state);
    }

  private:
    MillMotion& motion_;
    ToolPosition& tool_;
};

const char* kindName(int32_t kind) {
    switch (kind) {
        case kMoveLine:
            return "line";
        case kMoveArcCW:
            return "cw";
        case kMoveArcCCW:
            return "ccw";
        default:
            return "rapid";
    }
}

const char* planeName(int32_t plane) {
    switch (plane) {
        case kPlaneZX:
            return "zx";
        case kPlaneYZ:
            return "yz";
        default:
            return "xy";
    }
}

std::string point(const Vec3& p) {
    std::string s;
    s.reserve(48);
    s.append(1, '[').append(formatTraceNumber(p.x)).append(", ").append(formatTraceNumber(p.y));
    s.append(", ").append(formatTraceNumber(p.z)).append(1, ']');
    return s;
}

bool hasM(const ModalState& m, int code) {
    for (int i = 0; i < m.mCodeCount && i < ModalState::kMaxMCodes; ++i)
        if (std::trunc(m.mCodes[static_cast<size_t>(i)]) == code) return true;
    return false;
}

}  // namespace

std::string formatTraceNumber(double v) {
    if (!std::isfinite(v)) return "null";
    char buf[64];
    std::snprintf(buf, sizeof buf, "%.6f", v);
    std::string s = buf;
    size_t dot = s.find('.');
    if (dot != std::string::npos) {
        while (!s.empty() && s.back() == '0') s.pop_back();
        if (!s.empty() && s.back() == '.') s.pop_back();
    }
    if (s == "-0") s = "0";
    return s;
}

void JsonTraceWriter::onPiece(const MotionSegment& piece, int32_t line) {
    out_ << "{\"line\": " << line << ", \"kind\": \"" << kindName(piece.moveKind) << "\", \"plane\": \""
         << planeName(piece.plane) << "\", \"start\": " << point(piece.start)
         << ", \"end\": " << point(piece.end);
    if (piece.moveKind == kMoveArcCW || piece.moveKind == kMoveArcCCW)
        out_ << ", \"centre\": " << point(piece.centre)
             << ", \"radius\": " << formatTraceNumber(piece.radius);
    out_ << "}\n";
}

void JsonTraceWriter::onStep(const Vec3& pos, bool) {
    if (steps_) out_ << "{\"step\": " << point(pos) << "}\n";
}

void JsonTraceWriter::writeEnd(const TraceResult& r) {
    out_ << "{\"end\": " << point(r.end) << ", \"cutting_time_min\": " << formatTraceNumber(r.cuttingTime)
         << "}\n";
}

TraceResult traceProgram(const TQuonStrings& program, const TraceOptions& opt, MotionSink& sink) {
    TraceResult result;
    const MachinePoints mp = machinePoints(opt.machine);

    ToolPosition tool;
    tool.set(mp.start);
    Shared<bool> stop{false};
    Shared<bool> moving{false};
    StepperEnv env;
    env.tool = &tool;
    env.sink = &sink;
    env.stopRequested = &stop;
    env.moveInProgress = &moving;
    env.rapidStep = 10;
    env.stepBudget = opt.stepBudget;

    MillMotionSettings settings;
    settings.referencePoint = mp.reference;
    settings.totalLength = mp.reference.z - mp.start.z;
    MillMotion motion(env, settings);

    TraceHooks hooks(motion, tool);
    const double diameter = std::isfinite(opt.toolDiameter) ? opt.toolDiameter : 0.0;
    if (opt.tools.empty()) {
        hooks.tools.push_back({0, diameter, settings.totalLength});
    } else {
        for (const auto& [number, d] : opt.tools)
            hooks.tools.push_back({number, opt.toolDiameterGiven ? diameter : (std::isfinite(d) ? d : 0.0),
                                   settings.totalLength});
    }
    hooks.refZ = mp.reference.z;
    ControlSet controls;
    InlineMainThread mainThread;
    StockSpec stock;
    ModalContext mctx{controls, hooks, mainThread, nullptr, stock};

    ModalState modal;
    modal.resetForPass();
    ScanState scan;
    scan.labelLetters = isMilling(opt.machine) ? LabelLetters::NAndO : LabelLetters::OOnly;
    scan.startPass(0);
    BlockQueue queue;
    motion.startPass(mp.start);

    const int32_t lastLine = program.count() - 1;
    if (lastLine >= 0) {
        // The first block reaches the executing entry on the fifth fetch.
        for (int64_t fetches = 1;; ++fetches) {
            FetchBlock(program, scan, queue);
            if (fetches < BlockQueue::kEntries) continue;
            const BlockWords& b = queue.executing();
            bool endOfProgram = false;
            if (b.count > 0) {
                ++result.blocks;
                motion.beginBlock(b.line);
                ApplyBlock(modal, b, mctx);
                motion.executeBlock(modal, queue, b.line >= lastLine);
                finishBlockSetup(modal);
                endOfProgram = hasM(modal, 2) || hasM(modal, 30);
            }
            if (b.line >= lastLine || b.programEnd || endOfProgram || env.stopped()) break;
            if (env.stepBudget == 0 || result.blocks >= opt.blockBudget) {
                result.budgetSpent = true;
                break;
            }
        }
    }
    result.end = tool.get();
    result.cuttingTime = env.cuttingTime;
    return result;
}

int runTraceCommand(const std::vector<std::string>& args, std::ostream& out, std::ostream& err,
                    const TraceOptions& base) {
    TraceOptions opt = base;
    std::string file;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        if (a == "--steps") {
            opt.steps = true;
        } else if (a == "--machine") {
            if (i + 1 >= args.size()) {
                err << "vantrel-sim trace: --machine の後に機械の種類 (mill, hmill, lathe, vlathe, wire) "
                       "を指定してください\n";
                return 2;
            }
            const std::string& m = args[++i];
            if (m == "mill")
                opt.machine = MachineKind::VerticalMill;
            else if (m == "hmill")
                opt.machine = MachineKind::HorizontalMill;
            else if (m == "lathe")
                opt.machine = MachineKind::Lathe;
            else if (m == "vlathe")
                opt.machine = MachineKind::VerticalLathe;
            else if (m == "wire")
                opt.machine = MachineKind::WireEdm;
            else {
                err << "vantrel-sim trace: 機械の種類 '" << m
                    << "' は使えません (mill, hmill, lathe, vlathe, wire のいずれか)\n";
                return 2;
            }
        } else if (a == "--tool-diameter") {
            if (i + 1 >= args.size()) {
                err << "vantrel-sim trace: --tool-diameter の後に工具径を指定してください\n";
                return 2;
            }
            const std::string& v = args[++i];
            char* endp = nullptr;
            errno = 0;
            double d = std::strtod(v.c_str(), &endp);
            if (v.empty() || endp == nullptr || *endp != '\0' || errno != 0 || !std::isfinite(d) || d < 0 ||
                d > 1000) {
                err << "vantrel-sim trace: 工具径 '" << v << "' が正しくありません (0から1000まで)\n";
                return 2;
            }
            opt.toolDiameter = d;
            opt.toolDiameterGiven = true;
        } else if (!a.empty() && a[0] == '-' && a != "-") {
            err << "vantrel-sim trace: 不明なオプション '" << a << "'\n";
            return 2;
        } else if (file.empty()) {
            file = a;
        } else {
            err << "vantrel-sim trace: ファイルは一つだけ指定してください\n";
            return 2;
        }
    }
    if (file.empty()) {
        err << "使い方: vantrel-sim trace FILE [--machine mill|hmill|lathe|vlathe|wire] [--tool-diameter D] "
               "[--steps]\n";
        return 2;
    }
    TQuonStrings program;
    std::string message;
    if (!program.LoadFromFile(file, &message)) {
        err << "vantrel-sim trace: ファイル '" << file << "' を読み込めません";
        if (!message.empty()) err << ": " << message;
        err << "\n";
        return 1;
    }
    if (isTurning(opt.machine))
        err << "vantrel-sim trace: 旋盤の指令は未対応のため、マシニングセンタの規則で解釈します\n";
    JsonTraceWriter writer(out, opt.steps);
    TraceResult r = traceProgram(program, opt, writer);
    writer.writeEnd(r);
    if (r.budgetSpent) err << "vantrel-sim trace: ブロック数の上限に達したため途中で終了しました\n";
    return 0;
}

}  // namespace vantrel
