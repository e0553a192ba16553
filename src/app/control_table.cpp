#include <cstdlib>
#include <sstream>
#include <string>

#include "app/main_window_controls.h"

namespace vantrel {

namespace {

ControlKind kindOf(const std::string& k) {
    if (k == "MENU") return ControlKind::Menu;
    if (k == "ITEM") return ControlKind::MenuItem;
    if (k == "SEP") return ControlKind::MenuSeparator;
    if (k == "SB") return ControlKind::SpeedButton;
    if (k == "BTN") return ControlKind::Button;
    if (k == "CHK") return ControlKind::CheckBox;
    if (k == "COMBO") return ControlKind::ComboBox;
    if (k == "LABEL") return ControlKind::Label;
    if (k == "PANEL") return ControlKind::Panel;
    if (k == "PAGES") return ControlKind::PageControl;
    if (k == "TAB") return ControlKind::TabSheet;
    if (k == "TRACK") return ControlKind::TrackBar;
    if (k == "SCROLL") return ControlKind::ScrollBar;
    if (k == "PROGRESS") return ControlKind::ProgressBar;
    if (k == "PAINT") return ControlKind::PaintBox;
    return ControlKind::Other;
}

std::vector<std::string> split(const std::string& line, char sep) {
    std::vector<std::string> out;
    std::string cur;
    for (char ch : line) {
        if (ch == sep) {
            out.push_back(cur);
            cur.clear();
        } else {
            cur += ch;
        }
    }
    out.push_back(cur);
    return out;
}

}  // namespace

void addControlTable(ControlSet& cs, const char* table) {
    std::istringstream in(table);
    std::string line;
    int separators = 0;
    while (std::getline(in, line)) {
        size_t first = line.find_first_not_of(" \t");
        if (first == std::string::npos || line[first] == '#') continue;
        line = line.substr(first);
        auto f = split(line, '|');
        f.resize(7);
        Control c;
        c.kind = kindOf(f[0]);
        c.name = f[1];
        if (c.kind == ControlKind::MenuSeparator && c.name.empty())
            c.name = "-sep" + std::to_string(++separators);
        c.parent = f[2];
        c.caption = f[3];
        c.hint = f[4];
        c.tag = f[5].empty() ? 0 : std::atoi(f[5].c_str());
        const std::string& flags = f[6];
        for (size_t i = 0; i < flags.size(); ++i) {
            switch (flags[i]) {
                case 'c':
                    c.checked = true;
                    break;
                case 'd':
                    c.enabled = false;
                    break;
                case 'h':
                    c.visible = false;
                    break;
                case 'a':
                    c.allowAllUp = true;
                    break;
                case 't':
                    c.toggles = true;
                    break;
                case 'k':
                    c.autoCheck = true;
                    break;
                case 'g': {
                    c.group = std::atoi(flags.c_str() + i + 1);
                    while (i + 1 < flags.size() && flags[i + 1] >= '0' && flags[i + 1] <= '9') ++i;
                    break;
                }
                default:
                    break;
            }
        }
        cs.add(c);
    }
}

}  // namespace vantrel
