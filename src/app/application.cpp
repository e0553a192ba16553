#include "app/application.h"
#include "app/play_checks.h"

#include <algorithm>

#include "core/number_format.h"

#include "app/dnc_panel.h"
#include "app/help_file.h"
#include "app/machine_defaults.h"
#include "app/machine_part_commands.h"
#include "app/main_window_controls.h"
#include "app/modal_labels.h"
#include "app/option_commands.h"
#include "app/picture_commands.h"
#include "app/settings_store.h"
#include "app/value_edit.h"
#include "app/window_commands.h"
#include "stock/stock_commands.h"
#include "stock/stock_spec.h"
#include "tools/tool_commands.h"
#include "tools/tool_table.h"

namespace vantrel {

Application::Application(AppState& state, ControlSet& controls, UiServices& ui, MainThread& mainThread)
    : s_(state), cs_(controls), ui_(ui), mt_(mainThread) {}

namespace {
// Registers a subsystem's controls and puts those that came without a container into `parent`.
template <typename Fn>
void addInto(ControlSet& cs, const std::string& parent, Fn add) {
    const std::vector<std::string> before = cs.names();
    add(cs);
    const std::vector<std::string> after = cs.names();
    for (size_t i = before.size(); i < after.size(); ++i)
        if (cs.get(after[i]).parent.empty()) cs.setParent(after[i], parent);
}
}  // namespace

void Application::createControls() {
    addMainWindowControls(cs_);
    addInto(cs_, "Panel3", addModalStatusControls);
    addInto(cs_, "Panel9", addValueLabelControls);
    addInto(cs_, "TabSheet5", addToolControls);
    addInto(cs_, "TabSheet6", addStockControls);
    addDncPanelControls(cs_);
    addPictureControls(cs_);
    addCheckControls(cs_);
    // The grid and axis values sit in their floating panels.
    for (const char* n : {"label_gridk", "label_gridx", "label_gridy", "label_gridz", "label_grid_chux",
                          "label_grid_chuy", "label_grid_chuz"})
        cs_.setParent(n, "panel_grid");
    for (const char* n : {"label_axisx", "label_axisy", "label_axisz"}) cs_.setParent(n, "panel_axis");
    for (const auto& sw : displaySwitchControls()) {
        std::string field = sw.field;
        auto toggle = [this, field](const Control&) { toggleDisplaySwitch(field); };
        cs_.bind(sw.menuItem, toggle);
        cs_.bind(sw.button, toggle);
    }
    // The path display: continuous (button and menu item in step) or once onto the visible view.
    auto showPath = [this](bool on) {
        s_.path.on = on;
        cs_.setChecked("sb_line", on);
        cs_.setChecked("N16", on);
        requestRepaint();
    };
    cs_.bind("sb_line", [showPath](const Control& c) { showPath(c.checked); });
    cs_.bind("N16", [this, showPath](const Control&) { showPath(!s_.path.on); });
    auto pathOnce = [this](const Control&) {
        if (hooks.drawPathOnce) hooks.drawPathOnce();
    };
    cs_.bind("sb_lineonly", pathOnce);
    cs_.bind("N58", pathOnce);
    cs_.bind("menu_g0", [this](const Control&) {
        cs_.setChecked("menu_g0", !cs_.checked("menu_g0"));
        if (s_.path.on) requestRepaint();
    });
    cs_.bind("menu_help", [this](const Control&) { help(); });
    bindMachineOptionCommands(cs_, s_, [this] { requestRepaint(); });
    bindColourCommands(cs_, s_, ui_, [this] { requestRepaint(); });
    bindAutoSaveCommand(cs_, s_);
    for (int k = 0; k <= 4; ++k) {
        auto select = [this](const Control& sender) {
            if (isValidMachineKind(sender.tag)) selectMachine(static_cast<MachineKind>(sender.tag));
        };
        cs_.bind(machineMenuItem(static_cast<MachineKind>(k)), select);
        cs_.bind(machineButton(static_cast<MachineKind>(k)), select);
    }
    auto end = [this](const Control&) {
        if (hooks.requestClose) {
            hooks.requestClose();
        } else if (closeQuery()) {
            close();
        }
    };
    cs_.bind("sb_end", end);
    cs_.bind("Exit1", end);
    bindMachinePartCommands(cs_, s_, [this] { requestRepaint(); });
    bindWindowCommands(*this);
    // Step play draws at every n-th end of a move; the slider picks n.
    cs_.bind("TrackBar3", [this](const Control& c) { s_.play.speedStep = stepPlayInterval(c.position); });
}

CommandHooks Application::commandHooks() {
    CommandHooks h;
    h.refreshLabels = [this] { refreshLabels(); };
    h.repaint = [this] { requestRepaint(); };
    h.setWindowCaption = [this](const std::string& text) { cs_.setCaption("mcform", text); };
    h.holderChanged = [this] {
        if (hooks.holderChanged) hooks.holderChanged();
    };
    h.showStockGrid = [this] {
        if (hooks.showStockGrid) hooks.showStockGrid();
    };
    return h;
}

void Application::bindSubsystemCommands(const TQuonStrings* program) {
    commandHooks_ = commandHooks();
    bindValueEditCommands(cs_, s_, s_.stockGrid, ui_, commandHooks_, [program] { return program; });
}

void Application::selectMachine(MachineKind kind) {
    if (kind == s_.machineKind) return;  // the same kind again changes nothing
    for (int k = 0; k <= 4; ++k) cs_.setChecked(machineMenuItem(static_cast<MachineKind>(k)), false);
    for (const char* n : {"sb_mouse_xy", "sb_mouse_xz", "sb_mouse_yz"}) cs_.setChecked(n, false);
    s_.view.kyori = 1000.0f;
    cs_.setChecked(machineMenuItem(kind), true);
    cs_.setChecked(machineButton(kind), true);
    s_.machineKind = kind;
    s_.machineKindShared = static_cast<int32_t>(kind);
    cs_.setCaption("menu_kikai", machineMenuCaption(kind));
    applyMachineKindDefaults(s_, kind, cs_.checked("menu_kikai_hankei"));
    // Tool list "-" and the entries 1 .. n-1, entry 0 loaded; its axis becomes the tool axis.
    applyToolFamily(cs_, s_.tools, kind);
    if (!isWire(kind)) {
        if (hooks.holderChanged) hooks.holderChanged();
        std::lock_guard lk(s_.stockMutex);
        initialiseStockGrid(s_.stockGrid, s_.stock, kind);
    }
    const ToolRecord& w = s_.tools.workingTool;
    s_.pos.axis = Vec3(w.axisX, w.axisY, w.axisZ);
    if (isTurning(kind)) cs_.setChecked("sb_mouse_xz", true);
    if (isWire(kind)) cs_.setChecked("sb_mouse_xy", true);
    applyFamilyControls(cs_, kind);
    if (cs_.checked("menu_paneloff")) {
        s_.view.originX += s_.window.panelLeft;
        s_.view.originY += s_.window.panelTop;
    }
    updateDerivedToolValues(s_.tools);
    s_.pos.a = s_.tools.toolTiltAngle;
    s_.pos.b = s_.tools.toolTurnAngle;
    refreshLabels();
    requestRepaint();
}

void Application::refreshLabels() {
    refreshValueLabels(s_, cs_, [this] {
        if (hooks.positionReadout)
            hooks.positionReadout();
        else
            showPositionLabels(s_, cs_);
    });
}

void showPositionLabels(const AppState& s, ControlSet& cs) {
    const Vec3 p = s.pos.toolPosition();
    const double divisor = s.machine.diameterDivisor;
    constexpr double kDeg = 180.0 / kPi;
    cs.setCaption("label_x", FormatFloat("###0.00000000", p.x * divisor));
    cs.setCaption("label_y", FormatFloat("###0.00000000", p.y));
    cs.setCaption("label_z", FormatFloat("###0.00000000", p.z));
    cs.setCaption("label_a", FormatFloat("0.00000", s.pos.a * kDeg));
    cs.setCaption("label_b", FormatFloat("0.00000", s.pos.b * kDeg));
    cs.setCaption("label_c", FormatFloat("0.00000", s.pos.c * kDeg));
    cs.setCaption("label_vx", FormatFloat("0.00000", s.pos.axis.x));
    cs.setCaption("label_vy", FormatFloat("0.00000", s.pos.axis.y));
    cs.setCaption("label_vz", FormatFloat("0.00000", s.pos.axis.z));
}

void Application::startUp() {
    s_.window.ready = 0;
    // The combo boxes start on the selections the window is created with (the stored settings may
    // change them below).
    cs_.setItemIndex("ComboBox1", 0);
    cs_.setItemIndex("ComboBox2", 0);
    cs_.setItemIndex("ComboBox3", 1);
    cs_.setItemIndex("combo_holder", 2);
    cs_.setItemIndex("combo_tformat", 0);
    cs_.setItemIndex("combo_chack", 3);
    cs_.setItemIndex("combo_baudrate", 6);
    cs_.setItemIndex("combo_parity", 0);
    cs_.setItemIndex("combo_stopbit", 0);
    cs_.setItemIndex("combo_bytesize", 4);
    cs_.setItemIndex("combo_port", 0);
    cs_.setItemIndex("combo_flow", 2);
    cs_.setItemIndex("combo_code", 1);
    s_.machine.chuckDiameter = static_cast<float>(kChuckInches[3] * 25.4);
    // The window opens on the first page of the tabs.
    cs_.setItemIndex("PageControl1", 0);
    // The tool lists hold their start-up tools before the stored settings may replace them.
    if (hooks.resetToolLists) hooks.resetToolLists();
    // The stored settings; nothing is repainted while they are read, since half-read values would show.
    s_.window.settingsReady = false;
    if (hooks.loadSettings) hooks.loadSettings();
    s_.window.settingsReady = true;
    // The light bar shows the (possibly loaded) light power.
    cs_.setPosition("ScrollBar2", s_.view.laypower);
    // The scene's images, sized for the loaded settings.
    if (hooks.prepareImages) hooks.prepareImages();
    // From here on a resize or a command may repaint.
    s_.window.ready = 1;
    // The stored background picture, once the images exist to take it.
    if (s_.picture.pictureMode != 0 && hooks.loadPicture) hooks.loadPicture();
    // Last, the settings reach the controls, so that every caption and check mark shows the loaded state.
    if (hooks.applySettings) hooks.applySettings();
    refreshLabels();
}

bool Application::closeQuery() {
    if (s_.dnc.connected) {
        ui_.message(kMsgConnected);
        return false;
    }
    if (!ui_.askYesNo(kMsgConfirmExit)) return false;
    // Closing drops the program text: an edited one is saved or given up first, or the close is off.
    return !hooks.confirmDiscardProgram || hooks.confirmDiscardProgram();
}

void Application::close() {
    s_.picture.effectKind = 255;
    if (hooks.resetDncReceive) hooks.resetDncReceive();
    s_.dnc.receiveState = 0;
    s_.window.ready = 0;
    // Workers may be blocked in a synchronous call to this very thread: keep serving those calls
    // until every worker has seen the stop request and ended, so no state is freed under them.
    for (auto* w : workers_) w->requestStop();
    for (;;) {
        bool any =
            std::any_of(workers_.begin(), workers_.end(), [](BackgroundWork* w) { return w->running(); });
        if (!any) break;
        mt_.processPending(10);
    }
    for (auto* w : workers_) w->join();
    if (hooks.saveSettings) hooks.saveSettings();
}

void Application::processEnd() {
    if (hooks.releaseResources) hooks.releaseResources();
}

void Application::registerWorker(BackgroundWork* w) {
    if (w && std::find(workers_.begin(), workers_.end(), w) == workers_.end()) workers_.push_back(w);
}

void Application::unregisterWorker(BackgroundWork* w) {
    workers_.erase(std::remove(workers_.begin(), workers_.end(), w), workers_.end());
}

bool Application::displaySwitch(const std::string& f) const {
    const DisplaySwitches& d = s_.display;
    if (f == "tool_on") return d.tool_on;
    if (f == "holder_on") return d.holder_on;
    if (f == "zai_type") return s_.stock.visible != 0;
    if (f == "kikai_on") return d.kikai_on;
    if (f == "cad_on") return d.cad_on;
    if (f == "grid_on") return d.grid_on;
    if (f == "axis_on") return d.axis_on;
    if (f == "kouwyer_on") return d.kouwyer_on;
    if (f == "zaiwyer_on") return d.zaiwyer_on;
    if (f == "kikaiwyer_on") return d.kikaiwyer_on;
    if (f == "cadwyer_on") return d.cadwyer_on;
    return false;
}

void Application::setDisplaySwitch(const std::string& f, bool on) {
    DisplaySwitches& d = s_.display;
    if (f == "tool_on")
        d.tool_on = on;
    else if (f == "holder_on")
        d.holder_on = on;
    else if (f == "zai_type")
        s_.stock.visible = on ? 1 : 0;
    else if (f == "kikai_on")
        d.kikai_on = on;
    else if (f == "cad_on")
        d.cad_on = on;
    else if (f == "grid_on")
        d.grid_on = on;
    else if (f == "axis_on")
        d.axis_on = on;
    else if (f == "kouwyer_on")
        d.kouwyer_on = on;
    else if (f == "zaiwyer_on")
        d.zaiwyer_on = on;
    else if (f == "kikaiwyer_on")
        d.kikaiwyer_on = on;
    else if (f == "cadwyer_on")
        d.cadwyer_on = on;
}

void Application::toggleDisplaySwitch(const std::string& field) {
    for (const auto& sw : displaySwitchControls()) {
        if (field != sw.field) continue;
        // The menu item's check mark is the truth the toggle inverts, whichever control was used.
        bool on = !cs_.checked(sw.menuItem);
        setDisplaySwitch(field, on);
        cs_.setChecked(sw.menuItem, on);
        cs_.setChecked(sw.button, on);
        requestRepaint();
        return;
    }
}

void Application::requestRepaint() {
    if (!s_.window.settingsReady) return;
    ++repaints_;
    if (hooks.repaint) hooks.repaint();
}

void Application::help() {
    const auto page = findHelpFile(helpSearchFolders());
    if (!page) {
        ui_.message(kMsgHelpMissing);
        return;
    }
    ui_.openDocument(*page);
}

}  // namespace vantrel
