#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>

#include "formats/D71Image.h"
#include "formats/D80Image.h"
#include "formats/D81Image.h"
#include "model/FormatRegistry.h"
#include "model/SafeFile.h"
#include "support/ImageBuilder.h"
#include "support/Recorders.h"

namespace tessarind {
namespace {

using testing::Pattern;
using testing::RawName;

template <class Image> std::unique_ptr<Image> Blank(Settings* settings = nullptr) {
    auto image = std::make_unique<Image>(settings);
    EXPECT_TRUE(image->Open(nullptr, "", false, true));
    return image;
}

bool Append(DiskImage& image, const char* name, std::vector<uint8_t> data, int rowId = 12) {
    return image.WriteFileData(RawName(name), image.entryCount(), false, std::move(data), 0, *FindRowById(rowId));
}

std::vector<int> TracksOf(DiskImage& image, int index) {
    std::vector<int> tracks;
    DirEntry e = image.EntryAt(index);
    int t = e.firstTrack(), s = e.firstSector();
    while (t != 0) {
        if (tracks.empty() || tracks.back() != t) tracks.push_back(t);
        const uint8_t* b = image.SectorPointer(t, s);
        t = b[0];
        s = b[1];
    }
    return tracks;
}

TEST(D71, BlankDiskAndSplitBam) {
    auto image = Blank<D71Image>();
    EXPECT_EQ(image->Store().Size(), 349696u);
    EXPECT_EQ(image->FreeBlockCount(), 1328);
    for (int s = 0; s < 19; ++s) EXPECT_FALSE(image->IsBlockFree(53, s)) << s;
    EXPECT_FALSE(image->IsBlockFree(18, 0));
    EXPECT_FALSE(image->IsBlockFree(18, 1));
    EXPECT_EQ(image->SectorPointer(18, 0)[3], 0x80);
    EXPECT_EQ(image->SectorPointer(36, 0) - image->Store().Contents().data(), 256 * 683);
    EXPECT_EQ(image->SectorPointer(70, 16) - image->Store().Contents().data(), 256 * 1365);
    EXPECT_EQ(image->SectorPointer(71, 0), nullptr);

    uint8_t* bam = image->SectorPointer(18, 0);
    uint8_t* side2 = image->SectorPointer(53, 0);
    EXPECT_EQ(bam[0xDD], 21);
    image->ToggleBlock(36, 0);
    EXPECT_EQ(bam[0xDD], 20);
    EXPECT_EQ(side2[0] & 1, 0);
    EXPECT_EQ(image->FreeBlockCount(), 1327);
    image->UndoCommand();
    EXPECT_EQ(bam[0xDD], 21);
    EXPECT_EQ(side2[0] & 1, 1);
    EXPECT_TRUE(image->IsHeaderBlock(53, 0));
    EXPECT_FALSE(image->HandleCommand(2037));
}

TEST(D71, AllocationWalksTheFourHalves) {
    auto image = Blank<D71Image>();
    int t = 0, s = 0;
    image->AllocateBlock(t, s, false);
    EXPECT_EQ(t, 17);
    EXPECT_EQ(s, 0);
    // Continuing from track 35 with it full goes on at 52, downwards, never back below.
    for (int sector = 0; sector < 17; ++sector) image->ToggleBlock(35, sector);
    t = 35;
    s = 0;
    image->AllocateBlock(t, s, false);
    EXPECT_EQ(t, 52);
    // A new file on a disk whose side 1 is full starts at 52.
    auto full = Blank<D71Image>();
    for (int track = 1; track <= 35; ++track)
        for (int sector = 0; sector < full->SectorsOnTrack(track); ++sector)
            if (full->IsBlockFree(track, sector)) full->ToggleBlock(track, sector);
    t = 0;
    full->AllocateBlock(t, s, false);
    EXPECT_EQ(t, 52);
    // Every free block is handed out exactly once.
    auto fresh = Blank<D71Image>();
    int count = 0;
    t = 0;
    while (fresh->AllocateBlock(t, s, true)) ++count;
    EXPECT_EQ(count, 1328);
}

TEST(D71, FilesSpanBothSides) {
    auto image = Blank<D71Image>();
    std::vector<uint8_t> data = Pattern(1000 * 254);
    ASSERT_TRUE(Append(*image, "BIG", data));
    EXPECT_EQ(image->ReadFileData(0), data);
    std::vector<int> tracks = TracksOf(*image, 0);
    EXPECT_NE(std::find(tracks.begin(), tracks.end(), 52), tracks.end());
    EXPECT_EQ(std::find(tracks.begin(), tracks.end(), 53), tracks.end());
}

// Full tracks are passed over by reading whole bitmap bytes; the answer must be the one the
// sectors give one by one, whatever the BAM holds (bits past a track's last sector included).
TEST(DiskFormats, AnyBlockFreeAgreesWithTheSectorsOneByOne) {
    using Blocks = std::vector<std::pair<int, int>>;
    std::vector<std::pair<std::unique_ptr<ZonedDiskImage>, Blocks>> images;
    images.emplace_back(Blank<D64Image>(), Blocks{{18, 0}});
    images.emplace_back(Blank<D71Image>(), Blocks{{18, 0}, {53, 0}});
    images.emplace_back(Blank<D81Image>(), Blocks{{40, 1}, {40, 2}});
    images.emplace_back(Blank<D80Image>(), Blocks{{38, 0}, {38, 3}});
    images.emplace_back(Blank<D82Image>(), Blocks{{38, 0}, {38, 3}, {38, 6}, {38, 9}});
    for (auto& [image, bamBlocks] : images) {
        // Noise in the BAM blocks, then a few tracks with only their last sector free.
        const std::vector<uint8_t> noise = Pattern(kBlockSize, static_cast<uint32_t>(image->formatId()));
        for (auto [t, s] : bamBlocks) {
            uint8_t* block = image->SectorPointer(t, s);
            for (int i = 4; i < kBlockSize; ++i) block[i] = noise[static_cast<size_t>(i)] & 0x5A;
        }
        int sparse = 0;
        for (int t = 1; t <= image->trackCount() && sparse < 6; t += 7, ++sparse) {
            const int n = image->SectorsOnTrack(t);
            for (int s = 0; s < n; ++s)
                if (image->IsBlockFree(t, s) != (s == n - 1 && sparse % 2 == 0)) image->ToggleBlock(t, s);
        }
        int free = 0, full = 0;
        for (int t = 0; t <= image->trackCount() + 2; ++t) {
            for (int n : {0, 1, 7, 8, 9, image->SectorsOnTrack(t), image->SectorsOnTrack(t) + 3}) {
                const bool expected = image->DiskImage::AnyBlockFree(t, n);
                EXPECT_EQ(image->AnyBlockFree(t, n), expected)
                    << "format " << image->formatId() << " track " << t << " sectors " << n;
                (expected ? free : full)++;
            }
        }
        EXPECT_GT(free, 0) << image->formatId();
        EXPECT_GT(full, 0) << image->formatId();
    }
}

// The block that holds a byte is worked out from its offset; it must be the one the walk
// over every block finds, for every byte of every kind (extended 1541 tracks included).
TEST(DiskFormats, LocateBlockAgreesWithTheWalkOverEveryBlock) {
    std::vector<std::unique_ptr<ZonedDiskImage>> images;
    images.push_back(Blank<D64Image>());
    images.back()->SetExtendedTracks(true);
    images.push_back(Blank<D71Image>());
    images.push_back(Blank<D81Image>());
    images.push_back(Blank<D80Image>());
    images.push_back(Blank<D82Image>());
    for (auto& image : images) {
        int located = 0;
        for (int t = 1; t <= image->trackCount(); ++t) {
            for (int s = 0; s < image->maxSectors(); ++s) {
                const uint8_t* block = image->SectorPointer(t, s);
                if (!block) continue;
                for (int offset : {0, 37, 255}) {
                    int ft = -1, fs = -1;
                    ASSERT_TRUE(image->LocateBlock(block + offset, ft, fs)) << image->formatId() << " " << t << "/" << s;
                    ASSERT_EQ(std::pair(ft, fs), std::pair(t, s)) << image->formatId();
                    ++located;
                    if ((t + s) % 11 != 0) continue; // the walk is slow: a sample of blocks
                    int wt = -1, ws = -1;
                    ASSERT_TRUE(image->DiskImage::LocateBlock(block + offset, wt, ws));
                    ASSERT_EQ(std::pair(wt, ws), std::pair(t, s)) << image->formatId();
                }
            }
        }
        EXPECT_EQ(static_cast<size_t>(located), 3 * (image->Store().Size() / kBlockSize +
                                                      (image->formatId() == 1 ? 85u : 0u)))
            << image->formatId();
        int t = 0, s = 0;
        const uint8_t outside = 0;
        EXPECT_FALSE(image->LocateBlock(&outside, t, s));
    }
}

TEST(D81, BlankDiskLayout) {
    auto image = Blank<D81Image>();
    EXPECT_EQ(image->Store().Size(), 819200u);
    EXPECT_EQ(image->FreeBlockCount(), 3160);
    for (int s = 0; s <= 3; ++s) EXPECT_FALSE(image->IsBlockFree(40, s));
    EXPECT_TRUE(image->IsBlockFree(40, 4));
    const uint8_t* header = image->SectorPointer(40, 0);
    EXPECT_EQ(header[0], 40);
    EXPECT_EQ(header[1], 3);
    EXPECT_EQ(header[2], 0x44);
    EXPECT_EQ(header[0x19], '3');
    EXPECT_EQ(header[0x1A], 'D');
    const uint8_t* bam1 = image->SectorPointer(40, 1);
    const uint8_t* bam2 = image->SectorPointer(40, 2);
    EXPECT_EQ(bam1[0], 40);
    EXPECT_EQ(bam1[1], 2);
    EXPECT_EQ(bam2[0], 0);
    EXPECT_EQ(bam2[1], 0xFF);
    EXPECT_EQ(bam1[3], 0xBB);
    EXPECT_EQ(std::vector<uint8_t>(bam1 + 0x10, bam1 + 0x16), (std::vector<uint8_t>{40, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF}));
    EXPECT_EQ(bam1[0x10 + 6 * 39], 36); // track 40: header, two BAM sectors, directory

    int t = 0, s = -1;
    image->NextDirSector(t, s);
    EXPECT_EQ(t, 40);
    EXPECT_EQ(s, 3);
    s = 39;
    image->NextDirSector(t, s);
    EXPECT_EQ(s, -1);

    std::array<uint8_t, 5> id{'X', 'Y', kPad, '3', 'D'};
    image->SetDiskId(id);
    EXPECT_EQ(header[0x16], 'X');
    EXPECT_EQ(bam1[4], 'X');
    EXPECT_EQ(bam2[5], 'Y');
}

// Another tool may leave the BAM's copy of the ID different from the header's; changing the
// ID and undoing it gives back both as they were.
TEST(D81, UndoingAnIdChangeRestoresTheBamCopies) {
    auto image = Blank<D81Image>();
    uint8_t* header = image->DiskNamePointer();
    uint8_t* bam1 = image->SectorPointer(40, 1);
    uint8_t* bam2 = image->SectorPointer(40, 2);
    header[18] = 0xD8;
    header[19] = '8';
    bam1[4] = 'X';
    bam1[5] = '8';
    bam2[4] = 'Q';
    bam2[5] = 'R';
    const std::vector<uint8_t> before = image->Store().Snapshot();

    std::vector<uint8_t> oldId(header + 18, header + 23);
    image->BeginGroup();
    image->Record(UndoKind::DiskId, 0, 0, 0, oldId, "Disk ID");
    const std::array<uint8_t, 5> id{'N', 'W', kPad, '3', 'D'};
    image->SetDiskId(id);
    image->EndGroup("Disk ID");
    EXPECT_EQ(header[18], 'N');
    EXPECT_EQ(bam1[4], 'N');
    EXPECT_EQ(bam2[5], 'W');

    image->UndoCommand();
    EXPECT_TRUE(image->Journal().empty());
    EXPECT_EQ(bam1[4], 'X');
    EXPECT_EQ(bam2[4], 'Q');
    EXPECT_EQ(header[18], 0xD8);
    EXPECT_TRUE(image->Store().Snapshot() == before);
}

TEST(D81, AllocationUsesInterleaveOneAndStaysInItsHalf) {
    auto image = Blank<D81Image>();
    int t = 0, s = 0;
    image->AllocateBlock(t, s, true);
    EXPECT_EQ(t, 39);
    EXPECT_EQ(s, 0);
    image->AllocateBlock(t, s, true);
    EXPECT_EQ(t, 39);
    EXPECT_EQ(s, 1);
    // From the upper half the search never goes below the directory track.
    for (int track = 41; track < 80; ++track)
        for (int sector = 0; sector < 40; ++sector) image->ToggleBlock(track, sector);
    t = 41;
    s = 0;
    EXPECT_EQ(image->AllocateBlock(t, s, false), nullptr);
    t = 40;
    EXPECT_EQ(image->AllocateBlock(t, s, false), nullptr);
    // Track 80 is never handed out.
    auto fresh = Blank<D81Image>();
    int count = 0;
    t = 0;
    while (fresh->AllocateBlock(t, s, true)) {
        ASSERT_NE(t, 80);
        ++count;
    }
    EXPECT_EQ(count, 3120);
}

TEST(D81Partition, SizesAreRoundedAndPlacedInTheBestRun) {
    auto image = Blank<D81Image>();
    EXPECT_EQ(image->LargestContiguousSpace(), 1560);
    testing::RecordingInteraction ui;
    image->SetOwner(&ui);
    struct Asking : testing::RecordingInteraction {
        long reply = 0;
        std::string prompt;
        std::optional<long> AskNumber(const std::string& p, long) override {
            prompt = p;
            return reply;
        }
    } asking;
    image->SetOwner(&asking);
    asking.reply = 130;
    ASSERT_TRUE(image->CreateSubDirectory(0));
    EXPECT_EQ(asking.prompt, "Size of Partition in sectors:");
    DirEntry part = image->EntryAt(0);
    EXPECT_EQ(part.type(), 0x85);
    EXPECT_EQ(part.blocks(), 120);
    EXPECT_EQ(part.firstTrack(), 1); // both runs are 1560 blocks: the earlier one wins
    EXPECT_EQ(image->FreeBlockCount(), 3160 - 120);
    EXPECT_EQ(image->UndoItemText(), "Undo: Create Sub Directory\bCTRL+Z");

    asking.reply = 5000;
    ASSERT_TRUE(image->CreateSubDirectory(1));
    EXPECT_EQ(image->EntryAt(1).blocks(), 1560);
    EXPECT_EQ(image->EntryAt(1).firstTrack(), 41); // the only run that holds it
    image->UndoCommand();
    image->UndoCommand();
    EXPECT_EQ(image->FreeBlockCount(), 3160);
    EXPECT_EQ(image->entryCount(), 0);
}

// A sub-directory of the DIR kind inside a partition has no BAM of its own: writing and
// validating there take blocks in the partition's BAM and leave the sub-directory's own
// blocks alone, and undo gives everything back.
TEST(D81Partition, DirSubDirectoriesUseThePartitionBam) {
    auto image = Blank<D81Image>();
    ASSERT_TRUE(image->CreateSubDirectory(0)); // the largest space: tracks 1-39
    const int e = image->EntryAt(0).firstTrack();
    ASSERT_TRUE(image->EnterSubDirectory(0));
    ASSERT_EQ(image->BamTrack(), e);
    // A DIR entry whose header e+5/0 links to its directory block e+5/1, both taken.
    const int t = e + 5;
    uint8_t* header = image->SectorPointer(t, 0);
    uint8_t* dir = image->SectorPointer(t, 1);
    std::fill(header, header + kBlockSize, 0);
    std::fill(dir, dir + kBlockSize, 0);
    header[0] = static_cast<uint8_t>(t);
    header[1] = 1;
    dir[1] = 0xFF;
    image->ToggleBlock(t, 0);
    image->ToggleBlock(t, 1);
    std::array<uint8_t, kSlotSize> slot{};
    slot[DirEntryOffset::type] = 0x86;
    slot[DirEntryOffset::firstTrack] = static_cast<uint8_t>(t);
    const std::array<uint8_t, 16> name = RawName("SUB");
    std::copy(name.begin(), name.end(), slot.begin() + DirEntryOffset::name);
    ASSERT_TRUE(image->InsertEntry(0, std::span<const uint8_t>(slot).subspan(2)));
    const int freeInPartition = image->FreeBlockCount();
    image->ClearJournal();
    const std::vector<uint8_t> before = image->Store().Snapshot();
    const std::vector<uint8_t> dirBlock(dir, dir + kBlockSize);

    ASSERT_TRUE(image->EnterSubDirectory(0));
    EXPECT_EQ(image->dirTrack(), t);
    EXPECT_EQ(image->BamTrack(), e);
    EXPECT_EQ(image->FreeBlockCount(), freeInPartition);
    ASSERT_TRUE(Append(*image, "DEEP", Pattern(600)));
    EXPECT_EQ(image->FreeBlockCount(), freeInPartition - 3);
    for (int track : TracksOf(*image, 0)) {
        EXPECT_GT(track, e);
        EXPECT_LT(track, e + 39);
    }
    image->Validate();
    EXPECT_FALSE(image->IsBlockFree(t, 1)); // taken in the partition's BAM
    EXPECT_EQ(std::vector<uint8_t>(dir + 32, dir + kBlockSize),
              std::vector<uint8_t>(dirBlock.begin() + 32, dirBlock.end()));
    EXPECT_EQ(image->DirStack().size(), 2u);
    while (image->UndoEnabled()) image->UndoCommand();
    EXPECT_EQ(image->Store().Snapshot(), before);
}

TEST(D81Partition, HasItsOwnBamAndDirectory) {
    auto image = Blank<D81Image>();
    ASSERT_TRUE(image->CreateSubDirectory(0)); // no one to ask: the largest space
    DirEntry part = image->EntryAt(0);
    ASSERT_EQ(part.blocks(), 1560);
    const int e = part.firstTrack();
    ASSERT_TRUE(image->EnterSubDirectory(0));
    EXPECT_EQ(image->dirTrack(), e);
    EXPECT_EQ(image->dirSector(), 3);
    // The partition's BAM frees exactly its own tracks, less its header, BAM and directory.
    EXPECT_EQ(image->FreeBlockCount(), 1560 - 40);
    EXPECT_FALSE(image->IsBlockFree(e, 3));
    EXPECT_FALSE(image->IsBlockFree(e + 39, 0));
    EXPECT_TRUE(image->IsBlockFree(e + 1, 0));
    EXPECT_TRUE(image->IsBlockFree(e, 4)); // room for the directory to grow

    std::vector<uint8_t> data = Pattern(5000);
    ASSERT_TRUE(Append(*image, "INSIDE", data));
    for (int track : TracksOf(*image, 0)) {
        EXPECT_GT(track, e); // never on the partition's directory track
        EXPECT_LT(track, e + 39);
    }
    EXPECT_EQ(image->ReadFileData(0), data);
    ASSERT_TRUE(image->LeaveSubDirectory());
    EXPECT_EQ(image->entryCount(), 1);
    EXPECT_EQ(image->FreeBlockCount(), 3160 - 1560);
    EXPECT_EQ(image->EntryAt(0).typeCode(), 5); // a CBM file of the partition's size
    EXPECT_EQ(image->EntryAt(0).blocks(), 1560);
    image->Validate();
    EXPECT_EQ(image->FreeBlockCount(), 3160 - 1560); // the parent keeps the partition
    ASSERT_TRUE(image->EnterSubDirectory(0));
    EXPECT_EQ(image->ReadFileData(0), data);
    ASSERT_TRUE(image->LeaveSubDirectory());

    namespace fs = std::filesystem;
    fs::path dir = fs::path(::testing::TempDir()) / "tessarind-d81-export";
    fs::remove_all(dir);
    image->ExportAllFiles(dir.string(), ExportMode::Native);
    EXPECT_TRUE(fs::exists(dir / "_.cbm")); // a name with no host characters left
    std::vector<uint8_t> exported;
    bool openFailed = false;
    ASSERT_TRUE(ReadWholeFile((dir / "_" / "inside.prg").string(), exported, openFailed));
    EXPECT_EQ(exported, data);
    fs::remove_all(dir);
}

TEST(D81Partition, RefusedWithoutContiguousSpace) {
    auto image = Blank<D81Image>();
    for (int t = 1; t < 80; t += 2)
        if (t != 40) image->ToggleBlock(t, 0);
    testing::RecordingObserver view;
    image->AttachDirectoryView(&view);
    testing::RecordingInteraction ui;
    image->SetOwner(&ui);
    EXPECT_FALSE(image->CreateSubDirectory(0));
    ASSERT_EQ(ui.messages.size(), 1u);
    EXPECT_EQ(ui.messages[0].text, "Not enough contiguous space");
}

TEST(D80, BlankDiskAndBamPlaces) {
    auto image = Blank<D80Image>();
    EXPECT_EQ(image->Store().Size(), 533248u);
    EXPECT_EQ(image->FreeBlockCount(), 2052); // as the drive counts: track 39 left out
    for (auto [t, s] : {std::pair{38, 0}, {38, 3}, {39, 0}, {39, 1}}) EXPECT_FALSE(image->IsBlockFree(t, s));
    EXPECT_TRUE(image->IsBlockFree(38, 1));
    const uint8_t* header = image->SectorPointer(39, 0);
    EXPECT_EQ(header[0], 38);
    EXPECT_EQ(header[2], 0x43);
    EXPECT_EQ(header[0x1B], '2');
    EXPECT_EQ(header[0x1C], 'C');
    uint8_t* bam0 = image->SectorPointer(38, 0);
    uint8_t* bam3 = image->SectorPointer(38, 3);
    EXPECT_EQ(std::vector<uint8_t>(bam0, bam0 + 6), (std::vector<uint8_t>{38, 3, 0x43, 0, 1, 51}));
    EXPECT_EQ(std::vector<uint8_t>(bam3, bam3 + 6), (std::vector<uint8_t>{39, 1, 0x43, 0, 51, 78}));
    EXPECT_EQ(std::vector<uint8_t>(bam0 + 6, bam0 + 11), (std::vector<uint8_t>{29, 0xFF, 0xFF, 0xFF, 0x1F}));
    EXPECT_EQ(std::vector<uint8_t>(bam3 + 6 + 5 * 26, bam3 + 11 + 5 * 26),
              (std::vector<uint8_t>{23, 0xFF, 0xFF, 0x7F, 0x00}));
    image->ToggleBlock(1, 0);
    EXPECT_EQ(bam0[6], 28);
    EXPECT_EQ(bam0[7], 0xFE);
    image->ToggleBlock(51, 0);
    EXPECT_EQ(bam3[6], 26);
    int t = 0, s = -1;
    image->NextDirSector(t, s);
    EXPECT_EQ(t, 39);
    EXPECT_EQ(s, 1);
    s = 28;
    image->NextDirSector(t, s);
    EXPECT_EQ(s, -1);
    EXPECT_TRUE(image->IsHeaderBlock(38, 3));
    EXPECT_FALSE(image->IsHeaderBlock(39, 0));
}

TEST(D80, AllocationOrderAndFullDisk) {
    auto image = Blank<D80Image>();
    int t = 0, s = 0;
    image->AllocateBlock(t, s, false);
    EXPECT_EQ(t, 38);
    t = 39;
    EXPECT_EQ(image->AllocateBlock(t, s, false), nullptr);
    const int promised = image->FreeBlockCount();
    int count = 0;
    t = 0;
    while (image->AllocateBlock(t, s, true)) {
        ASSERT_NE(t, 39);
        ++count;
    }
    // The free count promises exactly the room allocation can hand out.
    EXPECT_EQ(count, promised);
    EXPECT_EQ(image->FreeBlockCount(), 0);
}

TEST(D82, FilesOutgrowTheFirstUnit) {
    auto image = Blank<D82Image>();
    EXPECT_EQ(image->Store().Size(), 1066496u);
    EXPECT_EQ(image->trackCount(), 154);
    EXPECT_EQ(image->FreeBlockCount(), 4133); // 4166 less the BAM sectors and track 39
    {
        auto full = Blank<D82Image>();
        const int promised = full->FreeBlockCount();
        int handedOut = 0;
        for (int ft = 0, fs = 0; full->AllocateBlock(ft, fs, true);) ++handedOut;
        EXPECT_EQ(handedOut, promised);
    }
    for (auto [t, s] : {std::pair{38, 6}, {38, 9}}) EXPECT_FALSE(image->IsBlockFree(t, s));
    const uint8_t* bam9 = image->SectorPointer(38, 9);
    EXPECT_EQ(std::vector<uint8_t>(bam9, bam9 + 6), (std::vector<uint8_t>{39, 1, 0x43, 0, 151, 155}));
    std::vector<uint8_t> data = Pattern(2100 * 254);
    ASSERT_TRUE(Append(*image, "HUGE", data));
    std::vector<int> tracks = TracksOf(*image, 0);
    EXPECT_NE(std::find(tracks.begin(), tracks.end(), 78), tracks.end());
    EXPECT_EQ(image->ReadFileData(0), data);
    image->ToggleBlock(152, 0);
    EXPECT_EQ(image->SectorPointer(38, 9)[6 + 5], 22); // track 152 has 23 sectors
}

} // namespace
} // namespace tessarind

namespace tessarind {
namespace {

TEST(D81, RelativeFilesStartWithASuperSideSector) {
    auto image = Blank<D81Image>();
    std::vector<uint8_t> data = Pattern(130 * 254);
    ASSERT_TRUE(image->WriteFileData(RawName("REL"), 0, false, data, 50, *FindRowById(13)));
    DirEntry e = image->EntryAt(0);
    const uint8_t* super = image->SectorPointer(e.sideTrack(), e.sideSector());
    ASSERT_NE(super, nullptr);
    EXPECT_EQ(super[2], 0xFE);
    EXPECT_EQ(super[3], super[0]);
    EXPECT_EQ(super[4], super[1]);
    const uint8_t* first = image->SectorPointer(super[0], super[1]);
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(first[2], 0);  // side sector number
    EXPECT_EQ(first[3], 50); // record length
    EXPECT_EQ(e.blocks(), 130 + 2 + 1);
    EXPECT_EQ(image->ReadFileData(0), data);
    EXPECT_TRUE(image->AutoFileSize(0));
    EXPECT_EQ(e.blocks(), 133);
    // Validation keeps the super side sector and the side sectors it leads to.
    int free = image->FreeBlockCount();
    image->Validate();
    EXPECT_EQ(image->FreeBlockCount(), free);
}

} // namespace
} // namespace tessarind

namespace tessarind {
namespace {

// Layouts of more tracks than the looked-up table holds count on from their zones.
TEST(TrackLayoutPastTheTable, CountsEveryTrackFromTheZones) {
    static constexpr Zone zones[] = {{1, 200, 64}, {201, 300, 128}, {310, 400, 32}};
    static constexpr TrackLayout layout(zones);
    int blocks = 0;
    for (int track = 1; track <= 402; ++track) {
        int sectors = 0;
        for (const Zone& z : zones)
            if (track >= z.firstTrack && track <= z.lastTrack) sectors = z.sectors;
        ASSERT_EQ(layout.SectorsOnTrack(track), sectors) << track;
        ASSERT_EQ(layout.BlocksBefore(track), blocks) << track;
        blocks += sectors;
    }
    EXPECT_EQ(layout.BlockIndex(305, 0), -1);
    EXPECT_EQ(layout.BlockIndex(310, 5), layout.BlocksBefore(310) + 5);
}

} // namespace
} // namespace tessarind
