// Directory maintenance against the peers: Validate rebuilds exactly the BAM that cc1541 and
// cbmconvert wrote for their own images, and an image we edited (files removed and
// inserted, the directory compacted and sorted) is read by both peers as we read it.

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "interop/PeerTools.h"
#include "text/Petscii.h"

namespace tessarind {
namespace {

using interop::BamBlocksOf;
using interop::BamCopy;
using interop::BuildWithCc1541;
using interop::Cbmconvert;
using interop::ExpectSameBam;
using interop::ExpectSameListing;
using interop::ExtractWithCbmconvert;
using interop::ListWithCc1541;
using interop::NameOf;
using interop::OpenImageFile;
using interop::OurListingLines;
using interop::PeerFile;
using interop::Row;
using interop::WriteHostFile;
using testing::Pattern;
using testing::ProcessResult;
using testing::TempDir;
namespace fs = std::filesystem;

void ExpectValidateKeepsBam(const fs::path& path) {
    auto image = OpenImageFile<D64Image>(path);
    ASSERT_TRUE(image);
    const auto before = BamCopy(*image);
    image->Validate();
    ExpectSameBam(before, BamCopy(*image), BamBlocksOf(*image));
}

// cc1541 allocates the blocks of every file it writes, DEL and open files included (the
// catalogue has a closed DEL file, open SEQ/PRG/USR files and a REL file without side
// sectors, as cc1541 writes them).
TEST(MaintenanceInterop, ValidateKeepsTheBamCc1541WroteForFilesOfEveryType) {
    TempDir dir("tessarind-validate-cc1541");
    ProcessResult built = BuildWithCc1541(dir.path(), "mixed.d64", interop::kMixedDiskOptions,
                                          interop::MixedCatalogue());
    ASSERT_EQ(built.exitCode, 0) << built.output;
    ExpectValidateKeepsBam(dir / "mixed.d64");
}

// Without the DEL file, so that a fault with DEL files does not hide any other.
TEST(MaintenanceInterop, ValidateKeepsTheBamCc1541WroteForSeqPrgUsrAndRelFiles) {
    TempDir dir("tessarind-validate-cc1541-nodel");
    std::vector<PeerFile> files = interop::MixedCatalogue();
    std::erase_if(files, [](const PeerFile& file) { return file.type == "DEL"; });
    ProcessResult built =
        BuildWithCc1541(dir.path(), "mixed.d64", interop::kMixedDiskOptions, files);
    ASSERT_EQ(built.exitCode, 0) << built.output;
    ExpectValidateKeepsBam(dir / "mixed.d64");
}

// A closed DEL entry (type 0x80) is a listed file with a chain; the drive's validate keeps
// its blocks, only scratched slots (type 0) lose theirs. Both peers allocate them.
template <class Image> void CheckDelFileKeepsItsBlocks(const fs::path& path) {
    SCOPED_TRACE(path.filename().string());
    auto image = OpenImageFile<Image>(path);
    ASSERT_TRUE(image);
    ASSERT_EQ(image->entryCount(), 2);
    DirEntry del = image->EntryAt(1);
    ASSERT_TRUE(del);
    ASSERT_EQ(del.type(), 0x80);
    EXPECT_TRUE(interop::ChainData(*image, del) == Pattern(1000, 72)) << "DEL bytes differ";
    const auto chain = interop::ChainBlocks(*image, del.firstTrack(), del.firstSector());
    ASSERT_EQ(chain.size(), 4u);
    for (auto [t, s] : chain)
        ASSERT_FALSE(image->IsBlockFree(t, s)) << "the writer left the DEL file's blocks free";
    image->Validate();
    for (auto [t, s] : chain)
        EXPECT_FALSE(image->IsBlockFree(t, s)) << "block " << t << "/" << s << " of the DEL file";
}

TEST(MaintenanceInterop, ValidateKeepsTheBlocksOfAClosedDelFile) {
    TempDir dir("tessarind-validate-del");
    WriteHostFile(dir / "before.prg", Pattern(600, 71));
    WriteHostFile(dir / "deleted kind.del", Pattern(1000, 72));
    const std::vector<PeerFile> files = {
        {"before", "", false, false, Pattern(600, 71)},
        {"deleted kind", "DEL", false, false, Pattern(1000, 72)},
    };
    for (const std::string extension : {".d64", ".d71", ".d81"}) {
        ProcessResult built = BuildWithCc1541(dir.path(), "cc1541" + extension, {}, files);
        ASSERT_EQ(built.exitCode, 0) << built.output;
        const std::string option = extension == ".d64"   ? "-D4"
                                   : extension == ".d71" ? "-D7"
                                                         : "-D8";
        built = Cbmconvert(
            {option, "cbmconvert" + extension, "-n", "before.prg", "deleted kind.del"}, dir.path());
        ASSERT_EQ(built.exitCode, 0) << built.output;
    }
    CheckDelFileKeepsItsBlocks<D64Image>(dir / "cc1541.d64");
    CheckDelFileKeepsItsBlocks<D64Image>(dir / "cbmconvert.d64");
    CheckDelFileKeepsItsBlocks<D71Image>(dir / "cc1541.d71");
    CheckDelFileKeepsItsBlocks<D71Image>(dir / "cbmconvert.d71");
    CheckDelFileKeepsItsBlocks<D81Image>(dir / "cc1541.d81");
    CheckDelFileKeepsItsBlocks<D81Image>(dir / "cbmconvert.d81");
}

TEST(MaintenanceInterop, ValidateKeepsTheBamCc1541WroteForAFortyTrackImage) {
    TempDir dir("tessarind-validate-cc1541-40");
    ProcessResult built = BuildWithCc1541(dir.path(), "forty.d64", interop::kFortyTrackOptions,
                                          interop::FortyTrackCatalogue());
    ASSERT_EQ(built.exitCode, 0) << built.output;
    ExpectValidateKeepsBam(dir / "forty.d64");
}

// cbmconvert builds peer.d64 from plain files of each type (named by its convention,
// NAME.TYPE) and a REL file with two side sectors from a PC64 file; with or without a DEL file.
void BuildWithCbmconvert(const fs::path& dir, bool withDel) {
    std::map<std::string, std::vector<uint8_t>> plain = {
        {"program.prg", Pattern(10000, 81)}, {"sequence.seq", Pattern(254, 82)},
        {"user file.usr", Pattern(255, 83)}, {"tiny.prg", Pattern(1, 85)},
        {"large.prg", Pattern(60000, 86)},
    };
    if (withDel) plain["deleted.del"] = Pattern(700, 84);
    std::vector<std::string> argv = {"-D4", "peer.d64", "-n"};
    for (const auto& [name, data] : plain) {
        WriteHostFile(dir / name, data);
        argv.push_back(name);
    }
    std::vector<uint8_t> rel = {'C', '6', '4', 'F', 'i', 'l', 'e', 0};
    const auto relName = PetsciiName("records");
    rel.insert(rel.end(), relName.begin(), relName.end());
    rel.insert(rel.end(), {0, 50});
    const std::vector<uint8_t> records = Pattern(50 * 700, 87);
    rel.insert(rel.end(), records.begin(), records.end());
    WriteHostFile(dir / "records.r00", rel);
    ProcessResult built = Cbmconvert(argv, dir);
    ASSERT_EQ(built.exitCode, 0) << built.output;
    built = Cbmconvert({"-D4", "peer.d64", "-p", "records.r00"}, dir);
    ASSERT_EQ(built.exitCode, 0) << built.output;
    ASSERT_FALSE(interop::CbmconvertComplained(built)) << built.output;

    auto image = OpenImageFile<D64Image>(dir / "peer.d64");
    ASSERT_TRUE(image);
    ASSERT_EQ(image->entryCount(), static_cast<int>(plain.size() + 1));
}

TEST(MaintenanceInterop, ValidateKeepsTheBamCbmconvertWroteForFilesOfEveryType) {
    TempDir dir("tessarind-validate-cbmconvert");
    ASSERT_NO_FATAL_FAILURE(BuildWithCbmconvert(dir.path(), true));
    ExpectValidateKeepsBam(dir / "peer.d64");
}

TEST(MaintenanceInterop, ValidateKeepsTheBamCbmconvertWroteForSeqPrgUsrAndRelFiles) {
    TempDir dir("tessarind-validate-cbmconvert-nodel");
    ASSERT_NO_FATAL_FAILURE(BuildWithCbmconvert(dir.path(), false));
    ExpectValidateKeepsBam(dir / "peer.d64");
}

// The files cc1541 starts the edited image with: 17 entries, so the directory has three
// blocks, names out of order.
std::vector<PeerFile> EditCatalogue() {
    std::vector<PeerFile> files;
    const char* const names[] = {"zeta",    "alpha", "mike",   "bravo", "yankee", "charlie",
                                 "xray",    "delta", "whisky", "echo",  "victor", "foxtrot",
                                 "uniform", "golf",  "tango",  "hotel", "sierra"};
    const char* const types[] = {"", "SEQ", "USR"};
    const size_t sizes[] = {1, 254, 255, 508, 2000, 7000, 100};
    for (size_t i = 0; i < std::size(names); ++i)
        files.push_back({names[i], types[i % 3], false, false,
                         Pattern(sizes[i % std::size(sizes)] + i, static_cast<uint32_t>(90 + i))});
    return files;
}

int IndexOf(DiskImage& image, const std::string& name) {
    const auto wanted = PetsciiName(name);
    for (int i = 0; i < image.entryCount(); ++i)
        if (NameOf(image.EntryAt(i)) == wanted) return i;
    return -1;
}

TEST(MaintenanceInterop, ImageWeEditedIsReadByBothPeersAsWeReadIt) {
    TempDir dir("tessarind-edited");
    const std::vector<PeerFile> start = EditCatalogue();
    ProcessResult built =
        BuildWithCc1541(dir.path(), "edit.d64", {"-n", "edited disk", "-i", "ed 2a"}, start);
    ASSERT_EQ(built.exitCode, 0) << built.output;
    auto image = OpenImageFile<D64Image>(dir / "edit.d64");
    ASSERT_TRUE(image);
    ASSERT_EQ(image->entryCount(), static_cast<int>(start.size()));

    // What each remaining file should hold, by cbmconvert's native name.
    const char* const extensions[] = {"prg", "seq", "usr"};
    std::map<std::string, std::vector<uint8_t>> expected;
    std::map<std::string, std::string> nativeName;
    for (size_t i = 0; i < start.size(); ++i) {
        nativeName[start[i].name] = start[i].name + "." + extensions[i % 3];
        expected[nativeName[start[i].name]] = start[i].data;
    }

    // Remove six files across all three directory blocks, freeing their blocks.
    for (const std::string name : {"alpha", "yankee", "delta", "victor", "golf", "sierra"}) {
        int index = IndexOf(*image, name);
        ASSERT_GE(index, 0) << name;
        image->RemoveEntry(index, true);
        expected.erase(nativeName[name]);
    }
    ASSERT_EQ(image->entryCount(), 11);

    // Insert four new files: at the front, in the middle (a REL file, whose side sectors
    // and record length must move with its entry) and at the end.
    struct NewFile {
        std::string name;
        int rowId;
        std::vector<uint8_t> data;
        int index;
        int recordLength = 0;
        std::string native;
    };
    const std::vector<NewFile> added = {
        {"new first", interop::RowId::Prg, Pattern(5000, 101), 0, 0, "new first.prg"},
        {"new middle", interop::RowId::Seq, Pattern(254, 102), 5, 0, "new middle.seq"},
        {"new records", interop::RowId::Rel, Pattern(30 * 1100, 104), 8, 30, "new records.l1E"},
        {"new last", interop::RowId::Usr, Pattern(40000, 103), 14, 0, "new last.usr"},
    };
    for (const NewFile& file : added) {
        ASSERT_TRUE(image->WriteFileData(PetsciiName(file.name), file.index, false, file.data,
                                         file.recordLength, Row(file.rowId)))
            << file.name;
        expected[file.native] = file.data;
    }
    ASSERT_EQ(image->entryCount(), 15);

    image->CompactDirectory();
    image->Sort(true, false);
    ASSERT_EQ(image->entryCount(), 15);

    // Sorted by name, and the chain now ends after the second block.
    for (int i = 1; i < image->entryCount(); ++i) {
        const auto a = NameOf(image->EntryAt(i - 1)), b = NameOf(image->EntryAt(i));
        EXPECT_TRUE(std::lexicographical_compare(a.begin(), a.end(), b.begin(), b.end()))
            << "entries " << i - 1 << " and " << i << " are out of order";
    }
    EXPECT_EQ(interop::ChainBlocks(*image, image->dirTrack(), image->dirSector()).size(), 2u);

    // Every block the edits left used belongs to a file or the directory, and no other.
    {
        const auto before = BamCopy(*image);
        image->Validate();
        ExpectSameBam(before, BamCopy(*image), BamBlocksOf(*image));
    }

    const fs::path path = dir / "edited.d64";
    ASSERT_TRUE(image->WriteFile(path.string()));

    std::map<std::string, std::vector<uint8_t>> got = ExtractWithCbmconvert(path, dir / "out");
    std::vector<std::string> gotNames, expectedNames;
    for (const auto& [name, data] : got)
        gotNames.push_back(name);
    for (const auto& [name, data] : expected)
        expectedNames.push_back(name);
    EXPECT_EQ(gotNames, expectedNames);
    for (const auto& [name, data] : expected)
        EXPECT_TRUE(got.count(name) && got[name] == data) << name << ": bytes differ";

    std::vector<std::string> peer = ListWithCc1541(path);
    EXPECT_EQ(peer.size(), expected.size() + 2);
    ExpectSameListing(OurListingLines(*image), peer);
}

} // namespace
} // namespace tessarind
