#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include "model/VisitedSet.h"
#include "support/ImageBuilder.h"
#include "support/Recorders.h"

namespace tessarind {
namespace {

using testing::AddFile;
using testing::BlankD64;
using testing::Pattern;
using testing::RawName;
using Block = std::pair<int, int>;

constexpr int kBlankFree = 664;

// Forgets how the image was built, so an undo test starts from a clean, saved-looking state.
void Settle(DiskImage& image) {
    image.ClearJournal();
    image.SetModified(false);
}

// One undo step brings back the bytes and the clean state.
void ExpectOneUndoRestores(DiskImage& image, const std::vector<uint8_t>& before) {
    image.UndoCommand();
    EXPECT_EQ(image.Store().Snapshot(), before);
    EXPECT_FALSE(image.modified());
    EXPECT_TRUE(image.Journal().empty());
}

void Link(DiskImage& image, Block from, Block to) {
    uint8_t* b = image.SectorPointer(from.first, from.second);
    b[0] = static_cast<uint8_t>(to.first);
    b[1] = static_cast<uint8_t>(to.second);
}

std::vector<Block> ChainOf(DiskImage& image, DirEntry e) {
    std::vector<Block> chain;
    VisitedSet seen;
    for (int t = e.firstTrack(), s = e.firstSector(); t != 0 && seen.Visit(t, s);) {
        const uint8_t* b = image.SectorPointer(t, s);
        if (!b) break;
        chain.emplace_back(t, s);
        t = b[0];
        s = b[1];
    }
    return chain;
}

std::vector<std::string> Names(DiskImage& image) {
    std::vector<std::string> names;
    for (DirEntry e : image.ListedEntries()) {
        std::string name;
        for (uint8_t c : e.name()) {
            if (c == kPad) break;
            name += static_cast<char>(c);
        }
        names.push_back(name);
    }
    return names;
}

void AddNamed(DiskImage& image, std::initializer_list<const char*> names) {
    uint32_t seed = 1;
    for (const char* name : names)
        ASSERT_TRUE(AddFile(image, {name, 0x82, Pattern(20, seed++)}));
}

// A DIR entry whose header at (track, 0) links to its directory block (track, 1).
DirEntry AddSubDirectory(DiskImage& image, const char* name, int track) {
    DirEntry e = AddFile(image, {name, 0x86, {}});
    e.firstTrack() = static_cast<uint8_t>(track);
    e.firstSector() = 0;
    e.setBlocksRaw(2);
    uint8_t* header = image.SectorPointer(track, 0);
    std::memset(header, 0, kBlockSize);
    Link(image, {track, 0}, {track, 1});
    uint8_t* dir = image.SectorPointer(track, 1);
    std::memset(dir, 0, kBlockSize);
    dir[1] = 0xFF;
    image.ToggleBlock(track, 0);
    image.ToggleBlock(track, 1);
    image.Refresh();
    return e;
}

void ExpectUsed(DiskImage& image, const std::vector<Block>& blocks, bool used = true) {
    for (auto [t, s] : blocks)
        EXPECT_EQ(image.IsBlockFree(t, s), !used) << t << "/" << s;
}

// ---- Validate ------------------------------------------------------------------------------

TEST(Validate, BlockSharedByTwoFilesStaysUsedAndStrayBlocksAreFreed) {
    auto image = BlankD64();
    DirEntry a = AddFile(*image, {"A", 0x82, Pattern(600)});
    DirEntry b = AddFile(*image, {"B", 0x82, Pattern(400, 2)});
    std::vector<Block> chainA = ChainOf(*image, a), chainB = ChainOf(*image, b);
    ASSERT_EQ(chainA.size(), 3u);
    Link(*image, chainB.back(), chainA[1]); // B's tail runs into A
    image->ToggleBlock(30, 5);              // used, but nothing reaches it
    image->Validate();
    ExpectUsed(*image, chainA);
    ExpectUsed(*image, chainB);
    EXPECT_TRUE(image->IsBlockFree(30, 5));
    EXPECT_EQ(image->FreeBlockCount(), kBlankFree - 5);
}

TEST(Validate, PartitionBlocksAreTakenInARowUpToTheLastTrack) {
    auto image = BlankD64();
    DirEntry part = AddFile(*image, {"PART", 0x85, {}});
    part.firstTrack() = 1;
    part.firstSector() = 0;
    part.setBlocksRaw(40);
    DirEntry edge = AddFile(*image, {"EDGE", 0x85, {}});
    edge.firstTrack() = 35;
    edge.firstSector() = 10;
    edge.setBlocksRaw(40); // only 35/10-35/16 exist
    image->Validate();
    for (int s = 0; s < 21; ++s)
        EXPECT_FALSE(image->IsBlockFree(1, s)) << s;
    for (int s = 0; s < 19; ++s)
        EXPECT_FALSE(image->IsBlockFree(2, s)) << s;
    ExpectUsed(*image, {{2, 19}, {2, 20}, {3, 0}, {35, 9}}, false);
    EXPECT_EQ(image->FreeBlockCount(), kBlankFree - 40 - 7);
}

TEST(Validate, RelSideSectorsAndGeosBlocksAreTaken) {
    auto image = BlankD64();
    DirEntry rel = AddFile(*image, {"REL", 0x84, Pattern(500)});
    rel.sideTrack() = 5;
    rel.sideSector() = 0;
    rel.recordLength() = 64;
    Link(*image, {5, 0}, {5, 1});
    Link(*image, {5, 1}, {0, 0x2F});

    // A scratched GEOS file: info block 7/0, data 7/1-7/2. Judged by its type code alone.
    DirEntry geos = AddFile(*image, {"GEOS", 0x82, {}});
    geos.sideTrack() = 7;
    geos.firstTrack() = 7;
    geos.firstSector() = 1;
    Link(*image, {7, 0}, {0, 0xFF});
    Link(*image, {7, 1}, {7, 2});
    Link(*image, {7, 2}, {0, 0x10});
    DirEntry gone = AddFile(*image, {"GONE", 0x82, Pattern(300, 3)}); // plain scratched file
    std::vector<Block> goneChain = ChainOf(*image, gone);

    // A VLIR file: info 8/0, record index 8/1 naming records 8/2 and 9/0-9/1, an empty
    // record (0/FF) between them and a pair past the 0/0 end that must not count.
    DirEntry vlir = AddFile(*image, {"VLIR", 0x83, {}});
    vlir.sideTrack() = 8;
    vlir.firstTrack() = 8;
    vlir.firstSector() = 1;
    vlir.recordLength() = 1;
    Link(*image, {8, 0}, {0, 0xFF});
    Link(*image, {8, 1}, {0, 0xFF});
    const uint8_t pairs[] = {8, 2, 0, 0xFF, 9, 0, 0, 0, 10, 0};
    std::memcpy(image->SectorPointer(8, 1) + 2, pairs, sizeof pairs);
    Link(*image, {8, 2}, {0, 0x10});
    Link(*image, {9, 0}, {9, 1});
    Link(*image, {9, 1}, {0, 0x05});
    geos.type() = 0;
    gone.type() = 0;

    image->Validate();
    ExpectUsed(*image, ChainOf(*image, rel));
    ExpectUsed(*image,
               {{5, 0}, {5, 1}, {7, 0}, {7, 1}, {7, 2}, {8, 0}, {8, 1}, {8, 2}, {9, 0}, {9, 1}});
    ExpectUsed(*image, goneChain, false);
    ExpectUsed(*image, {{10, 0}}, false);
    EXPECT_EQ(image->FreeBlockCount(), kBlankFree - 2 - 2 - 3 - 5);
}

TEST(Validate, GeosBorderBlockIsTakenOnlyOnAGeosDisk) {
    auto image = BlankD64();
    uint8_t* header = image->SectorPointer(18, 0);
    header[171] = 19;
    header[172] = 5;
    std::memcpy(header + 173, "GEOS format V", 13);
    image->Validate();
    EXPECT_FALSE(image->IsBlockFree(19, 5));
    EXPECT_EQ(image->FreeBlockCount(), kBlankFree - 1);
    header[185] = 'X';
    image->Validate();
    EXPECT_TRUE(image->IsBlockFree(19, 5));
}

TEST(Validate, ImageBuiltByOurOwnWritesKeepsItsBamByteForByte) {
    auto image = BlankD64("OWN");
    for (int i = 0; i < 12; ++i) // two directory blocks
        ASSERT_TRUE(AddFile(*image, {"F" + std::to_string(i), 0x81, Pattern(100 + 700 * i, i)}));
    image->RemoveEntry(3, true);
    const uint8_t* bam = image->SectorPointer(18, 0);
    std::vector<uint8_t> before(bam, bam + kBlockSize);
    image->Validate();
    EXPECT_EQ(std::vector<uint8_t>(bam, bam + kBlockSize), before);
}

TEST(Validate, SubDirectoryContentsAreTakenUnderEitherShowDeletedSetting) {
    for (bool shown : {false, true}) {
        auto image = BlankD64();
        image->SetMaxFileType(kDir); // as a format that has sub-directories
        AddNamed(*image, {"X"});
        AddSubDirectory(*image, "SUB", 20);
        AddNamed(*image, {"Y"});
        DirEntry same = AddFile(*image, {"SAME", 0x86, {}}); // a second way in
        same.firstTrack() = 20;
        ASSERT_TRUE(image->EnterSubDirectory(1));
        DirEntry inner = AddFile(*image, {"INNER", 0x82, Pattern(300)});
        std::vector<Block> innerChain = ChainOf(*image, inner);
        ASSERT_TRUE(image->LeaveSubDirectory());
        // Scratched X makes the list indices differ between the two settings.
        image->EntryAt(0).type() = 0;
        image->SetShowDeleted(shown);
        image->Refresh();
        image->Validate();
        ExpectUsed(*image, innerChain);
        ExpectUsed(*image, {{20, 0}, {20, 1}});
        EXPECT_EQ(image->FreeBlockCount(), kBlankFree - 2 - 2 - 1) << "shown " << shown;
        EXPECT_TRUE(image->DirStack().empty());
        EXPECT_EQ(image->dirTrack(), 18);
    }
}

TEST(Validate, LoopsInDirectoriesAndChainsEndTheWalk) {
    auto image = BlankD64();
    image->SetMaxFileType(kDir); // as a format that has sub-directories
    for (int i = 0; i < 10; ++i)
        ASSERT_TRUE(AddFile(*image, {"F" + std::to_string(i), 0x82, {}}));
    DirEntry loop = AddFile(*image, {"LOOP", 0x82, Pattern(300)});
    std::vector<Block> loopChain = ChainOf(*image, loop);
    Link(*image, loopChain.back(), loopChain.front());
    DirEntry high = AddFile(*image, {"HIGH", 0x82, Pattern(10, 4)});
    Link(*image, ChainOf(*image, high).front(), {200, 0});
    AddSubDirectory(*image, "ROOT", 20);
    Link(*image, {20, 0}, {18, 1}); // a sub-directory that is the root again
    AddSubDirectory(*image, "OUTER", 21);
    ASSERT_TRUE(image->EnterSubDirectory(13));
    AddSubDirectory(*image, "BACK", 22);
    Link(*image, {22, 0}, {21, 1}); // leads back to OUTER's directory
    image->LeaveSubDirectory();
    Link(*image, {18, 4}, {18, 1}); // the directory's last block links to its first

    image->Validate();
    ExpectUsed(*image, loopChain);
    ExpectUsed(*image, {{18, 1}, {18, 4}, {20, 0}, {21, 0}, {21, 1}, {22, 0}});
    EXPECT_TRUE(image->DirStack().empty());
}

// ---- Compact -------------------------------------------------------------------------------

TEST(Compact, NineEntriesInThreeBlocksEndInTwoAndUndoInOneStep) {
    auto image = BlankD64();
    for (int i = 0; i < 17; ++i)
        ASSERT_TRUE(AddFile(*image, {"F" + std::to_string(i), 0x82, {}}));
    DirEntry sub = AddSubDirectory(*image, "SUB", 20); // 18th entry: slot 1 of 18/7
    ASSERT_EQ(image->SectorPointer(18, 4)[1], 7);
    const uint8_t oldBackLink[3] = {18, 7, 34};
    std::memcpy(image->SectorPointer(20, 0) + 36, oldBackLink, 3);
    (void)sub;
    for (int i : {1, 3, 5, 7, 9, 10, 12, 14, 16})
        image->EntryAtEx(i, true).type() = 0;
    image->Refresh();
    const std::vector<std::string> kept = Names(*image);
    ASSERT_EQ(kept.size(), 9u);
    Settle(*image);
    std::vector<uint8_t> before = image->Store().Snapshot();

    image->CompactDirectory();
    EXPECT_EQ(Names(*image), kept);
    EXPECT_EQ(image->SectorPointer(18, 1)[0], 18);
    EXPECT_EQ(image->SectorPointer(18, 1)[1], 4);
    EXPECT_EQ(image->SectorPointer(18, 4)[0], 0);
    EXPECT_EQ(image->SectorPointer(18, 4)[1], 0xFF);
    ExpectUsed(*image, {{18, 1}, {18, 4}});
    EXPECT_TRUE(image->IsBlockFree(18, 7));
    // SUB is now entry 8: slot 0 of 18/4, and its header says so.
    const uint8_t* backLink = image->SectorPointer(20, 0) + 36;
    EXPECT_EQ(std::vector<uint8_t>(backLink, backLink + 3), (std::vector<uint8_t>{18, 4, 2}));
    image->SetShowDeleted(true);
    EXPECT_EQ(image->CountEntries(), 16);
    for (int i = 9; i < 16; ++i) {
        const uint8_t* slot = image->EntryAt(i).data();
        EXPECT_TRUE(std::all_of(slot + 2, slot + kSlotSize, [](uint8_t c) { return c == 0; })) << i;
    }
    image->SetShowDeleted(false);
    EXPECT_TRUE(image->modified());
    EXPECT_EQ(image->Journal().back().name, "Compact Directory");
    ExpectOneUndoRestores(*image, before);
}

TEST(Compact, OnlyStaleEmptySlotsAreOneStepAndACleanDirectoryNone) {
    auto image = BlankD64();
    AddNamed(*image, {"A", "B", "C"});
    image->EntryAt(2).type() = 0; // scratched last: nothing moves, its bytes are cleared
    image->Refresh();
    Settle(*image);
    std::vector<uint8_t> before = image->Store().Snapshot();
    image->CompactDirectory();
    EXPECT_EQ(Names(*image), (std::vector<std::string>{"A", "B"}));
    EXPECT_EQ(image->EntryAtEx(2, true).name()[0], 0);
    EXPECT_EQ(image->SectorPointer(18, 1)[1], 0xFF);
    EXPECT_EQ(image->Journal().back().name, "Compact Directory");
    ExpectOneUndoRestores(*image, before);

    image->CompactDirectory();
    Settle(*image);
    before = image->Store().Snapshot();
    image->CompactDirectory();
    EXPECT_TRUE(image->Journal().empty());
    EXPECT_FALSE(image->modified());
    EXPECT_EQ(image->Store().Snapshot(), before);
}

// ---- Sort ----------------------------------------------------------------------------------

TEST(Sort, NamesCompareAsPaddedBytes) {
    auto image = BlankD64();
    AddNamed(*image, {"B", "ABC", "AB", "AA"});
    image->Sort(true, false);
    EXPECT_EQ(Names(*image), (std::vector<std::string>{"AA", "ABC", "AB", "B"}));
    image->Sort(false, false);
    EXPECT_EQ(Names(*image), (std::vector<std::string>{"B", "AB", "ABC", "AA"}));
}

TEST(Sort, SizeOrderKeepsEqualSizesInOrderAndDescendingReversesThem) {
    auto image = BlankD64();
    const std::pair<const char*, size_t> files[] = {
        {"X1", 500}, {"Y", 100}, {"X2", 300}, {"Z", 700}, {"X3", 400}};
    for (auto [name, size] : files)
        ASSERT_TRUE(AddFile(*image, {name, 0x82, Pattern(size)}));
    image->Sort(true, true);
    EXPECT_EQ(Names(*image), (std::vector<std::string>{"Y", "X1", "X2", "X3", "Z"}));
    image->Sort(false, true);
    EXPECT_EQ(Names(*image), (std::vector<std::string>{"Z", "X3", "X2", "X1", "Y"}));
}

TEST(Sort, FillByteNeverBecomesEntriesAndOneUndoRestores) {
    Settings settings;
    auto image = BlankD64("", "00 2A", &settings);
    settings.Set(SettingId::FillByte, 0x55);
    for (int i = 0; i < 10; ++i)
        ASSERT_TRUE(AddFile(*image, {"F" + std::to_string(9 - i), 0x82, {}}));
    AddSubDirectory(*image, "D", 20); // sorts first
    Settle(*image);
    std::vector<uint8_t> before = image->Store().Snapshot();

    image->Sort(true, false);
    EXPECT_EQ(image->entryCount(), 11);
    EXPECT_EQ(Names(*image).front(), "D");
    image->SetShowDeleted(true);
    EXPECT_EQ(image->CountEntries(), 16);
    image->SetShowDeleted(false);
    for (Block b : {Block{18, 1}, Block{18, 4}}) {
        const uint8_t* block = image->SectorPointer(b.first, b.second);
        for (int k = 1; k < kSlotsPerBlock; ++k)
            EXPECT_EQ(block[k * kSlotSize] | block[k * kSlotSize + 1], 0);
    }
    const uint8_t* last = image->SectorPointer(18, 4);
    EXPECT_EQ(last[0], 0);
    EXPECT_EQ(last[1], 0xFF);
    EXPECT_TRUE(
        std::all_of(last + 3 * kSlotSize + 2, last + kBlockSize, [](uint8_t c) { return c == 0; }));
    const uint8_t* backLink = image->SectorPointer(20, 0) + 36;
    EXPECT_EQ(std::vector<uint8_t>(backLink, backLink + 3), (std::vector<uint8_t>{18, 1, 2}));
    EXPECT_EQ(image->Journal().back().name, "Sort");
    ExpectOneUndoRestores(*image, before);
}

TEST(Sort, InsideASubDirectoryStaysInItsOwnBlocks) {
    auto image = BlankD64();
    AddNamed(*image, {"ROOT"});
    AddSubDirectory(*image, "SUB", 20);
    ASSERT_TRUE(image->EnterSubDirectory(1));
    AddNamed(*image, {"C", "A", "B"});
    const uint8_t* root = image->SectorPointer(18, 1);
    std::vector<uint8_t> rootBefore(root, root + kBlockSize);
    image->Sort(true, false);
    EXPECT_EQ(Names(*image), (std::vector<std::string>{"A", "B", "C"}));
    EXPECT_EQ(std::vector<uint8_t>(root, root + kBlockSize), rootBefore);
}

TEST(Sort, EmptyDirectoryChangesNothing) {
    auto image = BlankD64();
    std::vector<uint8_t> before = image->Store().Snapshot();
    image->Sort(true, false);
    EXPECT_EQ(image->Store().Snapshot(), before);
    EXPECT_TRUE(image->Journal().empty());
    EXPECT_FALSE(image->modified());
}

// ---- Moving entries ------------------------------------------------------------------------

TEST(MoveEntry, SwapsWithItsNeighbourAndUndoes) {
    auto image = BlankD64();
    testing::RecordingObserver view;
    image->AttachDirectoryView(&view);
    AddNamed(*image, {"A", "B", "C"});
    Settle(*image);
    std::vector<uint8_t> before = image->Store().Snapshot();

    image->MoveEntry(false, 0, true);
    EXPECT_EQ(Names(*image), (std::vector<std::string>{"B", "A", "C"}));
    EXPECT_EQ(view.selected, 1);
    EXPECT_EQ(image->SectorPointer(18, 1)[1], 0xFF); // the block link stays put
    const UndoRecord& down = image->Journal().back();
    EXPECT_EQ(down.kind, UndoKind::MoveDown);
    EXPECT_EQ(down.index, 1);
    EXPECT_EQ(down.name, "Move Down");
    ExpectOneUndoRestores(*image, before);

    view.selected = -1;
    image->MoveEntry(true, 2, false);
    EXPECT_EQ(Names(*image), (std::vector<std::string>{"A", "C", "B"}));
    EXPECT_EQ(view.selected, -1);
    EXPECT_EQ(image->Journal().back().kind, UndoKind::MoveUp);
    EXPECT_EQ(image->Journal().back().index, 1);
    ExpectOneUndoRestores(*image, before);

    const std::pair<bool, int> edges[] = {{true, 0}, {false, 2}, {false, -1}, {true, 5}};
    for (auto [up, index] : edges) {
        image->MoveEntry(up, index, true);
        EXPECT_EQ(image->Store().Snapshot(), before) << up << index;
    }
    EXPECT_TRUE(image->Journal().empty());
}

TEST(MoveEntry, UndoWorksAfterTheShowDeletedSettingChanged) {
    auto image = BlankD64();
    AddNamed(*image, {"A", "X", "B", "C"});
    image->EntryAt(1).type() = 0;
    image->SetShowDeleted(true);
    image->Refresh();
    Settle(*image);
    std::vector<uint8_t> before = image->Store().Snapshot();
    image->MoveEntry(true, 3, false); // C up over B, counted with the deleted slot
    image->SetShowDeleted(false);
    image->Refresh(); // three entries now
    ExpectOneUndoRestores(*image, before);
}

TEST(MoveEntries, TargetsInOrNextToTheRunAndBadRangesChangeNothing) {
    auto image = BlankD64();
    AddNamed(*image, {"A", "B", "C", "D", "E", "F"});
    Settle(*image);
    std::vector<uint8_t> before = image->Store().Snapshot();
    for (int target : {1, 2, 3, 4})
        EXPECT_TRUE(image->MoveEntries(1, 3, target)) << target;
    const std::tuple<int, int, int> refused[] = {{-1, 2, 4}, {3, 2, 0}, {0, -1, 3},
                                                 {0, 6, 6},  {6, 6, 0}, {0, 0, 7}};
    for (auto [first, last, target] : refused)
        EXPECT_FALSE(image->MoveEntries(first, last, target)) << first << last << target;
    EXPECT_EQ(image->Store().Snapshot(), before);
    EXPECT_TRUE(image->Journal().empty());
}

TEST(MoveEntries, RunMovesDownAndBackUpWithDeletedEntriesHidden) {
    auto image = BlankD64();
    AddNamed(*image, {"A", "B", "X", "C", "D", "E", "F", "G"});
    image->EntryAt(2).type() = 0;
    image->Refresh();
    Settle(*image);
    std::vector<uint8_t> before = image->Store().Snapshot();

    ASSERT_TRUE(image->MoveEntries(1, 2, 5)); // B C before F
    EXPECT_EQ(Names(*image), (std::vector<std::string>{"A", "D", "E", "B", "C", "F", "G"}));
    EXPECT_EQ(image->Journal().back().name, "Move File");
    ExpectOneUndoRestores(*image, before);

    ASSERT_TRUE(image->MoveEntries(1, 2, 5));
    ASSERT_TRUE(image->MoveEntries(3, 4, 1)); // and back before D
    EXPECT_EQ(Names(*image), (std::vector<std::string>{"A", "B", "C", "D", "E", "F", "G"}));
    ASSERT_TRUE(image->MoveEntries(0, 1, 7)); // to the end
    EXPECT_EQ(Names(*image), (std::vector<std::string>{"C", "D", "E", "F", "G", "A", "B"}));
}

TEST(MoveEntries, RunMovesWithDeletedEntriesShown) {
    auto image = BlankD64();
    AddNamed(*image, {"A", "B", "X", "C", "D", "E"});
    image->EntryAt(2).type() = 0;
    image->SetShowDeleted(true);
    image->Refresh();
    Settle(*image);
    std::vector<uint8_t> before = image->Store().Snapshot();
    ASSERT_TRUE(image->MoveEntries(0, 1, 5)); // A B before E
    image->SetShowDeleted(false);
    EXPECT_EQ(Names(*image), (std::vector<std::string>{"C", "D", "A", "B", "E"}));
    image->SetShowDeleted(true);
    ExpectOneUndoRestores(*image, before);
    ASSERT_TRUE(image->MoveEntries(4, 5, 0)); // D E to the top
    image->SetShowDeleted(false);
    EXPECT_EQ(Names(*image), (std::vector<std::string>{"D", "E", "A", "B", "C"}));
}

TEST(MoveEntries, FailedInsertionLeavesTheImageAsItWas) {
    auto image = BlankD64();
    for (int i = 0; i < 144; ++i)
        ASSERT_TRUE(AddFile(*image, {"F" + std::to_string(i), 0x82, {}}));
    ASSERT_EQ(image->entryCount(), 144);
    Settle(*image);
    std::vector<uint8_t> before = image->Store().Snapshot();
    EXPECT_FALSE(image->MoveEntries(0, 0, 144)); // the end needs a slot the full directory lacks
    EXPECT_EQ(image->Store().Snapshot(), before);
    EXPECT_TRUE(image->Journal().empty());
}

// ---- Cross-links ---------------------------------------------------------------------------

std::vector<uint8_t> SlotBytes(DirEntry e) {
    return {e.data(), e.data() + kSlotSize};
}
std::vector<uint8_t> Bytes(const std::array<uint8_t, kSlotSize>& a) {
    return {a.begin(), a.end()};
}

TEST(CrossLink, SharedBlockSelfLoopAndTheDirectoryChainAreFound) {
    auto image = BlankD64();
    DirEntry a = AddFile(*image, {"A", 0x82, Pattern(600)});
    DirEntry b = AddFile(*image, {"B", 0x82, Pattern(400, 2)});
    DirEntry loop = AddFile(*image, {"LOOP", 0x82, Pattern(300, 3)});
    DirEntry dir = AddFile(*image, {"INTO DIR", 0x82, Pattern(10, 4)});
    DirEntry clean = AddFile(*image, {"CLEAN", 0x82, Pattern(10, 5)});
    DirEntry scratched = AddFile(*image, {"GONE", 0x82, Pattern(10, 6)});
    std::vector<Block> chainA = ChainOf(*image, a), loopChain = ChainOf(*image, loop);
    Link(*image, ChainOf(*image, b).back(), chainA[1]);
    Link(*image, loopChain.back(), loopChain.front());
    Link(*image, ChainOf(*image, dir).front(), {18, 1});
    Link(*image, ChainOf(*image, scratched).front(), chainA[2]);
    scratched.type() = 0;
    (void)clean;

    std::vector<CrossLink> found(3); // replaced, not added to
    image->CheckCrossLinks(found);
    ASSERT_EQ(found.size(), 3u);
    EXPECT_EQ(Bytes(found[0].earlier), SlotBytes(a));
    EXPECT_EQ(Bytes(found[0].later), SlotBytes(b));
    EXPECT_EQ(Block(found[0].track, found[0].sector), chainA[1]);
    EXPECT_EQ(Bytes(found[1].earlier), SlotBytes(loop));
    EXPECT_EQ(Bytes(found[1].later), SlotBytes(loop));
    EXPECT_EQ(Block(found[1].track, found[1].sector), loopChain.front());
    std::vector<uint8_t> directory(kSlotSize, 0);
    std::array<uint8_t, 16> name = RawName("DIRECTORY");
    std::copy(name.begin(), name.end(), directory.begin() + DirEntryOffset::name);
    directory[DirEntryOffset::firstTrack] = 18;
    directory[DirEntryOffset::firstSector] = 1;
    EXPECT_EQ(Bytes(found[2].earlier), directory);
    EXPECT_EQ(Bytes(found[2].later), SlotBytes(dir));
    EXPECT_EQ(Block(found[2].track, found[2].sector), Block(18, 1));
}

TEST(CrossLink, CleanDiskHasNone) {
    auto image = BlankD64();
    AddNamed(*image, {"A", "B", "C"});
    std::vector<CrossLink> found;
    image->CheckCrossLinks(found);
    EXPECT_TRUE(found.empty());
}

} // namespace
} // namespace tessarind
