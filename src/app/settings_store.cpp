#include "app/settings_store.h"

#include "app/dnc_panel.h"

#include <unistd.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <memory>
#include <type_traits>

#include "app/application.h"
#include "app/machine_defaults.h"
#include "app/main_window_controls.h"
#include "platform/atomic_file.h"
#include "platform/file_lock.h"
#include "platform/reg_text.h"
#include "platform/unattended_ui_services.h"
#include "stock/stock_spec.h"
#include "tools/tool_commands.h"
#include "tools/tool_table.h"

namespace vantrel {

namespace {

constexpr int32_t kMaxToolEntries = 10000;

// ---------------------------------------------------------------------------------------------------
// The value table. Both the load and the save walk it through one visitor, so the names, kinds and
// order live here once. S is AppState (load) or const AppState (save), C likewise for the controls.

template <typename V, typename S>
void visitToolRecord(V& v, S& t, const std::string& suffix) {
    v.bytes4("t_num" + suffix, t.number);
    v.bytes1("t_t" + suffix, t.kind);
    v.bytes1("t_p" + suffix, t.tipPosition);
    v.real("t_nr" + suffix, t.noseRadius);
    v.real("t_ki" + suffix, t.diameter);
    v.real("t_ng" + suffix, t.length);
    v.real("t_hb" + suffix, t.holderLength);
    v.real("t_kk" + suffix, t.angleA);
    v.real("t_h" + suffix, t.angleB);
    v.real("t_vxx" + suffix, t.axisX);
    v.real("t_vyy" + suffix, t.axisY);
    v.real("t_vzz" + suffix, t.axisZ);
    v.real("t_res0" + suffix, t.holderDiameter);
    v.real("t_res1" + suffix, t.reserved1);
    v.real("t_res2" + suffix, t.reserved2);
    v.bytes4("t_color" + suffix, t.color);
}

template <typename V, typename S>
void visitSettings(V& v, S& s) {
    v.menuCheck("hozon", "ini1");
    v.bytes4("color_back", s.colours.c[ColourPalette::kBack]);
    v.bytes4("color_zai", s.colours.c[ColourPalette::kZai]);
    v.bytes4("color_tool", s.colours.c[ColourPalette::kTool]);
    v.machineKind("kikai_mode");
    v.integer("origin_x", s.view.originX);
    v.integer("origin_y", s.view.originY);
    v.real("scale", s.view.scale, /*positive=*/true);
    v.real("kyori", s.view.kyori);
    v.toolPosition("now_x", 0);
    v.toolPosition("now_y", 1);
    v.toolPosition("now_z", 2);
    v.real("vwx", s.view.vwx);
    v.real("vwy", s.view.vwy);
    v.real("vwz", s.view.vwz);
    v.real("view_a", s.view.viewA);
    v.real("view_b", s.view.viewB);
    v.real("zai_x", s.stock.sizeX);
    v.real("zai_y", s.stock.sizeY);
    v.real("zai_z", s.stock.sizeZ);
    v.real("zai_x_off", s.stock.offsetX);
    v.real("zai_y_off", s.stock.offsetY);
    v.real("zai_z_off", s.stock.offsetZ);
    v.integer("laypower", s.view.laypower, 0, 10);
    v.flag("grid_on", s.display.grid_on);
    v.flag("axis_on", s.display.axis_on);
    v.flag("tool_on", s.display.tool_on);
    v.flag("holder_on", s.display.holder_on);
    v.integer("zai_type", s.stock.visible, 0, 1);
    v.flag("kikai_on", s.display.kikai_on);
    v.flag("cad_on", s.display.cad_on);
    v.flag("kouwyer_on", s.display.kouwyer_on);
    v.flag("zaiwyer_on", s.display.zaiwyer_on);
    v.flag("kikaiwyer_on", s.display.kikaiwyer_on);
    v.flag("cadwyer_on", s.display.cadwyer_on);
    v.combo("baudrate", "combo_baudrate");
    v.combo("bytesize", "combo_bytesize");
    v.combo("port", "combo_port");
    v.combo("parity", "combo_parity");
    v.combo("stopbit", "combo_stopbit");
    v.combo("flow", "combo_flow");
    v.combo("code", "combo_code");
    v.checkBox("eor", "check_eor");
    v.checkBox("cr", "check_cr");
    v.checkBox("atc", "checkbox_atc");
    v.combo("holder", "combo_holder");
    v.checkBox("hanyou", "checkbox_hanyou");
    v.checkBox("hankei", "checkbox_hankei");
    v.checkBox("gyaku", "checkbox_gyaku");
    v.combo("tformat", "combo_tformat");
    v.combo("chack", "combo_chack");
    v.checkBox("hon_on", "checkbox_hon");
    v.checkBox("touka_on", "checkbox_touka");
    v.checkBox("bise_on", "checkbox_bise");
    v.checkBox("spindle_on", "checkbox_spindle");
    v.checkBox("chack_on", "checkbox_chack");
    v.checkBox("hamonodai_on", "checkbox_hamonodai");
    v.pictureMode("onpicture", s.picture.pictureMode);
    v.text("backpicture", s.picture.fileName);
    v.readOnlyFlag("ontext", s.settings.programTextLoaded);
    v.readOnlyText("text", s.settings.programDialogFile);
    v.toolCount("t_cnt", s.tools.millTools);
    v.toolCount("t_cnt_s", s.tools.latheTools);
    for (size_t i = 0; i < s.tools.millTools.size(); ++i)
        visitToolRecord(v, s.tools.millTools[i], std::to_string(i));
    for (size_t i = 0; i < s.tools.latheTools.size(); ++i)
        visitToolRecord(v, s.tools.latheTools[i], "_s" + std::to_string(i));
    visitToolRecord(v, s.tools.wireTool, "_w");
}

// A record whose every field is zero: what a longer stored table adds before its values are read.
ToolRecord zeroToolRecord() {
    ToolRecord t;
    t.number = 0;
    t.kind = 0;
    t.tipPosition = 0;
    t.noseRadius = t.diameter = t.length = t.holderLength = 0;
    t.angleA = t.angleB = 0;
    t.axisX = t.axisY = t.axisZ = 0;
    t.holderDiameter = t.reserved1 = t.reserved2 = 0;
    t.color = 0;
    return t;
}

std::string leBytes(uint64_t v, size_t n) {
    std::string b(n, '\0');
    for (size_t i = 0; i < n; ++i) b[i] = static_cast<char>((v >> (8 * i)) & 0xFF);
    return b;
}

uint64_t fromLe(const std::string& b) {
    uint64_t v = 0;
    for (size_t i = b.size(); i-- > 0;) v = (v << 8) | static_cast<uint8_t>(b[i]);
    return v;
}

// ---------------------------------------------------------------------------------------------------
// Load.

class Loader {
  public:
    Loader(const RegKey& key, AppState& s, ControlSet& cs, SettingsLoadReport& r)
        : k_(key), s_(s), cs_(cs), r_(r) {}

    void menuCheck(const char* name, const char* control) {
        bool on;
        if (!readFlag(name, on)) return;
        cs_.setChecked(control, on);
        s_.settings.autoSave = on;
    }
    void bytes4(const std::string& name, uint32_t& field) {
        std::string b;
        if (readBinary(name, 4, b)) field = static_cast<uint32_t>(fromLe(b));
    }
    void bytes4(const std::string& name, int32_t& field) {
        std::string b;
        if (readBinary(name, 4, b)) field = static_cast<int32_t>(static_cast<uint32_t>(fromLe(b)));
    }
    void bytes1(const std::string& name, uint8_t& field) {
        std::string b;
        if (readBinary(name, 1, b)) field = static_cast<uint8_t>(b[0]);
    }
    void machineKind(const char* name) {
        int32_t k;
        if (!readInt(name, k)) return;
        if (!isValidMachineKind(k)) return outOfRange(name);
        s_.machineKind = static_cast<MachineKind>(k);
        s_.machineKindShared = k;
    }
    void integer(const char* name, int32_t& field, int32_t lo = std::numeric_limits<int32_t>::min(),
                 int32_t hi = std::numeric_limits<int32_t>::max()) {
        int32_t v;
        if (!readInt(name, v)) return;
        if (v < lo || v > hi) return outOfRange(name);
        field = v;
    }
    void real(const std::string& name, double& field, bool positive = false) {
        double d;
        if (readDouble(name, d) && checkPositive(name, d, positive)) field = d;
    }
    // Single-precision fields: stored widened, loaded rounded to single precision.
    void real(const std::string& name, float& field, bool positive = false) {
        double d;
        if (!readDouble(name, d) || !checkPositive(name, d, positive)) return;
        if (std::fabs(d) > std::numeric_limits<float>::max()) return outOfRange(name);
        field = static_cast<float>(d);
    }
    void toolPosition(const char* name, int axis) {
        double d;
        if (!readDouble(name, d)) return;
        Vec3 p = s_.pos.tool.get();
        (axis == 0 ? p.x : axis == 1 ? p.y : p.z) = d;
        s_.pos.tool.set(p);
        s_.pos.tool.setShown(p);
    }
    void flag(const char* name, Shared<bool>& field) {
        bool on;
        if (readFlag(name, on)) field = on;
    }
    void combo(const char* name, const char* control) {
        int32_t v;
        if (!readInt(name, v)) return;
        if (!cs_.has(control)) return;  // the control's subsystem is not in this build: nothing to set
        const auto count = static_cast<int32_t>(cs_.items(control).size());
        if (v < 0 || v >= count) return outOfRange(name);
        cs_.setItemIndex(control, v);
    }
    void checkBox(const char* name, const char* control) {
        bool on;
        if (!readFlag(name, on)) return;
        cs_.setCheckBox(control, on);  // runs the box's command when the state changes
    }
    void pictureMode(const char* name, int32_t& field) {
        int32_t v;
        if (readInt(name, v)) field = v & 0xFF;
    }
    void text(const char* name, std::string& field) {
        const RegValue* v = k_.find(name);
        if (!v) return;
        if (v->kind != RegValueKind::String) return wrongKind(name);
        field = v->data;
    }
    void readOnlyFlag(const char* name, bool& field) {
        bool on;
        if (readFlag(name, on)) field = on;
    }
    void readOnlyText(const char* name, std::string& field) { text(name, field); }
    void toolCount(const char* name, std::vector<ToolRecord>& list) {
        int32_t n;
        if (!readInt(name, n)) return;
        if (n < 1 || n > kMaxToolEntries) return outOfRange(name);
        list.resize(static_cast<size_t>(n), zeroToolRecord());
    }

  private:
    void wrongKind(const std::string& name) { r_.wrongKind.push_back(name); }
    void outOfRange(const std::string& name) { r_.outOfRange.push_back(name); }

    bool readInt(const std::string& name, int32_t& out) {
        const RegValue* v = k_.find(name);
        if (!v) return false;
        if (v->kind != RegValueKind::Dword) return wrongKind(name), false;
        out = static_cast<int32_t>(v->dword);
        return true;
    }
    bool readFlag(const std::string& name, bool& out) {
        int32_t v;
        if (!readInt(name, v)) return false;
        out = v != 0;
        return true;
    }
    // A binary value of exactly `size` bytes.
    bool readBinary(const std::string& name, size_t size, std::string& out) {
        const RegValue* v = k_.find(name);
        if (!v) return false;
        if (v->kind != RegValueKind::Binary) return wrongKind(name), false;
        if (v->data.size() != size) return outOfRange(name), false;
        out = v->data;
        return true;
    }
    bool readDouble(const std::string& name, double& out) {
        std::string b;
        if (!readBinary(name, 8, b)) return false;
        const uint64_t bits = fromLe(b);
        std::memcpy(&out, &bits, sizeof out);
        if (!std::isfinite(out)) return outOfRange(name), false;
        return true;
    }
    bool checkPositive(const std::string& name, double d, bool positive) {
        if (positive && !(d > 0)) return outOfRange(name), false;
        return true;
    }

    const RegKey& k_;
    AppState& s_;
    ControlSet& cs_;
    SettingsLoadReport& r_;
};

// ---------------------------------------------------------------------------------------------------
// Save.

class Saver {
  public:
    Saver(RegKey& key, const AppState& s, const ControlSet& cs) : k_(key), s_(s), cs_(cs) {}

    void menuCheck(const char* name, const char* control) { flagValue(name, cs_.checked(control)); }
    void bytes4(const std::string& name, uint32_t field) {
        k_.set(RegValue::makeBinary(name, leBytes(field, 4)));
    }
    void bytes4(const std::string& name, int32_t field) { bytes4(name, static_cast<uint32_t>(field)); }
    void bytes1(const std::string& name, uint8_t field) {
        k_.set(RegValue::makeBinary(name, leBytes(field, 1)));
    }
    void machineKind(const char* name) { integer(name, static_cast<int32_t>(s_.machineKind)); }
    void integer(const char* name, int32_t field, int32_t = 0, int32_t = 0) {
        k_.set(RegValue::makeDword(name, static_cast<uint32_t>(field)));
    }
    void real(const std::string& name, double field, bool = false) {
        uint64_t bits;
        std::memcpy(&bits, &field, sizeof bits);
        k_.set(RegValue::makeBinary(name, leBytes(bits, 8)));
    }
    void toolPosition(const char* name, int axis) {
        const Vec3 p = s_.pos.tool.get();
        real(name, axis == 0 ? p.x : axis == 1 ? p.y : p.z);
    }
    void flag(const char* name, bool on) { flagValue(name, on); }
    void combo(const char* name, const char* control) {
        // A control this build does not have keeps whatever the file holds for it.
        if (!cs_.has(control) || cs_.itemIndex(control) < 0) return;
        integer(name, cs_.itemIndex(control));
    }
    void checkBox(const char* name, const char* control) {
        if (cs_.has(control)) flagValue(name, cs_.checked(control));
    }
    void pictureMode(const char* name, int32_t field) { integer(name, field); }
    void text(const char* name, const std::string& field) { k_.set(RegValue::makeString(name, field)); }
    void readOnlyFlag(const char*, bool) {}
    void readOnlyText(const char*, const std::string&) {}
    void toolCount(const char* name, const std::vector<ToolRecord>& list) {
        integer(name, static_cast<int32_t>(list.size()));
    }

  private:
    void flagValue(const char* name, bool on) { k_.set(RegValue::makeDword(name, on ? 1 : 0)); }

    RegKey& k_;
    const AppState& s_;
    const ControlSet& cs_;
};

void appendNames(std::string& out, const std::vector<std::string>& names, const char* why) {
    if (names.empty()) return;
    out += "\n";
    out += why;
    out += ": ";
    constexpr size_t kShown = 12;
    for (size_t i = 0; i < names.size() && i < kShown; ++i) {
        if (i) out += ", ";
        out += names[i];
    }
    if (names.size() > kShown) out += " ほか" + std::to_string(names.size() - kShown) + "件";
}

}  // namespace

std::string settingsStorePath() {
    return userConfigFolder() + "/orvik/Vantrel.reg";
}

std::string SettingsLoadReport::message(const std::string& path) const {
    if (!readable) return std::string(kMsgSettingsUnreadable) + "\n" + path + "\n" + error;
    if (!registry) return std::string(kMsgSettingsNotRegistry) + "\n" + path;
    if (wrongKind.empty() && outOfRange.empty() && skippedLines.empty()) return "";
    std::string m = std::string(kMsgSettingsValuesSkipped) + "\n" + path;
    appendNames(m, wrongKind, "型が違います");
    appendNames(m, outOfRange, "範囲外です");
    if (!skippedLines.empty()) {
        std::vector<std::string> lines;
        for (int n : skippedLines) lines.push_back(std::to_string(n));
        appendNames(m, lines, "読めない行");
    }
    return m;
}

SettingsLoadReport loadSettingsFromBytes(std::string_view bytes, AppState& s, ControlSet& cs) {
    SettingsLoadReport r;
    RegDocument doc;
    const RegParseResult parsed = parseRegText(bytes, doc);
    if (!parsed.ok) {
        r.registry = false;
        return r;
    }
    r.skippedLines = parsed.skippedLines;
    const RegKey* key = doc.findKey(kSettingsKey);
    if (!key) return r;
    r.found = true;
    Loader loader(*key, s, cs, r);
    visitSettings(loader, s);
    return r;
}

std::string saveSettingsToBytes(const AppState& s, const ControlSet& cs, std::string_view previous) {
    RegDocument doc;
    if (!previous.empty()) {
        // A file that is not a registry export is replaced; one that is keeps its other values.
        if (!parseRegText(previous, doc).ok) doc = RegDocument{};
    }
    RegKey& key = doc.key(kSettingsKey);
    key.path = kSettingsKey;  // an export from another user's hive is written back as this user's key
    Saver saver(key, s, cs);
    if (cs.checked("ini1")) {
        visitSettings(saver, s);
    } else {
        saver.menuCheck("hozon", "ini1");
    }
    return serialiseRegText(doc);
}

void applySettings(Application& app) {
    AppState& s = app.state();
    ControlSet& cs = app.controls();
    const MachineKind kind =
        isValidMachineKind(static_cast<int>(s.machineKind)) ? s.machineKind : MachineKind::VerticalMill;
    // The machine menu and buttons show the loaded kind.
    for (int k = 0; k <= 4; ++k) cs.setChecked(machineMenuItem(static_cast<MachineKind>(k)), false);
    for (const char* n : {"sb_mouse_xy", "sb_mouse_xz", "sb_mouse_yz"}) cs.setChecked(n, false);
    cs.setChecked(machineMenuItem(kind), true);
    cs.setChecked(machineButton(kind), true);
    cs.setCaption("menu_kikai", machineMenuCaption(kind));
    s.machineKind = kind;
    s.machineKindShared = static_cast<int32_t>(kind);
    // The family's defaults; the view, origin, position and stock keep their loaded values.
    applyMachineFamilyDefaults(s, kind, cs.checked("menu_kikai_hankei"));
    if (isTurning(kind)) cs.setChecked("sb_mouse_xz", true);
    if (isWire(kind)) cs.setChecked("sb_mouse_xy", true);
    // Tool list, holder, stock grid and the working tool. The selected entry keeps its index when
    // the (possibly shorter) loaded table still has it, and is loaded from the table: the table
    // holds every edit already, so writing the working tool back first would put the values from
    // before the load over the entry just read.
    const int keep = s.tools.currentToolIndex;
    applyToolFamily(cs, s.tools, kind);
    const std::vector<ToolRecord>* list = toolListFor(s.tools, kind);
    const int count = list ? static_cast<int>(list->size()) : 1;
    s.tools.currentToolIndex = (keep >= 0 && keep < count) ? keep : 0;
    loadWorkingTool(s.tools, kind, s.tools.currentToolIndex);
    if (list) cs.setItemIndex("ComboBox1", s.tools.currentToolIndex);
    if (isTurning(kind)) cs.setItemIndex("ComboBox2", s.tools.workingTool.kind);
    showToolLabels(cs, s.tools, kind);
    if (app.hooks.holderChanged) app.hooks.holderChanged();
    {
        std::lock_guard lk(s.stockMutex);
        initialiseStockGrid(s.stockGrid, s.stock, kind);
    }
    const ToolRecord& w = s.tools.workingTool;
    s.pos.axis = Vec3(w.axisX, w.axisY, w.axisZ);
    // The family's controls; the feed pitch mark stays as it is, and the wire EDM has no fast or
    // step play.
    const bool pitchMark = cs.checked("menu_okupitch");
    applyFamilyControls(cs, kind);
    cs.setChecked("menu_okupitch", pitchMark);
    if (isWire(kind)) {
        cs.setEnabled("sb_playfast", false);
        cs.setEnabled("sb_playstep", false);
    }
    // Tool angles from the axis.
    updateDerivedToolValues(s.tools);
    s.pos.a = s.tools.toolTiltAngle;
    s.pos.b = s.tools.toolTurnAngle;
    // Display switches.
    for (const auto& sw : displaySwitchControls()) {
        const bool on = app.displaySwitch(sw.field);
        if (std::strcmp(sw.field, "cad_on") != 0) cs.setChecked(sw.menuItem, on);
        cs.setChecked(sw.button, on);
    }
    // Holder standard from its combo box.
    const int holder = cs.itemIndex("combo_holder");
    if (holder >= 0 && holder < kHolderKindCount) {
        s.machine.holderStandard = holder;
        const auto& items = holderKindMenuItems();
        for (int i = 0; i < kHolderKindCount; ++i) cs.setChecked(items[static_cast<size_t>(i)], i == holder);
        if (app.hooks.holderChanged) app.hooks.holderChanged();
    }
    // Chuck size, and the T-code format kept with its combo box.
    const int chuck = cs.itemIndex("combo_chack");
    if (chuck >= 0 && chuck < static_cast<int>(kChuckInches.size())) {
        s.machine.chuckSizeIndex = chuck;
        s.machine.chuckDiameter = static_cast<float>(kChuckInches[static_cast<size_t>(chuck)] * 25.4);
        for (size_t i = 0; i < kChuckInches.size(); ++i)
            cs.setChecked("menu_chack" + std::to_string(kChuckInches[i]), static_cast<int>(i) == chuck);
    }
    const int tformat = cs.itemIndex("combo_tformat");
    if (tformat >= 0 && tformat <= 2) {
        s.machine.tCodeFormat = tformat;
        for (int i = 0; i <= 2; ++i) cs.setChecked("menu_kikai_T" + std::to_string(i + 2), i == tformat);
    }
    // Colour panels.
    cs.setColor("panel_clback", s.colours[ColourPalette::kBack]);
    cs.setColor("panel_clzai", s.colours[ColourPalette::kZai]);
    cs.setPosition("ScrollBar2", s.view.laypower);
    // The communication panel's line settings: the loaded selections are what the next connect uses.
    readDncSettings(cs, s.dnc);
    app.refreshLabels();
}

bool loadSettingsFile(Application& app, const std::string& path) {
    AppState& s = app.state();
    // Nothing is repainted while the values come in, and the flag ends set whatever happens.
    struct ReadyAgain {
        AppState& s;
        ~ReadyAgain() { s.window.settingsReady = true; }
    } readyAgain{s};
    s.window.settingsReady = false;

    std::string bytes, error;
    {
        FolderLock lock(folderOf(path), /*exclusive=*/false);
        if (::access(path.c_str(), F_OK) != 0) return false;  // first start: nothing stored yet
        if (!readWholeFile(path, bytes, &error)) {
            SettingsLoadReport r;
            r.readable = false;
            r.error = error;
            app.ui().message(r.message(path));
            return false;
        }
    }
    const SettingsLoadReport r = loadSettingsFromBytes(bytes, s, app.controls());
    if (!r.clean()) app.ui().message(r.message(path));
    return r.found;
}

bool saveSettingsFile(Application& app, const std::string& path) {
    std::string error;
    const std::string folder = folderOf(path);
    bool ok = makeFolders(folder, &error);
    if (ok) {
        FolderLock lock(folder, /*exclusive=*/true);
        std::string previous;
        std::string readError;
        if (::access(path.c_str(), F_OK) == 0 && !readWholeFile(path, previous, &readError)) {
            // An unreadable store is not overwritten blindly: it may hold values this save keeps.
            ok = false;
            error = readError;
        } else {
            ok =
                writeFileAtomically(path, saveSettingsToBytes(app.state(), app.controls(), previous), &error);
        }
    }
    if (!ok) app.ui().message(std::string(kMsgSettingsNotSaved) + "\n" + path + "\n" + error);
    return ok;
}

void restorePreviousSettings(Application& app, const std::string& path) {
    // Nothing saved yet: say so rather than leave the user wondering whether anything happened.
    if (::access(path.c_str(), F_OK) != 0) {
        app.ui().message(kMsgNoStoredSettings);
        return;
    }
    loadSettingsFile(app, path);
    if (app.state().picture.pictureMode != 0 && app.hooks.loadPicture) app.hooks.loadPicture();
    applySettings(app);
    app.requestRepaint();
}

void bindAutoSaveCommand(ControlSet& cs, AppState& s) {
    // The menu item inverts its own check mark; the save at close reads it.
    cs.bind("ini1", [&cs, &s](const Control&) { s.settings.autoSave = cs.checked("ini1"); });
}

void attachSettingsStore(Application& app, const std::string& path) {
    app.hooks.loadSettings = [&app, path] { loadSettingsFile(app, path); };
    app.hooks.applySettings = [&app] { applySettings(app); };
    app.hooks.saveSettings = [&app, path] { saveSettingsFile(app, path); };
    app.controls().bind("N24", [&app, path](const Control&) { restorePreviousSettings(app, path); });
}

bool loadSettingsForHeadless(const std::string& path, AppState& s, std::string& error,
                             std::string& warnings) {
    std::string bytes;
    if (!readWholeFile(path, bytes, &error)) return false;
    ControlSet cs;
    UnattendedUiServices ui;
    InlineMainThread mt;
    Application app(s, cs, ui, mt);
    app.createControls();
    SettingsLoadReport report;
    app.hooks.loadSettings = [&] { report = loadSettingsFromBytes(bytes, s, cs); };
    app.hooks.applySettings = [&app] { applySettings(app); };
    app.startUp();
    if (!report.registry) {
        error = kMsgSettingsNotRegistry;
        return false;
    }
    warnings = report.clean() ? "" : report.message(path);
    return true;
}

bool traceOptionsFromSettings(const std::string& path, TraceOptions& options, std::string& error,
                              std::string& warnings) {
    auto state = std::make_unique<AppState>();
    if (!loadSettingsForHeadless(path, *state, error, warnings)) return false;
    options.machine = state->machineKind;
    options.lathe = state->machine.turningProgramming();
    options.tools.clear();
    if (const std::vector<ToolRecord>* list = toolListFor(state->tools, state->machineKind))
        for (const ToolRecord& t : *list) options.tools.emplace_back(t.number, t.diameter);
    return true;
}

}  // namespace vantrel
