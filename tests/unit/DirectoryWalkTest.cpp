#include <gtest/gtest.h>

#include <cstring>

#include "support/ImageBuilder.h"
#include "support/Recorders.h"

namespace tessarind {
namespace {

using testing::AddFile;
using testing::BlankD64;
using testing::Pattern;
using testing::RawName;

// Fills a directory with `count` small files; returns their names' first letters A, B, ...
void FillDirectory(DiskImage& image, int count) {
    for (int i = 0; i < count; ++i) {
        std::string name = "F" + std::to_string(i);
        ASSERT_TRUE(AddFile(image, {name, 0x82, Pattern(10, static_cast<uint32_t>(i))}));
    }
}

TEST(EntryWalk, FindsEntriesAcrossDirectoryBlocks) {
    auto image = BlankD64();
    FillDirectory(*image, 20);
    EXPECT_EQ(image->entryCount(), 20);
    EntryLocation where;
    DirEntry e = image->EntryAtEx(9, false, &where);
    ASSERT_TRUE(e);
    EXPECT_EQ(std::memcmp(e.name().data(), RawName("F9").data(), 16), 0);
    EXPECT_EQ(where.track, 18);
    EXPECT_EQ(where.sector, 4); // the second directory block in the drive's order
    EXPECT_EQ(where.slot, 9);
    EXPECT_FALSE(image->EntryAt(20));
    EXPECT_FALSE(image->EntryAt(-1));
}

TEST(EntryWalk, DeletedSlotsCountOnlyWhenShown) {
    auto image = BlankD64();
    FillDirectory(*image, 3);
    image->EntryAt(1).type() = 0;
    image->Refresh();
    EXPECT_EQ(image->entryCount(), 2);
    EXPECT_EQ(std::memcmp(image->EntryAt(1).name().data(), RawName("F2").data(), 16), 0);
    EntryLocation where;
    image->EntryAtEx(1, false, &where);
    EXPECT_EQ(where.slot, 2);
    image->SetShowDeleted(true);
    image->Refresh();
    EXPECT_EQ(image->entryCount(), 8);
    EXPECT_EQ(std::memcmp(image->EntryAt(1).name().data(), RawName("F1").data(), 16), 0);
}

TEST(EntryWalk, DamagedDirectoryChainsEndQuietly) {
    auto image = BlankD64();
    FillDirectory(*image, 12); // two blocks: 18/1 and 18/4
    uint8_t* second = image->SectorPointer(18, 4);
    second[0] = 18;
    second[1] = 1; // loops back to the first block
    image->Refresh();
    EXPECT_EQ(image->entryCount(), 12); // each block once
    image->SetShowDeleted(true);
    EXPECT_EQ(image->CountEntries(), 16);
    image->SetShowDeleted(false);

    second[0] = 41; // beyond the last track
    image->Refresh();
    EXPECT_EQ(image->entryCount(), 12);
    second[0] = 18;
    second[1] = 25; // a sector the track does not have
    image->Refresh();
    EXPECT_EQ(image->entryCount(), 12);
    EXPECT_FALSE(image->EntryAt(12));
    image->SetDirTrack(0);
    EXPECT_EQ(image->CountEntries(), 0);
    EXPECT_FALSE(image->EntryAt(0));
}

// A sub-directory at track 20: header 20/0 linking to the directory block 20/1.
DirEntry MakeSubDirectory(DiskImage& image, const char* name, uint8_t type, int track) {
    DirEntry e = AddFile(image, {name, type, {}});
    e.firstTrack() = static_cast<uint8_t>(track);
    e.firstSector() = 0;
    e.setBlocksRaw(19);
    uint8_t* header = image.SectorPointer(track, 0);
    std::memset(header, 0, 256);
    header[0] = static_cast<uint8_t>(track);
    header[1] = 1;
    uint8_t* dir = image.SectorPointer(track, 1);
    std::memset(dir, 0, 256);
    dir[1] = 0xFF;
    image.Refresh();
    return e;
}

TEST(SubDirectory, EnterListsTheInnerDirectoryAndLeaveRestores) {
    auto image = BlankD64();
    testing::RecordingObserver view;
    image->AttachDirectoryView(&view);
    FillDirectory(*image, 2);
    MakeSubDirectory(*image, "PART", 0x85, 20);
    int saved = image->dirSector();
    ASSERT_TRUE(image->EnterSubDirectory(2));
    EXPECT_EQ(image->dirTrack(), 20);
    EXPECT_EQ(image->dirSector(), 1);
    EXPECT_EQ(image->entryCount(), 0);
    EXPECT_EQ(view.selected, 0);
    ASSERT_EQ(image->DirStack().size(), 1u);
    EXPECT_EQ(image->DirStack().front().type, kCbm);
    EXPECT_EQ(image->DirStack().front().blocks, 19);
    // A file placed in it lists inside only.
    AddFile(*image, {"INNER", 0x82, Pattern(5)});
    EXPECT_EQ(image->entryCount(), 1);

    ASSERT_TRUE(image->LeaveSubDirectory());
    EXPECT_EQ(image->dirTrack(), 18);
    EXPECT_EQ(image->dirSector(), saved);
    EXPECT_EQ(image->entryCount(), 3);
    EXPECT_EQ(view.selected, 2);
    EXPECT_FALSE(image->LeaveSubDirectory());
}

TEST(SubDirectory, RefusedForOtherTypesAndBadHeaders) {
    auto image = BlankD64();
    FillDirectory(*image, 1);
    EXPECT_FALSE(image->EnterSubDirectory(0)); // a PRG
    EXPECT_FALSE(image->EnterSubDirectory(5)); // no entry
    DirEntry odd = MakeSubDirectory(*image, "ODD", 0x85, 20);
    odd.firstSector() = 1; // a partition must start at sector 0
    EXPECT_FALSE(image->EnterSubDirectory(1));
    DirEntry self = MakeSubDirectory(*image, "SELF", 0x86, 21);
    image->SectorPointer(21, 0)[0] = 18; // links back to the directory being listed
    image->SectorPointer(21, 0)[1] = 1;
    EXPECT_FALSE(image->EnterSubDirectory(2));
    DirEntry gone = MakeSubDirectory(*image, "GONE", 0x86, 22);
    image->SectorPointer(22, 0)[1] = 40; // a block that does not exist
    EXPECT_FALSE(image->EnterSubDirectory(3));
    EXPECT_TRUE(image->DirStack().empty());
    EXPECT_EQ(image->dirTrack(), 18);
    (void)self;
    (void)gone;
}

TEST(SubDirectory, LoopBackToAnOuterLevelIsRefused) {
    auto image = BlankD64();
    MakeSubDirectory(*image, "OUTER", 0x86, 20);
    ASSERT_TRUE(image->EnterSubDirectory(0));
    // Inside: a DIR entry whose header points at the outer directory 20/1... and one at
    // the root directory 18/1, both already on the way here.
    DirEntry inner = MakeSubDirectory(*image, "INNER", 0x86, 21);
    image->SectorPointer(21, 0)[0] = 18;
    image->SectorPointer(21, 0)[1] = 1;
    EXPECT_FALSE(image->EnterSubDirectory(0));
    EXPECT_EQ(image->dirTrack(), 20);
    image->SectorPointer(21, 0)[0] = 20;
    EXPECT_FALSE(image->EnterSubDirectory(0)); // the directory being listed
    (void)inner;
}

TEST(FreeDirSector, FollowsTheDirectoryOrder) {
    auto image = BlankD64();
    int t = 0, s = 0;
    ASSERT_TRUE(image->FindFreeDirSector(t, s));
    EXPECT_EQ(t, 18);
    EXPECT_EQ(s, 4);
    for (int sector = 2; sector <= 18; ++sector) image->ToggleBlock(18, sector);
    EXPECT_FALSE(image->FindFreeDirSector(t, s));
}

} // namespace
} // namespace tessarind
