#include "app/headless_setup.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <sstream>

#include "app/machine_defaults.h"
#include "app/main_window_controls.h"
#include "app/modal_labels.h"
#include "app/settings_store.h"
#include "core/number_format.h"
#include "platform/unattended_ui_services.h"
#include "stock/stock_commands.h"
#include "stock/stock_spec.h"
#include "tools/tool_commands.h"
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

// What an option sets, as the messages name it.
std::string optionName(const std::string& option) {
    static const std::pair<const char*, const char*> names[] = {
        {"--machine", "機械の種類"},
        {"--stock", "材料寸法"},
        {"--pitch", "材料ピッチ"},
        {"--tool-diameter", "工具径"},
        {"--nose-radius", "ノーズR"},
        {"--tool-length", "工具長"},
        {"--holder", "ホルダ"},
        {"--max-steps", "ステップ数の上限"},
        {"--max-blocks", "ブロック数の上限"},
        {"--max-output", "出力の上限"},
    };
    for (const auto& [o, n] : names)
        if (option == o) return std::string(n) + " (" + o + ")";
    return option;
}

}  // namespace

OptionResult parseHeadlessOption(const std::vector<std::string>& args, size_t& i, HeadlessOptions& o,
                                 bool allowHolder, std::string& error) {
    const std::string& a = args[i];
    const bool numeric = a == "--pitch" || a == "--tool-diameter" || a == "--nose-radius" ||
                         a == "--tool-length" || (allowHolder && a == "--holder");
    const bool budget = a == "--max-steps" || a == "--max-blocks" || a == "--max-output";
    if (a != "--machine" && a != "--stock" && a != "--settings" && !numeric && !budget)
        return OptionResult::NotMine;
    if (i + 1 >= args.size()) {
        error = optionName(a) + " の後に値を指定してください";
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
            error = "機械の種類 '" + v + "' は使えません (mill, hmill, lathe, vlathe, wire のいずれか)";
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
            error = optionName(a) + " は X,Y,Z または X,Y,Z@OX,OY,OZ の形で指定してください";
            return OptionResult::Bad;
        }
        o.stockSize = sz;
        if (at != std::string::npos) o.stockOffset = off;
        return OptionResult::Taken;
    }
    double d = 0;
    if (!parseNumber(v, d)) {
        error = optionName(a) + " には数値を指定してください ('" + v + "')";
        return OptionResult::Bad;
    }
    if (budget) {
        if (!(d >= 1 && d <= 9e18) || d != std::floor(d)) {
            error = optionName(a) + " には 1 以上の整数を指定してください ('" + v + "')";
            return OptionResult::Bad;
        }
        const auto n = static_cast<int64_t>(d);
        (a == "--max-steps" ? o.maxSteps : a == "--max-blocks" ? o.maxBlocks : o.maxOutputBytes) = n;
    } else if (a == "--pitch") {
        o.pitch = d;
    } else if (a == "--tool-diameter") {
        o.toolDiameter = d;
    } else if (a == "--nose-radius") {
        o.noseRadius = d;
    } else if (a == "--tool-length") {
        o.toolLength = d;
    } else {
        if (d < 0 || d > 6 || d != std::floor(d)) {
            error = "--holder には 0 から 6 までの整数を指定してください";
            return OptionResult::Bad;
        }
        o.holder = static_cast<int>(d);
    }
    return OptionResult::Taken;
}

bool setUpHeadlessState(AppState& s, const HeadlessOptions& o, std::string* error, std::string* notes) {
    if (notes) notes->clear();
    const bool stored = !o.settingsFile.empty();
    if (stored) {
        std::string loadError, loadNotes;
        if (!loadSettingsForHeadless(o.settingsFile, s, loadError, loadNotes)) {
            if (error) *error = o.settingsFile + ": " + loadError;
            return false;
        }
        if (notes) *notes = loadNotes;
    }
    // A machine on the command line wins over the stored one, as a selection in the window would.
    MachineKind kind = s.machineKind;
    if (!stored || (o.kindGiven && o.kind != s.machineKind)) {
        kind = o.kind;
        s.machineKind = kind;
        s.machineKindShared = static_cast<int32_t>(kind);
        applyMachineKindDefaults(s, kind, stored ? s.machine.radiusProgramming : false);
        s.tools.currentToolIndex = 0;
    }
    // The window's value edits check these values; a command line gets the same answer.
    UnattendedUiServices ui;
    auto refuse = [&](const char* option, const std::string& value) {
        if (error) {
            *error = optionName(option) + " の値 " + value + " は範囲外です";
            if (!ui.messages.empty()) *error += " (" + ui.messages.back() + ")";
        }
        return false;
    };
    if (o.pitch && !setStockField(s.stock, kStockTagPitch, *o.pitch, ui))
        return refuse("--pitch", jsonNumber(*o.pitch));
    if (o.stockSize) {
        const int tags[3] = {kStockTagSizeX, kStockTagSizeY, kStockTagSizeZ};
        for (int a = 0; a < 3; ++a)
            if (!setStockField(s.stock, tags[a], (*o.stockSize)[static_cast<size_t>(a)], ui))
                return refuse("--stock", jsonNumber((*o.stockSize)[static_cast<size_t>(a)]));
    }
    if (o.stockOffset) {
        const int tags[3] = {kStockTagOffsetX, kStockTagOffsetY, kStockTagOffsetZ};
        for (int a = 0; a < 3; ++a)
            if (!setStockField(s.stock, tags[a], (*o.stockOffset)[static_cast<size_t>(a)], ui))
                return refuse("--stock", jsonNumber((*o.stockOffset)[static_cast<size_t>(a)]));
    }
    if (o.holder) s.machine.holderStandard = *o.holder;
    if (!stored) initialiseToolTables(s.tools, kind);  // the stored tables are the shop's own
    // The wire EDM selects no tool; its D words name entries of the milling store, so the tool
    // options set those (by the milling rules).
    std::vector<ToolRecord>* list = isWire(kind) ? &s.tools.millTools : toolListFor(s.tools, kind);
    const MachineKind listKind = isWire(kind) ? MachineKind::VerticalMill : kind;
    if (list != nullptr) {
        for (ToolRecord& t : *list) {
            if (o.toolDiameter && !setToolField(t, listKind, kToolTagDiameter, *o.toolDiameter, ui))
                return refuse("--tool-diameter", jsonNumber(*o.toolDiameter));
            if (o.noseRadius && !setToolField(t, listKind, kToolTagNoseRadius, *o.noseRadius, ui))
                return refuse("--nose-radius", jsonNumber(*o.noseRadius));
            if (o.toolLength && !setToolField(t, listKind, kToolTagLength, *o.toolLength, ui))
                return refuse("--tool-length", jsonNumber(*o.toolLength));
        }
    }
    loadWorkingTool(s.tools, kind, s.tools.currentToolIndex);
    initialiseStockGrid(s.stockGrid, s.stock, kind);
    return true;
}

bool setUpHeadlessState(AppState& s, const HeadlessOptions& o, std::string& message) {
    std::string error, notes;
    const bool ok = setUpHeadlessState(s, o, &error, &notes);
    message = ok ? notes : error;
    return ok;
}

HeadlessPlay::HeadlessPlay(AppState& s, TQuonStrings& program) {
    addMainWindowControls(controls);
    addModalStatusControls(controls);
    addCheckControls(controls);
    PlaySessionParts parts;
    parts.controls = &controls;
    parts.mainThread = &mainThread;
    parts.input = &input;
    parts.program = &program;
    session_ = std::make_unique<PlaySession>(s, parts);
}

std::string jsonNumber(double v) {
    return formatFixedTrimmed(v);
}

}  // namespace vantrel
