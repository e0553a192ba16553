#include "nc/apply_block.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include "app/modal_labels.h"
#include "core/control_set.h"
#include "platform/main_thread.h"
#include "program/quon_strings.h"
#include "stock/stock_spec.h"

namespace vantrel {
namespace {

// Runs every call in place and counts them, so a test sees that the text changed through it.
class CountingMainThread final : public MainThread {
  public:
    int calls = 0;
    void invoke(const std::function<void()>& fn) override {
        ++calls;
        fn();
    }
    bool isMainThread() const override { return false; }
};

class ApplyBlockTest : public ::testing::Test {
  protected:
    void SetUp() override {
        addModalStatusControls(cs);
        for (const char* name : {"menu_error", "menu_play_ton", "menu_okupitch"}) {
            Control c;
            c.name = name;
            c.kind = ControlKind::MenuItem;
            cs.add(c);
        }
        stock.pitch = 0.5;
        hooks.tools = {{1, 10, 100}, {2, 6, 80}, {1001, 20, 120}, {5, 8, 90}};
        initModalLabelsForPass(cs);
    }

    // Scans the text and applies every block in order, as the executor would.
    void run(const std::string& text) {
        prog.SetText(text);
        ScanState st;
        st.startPass(0);
        BlockQueue q;
        ctx.switches = modalSwitchesFrom(cs);
        for (int k = 0; k < 10000; ++k) {
            FetchBlock(prog, st, q);
            if (q[0].count > 0) {
                ApplyBlock(m, q[0], ctx);
                finishBlockSetup(m);
            }
            if (st.exhausted || st.programEnded) break;
        }
    }
    bool on(const char* label) const { return cs.enabled(label); }

    ControlSet cs;
    StandInModalHooks hooks;
    CountingMainThread mt;
    TQuonStrings prog;
    StockSpec stock;
    ModalState m;
    ModalLabels labels{cs};
    ModalContext ctx{labels, hooks, mt, &prog, stock};
};

TEST_F(ApplyBlockTest, PassStartLabels) {
    for (const char* l : {"label_g00", "label_g17", "label_g40", "label_g49", "label_g90", "label_g94",
                          "label_g97", "label_m05", "label_m09", "label_t1", "label_ctime"})
        EXPECT_TRUE(on(l)) << l;
    for (const char* l :
         {"label_g01", "label_g02", "label_g41", "label_g91", "label_g95", "label_m03", "label_g062"})
        EXPECT_FALSE(on(l)) << l;
    EXPECT_EQ(cs.caption("label_s"), "0");
    EXPECT_TRUE(cs.visible("label_g94"));
    EXPECT_FALSE(cs.visible("label_g98"));
    disableModalLabels(cs);
    EXPECT_FALSE(on("label_g00"));
    EXPECT_FALSE(on("label_ctime"));
}

TEST_F(ApplyBlockTest, GroupsLaterWordWinsAndLabelsFollow) {
    run("G01 G00\n");
    EXPECT_EQ(m.motion, 0);
    EXPECT_TRUE(on("label_g00"));
    EXPECT_FALSE(on("label_g01"));
    run("G2.1\n");
    EXPECT_EQ(m.motion, 2);
    EXPECT_TRUE(on("label_g02"));
    EXPECT_FALSE(on("label_g00"));
    run("G81\nG3.1\n");
    EXPECT_EQ(m.motion, 3);
    EXPECT_EQ(m.cycle, 80);
    run("G18 G91 G99 G84\n");
    EXPECT_EQ(m.plane, 1);
    EXPECT_TRUE(on("label_g18"));
    EXPECT_FALSE(on("label_g17"));
    EXPECT_EQ(m.incremental, 1);
    EXPECT_TRUE(on("label_g91"));
    EXPECT_EQ(m.returnLevel, 1);
    EXPECT_EQ(m.cycle, 84);
    run("G7 G1.5 G100 G-1\n");  // unknown codes change nothing
    EXPECT_EQ(m.motion, 3);
    EXPECT_EQ(m.cycle, 84);
}

TEST_F(ApplyBlockTest, RadiusCompOnlyFromOff) {
    m.radiusComp = 2;  // G42 active
    run("G41\n");
    EXPECT_EQ(m.radiusComp, 2);
    run("G40\nG41 D1\n");
    EXPECT_EQ(m.radiusComp, 3);
    EXPECT_TRUE(on("label_g41"));
    EXPECT_FALSE(on("label_g40"));
}

TEST_F(ApplyBlockTest, FeedRules) {
    run("G93 F0.2\n");
    EXPECT_FALSE(on("label_g94"));
    EXPECT_FALSE(on("label_g95"));
    EXPECT_DOUBLE_EQ(m.feedPerRev, 0.2);  // G93 acts like G95
    run("G94 S500\nG84 X1. F1.5\n");
    EXPECT_DOUBLE_EQ(m.feedPerMinute, 750);
    EXPECT_DOUBLE_EQ(m.feedPerRev, 1.5);
    run("G84 F1500\n");
    EXPECT_DOUBLE_EQ(m.feedPerMinute, 1500);  // tapping needs the decimal point
    EXPECT_DOUBLE_EQ(m.feedPerRev, 3);
    EXPECT_EQ(cs.caption("label_f1"), "1500");
    EXPECT_EQ(cs.caption("label_f"), "3");
}

TEST_F(ApplyBlockTest, SpindleSpeedIsAppliedAfterTheFeed) {
    run("G95 S1000 F0.1\n");
    EXPECT_DOUBLE_EQ(m.feedPerMinute, 0);
    EXPECT_DOUBLE_EQ(m.feedPerRev, 0.1);
    run("F0.2\n");
    EXPECT_DOUBLE_EQ(m.feedPerMinute, 200);
    EXPECT_EQ(cs.caption("label_f"), "0.2");
    EXPECT_EQ(cs.caption("label_s"), "1000");  // speedMode 0 at pass start
    run("G97 S2002\n");
    EXPECT_EQ(m.spindleSpeed.load(), 2002);
    EXPECT_EQ(cs.caption("label_s1"), "2002");
}

TEST_F(ApplyBlockTest, FeedPerMinuteWithoutSpindleUsesStockPitch) {
    run("G94 F300\n");
    EXPECT_DOUBLE_EQ(m.feedPerMinute, 300);
    EXPECT_DOUBLE_EQ(m.feedPerRev, 0.5);
}

TEST_F(ApplyBlockTest, StepLength) {
    run("G95 F0.25\n");
    EXPECT_DOUBLE_EQ(m.stepLength, 0.25);
    cs.setChecked("menu_okupitch", true);
    run("F0.3\n");
    EXPECT_DOUBLE_EQ(m.stepLength, 0.5);
    cs.setChecked("menu_okupitch", false);
    // A zero feed per revolution must not become a zero step.
    run("G95 F0.\n");
    EXPECT_DOUBLE_EQ(m.stepLength, 0.5);
    run("G95 F-2.\n");
    EXPECT_GT(m.stepLength, 0);
}

TEST_F(ApplyBlockTest, ToolSelectionAndLabels) {
    run("T5\n");
    EXPECT_EQ(cs.caption("label_t1"), "05");
    EXPECT_EQ(hooks.current, 3);
    run("T12\n");
    EXPECT_EQ(cs.caption("label_t1"), "12");
    EXPECT_EQ(hooks.current, 0);  // not in the list
    run("T1001\n");
    EXPECT_EQ(hooks.current, 2);  // not tool 1000
    run("T" + std::string(400, '9') + "\n");
    EXPECT_EQ(cs.caption("label_t1"), "2147483647");
}

TEST_F(ApplyBlockTest, ToolChangeComesBeforeTheTOfTheSameBlock) {
    hooks.atc = true;
    run("T2 M06\n");
    ASSERT_EQ(hooks.loads.size(), 1u);
    EXPECT_EQ(hooks.loads[0], 0);  // the tool selected before this block
    EXPECT_EQ(hooks.current, 1);
    EXPECT_EQ(cs.caption("label_t0"), "00");
    run("M06\n");
    EXPECT_EQ(hooks.loads.back(), 1);
    ASSERT_EQ(hooks.animations.size(), 2u);
    EXPECT_EQ(hooks.animations[1], std::make_pair(0, 1));
    EXPECT_EQ(cs.caption("label_t0"), "02");
    EXPECT_DOUBLE_EQ(hooks.z, 500 - 80);  // tool-change height: reference Z minus total length

    // With "T (M6) ignored" neither T nor M06 acts.
    cs.setChecked("menu_play_ton", true);
    run("T1 M06\n");
    EXPECT_EQ(hooks.current, 1);
    EXPECT_EQ(hooks.loads.size(), 2u);
}

TEST_F(ApplyBlockTest, ZWarningOnToolChangeOnlyWhenErrorsAreOn) {
    run("T1\nM06\n");
    EXPECT_EQ(prog.Get(1), "M06\r\n");  // menu_error off: nothing written
    hooks.z = 10;
    cs.setChecked("menu_error", true);
    run("T1\nG00 M06\n");
    EXPECT_EQ(std::string(prog.lineText(1)), "(警告！　Z軸原点復帰未完)G00 M06");
    EXPECT_DOUBLE_EQ(hooks.z, 400);
}

TEST_F(ApplyBlockTest, MissingDAndHWarningsAndFallbacks) {
    cs.setChecked("menu_error", true);
    run("T2\nG43 Z50.\nG41 X1.\n");
    EXPECT_EQ(cs.caption("label_g49h"), "!1");
    EXPECT_EQ(cs.caption("label_g40d"), "!1");
    EXPECT_DOUBLE_EQ(m.compRadius, 3);  // diameter 6 of the selected tool
    EXPECT_EQ(std::string(prog.lineText(1)), "(警告！　H指令がありません)G43 Z50.");
    EXPECT_EQ(std::string(prog.lineText(2)), "(警告！　D指令がありません)G41 X1.");
    EXPECT_GE(mt.calls, 2);
    // The warning is a comment: scanning the changed text gives the same words, and a second run
    // does not write it twice.
    std::string again = prog.Text();
    m = ModalState();
    run(again);
    EXPECT_EQ(std::string(prog.lineText(1)), "(警告！　H指令がありません)G43 Z50.");
    EXPECT_EQ(m.radiusComp, 3);

    // With D and H present: no warning, D gives the working tool's radius, labels show the numbers.
    m = ModalState();
    hooks.loaded = 0;
    run("G40\nG43 H7 Z1.\nG41 D12 X1.\n");
    EXPECT_EQ(cs.caption("label_g49h"), "7");
    EXPECT_EQ(cs.caption("label_g40d"), "12");
    EXPECT_DOUBLE_EQ(m.compRadius, 5);
    EXPECT_EQ(prog.Text(), "G40\r\nG43 H7 Z1.\r\nG41 D12 X1.\r\n");
}

TEST_F(ApplyBlockTest, WarningsAreNotWrittenWithoutTheMenuItem) {
    run("G41 X1.\nG43 Z1.\n");
    EXPECT_EQ(prog.Text(), "G41 X1.\r\nG43 Z1.\r\n");
    EXPECT_EQ(mt.calls, 0);
    ctx.program = nullptr;
    cs.setChecked("menu_error", true);
    ctx.switches = modalSwitchesFrom(cs);
    EXPECT_FALSE(WriteWarning(ctx, 0, WarningKind::MissingD));
    ctx.program = &prog;
    EXPECT_FALSE(WriteWarning(ctx, 99, WarningKind::MissingD));  // a line that is not there
    EXPECT_TRUE(WriteWarning(ctx, 0, WarningKind::MissingD));
    EXPECT_FALSE(WriteWarning(ctx, 0, WarningKind::MissingD));
}

TEST_F(ApplyBlockTest, MCodesRegistersAndTheirLimits) {
    run("M03 M08 M05 M04\n");  // the fourth M has no room
    EXPECT_EQ(m.mCodeCount, 3);
    EXPECT_TRUE(on("label_m03"));
    EXPECT_FALSE(on("label_m04"));
    EXPECT_TRUE(on("label_m08"));
    EXPECT_FALSE(on("label_m09"));
    EXPECT_EQ(m.spindle.load(), 1);
    run("M04\n");
    EXPECT_EQ(m.spindle.load(), 2);
    EXPECT_FALSE(on("label_m03"));
    run("X5. #1=3 /Y2.\n");
    EXPECT_DOUBLE_EQ(m.reg('X'), 5);
    EXPECT_DOUBLE_EQ(m.reg('Y'), 2);
    run("N1234 Z1.\n");
    EXPECT_DOUBLE_EQ(m.reg('X'), 5);  // registers keep their values from block to block
    EXPECT_EQ(cs.caption("label_n"), "1234");
    EXPECT_TRUE(m.seen.z);
    EXPECT_FALSE(m.seen.x);
}

TEST_F(ApplyBlockTest, NurbsCollectionAndRunOut) {
    run("G06.2 P3 X1. Y2. Z3. R1. F100.\nX2. Y3.\nX3.\n");
    EXPECT_EQ(m.nurbsState, 1);
    EXPECT_TRUE(on("label_g062"));
    EXPECT_DOUBLE_EQ(m.nurbsOrder, 3);
    ASSERT_EQ(m.nurbsPoints.size(), 3u);
    EXPECT_DOUBLE_EQ(m.nurbsPoints[1].x, 2);
    EXPECT_DOUBLE_EQ(m.nurbsPoints[1].z, 3);
    EXPECT_DOUBLE_EQ(m.nurbsPoints[0].f, 100 + kFeedDecimalMarker);
    EXPECT_TRUE(m.blockMakesNoMove());
    // Any G word ends the collection first.
    run("G90 X9.\n");
    EXPECT_EQ(hooks.runOuts, 1);
    EXPECT_EQ(hooks.lastRunOutPoints, 3u);
    EXPECT_EQ(m.nurbsState, 0);
    EXPECT_TRUE(m.nurbsPoints.empty());
    EXPECT_FALSE(on("label_g062"));
    EXPECT_FALSE(m.blockMakesNoMove());
    run("G6.2 X1.\n");
    EXPECT_DOUBLE_EQ(m.nurbsOrder, 4);
}

TEST_F(ApplyBlockTest, MirrorAndRotationSetUp) {
    prog.SetText("G51.1 X10.\n");
    ScanState st;
    st.startPass(0);
    BlockQueue q;
    FetchBlock(prog, st, q);
    ApplyBlock(m, q[0], ctx);
    EXPECT_TRUE(m.blockMakesNoMove());
    finishBlockSetup(m);
    EXPECT_EQ(m.mirrorState, 1);
    EXPECT_TRUE(m.mirrorAxis[0]);
    EXPECT_FALSE(m.mirrorAxis[1]);
    EXPECT_DOUBLE_EQ(m.mirrorCentre[0], 10);
    run("G50.1 X0\n");
    EXPECT_EQ(m.mirrorState, 0);
    EXPECT_FALSE(m.mirrorAxis[0]);

    run("G18 G68 X5. Z7. R90.\n");
    EXPECT_EQ(m.rotationState, 1);
    EXPECT_TRUE(m.rotationZX);
    EXPECT_FALSE(m.rotationXY);
    EXPECT_DOUBLE_EQ(m.rotationCentre[0], 5);
    EXPECT_DOUBLE_EQ(m.rotationCentre[2], 7);
    EXPECT_NEAR(m.rotationAngle, M_PI / 2, 1e-12);
    run("G69\nG17 G68 X1.\n");  // no R: angle 0; the missing Y keeps its register value
    EXPECT_TRUE(m.rotationXY);
    EXPECT_DOUBLE_EQ(m.rotationAngle, 0);
    EXPECT_DOUBLE_EQ(m.rotationCentre[1], m.reg('Y'));
    // Set-up waits for a block with an axis word.
    run("G69\nG68\n");
    EXPECT_EQ(m.rotationState, 2);
    run("G4 P1.\n");
    EXPECT_EQ(m.rotationState, 2);
    EXPECT_TRUE(m.blockMakesNoMove());
}

}  // namespace
}  // namespace vantrel
