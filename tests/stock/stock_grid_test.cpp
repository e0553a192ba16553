#include <gtest/gtest.h>

#include "core/control_set.h"
#include "stock/stock_commands.h"
#include "stock/stock_spec.h"
#include "support/scripted_ui_services.h"

namespace vantrel {
namespace {

TEST(StockGrid, PrismResetFillsTheWholeBlock) {
    StockGrid g;
    StockSpec s;
    g.height(3, 4) = 1;
    initialiseStockGrid(g, s, MachineKind::VerticalMill);
    EXPECT_EQ(g.height(0, 0), 50);
    EXPECT_EQ(g.height(3, 4), 50);
    EXPECT_EQ(g.height(1000, 1000), 50);  // beyond the stock's 100 nodes too
    EXPECT_EQ(g.cellMark(500, 7), 0);
}

TEST(StockGrid, CylinderIsTheInscribedEllipse) {
    StockGrid g;
    StockSpec s;
    s.sides = 0;
    initialiseStockGrid(g, s, MachineKind::VerticalMill);
    EXPECT_EQ(g.height(50, 50), 50);
    EXPECT_EQ(g.height(0, 50), 0);  // on the ellipse, not inside
    EXPECT_EQ(g.height(0, 0), 0);
    EXPECT_EQ(g.height(1, 50), 50);
    EXPECT_EQ(g.cellMark(0, 0), 99);

    // Half sizes below one node leave nothing inside and divide by nothing.
    s.sizeX = 0.4f;
    initialiseStockGrid(g, s, MachineKind::VerticalMill);
    EXPECT_EQ(g.height(0, 0), 0);
    EXPECT_EQ(g.height(50, 50), 0);

    // Sizes far beyond the lattice (restored with another pitch) are held to 500 nodes each side.
    s.sizeX = 5000;
    s.sizeY = 5000;
    s.pitch = 1;
    initialiseStockGrid(g, s, MachineKind::VerticalMill);
    EXPECT_EQ(g.height(500, 500), 50);
    EXPECT_EQ(g.height(0, 500), 0);
    EXPECT_EQ(g.height(1000, 500), 0);
}

TEST(StockGrid, LatheProfilesAndWireLeaveTheRest) {
    StockGrid g;
    StockSpec s;
    applyMachineStockDefaults(s, MachineKind::Lathe);
    initialiseStockGrid(g, s, MachineKind::Lathe);
    EXPECT_EQ(g.outerDiameters()[0], 100);
    EXPECT_EQ(g.outerDiameters()[1000], 100);
    EXPECT_EQ(g.innerDiameters()[1000], 0);
    EXPECT_EQ(g.height(2, 0), 50);  // rows beyond the two profiles are not touched

    g.height(5, 5) = 7;
    applyMachineStockDefaults(s, MachineKind::WireEdm);
    initialiseStockGrid(g, s, MachineKind::WireEdm);
    EXPECT_EQ(g.height(5, 5), 7);
    EXPECT_EQ(s.sizeZ, 10);
}

TEST(StockGrid, InvertTurnsPocketsIntoBossesAndBack) {
    StockGrid g;
    StockSpec s;
    invertStockGrid(g, s);
    EXPECT_EQ(g.height(0, 0), 0);
    EXPECT_EQ(g.height(100, 100), 0);
    EXPECT_EQ(g.height(101, 100), 50);  // outside the extent
    invertStockGrid(g, s);
    EXPECT_EQ(g.height(100, 100), 50);

    g.height(10, 10) = 30;  // a pocket 20 deep
    g.height(11, 10) = 60;  // above the top: clamped to 0 on inversion
    invertStockGrid(g, s);
    EXPECT_EQ(g.height(10, 10), 20);
    EXPECT_EQ(g.height(11, 10), 0);

    // A size kept with a coarser pitch stays inside the block.
    s.sizeX = s.sizeY = 100;
    s.pitch = 0.05;
    invertStockGrid(g, s);
    EXPECT_EQ(g.height(1000, 1000), 0);
}

// A fine pitch kept across a machine change: the sizes come back at 100 while the pitch stays 0.05
// (2000 nodes by the sizes). Initialising, cutting and inverting must stay inside the block.
TEST(StockGrid, FinePitchAcrossAMachineChangeStaysInsideTheBlock) {
    StockGrid g;
    StockSpec s;
    s.pitch = 0.05;
    s.sizeX = s.sizeY = s.sizeZ = 50;
    applyMachineStockDefaults(s, MachineKind::HorizontalMill);
    EXPECT_EQ(stockNodeCount(s.sizeX, s.pitch), kStockMaxIndex);
    initialiseStockGrid(g, s, MachineKind::HorizontalMill);
    invertStockGrid(g, s);
    EXPECT_EQ(g.height(1000, 1000), 0);
    s.sides = 0;
    initialiseStockGrid(g, s, MachineKind::HorizontalMill);  // half sizes held to 500 nodes
    EXPECT_EQ(g.height(500, 500), 50);
    EXPECT_EQ(g.height(1000, 500), 0);
}

struct StockEdit : ::testing::Test {
    ControlSet cs;
    StockSpec s;
    ScriptedUiServices ui;
    CommandHooks hooks;
    void SetUp() override { addStockControls(cs); }
    void edit(int tag, double v) {
        ui.keypadAnswers.push_back(v);
        editStockValueCommand(cs, s, MachineKind::VerticalMill, tag, ui, hooks);
    }
};

TEST_F(StockEdit, RangesFollowThePitch) {
    edit(kStockTagPitch, 0.1);
    edit(kStockTagSizeX, 150);
    ASSERT_EQ(ui.messages.size(), 1u);
    EXPECT_EQ(ui.messages[0], "0から100まで");
    EXPECT_EQ(s.sizeX, 100);
    edit(kStockTagPitch, 0.05);
    EXPECT_EQ(s.sizeX, 50);
    EXPECT_EQ(s.sizeY, 50);
    EXPECT_EQ(s.sizeZ, 50);
    EXPECT_EQ(cs.caption("label_zai_pitch"), "0.05");
    edit(kStockTagPitch, 0);
    edit(kStockTagPitch, 100.5);
    EXPECT_EQ(ui.messages.back(), "+0から+100まで");
    EXPECT_EQ(s.pitch, 0.05);
    edit(kStockTagSizeZ, 33.3);
    EXPECT_EQ(cs.caption("label_zai_z"), "33.3");
    edit(kStockTagOffsetZ, -1000.5);
    EXPECT_EQ(ui.messages.back(), "-1000から+1000まで");
    edit(kStockTagOffsetZ, -1000);
    EXPECT_EQ(s.offsetZ, -1000);
}

TEST_F(StockEdit, WallThicknessAndLabels) {
    EXPECT_EQ(cs.caption("label_zai_w"), "*");
    edit(kStockTagWall, 50);
    EXPECT_EQ(ui.messages.back(), "半径よりも小さくしてください");
    edit(kStockTagWall, 4.5);
    EXPECT_EQ(cs.caption("label_zai_w"), "4.5");
    showStockLabels(cs, s, MachineKind::Lathe);
    EXPECT_EQ(cs.caption("Label32"), "外径");
    EXPECT_EQ(cs.caption("Label38"), "端面突出");
    EXPECT_FALSE(cs.visible("label_zai_y_off"));
    showStockLabels(cs, s, MachineKind::WireEdm);
    EXPECT_EQ(cs.caption("Label32"), "Ｘ（長さ）");
    EXPECT_TRUE(cs.visible("Label40"));
}

TEST_F(StockEdit, ResetShapeAndInvertCommands) {
    StockGrid g;
    g.height(1, 1) = 3;
    resetStockCommand(s, g, MachineKind::VerticalMill, ui, hooks);  // answered No
    EXPECT_EQ(g.height(1, 1), 3);
    stockShapeCommand(s, 4, hooks);
    EXPECT_EQ(s.sides, 0);
    EXPECT_EQ(g.height(1, 1), 3);  // the shape alone does not rebuild
    ui.yesNoAnswers.push_back(true);
    resetStockCommand(s, g, MachineKind::VerticalMill, ui, hooks);
    EXPECT_EQ(g.height(50, 50), 50);
    EXPECT_EQ(g.height(1, 1), 0);

    std::vector<std::string> captions;
    int shown = 0;
    hooks.setWindowCaption = [&](const std::string& c) { captions.push_back(c); };
    hooks.showStockGrid = [&] { ++shown; };
    invertStockCommand(s, g, MachineKind::VerticalMill, hooks);
    EXPECT_EQ(g.height(50, 50), 0);
    EXPECT_EQ(shown, 1);
    EXPECT_EQ(captions, (std::vector<std::string>{"反転中…", "描画中…", "Vantrel 3.71"}));
}

}  // namespace
}  // namespace vantrel
