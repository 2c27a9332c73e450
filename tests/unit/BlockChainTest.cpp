#include <gtest/gtest.h>

#include "model/VisitedSet.h"
#include "support/ImageBuilder.h"

namespace tessarind {
namespace {

using testing::AddFile;
using testing::BlankD64;
using testing::Pattern;

// Links (t, s) to (nt, ns) directly in the image.
void Link(DiskImage& image, int t, int s, int nt, int ns) {
    uint8_t* b = image.SectorPointer(t, s);
    b[0] = static_cast<uint8_t>(nt);
    b[1] = static_cast<uint8_t>(ns);
}

// Short walks keep their pairs in a small array, long ones in the full map: both remember
// every pair, and pairs outside the map count as visited.
TEST(VisitedSet, RemembersEveryPairShortAndLongWalks) {
    VisitedSet set;
    std::vector<std::pair<int, int>> pairs;
    for (int n = 0; n < 2000; ++n) pairs.emplace_back(1 + n % 256, (n / 256 * 37 + n % 256 * 11) % 256);
    for (size_t i = 0; i < pairs.size(); ++i) {
        auto [t, s] = pairs[i];
        if (i < 40 || i % 50 == 0) {
            EXPECT_FALSE(set.Contains(t, s)) << t << "/" << s;
        }
        EXPECT_TRUE(set.Visit(t, s)) << "pair " << i << ": " << t << "/" << s;
        EXPECT_FALSE(set.Visit(t, s)) << "pair " << i << " twice";
        // Every pair so far is still there as the set grows past its small array.
        if (i == 47 || i == 48 || i == 49 || i == 1999) {
            for (size_t j = 0; j <= i; ++j) {
                EXPECT_TRUE(set.Contains(pairs[j].first, pairs[j].second)) << "pair " << j << " after " << i;
            }
        }
    }
    EXPECT_FALSE(set.Contains(5, 0)); // not among the pairs
    for (auto [t, s] : {std::pair{0, 0}, {257, 0}, {1, -1}, {1, 256}}) {
        EXPECT_FALSE(set.Visit(t, s));
        EXPECT_TRUE(set.Contains(t, s));
    }
    VisitedSet fresh;
    EXPECT_TRUE(fresh.Visit(256, 255));
    EXPECT_TRUE(fresh.Visit(1, 0));
    EXPECT_FALSE(fresh.Visit(256, 255));
}

TEST(WalkChain, SizeComesFromTheLastBlocksSecondByte) {
    auto image = BlankD64();
    for (int last : {0, 1}) {
        Link(*image, 1, 0, 1, 1);
        Link(*image, 1, 1, 0, last);
        ChainWalk walk = image->WalkChain(1, 0);
        EXPECT_TRUE(walk.complete);
        EXPECT_EQ(walk.blocks, 2);
        EXPECT_EQ(walk.bytes, 254u) << "last byte " << last;
    }
    Link(*image, 2, 0, 0, 255);
    EXPECT_EQ(image->WalkChain(2, 0).bytes, 254u);
    Link(*image, 2, 0, 0, 2);
    EXPECT_EQ(image->WalkChain(2, 0).bytes, 1u);
    ChainWalk none = image->WalkChain(0, 0);
    EXPECT_TRUE(none.complete);
    EXPECT_EQ(none.blocks, 0);
    EXPECT_EQ(none.bytes, 0u);
}

TEST(WalkChain, StopsAtLoopsHighTracksAndAbsentBlocks) {
    auto image = BlankD64();
    Link(*image, 3, 0, 3, 1);
    Link(*image, 3, 1, 3, 0); // back to the first block
    ChainWalk loop = image->WalkChain(3, 0);
    EXPECT_FALSE(loop.complete);
    EXPECT_EQ(loop.blocks, 2);
    EXPECT_EQ(loop.lastTrack, 3);
    EXPECT_EQ(loop.lastSector, 1);

    Link(*image, 4, 0, 36, 0);
    ChainWalk high = image->WalkChain(4, 0);
    EXPECT_FALSE(high.complete);
    EXPECT_EQ(high.blocks, 1);

    Link(*image, 5, 0, 5, 30); // sector 30 does not exist
    ChainWalk absent = image->WalkChain(5, 0);
    EXPECT_FALSE(absent.complete);
    EXPECT_EQ(absent.blocks, 1);
    // A broken chain is read up to the break: whole blocks, no invented bytes.
    EXPECT_EQ(absent.bytes, 254u);
}

TEST(WalkChain, CopiesWhileTheBufferHasRoomAndTogglesWhenAsked) {
    auto image = BlankD64();
    std::vector<uint8_t> data = Pattern(600);
    int t = 0, s = 0;
    ASSERT_TRUE(image->WriteChain(data, t, s));
    std::vector<uint8_t> buffer(600);
    ChainWalk walk = image->WalkChain(t, s, false, buffer);
    EXPECT_EQ(walk.bytes, 600u);
    EXPECT_EQ(buffer, data);
    std::vector<uint8_t> small(300, 0xEE);
    image->WalkChain(t, s, false, small);
    EXPECT_TRUE(std::equal(small.begin(), small.begin() + 254, data.begin()));
    EXPECT_EQ(small[254], 0xEE); // the second block did not fit and ended the copying

    int before = image->FreeBlockCount();
    image->WalkChain(t, s, true);
    EXPECT_EQ(image->FreeBlockCount(), before + 3);
    EXPECT_TRUE(image->IsBlockFree(t, s));
}

TEST(FindFreeSectorOnTrack, StepsByTheInterleaveAndWraps) {
    auto image = BlankD64();
    for (int s = 0; s < 21; ++s) image->ToggleBlock(1, s);
    image->ToggleBlock(1, 3);
    int sector = 15;
    ASSERT_TRUE(image->FindFreeSectorOnTrack(1, sector, 10, 21));
    EXPECT_EQ(sector, 3);
    image->ToggleBlock(1, 3);
    image->ToggleBlock(1, 0);
    sector = 11;
    ASSERT_TRUE(image->FindFreeSectorOnTrack(1, sector, 10, 21));
    EXPECT_EQ(sector, 0);
    image->ToggleBlock(1, 0);
    image->ToggleBlock(1, 20);
    sector = 11; // candidate 0 is taken: the scan goes on cyclically to 20
    ASSERT_TRUE(image->FindFreeSectorOnTrack(1, sector, 10, 21));
    EXPECT_EQ(sector, 20);
    image->ToggleBlock(1, 20);
    sector = 11;
    EXPECT_FALSE(image->FindFreeSectorOnTrack(1, sector, 10, 21));
    EXPECT_EQ(sector, 11);
}

TEST(WriteChain, LastBlockCarriesItsByteCount) {
    auto image = BlankD64();
    int t = 0, s = 0;
    ASSERT_TRUE(image->WriteChain(Pattern(254), t, s));
    EXPECT_EQ(t, 17);
    EXPECT_EQ(s, 0);
    const uint8_t* b = image->SectorPointer(t, s);
    EXPECT_EQ(b[0], 0);
    EXPECT_EQ(b[1], 255);

    ASSERT_TRUE(image->WriteChain(Pattern(255), t, s));
    const uint8_t* first = image->SectorPointer(t, s);
    ASSERT_NE(first[0], 0);
    const uint8_t* second = image->SectorPointer(first[0], first[1]);
    EXPECT_EQ(second[0], 0);
    EXPECT_EQ(second[1], 2);
    EXPECT_EQ(image->FreeBlockCount(), 664 - 3);
    EXPECT_EQ(image->Journal().back().name, "Import File");
    EXPECT_EQ(image->Journal().back().offset, 2u);

    EXPECT_FALSE(image->WriteChain({}, t, s));
}

TEST(WriteChain, FullDiskLeavesTheImageAsItWas) {
    auto image = BlankD64();
    ASSERT_TRUE(AddFile(*image, {"BIG", 0x82, Pattern(600 * 254)}));
    std::vector<uint8_t> before = image->Store().Snapshot();
    size_t journal = image->Journal().size();
    int t = 0, s = 0;
    EXPECT_FALSE(image->WriteChain(Pattern(100 * 254), t, s));
    EXPECT_EQ(image->Store().Snapshot(), before);
    EXPECT_EQ(image->Journal().size(), journal);
    EXPECT_EQ(image->FreeBlockCount(), 64);
}

TEST(WriteChain, UndoFreesTheBlocksInOneStep) {
    auto image = BlankD64();
    std::vector<uint8_t> before = image->Store().Snapshot();
    int t = 0, s = 0;
    ASSERT_TRUE(image->WriteChain(Pattern(3000), t, s));
    EXPECT_TRUE(image->modified());
    EXPECT_EQ(image->UndoItemText(), "Undo: Import File\bCTRL+Z");
    image->UndoCommand();
    EXPECT_EQ(image->Store().Snapshot(), before);
    EXPECT_FALSE(image->modified());
}

TEST(FillFreeSectors, FillsFreeBlocksAndFileTails) {
    Settings settings;
    auto image = BlankD64("FILL", "00 2A", &settings);
    settings.Set(SettingId::FillByte, 0x55);
    DirEntry file = AddFile(*image, {"F", 0x82, Pattern(300)});
    DirEntry rel = AddFile(*image, {"R", 0x84, Pattern(300, 3)});
    image->SetModified(false);
    size_t journal = image->Journal().size();
    image->FillFreeSectors();
    EXPECT_TRUE(image->modified());
    EXPECT_EQ(image->Journal().back().name, "Fill Free Blocks");
    EXPECT_EQ(image->SectorPointer(1, 0)[0], 0x55);
    EXPECT_EQ(image->SectorPointer(18, 2)[100], 0x55);
    // The second block of the PRG carries 46 bytes (second byte 47): the rest is filled.
    ChainWalk walk = image->WalkChain(file.firstTrack(), file.firstSector());
    const uint8_t* last = image->SectorPointer(walk.lastTrack, walk.lastSector);
    EXPECT_EQ(last[1], 47);
    EXPECT_NE(last[47], 0x55);
    EXPECT_EQ(last[48], 0x55);
    EXPECT_EQ(last[255], 0x55);
    // REL tails are left alone.
    ChainWalk relWalk = image->WalkChain(rel.firstTrack(), rel.firstSector());
    EXPECT_NE(image->SectorPointer(relWalk.lastTrack, relWalk.lastSector)[255], 0x55);

    image->UndoCommand();
    EXPECT_EQ(image->Journal().size(), journal);
    EXPECT_NE(image->SectorPointer(1, 0)[0], 0x55);
    EXPECT_NE(last[255], 0x55);
}

TEST(FillFreeSectors, FullDiskOnlyTouchesTails) {
    Settings settings;
    auto image = BlankD64("", "00 2A", &settings);
    settings.Set(SettingId::FillByte, 0xAA);
    AddFile(*image, {"ALL", 0x82, Pattern(664 * 254 - 200)});
    ASSERT_EQ(image->FreeBlockCount(), 0);
    for (int s = 0; s < 19; ++s) // the directory track's free blocks count too
        if (image->IsBlockFree(18, s)) image->ToggleBlock(18, s);
    image->SetModified(false);
    std::vector<uint8_t> before = image->Store().Snapshot();
    image->FillFreeSectors();
    // Only the last block's unused 200 bytes changed, as one undoable step.
    size_t changed = 0;
    for (size_t i = 0; i < before.size(); ++i) changed += before[i] != image->Store().Contents()[i];
    EXPECT_GT(changed, 0u);
    EXPECT_LE(changed, 200u);
    EXPECT_TRUE(image->modified());
    image->UndoCommand();
    EXPECT_EQ(image->Store().Snapshot(), before);
}

// A BAM that calls a directory block free lets filling overwrite entries: the listing's
// count follows at once, and undo brings the entries back.
TEST(FillFreeSectors, DirectoryBlocksTheBamCallsFreeAreFilledAndRecounted) {
    Settings settings;
    auto image = BlankD64("", "00 2A", &settings);
    settings.Set(SettingId::FillByte, 0);
    AddFile(*image, {"ONE", 0x82, Pattern(10)});
    AddFile(*image, {"TWO", 0x81, Pattern(10)});
    ASSERT_FALSE(image->IsBlockFree(18, 1));
    image->ToggleBlock(18, 1);
    image->SetShowDeleted(false);
    image->Refresh();
    ASSERT_EQ(image->entryCount(), 2);
    image->FillFreeSectors();
    EXPECT_EQ(image->CountEntries(), 0);
    EXPECT_EQ(image->entryCount(), 0);
    image->UndoCommand();
    EXPECT_EQ(image->entryCount(), 2);
}

TEST(ReadFileData, ReadsChainsAndRefusesDeletedEntries) {
    auto image = BlankD64();
    std::vector<uint8_t> data = Pattern(1000);
    AddFile(*image, {"A", 0x82, data});
    AddFile(*image, {"D", 0x80, Pattern(10)});
    AddFile(*image, {"E", 0x82, {}});
    EXPECT_EQ(image->ReadFileData(0), data);
    EXPECT_FALSE(image->ReadFileData(1));
    EXPECT_FALSE(image->ReadFileData(2));
    EXPECT_FALSE(image->ReadFileData(3));
    EXPECT_EQ(image->FileBlocks(0), 4);
}

TEST(NextInChain, FollowsTheLink) {
    auto image = BlankD64();
    int t = 0, s = 0;
    ASSERT_TRUE(image->WriteChain(Pattern(300), t, s));
    int first = t, firstS = s;
    const uint8_t* next = image->NextInChain(t, s);
    ASSERT_NE(next, nullptr);
    EXPECT_EQ(next, image->SectorPointer(t, s));
    EXPECT_EQ(image->NextInChain(t, s), nullptr);
    EXPECT_EQ(t, 0);
    int bt = 0, bs = 0;
    EXPECT_EQ(image->NextInChain(bt, bs, image->SectorPointer(first, firstS)), next);
    int zero = 0, zs = 5;
    EXPECT_EQ(image->NextInChain(zero, zs), nullptr);
}

} // namespace
} // namespace tessarind
