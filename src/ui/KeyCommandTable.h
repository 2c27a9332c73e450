#pragma once
// The keys of every list view: a key with its exact Ctrl/Shift state sends a command to the
// view. Keys the view handles itself (moving the selection, "*" and "<") come before it.

#include <Qt>
#include <array>
#include <optional>

#include "ui/CommandIds.h"

namespace tessarind {

struct KeyCommandRow {
    int key; // Qt::Key
    bool ctrl;
    bool shift;
    CommandId id;
};

inline constexpr int kKeyCommandRowCount = 33;
extern const std::array<KeyCommandRow, kKeyCommandRowCount> KeyCommandTable;

// The command for a key press; Ctrl and Shift must match the row exactly, and a key held
// with Alt or Meta matches nothing. "$" counts as Shift+4, the key it shares.
std::optional<CommandId> LookupKeyCommand(int key, Qt::KeyboardModifiers modifiers);

} // namespace tessarind
