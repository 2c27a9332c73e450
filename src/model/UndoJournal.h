#pragma once
// The records that undo an image's changes, newest last, with the groups that make one user
// command one step and the depth at which the image was last saved.

#include <cstdint>
#include <deque>
#include <optional>
#include <string>

#include "model/UndoRecord.h"

namespace tessarind {

class UndoJournal {
public:
    const std::deque<UndoRecord>& Records() const { return records_; }
    bool Empty() const { return records_.empty(); }
    void Push(UndoRecord record) { records_.push_back(std::move(record)); }
    UndoRecord& Last() { return records_.back(); }
    // Takes the newest record off; none when the journal is empty.
    std::optional<UndoRecord> Pop();
    // Drops everything, as after a change that cannot be undone.
    void Clear();

    // Closing a group right after it began: the group start is dropped (no step for a
    // command that changed nothing). False when the group holds records.
    bool DropEmptyGroup();

    // "Undo: name" with the accelerator after a backspace, as the Edit menu shows it.
    std::string ItemText() const;
    // The same text for a step named `name` (empty: none).
    static std::string ItemTextFor(const std::string& name);

    // The image was written with the journal as it is now.
    void MarkSaved() { savedDepth_ = static_cast<long>(records_.size()); }
    // After an undo: whether the image is back as saved, or was undone past the save (the
    // host file then differs from memory whatever follows).
    enum class SavedState { Changed, AsSaved, PastSave };
    SavedState AfterUndo();

private:
    std::deque<UndoRecord> records_;
    long savedDepth_ = 0; // -1 once undo went below it
};

} // namespace tessarind
