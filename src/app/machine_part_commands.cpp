#include "app/machine_part_commands.h"

#include <string>

namespace vantrel {

namespace {

const char* const kPartBoxes[] = {"checkbox_hon",   "checkbox_bise",      "checkbox_spindle",
                                  "checkbox_chack", "checkbox_hamonodai", "checkbox_touka",
                                  "checkbox_hanyou"};

std::string chuckMenuItem(int inches) {
    return "menu_chack" + std::to_string(inches);
}

}  // namespace

bool selectChuckInches(ControlSet& cs, AppState& s, int inches) {
    int index = -1;
    for (size_t i = 0; i < kChuckInches.size(); ++i)
        if (kChuckInches[i] == inches) index = static_cast<int>(i);
    if (index < 0) return false;
    for (int n : kChuckInches) cs.setChecked(chuckMenuItem(n), n == inches);
    cs.setItemIndex("combo_chack", index);
    s.machine.chuckSizeIndex = index;
    s.machine.chuckDiameter = static_cast<float>(inches * 25.4);
    return true;
}

void bindMachinePartCommands(ControlSet& cs, AppState& s, std::function<void()> repaint) {
    // Any of the part boxes takes all of them, and the spindle box also decides whether the spindle
    // (and the lathe turret) is drawn now.
    auto parts = [&cs, &s, repaint](const Control&) {
        MachineOptions& o = s.machine;
        o.showBody = cs.checked("checkbox_hon");
        o.showVice = cs.checked("checkbox_bise");
        o.showSpindle = cs.checked("checkbox_spindle");
        o.showChuck = cs.checked("checkbox_chack");
        o.showTurret = cs.checked("checkbox_hamonodai");
        o.seeThrough = cs.checked("checkbox_touka");
        o.generalPurposeLathe = cs.checked("checkbox_hanyou");
        o.spindleShown = cs.checked("checkbox_spindle");
        if (repaint) repaint();
    };
    for (const char* n : kPartBoxes) cs.bind(n, parts);

    cs.bind("combo_chack", [&cs, &s, repaint](const Control& c) {
        const int i = c.itemIndex;
        if (i < 0 || i >= static_cast<int>(kChuckInches.size())) return;
        selectChuckInches(cs, s, kChuckInches[static_cast<size_t>(i)]);
        if (repaint) repaint();
    });
    for (int inches : kChuckInches) {
        cs.bind(chuckMenuItem(inches), [&cs, &s, repaint](const Control& c) {
            if (selectChuckInches(cs, s, c.tag) && repaint) repaint();
        });
    }
    cs.bind("ScrollBar1", [&s, repaint](const Control& c) {
        s.machine.tailstockPosition = c.position;
        if (repaint) repaint();
    });
}

}  // namespace vantrel
