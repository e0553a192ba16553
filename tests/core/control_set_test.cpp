#include <gtest/gtest.h>

#include "core/control_set.h"

using namespace vantrel;

namespace {
Control make(const std::string& name, ControlKind kind) {
    Control c;
    c.name = name;
    c.kind = kind;
    return c;
}
}  // namespace

TEST(ControlSet, CheckBoxFromCodeRunsItsCommandOnlyOnChange) {
    ControlSet cs;
    cs.add(make("checkbox_atc", ControlKind::CheckBox));
    int runs = 0;
    bool seen = false;
    cs.bind("checkbox_atc", [&](const Control& c) {
        ++runs;
        seen = c.checked;
    });
    cs.setCheckBox("checkbox_atc", true);
    EXPECT_EQ(runs, 1);
    EXPECT_TRUE(seen);
    cs.setCheckBox("checkbox_atc", true);  // no change: no command
    EXPECT_EQ(runs, 1);
    cs.click("checkbox_atc");  // a click flips and runs
    EXPECT_EQ(runs, 2);
    EXPECT_FALSE(cs.checked("checkbox_atc"));
}

TEST(ControlSet, ComboSelectionAndMenuCheckFromCodeRunNoCommand) {
    ControlSet cs;
    Control combo = make("combo_holder", ControlKind::ComboBox);
    combo.items = {"a", "b", "c"};
    cs.add(combo);
    cs.add(make("menu_grid", ControlKind::MenuItem));
    int runs = 0;
    cs.bind("combo_holder", [&](const Control&) { ++runs; });
    cs.bind("menu_grid", [&](const Control&) { ++runs; });
    cs.setItemIndex("combo_holder", 2);
    cs.setChecked("menu_grid", true);
    EXPECT_EQ(runs, 0);
    EXPECT_EQ(cs.itemIndex("combo_holder"), 2);
    EXPECT_TRUE(cs.checked("menu_grid"));
    cs.setItemIndex("combo_holder", 7);  // out of range: nothing selected
    EXPECT_EQ(cs.itemIndex("combo_holder"), -1);
    cs.selectItem("combo_holder", 1);  // a user's choice runs it
    EXPECT_EQ(runs, 1);
    cs.click("menu_grid");
    EXPECT_EQ(runs, 2);
}

TEST(ControlSet, SpeedButtonGroups) {
    ControlSet cs;
    for (auto n : {"sb_a", "sb_b", "sb_c"}) {
        Control c = make(n, ControlKind::SpeedButton);
        c.group = 3;
        cs.add(c);
    }
    Control loose = make("sb_loose", ControlKind::SpeedButton);
    loose.group = 9;
    loose.allowAllUp = true;
    cs.add(loose);
    cs.click("sb_a");
    EXPECT_TRUE(cs.checked("sb_a"));
    cs.click("sb_b");
    EXPECT_FALSE(cs.checked("sb_a"));
    EXPECT_TRUE(cs.checked("sb_b"));
    cs.click("sb_b");  // a radio group keeps one button down
    EXPECT_TRUE(cs.checked("sb_b"));
    cs.setChecked("sb_c", true);  // from code: releases the others too
    EXPECT_FALSE(cs.checked("sb_b"));
    cs.click("sb_loose");
    EXPECT_TRUE(cs.checked("sb_loose"));
    cs.click("sb_loose");  // an all-up group releases
    EXPECT_FALSE(cs.checked("sb_loose"));
    EXPECT_TRUE(cs.checked("sb_c"));  // other groups untouched
}

TEST(ControlSet, DisabledControlsIgnoreClicksAndObserversSeeChangesInOrder) {
    ControlSet cs;
    cs.add(make("sb_play", ControlKind::SpeedButton));
    cs.add(make("label_n", ControlKind::Label));
    int runs = 0;
    cs.bind("sb_play", [&](const Control&) { ++runs; });
    std::vector<std::string> seen;
    int id = cs.subscribe([&](const Control& c, ControlChange ch) {
        seen.push_back(c.name + ":" + std::to_string(static_cast<int>(ch)) + ":" + c.caption);
    });
    cs.setEnabled("sb_play", false);
    cs.click("sb_play");
    EXPECT_EQ(runs, 0);
    cs.setCaption("label_n", "N10");
    cs.setCaption("label_n", "N10");  // unchanged: no notification
    cs.setCaption("label_n", "N20");
    cs.unsubscribe(id);
    cs.setCaption("label_n", "N30");
    ASSERT_EQ(seen.size(), 3u);
    EXPECT_EQ(seen[1], "label_n:0:N10");
    EXPECT_EQ(seen[2], "label_n:0:N20");
    EXPECT_EQ(cs.caption("label_n"), "N30");
    EXPECT_FALSE(cs.add(make("label_n", ControlKind::Label)));  // names are unique
    EXPECT_EQ(cs.caption("no_such_control"), "");
}

TEST(ControlSet, PositionsClampToTheirRange) {
    ControlSet cs;
    Control sb = make("ScrollBar1", ControlKind::ScrollBar);
    sb.maximum = 5000;
    cs.add(sb);
    cs.setPosition("ScrollBar1", 9000);
    EXPECT_EQ(cs.position("ScrollBar1"), 5000);
    cs.setPosition("ScrollBar1", -3);
    EXPECT_EQ(cs.position("ScrollBar1"), 0);
}
