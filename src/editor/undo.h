#pragma once
// The editor's undo and redo history: two lists of records, newest first. The undo list is bounded
// by the bytes of text its records hold.
#include <cstddef>
#include <cstdint>
#include <deque>
#include <string>

namespace vantrel {

struct UndoRecord {
    enum Kind : uint8_t { Insert = 0, Delete = 1 };
    uint8_t kind = Insert;
    int32_t col = 0;         // byte offset in the line's text where the edit happened
    int32_t line = 0;        // line index
    std::string text;        // the text inserted or deleted; line breaks as "\n"
    bool joinsNext = false;  // undone together with the record below it (one user action)
};

class UndoHistory {
  public:
    static constexpr std::size_t kDefaultLimit = 1015808;  // UndoBuf

    explicit UndoHistory(std::size_t limit = kDefaultLimit) : limit_(limit) {}

    // Records an edit made by the user. The redo list is dropped. A record longer than the limit
    // empties the whole history: the records below it could no longer be reversed at the right
    // places. Otherwise the oldest records make room. Either way the history is marked cut short.
    void push(UndoRecord r);
    // Typing: extends the newest record when `r` continues it (same kind, right behind it, no line
    // break) instead of adding one. Returns true when it merged.
    bool pushOrMerge(UndoRecord r);

    bool canUndo() const { return !undo_.empty(); }
    bool canRedo() const { return !redo_.empty(); }
    // Moves the newest undo record to the redo list and hands it out for reversing.
    bool takeUndo(UndoRecord& out);
    // Moves the newest redo record back to the undo list and hands it out for re-applying.
    bool takeRedo(UndoRecord& out);

    void clear();
    // Stops the next push from merging with the newest record (caret moved, another kind of edit).
    void breakMerge() { mergeOpen_ = false; }

    std::size_t totalBytes() const { return total_; }
    std::size_t limit() const { return limit_; }
    void setLimit(std::size_t n);
    bool cutShort() const { return cutShort_; }
    std::size_t undoCount() const { return undo_.size(); }
    std::size_t redoCount() const { return redo_.size(); }
    const UndoRecord& newest() const { return undo_.front(); }
    // The record the next redo would take (nullptr when none).
    const UndoRecord* peekRedo() const { return redo_.empty() ? nullptr : &redo_.front(); }

  private:
    void makeRoom(std::size_t bytes);

    std::deque<UndoRecord> undo_, redo_;
    std::size_t total_ = 0;
    std::size_t limit_;
    bool cutShort_ = false;
    bool mergeOpen_ = false;
};

}  // namespace vantrel
