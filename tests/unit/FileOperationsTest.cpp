#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <fstream>

#include "model/FormatRegistry.h"
#include "model/SafeFile.h"
#include "support/ImageBuilder.h"
#include "support/Recorders.h"
#include "text/Petscii.h"

namespace tessarind {
namespace {

namespace fs = std::filesystem;
using testing::AddFile;
using testing::BlankD64;
using testing::Pattern;
using testing::RawName;
using testing::RecordingInteraction;

const FormatRow& Row(int id) { return *FindRowById(id); }

// Appends a file (a negative index inserts at the front of a non-empty listing).
bool Write(DiskImage& image, const char* name, std::vector<uint8_t> data, int rowId = 12, int index = -2,
           int recordLength = 0) {
    if (index == -2) index = image.entryCount();
    return image.WriteFileData(RawName(name), index, false, std::move(data), recordLength, Row(rowId));
}

std::string NameOf(DiskImage& image, int index) {
    DirEntry e = image.EntryAt(index);
    if (!e) return "<none>";
    std::string name(e.name().begin(), e.name().end());
    return name.substr(0, name.find('\xA0'));
}

class FileOperations : public ::testing::Test {
protected:
    void SetUp() override {
        dir = fs::path(::testing::TempDir()) /
              ("tessarind-fileops-" + std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()));
        fs::remove_all(dir);
        fs::create_directories(dir);
    }
    void TearDown() override { fs::remove_all(dir); }
    fs::path HostFile(const std::string& name, const std::vector<uint8_t>& bytes) {
        fs::path p = dir / name;
        std::ofstream(p, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()),
                                                 static_cast<std::streamsize>(bytes.size()));
        return p;
    }
    std::vector<uint8_t> Read(const fs::path& p) {
        std::vector<uint8_t> out;
        bool openFailed = false;
        ReadWholeFile(p.string(), out, openFailed);
        return out;
    }
    fs::path dir;
};

TEST_F(FileOperations, InsertWritesChainAndEntry) {
    auto image = BlankD64();
    std::vector<uint8_t> data = Pattern(1000);
    ASSERT_TRUE(Write(*image, "GAME", data));
    DirEntry e = image->EntryAt(0);
    ASSERT_TRUE(e);
    EXPECT_EQ(e.type(), 0x82);
    EXPECT_EQ(e.blocks(), 4);
    EXPECT_EQ(e.firstTrack(), 17);
    EXPECT_EQ(image->ReadFileData(0), data);
    EXPECT_EQ(image->FreeBlockCount(), 660);
    EXPECT_EQ(image->UndoItemText(), "Undo: Import File\bCTRL+Z");
    EXPECT_TRUE(image->modified());
}

TEST_F(FileOperations, InsertAtTheFrontShiftsEntriesAndUndoesInOneStep) {
    auto image = BlankD64();
    for (const char* n : {"A", "B", "C"}) ASSERT_TRUE(Write(*image, n, Pattern(10)));
    std::vector<uint8_t> before = image->Store().Snapshot();
    size_t depth = image->Journal().size();
    ASSERT_TRUE(Write(*image, "NEW", Pattern(300), 12, -1)); // a negative index is the front
    EXPECT_EQ(NameOf(*image, 0), "NEW");
    EXPECT_EQ(NameOf(*image, 1), "A");
    EXPECT_EQ(NameOf(*image, 3), "C");
    image->UndoCommand();
    EXPECT_EQ(image->Store().Snapshot(), before);
    EXPECT_EQ(image->Journal().size(), depth);
}

TEST_F(FileOperations, InsertSkipsPastHiddenEmptySlots) {
    auto image = BlankD64();
    for (const char* n : {"A", "B", "C", "D"}) ASSERT_TRUE(Write(*image, n, Pattern(10)));
    image->RemoveEntry(1, true); // B's slot is now empty and hidden
    ASSERT_TRUE(Write(*image, "X", Pattern(10), 12, 2)); // before D
    EXPECT_EQ(NameOf(*image, 0), "A");
    EXPECT_EQ(NameOf(*image, 1), "C");
    EXPECT_EQ(NameOf(*image, 2), "X");
    EXPECT_EQ(NameOf(*image, 3), "D");
    EXPECT_EQ(image->entryCount(), 4);
}

TEST_F(FileOperations, FullDirectoryBlockGrowsTheDirectory) {
    auto image = BlankD64();
    for (int i = 0; i < 8; ++i) ASSERT_TRUE(Write(*image, ("F" + std::to_string(i)).c_str(), Pattern(5)));
    ASSERT_TRUE(Write(*image, "NINTH", Pattern(5)));
    EntryLocation where;
    image->EntryAtEx(8, false, &where);
    EXPECT_EQ(where.track, 18);
    EXPECT_EQ(where.sector, 4);
    EXPECT_FALSE(image->IsBlockFree(18, 4));
    const uint8_t* first = image->SectorPointer(18, 1);
    EXPECT_EQ(first[0], 18);
    EXPECT_EQ(first[1], 4);
    EXPECT_EQ(image->SectorPointer(18, 4)[1], 0xFF);
}

TEST_F(FileOperations, FullDirectoryFailsAndLeavesNoRecords) {
    auto image = BlankD64();
    for (int i = 0; i < 144; ++i) ASSERT_TRUE(Write(*image, ("F" + std::to_string(i)).c_str(), {})) << i;
    image->ToggleBlock(3, 3);
    std::vector<uint8_t> before = image->Store().Snapshot();
    size_t depth = image->Journal().size();
    RecordingInteraction ui;
    image->SetOwner(&ui);
    EXPECT_FALSE(image->WriteFileData(RawName("MORE"), -1, true, Pattern(500), 0, Row(12)));
    EXPECT_EQ(image->Store().Snapshot(), before);
    EXPECT_EQ(image->Journal().size(), depth);
    ASSERT_FALSE(ui.messages.empty());
    EXPECT_EQ(ui.messages.back().text, "Not Enough Room on Disk");
    image->UndoCommand(); // reverses the toggle made before the failed insertion
    EXPECT_TRUE(image->IsBlockFree(3, 3));
}

TEST_F(FileOperations, NotEnoughRoomOnlyTellsInteractiveCalls) {
    auto image = BlankD64();
    RecordingInteraction ui;
    image->SetOwner(&ui);
    EXPECT_FALSE(Write(*image, "HUGE", Pattern(665 * 254)));
    EXPECT_TRUE(ui.messages.empty());
    EXPECT_FALSE(image->WriteFileData(RawName("HUGE"), -1, true, Pattern(665 * 254), 0, Row(12)));
    ASSERT_EQ(ui.messages.size(), 1u);
    EXPECT_EQ(ui.messages[0].text, "Not Enough Room on Disk");
    EXPECT_EQ(image->entryCount(), 0);
}

// A BAM whose free counts promise more than its bitmap holds lets a file start and run out
// of blocks half-way: the insertion fails and leaves the image as it was, clean.
TEST_F(FileOperations, FileThatRunsOutOfBlocksHalfWayLeavesTheImageClean) {
    auto image = BlankD64();
    uint8_t* bam = image->SectorPointer(18, 0);
    for (int t = 1; t <= 35; ++t)
        if (t != 18) std::fill(bam + 4 * t + 1, bam + 4 * t + 4, 0); // counts stay at 17-21
    bam[4 * 1 + 1] = 0x03; // sectors 0 and 1 of track 1 are the only free blocks
    image->SetModified(false);
    const std::vector<uint8_t> before = image->Store().Snapshot();
    ASSERT_GT(image->FreeBlockCount(), 3);
    EXPECT_FALSE(Write(*image, "THREE", Pattern(3 * 254)));
    EXPECT_EQ(image->Store().Snapshot(), before);
    EXPECT_TRUE(image->Journal().empty());
    EXPECT_FALSE(image->modified());
    // The same inside an edit that goes on: the flag stays as the edit left it.
    image->SetModified(true);
    EXPECT_FALSE(Write(*image, "THREE", Pattern(3 * 254)));
    EXPECT_TRUE(image->modified());
}

TEST_F(FileOperations, EmptyFileHasNoBlocks) {
    auto image = BlankD64();
    ASSERT_TRUE(Write(*image, "EMPTY", {}));
    DirEntry e = image->EntryAt(0);
    EXPECT_EQ(e.blocks(), 0);
    EXPECT_EQ(e.firstTrack(), 0);
    EXPECT_EQ(e.firstSector(), 0);
    EXPECT_EQ(image->FreeBlockCount(), 664);
}

std::vector<uint8_t> Pc64(const char* name, std::vector<uint8_t> data, uint8_t recordLength = 0) {
    std::vector<uint8_t> file(26, 0);
    std::memcpy(file.data(), "C64File", 7);
    std::memcpy(file.data() + 8, name, std::strlen(name));
    file[25] = recordLength;
    file.insert(file.end(), data.begin(), data.end());
    return file;
}

TEST_F(FileOperations, Pc64HeaderGivesNameAndIsNotWritten) {
    auto image = BlankD64();
    std::vector<uint8_t> data = Pattern(254);
    ASSERT_TRUE(Write(*image, "IGNORED", Pc64("REAL NAME", data), 24));
    DirEntry e = image->EntryAt(0);
    EXPECT_EQ(NameOf(*image, 0), "REAL NAME");
    EXPECT_EQ(e.blocks(), 1); // the header is not written, so not counted
    EXPECT_EQ(image->FileBlocks(0), 1);
    EXPECT_EQ(image->ReadFileData(0), data);
    EXPECT_EQ(e.type(), 0x82);
}

TEST_F(FileOperations, Pc64RelKeepsItsRecordLength) {
    auto image = BlankD64();
    ASSERT_TRUE(Write(*image, "X", Pc64("RECORDS", Pattern(1000), 50), 25));
    DirEntry e = image->EntryAt(0);
    EXPECT_EQ(e.typeCode(), kRel);
    EXPECT_EQ(e.recordLength(), 50);
    EXPECT_NE(e.sideTrack(), 0);
}

TEST_F(FileOperations, HostTextBecomesAPetsciiSeqFile) {
    auto image = BlankD64();
    fs::path p = HostFile("read me.txt", {'H', 'i', ' ', 'y', 'o', 'u', '\r', '\n', 'x', '_', '\n'});
    ASSERT_TRUE(image->ImportHostFile(p.string(), -1, false));
    DirEntry e = image->EntryAt(0);
    EXPECT_EQ(e.type(), 0x81);
    EXPECT_EQ(std::string(e.name().begin(), e.name().begin() + 7), "READ ME");
    std::vector<uint8_t> expected{0xC8, 'I', ' ', 'Y', 'O', 'U', 0x0D, 'X', 0xA4, 0x0D};
    EXPECT_EQ(image->ReadFileData(0), expected);
}

TEST_F(FileOperations, HostFileRowFollowsTheExtension) {
    auto image = BlankD64();
    ASSERT_TRUE(image->ImportHostFile(HostFile("tool.usr", Pattern(10)).string(), 0, false));
    ASSERT_TRUE(image->ImportHostFile(HostFile("noext", Pattern(10)).string(), 1, false));
    ASSERT_TRUE(image->ImportHostFile(HostFile("a-very-long-file-name.prg", Pattern(10)).string(), 2, false));
    EXPECT_EQ(image->EntryAt(0).type(), 0x83);
    EXPECT_EQ(image->EntryAt(1).type(), 0x82);
    EXPECT_EQ(NameOf(*image, 2), "A-VERY-LONG-FILE");
    RecordingInteraction ui;
    image->SetOwner(&ui);
    EXPECT_FALSE(image->ImportHostFile((dir / "missing.prg").string(), -1, true));
    EXPECT_EQ(ui.messages.back().text, "Unable to Open File");
}

TEST_F(FileOperations, RelFileGetsSideSectors) {
    auto image = BlankD64();
    std::vector<uint8_t> data = Pattern(130 * 254); // 130 data blocks: two side sectors
    ASSERT_TRUE(Write(*image, "REL", data, 13, -1, 64));
    DirEntry e = image->EntryAt(0);
    ASSERT_EQ(e.typeCode(), kRel);
    EXPECT_EQ(e.recordLength(), 64);
    EXPECT_EQ(e.blocks(), 132); // data and side sectors, as the drive counts them
    const uint8_t* s0 = image->SectorPointer(e.sideTrack(), e.sideSector());
    ASSERT_NE(s0, nullptr);
    EXPECT_EQ(s0[2], 0);
    EXPECT_EQ(s0[3], 64);
    const uint8_t* s1 = image->SectorPointer(s0[0], s0[1]);
    ASSERT_NE(s1, nullptr);
    EXPECT_EQ(s1[0], 0);
    EXPECT_EQ(s1[1], 16 + 2 * 10 - 1);
    EXPECT_EQ(s1[2], 1);
    // Both list all side sectors; the pairs follow the data chain.
    for (const uint8_t* side : {s0, s1}) {
        EXPECT_EQ(side[4], e.sideTrack());
        EXPECT_EQ(side[5], e.sideSector());
        EXPECT_EQ(side[6], s0[0]);
        EXPECT_EQ(side[7], s0[1]);
        EXPECT_EQ(side[8], 0);
    }
    int t = e.firstTrack(), s = e.firstSector();
    for (int i = 0; i < 130; ++i) {
        const uint8_t* side = i < 120 ? s0 : s1;
        int at = 16 + 2 * (i % 120);
        ASSERT_EQ(side[at], t) << i;
        ASSERT_EQ(side[at + 1], s) << i;
        const uint8_t* block = image->SectorPointer(t, s);
        t = block[0];
        s = block[1];
    }
    EXPECT_EQ(image->FreeBlockCount(), 664 - 132);
    EXPECT_EQ(image->ReadFileData(0), data);

    // Removing it frees the data but leaves the side sectors allocated.
    image->RemoveEntry(0, true);
    EXPECT_EQ(image->FreeBlockCount(), 664 - 2);
}

TEST_F(FileOperations, RemoveThenUndoRestoresEntryAndBam) {
    auto image = BlankD64();
    ASSERT_TRUE(Write(*image, "KEEP", Pattern(100)));
    ASSERT_TRUE(Write(*image, "GONE", Pattern(3000)));
    testing::RecordingObserver view;
    image->AttachDirectoryView(&view);
    std::vector<uint8_t> before = image->Store().Snapshot();
    image->RemoveEntry(1, true);
    EXPECT_EQ(image->entryCount(), 1);
    EXPECT_EQ(image->FreeBlockCount(), 664 - 1);
    EXPECT_EQ(view.selected, 0);
    EXPECT_EQ(view.undoText, "Undo: Remove File\bCTRL+Z");
    image->UndoCommand();
    EXPECT_EQ(image->Store().Snapshot(), before);
    EXPECT_EQ(image->entryCount(), 2);
    EXPECT_EQ(view.undoText, "Undo: Import File\bCTRL+Z");
}

TEST_F(FileOperations, SettersJournalOnlyRealChanges) {
    auto image = BlankD64();
    ASSERT_TRUE(Write(*image, "FILE", Pattern(100)));
    image->SetModified(false);
    DirEntry e = image->EntryAt(0);
    size_t depth = image->Journal().size();
    image->SetLocked(e, false, 0);
    image->SetSplat(e, false, 0);
    image->RenameEntry(e, RawName("FILE"), 0);
    EXPECT_EQ(image->Journal().size(), depth);
    EXPECT_FALSE(image->modified());

    image->SetLocked(e, true, 0);
    image->SetSplat(e, true, 0);
    image->SetFileType(e, kUsr, 0);
    image->RenameEntry(e, RawName("RENAMED"), 0);
    image->SetBlocks(e, 300, 0);
    EXPECT_EQ(e.type(), 0x43);
    EXPECT_EQ(e.data()[30], 0x2C);
    EXPECT_EQ(e.data()[31], 0x01);
    EXPECT_EQ(image->UndoItemText(), "Undo: Size\bCTRL+Z");
    for (int i = 0; i < 5; ++i) image->UndoCommand();
    EXPECT_EQ(e.type(), 0x82);
    EXPECT_EQ(NameOf(*image, 0), "FILE");
    EXPECT_EQ(image->Journal().size(), depth);
}

// With deleted entries hidden, an entry whose type byte becomes 0 leaves the listing at once
// (and comes back when it stops being 0), as do entries written into the directory by bytes.
TEST_F(FileOperations, EntryCountFollowsTypeBytesThatBecomeZero) {
    auto image = BlankD64();
    ASSERT_TRUE(Write(*image, "KEPT", Pattern(10)));
    ASSERT_TRUE(Write(*image, "GONE", Pattern(10), 31)); // a closed DEL file, type 0x80
    image->SetShowDeleted(false);
    image->Refresh();
    ASSERT_EQ(image->entryCount(), 2);
    DirEntry gone = image->EntryAt(1);
    image->SetSplat(gone, true, 1);
    EXPECT_EQ(gone.type(), 0);
    EXPECT_EQ(image->entryCount(), 1);
    image->SetSplat(gone, false, 1);
    EXPECT_EQ(image->entryCount(), 2);
    image->SetLocked(gone, true, 1);
    image->SetSplat(gone, true, 1); // locked: 0x40 stays listed
    EXPECT_EQ(image->entryCount(), 2);
    image->SetLocked(gone, false, 1);
    EXPECT_EQ(image->entryCount(), 1);

    const uint8_t cleared = 0;
    image->SetBytes(18, 1, std::span<const uint8_t>(&cleared, 1), 2);
    EXPECT_EQ(image->entryCount(), 0);
    image->UndoCommand();
    EXPECT_EQ(image->entryCount(), 1);
    EXPECT_EQ(NameOf(*image, 0), "KEPT");
}

TEST_F(FileOperations, DateIsLimitedToValidValues) {
    auto image = BlankD64();
    ASSERT_TRUE(Write(*image, "F", Pattern(10)));
    DirEntry e = image->EntryAt(0);
    const uint8_t date[5] = {99, 0, 40, 25, 70};
    image->SetDate(e, std::span<const uint8_t, 5>(date, 5), 0);
    EXPECT_EQ(std::vector<uint8_t>(e.data() + 25, e.data() + 30), (std::vector<uint8_t>{99, 1, 31, 23, 59}));
    const uint8_t later[5] = {85, 13, 0, 0, 0};
    image->SetDate(e, std::span<const uint8_t, 5>(later, 5), 0);
    EXPECT_EQ(std::vector<uint8_t>(e.data() + 25, e.data() + 30), (std::vector<uint8_t>{85, 12, 1, 0, 0}));
}

TEST_F(FileOperations, GeosFieldsAreMirroredInTheInfoBlock) {
    auto image = BlankD64();
    ASSERT_TRUE(Write(*image, "GEOS", Pattern(100)));
    DirEntry e = image->EntryAt(0);
    e.sideTrack() = 20; // info block
    e.sideSector() = 5;
    e.recordLength() = 0;
    std::vector<uint8_t> before = image->Store().Snapshot();
    image->SetFileType(e, kUsr, 0);
    image->SetGeosType(e, 6, 0);
    image->SetGeosStructure(e, 1, 0);
    const uint8_t* info = image->SectorPointer(20, 5);
    EXPECT_EQ(info[68], kUsr);
    EXPECT_EQ(info[69], 6);
    EXPECT_EQ(info[70], 1);
    EXPECT_EQ(image->UndoItemText(), "Undo: GEOS File Structure\bCTRL+Z");
    image->UndoCommand();
    image->UndoCommand();
    image->UndoCommand();
    EXPECT_EQ(image->Store().Snapshot(), before);
}

TEST_F(FileOperations, SetBytesStaysInsideTheBlock) {
    auto image = BlankD64();
    std::vector<uint8_t> before = image->Store().Snapshot();
    image->SetBytes(1, 0, Pattern(100), 200);
    EXPECT_EQ(image->Store().Snapshot(), before);
    EXPECT_TRUE(image->Journal().empty());
    image->SetBytes(1, 0, Pattern(56), 200, "Fill Sector");
    EXPECT_EQ(image->SectorPointer(1, 0)[200], Pattern(56)[0]);
    EXPECT_EQ(image->UndoItemText(), "Undo: Fill Sector\bCTRL+Z");
    image->SetBytes(1, 1, Pattern(1), 0);
    EXPECT_EQ(image->UndoItemText(), "Undo: Set Bytes\bCTRL+Z");
}

TEST_F(FileOperations, AlignNameModes) {
    auto image = BlankD64();
    ASSERT_TRUE(Write(*image, "  AB", Pattern(10)));
    image->AlignName(0, Align::Left);
    EXPECT_EQ(NameOf(*image, 0), "AB              ");
    image->AlignName(0, Align::Right);
    EXPECT_EQ(NameOf(*image, 0), "              AB");
    image->AlignName(0, Align::Center);
    EXPECT_EQ(NameOf(*image, 0), "       AB       ");
    image->AlignName(0, Align::Collapse);
    EXPECT_EQ(NameOf(*image, 0), "AB");
    EXPECT_EQ(image->UndoItemText(), "Undo: Expand File Name\bCTRL+Z");
    image->UndoCommand();
    EXPECT_EQ(NameOf(*image, 0), "       AB       ");
}

TEST_F(FileOperations, AutoFileSizeCountsChainsAndReportsBrokenOnes) {
    auto image = BlankD64();
    ASSERT_TRUE(Write(*image, "REL", Pattern(5 * 254), 13, -1, 10));
    ASSERT_TRUE(Write(*image, "PRG", Pattern(3 * 254)));
    RecordingInteraction ui;
    image->SetOwner(&ui);
    DirEntry rel = image->EntryAt(0);
    image->SetBlocks(rel, 0, 0);
    EXPECT_TRUE(image->AutoFileSize(0));
    EXPECT_EQ(rel.blocks(), 6); // five data blocks and one side sector
    DirEntry prg = image->EntryAt(1);
    uint8_t* first = image->SectorPointer(prg.firstTrack(), prg.firstSector());
    first[0] = 50; // breaks the chain after one block
    EXPECT_FALSE(image->AutoFileSize(1));
    EXPECT_EQ(prg.blocks(), 1);
    ASSERT_EQ(ui.messages.size(), 1u);
    EXPECT_EQ(ui.messages[0].text, "Unable to Walk File");
}

TEST_F(FileOperations, ExportWritesNativePc64AndText) {
    auto image = BlankD64();
    std::vector<uint8_t> prg = Pattern(700);
    ASSERT_TRUE(Write(*image, "GAME/V2", prg));
    std::vector<uint8_t> seq{'h', 'E', 'L', 'L', 'O', 0x0D};
    ASSERT_TRUE(Write(*image, "NOTE", seq, 5));
    ASSERT_TRUE(Write(*image, "TOOL", Pattern(10), 14));

    ASSERT_TRUE(image->ExportFile(0, dir.string(), false));
    EXPECT_EQ(Read(dir / "game - v2.prg"), prg);
    ASSERT_TRUE(image->ExportFile(0, dir.string(), false, FindRowById(24)));
    std::vector<uint8_t> p00 = Read(dir / "game - v2.p00");
    ASSERT_EQ(p00.size(), 726u);
    EXPECT_EQ(std::string(p00.begin(), p00.begin() + 8), std::string("C64File\0", 8));
    EXPECT_EQ(std::string(p00.begin() + 8, p00.begin() + 15), "GAME/V2");
    EXPECT_EQ(p00[15], 0);
    EXPECT_TRUE(std::equal(prg.begin(), prg.end(), p00.begin() + 26));
    ASSERT_TRUE(image->ExportFile(1, dir.string(), false, FindRowById(15)));
    std::vector<uint8_t> text = Read(dir / "note.txt");
    EXPECT_EQ(std::string(text.begin(), text.end()), "Hello\r\n");
}

TEST_F(FileOperations, ExportAllFilesByMode) {
    auto image = BlankD64();
    ASSERT_TRUE(Write(*image, "PROG", Pattern(10)));
    ASSERT_TRUE(Write(*image, "TEXT", {'A', 0x0D}, 5));
    ASSERT_TRUE(Write(*image, "USER", Pattern(10), 14));
    ASSERT_TRUE(Write(*image, "DELETED", Pattern(10), 31));
    image->ExportAllFiles((dir / "native").string(), ExportMode::Native);
    image->ExportAllFiles((dir / "pc64").string(), ExportMode::Pc64);
    image->ExportAllFiles((dir / "text").string(), ExportMode::SeqAsText);
    auto names = [&](const char* sub) {
        std::vector<std::string> out;
        for (auto& f : fs::directory_iterator(dir / sub)) out.push_back(f.path().filename().string());
        std::sort(out.begin(), out.end());
        return out;
    };
    EXPECT_EQ(names("native"), (std::vector<std::string>{"prog.prg", "text.seq", "user.usr"}));
    EXPECT_EQ(names("pc64"), (std::vector<std::string>{"prog.p00", "text.s00", "user.u00"}));
    EXPECT_EQ(names("text"), (std::vector<std::string>{"text.txt"}));
}

// A DIR sub-directory: header block (t, 0) linking to directory block (t, 1).
void MakeDirEntry(DiskImage& image, const char* name, int track) {
    uint8_t* header = image.SectorPointer(track, 0);
    std::memset(header, 0, 256);
    header[0] = static_cast<uint8_t>(track);
    header[1] = 1;
    uint8_t* dirBlock = image.SectorPointer(track, 1);
    std::memset(dirBlock, 0, 256);
    dirBlock[1] = 0xFF;
    image.ToggleBlock(track, 0);
    image.ToggleBlock(track, 1);
    std::array<uint8_t, kSlotSize> entry{};
    entry[2] = 0x86;
    entry[3] = static_cast<uint8_t>(track);
    std::memcpy(entry.data() + 5, RawName(name).data(), 16);
    entry[30] = 2;
    image.InsertEntry(image.entryCount(), std::span<const uint8_t>(entry).subspan(2));
}

TEST_F(FileOperations, SubDirectoryHeadersFollowTheirEntries) {
    auto image = BlankD64();
    ASSERT_TRUE(Write(*image, "FIRST", Pattern(10)));
    MakeDirEntry(*image, "SUB", 20);
    const uint8_t* header = image->SectorPointer(20, 0);
    EXPECT_EQ(header[36], 18);
    EXPECT_EQ(header[37], 1);
    EXPECT_EQ(header[38], 1 * 32 + 2);
    // Inserting in front moves the DIR entry one slot on: its back link follows.
    ASSERT_TRUE(Write(*image, "ZERO", Pattern(10), 12, 0));
    EXPECT_EQ(header[38], 2 * 32 + 2);

    // Files written inside grow the sub-directory; its parent entry shows the new size.
    ASSERT_TRUE(image->EnterSubDirectory(2));
    for (int i = 0; i < 9; ++i) ASSERT_TRUE(Write(*image, ("IN" + std::to_string(i)).c_str(), Pattern(10)));
    image->LeaveSubDirectory();
    EXPECT_EQ(image->EntryAt(2).blocks(), 3);

    image->ExportAllFiles((dir / "all").string(), ExportMode::Native);
    EXPECT_TRUE(fs::exists(dir / "all" / "sub.cmd"));
    EXPECT_TRUE(fs::exists(dir / "all" / "sub" / "in8.prg"));
}

TEST_F(FileOperations, ReadingAPartitionTakesItsBlocksInOrder) {
    auto image = BlankD64();
    std::array<uint8_t, kSlotSize> entry{};
    entry[2] = 0x85;
    entry[3] = 1;
    entry[4] = 19;
    entry[30] = 4; // 1/19, 1/20, then 2/0, 2/1
    ASSERT_TRUE(image->InsertEntry(-1, std::span<const uint8_t>(entry).subspan(2)));
    std::optional<std::vector<uint8_t>> data = image->ReadFileData(0);
    ASSERT_TRUE(data);
    ASSERT_EQ(data->size(), 1024u);
    EXPECT_TRUE(std::equal(data->begin() + 512, data->begin() + 768, image->SectorPointer(2, 0)));
    entry[3] = 35;
    entry[4] = 15;
    entry[30] = 10; // runs off the last track
    ASSERT_TRUE(image->InsertEntry(1, std::span<const uint8_t>(entry).subspan(2)));
    EXPECT_EQ(image->ReadFileData(1)->size(), 512u);
}

} // namespace
} // namespace tessarind
