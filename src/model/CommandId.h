#pragma once

namespace tessarind {

// Menu, toolbar and key commands keep their numbers everywhere they are routed.
enum class CommandId : int {
    Undo = 2036,
    SectorErrors = 2037,
    ExtendedTracks = 2038,
    WriteErrorNumbers = 2039,
    FillFreeSectors = 2060,
    ParentDirectory = 2085,
    ShowDeletedFiles = 2118,
};

} // namespace tessarind
