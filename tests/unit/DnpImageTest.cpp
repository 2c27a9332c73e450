// The CMD native partition: a new partition's layout and size rules, the bit-per-block map,
// allocation from the front, directory growth and sub-directories with their header blocks.

#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include "formats/DnpImage.h"
#include "model/FormatRegistry.h"
#include "support/CmdBuilder.h"
#include "support/ImageBuilder.h"

namespace tessarind {
namespace {

using testing::AddFile;
using testing::FlatOffset;
using testing::Pattern;
using testing::RawName;

std::unique_ptr<DnpImage> NewPartition(long sectors) {
    auto image = std::make_unique<DnpImage>();
    image->OfferSize(sectors);
    EXPECT_TRUE(image->Open(nullptr, "", false, true));
    return image;
}

uint8_t RawByte(const DiskImage& image, int track, int sector, int offset) {
    return image.Store().Contents()[FlatOffset(track, sector) + static_cast<size_t>(offset)];
}

TEST(DnpImage, PartitionSizeIsEvenAndWithinBounds) {
    struct Case {
        long answer, offered, expected;
    } cases[] = {{1000, 700, 700}, {400, 700, 512},       {701, 700, 700}, {513, 700, 512},
                 {514, 700, 514},  {65535, 65280, 65280}, {600, 601, 600}};
    for (const Case& c : cases)
        EXPECT_EQ(DnpImage::PartitionSize(c.answer, c.offered), c.expected)
            << c.answer << " of " << c.offered;
}

TEST(DnpImage, NewPartitionLayout) {
    struct Case {
        long sectors;
        int tracks, freeBlocks;
    } cases[] = {{512, 2, 512 - 35}, {700, 2, 700 - 35}, {65280, 255, 65280 - 35}};
    for (const Case& c : cases) {
        auto image = NewPartition(c.sectors);
        SCOPED_TRACE(c.sectors);
        EXPECT_EQ(image->imageSize(), static_cast<uint32_t>(c.sectors * 256));
        EXPECT_EQ(image->trackCount(), c.tracks);
        EXPECT_EQ(image->FreeBlockCount(), c.freeBlocks);
        EXPECT_FALSE(image->modified());
        // Header, the bitmap's start and the last track, read from the raw bytes.
        EXPECT_EQ(RawByte(*image, 1, 1, 0), 1);
        EXPECT_EQ(RawByte(*image, 1, 1, 1), 34);
        EXPECT_EQ(RawByte(*image, 1, 1, 2), 0x48);
        EXPECT_EQ(RawByte(*image, 1, 1, 0x16), 'C');
        EXPECT_EQ(RawByte(*image, 1, 1, 0x19), '1');
        EXPECT_EQ(RawByte(*image, 1, 2, 3), 0xB7);
        EXPECT_EQ(RawByte(*image, 1, 2, 8), c.tracks);
        EXPECT_EQ(RawByte(*image, 1, 2, 32 + 4), 0x1F); // sectors 32-34 of track 1 used
        EXPECT_EQ(RawByte(*image, 1, 34, 1), 0xFF);
        int t = 0, s = 0;
        ASSERT_NE(image->AllocateBlock(t, s, false), nullptr);
        EXPECT_EQ(std::make_pair(t, s), std::make_pair(1, 35));
    }
}

TEST(DnpImage, HeaderBlocksAreTheBitmap) {
    auto image = NewPartition(512);
    struct Case {
        int track, sector;
        bool header;
    } cases[] = {{1, 1, false},  {1, 2, true},  {1, 33, true},
                 {1, 34, false}, {2, 2, false}, {1, 0, false}};
    for (const Case& c : cases)
        EXPECT_EQ(image->IsHeaderBlock(c.track, c.sector), c.header) << c.sector;
}

TEST(DnpImage, BitmapBitOfEachBlock) {
    auto image = NewPartition(65280);
    struct Case {
        int track, sector;
    } cases[] = {{1, 40}, {2, 0}, {7, 255}, {8, 9}, {100, 128}, {255, 7}};
    for (const Case& c : cases) {
        const int bamSector = c.track / 8 + 2, offset = 32 * (c.track % 8) + c.sector / 8;
        const uint8_t before = RawByte(*image, 1, bamSector, offset);
        ASSERT_TRUE(image->IsBlockFree(c.track, c.sector));
        image->ToggleBlock(c.track, c.sector);
        EXPECT_FALSE(image->IsBlockFree(c.track, c.sector));
        EXPECT_EQ(before ^ RawByte(*image, 1, bamSector, offset), 0x80 >> (c.sector % 8))
            << c.track << "/" << c.sector;
    }
    EXPECT_EQ(image->FreeBlockCount(), 65280 - 35 - static_cast<int>(std::size(cases)));
    // Outside the partition nothing is free and nothing changes.
    auto small = NewPartition(512);
    EXPECT_FALSE(small->IsBlockFree(3, 0));
    small->ToggleBlock(3, 0);
    EXPECT_EQ(small->FreeBlockCount(), 477);
}

TEST(DnpImage, AllocationRunsFromTheFrontAcrossTracks) {
    auto image = NewPartition(512);
    int t = 0, s = 0;
    for (int n = 0; n < 221; ++n)
        ASSERT_NE(image->AllocateBlock(t, s, true), nullptr);
    EXPECT_EQ(std::make_pair(t, s), std::make_pair(1, 255));
    ASSERT_NE(image->AllocateBlock(t = 9, s = 9, true), nullptr);
    EXPECT_EQ(std::make_pair(t, s), std::make_pair(2, 0));
    for (int n = 0; n < 255; ++n)
        ASSERT_NE(image->AllocateBlock(t, s, true), nullptr);
    EXPECT_EQ(image->FreeBlockCount(), 0);
    EXPECT_EQ(image->AllocateBlock(t, s, true), nullptr);
}

TEST(DnpImage, DirectoryGrowsByAFreeBlock) {
    auto image = NewPartition(512);
    for (int n = 0; n < 9; ++n)
        ASSERT_TRUE(AddFile(*image, {"F" + std::to_string(n), 0x82, Pattern(300, n)}));
    EXPECT_EQ(image->CountEntries(), 9);
    // The first directory block now links to a second one, taken in the bitmap.
    const int nt = RawByte(*image, 1, 34, 0), ns = RawByte(*image, 1, 34, 1);
    ASSERT_EQ(nt, 1);
    EXPECT_FALSE(image->IsBlockFree(nt, ns));
    EXPECT_EQ(RawByte(*image, nt, ns, 1), 0xFF);
    for (int n = 0; n < 9; ++n) {
        auto data = image->ReadFileData(n);
        ASSERT_TRUE(data);
        EXPECT_EQ(*data, Pattern(300, n));
    }
}

TEST(DnpImage, SubDirectoryHeaderEntryAndLevels) {
    auto image = NewPartition(1024);
    ASSERT_TRUE(AddFile(*image, {"TOP", 0x82, Pattern(10)}));
    const int freeBefore = image->FreeBlockCount();
    ASSERT_TRUE(image->CreateSubDirectory(1));
    EXPECT_EQ(image->FreeBlockCount(), freeBefore - 2);
    DirEntry dir = image->EntryAt(1);
    ASSERT_TRUE(dir);
    EXPECT_EQ(dir.type(), 0x86);
    EXPECT_EQ(dir.blocks(), 2);
    const int ht = dir.firstTrack(), hs = dir.firstSector();
    struct Field {
        int offset, value;
    } fields[] = {{2, 0x48}, {4, 0xA0},  {0x16, 0x48}, {0x1C, 0xA0}, {0x20, ht},    {0x21, hs},
                  {0x22, 1}, {0x23, 34}, {0x24, 1},    {0x25, 34},   {0x26, 32 + 2}};
    for (const Field& f : fields)
        EXPECT_EQ(RawByte(*image, ht, hs, f.offset), f.value) << f.offset;
    const int dt = RawByte(*image, ht, hs, 0), ds = RawByte(*image, ht, hs, 1);
    EXPECT_FALSE(image->IsBlockFree(ht, hs));
    EXPECT_FALSE(image->IsBlockFree(dt, ds));

    ASSERT_TRUE(image->EnterSubDirectory(1));
    EXPECT_EQ(std::make_pair(image->dirTrack(), image->dirSector()), std::make_pair(dt, ds));
    EXPECT_EQ(image->DiskNamePointer(), image->SectorPointer(ht, hs) + 4);
    EXPECT_EQ(image->CountEntries(), 0);
    ASSERT_TRUE(AddFile(*image, {"INNER", 0x81, Pattern(600)}));
    EXPECT_EQ(image->CountEntries(), 1);
    ASSERT_TRUE(image->LeaveSubDirectory());
    EXPECT_EQ(image->DiskNamePointer(), image->SectorPointer(1, 1) + 4);
    EXPECT_EQ(image->CountEntries(), 2);
    EXPECT_EQ(image->FreeBlockCount(), freeBefore - 2 - 3);
}

TEST(DnpImage, SubDirectoryUndoneAsOneStep) {
    auto image = NewPartition(512);
    const std::vector<uint8_t> before = image->Store().Snapshot();
    ASSERT_TRUE(image->CreateSubDirectory(0));
    EXPECT_TRUE(image->modified());
    image->UndoCommand();
    EXPECT_EQ(image->Store().Snapshot(), before);
    EXPECT_EQ(image->CountEntries(), 0);
}

TEST(DnpImage, SubDirectoryNeedsTwoFreeBlocks) {
    auto image = NewPartition(512);
    int t = 0, s = 0;
    while (image->FreeBlockCount() > 1)
        ASSERT_NE(image->AllocateBlock(t, s, true), nullptr);
    const std::vector<uint8_t> before = image->Store().Snapshot();
    EXPECT_FALSE(image->CreateSubDirectory(0));
    EXPECT_EQ(image->Store().Snapshot(), before);
}

TEST(DnpImage, LoadTakesTracksAndDirectoryFromTheBytes) {
    auto made = NewPartition(1024);
    ASSERT_TRUE(AddFile(*made, {"KEEP", 0x82, Pattern(700)}));
    std::vector<uint8_t> bytes = made->Store().Snapshot();
    // Move the directory: the header's link says where it starts.
    std::copy_n(bytes.begin() + static_cast<long>(FlatOffset(1, 34)), 256,
                bytes.begin() + static_cast<long>(FlatOffset(3, 7)));
    bytes[FlatOffset(1, 1)] = 3;
    bytes[FlatOffset(1, 1) + 1] = 7;
    DnpImage loaded;
    loaded.Store().Assign(bytes);
    loaded.AfterLoad();
    loaded.Refresh();
    EXPECT_EQ(loaded.trackCount(), 4);
    EXPECT_EQ(std::make_pair(loaded.dirTrack(), loaded.dirSector()), std::make_pair(3, 7));
    ASSERT_EQ(loaded.CountEntries(), 1);
    EXPECT_EQ(*loaded.ReadFileData(0), Pattern(700));
    EXPECT_EQ(loaded.SectorPointer(5, 0), nullptr);
    EXPECT_EQ(loaded.SectorPointer(0, 0), nullptr);
}

} // namespace
} // namespace tessarind
