#include "app/value_edit.h"

#include <algorithm>
#include <cmath>
#include <numbers>
#include <optional>
#include <string>

#include "core/number_format.h"
#include "nc/block_scanner.h"
#include "program/quon_strings.h"
#include "stock/stock_commands.h"
#include "stock/stock_fit.h"
#include "tools/tool_commands.h"

namespace vantrel {

namespace {

constexpr double kDegToRad = std::numbers::pi / 180.0;
constexpr const char* kGridFormat = "####0.##";
constexpr const char* kFineFormat = "##0.#####";

double divisorOf(const AppState& app) {
    const int d = app.machine.diameterDivisor;
    return d == 0 ? 1.0 : static_cast<double>(d);
}

void finish(AppState& app, ControlSet& cs, const CommandHooks& hooks) {
    refreshValueLabels(app, cs);
    hooks.refresh();
    hooks.requestRepaint();
}

float* gridField(GridAxes& g, int tag) {
    switch (tag) {
        case kGridTagInterval:
            return &g.interval;
        case kGridTagSizeX:
            return &g.gridX;
        case kGridTagSizeY:
            return &g.gridY;
        case kGridTagSizeZ:
            return &g.gridZ;
        case kGridTagCentreX:
            return &g.centreX;
        case kGridTagCentreY:
            return &g.centreY;
        case kGridTagCentreZ:
            return &g.centreZ;
        case kAxisTagX:
            return &g.axisX;
        case kAxisTagY:
            return &g.axisY;
        case kAxisTagZ:
            return &g.axisZ;
        default:
            return nullptr;
    }
}

class QuonProgramLines : public ProgramLines {
  public:
    explicit QuonProgramLines(const TQuonStrings& q) : q_(q) {}
    int lineCount() const override { return q_.count(); }
    std::string_view line(int index) const override { return q_.lineText(index); }

  private:
    const TQuonStrings& q_;
};

WordValue scannerReader(std::string_view text, size_t pos) {
    const ParsedNumber n = ParseWordValue(text, pos);
    WordValue w;
    w.value = n.value;
    w.consumed = n.consumed > 0 ? static_cast<size_t>(n.consumed) : 0;
    w.hadDecimal = n.hadDecimal;
    w.hadDigits = n.hadDigits;
    return w;
}

}  // namespace

void addValueLabelControls(ControlSet& cs) {
    for (auto [name, tag] : {std::pair{"label_x", kPosTagX},
                             {"label_y", kPosTagY},
                             {"label_z", kPosTagZ},
                             {"label_a", kPosTagA},
                             {"label_b", kPosTagB},
                             {"label_c", kPosTagC}})
        cs.add(labelControl(name, "", tag));
    GridAxes g;
    cs.add(labelControl("label_gridk", FormatFloat(kFineFormat, g.interval), kGridTagInterval));
    cs.add(labelControl("label_gridx", FormatFloat(kGridFormat, g.gridX), kGridTagSizeX));
    cs.add(labelControl("label_gridy", FormatFloat(kGridFormat, g.gridY), kGridTagSizeY));
    cs.add(labelControl("label_gridz", FormatFloat(kGridFormat, g.gridZ), kGridTagSizeZ));
    cs.add(labelControl("label_grid_chux", FormatFloat(kGridFormat, g.centreX), kGridTagCentreX));
    cs.add(labelControl("label_grid_chuy", FormatFloat(kGridFormat, g.centreY), kGridTagCentreY));
    cs.add(labelControl("label_grid_chuz", FormatFloat(kGridFormat, g.centreZ), kGridTagCentreZ));
    cs.add(labelControl("label_axisx", FormatFloat(kGridFormat, g.axisX), kAxisTagX));
    cs.add(labelControl("label_axisy", FormatFloat(kGridFormat, g.axisY), kAxisTagY));
    cs.add(labelControl("label_axisz", FormatFloat(kGridFormat, g.axisZ), kAxisTagZ));
}

void editPositionCommand(AppState& app, ControlSet& cs, int tag, UiServices& ui, const CommandHooks& hooks) {
    const Vec3 p = app.pos.toolPosition();
    double present = 0;
    switch (tag) {
        case kPosTagX:
            present = p.x * divisorOf(app);
            break;
        case kPosTagY:
            present = p.y;
            break;
        case kPosTagZ:
            present = p.z;
            break;
        case kPosTagA:
            present = app.tools.toolTiltAngle / kDegToRad;
            break;
        case kPosTagB:
            present = app.tools.toolTurnAngle / kDegToRad;
            break;
        case kPosTagC:
            present = app.pos.c / kDegToRad;
            break;
        default:
            return;
    }
    const double v = ui.keypad(present).value_or(present);
    if (!(v > -10000 && v < 10000)) {
        ui.message("-10000から+10000まで");
        return;
    }
    Vec3 np = p;
    switch (tag) {
        case kPosTagX:
            np.x = v / divisorOf(app);
            app.arc.end.x = np.x;
            break;
        case kPosTagY:
            np.y = v;
            app.arc.end.y = v;
            break;
        case kPosTagZ:
            np.z = v;
            app.arc.end.z = v;
            break;
        case kPosTagA:
            app.tools.toolTiltAngle = v * kDegToRad;
            app.pos.a = app.tools.toolTiltAngle;
            break;
        case kPosTagB:
            app.tools.toolTurnAngle = v * kDegToRad;
            app.pos.b = app.tools.toolTurnAngle;
            break;
        case kPosTagC:
            app.pos.c = v * kDegToRad;
            break;
    }
    if (tag <= kPosTagZ) app.pos.setToolPosition(np);
    if (app.arc.radius != 0) computeArcCandidates(app.arc);
    finish(app, cs, hooks);
}

void editGridAxisCommand(AppState& app, ControlSet& cs, int tag, UiServices& ui, const CommandHooks& hooks) {
    float* field = gridField(app.grid, tag);
    if (!field) return;
    const double v = ui.keypad(*field).value_or(*field);
    if (tag == kGridTagInterval) {
        if (!(v > 0 && v <= 300)) {
            ui.message("0から300まで");
            return;
        }
    } else if (!(v >= 0 && v <= 10000)) {
        ui.message("0から10000まで");
        return;
    }
    *field = static_cast<float>(v);
    finish(app, cs, hooks);
}

void editToolOrMachineValueCommand(AppState& app, ControlSet& cs, int tag, UiServices& ui,
                                   const CommandHooks& hooks) {
    if (tag != kRefTagX && tag != kRefTagY && tag != kRefTagZ && tag != kRapidStepTag) {
        editToolValueCommand(cs, app.tools, app.machineKind, tag, ui, hooks);
        return;
    }
    double* field = tag == kRefTagX   ? &app.pos.reference.x
                    : tag == kRefTagY ? &app.pos.reference.y
                    : tag == kRefTagZ ? &app.pos.reference.z
                                      : &app.pos.rapidStep;
    const double v = ui.keypad(*field).value_or(*field);
    if (tag == kRapidStepTag) {
        if (!(v > 0 && v <= 50)) {
            ui.message("0から50");
            return;
        }
    } else if (!(v >= -1000 && v <= 1000)) {
        ui.message("-1000から1000まで");
        return;
    }
    *field = v;
    storeWorkingTool(app.tools, app.machineKind, app.tools.currentToolIndex);
    finish(app, cs, hooks);
}

void refreshValueLabels(AppState& app, ControlSet& cs, const std::function<void()>& positionReadout) {
    if (positionReadout) positionReadout();
    showStockLabels(cs, app.stock, app.machineKind);
    showToolLabels(cs, app.tools, app.machineKind);
    cs.setCaption("label_bairitu", FormatFloat("###0.#", app.view.scale));

    const Vec3& ref = app.pos.reference;
    cs.setCaption("menu_rfx", "X " + FormatFloat("##0.#####", ref.x));
    cs.setCaption("menu_rfy", "Y " + FormatFloat("##0.#####", ref.y));
    cs.setCaption("menu_rfz", "Z " + FormatFloat("##0.#####", ref.z));
    cs.setCaption("menu_ichigime", "位置決め速度 " + FormatFloat("##0.##", app.pos.rapidStep));

    const GridAxes& g = app.grid;
    cs.setCaption("menu_gridk", "間隔 " + FormatFloat(kFineFormat, g.interval));
    cs.setCaption("menu_grid_chux", "中心X " + FormatFloat(kGridFormat, g.centreX));
    cs.setCaption("menu_grid_chuy", " 　　Y " + FormatFloat(kGridFormat, g.centreY));
    cs.setCaption("menu_grid_chuz", " 　　Z " + FormatFloat(kGridFormat, g.centreZ));
    cs.setCaption("menu_gridx", "長さX " + FormatFloat(kGridFormat, g.gridX));
    cs.setCaption("menu_gridy", " 　　Y " + FormatFloat(kGridFormat, g.gridY));
    cs.setCaption("menu_gridz", " 　　Z " + FormatFloat(kGridFormat, g.gridZ));

    cs.setCaption("label_grid_chux", FormatFloat(kGridFormat, g.centreX));
    cs.setCaption("label_grid_chuy", FormatFloat(kGridFormat, g.centreY));
    cs.setCaption("label_grid_chuz", FormatFloat(kGridFormat, g.centreZ));
    cs.setCaption("label_gridx", FormatFloat(kGridFormat, g.gridX));
    cs.setCaption("label_gridy", FormatFloat(kGridFormat, g.gridY));
    cs.setCaption("label_gridz", FormatFloat(kGridFormat, g.gridZ));
    cs.setCaption("label_gridk", FormatFloat(kFineFormat, g.interval));

    cs.setCaption("menu_jkx", "軸長X " + FormatFloat(kGridFormat, g.axisX));
    cs.setCaption("menu_jky", "　　　Y " + FormatFloat(kGridFormat, g.axisY));
    cs.setCaption("menu_jkz", "　　　Z " + FormatFloat(kGridFormat, g.axisZ));
    cs.setCaption("label_axisx", FormatFloat(kGridFormat, g.axisX));
    cs.setCaption("label_axisy", FormatFloat(kGridFormat, g.axisY));
    cs.setCaption("label_axisz", FormatFloat(kGridFormat, g.axisZ));
}

void computeArcCandidates(const Vec3& s, const Vec3& e, double r, int plane, Vec3& c1, Vec3& c2) {
    // First axis a, second axis b and the normal n of the plane: XY (X, Y), ZX (Z, X), YZ (Y, Z).
    int a = 0, b = 1, n = 2;
    if (plane == 1) a = 2, b = 0, n = 1;
    if (plane == 2) a = 1, b = 2, n = 0;
    auto get = [](const Vec3& v, int i) { return i == 0 ? v.x : i == 1 ? v.y : v.z; };
    auto set = [](Vec3& v, int i, double x) { (i == 0 ? v.x : i == 1 ? v.y : v.z) = x; };

    Vec3 chord = e - s;
    set(chord, n, 0);
    const double len = chord.length();
    const double h = len / 2;
    if (r == 0 || h == 0 || !std::isfinite(len)) return;
    c1 = s;
    c2 = s;
    if (h >= r) {
        set(c1, a, get(s, a) + get(chord, a) / 2);
        set(c1, b, get(s, b) + get(chord, b) / 2);
        set(c2, a, get(c1, a));
        set(c2, b, get(c1, b));
        return;
    }
    const double phi = std::acos(std::clamp(get(chord, b) / len, -1.0, 1.0));
    const double q = h / r;
    const double alpha = std::atan2(q, std::sqrt(std::max(1 - q * q, 0.0)));
    const double m =
        get(chord, a) >= 0 ? phi - std::numbers::pi / 2 - alpha : -phi - std::numbers::pi / 2 - alpha;
    set(c1, a, get(e, a) + r * std::sin(m));
    set(c2, a, get(s, a) - r * std::sin(m));
    set(c1, b, get(e, b) + r * std::cos(m));
    set(c2, b, get(s, b) - r * std::cos(m));
}

void computeArcCandidates(ArcOverlay& arc) {
    computeArcCandidates(arc.start, arc.end, arc.radius, arc.plane, arc.centre1, arc.centre2);
}

namespace {

void fitWithQuestion(AppState& app, StockGrid& grid, ControlSet& cs, const TQuonStrings& program,
                     UiServices& ui, const CommandHooks& hooks, const char* question) {
    FitScanContext ctx;
    ctx.start = app.pos.toolPosition();
    ctx.referencePoint = app.pos.reference;
    ctx.xDivisor = isTurning(app.machineKind) ? divisorOf(app) : 1.0;
    QuonProgramLines lines(program);
    fitStockToPathCommand(cs, app.stock, grid, app.machineKind, lines, ctx, ui, hooks, scannerReader,
                          question);
    refreshValueLabels(app, cs);
}

}  // namespace

void fitStockToProgramCommand(AppState& app, StockGrid& grid, ControlSet& cs, const TQuonStrings& program,
                              UiServices& ui, const CommandHooks& hooks) {
    fitWithQuestion(app, grid, cs, program, ui, hooks, "実行しますか?");
}

void fitStockToProgramNow(AppState& app, StockGrid& grid, ControlSet& cs, const TQuonStrings& program,
                          UiServices& ui, const CommandHooks& hooks) {
    fitWithQuestion(app, grid, cs, program, ui, hooks, nullptr);
}

void offerStockFitAfterLoad(AppState& app, StockGrid& grid, ControlSet& cs, const TQuonStrings& program,
                            UiServices& ui, const CommandHooks& hooks) {
    fitWithQuestion(app, grid, cs, program, ui, hooks, "読み込んだデータに材料を合わせますか？");
}

void bindValueEditCommands(ControlSet& cs, AppState& app, StockGrid& grid, UiServices& ui,
                           const CommandHooks& hooks, std::function<const TQuonStrings*()> program) {
    // Tags by name: menu items share their label's Tag even where the menu table gives none.
    for (auto [name, tag] : {std::pair{"label_x", kPosTagX},
                             {"label_y", kPosTagY},
                             {"label_z", kPosTagZ},
                             {"label_a", kPosTagA},
                             {"label_b", kPosTagB},
                             {"label_c", kPosTagC}})
        cs.bind(name, [&, tag = tag](const Control&) { editPositionCommand(app, cs, tag, ui, hooks); });
    for (auto [name, tag] : {std::pair{"label_gridk", kGridTagInterval},
                             {"menu_gridk", kGridTagInterval},
                             {"label_gridx", kGridTagSizeX},
                             {"menu_gridx", kGridTagSizeX},
                             {"label_gridy", kGridTagSizeY},
                             {"menu_gridy", kGridTagSizeY},
                             {"label_gridz", kGridTagSizeZ},
                             {"label_grid_chux", kGridTagCentreX},
                             {"menu_grid_chux", kGridTagCentreX},
                             {"label_grid_chuy", kGridTagCentreY},
                             {"menu_grid_chuy", kGridTagCentreY},
                             {"label_grid_chuz", kGridTagCentreZ},
                             {"menu_grid_chuz", kGridTagCentreZ},
                             {"label_axisx", kAxisTagX},
                             {"menu_jkx", kAxisTagX},
                             {"label_axisy", kAxisTagY},
                             {"menu_jky", kAxisTagY},
                             {"label_axisz", kAxisTagZ},
                             {"menu_jkz", kAxisTagZ}})
        cs.bind(name, [&, tag = tag](const Control&) { editGridAxisCommand(app, cs, tag, ui, hooks); });
    for (auto [name, tag] : {std::pair{"label_t_point", static_cast<int>(kToolTagPoint)},
                             {"label_t_kei", kToolTagDiameter},
                             {"label_t_naga", kToolTagLength},
                             {"label_t_noser", kToolTagNoseRadius},
                             {"label_t_teimenkaku", kToolTagAngleA},
                             {"label_t_sokumenkaku", kToolTagAngleB},
                             {"label_t_haba", kToolTagWidth},
                             {"menu_rfx", kRefTagX},
                             {"menu_rfy", kRefTagY},
                             {"menu_rfz", kRefTagZ},
                             {"menu_ichigime", kRapidStepTag}})
        cs.bind(name,
                [&, tag = tag](const Control&) { editToolOrMachineValueCommand(app, cs, tag, ui, hooks); });
    for (auto [name, tag] : {std::pair{"label_zai_x", static_cast<int>(kStockTagSizeX)},
                             {"label_zai_y", kStockTagSizeY},
                             {"label_zai_z", kStockTagSizeZ},
                             {"label_zai_x_off", kStockTagOffsetX},
                             {"label_zai_y_off", kStockTagOffsetY},
                             {"label_zai_z_off", kStockTagOffsetZ},
                             {"label_zai_pitch", kStockTagPitch},
                             {"label_zai_w", kStockTagWall}})
        cs.bind(name, [&, tag = tag](const Control&) {
            editStockValueCommand(cs, app.stock, app.machineKind, tag, ui, hooks);
        });

    cs.bind("ComboBox1",
            [&](const Control& c) { selectToolCommand(cs, app.tools, app.machineKind, c.itemIndex, hooks); });
    cs.bind("ComboBox2", [&](const Control& c) {
        chooseLatheKindCommand(cs, app.tools, app.machineKind, c.itemIndex, hooks);
    });
    cs.bind("ComboBox3", [&](const Control& c) { stockShapeCommand(app.stock, c.itemIndex, hooks); });
    for (const char* name : {"button_t_new", "menu_t_new"})
        cs.bind(name, [&](const Control&) {
            addToolCommand(cs, app.tools, app.machineKind, ui, app.colours[ColourPalette::kTool], hooks);
        });
    for (const char* name : {"button_t_del", "menu_t_del"})
        cs.bind(name, [&](const Control&) { deleteToolCommand(cs, app.tools, app.machineKind, hooks); });
    cs.bind("menu_t_change",
            [&](const Control&) { renumberToolCommand(cs, app.tools, app.machineKind, ui, hooks); });
    for (const char* name : {"button_t_ini", "menu_t_ini"})
        cs.bind(name, [&](const Control&) {
            initialiseToolsCommand(cs, app.tools, app.machineKind, ui, app.colours[ColourPalette::kTool],
                                   hooks);
        });
    for (const char* name : {"panel_t_color", "menu_t_color"})
        cs.bind(name, [&](const Control&) { toolColourCommand(cs, app.tools, app.machineKind, ui, hooks); });
    cs.bind("combo_holder",
            [&](const Control& c) { holderKindCommand(cs, app.machine.holderStandard, c.itemIndex, hooks); });
    const auto& holderMenus = holderKindMenuItems();
    for (int kind = 0; kind < kHolderKindCount; ++kind)
        cs.bind(holderMenus[static_cast<size_t>(kind)], [&, kind](const Control&) {
            holderKindCommand(cs, app.machine.holderStandard, kind, hooks);
        });

    for (const char* name : {"sb_zai_mas_reset", "N35"})
        cs.bind(name, [&](const Control&) {
            resetStockCommand(app.stock, grid, app.machineKind, ui, hooks, &app.stockMutex);
        });
    for (const char* name : {"sb_zai_repaint", "N41"})
        cs.bind(name, [&](const Control&) { showStockGridCommand(hooks); });
    cs.bind("menu_zai_hanten", [&](const Control&) {
        invertStockCommand(app.stock, grid, app.machineKind, hooks, &app.stockMutex);
    });
    for (const char* name : {"sb_zai_fit", "N12"})
        cs.bind(name, [&, program](const Control&) {
            if (const TQuonStrings* text = program ? program() : nullptr)
                fitStockToProgramCommand(app, grid, cs, *text, ui, hooks);
        });
}

}  // namespace vantrel
