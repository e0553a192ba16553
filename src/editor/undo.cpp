#include "editor/undo.h"

namespace vantrel {

void UndoHistory::makeRoom(std::size_t bytes) {
    while (total_ + bytes > limit_ && !undo_.empty()) {
        // A group (records joined to the one below) goes as a whole, or its rest could not be undone.
        total_ -= undo_.back().text.size();
        undo_.pop_back();
        while (!undo_.empty() && undo_.back().joinsNext) {
            total_ -= undo_.back().text.size();
            undo_.pop_back();
        }
        cutShort_ = true;
    }
}

void UndoHistory::push(UndoRecord r) {
    redo_.clear();
    mergeOpen_ = false;
    if (r.text.size() > limit_) {
        undo_.clear();
        total_ = 0;
        cutShort_ = true;
        return;
    }
    makeRoom(r.text.size());
    total_ += r.text.size();
    undo_.push_front(std::move(r));
}

bool UndoHistory::pushOrMerge(UndoRecord r) {
    const bool breaks = r.text.find('\n') != std::string::npos;
    if (mergeOpen_ && !undo_.empty() && !breaks && r.kind == UndoRecord::Insert) {
        UndoRecord& top = undo_.front();
        if (top.kind == UndoRecord::Insert && !top.joinsNext && top.line == r.line &&
            top.col + static_cast<int32_t>(top.text.size()) == r.col && total_ + r.text.size() <= limit_) {
            redo_.clear();
            top.text += r.text;
            total_ += r.text.size();
            return true;
        }
    }
    push(std::move(r));
    mergeOpen_ = !breaks;
    return false;
}

bool UndoHistory::takeUndo(UndoRecord& out) {
    mergeOpen_ = false;
    if (undo_.empty()) return false;
    out = std::move(undo_.front());
    undo_.pop_front();
    total_ -= out.text.size();
    redo_.push_front(out);
    return true;
}

bool UndoHistory::takeRedo(UndoRecord& out) {
    mergeOpen_ = false;
    if (redo_.empty()) return false;
    out = std::move(redo_.front());
    redo_.pop_front();
    makeRoom(out.text.size());
    total_ += out.text.size();
    undo_.push_front(out);
    return true;
}

void UndoHistory::clear() {
    undo_.clear();
    redo_.clear();
    total_ = 0;
    cutShort_ = false;
    mergeOpen_ = false;
}

void UndoHistory::setLimit(std::size_t n) {
    limit_ = n;
    makeRoom(0);
}

}  // namespace vantrel
