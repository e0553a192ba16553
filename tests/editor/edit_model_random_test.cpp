// Long random edit sessions: after every step the store keeps its terminator rules, the incremental
// layout agrees with a layout made from scratch, and undoing everything gives the first text back.
#include <gtest/gtest.h>

#include <random>
#include <string>

#include "editor/edit_model.h"

namespace vantrel {
namespace {

void checkInvariants(const TQuonStrings& store, const EditModel& ed) {
    ASSERT_GE(store.count(), 1);
    for (int32_t i = 0; i + 1 < store.count(); ++i) {
        const std::string& l = store.Get(i);
        ASSERT_TRUE(l.size() >= 2 && l.compare(l.size() - 2, 2, "\r\n") == 0) << "line " << i;
    }
    const std::string& last = store.Get(store.count() - 1);
    ASSERT_TRUE(last.empty() || (last.size() > 2 && last[last.size() - 2] == '\0' && last.back() == '\0'))
        << "last line";
    TQuonStrings copy;
    copy.SetText(store.Text());
    ASSERT_EQ(copy, store);
    EditModel fresh(copy);
    ASSERT_EQ(fresh.rowCount(), ed.rowCount());
    const TextPos c = ed.caret();
    ASSERT_TRUE(c.line >= 0 && c.line < store.count());
    ASSERT_TRUE(c.col >= 0 && c.col <= static_cast<int32_t>(store.lineText(c.line).size()));
}

TEST(EditModelRandom, SessionsKeepTheStoreAndLayoutConsistent) {
    const char* pieces[] = {"G01 ", "X10.", "\n",   "(コメント)",  "漢字",       "ｶﾅ",
                            "\t",   "A",    "\r\n", "(long line)", "ひら\nがな", "Ｘ１"};
    const std::string longPiece(80, 'W');
    for (uint32_t seed = 1; seed <= 20; ++seed) {
        std::mt19937 rng(seed);
        TQuonStrings store;
        store.SetText("O0001\nG90 G54\nM30");
        EditModel ed(store);
        std::string clip;
        ed.setClipboard([&](const std::string& t) { clip = t; }, [&] { return clip; });
        ed.setPageRows(5);
        const std::string first = store.Text();
        for (int step = 0; step < 300; ++step) {
            const int op = static_cast<int>(rng() % 12);
            const KeyMods mods{rng() % 3 == 0, rng() % 3 == 0};
            switch (op) {
                case 0:
                case 1: {
                    const auto k = rng() % std::size(pieces);
                    ed.typeText(k == 9 ? longPiece : std::string(pieces[k]));
                    break;
                }
                case 2:
                    ed.keyPress(static_cast<EditKey>(rng() % (static_cast<int>(EditKey::Other) + 1)), mods);
                    break;
                case 3:
                    ed.setCaret({static_cast<int32_t>(rng() % 8), static_cast<int32_t>(rng() % 30)},
                                mods.shift);
                    break;
                case 4:
                    ed.keyPress(EditKey::Backspace, mods);
                    break;
                case 5:
                    ed.keyPress(EditKey::Delete, mods);
                    break;
                case 6:
                    ed.keyPress(EditKey::Enter);
                    break;
                case 7:
                    ed.keyPress(EditKey::Right, mods);
                    break;
                case 8:
                    ed.keyPress(EditKey::Left, mods);
                    break;
                case 9:
                    ed.keyPress(EditKey::Down, mods);
                    break;
                case 10:
                    ed.paste();
                    break;
                case 11:
                    ed.setOverwrite(rng() % 4 == 0);
                    break;
            }
            ASSERT_NO_FATAL_FAILURE(checkInvariants(store, ed)) << "seed " << seed << " step " << step;
        }
        ed.setReadOnly(false);
        const std::string last = store.Text();
        if (!ed.history().cutShort()) {
            while (ed.undo()) {
            }
            EXPECT_EQ(store.Text(), first) << "seed " << seed;
            while (ed.redo()) {
            }
            EXPECT_EQ(store.Text(), last) << "seed " << seed;
        }
    }
}

}  // namespace
}  // namespace vantrel
