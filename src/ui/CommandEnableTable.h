#pragma once
// Which container commands each kind of view offers. While a view is active a listed command
// is enabled exactly when its mask shares a bit with the view's capability; with no container
// open every listed command is off (every mask holds kCapabilityNoView). Commands not listed
// are left to the view and its image. The commands whose windows and dialogs are not built
// yet are greyed by the same means, whatever view is active.

#include <array>
#include <functional>

#include "ui/CommandIds.h"

namespace tessarind {

struct EnableRow {
    CommandId id;
    int mask;
};

inline constexpr int kEnableRowCount = 61;
extern const std::array<EnableRow, kEnableRowCount> CommandEnableTable;

// Frame and view commands that do nothing yet: off at start and on every activation. A
// command leaves this list when what it opens exists.
inline constexpr int kNotYetBuiltCount = 5;
extern const std::array<CommandId, kNotYetBuiltCount> NotYetBuiltCommands;

// Calls enable(id, on) for every row of the table for a view of `capability`, and
// enable(id, false) for every command not built yet; with kCapabilityNoView every row is
// switched off.
void ApplyEnableTable(int capability, const std::function<void(CommandId, bool)>& enable);

} // namespace tessarind
