#include "nc/trace.h"

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <ostream>

#include "core/control_set.h"
#include "editor/quon_strings.h"
#include "nc/interpreter.h"

namespace vantrel {

namespace {

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
    // The trace is the play without drawing or cutting: the same interpreter with a stand-in tool list,
    // every stop answered at once and one pass.
    class Actions : public MachineActions {
      public:
        explicit Actions(MotionSink& s) : s_(s) {}
        void onPiece(const MotionSegment& piece, int32_t line) override { s_.onPiece(piece, line); }
        bool pixelChanged(const Vec3& pos) override { return s_.pixelChanged(pos); }
        void onStep(const Vec3& pos, bool drawDue) override { s_.onStep(pos, drawDue); }
        void onMoveEndRepaint(const Vec3& end) override { s_.onMoveEndRepaint(end); }
        void onMoveEnd(const Vec3& end) override { s_.onMoveEnd(end); }
        void onCuttingTime(double minutes) override { s_.onCuttingTime(minutes); }
        void onSpindle(int32_t state) override { s_.onSpindle(state); }
        bool skipSlashBlocks() override { return skip; }
        bool anotherPass() override { return ++passes < maxPasses; }
        bool skip = false;
        int32_t passes = 0, maxPasses = 1;

      private:
        MotionSink& s_;
    } actions(sink);
    actions.skip = opt.blockSkip;
    actions.maxPasses = opt.passes;

    Dialect dialect = Dialect::forMachine(opt.machine);
    if (opt.start) dialect.start = *opt.start;
    if (opt.reference) dialect.reference = *opt.reference;
    ToolPosition tool;
    tool.set(dialect.start);
    StandInModalHooks hooks;
    const double totalLength = opt.totalLength ? *opt.totalLength : dialect.reference.z - dialect.start.z;
    const double diameter = std::isfinite(opt.toolDiameter) ? opt.toolDiameter : 0.0;
    hooks.tools.push_back({0, diameter, totalLength});
    hooks.refZ = dialect.reference.z;
    ControlSet ownControls;
    ControlSet& controls = opt.controls ? *opt.controls : ownControls;

    InterpreterEnv env;
    env.controls = &controls;
    env.hooks = opt.hooks ? opt.hooks : &hooks;
    env.tool = &tool;
    env.stopRequested = opt.stop;
    env.rapidStep = 10;
    env.stepBudget = opt.stepBudget;
    env.blockBudget = opt.blockBudget;
    env.motion.referencePoint = dialect.reference;
    env.motion.totalLength = totalLength;
    env.motion.arcJoin = !controls.checked("menu_hoseil");
    Interpreter interpreter(dialect, program, env, actions);
    const InterpretResult r = interpreter.run();

    TraceResult result;
    result.end = tool.get();
    result.cuttingTime = r.cuttingTime;
    result.blocks = r.blocks;
    result.budgetSpent = r.end == PlayEnd::Budget;
    result.how = r.end;
    return result;
}

int runTraceCommand(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
    TraceOptions opt;
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
