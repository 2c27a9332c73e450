#include "model/UndoJournal.h"

#include <cstdio>

namespace tessarind {

std::optional<UndoRecord> UndoJournal::Pop() {
    if (records_.empty()) return std::nullopt;
    UndoRecord record = std::move(records_.back());
    records_.pop_back();
    return record;
}

void UndoJournal::Clear() {
    records_.clear();
    if (savedDepth_ > 0) savedDepth_ = -1;
}

bool UndoJournal::DropEmptyGroup() {
    if (records_.empty() || records_.back().kind != UndoKind::GroupStart) return false;
    records_.pop_back();
    return true;
}

std::string UndoJournal::ItemText() const {
    return ItemTextFor(records_.empty() ? std::string() : records_.back().name);
}

std::string UndoJournal::ItemTextFor(const std::string& name) {
    char text[512];
    std::snprintf(text, sizeof text, "Undo%c %s%cCTRL+Z", name.empty() ? ' ' : ':', name.c_str(), '\b');
    return text;
}

UndoJournal::SavedState UndoJournal::AfterUndo() {
    const long depth = static_cast<long>(records_.size());
    if (depth == savedDepth_) return SavedState::AsSaved;
    if (depth < savedDepth_) {
        savedDepth_ = -1;
        return SavedState::PastSave;
    }
    return SavedState::Changed;
}

} // namespace tessarind
