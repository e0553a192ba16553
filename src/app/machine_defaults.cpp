#include "app/machine_defaults.h"

#include "app/view_commands.h"
#include "stock/stock_spec.h"

#include <string>
#include <vector>

namespace vantrel {

namespace {

// What a kind sets beyond the camera (render) and the stock sizes (stock), which keep their own tables.
struct KindDefaults {
    bool turning;
    Vec3 toolPos, axis;
    int32_t arcPlane;
    float axisX, axisY, axisZ;
    Vec3 reference;
};

const KindDefaults& defaultsOf(MachineKind k) {
    static const KindDefaults table[5] = {
        {false, {0, 0, 435}, {0, 0, 1}, 0, 200, 200, 200, {0, 0, 500}},     // vertical mill
        {false, {0, 0, 435}, {0, 0, 1}, 0, 200, 200, 200, {0, 0, 500}},     // horizontal mill
        {true, {150, 0, 400}, {1, 0, 0}, 1, 200, 100, 100, {150, 0, 400}},  // lathe
        {true, {150, 0, 400}, {1, 0, 0}, 1, 200, 100, 100, {150, 0, 400}},  // vertical lathe
        {false, {0, 0, 0}, {0, 0, 0}, 0, 200, 200, 50, {0, 0, 0}},          // wire EDM
    };
    int i = static_cast<int>(k);
    if (i < 0 || i > 4) i = 0;
    return table[i];
}

}  // namespace

void applyMachineKindDefaults(AppState& s, MachineKind kind, bool radiusProgramming) {
    if (!isValidMachineKind(static_cast<int>(kind))) kind = MachineKind::VerticalMill;
    applyKindViewDefaults(s.view, kind);  // angles, origin, view distance, scales, mouse-move lock
    applyMachineStockDefaults(s.stock, kind);
    s.pos.setToolPosition(defaultsOf(kind).toolPos);
    applyMachineFamilyDefaults(s, kind, radiusProgramming);
}

void applyMachineFamilyDefaults(AppState& s, MachineKind kind, bool radiusProgramming) {
    if (!isValidMachineKind(static_cast<int>(kind))) kind = MachineKind::VerticalMill;
    const KindDefaults& d = defaultsOf(kind);
    s.view.moveLock = defaultMoveLock(kind);
    s.machine.diameterDivisor = d.turning ? (radiusProgramming ? 1 : 2) : 1;
    s.pos.axis = d.axis;
    s.arc.plane = d.arcPlane;
    s.grid.axisX = d.axisX;
    s.grid.axisY = d.axisY;
    s.grid.axisZ = d.axisZ;
    s.pos.reference = d.reference;
}

const char* machineMenuCaption(MachineKind kind) {
    switch (kind) {
        case MachineKind::VerticalMill:
            return "機械（立ち型）";
        case MachineKind::HorizontalMill:
            return "機械（横型）";
        case MachineKind::Lathe:
            return "機械（旋盤）";
        case MachineKind::VerticalLathe:
            return "機械（立ち旋盤）";
        case MachineKind::WireEdm:
            return "機械（ワイヤ）";
    }
    return "機械（立ち型）";
}

const char* machineMenuItem(MachineKind kind) {
    static const char* names[5] = {"menu_kikai0", "menu_kikai1", "menu_kikai2", "menu_kikai3", "menu_kikai4"};
    int i = static_cast<int>(kind);
    return names[(i >= 0 && i < 5) ? i : 0];
}

const char* machineButton(MachineKind kind) {
    static const char* names[5] = {"sb_kikai0", "sb_kikai3", "sb_kikai1", "sb_kikai4", "sb_kikai2"};
    int i = static_cast<int>(kind);
    return names[(i >= 0 && i < 5) ? i : 0];
}

const std::vector<std::string>& latheToolShapeNames() {
    static const std::vector<std::string> k = {"外右", "外左",     "外溝右",   "外溝左",   "内右",
                                               "内左", "内溝右",   "内溝左",   "外ドリル", "端ドリル",
                                               "丸",   "外ねじ右", "外ねじ左", "内ねじ右", "内ねじ左"};
    return k;
}

void applyFamilyControls(ControlSet& cs, MachineKind kind) {
    const MachineFamily fam = familyOf(kind);
    const bool milling = fam == MachineFamily::Milling;
    const bool turning = fam == MachineFamily::Turning;
    const bool wire = fam == MachineFamily::Wire;

    for (auto n : {"sb_playfast", "sb_playstep", "sb_zai_mas_reset", "sb_zai_repaint", "menu_playstep"})
        cs.setEnabled(n, true);
    for (auto n : {"N35", "N36", "menu_zai_hanten", "menu_playfast"}) cs.setEnabled(n, !turning);
    cs.setChecked("menu_okupitch", !turning);
    cs.setEnabled("ComboBox1", !wire);
    cs.setEnabled("ComboBox2", turning);
    if (turning) {
        cs.setItems("ComboBox2", latheToolShapeNames());
        cs.setItemIndex("ComboBox2", 0);
    }
    for (auto n :
         {"labeltn", "label_t_haba0", "label_t_point0", "label_t_naga", "label_t_haba", "label_t_point"})
        cs.setEnabled(n, !wire);
    for (auto n : {"Label43", "labeltt", "labelts", "labeltk", "label_t_noser", "label_t_teimenkaku",
                   "label_t_sokumenkaku", "label_t_kei"})
        cs.setEnabled(n, true);
    if (turning) {
        cs.setCaption("Label32", "外径");
        cs.setCaption("Label33", "内径");
        cs.setCaption("Label36", "長さ");
        cs.setCaption("Label38", "端面突出");
    } else {
        cs.setCaption("Label32", "Ｘ（長さ）");
        cs.setCaption("Label33", "Ｙ");
        cs.setCaption("Label36", "Ｚ");
        cs.setCaption("Label38", "Ｘ（位置）");
    }
    for (auto n : {"Label39", "Label40", "label_zai_y_off", "label_zai_z_off"}) cs.setVisible(n, !turning);
    cs.setVisible("Label44", true);
    cs.setVisible("label_zai_pitch", true);
    for (auto n : {"button_t_new", "button_t_del", "menu_t_new", "menu_t_del", "menu_t_change"})
        cs.setEnabled(n, !wire);
    cs.setEnabled("menu_repaint", milling);
}

}  // namespace vantrel
