#include "app/play_command.h"

#include <cmath>
#include <cstdio>
#include <memory>
#include <ostream>
#include <sstream>

#include "app/machine_defaults.h"
#include "app/main_window_controls.h"
#include "app/play_session.h"
#include "editor/quon_strings.h"
#include "nc/modal_labels.h"
#include "platform/atomic_file.h"
#include "stock/stock_spec.h"
#include "tools/tool_table.h"

namespace vantrel {

namespace {

bool parseNumber(const std::string& s, double& out) {
    char* end = nullptr;
    out = std::strtod(s.c_str(), &end);
    return end != s.c_str() && *end == '\0' && std::isfinite(out);
}

bool parseTriple(const std::string& s, double v[3]) {
    std::stringstream ss(s);
    std::string part;
    int n = 0;
    while (std::getline(ss, part, ',')) {
        if (n >= 3 || !parseNumber(part, v[n])) return false;
        ++n;
    }
    return n == 3;
}

std::string num(double v) {
    if (!std::isfinite(v)) return "null";
    char buf[64];
    std::snprintf(buf, sizeof buf, "%.6f", v);
    std::string s = buf;
    while (!s.empty() && s.back() == '0') s.pop_back();
    if (!s.empty() && s.back() == '.') s.pop_back();
    if (s == "-0") s = "0";
    return s;
}

}  // namespace

int runPlayCommand(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
    const char* usage =
        "usage: vantrel-sim play FILE [--machine mill|hmill|lathe|vlathe|wire] [--mode fast|play|step]\n"
        "       [--stock X,Y,Z[@OX,OY,OZ]] [--pitch P] [--tool-diameter D] [--nose-radius R]\n"
        "       [--tool-length L] [--report out.json]\n";
    std::string file, report;
    MachineKind kind = MachineKind::VerticalMill;
    int modeTag = 1;
    bool haveStock = false, haveOffset = false, havePitch = false, haveDiameter = false, haveNose = false,
         haveLength = false;
    double stockSize[3] = {0, 0, 0}, stockOffset[3] = {0, 0, 0}, pitch = 1, diameter = 0, nose = 0,
           length = 0;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        auto value = [&](std::string& v) {
            if (i + 1 >= args.size()) return false;
            v = args[++i];
            return true;
        };
        std::string v;
        if (a == "--machine") {
            if (!value(v)) return err << usage, 2;
            if (v == "mill")
                kind = MachineKind::VerticalMill;
            else if (v == "hmill")
                kind = MachineKind::HorizontalMill;
            else if (v == "lathe")
                kind = MachineKind::Lathe;
            else if (v == "vlathe")
                kind = MachineKind::VerticalLathe;
            else if (v == "wire")
                kind = MachineKind::WireEdm;
            else
                return err << "vantrel-sim play: unknown machine '" << v << "'\n", 2;
        } else if (a == "--mode") {
            if (!value(v)) return err << usage, 2;
            if (v == "play")
                modeTag = 0;
            else if (v == "fast")
                modeTag = 1;
            else if (v == "step")
                modeTag = 2;
            else
                return err << "vantrel-sim play: unknown mode '" << v << "'\n", 2;
        } else if (a == "--stock") {
            if (!value(v)) return err << usage, 2;
            std::string size = v, offset;
            if (auto at = v.find('@'); at != std::string::npos) {
                size = v.substr(0, at);
                offset = v.substr(at + 1);
                haveOffset = true;
            }
            if (!parseTriple(size, stockSize) || (haveOffset && !parseTriple(offset, stockOffset)))
                return err << "vantrel-sim play: --stock takes X,Y,Z or X,Y,Z@OX,OY,OZ\n", 2;
            haveStock = true;
        } else if (a == "--pitch" || a == "--tool-diameter" || a == "--nose-radius" || a == "--tool-length") {
            double d = 0;
            if (!value(v) || !parseNumber(v, d))
                return err << "vantrel-sim play: " << a << " takes a number\n", 2;
            if (a == "--pitch") {
                if (d <= 0) return err << "vantrel-sim play: --pitch must be positive\n", 2;
                pitch = d, havePitch = true;
            } else if (a == "--tool-diameter") {
                diameter = d, haveDiameter = true;
            } else if (a == "--nose-radius") {
                nose = d, haveNose = true;
            } else {
                length = d, haveLength = true;
            }
        } else if (a == "--report") {
            if (!value(report)) return err << usage, 2;
        } else if (!a.empty() && a[0] == '-') {
            return err << "vantrel-sim play: unknown option '" << a << "'\n" << usage, 2;
        } else if (file.empty()) {
            file = a;
        } else {
            return err << usage, 2;
        }
    }
    if (file.empty()) return err << usage, 2;

    TQuonStrings program;
    std::string message;
    if (!program.LoadFromFile(file, &message)) {
        err << "vantrel-sim play: " << file << ": " << message << "\n";
        return 1;
    }

    auto state = std::make_unique<AppState>();
    AppState& s = *state;
    s.machineKind = kind;
    s.machineKindShared = static_cast<int32_t>(kind);
    applyMachineKindDefaults(s, kind, /*radiusProgramming=*/false);
    if (haveStock) {
        s.stock.sizeX = static_cast<float>(stockSize[0]);
        s.stock.sizeY = static_cast<float>(stockSize[1]);
        s.stock.sizeZ = static_cast<float>(stockSize[2]);
    }
    if (haveOffset) {
        s.stock.offsetX = static_cast<float>(stockOffset[0]);
        s.stock.offsetY = static_cast<float>(stockOffset[1]);
        s.stock.offsetZ = static_cast<float>(stockOffset[2]);
    }
    if (havePitch) s.stock.pitch = pitch;
    initialiseToolTables(s.tools, kind);
    if (std::vector<ToolRecord>* list = toolListFor(s.tools, kind)) {
        for (ToolRecord& t : *list) {
            if (haveDiameter) t.diameter = diameter;
            if (haveNose) t.noseRadius = nose;
            if (haveLength) t.length = length;
        }
    }
    loadWorkingTool(s.tools, kind, 0);
    initialiseStockGrid(s.stockGrid, s.stock, kind);

    ControlSet controls;
    addMainWindowControls(controls);
    addModalStatusControls(controls);
    controls.setChecked("menu_error", true);  // warnings are written into the text and counted
    InlineMainThread mainThread;
    InputState input;
    PlaySessionParts parts;
    parts.controls = &controls;
    parts.mainThread = &mainThread;
    parts.input = &input;
    parts.program = &program;
    PlaySession session(s, parts);
    const int32_t linesBefore = program.count();
    const uint8_t mode = PlaybackController::modeFor(modeTag, kind, false);
    PlayResult r = session.controller().runNow(mode);
    const int32_t warnings = program.count() - linesBefore;

    std::ostringstream json;
    json << "{\"blocks\": " << r.blocks << ", \"end\": \"" << playEndName(r.end) << "\", \"position\": ["
         << num(r.lastPosition.x) << ", " << num(r.lastPosition.y) << ", " << num(r.lastPosition.z)
         << "], \"cutting_time_min\": " << num(r.cuttingTime) << ", \"warnings\": " << warnings
         << ", \"passes\": " << r.passes << ", \"cut_steps\": " << session.view().cutSteps()
         << ", \"stock_changed_steps\": " << session.view().changedSteps() << "}\n";
    if (report.empty()) {
        out << json.str();
    } else {
        std::string error;
        if (!writeFileAtomically(report, json.str(), &error)) {
            err << "vantrel-sim play: " << report << ": " << error << "\n";
            return 1;
        }
    }
    return 0;
}

}  // namespace vantrel
