#include "app/option_commands.h"

#include <memory>
#include <optional>
#include <string>

namespace vantrel {

namespace {

// A menu item that inverts its own mark and hands the new state to its check box. When the box
// already shows that state (the pair was out of step) its command would not run, so the menu item
// runs it itself: either way the command acts exactly once.
void bindMenuTwin(ControlSet& cs, const char* menu, const char* box) {
    cs.bind(menu, [&cs, menu, box](const Control&) {
        const bool on = !cs.checked(menu);
        cs.setChecked(menu, on);
        if (cs.checked(box) != on)
            cs.setCheckBox(box, on);
        else
            cs.runCommand(box);
    });
}

}  // namespace

void bindMachineOptionCommands(ControlSet& cs, AppState& s, std::function<void()> repaint) {
    auto rp = std::make_shared<std::function<void()>>(std::move(repaint));
    auto doRepaint = [rp] {
        if (*rp) (*rp)();
    };

    cs.bind("checkbox_atc", [&cs, &s](const Control& c) {
        s.machine.atcAnimation = c.checked;
        cs.setChecked("menu_atc", c.checked);
    });
    bindMenuTwin(cs, "menu_atc", "checkbox_atc");

    cs.bind("checkbox_hankei", [&cs, &s, doRepaint](const Control& c) {
        cs.setChecked("menu_kikai_hankei", c.checked);
        s.machine.radiusProgramming = c.checked;
        if (isTurning(s.machineKind)) {
            s.machine.diameterDivisor = c.checked ? 1 : 2;
            doRepaint();
        }
    });
    bindMenuTwin(cs, "menu_kikai_hankei", "checkbox_hankei");

    cs.bind("checkbox_gyaku", [&cs, &s](const Control& c) {
        cs.setChecked("menu_kikai_xm", c.checked);
        s.machine.diameterDivisor = static_cast<int8_t>(-s.machine.diameterDivisor);
    });
    bindMenuTwin(cs, "menu_kikai_xm", "checkbox_gyaku");

    // The machine parts and the general-purpose lathe: each click copies the spindle box into the
    // spindle-shown flag and repaints.
    struct Part {
        const char* box;
        Shared<bool> MachineOptions::*field;
    };
    static const Part kParts[] = {
        {"checkbox_hon", &MachineOptions::showBody},         {"checkbox_bise", &MachineOptions::showVice},
        {"checkbox_spindle", &MachineOptions::showSpindle},  {"checkbox_chack", &MachineOptions::showChuck},
        {"checkbox_hamonodai", &MachineOptions::showTurret}, {"checkbox_touka", &MachineOptions::seeThrough},
    };
    for (const Part& p : kParts) {
        auto field = p.field;
        cs.bind(p.box, [&cs, &s, field, doRepaint](const Control& c) {
            s.machine.*field = c.checked;
            s.machine.spindleShown = cs.checked("checkbox_spindle");
            doRepaint();
        });
    }
    cs.bind("checkbox_hanyou", [&cs, &s, doRepaint](const Control& c) {
        s.machine.generalPurposeLathe = c.checked;
        s.machine.spindleShown = cs.checked("checkbox_spindle");
        doRepaint();
    });
}

void bindColourCommands(ControlSet& cs, AppState& s, UiServices& ui, std::function<void()> repaint) {
    auto command = [&cs, &s, &ui, repaint](const Control& c) {
        const int slot = c.tag == 1   ? ColourPalette::kTool
                         : c.tag == 2 ? ColourPalette::kZai
                                      : ColourPalette::kBack;
        const std::optional<uint32_t> chosen = ui.chooseColour(s.colours[slot]);
        if (!chosen) return;
        s.colours[slot] = *chosen & 0xFFFFFF;
        if (slot == ColourPalette::kBack) cs.setColor("panel_clback", s.colours[slot]);
        if (slot == ColourPalette::kZai) cs.setColor("panel_clzai", s.colours[slot]);
        if (repaint) repaint();
    };
    for (const char* name : {"panel_clback", "panel_clzai", "N71"}) cs.bind(name, command);
}

}  // namespace vantrel
