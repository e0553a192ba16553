#include "app/value_edit.h"

#include <gtest/gtest.h>

#include <cmath>

#include "app/main_window_controls.h"
#include "app/stock_fit_pass.h"
#include "program/quon_strings.h"
#include "stock/stock_commands.h"
#include "support/scripted_ui_services.h"
#include "tools/tool_commands.h"

namespace vantrel {
namespace {

struct ValueEdit : ::testing::Test {
    AppState app;
    ControlSet cs;
    ScriptedUiServices ui;
    CommandHooks hooks;
    int refreshes = 0, repaints = 0;
    void SetUp() override {
        addMainWindowControls(cs);
        addValueLabelControls(cs);
        addToolControls(cs);
        addStockControls(cs);
        hooks.refreshLabels = [this] { ++refreshes; };
        hooks.repaint = [this] { ++repaints; };
    }
    void position(int tag, std::optional<double> v) {
        ui.keypadAnswers.push_back(v);
        editPositionCommand(app, cs, tag, ui, hooks);
    }
};

TEST_F(ValueEdit, PositionRangeIsOpenAtTenThousand) {
    position(kPosTagX, 10000);
    position(kPosTagY, -10000);
    EXPECT_EQ(ui.messages, (std::vector<std::string>{"-10000から+10000まで", "-10000から+10000まで"}));
    EXPECT_EQ(app.pos.toolPosition().x, 0);
    EXPECT_EQ(repaints, 0);
    position(kPosTagZ, 9999.999);
    EXPECT_DOUBLE_EQ(app.pos.toolPosition().z, 9999.999);
    EXPECT_DOUBLE_EQ(app.arc.end.z, 9999.999);
    EXPECT_EQ(repaints, 1);
    // A cancelled edit keeps the value and still refreshes and repaints.
    position(kPosTagZ, std::nullopt);
    EXPECT_DOUBLE_EQ(app.pos.toolPosition().z, 9999.999);
    EXPECT_EQ(repaints, 2);
    EXPECT_EQ(refreshes, 2);
}

TEST_F(ValueEdit, LatheXIsEnteredAsADiameter) {
    app.machineKind = MachineKind::Lathe;
    app.machine.diameterDivisor = 2;
    app.pos.setToolPosition({25, 0, 100});
    position(kPosTagX, 60);
    EXPECT_EQ(ui.log.front(), "keypad:50.000000");
    EXPECT_EQ(app.pos.toolPosition().x, 30);
    EXPECT_EQ(app.arc.end.x, 30);
}

TEST_F(ValueEdit, AnglesAreEnteredInDegrees) {
    position(kPosTagA, 90);
    EXPECT_DOUBLE_EQ(app.tools.toolTiltAngle, std::numbers::pi / 2);
    position(kPosTagC, -45);
    EXPECT_DOUBLE_EQ(app.pos.c, -std::numbers::pi / 4);
    EXPECT_EQ(app.tools.workingTool.axisZ, 1);  // the axis itself is not changed
}

TEST_F(ValueEdit, GridAxisAndMachineValues) {
    auto grid = [&](int tag, double v) {
        ui.keypadAnswers.push_back(v);
        editGridAxisCommand(app, cs, tag, ui, hooks);
    };
    auto machine = [&](int tag, double v) {
        ui.keypadAnswers.push_back(v);
        editToolOrMachineValueCommand(app, cs, tag, ui, hooks);
    };
    grid(kGridTagInterval, 0);
    EXPECT_EQ(ui.messages.back(), "0から300まで");
    grid(kGridTagInterval, 300);
    EXPECT_EQ(app.grid.interval, 300);
    grid(kAxisTagY, 0);
    EXPECT_EQ(app.grid.axisY, 0);
    grid(kGridTagCentreZ, 10000.5);
    EXPECT_EQ(ui.messages.back(), "0から10000まで");
    EXPECT_EQ(cs.caption("menu_jky"), "　　　Y 0");
    EXPECT_EQ(cs.caption("label_gridk"), "300");

    machine(kRapidStepTag, 0);
    machine(kRapidStepTag, 50.5);
    EXPECT_EQ(ui.messages.back(), "0から50");
    EXPECT_EQ(ui.messages.size(), 4u);
    machine(kRapidStepTag, 50);
    EXPECT_EQ(app.pos.rapidStep, 50);
    EXPECT_EQ(cs.caption("menu_ichigime"), "位置決め速度 50");
    machine(kRefTagZ, 1000.1);
    EXPECT_EQ(ui.messages.back(), "-1000から1000まで");
    machine(kRefTagZ, -12.25);
    EXPECT_EQ(cs.caption("menu_rfz"), "Z -12.25");
    // The same handler edits the working tool.
    machine(kToolTagDiameter, 8);
    EXPECT_EQ(app.tools.millTools[0].diameter, 8);
}

TEST_F(ValueEdit, RefreshWritesEveryCaption) {
    refreshValueLabels(app, cs);
    EXPECT_EQ(cs.caption("menu_gridy"), " 　　Y 300");
    EXPECT_EQ(cs.caption("menu_grid_chux"), "中心X 0");
    EXPECT_EQ(cs.caption("menu_rfx"), "X 0");
    EXPECT_EQ(cs.caption("menu_ichigime"), "位置決め速度 10");
    EXPECT_EQ(cs.caption("label_zai_z_off"), "-50");
    EXPECT_EQ(cs.caption("label_t_kei"), "10");
}

TEST_F(ValueEdit, BoundCommandsReachTheirFields) {
    StockGrid grid;
    TQuonStrings text;
    bindValueEditCommands(cs, app, grid, ui, hooks, [&] { return &text; });
    ui.keypadAnswers.push_back(12.5);
    cs.click("label_y");
    EXPECT_EQ(app.pos.toolPosition().y, 12.5);
    ui.keypadAnswers.push_back(20);
    cs.click("menu_gridx");
    EXPECT_EQ(app.grid.gridX, 20);
    ui.keypadAnswers.push_back(0.5);
    cs.click("label_zai_pitch");
    EXPECT_EQ(app.stock.pitch, 0.5);
    ui.keypadAnswers.push_back(7);
    cs.click("button_t_new");
    EXPECT_EQ(cs.items("ComboBox1"), (std::vector<std::string>{"-", "7"}));
    cs.selectItem("ComboBox1", 0);
    EXPECT_EQ(app.tools.currentToolIndex, 0);
    cs.selectItem("ComboBox3", 4);
    EXPECT_EQ(app.stock.sides, 0);
    cs.selectItem("combo_holder", 6);
    EXPECT_EQ(app.machine.holderStandard, 6);
    EXPECT_TRUE(cs.checked("menu_hsk100"));
    ui.yesNoAnswers.push_back(true);
    cs.click("sb_zai_mas_reset");
    EXPECT_EQ(grid.height(0, 0), 0);  // a cylinder now: the corner is outside
}

TEST(ArcCandidates, TwoCentresOnThePerpendicularBisector) {
    Vec3 c1{1, 1, 1}, c2{2, 2, 2};
    const Vec3 s{0, 0, 437.25}, e{30, 0, 437.25};
    computeArcCandidates(s, s, 30, 0, c1, c2);
    EXPECT_EQ(c1, (Vec3{1, 1, 1}));  // E = S: unchanged
    computeArcCandidates(s, e, 30, 0, c1, c2);
    EXPECT_NEAR(c1.x, 15, 1e-9);
    EXPECT_NEAR(c1.y, 25.980762, 1e-6);
    EXPECT_NEAR(c2.x, 15, 1e-9);
    EXPECT_NEAR(c2.y, -25.980762, 1e-6);
    EXPECT_EQ(c1.z, 437.25);
    for (const Vec3& c : {c1, c2}) {
        EXPECT_NEAR((c - s).length(), 30, 1e-9);
        EXPECT_NEAR((c - e).length(), 30, 1e-9);
    }
    // A chord longer than the diameter gives its midpoint twice; ZX plane uses Z and X.
    computeArcCandidates({0, 5, 0}, {0, 7, 100}, 30, 1, c1, c2);
    EXPECT_EQ(c1, (Vec3{0, 5, 50}));
    EXPECT_EQ(c2, (Vec3{0, 5, 50}));
}

TEST_F(ValueEdit, FitReadsTheProgramThroughTheScanner) {
    TQuonStrings prog;
    prog.Put(0, "G90 G00 X0 Y0");
    prog.Add("G01 X20. Y10. Z-5.");
    prog.Add("G02 X40. Y10. R10.");  // a half circle above the chord: Y reaches 20
    prog.Add("M30");
    StockGrid grid;
    ui.yesNoAnswers.push_back(true);
    fitStockToProgramCommand(app, grid, cs, prog, ui, hooks);
    EXPECT_EQ(app.stock.offsetX, 20);
    EXPECT_EQ(app.stock.offsetY, 10);
    EXPECT_EQ(app.stock.sizeX, 20);
    EXPECT_FLOAT_EQ(app.stock.sizeY, 10);
    EXPECT_EQ(app.stock.sizeZ, 10);  // one Z level: the extent becomes 10
    EXPECT_EQ(cs.caption("label_zai_x_off"), "20");
    EXPECT_EQ(ui.log.back(), "ask:実行しますか?");
    EXPECT_EQ(grid.height(0, 0), 10);  // the grid is rebuilt for the fitted stock

    // Offered after loading: its own question, and No leaves the stock alone.
    app.stock.sizeX = 77;
    offerStockFitAfterLoad(app, grid, cs, prog, ui, hooks);
    EXPECT_EQ(ui.log.back(), "ask:読み込んだデータに材料を合わせますか？");
    EXPECT_EQ(app.stock.sizeX, 77);
    // A program of one line is not fitted.
    TQuonStrings one;
    one.Put(0, "G01 X5. Y5.");
    ui.yesNoAnswers.push_back(true);
    fitStockToProgramCommand(app, grid, cs, one, ui, hooks);
    EXPECT_EQ(app.stock.sizeX, 77);

    // After the editor's own question was answered Yes: the fit asks nothing more.
    const size_t asked = ui.log.size();
    fitStockToProgramNow(app, grid, cs, prog, ui, hooks);
    EXPECT_EQ(ui.log.size(), asked);
    EXPECT_EQ(app.stock.sizeX, 20);
}

TEST_F(ValueEdit, FitOfAProgramThatWouldNotEndStopsAtItsBudgetAndSaysSo) {
    // Ten levels of subprograms, each calling the next ten times: 10^10 blocks. The window's fit runs
    // on the UI thread, so it stops at its budget, fits what it saw and tells why.
    std::string text = "G90 G01 X1. Y1. Z0 F100\nM98 P1\nM30\n";
    for (int level = 1; level <= 10; ++level) {
        text += std::string("O").append(std::to_string(level)).append("\n");
        for (int call = 0; call < 10; ++call)
            text += level < 10 ? std::string("M98 P").append(std::to_string(level + 1)).append("\n")
                               : std::string("G91 X0.001\n");
        text += "M99\n";
    }
    TQuonStrings prog;
    prog.SetText(text);
    StockGrid grid;
    ui.yesNoAnswers.push_back(true);
    fitStockToProgramCommand(app, grid, cs, prog, ui, hooks);
    ASSERT_FALSE(ui.messages.empty());
    EXPECT_EQ(ui.messages.back(), kMsgStockFitCutShort);
    EXPECT_EQ(app.stock.offsetX, 1);
    EXPECT_EQ(app.stock.offsetY, 1);
    EXPECT_GT(app.stock.sizeX, 100);  // 2,000,000 blocks of 0.001 mm and more
}

}  // namespace
}  // namespace vantrel
