#include "app/headless_setup.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <sstream>

#include "app/machine_defaults.h"
#include "app/main_window_controls.h"
#include "app/settings_store.h"
#include "nc/modal_labels.h"
#include "stock/stock_spec.h"
#include "tools/tool_table.h"

namespace vantrel {

namespace {

bool parseNumber(const std::string& s, double& out) {
    char* end = nullptr;
    out = std::strtod(s.c_str(), &end);
    return end != s.c_str() && *end == '\0' && std::isfinite(out);
}

bool parseTriple(const std::string& s, std::array<double, 3>& v) {
    std::stringstream ss(s);
    std::string part;
    size_t n = 0;
    while (std::getline(ss, part, ',')) {
        if (n >= 3 || !parseNumber(part, v[n])) return false;
        ++n;
    }
    return n == 3;
}

}  // namespace

OptionResult parseHeadlessOption(const std::vector<std::string>& args, size_t& i, HeadlessOptions& o,
                                 bool allowHolder, std::string& error) {
    const std::string& a = args[i];
    const bool numeric = a == "--pitch" || a == "--tool-diameter" || a == "--nose-radius" ||
                         a == "--tool-length" || (allowHolder && a == "--holder");
    if (a != "--machine" && a != "--stock" && a != "--settings" && !numeric) return OptionResult::NotMine;
    if (i + 1 >= args.size()) {
        error = a + " takes a value";
        return OptionResult::Bad;
    }
    const std::string& v = args[++i];
    if (a == "--settings") {
        o.settingsFile = v;
        return OptionResult::Taken;
    }
    if (a == "--machine") o.kindGiven = true;
    if (a == "--machine") {
        if (v == "mill")
            o.kind = MachineKind::VerticalMill;
        else if (v == "hmill")
            o.kind = MachineKind::HorizontalMill;
        else if (v == "lathe")
            o.kind = MachineKind::Lathe;
        else if (v == "vlathe")
            o.kind = MachineKind::VerticalLathe;
        else if (v == "wire")
            o.kind = MachineKind::WireEdm;
        else {
            error = "unknown machine '" + v + "' (mill, hmill, lathe, vlathe or wire)";
            return OptionResult::Bad;
        }
        return OptionResult::Taken;
    }
    if (a == "--stock") {
        std::string size = v, offset;
        const auto at = v.find('@');
        if (at != std::string::npos) {
            size = v.substr(0, at);
            offset = v.substr(at + 1);
        }
        std::array<double, 3> sz{}, off{};
        if (!parseTriple(size, sz) || (at != std::string::npos && !parseTriple(offset, off))) {
            error = "--stock takes X,Y,Z or X,Y,Z@OX,OY,OZ";
            return OptionResult::Bad;
        }
        o.stockSize = sz;
        if (at != std::string::npos) o.stockOffset = off;
        return OptionResult::Taken;
    }
    double d = 0;
    if (!parseNumber(v, d)) {
        error = a + " takes a number";
        return OptionResult::Bad;
    }
    if (a == "--pitch") {
        if (!(d > 0)) {
            error = "--pitch must be positive";
            return OptionResult::Bad;
        }
        o.pitch = d;
    } else if (a == "--tool-diameter") {
        o.toolDiameter = d;
    } else if (a == "--nose-radius") {
        o.noseRadius = d;
    } else if (a == "--tool-length") {
        o.toolLength = d;
    } else {
        if (d < 0 || d > 6) {
            error = "--holder takes 0..6";
            return OptionResult::Bad;
        }
        o.holder = static_cast<int>(d);
    }
    return OptionResult::Taken;
}

bool setUpHeadlessState(AppState& s, const HeadlessOptions& o, std::string& message) {
    message.clear();
    const bool stored = !o.settingsFile.empty();
    if (stored) {
        std::string error;
        if (!loadSettingsForHeadless(o.settingsFile, s, error, message)) {
            message = o.settingsFile + ": " + error;
            return false;
        }
    }
    // A machine on the command line wins over the stored one, as a selection in the window would.
    MachineKind kind = stored ? s.machineKind : o.kind;
    if (!stored || (o.kindGiven && o.kind != s.machineKind)) {
        kind = o.kind;
        s.machineKind = kind;
        s.machineKindShared = static_cast<int32_t>(kind);
        applyMachineKindDefaults(s, kind, s.machine.radiusProgramming);
        s.tools.currentToolIndex = 0;
    }
    if (o.stockSize) {
        s.stock.sizeX = static_cast<float>((*o.stockSize)[0]);
        s.stock.sizeY = static_cast<float>((*o.stockSize)[1]);
        s.stock.sizeZ = static_cast<float>((*o.stockSize)[2]);
    }
    if (o.stockOffset) {
        s.stock.offsetX = static_cast<float>((*o.stockOffset)[0]);
        s.stock.offsetY = static_cast<float>((*o.stockOffset)[1]);
        s.stock.offsetZ = static_cast<float>((*o.stockOffset)[2]);
    }
    if (o.pitch) s.stock.pitch = *o.pitch;
    if (o.holder) s.machine.holderStandard = *o.holder;
    if (!stored) initialiseToolTables(s.tools, kind);  // the stored tables are the shop's own
    if (std::vector<ToolRecord>* list = toolListFor(s.tools, kind)) {
        for (ToolRecord& t : *list) {
            if (o.toolDiameter) t.diameter = *o.toolDiameter;
            if (o.noseRadius) t.noseRadius = *o.noseRadius;
            if (o.toolLength) t.length = *o.toolLength;
        }
    }
    loadWorkingTool(s.tools, kind, s.tools.currentToolIndex);
    initialiseStockGrid(s.stockGrid, s.stock, kind);
    return true;
}

void setUpHeadlessState(AppState& s, const HeadlessOptions& o) {
    std::string ignored;
    setUpHeadlessState(s, o, ignored);
}

HeadlessPlay::HeadlessPlay(AppState& s, TQuonStrings& program) {
    addMainWindowControls(controls);
    addModalStatusControls(controls);
    PlaySessionParts parts;
    parts.controls = &controls;
    parts.mainThread = &mainThread;
    parts.input = &input;
    parts.program = &program;
    session_ = std::make_unique<PlaySession>(s, parts);
}

std::string jsonNumber(double v) {
    if (!std::isfinite(v)) return "null";
    char buf[64];
    std::snprintf(buf, sizeof buf, "%.6f", v);
    std::string s = buf;
    while (!s.empty() && s.back() == '0') s.pop_back();
    if (!s.empty() && s.back() == '.') s.pop_back();
    if (s == "-0") s = "0";
    return s;
}

}  // namespace vantrel
