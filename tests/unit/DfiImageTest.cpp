// The Dreamload archive: a new archive's layout, the bit-per-block BAM, allocation and the
// growth a track at a time, undone with the insert that caused it, up to the track limit.

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "formats/DfiImage.h"
#include "model/FormatRegistry.h"
#include "support/ImageBuilder.h"
#include "support/Process.h"
#include "support/Recorders.h"

namespace tessarind {
namespace {

using testing::Pattern;
using testing::RawName;
using testing::RecordingInteraction;

std::unique_ptr<DfiImage> NewArchive() {
    auto image = std::make_unique<DfiImage>();
    EXPECT_TRUE(image->Open(nullptr, "", false, true));
    return image;
}

std::vector<uint8_t> Bytes(const DiskImage& image) {
    std::span<const uint8_t> all = image.Store().Contents();
    return {all.begin(), all.end()};
}

bool Insert(DiskImage& image, const std::string& name, size_t size, uint32_t seed = 1) {
    return image.WriteFileData(RawName(name), image.CountEntries(), false, Pattern(size, seed), 0,
                               *FindRowById(FormatId::Prg));
}

TEST(DfiImage, NewArchiveLayout) {
    auto image = NewArchive();
    EXPECT_EQ(image->Store().Size(), 65536u);
    EXPECT_EQ(image->trackCount(), 1);
    EXPECT_FALSE(image->modified());
    EXPECT_EQ(image->FreeBlockCount(), 221);
    const uint8_t* header = image->SectorPointer(1, 0);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(header + 1), 22), "DREAMLOAD FILE ARCHIVE");
    EXPECT_EQ(header[26], 1);
    EXPECT_EQ(header[28], 1);
    EXPECT_EQ(std::vector<uint8_t>(header + 32, header + 36), (std::vector<uint8_t>{1, 1, 1, 16}));
    EXPECT_EQ(std::vector<uint8_t>(header + 96, header + 256), std::vector<uint8_t>(160, 0x20));
    const uint8_t* disk = image->SectorPointer(1, 1);
    EXPECT_EQ(disk[0], 1);
    EXPECT_EQ(disk[1], 2);
    EXPECT_EQ(disk[2], 0x4D);
    EXPECT_EQ(image->DiskNamePointer(), disk + 0x90);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(disk + 0xA2), 5), "UT\xA0"
                                                                          "2A");
    // Exactly the header, disk header, first directory block and the 32 BAM sectors are used.
    for (int s = 0; s < 256; ++s) {
        const bool system = s <= 2 || (s >= 16 && s <= 47);
        EXPECT_EQ(image->IsBlockFree(1, s), !system) << "1/" << s;
        EXPECT_EQ(image->IsHeaderBlock(1, s), s >= 16 && s <= 47) << "1/" << s;
    }
    EXPECT_EQ(image->CountEntries(), 0);
}

TEST(DfiImage, BamBitsAreSetForUsedBlocksAndToggleUndoes) {
    auto image = NewArchive();
    // Track 1 sector 3 is bit 4 of byte 0 of the first BAM sector's first 32 bytes.
    uint8_t* bam = image->SectorPointer(1, 16);
    ASSERT_EQ(bam[0] & 0x10, 0);
    image->ToggleBlock(1, 3);
    EXPECT_EQ(bam[0] & 0x10, 0x10);
    EXPECT_FALSE(image->IsBlockFree(1, 3));
    EXPECT_EQ(image->FreeBlockCount(), 220);
    EXPECT_EQ(image->Journal().back().name, "Toggle Sector");
    image->UndoCommand();
    EXPECT_TRUE(image->IsBlockFree(1, 3));
    EXPECT_FALSE(image->modified());
}

TEST(DfiImage, AllocationStartsAfterTheDirectoryAndSkipsUsedBlocks) {
    struct Case {
        int track, sector;
        int wantTrack, wantSector;
    } cases[] = {{0, 0, 1, 3},   {1, 0, 1, 3},   {1, 10, 1, 10},
                 {1, 15, 1, 15}, {1, 16, 1, 48}, {1, 255, 1, 255}};
    for (const Case& c : cases) {
        auto image = NewArchive();
        int t = c.track, s = c.sector;
        ASSERT_NE(image->AllocateBlock(t, s, false), nullptr);
        EXPECT_EQ(t, c.wantTrack) << c.track << "/" << c.sector;
        EXPECT_EQ(s, c.wantSector) << c.track << "/" << c.sector;
        EXPECT_TRUE(image->IsBlockFree(t, s)) << "not taken when not asked";
    }
}

TEST(DfiImage, InsertsGrowTheArchiveTrackByTrackAndUndoShrinksIt) {
    // Sizes in blocks: what fits, then files that need one and several more tracks.
    struct Case {
        int blocks;
        int tracks;
    } cases[] = {{221, 1}, {222, 2}, {221 + 256, 2}, {221 + 256 + 1, 3}, {221 + 4 * 256, 5}};
    for (const Case& c : cases) {
        auto image = NewArchive();
        const std::vector<uint8_t> before = Bytes(*image);
        ASSERT_TRUE(Insert(*image, "BIG", static_cast<size_t>(c.blocks) * 254)) << c.blocks;
        EXPECT_EQ(image->trackCount(), c.tracks) << c.blocks;
        EXPECT_EQ(image->SectorPointer(1, 0)[28], c.tracks) << c.blocks;
        EXPECT_EQ(image->Store().Size(), 65536u * static_cast<size_t>(c.tracks));
        EXPECT_EQ(image->FreeBlockCount(), 221 + 256 * (c.tracks - 1) - c.blocks) << c.blocks;
        std::optional<std::vector<uint8_t>> read = image->ReadFileData(0);
        ASSERT_TRUE(read);
        EXPECT_EQ(*read, Pattern(static_cast<size_t>(c.blocks) * 254)) << c.blocks;
        EXPECT_EQ(image->Journal().back().name, "Import File");
        image->UndoCommand();
        EXPECT_EQ(image->trackCount(), 1) << c.blocks;
        EXPECT_EQ(Bytes(*image), before) << c.blocks;
        EXPECT_FALSE(image->modified());
    }
}

TEST(DfiImage, GrowingToTrackNineClearsItsBamBytes) {
    auto image = NewArchive();
    for (int t = 2; t <= 8; ++t)
        ASSERT_TRUE(image->SetExtendedTracks(true));
    uint8_t* bam17 = image->SectorPointer(1, 17);
    std::fill(bam17, bam17 + 64, 0xFF);
    ASSERT_TRUE(image->SetExtendedTracks(true));
    EXPECT_EQ(image->trackCount(), 9);
    bam17 = image->SectorPointer(1, 17);
    EXPECT_EQ(std::vector<uint8_t>(bam17, bam17 + 32), std::vector<uint8_t>(32, 0));
    EXPECT_EQ(bam17[32], 0xFF) << "the next track's bytes stay";
    EXPECT_EQ(image->FreeBlockCount(), 221 + 8 * 256);
}

TEST(DfiImage, AFileBeyondTheTrackLimitIsRefusedAndTheArchiveStaysAsItWas) {
    auto image = NewArchive();
    {
        DiskImage::SuspendRecording quiet(*image);
        for (int t = 2; t <= 250; ++t)
            ASSERT_TRUE(image->SetExtendedTracks(true));
    }
    image->SetModified(false);
    const std::vector<uint8_t> before = Bytes(*image);
    const int free = image->FreeBlockCount();
    RecordingInteraction ui;
    image->SetOwner(&ui);
    // Six more tracks would be added before the limit; the file needs more than they hold.
    const size_t size = static_cast<size_t>(free + 6 * 256 + 1) * 254;
    EXPECT_FALSE(image->WriteFileData(RawName("HUGE"), 0, true, Pattern(size), 0,
                                      *FindRowById(FormatId::Prg)));
    ASSERT_EQ(ui.messages.size(), 1u);
    EXPECT_EQ(ui.messages[0].text, "Not Enough Room on Disk");
    EXPECT_EQ(image->trackCount(), 250);
    EXPECT_EQ(Bytes(*image), before);
    EXPECT_FALSE(image->modified());
    // At the limit itself a track more is refused; the header then holds 0 for 256 tracks.
    for (int t = 251; t <= 256; ++t)
        ASSERT_TRUE(image->SetExtendedTracks(true));
    EXPECT_FALSE(image->SetExtendedTracks(true));
    EXPECT_EQ(image->SectorPointer(1, 0)[28], 0);
    EXPECT_NE(image->SectorPointer(256, 255), nullptr);
    EXPECT_EQ(image->SectorPointer(257, 0), nullptr);
}

TEST(DfiImage, SavedArchiveReopensWithItsFilesAndTracks) {
    auto image = NewArchive();
    ASSERT_TRUE(Insert(*image, "ONE", 1000, 3));
    ASSERT_TRUE(Insert(*image, "TWO", 300 * 254, 4));
    testing::TempDir dir;
    const std::string path = (dir / "a.dfi").string();
    ASSERT_TRUE(image->WriteFile(path));
    auto again = std::make_unique<DfiImage>();
    ASSERT_TRUE(again->Open(nullptr, path, true, false));
    EXPECT_EQ(again->trackCount(), 2);
    EXPECT_EQ(again->CountEntries(), 2);
    EXPECT_EQ(again->FreeBlockCount(), image->FreeBlockCount());
    EXPECT_EQ(again->ReadFileData(0), Pattern(1000, 3));
    EXPECT_EQ(again->ReadFileData(1), Pattern(300 * 254, 4));
}

TEST(DfiImage, ArchivesCutShortOrWithLyingHeadersOpenWithoutGivingAbsentBlocks) {
    struct Case {
        size_t size;
        uint8_t trackByte;
    } cases[] = {{65536 + 512, 3}, {20000, 1}, {256, 9}, {65536, 0}};
    for (const Case& c : cases) {
        auto whole = NewArchive();
        std::vector<uint8_t> bytes = Bytes(*whole);
        bytes[28] = c.trackByte;
        bytes.resize(c.size, 0);
        testing::TempDir dir;
        const std::string path = (dir / "cut.dfi").string();
        {
            auto writer = std::make_unique<DfiImage>();
            writer->Store().Assign(bytes);
            ASSERT_TRUE(writer->WriteFile(path));
        }
        DfiImage image;
        ASSERT_TRUE(image.Open(nullptr, path, true, false)) << c.size;
        const int present = static_cast<int>(c.size / 256);
        EXPECT_LE(image.FreeBlockCount(), present) << c.size;
        int t = 1, s = 3;
        if (uint8_t* block = image.AllocateBlock(t, s, false)) {
            EXPECT_LT((t - 1) * 256 + s, present) << c.size;
            EXPECT_EQ(block, image.SectorPointer(t, s));
        }
    }
}

} // namespace
} // namespace tessarind
