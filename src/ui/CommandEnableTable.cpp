#include "ui/CommandEnableTable.h"

#include "ui/ViewCapability.h"

namespace tessarind {

using namespace cmd;

// clang-format off
const std::array<EnableRow, kEnableRowCount> CommandEnableTable = {{
    {TypeDel, 0x81}, {TypeSeq, 0x81}, {TypePrg, 0x81}, {TypeUsr, 0x81}, {TypeRel, 0x81},
    {TypeCbm, 0x81}, {Splat, 0x81}, {Lock, 0x81}, {ChangeFileSize, 0x81}, {AutoFileSize, 0x81},
    {Expand, 0x81}, {Uncompress, 0x81}, {ParentDirectory, 0x81}, {CreateSubDir, 0x81},
    {RunIn(1), 0x81}, {RunIn(2), 0x81}, {RunIn(3), 0x81}, {RunIn(4), 0x81},
    {RunIn(5), 0x81}, {RunIn(6), 0x81}, {RunIn(7), 0x81}, {RunIn(8), 0x81},
    {SelectAll, 0x81},
    {EditDiskId, 0x83},
    {FillSector, 0x84},
    {BamEditor, 0x85}, {JumpToSideSector, 0x85},
    {SectorErrors, 0x87}, {ExtendedTracks, 0x87}, {WriteErrorNumbers, 0x87},
    {FillFreeSectors, 0x87}, {Compact, 0x87}, {CrossLinks, 0x87},
    {ToggleHiddenCharacters, 0x88},
    {Remove, 0xA1}, {Insert, 0xA1}, {Rename, 0xA1}, {Close, 0xA1}, {MoveFileUp, 0xA1},
    {MoveFileDown, 0xA1}, {LeftJustify, 0xA1}, {Center, 0xA1}, {RightJustify, 0xA1},
    {ViewFile, 0xA1}, {Import, 0xA1},
    {ListDir, 0xA3},
    {JumpToSector, 0xA5},
    {SortNameAscending, 0xA7}, {SortNameDescending, 0xA7}, {ShowDeletedFiles, 0xA7},
    {SortSizeAscending, 0xA7}, {SortSizeDescending, 0xA7},
    {Export, 0xA9}, {ToggleFontSize, 0xA9},
    {RenameDisk, 0xB3},
    {Save, 0xB7}, {SaveAs, 0xB7},
    {ToggleCase, 0xBF}, {Validate, 0xBF}, {Undo, 0xBF}, {Arrange, 0xBF},
}};
// clang-format on

void ApplyEnableTable(int capability, const std::function<void(CommandId, bool)>& enable) {
    const bool noView = capability == kCapabilityNoView;
    for (const EnableRow& row : CommandEnableTable)
        enable(row.id, !noView && (row.mask & capability) != 0);
}

} // namespace tessarind
