#include "tools/tool_commands.h"

#include <cmath>
#include <optional>
#include <string>

#include "core/number_format.h"

namespace vantrel {

namespace {

constexpr const char* kValueFormat = "##0.#####";

constexpr const char* kMsg0To1000 = "0から1000まで";
constexpr const char* kMsg0To100 = "0から100まで";
constexpr const char* kMsg0To90 = "0から90まで";
constexpr const char* kMsg0To180 = "0から180まで";
constexpr const char* kMsgPlusMinus180 = "-180から+180まで";
constexpr const char* kMsgTipPosition = "1,2,3,4,5,6,7,8,9を入力してください";

enum class ToolView { Milling, Turning, Wire };

// How the tool tab shows a tool: the drills on a lathe look like milling tools.
ToolView toolViewOf(MachineKind kind, const ToolRecord& tool) {
    switch (familyOf(kind)) {
        case MachineFamily::Milling:
            return ToolView::Milling;
        case MachineFamily::Turning:
            return isDrillKind(tool.kind) ? ToolView::Milling : ToolView::Turning;
        case MachineFamily::Wire:
            return ToolView::Wire;
    }
    return ToolView::Milling;
}

bool reject(UiServices& ui, const char* msg) {
    ui.message(msg);
    return false;
}

// The integer part of a keypad answer as a tool number; nothing when it does not fit an int32.
std::optional<int32_t> toolNumberFromAnswer(double v) {
    if (!(v > -2147483649.0 && v < 2147483648.0)) return std::nullopt;
    return static_cast<int32_t>(std::trunc(v));
}

void finish(ControlSet& cs, ToolTable& t, MachineKind kind, const CommandHooks& hooks) {
    showToolLabels(cs, t, kind);
    hooks.refresh();
    hooks.requestRepaint();
}

void showKind(ControlSet& cs, const ToolTable& t, MachineKind kind) {
    if (familyOf(kind) != MachineFamily::Wire) cs.setItemIndex("ComboBox2", t.workingTool.kind);
}

}  // namespace

void addToolControls(ControlSet& cs) {
    cs.add(labelControl("Label43", "ノーズＲ"));
    cs.add(labelControl("labeltt", "底面角"));
    cs.add(labelControl("labelts", "側面角"));
    cs.add(labelControl("labeltk", "直径"));
    cs.add(labelControl("labeltn", "長さ"));
    cs.add(labelControl("label_t_haba0", "ホルダー直径"));
    cs.add(labelControl("label_t_point0", "ホルダー長さ"));

    ToolTable fresh;
    const ToolRecord& w = fresh.workingTool;
    cs.add(labelControl("label_t_point", FormatFloat(kValueFormat, w.holderLength).c_str(), kToolTagPoint));
    cs.add(labelControl("label_t_kei", FormatFloat(kValueFormat, w.diameter).c_str(), kToolTagDiameter));
    cs.add(labelControl("label_t_naga", FormatFloat(kValueFormat, w.length).c_str(), kToolTagLength));
    cs.add(
        labelControl("label_t_noser", FormatFloat(kValueFormat, w.noseRadius).c_str(), kToolTagNoseRadius));
    cs.add(labelControl("label_t_teimenkaku", FormatFloat(kValueFormat, w.angleA).c_str(), kToolTagAngleA));
    cs.add(labelControl("label_t_sokumenkaku", FormatFloat(kValueFormat, w.angleB).c_str(), kToolTagAngleB));
    cs.add(labelControl("label_t_haba", FormatFloat(kValueFormat, w.holderDiameter).c_str(), kToolTagWidth));

    Control list;
    list.name = "ComboBox1";
    list.kind = ControlKind::ComboBox;
    list.items = {"-"};
    list.itemIndex = 0;
    cs.add(list);

    Control shape;
    shape.name = "ComboBox2";
    shape.kind = ControlKind::ComboBox;
    shape.itemIndex = 0;
    shape.enabled = false;  // only the lathes choose a tool shape
    cs.add(shape);

    Control b;
    b.kind = ControlKind::Button;
    b.name = "button_t_new";
    b.caption = "追加";
    b.hint = "工具追加";
    cs.add(b);
    b.name = "button_t_del";
    b.caption = "削除";
    b.hint = "工具削除";
    cs.add(b);
    b.name = "button_t_ini";
    b.caption = "初期化";
    b.hint = "";
    cs.add(b);

    Control colour;
    colour.name = "panel_t_color";
    colour.kind = ControlKind::Panel;
    colour.color = kDefaultToolColor;
    cs.add(colour);

    Control holder;
    holder.name = "combo_holder";
    holder.kind = ControlKind::ComboBox;
    for (const char* item : holderKindItems()) holder.items.emplace_back(item);
    holder.itemIndex = static_cast<int>(HolderKind::BT40);
    cs.add(holder);
}

void showToolLabels(ControlSet& cs, const ToolTable& t, MachineKind kind) {
    const ToolRecord& w = t.workingTool;
    switch (toolViewOf(kind, w)) {
        case ToolView::Milling:
            cs.setCaption("Label43", "ノーズＲ");
            cs.setCaption("labeltt", "底面角");
            cs.setCaption("labelts", "側面角");
            cs.setCaption("labeltk", "直径");
            cs.setCaption("labeltn", "長さ");
            cs.setCaption("label_t_haba0", "ホルダー直径");
            cs.setCaption("label_t_point0", "ホルダー長さ");
            break;
        case ToolView::Turning:
            cs.setCaption("Label43", "ノーズＲ");
            cs.setCaption("labeltt", "刃物角");
            cs.setCaption("labelts", "切り込み角");
            cs.setCaption("labeltk", "シャンク");
            cs.setCaption("labeltn", "刃物大きさ");
            cs.setCaption("label_t_haba0", "溝幅");
            cs.setCaption("label_t_point0", "刃先位置");
            break;
        case ToolView::Wire:
            cs.setCaption("Label43", "ワイヤー線半径");
            cs.setCaption("labeltt", "上端Ｚ");
            cs.setCaption("labelts", "下端Ｚ");
            cs.setCaption("labeltk", "ワイヤー線直径");
            break;
    }
    cs.setCaption("label_t_kei", FormatFloat(kValueFormat, w.diameter));
    cs.setCaption("label_t_naga", FormatFloat(kValueFormat, w.length));
    cs.setCaption("label_t_noser", FormatFloat(kValueFormat, w.noseRadius));
    cs.setCaption("label_t_teimenkaku", FormatFloat(kValueFormat, w.angleA));
    cs.setCaption("label_t_sokumenkaku", FormatFloat(kValueFormat, w.angleB));
    if (toolViewOf(kind, w) == ToolView::Turning) {
        cs.setCaption("label_t_haba", FormatFloat(kValueFormat, w.holderLength));
        cs.setCaption("label_t_point", std::to_string(w.tipPosition));
    } else {
        cs.setCaption("label_t_haba", FormatFloat(kValueFormat, w.holderDiameter));
        cs.setCaption("label_t_point", FormatFloat(kValueFormat, w.holderLength));
    }
    cs.setColor("panel_t_color", static_cast<uint32_t>(w.color));
}

void showToolList(ControlSet& cs, const ToolTable& t, MachineKind kind) {
    const std::vector<ToolRecord>* list = toolListFor(t, kind);
    if (!list) {
        cs.setItems("ComboBox1", {"-"});
        cs.setItemIndex("ComboBox1", 0);
        return;
    }
    cs.setItems("ComboBox1", toolListItems(*list));
    cs.setItemIndex("ComboBox1", t.currentToolIndex);
}

void applyToolFamily(ControlSet& cs, ToolTable& t, MachineKind kind) {
    const bool wire = isWire(kind);
    t.currentToolIndex = 0;
    loadWorkingTool(t, kind, 0);
    showToolList(cs, t, kind);
    if (isTurning(kind)) {
        std::vector<std::string> items;
        for (const char* item : latheToolKindItems()) items.emplace_back(item);
        cs.setItems("ComboBox2", items);
        cs.setEnabled("ComboBox2", true);
        cs.setItemIndex("ComboBox2", t.workingTool.kind);
    } else {
        cs.setEnabled("ComboBox2", false);
    }
    for (const char* name :
         {"ComboBox1", "button_t_new", "button_t_del", "menu_t_new", "menu_t_del", "menu_t_change", "labeltn",
          "label_t_haba0", "label_t_point0", "label_t_naga", "label_t_haba", "label_t_point"})
        cs.setEnabled(name, !wire);
    showToolLabels(cs, t, kind);
}

double toolFieldValue(const ToolRecord& w, MachineKind kind, int tag) {
    const bool turning = toolViewOf(kind, w) == ToolView::Turning;
    switch (tag) {
        case kToolTagPoint:
            return turning ? static_cast<double>(w.tipPosition) : w.holderLength;
        case kToolTagDiameter:
            return w.diameter;
        case kToolTagLength:
            return w.length;
        case kToolTagNoseRadius:
            return w.noseRadius;
        case kToolTagAngleA:
            return w.angleA;
        case kToolTagAngleB:
            return w.angleB;
        case kToolTagWidth:
            return turning ? w.holderLength : w.holderDiameter;
        default:
            return 0;
    }
}

bool setToolField(ToolRecord& w, MachineKind kind, int tag, double v, UiServices& ui) {
    const ToolView view = toolViewOf(kind, w);
    const bool lathe = isTurning(kind);
    switch (tag) {
        case kToolTagPoint:
            if (view == ToolView::Wire) return true;
            if (view == ToolView::Turning) {
                if (!(v >= 1 && v <= 9 && v == std::trunc(v))) return reject(ui, kMsgTipPosition);
                w.tipPosition = static_cast<uint8_t>(v);
                return true;
            }
            if (!(v >= 0 && v < 1000)) return reject(ui, kMsg0To1000);
            w.holderLength = v;
            return true;
        case kToolTagDiameter:
            if (!(v > 0 && v < 1000)) return reject(ui, kMsg0To1000);
            w.diameter = v;
            if (view == ToolView::Wire) w.noseRadius = v / 2;
            return true;
        case kToolTagLength:
            if (!(v > 0 && v < 1000)) return reject(ui, kMsg0To1000);
            w.length = v;
            return true;
        case kToolTagNoseRadius:
            if (!(v >= 0 && v < 100)) return reject(ui, kMsg0To100);
            w.noseRadius = v;
            if (view == ToolView::Wire) w.diameter = 2 * v;
            return true;
        case kToolTagAngleA:
            if (view == ToolView::Wire) {
                w.angleA = v;  // the upper wire end: any height
                return true;
            }
            if (lathe) {
                if (!(v >= 0 && v <= 180)) return reject(ui, kMsg0To180);
            } else if (!(v >= 0 && v < 90)) {
                return reject(ui, kMsg0To90);
            }
            w.angleA = v;
            return true;
        case kToolTagAngleB:
            if (view == ToolView::Wire) {
                w.angleB = v;  // the lower wire end: any height
                return true;
            }
            if (lathe) {
                if (!(v >= -180 && v <= 180)) return reject(ui, kMsgPlusMinus180);
            } else if (!(v >= 0 && v < 90)) {
                return reject(ui, kMsg0To90);
            }
            w.angleB = v;
            return true;
        case kToolTagWidth:
            if (view == ToolView::Wire) return true;
            if (!(v >= 0 && v < 1000)) return reject(ui, kMsg0To1000);
            if (view == ToolView::Turning)
                w.holderLength = v;  // groove width
            else
                w.holderDiameter = v;
            return true;
        default:
            return false;
    }
}

void selectToolCommand(ControlSet& cs, ToolTable& t, MachineKind kind, int index, const CommandHooks& hooks) {
    storeWorkingTool(t, kind, t.currentToolIndex);
    const std::vector<ToolRecord>* list = toolListFor(t, kind);
    if (!list || index < 0 || index >= static_cast<int>(list->size())) index = 0;
    t.currentToolIndex = index;
    loadWorkingTool(t, kind, index);
    cs.setItemIndex("ComboBox1", index);
    showKind(cs, t, kind);
    finish(cs, t, kind, hooks);
}

void chooseLatheKindCommand(ControlSet& cs, ToolTable& t, MachineKind kind, int latheKind,
                            const CommandHooks& hooks) {
    if (!isTurning(kind) || !applyLatheToolKind(t.workingTool, latheKind)) return;
    storeWorkingTool(t, kind, t.currentToolIndex);
    loadWorkingTool(t, kind, t.currentToolIndex);
    finish(cs, t, kind, hooks);
}

void editToolValueCommand(ControlSet& cs, ToolTable& t, MachineKind kind, int tag, UiServices& ui,
                          const CommandHooks& hooks) {
    const double present = toolFieldValue(t.workingTool, kind, tag);
    std::optional<double> answer = ui.keypad(present);
    if (answer) {
        ToolRecord edited = t.workingTool;
        if (!setToolField(edited, kind, tag, *answer, ui)) return;
        t.workingTool = edited;
    }
    // A cancelled edit keeps the value but still refreshes, like an accepted one.
    storeWorkingTool(t, kind, t.currentToolIndex);
    finish(cs, t, kind, hooks);
}

void addToolCommand(ControlSet& cs, ToolTable& t, MachineKind kind, UiServices& ui, uint32_t defaultColor,
                    const CommandHooks& hooks) {
    if (!toolListFor(t, kind)) return;
    std::optional<double> answer = ui.keypad(0);
    if (!answer) return;
    std::optional<int32_t> number = toolNumberFromAnswer(*answer);
    if (!number || *number == 0) return;
    storeWorkingTool(t, kind, t.currentToolIndex);
    int index = insertTool(t, kind, *number, defaultColor);
    if (index <= 0) return;
    t.currentToolIndex = index;
    loadWorkingTool(t, kind, index);
    showToolList(cs, t, kind);
    if (isTurning(kind)) showKind(cs, t, kind);
    finish(cs, t, kind, hooks);
}

void deleteToolCommand(ControlSet& cs, ToolTable& t, MachineKind kind, const CommandHooks& hooks) {
    int next = deleteTool(t, kind, t.currentToolIndex);
    if (next < 0) return;
    t.currentToolIndex = next;
    loadWorkingTool(t, kind, next);
    showToolList(cs, t, kind);
    showKind(cs, t, kind);
    finish(cs, t, kind, hooks);
}

void renumberToolCommand(ControlSet& cs, ToolTable& t, MachineKind kind, UiServices& ui,
                         const CommandHooks& hooks) {
    const std::vector<ToolRecord>* list = toolListFor(t, kind);
    if (!list || t.currentToolIndex <= 0 || t.currentToolIndex >= static_cast<int>(list->size())) return;
    std::optional<double> answer = ui.keypad(0);
    if (!answer) return;
    std::optional<int32_t> number = toolNumberFromAnswer(*answer);
    if (!number) return;
    storeWorkingTool(t, kind, t.currentToolIndex);
    int index = renumberTool(t, kind, t.currentToolIndex, *number);
    if (index < 0) return;
    t.currentToolIndex = index;
    loadWorkingTool(t, kind, index);
    showToolList(cs, t, kind);
    finish(cs, t, kind, hooks);
}

void initialiseToolsCommand(ControlSet& cs, ToolTable& t, MachineKind kind, UiServices& ui,
                            uint32_t defaultColor, const CommandHooks& hooks) {
    if (!ui.askYesNo("初期化しますか?")) return;
    initialiseToolTables(t, kind, defaultColor);
    showToolList(cs, t, kind);
    showKind(cs, t, kind);
    finish(cs, t, kind, hooks);
}

void showReplacedToolTables(ControlSet& cs, ToolTable& t, MachineKind kind, const CommandHooks& hooks) {
    t.currentToolIndex = 0;
    loadWorkingTool(t, kind, 0);
    showToolList(cs, t, kind);
    showKind(cs, t, kind);
    finish(cs, t, kind, hooks);
}

void toolColourCommand(ControlSet& cs, ToolTable& t, MachineKind kind, UiServices& ui,
                       const CommandHooks& hooks) {
    std::optional<uint32_t> colour = ui.chooseColour(static_cast<uint32_t>(t.workingTool.color));
    if (!colour) return;
    t.workingTool.color = static_cast<int32_t>(*colour & 0x00FFFFFFu);
    storeWorkingTool(t, kind, t.currentToolIndex);
    cs.setColor("panel_t_color", static_cast<uint32_t>(t.workingTool.color));
    hooks.requestRepaint();
}

void holderKindCommand(ControlSet& cs, int32_t& holderKind, int newKind, const CommandHooks& hooks) {
    if (newKind < 0 || newKind >= kHolderKindCount) return;
    holderKind = newKind;
    const auto& menus = holderKindMenuItems();
    for (int i = 0; i < kHolderKindCount; ++i) cs.setChecked(menus[static_cast<size_t>(i)], i == newKind);
    cs.setItemIndex("combo_holder", newKind);
    if (hooks.holderChanged) hooks.holderChanged();
    hooks.requestRepaint();
}

int selectToolByTWord(ToolTable& t, MachineKind kind, double tWord, int tCodeFormat) {
    const std::vector<ToolRecord>* list = toolListFor(t, kind);
    if (!list) return t.currentToolIndex;
    t.currentToolIndex = findToolIndex(*list, toolNumberFromTWord(kind, tWord, tCodeFormat));
    if (isTurning(kind)) loadWorkingTool(t, kind, t.currentToolIndex);
    return t.currentToolIndex;
}

}  // namespace vantrel
