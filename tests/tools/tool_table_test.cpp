#include <gtest/gtest.h>

#include <cmath>
#include <numbers>

#include "core/control_set.h"
#include "support/scripted_ui_services.h"
#include "tools/tool_commands.h"
#include "tools/tool_table.h"

namespace vantrel {
namespace {

struct ToolCommands : ::testing::Test {
    ControlSet cs;
    ToolTable t;
    ScriptedUiServices ui;
    CommandHooks hooks;
    int refreshes = 0, repaints = 0;

    void SetUp() override {
        addToolControls(cs);
        hooks.refreshLabels = [this] { ++refreshes; };
        hooks.repaint = [this] { ++repaints; };
    }
    void add(MachineKind k, double number) {
        ui.keypadAnswers.push_back(number);
        addToolCommand(cs, t, k, ui, kDefaultToolColor, hooks);
    }
    std::vector<int32_t> numbers(const std::vector<ToolRecord>& list) {
        std::vector<int32_t> n;
        for (const auto& r : list) n.push_back(r.number);
        return n;
    }
};

TEST(ToolProfile, BallFlatAndDrillShapes) {
    ToolRecord ball = defaultMillTool();  // D10, r5, both angles 0
    ToolProfile p = computeToolProfile(ball, 0);
    EXPECT_FLOAT_EQ(p.cornerTan, 1);
    EXPECT_NEAR(p.bottomTangentR, 0, 1e-6);
    EXPECT_FLOAT_EQ(p.cornerCentreZ, 5);
    EXPECT_FLOAT_EQ(p.sideTangentZ, 5);
    EXPECT_FLOAT_EQ(p.topDiameter, 10);
    EXPECT_FLOAT_EQ(p.totalLength, 60);  // holder 40 + length 20

    ToolRecord flat = ball;
    flat.noseRadius = 0;
    p = computeToolProfile(flat, 12.5);
    EXPECT_FLOAT_EQ(p.bottomTangentR, 5);
    EXPECT_FLOAT_EQ(p.sideTangentR, 5);
    EXPECT_FLOAT_EQ(p.topRadius, 5);
    EXPECT_FLOAT_EQ(p.totalLength, 72.5);

    ToolRecord drill = flat;
    drill.angleA = 30;
    p = computeToolProfile(drill, 0);
    EXPECT_NEAR(p.coneHeight, std::tan(std::numbers::pi / 6) * 5, 1e-5);
    // The side tapers outwards by angle B.
    ToolRecord taper = flat;
    taper.angleB = 10;
    p = computeToolProfile(taper, 0);
    EXPECT_NEAR(p.topDiameter, 10 + std::tan(10 * std::numbers::pi / 180) * 20 * 2, 1e-4);
}

TEST(ToolTable, StartUpAndDerivedAngles) {
    ToolTable t;
    EXPECT_EQ(t.t_cnt(), 1);
    EXPECT_EQ(t.t_cnt_s(), 1);
    EXPECT_EQ(t.currentToolIndex, 0);
    EXPECT_EQ(static_cast<uint32_t>(t.workingTool.color), 0x00FFFFu);

    loadWorkingTool(t, MachineKind::Lathe, 0);  // axis (1, 0, 0)
    EXPECT_NEAR(t.toolTiltAngle, 0, 1e-12);
    EXPECT_NEAR(t.toolTurnAngle, std::numbers::pi / 2, 1e-12);
    t.latheTools[0].axisX = t.latheTools[0].axisY = t.latheTools[0].axisZ = 0;  // zero axis counts as +Z
    loadWorkingTool(t, MachineKind::Lathe, 0);
    EXPECT_EQ(t.toolTiltAngle, 0);
    EXPECT_EQ(t.toolTurnAngle, 0);
    loadWorkingTool(t, MachineKind::VerticalMill, 7);  // out of range: entry 0
    EXPECT_EQ(t.loadedToolIndex, 0);
}

TEST(ToolTable, LatheKindDefaults) {
    ToolRecord r = defaultLatheTool();
    r.holderDiameter = 77;
    ASSERT_TRUE(applyLatheToolKind(r, 5));  // 内左
    EXPECT_EQ(r.tipPosition, 9);
    EXPECT_EQ(r.axisZ, -1);
    EXPECT_EQ(r.axisX, 0);
    EXPECT_DOUBLE_EQ(r.noseRadius, 0.8);
    EXPECT_EQ(r.angleA, 60);
    EXPECT_EQ(r.angleB, 93);
    EXPECT_EQ(r.holderDiameter, 77);  // not named by the kind
    ASSERT_TRUE(applyLatheToolKind(r, 9));
    EXPECT_EQ(r.holderDiameter, 30);
    EXPECT_FALSE(applyLatheToolKind(r, 15));
    EXPECT_STREQ(latheToolKindItems()[5], "内左");
}

TEST_F(ToolCommands, AddingKeepsOrderSelectsAndLeavesOthersAlone) {
    const MachineKind mill = MachineKind::VerticalMill;
    add(mill, 5);
    t.workingTool.diameter = 6;  // edit tool 5 through the label
    ui.keypadAnswers.push_back(6);
    editToolValueCommand(cs, t, mill, kToolTagDiameter, ui, hooks);
    add(mill, 2);
    add(mill, 9.7);  // integer part
    EXPECT_EQ(cs.items("ComboBox1"), (std::vector<std::string>{"-", "2", "5", "9"}));
    EXPECT_EQ(numbers(t.millTools), (std::vector<int32_t>{0, 2, 5, 9}));
    EXPECT_EQ(t.currentToolIndex, 3);
    EXPECT_EQ(cs.itemIndex("ComboBox1"), 3);
    EXPECT_EQ(t.millTools[2].diameter, 6);
    EXPECT_EQ(t.millTools[1].diameter, 10);
    EXPECT_EQ(t.workingTool.number, 9);

    // A number already in the list selects that tool and inserts nothing.
    add(mill, 5);
    EXPECT_EQ(t.millTools.size(), 4u);
    EXPECT_EQ(t.currentToolIndex, 2);
    EXPECT_EQ(t.workingTool.diameter, 6);
    // 0, a cancelled dialog and a number beyond int32 do nothing.
    add(mill, 0.4);
    add(mill, 3e12);
    addToolCommand(cs, t, mill, ui, kDefaultToolColor, hooks);
    EXPECT_EQ(t.millTools.size(), 4u);
    EXPECT_EQ(t.currentToolIndex, 2);
    // The wire has no list.
    add(MachineKind::WireEdm, 4);
    EXPECT_EQ(t.millTools.size(), 4u);
}

TEST_F(ToolCommands, DeleteAndRenumber) {
    const MachineKind lathe = MachineKind::Lathe;
    add(lathe, 2);
    t.workingTool.noseRadius = 0.4;
    storeWorkingTool(t, lathe, t.currentToolIndex);
    add(lathe, 5);
    // Renumbering to a number in use does nothing.
    ui.keypadAnswers.push_back(2);
    renumberToolCommand(cs, t, lathe, ui, hooks);
    EXPECT_EQ(numbers(t.latheTools), (std::vector<int32_t>{0, 2, 5}));
    // Renumbering moves the tool with its parameters and keeps it selected.
    selectToolCommand(cs, t, lathe, 1, hooks);
    ui.keypadAnswers.push_back(7);
    renumberToolCommand(cs, t, lathe, ui, hooks);
    EXPECT_EQ(numbers(t.latheTools), (std::vector<int32_t>{0, 5, 7}));
    EXPECT_EQ(t.currentToolIndex, 2);
    EXPECT_DOUBLE_EQ(t.latheTools[2].noseRadius, 0.4);
    EXPECT_EQ(cs.items("ComboBox1"), (std::vector<std::string>{"-", "5", "7"}));

    // Deleting the last item selects the previous one, which keeps its parameters.
    deleteToolCommand(cs, t, lathe, hooks);
    EXPECT_EQ(numbers(t.latheTools), (std::vector<int32_t>{0, 5}));
    EXPECT_EQ(t.currentToolIndex, 1);
    EXPECT_EQ(t.workingTool, t.latheTools[1]);
    // Nothing happens while "-" is selected.
    selectToolCommand(cs, t, lathe, 0, hooks);
    deleteToolCommand(cs, t, lathe, hooks);
    ui.keypadAnswers.push_back(8);
    renumberToolCommand(cs, t, lathe, ui, hooks);
    EXPECT_EQ(numbers(t.latheTools), (std::vector<int32_t>{0, 5}));
}

TEST_F(ToolCommands, ValueEditsPerFamily) {
    ui.keypadAnswers.push_back(0);
    editToolValueCommand(cs, t, MachineKind::VerticalMill, kToolTagDiameter, ui, hooks);
    EXPECT_EQ(ui.messages.back(), "0から1000まで");
    EXPECT_EQ(t.workingTool.diameter, 10);
    ui.keypadAnswers.push_back(90);
    editToolValueCommand(cs, t, MachineKind::VerticalMill, kToolTagAngleA, ui, hooks);
    EXPECT_EQ(ui.messages.back(), "0から90まで");
    ui.keypadAnswers.push_back(12.5);
    editToolValueCommand(cs, t, MachineKind::VerticalMill, kToolTagDiameter, ui, hooks);
    EXPECT_EQ(t.millTools[0].diameter, 12.5);
    EXPECT_EQ(cs.caption("label_t_kei"), "12.5");
    EXPECT_FLOAT_EQ(t.profile.topDiameter, 12.5f);

    const MachineKind lathe = MachineKind::Lathe;
    applyToolFamily(cs, t, lathe);
    EXPECT_EQ(cs.caption("label_t_point0"), "刃先位置");
    EXPECT_EQ(cs.caption("label_t_point"), "1");
    ui.keypadAnswers.push_back(1.5);
    editToolValueCommand(cs, t, lathe, kToolTagPoint, ui, hooks);
    EXPECT_EQ(ui.messages.back(), "1,2,3,4,5,6,7,8,9を入力してください");
    ui.keypadAnswers.push_back(3);
    editToolValueCommand(cs, t, lathe, kToolTagPoint, ui, hooks);
    EXPECT_EQ(t.latheTools[0].tipPosition, 3);
    ui.keypadAnswers.push_back(-181);
    editToolValueCommand(cs, t, lathe, kToolTagAngleB, ui, hooks);
    EXPECT_EQ(ui.messages.back(), "-180から+180まで");
    ui.keypadAnswers.push_back(2.5);
    editToolValueCommand(cs, t, lathe, kToolTagWidth, ui, hooks);  // groove width
    EXPECT_EQ(t.latheTools[0].holderLength, 2.5);

    // The drills use the milling labels and fields.
    chooseLatheKindCommand(cs, t, lathe, 9, hooks);
    EXPECT_EQ(cs.caption("label_t_haba0"), "ホルダー直径");
    EXPECT_EQ(cs.caption("label_t_point"), "40");
    EXPECT_EQ(t.latheTools[0].kind, 9);

    const MachineKind wire = MachineKind::WireEdm;
    applyToolFamily(cs, t, wire);
    EXPECT_FALSE(cs.enabled("label_t_naga"));
    EXPECT_EQ(cs.caption("Label43"), "ワイヤー線半径");
    ui.keypadAnswers.push_back(0.3);
    editToolValueCommand(cs, t, wire, kToolTagDiameter, ui, hooks);
    EXPECT_DOUBLE_EQ(t.wireTool.noseRadius, 0.15);
    ui.keypadAnswers.push_back(0.1);
    editToolValueCommand(cs, t, wire, kToolTagNoseRadius, ui, hooks);
    EXPECT_DOUBLE_EQ(t.wireTool.diameter, 0.2);
    ui.keypadAnswers.push_back(-300);  // wire end heights are not range-checked
    editToolValueCommand(cs, t, wire, kToolTagAngleB, ui, hooks);
    EXPECT_EQ(t.wireTool.angleB, -300);

    // A cancelled edit changes nothing but still refreshes.
    const int before = refreshes;
    editToolValueCommand(cs, t, wire, kToolTagDiameter, ui, hooks);
    EXPECT_DOUBLE_EQ(t.wireTool.diameter, 0.2);
    EXPECT_EQ(refreshes, before + 1);
}

TEST_F(ToolCommands, TWordSelection) {
    add(MachineKind::Lathe, 3);
    selectToolCommand(cs, t, MachineKind::Lathe, 0, hooks);
    EXPECT_EQ(selectToolByTWord(t, MachineKind::Lathe, 303, 0), 1);
    EXPECT_EQ(t.workingTool.number, 3);
    EXPECT_EQ(selectToolByTWord(t, MachineKind::Lathe, 3003, 1), 1);
    EXPECT_EQ(selectToolByTWord(t, MachineKind::Lathe, 404, 0), 0);  // not in the list: "-"
    add(MachineKind::VerticalMill, 12);
    selectToolCommand(cs, t, MachineKind::VerticalMill, 0, hooks);
    EXPECT_EQ(selectToolByTWord(t, MachineKind::VerticalMill, 12, 0), 1);
    EXPECT_EQ(t.loadedToolIndex, 0);  // the mill loads at M06, not at the T word
}

TEST_F(ToolCommands, InitialiseColourAndHolder) {
    add(MachineKind::VerticalMill, 4);
    ui.yesNoAnswers.push_back(false);
    initialiseToolsCommand(cs, t, MachineKind::VerticalMill, ui, 0x123456, hooks);
    EXPECT_EQ(t.millTools.size(), 2u);
    ui.yesNoAnswers.push_back(true);
    initialiseToolsCommand(cs, t, MachineKind::VerticalMill, ui, 0x123456, hooks);
    EXPECT_EQ(ui.log.back(), "ask:初期化しますか?");
    EXPECT_EQ(t.millTools.size(), 1u);
    EXPECT_EQ(t.millTools[0].color, 0x123456);
    EXPECT_EQ(t.wireTool.angleA, 100);
    EXPECT_EQ(cs.items("ComboBox1"), (std::vector<std::string>{"-"}));

    ui.colourAnswers.push_back(0x0000FF);
    toolColourCommand(cs, t, MachineKind::VerticalMill, ui, hooks);
    EXPECT_EQ(t.millTools[0].color, 0x0000FF);
    EXPECT_EQ(cs.get("panel_t_color").color, 0x0000FFu);

    int32_t holder = 2;
    holderKindCommand(cs, holder, 5, hooks);
    EXPECT_EQ(holder, 5);
    EXPECT_EQ(cs.itemIndex("combo_holder"), 5);
    holderKindCommand(cs, holder, 9, hooks);
    EXPECT_EQ(holder, 5);
}

}  // namespace
}  // namespace vantrel
