// CMD FD2000 and HD containers: the partition table, free space, partitions made, inserted,
// deleted and opened as child images that edit the container's bytes, damaged tables, and
// the HD image read and written back a sector at a time.

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "catalog/FolderSearch.h"
#include "catalog/ImageOpener.h"
#include "formats/CmdContainerImage.h"
#include "formats/D64Image.h"
#include "formats/SectorCacheStore.h"
#include "model/FormatRegistry.h"
#include "support/CmdBuilder.h"
#include "support/ImageBuilder.h"
#include "support/Recorders.h"

namespace tessarind {
namespace {

namespace fs = std::filesystem;
using testing::AddFile;
using testing::EmptyFd2000;
using testing::FlatOffset;
using testing::PartitionLayout;
using testing::Pattern;
using testing::PutPartition;
using testing::PutTableLink;
using testing::RawName;

std::unique_ptr<CmdContainerImage> NewFd() {
    auto image = std::make_unique<CmdContainerImage>(FormatId::D2m);
    EXPECT_TRUE(image->Open(nullptr, "", false, true));
    return image;
}

std::unique_ptr<CmdContainerImage> FdFrom(std::vector<uint8_t> bytes) {
    auto image = std::make_unique<CmdContainerImage>(FormatId::D2m);
    image->Store().Assign(std::move(bytes));
    image->SetPath("test.d2m");
    image->Refresh();
    return image;
}

std::string Name(DirEntry entry) {
    return std::string(entry.name().begin(), entry.name().end());
}

struct TempDir {
    fs::path path = fs::temp_directory_path() / ("cmd-test-" + std::to_string(::getpid()));
    TempDir() { fs::create_directories(path); }
    ~TempDir() { fs::remove_all(path); }
};

std::vector<uint8_t> ReadAll(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::vector<uint8_t> bytes(fs::file_size(path));
    in.read(reinterpret_cast<char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    return bytes;
}

TEST(CmdContainer, NewFd2000MatchesItsLayout) {
    auto image = NewFd();
    EXPECT_EQ(image->Store().Snapshot(), EmptyFd2000());
    EXPECT_FALSE(image->modified());
    ASSERT_EQ(image->CountEntries(), 1);
    EXPECT_EQ(Name(image->EntryAt(0)), std::string("SYSTEM") + std::string(10, '\xA0'));
    EXPECT_EQ(CmdContainerImage::TypeName(image->EntryAt(0).type()), "SYS");
    EXPECT_EQ(image->FreeBlockCount(), 3200);
    EXPECT_EQ(image->PartitionListing("out.txt", false), "out.txt\n00 SYSTEM           SYS\n");
}

TEST(CmdContainer, TypeNamesAndFormatsBothWays) {
    struct Case {
        int type;
        const char* name;
        int formatId;
    } cases[] = {
        {0, "NONE", FormatId::None}, {1, "NAT", FormatId::Dnp},  {2, "41 ", FormatId::D64},
        {3, "71 ", FormatId::D71},   {4, "81 ", FormatId::D81},  {5, "C81", FormatId::None},
        {7, "FOR", FormatId::None},  {9, "SYS", FormatId::None}, {255, "SYS", FormatId::None}};
    CmdContainerImage image(FormatId::D2m);
    for (const Case& c : cases) {
        EXPECT_EQ(CmdContainerImage::TypeName(c.type), c.name);
        EXPECT_EQ(CmdContainerImage::FormatOfType(c.type), c.formatId);
        if (c.formatId != FormatId::None) {
            EXPECT_EQ(CmdContainerImage::TypeOfFormat(c.formatId), c.type);
            EXPECT_TRUE(image.CanAcceptKind(c.formatId));
        }
    }
    EXPECT_FALSE(image.CanAcceptKind(FormatId::G64));
}

TEST(CmdContainer, PartitionsMadeInTheFreeSpace) {
    struct Case {
        int formatId;
        uint32_t blocks;
        int childFree;
    } cases[] = {
        {FormatId::D64, 342, 664}, {FormatId::D71, 683, 1328}, {FormatId::D81, 1600, 3160}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.formatId);
        auto image = NewFd();
        ASSERT_TRUE(image->CreatePartition(c.formatId, 0));
        EXPECT_TRUE(image->modified());
        ASSERT_EQ(image->CountEntries(), 2);
        const PartitionInfo info = image->InfoAt(0);
        EXPECT_EQ(info.type, CmdContainerImage::TypeOfFormat(c.formatId));
        EXPECT_EQ(info.start, 0u);
        EXPECT_EQ(info.size, c.blocks);
        EXPECT_EQ(Name(image->EntryAt(1)).substr(0, 6), "SYSTEM"); // moved one slot on
        EXPECT_EQ(image->FreeBlockCount(), static_cast<int>(3200 - c.blocks));
        DiskImage* child = image->OpenPartition(0);
        ASSERT_NE(child, nullptr);
        EXPECT_EQ(child->formatId(), c.formatId);
        EXPECT_EQ(child->FreeBlockCount(), c.childFree);
        EXPECT_EQ(image->OpenPartition(0), child); // opened once
        EXPECT_EQ(child->path(), "New Disk : ");
    }
}

TEST(CmdContainer, NativePartitionAsksItsSizeWithinTheFreeSpace) {
    auto image = NewFd();
    struct Answers : testing::RecordingInteraction {
        std::vector<long> offered;
        std::optional<long> AskNumber(const std::string&, long value) override {
            offered.push_back(value);
            return 100000;
        }
    } answers;
    image->SetOwner(&answers);
    ASSERT_TRUE(image->CreatePartition(FormatId::D64, 0));
    ASSERT_TRUE(image->CreatePartition(FormatId::Dnp, 1));
    ASSERT_EQ(answers.offered, std::vector<long>{(3200 - 342) * 2});
    const PartitionInfo native = image->InfoAt(1);
    EXPECT_EQ(native.type, CmdContainerImage::kNative);
    EXPECT_EQ(native.start, 342u);
    EXPECT_EQ(native.size, 3200u - 342u);
    EXPECT_EQ(image->FreeBlockCount(), 0);
    DiskImage* child = image->OpenPartition(1);
    ASSERT_NE(child, nullptr);
    EXPECT_EQ(child->trackCount(), static_cast<int>((3200 - 342) * 512 / 65536));
    EXPECT_EQ(child->FreeBlockCount(), static_cast<int>(native.size * 2 - 35));
    EXPECT_FALSE(image->CreatePartition(FormatId::D64, 0));
    ASSERT_FALSE(answers.messages.empty());
    EXPECT_EQ(answers.messages.back().text, "Not Enough Room On Disk");
}

TEST(CmdContainer, FreeSpaceSkipsOpenableTypesOnlyAndFitsBest) {
    std::vector<uint8_t> bytes = EmptyFd2000();
    PutPartition(bytes, 25, 8, {1, 2, "A", 0, 342});
    PutPartition(bytes, 25, 8, {2, 5, "C81", 342, 1000}); // not counted as used
    PutPartition(bytes, 25, 8, {3, 4, "B", 1000, 1600});
    PutPartition(bytes, 25, 8, {9, 1, "N", 2800, 200});
    auto image = FdFrom(bytes);
    using Extents = std::vector<std::pair<uint32_t, uint32_t>>;
    EXPECT_EQ(image->FreeExtents(), (Extents{{342, 658}, {2600, 200}, {3000, 200}}));
    EXPECT_EQ(image->LargestFreeSpace(), 658u);
    struct Case {
        uint32_t blocks;
        std::optional<uint32_t> start;
    } cases[] = {{100, 2600}, {200, 2600}, {201, 342}, {658, 342}, {659, std::nullopt}};
    for (const Case& c : cases)
        EXPECT_EQ(image->StartFor(c.blocks), c.start) << c.blocks;
    EXPECT_EQ(image->CountEntries(), 5);
    EXPECT_FALSE(image->CanOpenPartition(2)); // the C81 entry is listed but does not open
    EXPECT_EQ(image->OpenPartition(2), nullptr);
    const std::string listing = image->PartitionListing("l", true);
    EXPECT_EQ(listing, "l\n00,SYSTEM,SYS\n01,A,41 \n03,B,81 \n09,N,NAT\n");
}

TEST(CmdContainer, DeleteKeepsBlocksAndFreesTheSpace) {
    auto image = NewFd();
    ASSERT_TRUE(image->CreatePartition(FormatId::D64, 0));
    DiskImage* child = image->OpenPartition(0);
    ASSERT_NE(child, nullptr);
    ASSERT_TRUE(AddFile(*child, {"KEPT", 0x82, Pattern(2000)}));
    image->CloseChild(child);
    const std::vector<uint8_t> before = image->Store().Snapshot();
    ASSERT_TRUE(image->DeletePartition(0));
    EXPECT_EQ(image->CountEntries(), 1);
    EXPECT_EQ(image->FreeBlockCount(), 3200);
    const std::vector<uint8_t> after = image->Store().Snapshot();
    EXPECT_TRUE(std::equal(before.begin(), before.begin() + 342 * 512, after.begin()));
    image->UndoCommand();
    EXPECT_EQ(image->Store().Snapshot(), before);
    ASSERT_TRUE(image->DeletePartition(0));
    // Made again: the same place, a blank disk.
    ASSERT_TRUE(image->CreatePartition(FormatId::D64, 0));
    EXPECT_EQ(image->InfoAt(0).start, 0u);
    ASSERT_NE(image->OpenPartition(0), nullptr);
    EXPECT_EQ(image->OpenPartition(0)->CountEntries(), 0);
}

TEST(CmdContainer, ChildEditsTheContainerAndSavingClearsItsMark) {
    TempDir dir;
    auto image = NewFd();
    ASSERT_TRUE(image->CreatePartition(FormatId::D64, 0));
    const std::string path = (dir.path / "box.d2m").string();
    ASSERT_TRUE(image->WriteFile(path));
    image->SetPath(path);
    image->SetFlag(kFlagUntitled, false);
    ASSERT_FALSE(image->modified());
    DiskImage* child = image->OpenPartition(0);
    ASSERT_NE(child, nullptr);
    ASSERT_TRUE(AddFile(*child, {"HELLO", 0x82, Pattern(500, 3)}));
    EXPECT_TRUE(child->modified());
    EXPECT_TRUE(image->modified());
    ASSERT_TRUE(image->Save(false));
    EXPECT_FALSE(child->modified());
    EXPECT_FALSE(image->modified());
    // The saved file holds the partition with the file in it.
    auto reread = FdFrom(ReadAll(path));
    DiskImage* again = reread->OpenPartition(0);
    ASSERT_NE(again, nullptr);
    ASSERT_EQ(again->CountEntries(), 1);
    EXPECT_EQ(*again->ReadFileData(0), Pattern(500, 3));
    // Save As of the child writes a plain 1541 image.
    const std::string alone = (dir.path / "alone.d64").string();
    ASSERT_TRUE(child->WriteFile(alone));
    const std::vector<uint8_t> written = ReadAll(alone);
    ASSERT_EQ(written.size(), D64Image::kImageBytes);
    EXPECT_TRUE(std::equal(written.begin(), written.end(), reread->Store().Contents().begin()));
}

TEST(CmdContainer, RenamesGoIntoTheTableAndTheSystemSectorAndUndo) {
    auto image = NewFd();
    const std::vector<uint8_t> before = image->Store().Snapshot();
    ASSERT_TRUE(image->RenameEntry(image->EntryAt(0), RawName("BOOT"), 0));
    ASSERT_TRUE(image->RenameDisk(RawName("MY FD")));
    const std::vector<uint8_t> after = image->Store().Snapshot();
    EXPECT_TRUE(std::equal(after.begin() + FlatOffset(26, 8) + 5,
                           after.begin() + FlatOffset(26, 8) + 21, RawName("BOOT").begin()));
    EXPECT_TRUE(std::equal(after.begin() + FlatOffset(26, 5) + 0xF0,
                           after.begin() + FlatOffset(26, 5) + 0x100, RawName("MY FD").begin()));
    image->UndoCommand();
    image->UndoCommand();
    EXPECT_EQ(image->Store().Snapshot(), before);
}

TEST(CmdContainer, InsertedImageAndDroppedFile) {
    TempDir dir;
    auto image = NewFd();
    auto disk = testing::BlankD64("DISK");
    ASSERT_TRUE(AddFile(*disk, {"INSIDE", 0x82, Pattern(3000, 9)}));
    const std::string file = (dir.path / "game.d64").string();
    ASSERT_TRUE(disk->WriteFile(file));
    ASSERT_TRUE(image->InsertPartitionFrom(*disk, RawName("FIRST"), 0));
    ASSERT_TRUE(image->InsertPartitionFile(file, 1));
    EXPECT_FALSE(image->InsertPartitionFile((dir.path / "nothing.d64").string(), 0));
    ASSERT_EQ(image->CountEntries(), 3);
    EXPECT_EQ(Name(image->EntryAt(1)).substr(0, 4), "GAME");
    EXPECT_EQ(image->InfoAt(1).start, 342u);
    for (int n : {0, 1}) {
        DiskImage* child = image->OpenPartition(n);
        ASSERT_NE(child, nullptr);
        ASSERT_EQ(child->CountEntries(), 1);
        EXPECT_EQ(*child->ReadFileData(0), Pattern(3000, 9));
    }
    EXPECT_EQ(image->Journal().back().name, "Insert File");
}

TEST(CmdContainer, ExportGivesEachOpenablePartitionAFolder) {
    TempDir dir;
    auto image = NewFd();
    auto disk = testing::BlankD64("DISK");
    ASSERT_TRUE(AddFile(*disk, {"INSIDE", 0x82, Pattern(3000, 9)}));
    ASSERT_TRUE(image->InsertPartitionFrom(*disk, RawName("FIRST"), 0));
    ASSERT_TRUE(image->InsertPartitionFrom(*disk, RawName("SECOND"), 1));
    DiskImage* open = image->OpenPartition(1);
    ASSERT_TRUE(image->ExportAllFiles(dir.path.string(), ExportMode::Native));
    for (const char* folder : {"first", "second"})
        EXPECT_EQ(ReadAll(dir.path / folder / "inside.prg"), Pattern(3000, 9)) << folder;
    EXPECT_FALSE(fs::exists(dir.path / "system"));
    EXPECT_EQ(image->ChildAt(0), nullptr); // opened for the export only
    EXPECT_EQ(image->ChildAt(1), open);
}

TEST(CmdContainer, SearchMatchesPartitionNamesThenLooksInside) {
    auto image = NewFd();
    auto disk = testing::BlankD64("DISK");
    ASSERT_TRUE(AddFile(*disk, {"GAMEFILE", 0x82, Pattern(300)}));
    ASSERT_TRUE(image->InsertPartitionFrom(*disk, RawName("GAMES"), 0));
    image->SetPath("box.d2m");
    std::vector<std::string> found;
    const int hits = FindFiles(*image, RawName("GAME*"), "box.d2m", [&](const FoundFile& hit) {
        found.push_back(hit.containerPath + " " + hit.name + " " + hit.typeName);
    });
    EXPECT_EQ(hits, 2);
    EXPECT_EQ(found, (std::vector<std::string>{"box.d2m GAMES 41 ", "box.d2m/GAMES GAMEFILE PRG"}));
    EXPECT_EQ(image->ChildAt(0), nullptr);
}

TEST(CmdContainer, DamagedTablesEndAndPartitionsBeyondTheImageStayShut) {
    struct Case {
        const char* what;
        void (*damage)(std::vector<uint8_t>&);
        int entries;
    } cases[] = {
        {"loop back to the first sector", [](auto& b) { PutTableLink(b, 25, 8, 0, 1, 0); }, 1},
        {"link past the last track", [](auto& b) { PutTableLink(b, 25, 8, 0, 200, 0); }, 1},
        {"link past the track's sectors", [](auto& b) { PutTableLink(b, 25, 8, 0, 1, 250); }, 1},
        {"start beyond the image",
         [](auto& b) {
             PutPartition(b, 25, 8, {1, 2, "FAR", 0xFFFFFF, 342});
         },
         2},
        {"native larger than the image",
         [](auto& b) {
             PutPartition(b, 25, 8, {1, 1, "BIG", 3000, 0xFFFF});
         },
         2},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        std::vector<uint8_t> bytes = EmptyFd2000();
        c.damage(bytes);
        auto image = FdFrom(bytes);
        EXPECT_EQ(image->CountEntries(), c.entries);
        for (int n = 0; n < c.entries; ++n) {
            if (image->InfoAt(n).type == 255) continue;
            EXPECT_EQ(image->OpenPartition(n), nullptr);
        }
        EXPECT_GE(image->FreeBlockCount(), 0);
    }
}

TEST(CmdContainer, HdReadsOnDemandAndWritesBackOnlyChangedSectors) {
    TempDir dir;
    const std::string path = (dir.path / "disk.dhd").string();
    const uint64_t bytes = 16ull << 20;
    testing::WriteSparseHd(path, bytes, "HARD",
                           {{0, 255, "SYSTEM", 0, 528}, {1, 2, "GAMES", 528, 342}});
    // The partition holds a blank 1541 disk.
    {
        auto blank = testing::BlankD64("GAMES");
        std::fstream out(path, std::ios::in | std::ios::out | std::ios::binary);
        out.seekp(528 * 512);
        out.write(reinterpret_cast<const char*>(blank->Store().Contents().data()),
                  D64Image::kImageBytes);
    }
    const std::vector<uint8_t> before = ReadAll(path);
    testing::RecordingInteraction ui;
    std::unique_ptr<DiskImage> opened = OpenContainer(&ui, path, {}, 0, nullptr, true, nullptr);
    auto* image = dynamic_cast<CmdContainerImage*>(opened.get());
    ASSERT_NE(image, nullptr);
    ASSERT_EQ(image->CountEntries(), 2);
    EXPECT_EQ(Name(image->EntryAt(1)).substr(0, 5), "GAMES");
    EXPECT_EQ(std::string(image->DiskName().begin(), image->DiskName().begin() + 4), "HARD");
    EXPECT_LE(image->Cache()->BytesRead(), 64u * 256);
    EXPECT_EQ(image->FreeBlockCount(), static_cast<int>(bytes / 512 - 1056 - 342));
    DiskImage* child = image->OpenPartition(1);
    ASSERT_NE(child, nullptr);
    EXPECT_EQ(child->FreeBlockCount(), 664);
    ASSERT_TRUE(AddFile(*child, {"NEW", 0x82, Pattern(1000, 4)}));
    const size_t changed = image->Cache()->ChangedSectors();
    ASSERT_TRUE(image->Save(false));
    const std::vector<uint8_t> after = ReadAll(path);
    ASSERT_EQ(after.size(), before.size());
    size_t differing = 0;
    for (size_t at = 0; at < after.size(); at += 256)
        differing += !std::equal(after.begin() + static_cast<long>(at),
                                 after.begin() + static_cast<long>(at + 256),
                                 before.begin() + static_cast<long>(at));
    EXPECT_EQ(differing, changed);
    EXPECT_EQ(differing, 4u + 1 + 1); // four data blocks, the BAM and the directory
    EXPECT_EQ(image->Cache()->ChangedSectors(), 0u);
    // Saved elsewhere (Save As): a full copy, which then reads back the same, and the file
    // the image came from is left as it was.
    const std::string copy = (dir.path / "copy.dhd").string();
    ASSERT_TRUE(AddFile(*child, {"MORE", 0x82, Pattern(10, 5)}));
    ui.saveChoices.push_back(SaveChoice{copy});
    ASSERT_TRUE(image->Save(true));
    EXPECT_EQ(ReadAll(path), after);
    auto reread = OpenContainer(&ui, copy, {}, 0, nullptr, true, nullptr);
    ASSERT_NE(reread, nullptr);
    DiskImage* copied = dynamic_cast<CmdContainerImage&>(*reread).OpenPartition(1);
    ASSERT_NE(copied, nullptr);
    EXPECT_EQ(copied->CountEntries(), 2);
}

TEST(CmdContainer, HdThatCannotBeOpenedSaysSo) {
    testing::RecordingInteraction ui;
    EXPECT_EQ(OpenContainer(&ui, "/nonexistent/x.dhd", {}, 0, nullptr, true, nullptr), nullptr);
    ASSERT_FALSE(ui.messages.empty());
    EXPECT_EQ(ui.messages.back().text, "Unable to Open File x.dhd");
}

} // namespace
} // namespace tessarind
