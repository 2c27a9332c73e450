#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>

#include "formats/D81Image.h"
#include "catalog/FolderSearch.h"
#include "support/ImageBuilder.h"
#include "support/Process.h"
#include "text/Petscii.h"

namespace tessarind {
namespace {

namespace fs = std::filesystem;
using testing::AddFile;
using testing::BlankD64;
using testing::Pattern;
using testing::RawName;
using testing::TempDir;

std::vector<FoundFile> Find(DiskImage& image, const std::array<uint8_t, 16>& pattern,
                            const std::string& path = "disk.d64") {
    std::vector<FoundFile> hits;
    int count = FindFiles(image, pattern, path, [&](const FoundFile& hit) { hits.push_back(hit); });
    EXPECT_EQ(count, static_cast<int>(hits.size()));
    return hits;
}

std::vector<std::string> Names(const std::vector<FoundFile>& hits) {
    std::vector<std::string> names;
    for (const FoundFile& hit : hits)
        names.push_back(hit.name);
    return names;
}

using Strings = std::vector<std::string>;

std::unique_ptr<D64Image> GameDisk() {
    auto image = BlankD64("GAMES");
    AddFile(*image, {"GAME", 0x82, Pattern(3 * 254)});
    AddFile(*image, {"GAMES", 0x81, Pattern(10)});
    AddFile(*image, {"TOOL", 0xC2, Pattern(300)});
    AddFile(*image, {"G1", 0x83, {}});
    return image;
}

TEST(FolderSearchFindFiles, WildcardsAndExactNames) {
    auto image = GameDisk();
    EXPECT_EQ(Names(Find(*image, RawName("*"))), (Strings{"GAME", "GAMES", "TOOL", "G1"}));
    EXPECT_EQ(Names(Find(*image, RawName("GAME"))), (Strings{"GAME"}));
    EXPECT_EQ(Names(Find(*image, RawName("GAME?"))), (Strings{"GAMES"}));
    EXPECT_EQ(Names(Find(*image, RawName("G??E*"))), (Strings{"GAME", "GAMES"}));
    EXPECT_EQ(Names(Find(*image, RawName("?1"))), (Strings{"G1"}));
    EXPECT_EQ(Names(Find(*image, RawName("*S"))), (Strings{"GAMES"}));
    EXPECT_TRUE(Find(*image, RawName("GAM")).empty());
    EXPECT_TRUE(Find(*image, RawName("")).empty()); // an empty pattern names no file
    // A pattern typed on the host is converted as host names are.
    EXPECT_EQ(Names(Find(*image, PetsciiName("game*"))), (Strings{"GAME", "GAMES"}));
}

TEST(FolderSearchFindFiles, HitNamesShowEveryByteAsTheListingDoes) {
    auto image = BlankD64("CODES");
    AddFile(*image, {"X\001\377Y", 0x82, Pattern(10)});
    AddFile(*image, {"\307AME", 0x82, Pattern(10)});
    EXPECT_EQ(Names(Find(*image, RawName("*"))), (Strings{"X??Y", "gAME"}));
    // Either code of a shifted letter finds it.
    EXPECT_EQ(Names(Find(*image, RawName("\147*"))), (Strings{"gAME"}));
}

TEST(FolderSearchFindFiles, HitCarriesTypeBlocksAndContainer) {
    auto image = GameDisk();
    std::vector<FoundFile> hits = Find(*image, RawName("*"), "/d/games.d64");
    ASSERT_EQ(hits.size(), 4u);
    EXPECT_EQ(hits[0].typeName, "PRG");
    EXPECT_EQ(hits[0].blocks, 3);
    EXPECT_EQ(hits[0].containerPath, "/d/games.d64");
    EXPECT_EQ(hits[1].typeName, "SEQ");
    EXPECT_EQ(hits[2].typeName, "PRG"); // locked, still a PRG
    EXPECT_EQ(hits[3].typeName, "USR");
    EXPECT_EQ(hits[3].typeCode, 3);
    EXPECT_EQ(hits[3].cbmName, (std::vector<uint8_t>{'G', '1'}));
}

// A 1581 disk: TOP, the partition PART holding INSIDE, then LAST.
std::unique_ptr<D81Image> DiskWithPartition() {
    auto image = std::make_unique<D81Image>();
    EXPECT_TRUE(image->Open(nullptr, "", false, true));
    EXPECT_TRUE(AddFile(*image, {"TOP", 0x82, Pattern(300)}));
    EXPECT_TRUE(image->CreateSubDirectory(1));
    std::array<uint8_t, 16> partName = RawName("PART");
    std::copy(partName.begin(), partName.end(), image->EntryAt(1).name().begin());
    EXPECT_TRUE(image->EnterSubDirectory(1));
    EXPECT_TRUE(AddFile(*image, {"INSIDE", 0x81, Pattern(600, 3)}));
    EXPECT_TRUE(AddFile(*image, {"TOP", 0x82, Pattern(20)}));
    EXPECT_TRUE(image->LeaveSubDirectory());
    EXPECT_TRUE(AddFile(*image, {"LAST", 0x82, Pattern(10)}));
    return image;
}

TEST(FolderSearchFindFiles, PartitionsAreSearchedWithTheirPath) {
    auto image = DiskWithPartition();
    EXPECT_EQ(Names(Find(*image, RawName("*"))),
              (Strings{"TOP", "PART", "PART/INSIDE", "PART/TOP", "LAST"}));
    std::vector<FoundFile> hits = Find(*image, RawName("INS*"));
    ASSERT_EQ(hits.size(), 1u);
    EXPECT_EQ(hits[0].name, "PART/INSIDE");
    const std::string cbm(hits[0].cbmName.begin(), hits[0].cbmName.end());
    EXPECT_EQ(cbm, "PART/INSIDE");
    EXPECT_EQ(hits[0].typeName, "SEQ");
    EXPECT_EQ(hits[0].blocks, 3);
    EXPECT_EQ(Names(Find(*image, RawName("TOP"))), (Strings{"TOP", "PART/TOP"}));
    EXPECT_TRUE(image->DirStack().empty()); // back at the top level

    // A second entry naming the same partition does not search it twice.
    std::array<uint8_t, kSlotSize> copy{};
    std::copy_n(image->EntryAt(1).data(), kSlotSize, copy.begin());
    ASSERT_TRUE(image->InsertEntry(3, std::span<const uint8_t>(copy).subspan(2)));
    EXPECT_EQ(Names(Find(*image, RawName("INSIDE"))), (Strings{"PART/INSIDE"}));
}

TEST(FolderSearchFindFiles, FormatWithoutPartitionsIsNotEntered) {
    auto image = BlankD64("FLAT");
    DirEntry fake = AddFile(*image, {"FAKE", 0x85, {}});
    fake.firstTrack() = 17;
    fake.firstSector() = 0;
    uint8_t* first = image->SectorPointer(17, 0);
    uint8_t* dir = image->SectorPointer(17, 1);
    first[0] = 17;
    first[1] = 1;
    std::fill(dir, dir + kBlockSize, 0);
    dir[1] = 0xFF;
    dir[2] = 0x82;
    std::array<uint8_t, 16> hidden = RawName("HIDDEN");
    std::copy(hidden.begin(), hidden.end(), dir + DirEntryOffset::name);
    EXPECT_EQ(Names(Find(*image, RawName("*"))), (Strings{"FAKE"}));
    image->SetMaxFileType(5);
    EXPECT_EQ(Names(Find(*image, RawName("*"))), (Strings{"FAKE", "FAKE/HIDDEN"}));
}

// A folder tree of 1541 images:
//   1!part.d64 (GAME)  2!part.d64 (GAME)  notes.txt  one.d64 (GAME, TOOL)
//   sub/two.d64 (GAME)  sub/deeper/three.d64 (OTHER)
class FolderSearchWalk : public ::testing::Test {
protected:
    void SetUp() override {
        Disk("1!part.d64", {"GAME"});
        Disk("2!part.d64", {"GAME"});
        std::ofstream(dir / "notes.txt") << "GAME\n";
        Disk("one.d64", {"GAME", "TOOL"});
        Disk("sub/two.d64", {"GAME"});
        Disk("sub/deeper/three.d64", {"OTHER"});
    }
    void Disk(const std::string& name, const std::vector<std::string>& files) {
        auto image = BlankD64("D");
        for (const std::string& file : files)
            AddFile(*image, {file, 0x82, Pattern(100)});
        fs::create_directories((dir / name).parent_path());
        ASSERT_TRUE(image->WriteFile((dir / name).string()));
    }
    std::string At(const std::string& name) const { return (dir / name).string(); }

    FolderSearchResult Search(const std::string& pattern, bool subfolders,
                              const std::atomic<bool>* cancel = nullptr,
                              std::function<void(const FoundFile&)> also = {}) {
        hits.clear();
        searching.clear();
        return SearchFolder(
            dir.path().string() + "/", RawName(pattern), subfolders, Settings(),
            [&](const FoundFile& hit) {
                hits.push_back(hit.containerPath + ":" + hit.name);
                if (also) also(hit);
            },
            [&](const std::string& path) { searching.push_back(path); }, cancel);
    }

    TempDir dir{"tessarind-find"};
    Strings hits, searching;
};

TEST_F(FolderSearchWalk, SubfoldersDepthFirstInNameOrder) {
    FolderSearchResult result = Search("GAME", true);
    EXPECT_TRUE(result.listed);
    EXPECT_FALSE(result.cancelled);
    EXPECT_EQ(hits, (Strings{At("1!part.d64") + ":GAME", At("one.d64") + ":GAME",
                             At("sub/two.d64") + ":GAME"}));
    // Later Zipcode parts are left to the first part; the text file is tried and skipped.
    EXPECT_EQ(searching, (Strings{At("1!part.d64"), At("notes.txt"), At("one.d64"),
                                  At("sub/deeper/three.d64"), At("sub/two.d64")}));
    EXPECT_EQ(result.found, 3);
    EXPECT_EQ(result.withHits, 3);
    EXPECT_EQ(result.searched, 4);
    EXPECT_EQ(SearchSummary(result), "Search Finished. 3 file(s) found on 3 of 4 disks");
}

TEST_F(FolderSearchWalk, WithoutSubfoldersOnlyTheFolder) {
    FolderSearchResult result = Search("*", false);
    EXPECT_EQ(hits, (Strings{At("1!part.d64") + ":GAME", At("one.d64") + ":GAME",
                             At("one.d64") + ":TOOL"}));
    EXPECT_EQ(result.found, 3);
    EXPECT_EQ(result.withHits, 2);
    EXPECT_EQ(result.searched, 2);
}

TEST_F(FolderSearchWalk, CancelStopsAfterTheCurrentContainer) {
    std::atomic<bool> cancel{false};
    FolderSearchResult result =
        Search("*", true, &cancel, [&](const FoundFile&) { cancel = true; });
    EXPECT_TRUE(result.cancelled);
    EXPECT_EQ(hits, (Strings{At("1!part.d64") + ":GAME"})); // the rows found so far stay
    EXPECT_EQ(searching, (Strings{At("1!part.d64")}));
    EXPECT_EQ(result.searched, 1);

    // Cancelled before it starts: nothing is opened.
    result = Search("*", true, &cancel);
    EXPECT_TRUE(result.cancelled);
    EXPECT_TRUE(searching.empty());
    EXPECT_EQ(result.searched, 0);
}

TEST_F(FolderSearchWalk, FolderThatCannotBeListed) {
    FolderSearchResult result =
        SearchFolder((dir / "missing").string(), RawName("*"), true, Settings(), {});
    EXPECT_FALSE(result.listed);
    EXPECT_EQ(SearchSummary(result), "Search Finished. 0 file(s) found on 0 of 0 disks");

    // An empty folder lists fine and finds nothing.
    fs::create_directories(dir / "empty");
    result = SearchFolder((dir / "empty").string(), RawName("*"), true, Settings(), {});
    EXPECT_TRUE(result.listed);
    EXPECT_EQ(result.searched, 0);
}

TEST(FolderSearchZipcode, OnlyParts2To5AreLaterParts) {
    EXPECT_FALSE(IsLaterZipcodePart("1!GAME"));
    EXPECT_TRUE(IsLaterZipcodePart("2!GAME"));
    EXPECT_TRUE(IsLaterZipcodePart("5!x"));
    EXPECT_FALSE(IsLaterZipcodePart("6!GAME"));
    EXPECT_FALSE(IsLaterZipcodePart("2GAME"));
    EXPECT_FALSE(IsLaterZipcodePart("2"));
}

TEST(FolderSearchWalkFolder, LinkedFolderLoopIsNotFollowed) {
    TempDir dir{"tessarind-loop"};
    fs::create_directories(dir / "a");
    std::ofstream(dir / "a" / "f.d64") << "x";
    std::error_code ec;
    fs::create_directory_symlink(dir.path(), dir / "a" / "loop", ec);
    ASSERT_FALSE(ec);
    Strings files;
    EXPECT_TRUE(WalkFolder(dir.path().string(), true, [&](const std::string& path) {
        files.push_back(path);
        return true;
    }));
    EXPECT_EQ(files, (Strings{(dir / "a" / "f.d64").string()}));
}

} // namespace
} // namespace tessarind
