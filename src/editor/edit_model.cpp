#include "editor/edit_model.h"

#include <algorithm>
#include <cstring>
#include <new>

#include "editor/char_class.h"

namespace vantrel {

namespace {

bool isStop(char32_t c) {
    return c == '\t' || c == U'\0' || c == '\r';
}

char32_t charAt(std::string_view t, std::size_t pos) {
    std::size_t len = 0;
    return decodeUtf8At(t, pos, &len);
}

// Lines with their terminators never hold a stray CR or LF in their text (only LF files can).
bool plainBreaks(const std::string& line) {
    return line.size() >= 2 && line.find_first_of("\r\n") == line.size() - 2;
}

}  // namespace

std::string normaliseLineBreaks(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (c == '\r') {
            out.push_back('\n');
            if (i + 1 < text.size() && text[i + 1] == '\n') ++i;
        } else if (c != '\0') {
            out.push_back(c);
        }
    }
    return out;
}

std::string toClipboardText(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (char c : text) {
        if (c == '\n')
            out.append(kClipboardBreak);
        else
            out.push_back(c);
    }
    return out;
}

EditModel::EditModel(TQuonStrings& store) : store_(store) {
    if (store_.count() == 0) store_.SetText("");
    refresh(true);
}

// ---------------------------------------------------------------- settings

void EditModel::setColumn(int c) {
    column_ = std::max(c, 8);
    refresh(false);
}

void EditModel::setTabCount(int n) {
    tabCount_ = std::clamp(n, 1, 32);
    refresh(false);
}

void EditModel::setWordWrap(bool on) {
    wordWrap_ = on;
    refresh(false);
}

void EditModel::setReadOnly(bool on) {
    if (readOnly_ == on) return;
    readOnly_ = on;
    if (!on) {
        // What was written into the store meanwhile (the warnings of a play) moved the lines under the
        // undo records: they could no longer be reversed at the right places.
        const bool linesMoved = static_cast<std::size_t>(store_.count()) != rows_.size();
        rows_.clear();
        ensureLayout();
        if (linesMoved) undo_.clear();
        setCaret(caret_, true);
    }
    ++version_;
}

void EditModel::setOverwrite(bool on) {
    if (overwrite_ == on) return;
    overwrite_ = on;
    if (onInsertModeChanged) onInsertModeChanged();
}

void EditModel::refresh(bool newText) {
    if (store_.count() == 0) store_.SetText("");
    rows_.clear();
    ensureLayout();
    undo_.clear();
    if (newText) {
        modified_ = false;
        caret_ = anchor_ = TextPos{};
        topRow_ = 0;
    } else {
        caret_ = clampPos(caret_);
        anchor_ = caret_;
        setTopRow(topRow_);
    }
    desiredColumn_ = -1;
    ++version_;
}

// ---------------------------------------------------------------- layout

int32_t EditModel::countRows(std::string_view t) const {
    if (!wordWrap_) return 1;
    if (t.size() <= static_cast<std::size_t>(column_) && std::memchr(t.data(), '\t', t.size()) == nullptr)
        return 1;
    int32_t rows = 1;
    int col = 0;
    for (std::size_t i = 0; i < t.size();) {
        std::size_t len = 0;
        const char32_t c = decodeUtf8At(t, i, &len);
        int w = c == '\t' ? tabCount_ - col % tabCount_ : charColumns(c);
        if (col > 0 && col + w > column_) {
            ++rows;
            col = 0;
            if (c == '\t') w = tabCount_;
        }
        col += w;
        i += len;
    }
    return rows;
}

std::vector<int32_t> EditModel::rowStarts(int32_t line) const {
    std::vector<int32_t> starts{0};
    const std::string_view t = store_.lineText(line);
    if (countRows(t) == 1) return starts;
    int col = 0;
    for (std::size_t i = 0; i < t.size();) {
        std::size_t len = 0;
        const char32_t c = decodeUtf8At(t, i, &len);
        int w = c == '\t' ? tabCount_ - col % tabCount_ : charColumns(c);
        if (col > 0 && col + w > column_) {
            starts.push_back(static_cast<int32_t>(i));
            col = 0;
            if (c == '\t') w = tabCount_;
        }
        col += w;
        i += len;
    }
    return starts;
}

int EditModel::columnsOf(std::string_view t, std::size_t begin, std::size_t end) const {
    int col = 0;
    end = std::min(end, t.size());
    for (std::size_t i = begin; i < end;) {
        std::size_t len = 0;
        const char32_t c = decodeUtf8At(t, i, &len);
        col += c == '\t' ? tabCount_ - col % tabCount_ : charColumns(c);
        i += len;
    }
    return col;
}

void EditModel::ensureLayout() const {
    const std::size_t n = static_cast<std::size_t>(store_.count());
    if (rows_.size() == n) return;
    rows_.resize(n);
    for (std::size_t i = 0; i < n; ++i) rows_[i] = countRows(store_.lineText(static_cast<int32_t>(i)));
    firstRow_.assign(n, 0);
    prefixValid_ = 0;
}

void EditModel::ensurePrefix() const {
    ensureLayout();
    const std::size_t n = rows_.size();
    if (prefixValid_ >= n) return;
    int32_t r = prefixValid_ == 0 ? 0 : firstRow_[prefixValid_ - 1] + rows_[prefixValid_ - 1];
    for (std::size_t i = prefixValid_; i < n; ++i) {
        firstRow_[i] = r;
        r += rows_[i];
    }
    prefixValid_ = n;
}

void EditModel::relayoutLines(int32_t first, int32_t oldCount, int32_t newCount) {
    const auto f = static_cast<std::size_t>(first);
    if (rows_.size() < f + static_cast<std::size_t>(oldCount)) {
        rows_.clear();  // out of step with the store: lay it all out again
        ensureLayout();
        return;
    }
    std::vector<int32_t> fresh(static_cast<std::size_t>(newCount));
    for (int32_t j = 0; j < newCount; ++j)
        fresh[static_cast<std::size_t>(j)] = countRows(store_.lineText(first + j));
    const int32_t common = std::min(oldCount, newCount);
    std::copy(fresh.begin(), fresh.begin() + common, rows_.begin() + first);
    if (newCount > oldCount)
        rows_.insert(rows_.begin() + first + common, fresh.begin() + common, fresh.end());
    else if (oldCount > newCount)
        rows_.erase(rows_.begin() + first + common, rows_.begin() + first + oldCount);
    firstRow_.resize(rows_.size());
    prefixValid_ = std::min(prefixValid_, f);
}

int32_t EditModel::rowCount() const {
    ensurePrefix();
    if (rows_.empty()) return 1;
    return firstRow_.back() + rows_.back();
}

int32_t EditModel::firstRowOfLine(int32_t line) const {
    ensurePrefix();
    if (rows_.empty()) return 0;
    line = std::clamp<int32_t>(line, 0, static_cast<int32_t>(rows_.size()) - 1);
    return firstRow_[static_cast<std::size_t>(line)];
}

RowSpan EditModel::row(int32_t r) const {
    ensurePrefix();
    RowSpan s;
    if (rows_.empty()) return s;
    r = std::clamp<int32_t>(r, 0, rowCount() - 1);
    auto it = std::upper_bound(firstRow_.begin(), firstRow_.end(), r);
    s.line = static_cast<int32_t>(it - firstRow_.begin()) - 1;
    const int32_t k = r - firstRow_[static_cast<std::size_t>(s.line)];
    const auto t = store_.lineText(s.line);
    if (k == 0 && rows_[static_cast<std::size_t>(s.line)] == 1) {
        s.begin = 0;
        s.end = static_cast<int32_t>(t.size());
        s.lastOfLine = true;
        return s;
    }
    const auto starts = rowStarts(s.line);
    const std::size_t kk = std::min<std::size_t>(static_cast<std::size_t>(k), starts.size() - 1);
    s.begin = starts[kk];
    s.lastOfLine = kk + 1 >= starts.size();
    s.end = s.lastOfLine ? static_cast<int32_t>(t.size()) : starts[kk + 1];
    return s;
}

int32_t EditModel::rowOf(TextPos p) const {
    p = clampPos(p);
    const int32_t first = firstRowOfLine(p.line);
    if (rows_[static_cast<std::size_t>(p.line)] == 1) return first;
    const auto starts = rowStarts(p.line);
    const auto k = std::upper_bound(starts.begin(), starts.end(), p.col) - starts.begin() - 1;
    return first + static_cast<int32_t>(k);
}

int EditModel::columnOf(TextPos p) const {
    p = clampPos(p);
    const RowSpan s = row(rowOf(p));
    return columnsOf(store_.lineText(p.line), static_cast<std::size_t>(s.begin),
                     static_cast<std::size_t>(p.col));
}

TextPos EditModel::posAt(int32_t r, int x) const {
    const RowSpan s = row(r);
    const auto t = store_.lineText(s.line);
    std::size_t limit = static_cast<std::size_t>(s.end);
    // The end of a wrapped row is the start of the next one: stay before its last character.
    if (!s.lastOfLine && s.end > s.begin) limit = previousCharStart(t, static_cast<std::size_t>(s.end));
    int col = 0;
    std::size_t i = static_cast<std::size_t>(s.begin);
    while (i < limit) {
        std::size_t len = 0;
        const char32_t c = decodeUtf8At(t, i, &len);
        const int w = c == '\t' ? tabCount_ - col % tabCount_ : charColumns(c);
        if (2 * x < 2 * col + w) break;
        col += w;
        i += len;
    }
    return {s.line, static_cast<int32_t>(i)};
}

void EditModel::setTopRow(int32_t r) {
    topRow_ = std::clamp<int32_t>(r, 0, std::max(0, rowCount() - 1));
}

void EditModel::ensureCaretVisible() {
    const int32_t r = rowOf(caret_);
    if (r < topRow_)
        topRow_ = r;
    else if (r >= topRow_ + pageRows_)
        topRow_ = r - pageRows_ + 1;
}

// ---------------------------------------------------------------- caret and selection

TextPos EditModel::clampPos(TextPos p) const {
    const int32_t n = store_.count();
    if (n <= 0) return {};
    p.line = std::clamp<int32_t>(p.line, 0, n - 1);
    const auto t = store_.lineText(p.line);
    p.col = std::clamp<int32_t>(p.col, 0, static_cast<int32_t>(t.size()));
    // Never inside a character: back to its first byte.
    while (p.col > 0 && p.col < static_cast<int32_t>(t.size()) &&
           (static_cast<unsigned char>(t[static_cast<std::size_t>(p.col)]) & 0xC0) == 0x80) {
        const std::size_t start = previousCharStart(t, static_cast<std::size_t>(p.col));
        if (nextCharEnd(t, start) <= static_cast<std::size_t>(p.col)) break;
        p.col = static_cast<int32_t>(start);
    }
    return p;
}

TextPos EditModel::endOfText() const {
    const int32_t last = std::max(0, store_.count() - 1);
    return {last, static_cast<int32_t>(store_.lineText(last).size())};
}

void EditModel::setCaret(TextPos p, bool extend) {
    caret_ = clampPos(p);
    if (!extend) anchor_ = caret_;
    ++version_;
    if (onSelectionChanged) onSelectionChanged();
}

void EditModel::select(TextPos a, TextPos c) {
    anchor_ = clampPos(a);
    setCaret(c, true);
}

void EditModel::selectAll() {
    select({0, 0}, endOfText());
}

std::string EditModel::textBetween(TextPos a, TextPos b) const {
    a = clampPos(a);
    b = clampPos(b);
    if (b < a) std::swap(a, b);
    if (a.line == b.line)
        return std::string(store_.lineText(a.line).substr(static_cast<std::size_t>(a.col),
                                                          static_cast<std::size_t>(b.col - a.col)));
    std::string out(store_.lineText(a.line).substr(static_cast<std::size_t>(a.col)));
    for (int32_t l = a.line + 1; l < b.line; ++l) {
        out.push_back('\n');
        out.append(store_.lineText(l));
    }
    out.push_back('\n');
    out.append(store_.lineText(b.line).substr(0, static_cast<std::size_t>(b.col)));
    return out;
}

std::string EditModel::selectedText() const {
    return textBetween(anchor_, caret_);
}

TextPos EditModel::charLeft(TextPos p) const {
    p = clampPos(p);
    if (p.col > 0)
        return {p.line, static_cast<int32_t>(
                            previousCharStart(store_.lineText(p.line), static_cast<std::size_t>(p.col)))};
    if (p.line > 0) return {p.line - 1, static_cast<int32_t>(store_.lineText(p.line - 1).size())};
    return p;
}

TextPos EditModel::charRight(TextPos p) const {
    p = clampPos(p);
    const auto t = store_.lineText(p.line);
    if (static_cast<std::size_t>(p.col) < t.size())
        return {p.line, static_cast<int32_t>(nextCharEnd(t, static_cast<std::size_t>(p.col)))};
    if (p.line + 1 < store_.count()) return {p.line + 1, 0};
    return p;
}

TextPos EditModel::wordRight(TextPos p) const {
    p = clampPos(p);
    const auto t = store_.lineText(p.line);
    const auto n = t.size();
    auto i = static_cast<std::size_t>(p.col);
    if (i >= n) return charRight(p);  // the line break or the end of the text: one step
    const char32_t c0 = charAt(t, i);
    if (isStop(c0)) return {p.line, static_cast<int32_t>(nextCharEnd(t, i))};
    const int cls = charClass(c0);
    i = nextCharEnd(t, i);
    while (i < n) {
        const char32_t c = charAt(t, i);
        if (isStop(c) || charClass(c) != cls) break;
        i = nextCharEnd(t, i);
    }
    return {p.line, static_cast<int32_t>(i)};
}

TextPos EditModel::wordLeft(TextPos p) const {
    p = clampPos(p);
    if (p.col == 0) return charLeft(p);
    const auto t = store_.lineText(p.line);
    std::size_t i = previousCharStart(t, static_cast<std::size_t>(p.col));
    const char32_t c0 = charAt(t, i);
    if (isStop(c0)) return {p.line, static_cast<int32_t>(i)};
    const int cls = charClass(c0);
    while (i > 0) {
        const std::size_t prev = previousCharStart(t, i);
        const char32_t c = charAt(t, prev);
        if (isStop(c) || charClass(c) != cls) break;
        i = prev;
    }
    return {p.line, static_cast<int32_t>(i)};
}

// ---------------------------------------------------------------- editing

TextPos EditModel::endOf(TextPos start, std::string_view text) const {
    const std::size_t lastBreak = text.rfind('\n');
    if (lastBreak == std::string_view::npos)
        return {start.line, start.col + static_cast<int32_t>(text.size())};
    const auto breaks = static_cast<int32_t>(std::count(text.begin(), text.end(), '\n'));
    return {start.line + breaks, static_cast<int32_t>(text.size() - lastBreak - 1)};
}

TextPos EditModel::replaceRange(TextPos a, TextPos b, std::string_view text) {
    ensureLayout();
    const int32_t n = store_.count();
    const std::string& lastFull = store_.Get(b.line);
    const bool hadBreak = b.line < n - 1 || (lastFull.size() >= 2 && lastFull[lastFull.size() - 2] == '\r');
    const std::string head(store_.lineText(a.line).substr(0, static_cast<std::size_t>(a.col)));
    const std::string tail(store_.lineText(b.line).substr(static_cast<std::size_t>(b.col)));

    // The new lines with their terminators.
    std::vector<std::string> lines;
    std::size_t start = 0;
    while (true) {
        const std::size_t brk = text.find('\n', start);
        std::string piece = lines.empty() ? head : std::string();
        piece.append(
            text.substr(start, brk == std::string_view::npos ? std::string_view::npos : brk - start));
        if (brk == std::string_view::npos) {
            piece.append(tail);
            if (hadBreak)
                piece.append("\r\n");
            else if (!piece.empty())
                piece.append(std::string_view("\0\0", 2));
            lines.push_back(std::move(piece));
            break;
        }
        piece.append("\r\n");
        lines.push_back(std::move(piece));
        start = brk + 1;
    }
    const int32_t m = static_cast<int32_t>(lines.size());
    const int32_t oldCount = b.line - a.line + 1;
    const int32_t lastTextLen =
        static_cast<int32_t>(lines.back().size()) - (hadBreak || !lines.back().empty() ? 2 : 0);
    const TextPos end = m == 1 ? TextPos{a.line, a.col + static_cast<int32_t>(text.size())}
                               : TextPos{a.line + m - 1, lastTextLen - static_cast<int32_t>(tail.size())};

    if (m >= oldCount) {
        for (int32_t j = 0; j + 1 < oldCount; ++j)
            store_.Put(a.line + j, std::move(lines[static_cast<std::size_t>(j)]));
        store_.Put(a.line + oldCount - 1, std::move(lines.back()));
        // The extra lines go in before the slot now holding the last new line.
        const int32_t at = a.line + oldCount - 1;
        const auto first = lines.begin() + (oldCount - 1), last = lines.end() - 1;
        const bool bulk = last - first > 8 && std::all_of(first, last, plainBreaks);
        if (bulk) {
            std::string joined;
            for (auto it = first; it != last; ++it) joined += *it;
            store_.InsertText(at, joined);
        } else {
            int32_t pos = at;
            for (auto it = first; it != last; ++it) store_.Insert(pos++, std::move(*it));
        }
    } else {
        for (int32_t j = 0; j < m; ++j) store_.Put(a.line + j, std::move(lines[static_cast<std::size_t>(j)]));
        const int32_t k = oldCount - m;
        if (k <= 8) {
            for (int32_t j = 0; j < k; ++j) store_.Delete(a.line + m);
        } else {
            // Many lines go: shift the rest down once and drop the end, instead of k erasures that
            // would each move the whole rest of the program.
            for (int32_t i = a.line + m; i + k < n; ++i) store_.Put(i, std::string(store_.Get(i + k)));
            for (int32_t j = 0; j < k; ++j) store_.Delete(store_.count() - 1);
        }
    }
    relayoutLines(a.line, oldCount, m);
    return end;
}

void EditModel::record(UndoRecord r, bool merge) {
    try {
        if (merge)
            undo_.pushOrMerge(std::move(r));
        else
            undo_.push(std::move(r));
    } catch (const std::bad_alloc&) {
        // The edit goes on without its record; the older ones no longer fit the text.
        undo_.clear();
        error(kErrUndo);
    }
}

bool EditModel::edit(TextPos a, TextPos b, std::string_view text, bool merge) {
    if (readOnly_) return false;
    if (store_.count() == 0) {
        // Someone cleared the store down to no lines at all: back to the one empty line first.
        store_.SetText("");
        rows_.clear();
    }
    a = clampPos(a);
    b = clampPos(b);
    if (b < a) std::swap(a, b);
    if (a == b && text.empty()) return false;
    const bool redoBefore = canRedo();
    std::string removed = textBetween(a, b);
    if (!removed.empty()) {
        record(UndoRecord{UndoRecord::Delete, a.col, a.line, std::move(removed), false}, false);
    } else if (!merge) {
        undo_.breakMerge();
    }
    if (!text.empty()) {
        const bool joins = !(a == b);
        record(UndoRecord{UndoRecord::Insert, a.col, a.line, std::string(text), joins}, merge && !joins);
    }
    const TextPos end = replaceRange(a, b, text);
    caret_ = anchor_ = end;
    desiredColumn_ = -1;
    changed();
    notifyRedo(redoBefore);
    return true;
}

void EditModel::changed() {
    ++version_;
    if (!modified_) {
        modified_ = true;
        if (onModified) onModified();
    }
    if (onSelectionChanged) onSelectionChanged();
}

void EditModel::notifyRedo(bool before) {
    if (canRedo() != before && onRedoModeChanged) onRedoModeChanged();
}

bool EditModel::typeText(std::string_view raw) {
    if (readOnly_) return false;
    const std::string text = normaliseLineBreaks(raw);
    if (text.empty()) return false;
    if (hasSelection()) return edit(selectionStart(), selectionEnd(), text, false);
    TextPos b = caret_;
    if (overwrite_) {
        // One character of the line is replaced for each character typed, never the line break.
        const auto t = store_.lineText(caret_.line);
        for (std::size_t i = 0; i < text.size() && text[i] != '\n';) {
            if (static_cast<std::size_t>(b.col) >= t.size()) break;
            b.col = static_cast<int32_t>(nextCharEnd(t, static_cast<std::size_t>(b.col)));
            i = nextCharEnd(text, i);
        }
    }
    return edit(caret_, b, text, true);
}

bool EditModel::insertText(std::string_view raw) {
    const std::string text = normaliseLineBreaks(raw);
    if (text.empty() && !hasSelection()) return false;
    return edit(selectionStart(), selectionEnd(), text, false);
}

bool EditModel::deleteSelection() {
    if (!hasSelection()) return false;
    return edit(selectionStart(), selectionEnd(), {}, false);
}

bool EditModel::backspace() {
    if (hasSelection()) return deleteSelection();
    return edit(charLeft(caret_), caret_, {}, false);
}

bool EditModel::deleteForward() {
    if (hasSelection()) return deleteSelection();
    return edit(caret_, charRight(caret_), {}, false);
}

bool EditModel::deleteWordBack() {
    if (hasSelection()) return deleteSelection();
    return edit(wordLeft(caret_), caret_, {}, false);
}

bool EditModel::deleteWordForward() {
    if (hasSelection()) return deleteSelection();
    return edit(caret_, wordRight(caret_), {}, false);
}

bool EditModel::newLine() {
    return typeText("\n");
}

bool EditModel::clearAll() {
    return edit({0, 0}, endOfText(), {}, false);
}

bool EditModel::undo() {
    if (readOnly_) return false;
    const bool redoBefore = canRedo();
    UndoRecord r;
    bool any = false;
    try {
        while (undo_.takeUndo(r)) {
            any = true;
            const TextPos at = clampPos({r.line, r.col});
            TextPos end = at;
            if (r.kind == UndoRecord::Insert)
                replaceRange(at, clampPos(endOf(at, r.text)), {});
            else
                end = replaceRange(at, at, r.text);
            caret_ = anchor_ = end;
            if (!r.joinsNext) break;
        }
    } catch (const std::bad_alloc&) {
        undo_.clear();
        error(kErrUndoToRedo);
    }
    if (!any) return false;
    desiredColumn_ = -1;
    changed();
    notifyRedo(redoBefore);
    return true;
}

bool EditModel::redo() {
    if (readOnly_) return false;
    const bool redoBefore = canRedo();
    UndoRecord r;
    bool any = false;
    try {
        while (true) {
            if (any && !(undo_.peekRedo() && undo_.peekRedo()->joinsNext)) break;
            if (!undo_.takeRedo(r)) break;
            any = true;
            const TextPos at = clampPos({r.line, r.col});
            TextPos end = at;
            if (r.kind == UndoRecord::Insert)
                end = replaceRange(at, at, r.text);
            else
                replaceRange(at, clampPos(endOf(at, r.text)), {});
            caret_ = anchor_ = end;
        }
    } catch (const std::bad_alloc&) {
        undo_.clear();
        error(kErrRedoToUndo);
    }
    if (!any) return false;
    desiredColumn_ = -1;
    changed();
    notifyRedo(redoBefore);
    return true;
}

// ---------------------------------------------------------------- clipboard

bool EditModel::copy() {
    if (!hasSelection() || !putClipboard_) return false;
    try {
        putClipboard_(toClipboardText(selectedText()));
    } catch (const std::bad_alloc&) {
        error(kErrClipboardMemory);
        return false;
    }
    return true;
}

bool EditModel::cut() {
    if (readOnly_ || !copy()) return false;
    return deleteSelection();
}

bool EditModel::paste() {
    if (readOnly_ || !getClipboard_) return false;
    const std::string text = getClipboard_();
    if (text.empty()) return false;
    return insertText(text);
}

// ---------------------------------------------------------------- keyboard

bool EditModel::keyPress(EditKey key, KeyMods m) {
    ensureCaretVisible();  // keystrokes first bring the caret into view
    const bool ext = m.shift;
    auto moveTo = [&](TextPos p) {
        setCaret(p, ext);
        desiredColumn_ = -1;
    };
    auto vertical = [&](int32_t delta) {
        if (desiredColumn_ < 0) desiredColumn_ = columnOf(caret_);
        const int keep = desiredColumn_;
        const int32_t r = std::clamp<int32_t>(rowOf(caret_) + delta, 0, rowCount() - 1);
        setCaret(posAt(r, keep), ext);
        desiredColumn_ = keep;
    };
    bool handled = true;
    switch (key) {
        case EditKey::Backspace:
            m.ctrl ? deleteWordBack() : backspace();
            break;
        case EditKey::Home:
            moveTo(m.ctrl ? TextPos{0, 0} : TextPos{caret_.line, 0});
            break;
        case EditKey::End:
            moveTo(m.ctrl ? endOfText()
                          : TextPos{caret_.line, static_cast<int32_t>(store_.lineText(caret_.line).size())});
            break;
        case EditKey::Left:
            moveTo(m.ctrl ? wordLeft(caret_) : charLeft(caret_));
            break;
        case EditKey::Right:
            moveTo(m.ctrl ? wordRight(caret_) : charRight(caret_));
            break;
        case EditKey::Insert:
            if (m.ctrl)
                copy();
            else if (m.shift)
                paste();
            else
                setOverwrite(!overwrite_);
            break;
        case EditKey::Delete:
            if (m.ctrl)
                deleteWordForward();
            else if (m.shift)
                cut();
            else
                deleteForward();
            break;
        case EditKey::C:
        case EditKey::X:
        case EditKey::V:
        case EditKey::A:
        case EditKey::Z:
        case EditKey::Y:
        case EditKey::Comma:
        case EditKey::Period:
            if (!m.ctrl) return false;  // a plain character: typed by the caller
            if (key == EditKey::C) copy();
            if (key == EditKey::X) cut();
            if (key == EditKey::V) paste();
            if (key == EditKey::A) selectAll();
            if (key == EditKey::Z) m.shift ? redo() : undo();
            if (key == EditKey::Y) redo();
            if (key == EditKey::Comma) moveTo({caret_.line, 0});
            if (key == EditKey::Period)
                moveTo({caret_.line, static_cast<int32_t>(store_.lineText(caret_.line).size())});
            break;
        case EditKey::Up:
        case EditKey::Down:
        case EditKey::PageUp:
        case EditKey::PageDown:
        case EditKey::Enter:
        case EditKey::Tab:
        case EditKey::Escape:
            if (m.ctrl) break;  // with Ctrl only the scroll into view
            if (key == EditKey::Up) vertical(-1);
            if (key == EditKey::Down) vertical(1);
            if (key == EditKey::PageUp || key == EditKey::PageDown) {
                const int32_t d = key == EditKey::PageUp ? -pageRows_ : pageRows_;
                setTopRow(topRow_ + d);
                vertical(d);
            }
            if (key == EditKey::Enter) newLine();
            if (key == EditKey::Tab) typeText("\t");
            if (key == EditKey::Escape) cancelSelection();
            break;
        case EditKey::Other:
            handled = m.ctrl;
            break;
    }
    ensureCaretVisible();
    return handled;
}

}  // namespace vantrel
