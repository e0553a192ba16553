#include "app/modal_labels.h"

#include "core/control_set.h"
#include "core/number_format.h"
#include "core/rounding.h"
#include "nc/modal_state.h"
#include "nc/turning.h"

namespace vantrel {

namespace {

struct LabelDef {
    const char* name;
    const char* caption;
};

// Code labels: enabled while their code is in force.
const LabelDef kCodeLabels[] = {
    {"label_g00", "G00"},    {"label_g01", "G01"}, {"label_g02", "G02"}, {"label_g03", "G03"},
    {"label_g062", "G06.2"}, {"label_g17", "G17"}, {"label_g18", "G18"}, {"label_g19", "G19"},
    {"label_g40", "G40"},    {"label_g41", "G41"}, {"label_g42", "G42"}, {"label_g43", "G43"},
    {"label_g44", "G44"},    {"label_g49", "G49"}, {"label_g90", "G90"}, {"label_g91", "G91"},
    {"label_g94", "G94"},    {"label_g95", "G95"}, {"label_g96", "G96"}, {"label_g97", "G97"},
    {"label_g98", "G98"},    {"label_g99", "G99"}, {"label_m03", "M03"}, {"label_m04", "M04"},
    {"label_m05", "M05"},    {"label_m08", "M08"}, {"label_m09", "M09"},
};

// Value labels and their titles.
const LabelDef kValueLabels[] = {
    {"label_tt0", "T"},     {"label_tt1", "T"},   {"label_t_t", "→"},  {"label_t0", "00"},
    {"label_t1", "00"},     {"label_s0", "S"},    {"label_s", "0"},    {"label_s1", "0"},
    {"label_f0", "F"},      {"label_f", "0"},     {"label_f1", "0"},   {"label_g40d0", "D"},
    {"label_g40d", "0"},    {"label_g49h0", "H"}, {"label_g49h", "0"}, {"label_n0", "N"},
    {"label_n", "0"},       {"label_l0", "L"},    {"label_l", "0"},    {"label_ctime0", "切削時間"},
    {"label_ctime", "0分"},
};

// Enabled at the start of a pass.
const char* const kEnabledAtPassStart[] = {
    "label_tt0",  "label_tt1",   "label_t_t",  "label_t0",  "label_t1",     "label_s0",
    "label_s",    "label_s1",    "label_f0",   "label_f",   "label_f1",     "label_g40d0",
    "label_g40d", "label_g49h0", "label_g49h", "label_g90", "label_g94",    "label_g97",
    "label_g40",  "label_g49",   "label_g17",  "label_g00", "label_m05",    "label_m09",
    "label_n0",   "label_n",     "label_l0",   "label_l",   "label_ctime0", "label_ctime",
};

const char* const kZeroAtPassStart[] = {"label_s",  "label_s1",   "label_f",
                                        "label_f1", "label_g40d", "label_g49h"};

}  // namespace

void addModalStatusControls(ControlSet& controls) {
    auto add = [&](const LabelDef& d) {
        Control c;
        c.name = d.name;
        c.kind = ControlKind::Label;
        c.parent = "Panel3";
        c.caption = d.caption;
        c.enabled = false;
        controls.add(c);
    };
    for (const auto& d : kCodeLabels) add(d);
    for (const auto& d : kValueLabels) add(d);
}

const std::vector<std::string>& modalCodeLabelNames() {
    static const std::vector<std::string> names = [] {
        std::vector<std::string> v;
        for (const auto& d : kCodeLabels) v.emplace_back(d.name);
        return v;
    }();
    return names;
}

const std::vector<std::string>& modalLabelNames() {
    static const std::vector<std::string> names = [] {
        std::vector<std::string> v = modalCodeLabelNames();
        for (const auto& d : kValueLabels) v.emplace_back(d.name);
        return v;
    }();
    return names;
}

void initModalLabelsForPass(ControlSet& controls, bool turning) {
    for (const auto& d : kCodeLabels) controls.setEnabled(d.name, false);
    for (const char* n : kEnabledAtPassStart) controls.setEnabled(n, true);
    for (const char* n : kZeroAtPassStart) controls.setCaption(n, "0");
    controls.setVisible("label_g94", !turning);
    controls.setVisible("label_g95", !turning);
    controls.setVisible("label_g98", turning);
    controls.setVisible("label_g99", turning);
}

void showTurningSpeedAndFeed(ControlSet& controls, const ModalState& m, double x) {
    const double feed = m.feedPerRev;  // the one feed value of the lathe
    const double speed = turningSpindleSpeed(m.speedMode, static_cast<double>(m.spindleSpeed.load()), x);
    controls.setCaption("label_s", std::to_string(saturatingToInt32(speed)));
    if (m.feedMode != 0)
        controls.setCaption("label_f1", FormatFloat("##0.###", turningFeedPerMinute(feed, speed)));
    else
        controls.setCaption("label_f", FormatFloat("##0.###", turningFeedPerRev(feed, speed)));
}

void disableModalLabels(ControlSet& controls) {
    for (const auto& n : modalLabelNames()) controls.setEnabled(n, false);
}

namespace {

const char* labelOf(ModalCode code) {
    static const char* const names[] = {
        "label_g00", "label_g01", "label_g02", "label_g03", "label_g062", "label_g17", "label_g18",
        "label_g19", "label_g40", "label_g41", "label_g42", "label_g43",  "label_g44", "label_g49",
        "label_g90", "label_g91", "label_g94", "label_g95", "label_g96",  "label_g97", "label_m03",
        "label_m04", "label_m05", "label_m08", "label_m09", "label_g98",  "label_g99",
    };
    static_assert(sizeof names / sizeof names[0] == static_cast<size_t>(ModalCode::G99) + 1);
    return names[static_cast<size_t>(code)];
}

const char* labelOf(ModalValue which) {
    switch (which) {
        case ModalValue::FeedPerRev:
            return "label_f";
        case ModalValue::FeedPerMinute:
            return "label_f1";
        case ModalValue::SpeedG96:
            return "label_s";
        case ModalValue::SpeedG97:
            return "label_s1";
        case ModalValue::D:
            return "label_g40d";
        case ModalValue::H:
            return "label_g49h";
        case ModalValue::N:
            return "label_n";
        case ModalValue::NextTool:
            return "label_t1";
        case ModalValue::LoadedTool:
            return "label_t0";
    }
    return "label_n";
}

}  // namespace

void ModalLabels::inForce(ModalCode code, bool on) {
    cs_.setEnabled(labelOf(code), on);
}

void ModalLabels::value(ModalValue which, const std::string& text) {
    cs_.setCaption(labelOf(which), text);
}

void ModalLabels::toolChanged() {
    // The tool in the spindle is the one the last T word selected.
    cs_.setCaption("label_t0", cs_.caption("label_t1"));
}

ModalSwitches modalSwitchesFrom(const ControlSet& controls) {
    ModalSwitches s;
    s.ignoreT = controls.checked("menu_play_ton");
    s.warnings = controls.checked("menu_error");
    s.stepFromPitch = controls.checked("menu_okupitch");
    return s;
}

}  // namespace vantrel
