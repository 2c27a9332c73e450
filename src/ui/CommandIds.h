#pragma once
// Every command of the menus, the toolbar, the accelerators and the keys, by the number it is
// routed with. The core's CommandId.h names the few the image model needs; the desktop app
// names the rest here, as values of the same enum, so everything routes through one type.

#include "model/CommandId.h"

namespace tessarind::cmd {

constexpr CommandId Id(int number) {
    return static_cast<CommandId>(number);
}
constexpr int Number(CommandId id) {
    return static_cast<int>(id);
}

inline constexpr CommandId About = Id(205);
inline constexpr CommandId Exit = Id(207);
inline constexpr CommandId FindInDisks = Id(1009);
inline constexpr CommandId Open = Id(2000);
inline constexpr CommandId Remove = Id(2001);
inline constexpr CommandId Insert = Id(2002);
inline constexpr CommandId Rename = Id(2003);
inline constexpr CommandId TypeDel = Id(2005);
inline constexpr CommandId TypeSeq = Id(2006);
inline constexpr CommandId TypePrg = Id(2007);
inline constexpr CommandId TypeUsr = Id(2008);
inline constexpr CommandId TypeRel = Id(2009);
inline constexpr CommandId TypeCbm = Id(2010);
inline constexpr CommandId Splat = Id(2011);
inline constexpr CommandId Lock = Id(2012);
inline constexpr CommandId Save = Id(2013);
inline constexpr CommandId Close = Id(2014);
inline constexpr CommandId ToggleCase = Id(2015);
inline constexpr CommandId MoveFileUp = Id(2016);
inline constexpr CommandId MoveFileDown = Id(2017);
inline constexpr CommandId BamEditor = Id(2018);
inline constexpr CommandId ChangeFileSize = Id(2019);
inline constexpr CommandId JumpToEntrySector = Id(2020);
inline constexpr CommandId RenameDisk = Id(2021);
inline constexpr CommandId EditDiskId = Id(2022);
inline constexpr CommandId ShowCbmTool = Id(2023);
inline constexpr CommandId Validate = Id(2024);
inline constexpr CommandId ShowSeparatorTool = Id(2028);
inline constexpr CommandId Undo = CommandId::Undo;
inline constexpr CommandId SectorErrors = CommandId::SectorErrors;
inline constexpr CommandId ExtendedTracks = CommandId::ExtendedTracks;
inline constexpr CommandId WriteErrorNumbers = CommandId::WriteErrorNumbers;
inline constexpr CommandId FillSector = Id(2041);
inline constexpr CommandId Options = Id(2043);
inline constexpr CommandId AutoFileSize = Id(2044);
inline constexpr CommandId JumpToSector = Id(2045);
inline constexpr CommandId Expand = Id(2046);
inline constexpr CommandId LeftJustify = Id(2047);
inline constexpr CommandId Center = Id(2048);
inline constexpr CommandId Arrange = Id(2049);
inline constexpr CommandId RightJustify = Id(2050);
inline constexpr CommandId ViewFile = Id(2052);
inline constexpr CommandId Export = Id(2053);
inline constexpr CommandId Import = Id(2054);
inline constexpr CommandId Help = Id(2055);
inline constexpr CommandId SaveAs = Id(2056);
inline constexpr CommandId NewD64 = Id(2057);
inline constexpr CommandId NewD71 = Id(2058);
inline constexpr CommandId NewD81 = Id(2059);
inline constexpr CommandId FillFreeSectors = CommandId::FillFreeSectors;
inline constexpr CommandId FileAssociations = Id(2061);
inline constexpr CommandId ListDir = Id(2062);
inline constexpr CommandId Uncompress = Id(2063);
inline constexpr CommandId ToggleHiddenCharacters = Id(2064);
inline constexpr CommandId BackgroundColour = Id(2065);
inline constexpr CommandId TextColour = Id(2066);
inline constexpr CommandId ToggleFontSize = Id(2074);
inline constexpr CommandId BatchProcessing = Id(2077);
inline constexpr CommandId ParentDirectory = CommandId::ParentDirectory;
inline constexpr CommandId NewDnp = Id(2086);
inline constexpr CommandId NewD2m = Id(2087);
inline constexpr CommandId Compact = Id(2090);
inline constexpr CommandId SortNameAscending = Id(2091);
inline constexpr CommandId SortNameDescending = Id(2092);
inline constexpr CommandId CreateSubDir = Id(2094);
inline constexpr CommandId JumpToSideSector = Id(2098);
inline constexpr CommandId ShowFileProperties = Id(2099);
inline constexpr CommandId NewD80 = Id(2116);
inline constexpr CommandId NewD82 = Id(2117);
inline constexpr CommandId ShowDeletedFiles = CommandId::ShowDeletedFiles;
inline constexpr CommandId RunIn1 = Id(2152); // to 2159
inline constexpr CommandId NewDfi = Id(2160);
inline constexpr CommandId SelectAll = Id(2161);
inline constexpr CommandId NewT64 = Id(2180);
inline constexpr CommandId CrossLinks = Id(2183);
inline constexpr CommandId SortSizeAscending = Id(2184);
inline constexpr CommandId SortSizeDescending = Id(2185);

inline constexpr int kRunInCount = 8;
constexpr CommandId RunIn(int entry) {
    return Id(Number(RunIn1) + entry - 1);
} // entry 1 to 8

// The recently used files: slot n of FileMRU.
inline constexpr int kFileMruBase = 2040;
inline constexpr int kFileMruStep = 4096;
constexpr CommandId FileMru(int slot) {
    return Id(kFileMruBase + kFileMruStep * slot);
}

// The "&Windows" list: the first child window's item.
inline constexpr int kFirstWindowItem = 1100;

} // namespace tessarind::cmd
