#pragma once
// The editor control's behaviour without any window system: caret and selection over the line store,
// the wrapped-line layout, the keyboard map, word movement and deletion, undo and redo, clipboard text
// and the read-only switch. The Qt control draws what this model lays out and feeds it keys.
//
// Usage:
//   TQuonStrings prog;
//   EditModel ed(prog);
//   ed.setClipboard([&](const std::string& t) { clip = t; }, [&] { return clip; });
//   ed.typeText("G01 X10.");
//   ed.keyPress(EditKey::Enter);
//   ed.keyPress(EditKey::Z, {.ctrl = true});   // undo
//   prog.SaveToFile(path);                      // the model edits `prog` in place
//
// Positions are (line, byte offset in the line's text); they always lie on a character boundary.
// Line breaks inside texts handed in or out of the model are "\n".
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "editor/undo.h"
#include "program/quon_strings.h"

namespace vantrel {

struct TextPos {
    int32_t line = 0;
    int32_t col = 0;
    bool operator==(const TextPos&) const = default;
    bool operator<(const TextPos& o) const { return line != o.line ? line < o.line : col < o.col; }
};

enum class EditKey {
    Backspace,
    Home,
    End,
    Left,
    Right,
    Up,
    Down,
    PageUp,
    PageDown,
    Insert,
    Delete,
    Enter,
    Tab,
    Escape,
    C,
    X,
    V,
    A,
    Z,
    Y,
    Comma,
    Period,
    Other
};

struct KeyMods {
    bool ctrl = false;
    bool shift = false;
};

// One row of the wrapped layout: bytes [begin, end) of a line's text.
struct RowSpan {
    int32_t line = 0;
    int32_t begin = 0;
    int32_t end = 0;
    bool lastOfLine = true;
};

// Failure messages of the editor. The edit itself goes on after each of them.
inline constexpr const char* kErrUndo = "Error:OC001";
inline constexpr const char* kErrUndoToRedo = "Error:OC001_2";
inline constexpr const char* kErrRedoToUndo = "Error:OC001_3";
inline constexpr const char* kErrClipboardMemory = "Error:OC002";
inline constexpr const char* kErrClipboard = "Error:OC003";
inline constexpr const char* kErrRepaint = "Error:OC004";
inline constexpr const char* kErrLayout = "Error:OC004_3_";

// The platform's line break for clipboard text.
inline constexpr const char* kClipboardBreak = "\n";

// Clipboard text to the store's form: CR LF, a lone CR and a lone LF all become "\n"; NUL characters,
// which would be taken for line terminators, are dropped.
std::string normaliseLineBreaks(std::string_view text);
// The model's "\n" breaks to the platform's clipboard convention.
std::string toClipboardText(std::string_view text);

class EditModel {
  public:
    explicit EditModel(TQuonStrings& store);

    TQuonStrings& store() { return store_; }
    const TQuonStrings& store() const { return store_; }

    // ---- settings
    int column() const { return column_; }
    void setColumn(int c);  // wrap column (at least 8)
    int tabCount() const { return tabCount_; }
    void setTabCount(int n);
    bool wordWrap() const { return wordWrap_; }
    void setWordWrap(bool on);
    bool readOnly() const { return readOnly_; }
    // While read-only nothing changes the text. Leaving read-only lays the store out again: text
    // written into it meanwhile (warnings of a play) shows from then on.
    void setReadOnly(bool on);
    bool overwrite() const { return overwrite_; }
    void setOverwrite(bool on);
    std::size_t undoLimit() const { return undo_.limit(); }
    void setUndoLimit(std::size_t bytes) { undo_.setLimit(bytes); }
    // Rows a page holds (the view sets it from its height).
    int pageRows() const { return pageRows_; }
    void setPageRows(int n) { pageRows_ = n < 1 ? 1 : n; }

    // ---- the store was changed or replaced by someone else (load, clear, received text)
    // Lays everything out again, keeps the caret inside the text, drops the selection and, when
    // `newText`, the undo history and the modified state.
    void refresh(bool newText = true);

    // ---- layout
    int32_t rowCount() const;
    RowSpan row(int32_t r) const;  // r is clamped to the rows
    int32_t rowOf(TextPos p) const;
    int32_t firstRowOfLine(int32_t line) const;
    // Screen column of p within its row, and the position nearest to a screen column of a row.
    int columnOf(TextPos p) const;
    TextPos posAt(int32_t row, int column) const;
    // Wrap points of one line: the byte offsets where its rows start (first is 0).
    std::vector<int32_t> rowStarts(int32_t line) const;
    // Screen columns of text[begin, end) laid out from the start of a row.
    int columnsOf(std::string_view text, std::size_t begin, std::size_t end) const;
    int32_t topRow() const { return topRow_; }
    void setTopRow(int32_t r);
    // Scrolls so that the caret's row is on screen.
    void ensureCaretVisible();

    // ---- caret and selection
    TextPos caret() const { return caret_; }
    TextPos anchor() const { return anchor_; }
    bool hasSelection() const { return !(caret_ == anchor_); }
    TextPos selectionStart() const { return caret_ < anchor_ ? caret_ : anchor_; }
    TextPos selectionEnd() const { return caret_ < anchor_ ? anchor_ : caret_; }
    std::string selectedText() const;  // "\n" between lines
    std::string textBetween(TextPos a, TextPos b) const;
    void setCaret(TextPos p, bool extendSelection = false);
    void select(TextPos anchor, TextPos caret);
    void selectAll();
    void cancelSelection() { setCaret(caret_, false); }
    TextPos clampPos(TextPos p) const;
    TextPos endOfText() const;
    TextPos wordLeft(TextPos p) const;
    TextPos wordRight(TextPos p) const;
    TextPos charLeft(TextPos p) const;
    TextPos charRight(TextPos p) const;

    // ---- editing (all refused while read-only; return whether the text changed)
    // Types text at the caret (replacing the selection; in overwrite mode replacing characters).
    bool typeText(std::string_view text);
    // Inserts text at the caret, replacing the selection; breaks of any convention are accepted.
    bool insertText(std::string_view text);
    bool deleteSelection();
    bool backspace();
    bool deleteForward();
    bool deleteWordBack();
    bool deleteWordForward();
    bool newLine();
    bool clearAll();  // the whole text, as one undoable edit
    bool undo();
    bool redo();
    bool canUndo() const { return undo_.canUndo(); }
    bool canRedo() const { return undo_.canRedo(); }
    const UndoHistory& history() const { return undo_; }

    // ---- clipboard
    void setClipboard(std::function<void(const std::string&)> put, std::function<std::string()> get) {
        putClipboard_ = std::move(put);
        getClipboard_ = std::move(get);
    }
    bool copy();
    bool cut();
    bool paste();

    // ---- keyboard map. Returns true when the key was one of the map's.
    bool keyPress(EditKey key, KeyMods mods = {});

    // ---- state and events
    bool modified() const { return modified_; }
    void setModified(bool m) { modified_ = m; }
    uint64_t version() const { return version_; }  // grows with every change of text or caret
    std::function<void()> onModified;              // first change after a load
    std::function<void()> onInsertModeChanged;
    std::function<void()> onSelectionChanged;
    std::function<void()> onRedoModeChanged;  // the redo list became empty or not
    std::function<void(const std::string&)> onError;

  private:
    // Replaces [a, b) with `text` ("\n" breaks) and returns the end of the inserted text.
    TextPos replaceRange(TextPos a, TextPos b, std::string_view text);
    // The edit with its undo record(s). `merge` lets typing join the newest record.
    bool edit(TextPos a, TextPos b, std::string_view text, bool merge);
    void record(UndoRecord r, bool merge);
    TextPos endOf(TextPos start, std::string_view text) const;
    int32_t countRows(std::string_view text) const;
    void relayoutLines(int32_t first, int32_t oldCount, int32_t newCount);
    void ensureLayout() const;
    void ensurePrefix() const;
    void changed();
    void notifyRedo(bool before);
    void error(const char* msg) {
        if (onError) onError(msg);
    }

    TQuonStrings& store_;
    UndoHistory undo_;
    int column_ = 72;
    int tabCount_ = 6;
    bool wordWrap_ = true;
    bool readOnly_ = false;
    bool overwrite_ = false;
    bool modified_ = false;
    int pageRows_ = 20;
    int32_t topRow_ = 0;
    TextPos caret_, anchor_;
    int desiredColumn_ = -1;
    uint64_t version_ = 0;

    // Layout: rows of each line and the first row of each line (valid below prefixValid_).
    mutable std::vector<int32_t> rows_;
    mutable std::vector<int32_t> firstRow_;
    mutable std::size_t prefixValid_ = 0;

    std::function<void(const std::string&)> putClipboard_;
    std::function<std::string()> getClipboard_;
};

}  // namespace vantrel
