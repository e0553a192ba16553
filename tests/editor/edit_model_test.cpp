#include "editor/edit_model.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "editor/char_class.h"

namespace vantrel {
namespace {

using Lines = std::vector<std::string>;

Lines linesOf(const TQuonStrings& s) {
    Lines v;
    for (int32_t i = 0; i < s.count(); ++i) v.push_back(s.Get(i));
    return v;
}

const std::string kNul2("\0\0", 2);
const KeyMods kCtrl{true, false};
const KeyMods kShift{false, true};
const KeyMods kCtrlShift{true, true};

struct Editor {
    TQuonStrings store;
    EditModel ed{store};
    std::string clip;
    Editor() {
        ed.setClipboard([this](const std::string& t) { clip = t; }, [this] { return clip; });
    }
    explicit Editor(std::string_view text) : Editor() {
        store.SetText(text);
        ed.refresh();
    }
    // Positions the caret, presses Ctrl+Right until the end of the line and lists the stops.
    std::vector<int32_t> wordStopsRight(int32_t line) {
        ed.setCaret({line, 0});
        std::vector<int32_t> stops;
        const auto len = static_cast<int32_t>(store.lineText(line).size());
        while (ed.caret().col < len) {
            ed.keyPress(EditKey::Right, kCtrl);
            stops.push_back(ed.caret().col);
        }
        return stops;
    }
};

TEST(CharClass, TableOfCp932Codes) {
    EXPECT_EQ(charClassOfCp932(0x82A0), 0);  // あ
    EXPECT_EQ(charClassOfCp932(0x8341), 1);  // ア
    EXPECT_EQ(charClassOfCp932(0x889F), 2);  // 亜: first kanji
    EXPECT_EQ(charClassOfCp932(0x8250), 3);  // ０ (full-width digits start at 0x824F)
    EXPECT_EQ(charClassOfCp932(0x8140), 4);  // full-width space
    EXPECT_EQ(charClassOfCp932(0x8397), 4);  // Α (Greek)
    EXPECT_EQ(charClassOfCp932(0x889E), 4);
    EXPECT_EQ(charClassOfCp932(0xB1), 5);  // half-width ｱ
    EXPECT_EQ(charClassOfCp932('7'), 6);
    EXPECT_EQ(charClassOfCp932('G'), 6);
    EXPECT_EQ(charClassOfCp932('_'), 6);
    EXPECT_EQ(charClassOfCp932(' '), 7);
    EXPECT_EQ(charClassOfCp932('.'), 7);
    EXPECT_EQ(charClassOfCp932(';'), 7);
    EXPECT_EQ(charClassOfCp932(0x80), 2);
    EXPECT_EQ(charClassOfCp932(0xE0), 7);
}

TEST(CharClass, UnicodeCharactersGoThroughTheirCp932Code) {
    EXPECT_EQ(charClass(U'ぁ'), 0);
    EXPECT_EQ(charClass(U'ん'), 0);
    EXPECT_EQ(charClass(U'カ'), 1);
    EXPECT_EQ(charClass(U'ヶ'), 1);
    EXPECT_EQ(charClass(U'漢'), 2);
    EXPECT_EQ(charClass(U'Ａ'), 3);
    EXPECT_EQ(charClass(U'９'), 3);
    EXPECT_EQ(charClass(U'、'), 4);
    EXPECT_EQ(charClass(U'α'), 4);
    EXPECT_EQ(charClass(U'ｶ'), 5);
    EXPECT_EQ(charClass(U'😀'), 2);                       // no CP932 form: "every other code"
    EXPECT_EQ(charClass(char32_t(0x10FF00 + 0xB1)), 5);  // a byte of a CP932 file kept as itself
    EXPECT_EQ(charColumns(U'ｶ'), 1);
    EXPECT_EQ(charColumns(U'漢'), 2);
    EXPECT_EQ(charColumns(U'A'), 1);
}

TEST(EditModelWords, CtrlRightStopsAtEveryClassChange) {
    Editor e("G01X10.5(ひらがなカタカナ漢字ＡＢ１、ｶﾀ)");
    // G01X10 | . | 5 | ( | ひらがな | カタカナ | 漢字 | ＡＢ１ | 、 | ｶﾀ | )
    const std::string t(e.store.lineText(0));
    std::vector<int32_t> expect;
    for (const char* piece :
         {"G01X10", ".", "5", "(", "ひらがな", "カタカナ", "漢字", "ＡＢ１", "、", "ｶﾀ", ")"}) {
        expect.push_back((expect.empty() ? 0 : expect.back()) +
                         static_cast<int32_t>(std::string(piece).size()));
    }
    EXPECT_EQ(e.wordStopsRight(0), expect);
    // And back again with Ctrl+Left: the same stops in reverse, ending at the start.
    std::vector<int32_t> back;
    while (e.ed.caret().col > 0) {
        e.ed.keyPress(EditKey::Left, kCtrl);
        back.push_back(e.ed.caret().col);
    }
    std::vector<int32_t> expectBack(expect.rbegin() + 1, expect.rend());
    expectBack.push_back(0);
    EXPECT_EQ(back, expectBack);
}

TEST(EditModelWords, TabsBreaksAndTheEndAreSingleSteps) {
    Editor e("AB\t\tCD\nEF");
    EXPECT_EQ(e.wordStopsRight(0), (std::vector<int32_t>{2, 3, 4, 6}));
    e.ed.keyPress(EditKey::Right, kCtrl);  // over the line break
    EXPECT_EQ(e.ed.caret(), (TextPos{1, 0}));
    e.ed.keyPress(EditKey::Left, kCtrl);  // and back over it
    EXPECT_EQ(e.ed.caret(), (TextPos{0, 6}));
    e.ed.setCaret({1, 2});
    e.ed.keyPress(EditKey::Right, kCtrl);  // end of the text: stays
    EXPECT_EQ(e.ed.caret(), (TextPos{1, 2}));
    e.ed.setCaret({0, 0});
    e.ed.keyPress(EditKey::Left, kCtrl);
    EXPECT_EQ(e.ed.caret(), (TextPos{0, 0}));
}

TEST(EditModelWords, WordDeletionUsesTheSameClasses) {
    Editor e("X10.ひらがな漢字");
    e.ed.setCaret({0, static_cast<int32_t>(std::string("X10.ひらがな漢字").size())});
    e.ed.keyPress(EditKey::Backspace, kCtrl);
    EXPECT_EQ(e.store.lineText(0), "X10.ひらがな");
    e.ed.keyPress(EditKey::Backspace, kCtrl);
    EXPECT_EQ(e.store.lineText(0), "X10.");
    e.ed.setCaret({0, 0});
    e.ed.keyPress(EditKey::Delete, kCtrl);
    EXPECT_EQ(e.store.lineText(0), ".");
    // At the end of a line word deletion joins the next line: one step.
    Editor j("AB\nCD");
    j.ed.setCaret({0, 2});
    j.ed.keyPress(EditKey::Delete, kCtrl);
    EXPECT_EQ(linesOf(j.store), (Lines{"ABCD" + kNul2}));
}

TEST(EditModelEditing, TypingKeepsTheStoreTerminators) {
    Editor e;
    EXPECT_EQ(linesOf(e.store), (Lines{""}));
    e.ed.typeText("O1234");
    EXPECT_EQ(linesOf(e.store), (Lines{"O1234" + kNul2}));
    e.ed.keyPress(EditKey::Enter);
    EXPECT_EQ(linesOf(e.store), (Lines{"O1234\r\n", ""}));
    e.ed.typeText("G00 X0\r\nG01 Y1\rM30");
    EXPECT_EQ(linesOf(e.store), (Lines{"O1234\r\n", "G00 X0\r\n", "G01 Y1\r\n", "M30" + kNul2}));
    EXPECT_EQ(e.ed.caret(), (TextPos{3, 3}));
    // Backspace over a line start joins the lines.
    e.ed.setCaret({2, 0});
    e.ed.keyPress(EditKey::Backspace);
    EXPECT_EQ(linesOf(e.store), (Lines{"O1234\r\n", "G00 X0G01 Y1\r\n", "M30" + kNul2}));
    // Plain Delete at the very end of the text changes nothing.
    e.ed.keyPress(EditKey::End, kCtrl);
    EXPECT_FALSE(e.ed.deleteForward());
    // Everything deleted: one empty line, as a fresh store.
    e.ed.selectAll();
    e.ed.keyPress(EditKey::Delete);
    EXPECT_EQ(linesOf(e.store), (Lines{""}));
}

TEST(EditModelEditing, OverwriteReplacesCharactersButNotTheBreak) {
    Editor e("ABC\nD");
    e.ed.keyPress(EditKey::Insert);
    EXPECT_TRUE(e.ed.overwrite());
    e.ed.setCaret({0, 1});
    e.ed.typeText("あい");
    e.ed.typeText("う");
    EXPECT_EQ(linesOf(e.store), (Lines{"Aあいう\r\n", "D" + kNul2}));
    e.ed.keyPress(EditKey::Z, kCtrl);
    EXPECT_EQ(e.store.lineText(0), "Aあい");  // one undo takes back the last replacement
}

TEST(EditModelEditing, ReadOnlyRefusesEveryChangeButCopy) {
    Editor e("G01 X1\nM30");
    e.ed.setReadOnly(true);
    e.ed.selectAll();
    EXPECT_FALSE(e.ed.typeText("X"));
    EXPECT_FALSE(e.ed.keyPress(EditKey::Enter) && e.store.count() != 2);
    e.ed.keyPress(EditKey::Backspace);
    e.ed.keyPress(EditKey::Delete, kCtrl);
    e.ed.keyPress(EditKey::X, kCtrl);
    e.clip = "junk";
    e.ed.selectAll();
    e.ed.keyPress(EditKey::V, kCtrl);
    EXPECT_FALSE(e.ed.clearAll());
    EXPECT_EQ(e.store.Text(), "G01 X1\r\nM30");
    e.ed.selectAll();
    e.ed.keyPress(EditKey::C, kCtrl);
    EXPECT_EQ(e.clip, "G01 X1\nM30");
    EXPECT_FALSE(e.ed.modified());
    // A warning written into the store during the play shows once the play ends.
    e.store.Insert(1, "(WARNING)\r\n");
    e.ed.setReadOnly(false);
    EXPECT_EQ(e.ed.rowCount(), 3);
    EXPECT_EQ(e.ed.row(1).line, 1);
    EXPECT_FALSE(e.ed.canUndo());
}

TEST(EditModelUndo, UndoRedoSequences) {
    Editor e;
    int modifiedEvents = 0, redoEvents = 0;
    e.ed.onModified = [&] { ++modifiedEvents; };
    e.ed.onRedoModeChanged = [&] { ++redoEvents; };
    for (char c : std::string("G01")) e.ed.typeText(std::string(1, c));  // typing merges
    e.ed.keyPress(EditKey::Enter);
    e.ed.typeText("X5");
    EXPECT_EQ(e.store.Text(), "G01\r\nX5");
    EXPECT_EQ(modifiedEvents, 1);
    e.ed.keyPress(EditKey::Z, kCtrl);
    EXPECT_EQ(e.store.Text(), "G01\r\n");
    e.ed.keyPress(EditKey::Z, kCtrl);
    EXPECT_EQ(e.store.Text(), "G01");
    e.ed.keyPress(EditKey::Z, kCtrl);
    EXPECT_EQ(e.store.Text(), "");
    EXPECT_EQ(linesOf(e.store), (Lines{""}));
    EXPECT_FALSE(e.ed.undo());
    e.ed.keyPress(EditKey::Y, kCtrl);
    e.ed.keyPress(EditKey::Z, kCtrlShift);
    EXPECT_EQ(e.store.Text(), "G01\r\n");
    // A selection replaced by typing is one step.
    e.ed.redo();
    e.ed.select({0, 1}, {1, 1});
    e.ed.typeText("Z");
    EXPECT_EQ(e.store.Text(), "GZ5");
    EXPECT_FALSE(e.ed.canRedo());  // a new edit drops the redo list
    e.ed.undo();
    EXPECT_EQ(e.store.Text(), "G01\r\nX5");
    e.ed.redo();
    EXPECT_EQ(e.store.Text(), "GZ5");
    EXPECT_GE(redoEvents, 2);
    // Cut, word deletion and paste of several lines undo and redo exactly.
    e.ed.selectAll();
    e.ed.cut();
    EXPECT_EQ(e.store.Text(), "");
    e.ed.paste();
    e.ed.typeText(" ");
    e.ed.paste();
    e.ed.keyPress(EditKey::Backspace, kCtrl);
    const std::string after = e.store.Text();
    EXPECT_EQ(after, "GZ5 ");
    for (int i = 0; i < 4; ++i) e.ed.undo();
    EXPECT_EQ(e.store.Text(), "");
    for (int i = 0; i < 4; ++i) e.ed.redo();
    EXPECT_EQ(e.store.Text(), after);
}

TEST(EditModelUndo, HistoryIsBoundedByUndoBuf) {
    Editor e;
    e.ed.setUndoLimit(10);
    e.ed.insertText("ABCD");  // 4 bytes
    e.ed.insertText("EFGH");  // 8
    EXPECT_FALSE(e.ed.history().cutShort());
    e.ed.insertText("IJKL");  // 12 > 10: the oldest goes
    EXPECT_TRUE(e.ed.history().cutShort());
    EXPECT_EQ(e.ed.history().undoCount(), 2u);
    EXPECT_LE(e.ed.history().totalBytes(), 10u);
    e.ed.undo();
    e.ed.undo();
    EXPECT_FALSE(e.ed.undo());
    EXPECT_EQ(e.store.Text(), "ABCD");
    // A record larger than the whole bound empties the history rather than leaving records that no
    // longer match the text.
    e.ed.redo();
    e.ed.insertText("0123456789ABC");
    EXPECT_FALSE(e.ed.canUndo());
    EXPECT_EQ(e.store.Text(), "ABCDEFGH0123456789ABC");
    e.ed.insertText("x");
    e.ed.undo();
    EXPECT_EQ(e.store.Text(), "ABCDEFGH0123456789ABC");
}

TEST(EditModelKeys, KeyboardMap) {
    Editor e("ONE\nTWO LINE\nTHREE");
    e.ed.setCaret({1, 5});
    e.ed.keyPress(EditKey::Home);
    EXPECT_EQ(e.ed.caret(), (TextPos{1, 0}));
    e.ed.keyPress(EditKey::End);
    EXPECT_EQ(e.ed.caret(), (TextPos{1, 8}));
    e.ed.keyPress(EditKey::Comma, kCtrl);
    EXPECT_EQ(e.ed.caret(), (TextPos{1, 0}));
    e.ed.keyPress(EditKey::Period, kCtrl);
    EXPECT_EQ(e.ed.caret(), (TextPos{1, 8}));
    e.ed.keyPress(EditKey::Home, kCtrlShift);
    EXPECT_EQ(e.ed.selectedText(), "ONE\nTWO LINE");
    e.ed.keyPress(EditKey::Escape);
    EXPECT_FALSE(e.ed.hasSelection());
    e.ed.keyPress(EditKey::End, kCtrl);
    EXPECT_EQ(e.ed.caret(), (TextPos{2, 5}));
    e.ed.keyPress(EditKey::Up);
    EXPECT_EQ(e.ed.caret(), (TextPos{1, 5}));
    e.ed.keyPress(EditKey::Up);
    EXPECT_EQ(e.ed.caret(), (TextPos{0, 3}));
    e.ed.keyPress(EditKey::Down);
    EXPECT_EQ(e.ed.caret(), (TextPos{1, 5}));  // remembers the column it came from
    e.ed.keyPress(EditKey::Left, kShift);
    e.ed.keyPress(EditKey::Left, kShift);
    EXPECT_EQ(e.ed.selectedText(), " L");
    e.ed.keyPress(EditKey::Insert, kCtrl);  // copy
    EXPECT_EQ(e.clip, " L");
    e.ed.keyPress(EditKey::Delete, kShift);  // cut
    EXPECT_EQ(e.store.lineText(1), "TWOINE");
    e.ed.keyPress(EditKey::Insert, kShift);  // paste
    EXPECT_EQ(e.store.lineText(1), "TWO LINE");
    e.ed.keyPress(EditKey::Tab);
    EXPECT_EQ(e.store.lineText(1), "TWO L\tINE");
    e.ed.keyPress(EditKey::A, kCtrl);
    EXPECT_EQ(e.ed.selectedText(), "ONE\nTWO L\tINE\nTHREE");
    // A letter without Ctrl is text for the caller to type; an unmapped key with Ctrl only scrolls.
    EXPECT_FALSE(e.ed.keyPress(EditKey::C));
    EXPECT_TRUE(e.ed.keyPress(EditKey::Other, kCtrl));
    EXPECT_EQ(e.ed.selectedText(), "ONE\nTWO L\tINE\nTHREE");
    e.ed.keyPress(EditKey::Insert);
    EXPECT_TRUE(e.ed.overwrite());
}

TEST(EditModelLayout, WrapsAtColumn72WithWideCharactersAndTabs) {
    Editor e(std::string(150, 'A') + "\n" + std::string(71, 'B') + "漢字" + "\n\tX");
    EXPECT_EQ(e.ed.rowCount(), 3 + 2 + 1);
    EXPECT_EQ(e.ed.rowStarts(0), (std::vector<int32_t>{0, 72, 144}));
    // A wide character that would cross column 72 starts the next row.
    EXPECT_EQ(e.ed.rowStarts(1), (std::vector<int32_t>{0, 71}));
    EXPECT_EQ(e.ed.columnOf({2, 1}), 6);  // tab width 6
    const RowSpan r = e.ed.row(4);
    EXPECT_EQ(r.line, 1);
    EXPECT_EQ(r.begin, 71);
    EXPECT_TRUE(r.lastOfLine);
    // Down from the first row keeps the screen column across wrapped rows.
    e.ed.setCaret({0, 10});
    e.ed.keyPress(EditKey::Down);
    EXPECT_EQ(e.ed.caret(), (TextPos{0, 82}));
    e.ed.keyPress(EditKey::Down);
    e.ed.keyPress(EditKey::Down);
    EXPECT_EQ(e.ed.rowOf(e.ed.caret()), 3);
    EXPECT_EQ(e.ed.caret(), (TextPos{1, 10}));
    // Clicking in the middle of a wide character picks its nearer edge.
    EXPECT_EQ(e.ed.posAt(4, 1), (TextPos{1, 74}));
    EXPECT_EQ(e.ed.posAt(4, 0), (TextPos{1, 71}));
    // Typing into a wrapped line lays out only what changed and keeps the total right.
    e.ed.setCaret({1, 0});
    e.ed.typeText(std::string(80, 'C'));
    EXPECT_EQ(e.ed.rowCount(), 3 + 3 + 1);
    e.ed.setWordWrap(false);
    EXPECT_EQ(e.ed.rowCount(), 3);
}

TEST(EditModelLayout, PagesAndScrolling) {
    std::string text;
    for (int i = 0; i < 100; ++i) text.append("N").append(std::to_string(i)).append("\n");
    Editor e(text);
    e.ed.setPageRows(10);
    e.ed.keyPress(EditKey::PageDown);
    EXPECT_EQ(e.ed.caret().line, 10);
    EXPECT_EQ(e.ed.topRow(), 10);
    e.ed.keyPress(EditKey::End, kCtrl);
    EXPECT_EQ(e.ed.caret().line, 100);
    EXPECT_EQ(e.ed.topRow(), 91);
    e.ed.keyPress(EditKey::PageUp);
    EXPECT_EQ(e.ed.caret().line, 90);
    // Keys first bring the caret into view.
    e.ed.setTopRow(0);
    e.ed.keyPress(EditKey::Other, kCtrl);
    EXPECT_EQ(e.ed.topRow(), 81);
}

TEST(EditModelEditing, StoreClearedFromOutsideStillTakesTyping) {
    Editor e("G01");
    e.store.Clear();
    EXPECT_EQ(e.ed.rowCount(), 1);
    EXPECT_EQ(e.ed.row(0).end, 0);
    e.ed.setCaret({5, 5});
    EXPECT_EQ(e.ed.caret(), (TextPos{0, 0}));
    EXPECT_TRUE(e.ed.typeText("M30"));
    EXPECT_EQ(linesOf(e.store), (Lines{"M30" + kNul2}));
}

TEST(EditModelClipboard, BreaksOfEveryConventionBecomeStoreBreaks) {
    EXPECT_EQ(normaliseLineBreaks(std::string("A\r\nB\rC\nD\0E", 10)), "A\nB\nC\nDE");
    Editor e("XY");
    e.ed.setCaret({0, 1});
    e.clip = "1\r\n2\n3\r";
    e.ed.paste();
    EXPECT_EQ(linesOf(e.store), (Lines{"X1\r\n", "2\r\n", "3\r\n", "Y" + kNul2}));
    EXPECT_EQ(e.ed.caret(), (TextPos{3, 0}));
    e.ed.select({0, 0}, {2, 1});
    e.ed.copy();
    EXPECT_EQ(e.clip, "X1\n2\n3");
}

TEST(EditModelLayout, ManyLinesInsertedAndRemovedStayConsistent) {
    Editor e("HEAD\nTAIL");
    std::string block;
    for (int i = 0; i < 1000; ++i) block += "G01 X" + std::to_string(i) + "\n";
    e.ed.setCaret({1, 0});
    e.ed.insertText(block);
    EXPECT_EQ(e.store.count(), 1002);
    EXPECT_EQ(e.store.lineText(1), "G01 X0");
    EXPECT_EQ(e.store.lineText(1001), "TAIL");
    EXPECT_EQ(e.ed.rowCount(), 1002);
    e.ed.select({1, 2}, {900, 3});
    e.ed.deleteSelection();
    EXPECT_EQ(e.store.count(), 103);
    EXPECT_EQ(e.store.lineText(1), "G0 X899");
    EXPECT_EQ(e.store.Get(102), "TAIL" + kNul2);
    EXPECT_EQ(e.ed.rowCount(), 103);
    e.ed.undo();
    EXPECT_EQ(e.store.count(), 1002);
    EXPECT_EQ(e.store.lineText(500), "G01 X499");
    e.ed.undo();
    EXPECT_EQ(e.store.Text(), "HEAD\r\nTAIL");
}

}  // namespace
}  // namespace vantrel
