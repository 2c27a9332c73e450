#pragma once
// Which container commands each kind of view offers. While a view is active a listed command
// is enabled exactly when its mask shares a bit with the view's capability; with no container
// open every listed command is off (every mask holds kCapabilityNoView). Commands not listed
// are left to the view and its image.

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

// Calls enable(id, on) for every row of the table for a view of `capability`; with
// kCapabilityNoView every row is switched off.
void ApplyEnableTable(int capability, const std::function<void(CommandId, bool)>& enable);

} // namespace tessarind
