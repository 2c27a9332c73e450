#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <fstream>

#include "model/FormatRegistry.h"
#include "model/ImageOpener.h"
#include "model/SafeFile.h"
#include "support/ImageBuilder.h"
#include "support/Recorders.h"

namespace tessarind {
namespace {

namespace fs = std::filesystem;
using testing::AddFile;
using testing::BlankD64;
using testing::Pattern;
using testing::RawName;
using testing::RecordingInteraction;

std::string NameOf(DiskImage& image, int index) {
    DirEntry e = image.EntryAt(index);
    if (!e) return "<none>";
    std::string name(e.name().begin(), e.name().end());
    return name.substr(0, name.find('\xA0'));
}

class OpenContainerTest : public ::testing::Test {
protected:
    void SetUp() override {
        dir = fs::path(::testing::TempDir()) /
              ("tessarind-opener-" +
               std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()));
        fs::remove_all(dir);
        fs::create_directories(dir);
    }
    void TearDown() override { fs::remove_all(dir); }

    std::string HostFile(const std::string& name, const std::vector<uint8_t>& bytes) {
        fs::path p = dir / name;
        fs::create_directories(p.parent_path());
        std::ofstream(p, std::ios::binary)
            .write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
        return p.string();
    }
    std::vector<uint8_t> Read(const std::string& p) {
        std::vector<uint8_t> out;
        bool openFailed = false;
        EXPECT_TRUE(ReadWholeFile(p, out, openFailed));
        return out;
    }
    // A 1541 image holding two files, written under `name`.
    std::string DiskFile(const std::string& name) {
        auto made = BlankD64("DISK");
        AddFile(*made, {"ONE", 0x82, Pattern(300)});
        AddFile(*made, {"TWO", 0x81, Pattern(10)});
        std::string p = (dir / name).string();
        EXPECT_TRUE(made->WriteFile(p));
        return p;
    }
    std::unique_ptr<DiskImage> Open(const std::string& p, bool reportErrors = true) {
        return OpenContainer(&ui, p, {}, 0, nullptr, reportErrors, &settings);
    }

    fs::path dir;
    RecordingInteraction ui;
    Settings settings;
};

TEST_F(OpenContainerTest, ExtensionIsTheTextAfterTheLastDotOfTheFileName) {
    EXPECT_EQ(ContainerExtension("games/disk.d64"), ".d64");
    EXPECT_EQ(ContainerExtension("disk.tar.D64"), ".D64");
    EXPECT_EQ(ContainerExtension("dir.v2/file"), "");
    EXPECT_EQ(ContainerExtension("dir.v2\\file"), "");
    EXPECT_EQ(ContainerExtension("file"), "");
    EXPECT_EQ(ContainerExtension("file."), ".");
}

TEST_F(OpenContainerTest, ImageExtensionMatchesWithoutRegardToCase) {
    for (const char* name : {"GAME.D64", "game.d64", "Game.D64"}) {
        SCOPED_TRACE(name);
        auto image = Open(DiskFile(name));
        ASSERT_NE(image, nullptr);
        EXPECT_EQ(image->formatId, FormatId::D64);
        EXPECT_EQ(image->title(), name);
        EXPECT_FALSE(image->untitled());
        EXPECT_FALSE(image->modified());
        EXPECT_EQ(image->entryCount, 2);
        EXPECT_EQ(NameOf(*image, 1), "TWO");
        EXPECT_EQ(image->owner(), &ui);
    }
    EXPECT_TRUE(ui.messages.empty());
}

TEST_F(OpenContainerTest, ExtensionMustMatchInFull) {
    std::string p = DiskFile("game.d64x");
    EXPECT_EQ(Open(p), nullptr);
    ASSERT_EQ(ui.messages.size(), 1u);
    EXPECT_EQ(ui.messages[0].text, "Unknown File Extension " + p);
    EXPECT_EQ(ui.messages[0].caption, "Error");
    EXPECT_EQ(Open(p, false), nullptr);
    EXPECT_EQ(ui.messages.size(), 1u);
    // A dot in a folder name is no extension.
    std::string inFolder = HostFile("dir.d64/file", Pattern(10));
    EXPECT_EQ(Open(inFolder), nullptr);
    EXPECT_EQ(ui.messages.back().text, "Unknown File Extension " + inFolder);
}

TEST_F(OpenContainerTest, MissingImageIsReportedOnlyWhenAsked) {
    std::string p = (dir / "nothere.d64").string();
    EXPECT_EQ(Open(p), nullptr);
    ASSERT_EQ(ui.messages.size(), 1u);
    EXPECT_EQ(ui.messages[0].text, "Unable to Open File nothere.d64");
    EXPECT_EQ(Open(p, false), nullptr);
    EXPECT_EQ(ui.messages.size(), 1u);
    EXPECT_FALSE(fs::exists(p));
}

TEST_F(OpenContainerTest, SingleFileOpensAsAnUntitledDiskHoldingIt) {
    std::vector<uint8_t> data = Pattern(700, 7);
    std::string p = HostFile("game.prg", data);
    auto image = Open(p);
    ASSERT_NE(image, nullptr);
    EXPECT_TRUE(ui.messages.empty());
    EXPECT_EQ(image->formatId, FormatId::D64);
    ASSERT_EQ(image->entryCount, 1);
    EXPECT_EQ(NameOf(*image, 0), "GAME");
    EXPECT_EQ(image->EntryAt(0).type(), 0x82);
    EXPECT_EQ(image->ReadFileData(0), data);
    EXPECT_EQ(image->title(), "game.prg");
    EXPECT_TRUE(image->untitled());

    // Saving asks for a name, proposing a disk image, and never writes over the file.
    EXPECT_FALSE(image->Save(false));
    ASSERT_EQ(ui.saveRequests.size(), 1u);
    EXPECT_EQ(ui.saveRequests[0].proposedName, "game.d64");
    EXPECT_EQ(ui.saveRequests[0].defaultExtension, "d64");
    EXPECT_EQ(Read(p), data);

    std::string chosen = (dir / "game.d64").string();
    ui.saveChoices.push_back(SaveChoice{chosen});
    ASSERT_TRUE(image->Save(false));
    EXPECT_EQ(Read(p), data);
    EXPECT_FALSE(image->untitled());
    auto reopened = Open(chosen);
    ASSERT_NE(reopened, nullptr);
    EXPECT_EQ(reopened->ReadFileData(0), data);
}

TEST_F(OpenContainerTest, SaveProposesTheOwnNameForOtherImages) {
    auto loaded = Open(DiskFile("keep.d64"));
    ASSERT_NE(loaded, nullptr);
    EXPECT_FALSE(loaded->Save(true));
    auto blank = BlankD64();
    blank->SetOwner(&ui);
    EXPECT_FALSE(blank->Save(false));
    ASSERT_EQ(ui.saveRequests.size(), 2u);
    EXPECT_EQ(ui.saveRequests[0].proposedName, "keep.d64");
    EXPECT_EQ(ui.saveRequests[1].proposedName, "New Disk");
}

TEST_F(OpenContainerTest, EachSingleFileKindKeepsItsType) {
    struct Case {
        const char* name;
        uint8_t type;
    };
    for (Case c : {Case{"tool.usr", 0x83}, Case{"old.del", 0x80}, Case{"Loader.PRG", 0x82}}) {
        SCOPED_TRACE(c.name);
        auto image = Open(HostFile(c.name, Pattern(20)));
        ASSERT_NE(image, nullptr);
        ASSERT_EQ(image->entryCount, 1);
        EXPECT_EQ(image->EntryAt(0).type(), c.type);
        EXPECT_TRUE(image->untitled());
    }
}

std::vector<uint8_t> Pc64(const char* name, const std::vector<uint8_t>& data) {
    std::vector<uint8_t> file(26, 0);
    std::memcpy(file.data(), "C64File", 7);
    std::memcpy(file.data() + 8, name, std::strlen(name));
    file.insert(file.end(), data.begin(), data.end());
    return file;
}

TEST_F(OpenContainerTest, Pc64FileTakesTheNameFromItsHeader) {
    std::vector<uint8_t> data = Pattern(400, 3);
    auto image = Open(HostFile("anything.p00", Pc64("REAL NAME", data)));
    ASSERT_NE(image, nullptr);
    ASSERT_EQ(image->entryCount, 1);
    EXPECT_EQ(NameOf(*image, 0), "REAL NAME");
    EXPECT_EQ(image->EntryAt(0).type(), 0x82);
    EXPECT_EQ(image->ReadFileData(0), data);
}

TEST_F(OpenContainerTest, ListingsAndPatternsOpenNothingSilently) {
    for (const char* name : {"dir.bmp", "dir.CSV", "all.*"}) {
        SCOPED_TRACE(name);
        EXPECT_EQ(Open(HostFile(name, Pattern(100))), nullptr);
    }
    EXPECT_TRUE(ui.messages.empty());
}

TEST_F(OpenContainerTest, KindsNotReadYetSayTheFileCannotBeOpened) {
    std::string p = HostFile("sub/disk.d71", Pattern(100));
    EXPECT_EQ(Open(p), nullptr);
    ASSERT_EQ(ui.messages.size(), 1u);
    EXPECT_EQ(ui.messages[0].text, "Unable to Open File disk.d71");
    EXPECT_EQ(Open(HostFile("tape.T64", Pattern(100)), false), nullptr);
    EXPECT_EQ(ui.messages.size(), 1u);
}

TEST_F(OpenContainerTest, ZipcodeNamesAreRecognisedByTheirDigit) {
    EXPECT_EQ(Open(HostFile("1!DISK", Pattern(100))), nullptr);
    EXPECT_EQ(Open(HostFile("set/5!DISK", Pattern(100))), nullptr);
    EXPECT_TRUE(ui.messages.empty());
    std::string six = HostFile("6!DISK", Pattern(100));
    EXPECT_EQ(Open(six), nullptr);
    ASSERT_EQ(ui.messages.size(), 1u);
    EXPECT_EQ(ui.messages[0].text, "Unknown File Extension " + six);
}

TEST_F(OpenContainerTest, DataInMemoryUsesTheFormatIdWhenTheNameHasNoKind) {
    auto made = BlankD64("MEMORY");
    AddFile(*made, {"INSIDE", 0x82, Pattern(50)});
    auto image = OpenContainer(&ui, "member", made->image, FormatId::D64, nullptr, true, &settings);
    ASSERT_NE(image, nullptr);
    EXPECT_EQ(image->entryCount, 1);
    EXPECT_EQ(NameOf(*image, 0), "INSIDE");
    EXPECT_EQ(image->image, made->image);

    // A file of no kind reads as a program named after the path.
    std::vector<uint8_t> data = Pattern(30, 9);
    auto single = OpenContainer(&ui, "archive.lnx/hello", data, 37, nullptr, true, &settings);
    ASSERT_NE(single, nullptr);
    ASSERT_EQ(single->entryCount, 1);
    EXPECT_EQ(NameOf(*single, 0), "HELLO");
    EXPECT_EQ(single->EntryAt(0).type(), 0x82);
    EXPECT_EQ(single->ReadFileData(0), data);

    // The extension wins over the format id.
    auto byName = OpenContainer(&ui, "tool.usr", data, FormatId::D64, nullptr, true, &settings);
    ASSERT_NE(byName, nullptr);
    EXPECT_EQ(byName->EntryAt(0).type(), 0x83);

    // Without data the format id is not used.
    EXPECT_EQ(OpenContainer(&ui, "member", {}, FormatId::D64, nullptr, true, &settings), nullptr);
    EXPECT_EQ(ui.messages.back().text, "Unknown File Extension member");
}

TEST_F(OpenContainerTest, RecentFilesRecordOnlyReportedOpensWithoutFormatId) {
    std::string quiet = DiskFile("quiet.d64");
    std::string loud = DiskFile("loud.d64");
    ASSERT_NE(Open(quiet, false), nullptr);
    EXPECT_EQ(settings.fileMru[0], "");
    auto made = BlankD64();
    ASSERT_NE(OpenContainer(&ui, "mem", made->image, FormatId::D64, nullptr, true, &settings), nullptr);
    EXPECT_EQ(settings.fileMru[0], "");
    ASSERT_NE(Open(loud), nullptr);
    EXPECT_EQ(settings.fileMru[0], loud);
    EXPECT_EQ(Open((dir / "gone.d64").string()), nullptr);
    EXPECT_EQ(settings.fileMru[0], loud);
    // Without settings an open still works.
    EXPECT_NE(OpenContainer(&ui, loud, {}, 0, nullptr, true, nullptr), nullptr);
}

} // namespace
} // namespace tessarind
