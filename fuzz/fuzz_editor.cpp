// Editing sessions from fuzz bytes: each byte pair is one operation on the editor core. After every
// operation the store must keep its terminator rules, the caret must stay in the text, and the
// incremental layout must agree with one made from scratch.
#include <cstddef>
#include <cstdint>
#include <string>

#include "editor/edit_model.h"

using namespace vantrel;

namespace {

void check(bool ok) {
    if (!ok) __builtin_trap();
}

void checkInvariants(const TQuonStrings& store, const EditModel& ed) {
    check(store.count() >= 1);
    for (int32_t i = 0; i + 1 < store.count(); ++i) {
        const std::string& l = store.Get(i);
        check(l.size() >= 2 && l[l.size() - 2] == '\r' && l.back() == '\n');
    }
    const TextPos c = ed.caret();
    check(c.line >= 0 && c.line < store.count());
    check(c.col >= 0 && c.col <= static_cast<int32_t>(store.lineText(c.line).size()));
    TQuonStrings copy;
    copy.SetText(store.Text());
    EditModel fresh(copy);
    fresh.setColumn(ed.column());
    check(fresh.rowCount() == ed.rowCount());
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const char* const pieces[] = {"G01 ", "X10.", "\n",   "(コメント)", "漢字", "ｶﾅ",
                                         "\t",   "\r",   "\r\n", "ひら\nがな", "Ｘ１", "\xff\xfe"};
    TQuonStrings store;
    store.SetText("O0001\nG90 G54\nM30");
    EditModel ed(store);
    std::string clip = "N10\nN20";
    ed.setClipboard([&](const std::string& t) { clip = t; }, [&] { return clip; });
    ed.setUndoLimit(64);
    ed.setPageRows(4);
    for (size_t i = 0; i + 1 < size && i < 4000; i += 2) {
        const uint8_t op = data[i], arg = data[i + 1];
        const KeyMods mods{(arg & 0x40) != 0, (arg & 0x80) != 0};
        switch (op % 10) {
            case 0:
                ed.typeText(pieces[arg % std::size(pieces)]);
                break;
            case 1:
                ed.keyPress(static_cast<EditKey>(arg % (static_cast<int>(EditKey::Other) + 1)), mods);
                break;
            case 2:
                ed.setCaret({arg % 8, arg / 8}, mods.shift);
                break;
            case 3:
                ed.insertText(std::string(reinterpret_cast<const char*>(data + i),
                                          std::min<size_t>(arg % 9, size - i)));
                break;
            case 4:
                ed.undo();
                break;
            case 5:
                ed.redo();
                break;
            case 6:
                ed.setReadOnly((arg & 1) != 0);
                break;
            case 7:
                ed.setColumn(8 + arg % 80);
                break;
            case 8:
                ed.setOverwrite((arg & 1) != 0);
                break;
            case 9:
                ed.posAt(arg, arg % 90);
                ed.columnOf({arg % 5, arg});
                break;
        }
        checkInvariants(store, ed);
    }
    return 0;
}
