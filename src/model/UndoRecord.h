#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace tessarind {

enum class UndoKind : uint8_t {
    Block = 1,          // old bytes of a block at an offset
    MoveDown = 2,
    MoveUp = 3,
    RemoveSaved = 4,    // removed entry whose body is saved
    Insertion = 5,
    ShiftStart = 6,
    ErrorCode = 7,
    ExtraTracks = 8,
    ErrorCodesSwitched = 9,
    ToggleSector = 10,
    Multi = 11,         // a format's change spanning the next `offset` records
    GroupStart = 12,
    GroupEnd = 13,
    Splat = 14,
    Locked = 15,
    FileType = 16,
    Blocks = 17,
    Name = 18,
    DiskName = 19,
    DiskId = 20,
    GeosType = 21,
    Date = 22,
    FirstTrack = 23,
    FirstSector = 24,
    SideTrack = 25,
    SideSector = 26,
    GeosStructure = 27,
    Bam = 28,
    ShiftEnd = 29,
    FormatBase = 30,    // kinds from here on belong to the formats
};

// True for the kinds that address a list index rather than a block.
constexpr bool AddressesEntry(UndoKind kind) {
    int k = static_cast<int>(kind);
    return (k >= 2 && k <= 6) || (k >= 14 && k <= 18) || (k >= 21 && k <= 27);
}

struct UndoRecord {
    uint32_t size = 0;
    UndoKind kind = UndoKind::Block;
    int index = 0; // list index for entry kinds
    int track = 0; // block kinds
    int sector = 0;
    uint32_t offset = 0; // byte offset in the block; for groups and multi records a count
    uint32_t showDeleted = 0;
    std::string name; // empty when none was given
    std::vector<uint8_t> data;
};

} // namespace tessarind
