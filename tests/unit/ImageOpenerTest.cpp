#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <fstream>

#include "model/FormatRegistry.h"
#include "catalog/ImageOpener.h"
#include "formats/TextDocument.h"
#include "text/PetsciiLayout.h"
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
    std::string name = e ? std::string(e.name().begin(), e.name().end()) : "<none>";
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
            .write(reinterpret_cast<const char*>(bytes.data()),
                   static_cast<std::streamsize>(bytes.size()));
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
    EXPECT_EQ(ContainerExtension("games/disk.tar.D64"), ".D64");
    EXPECT_EQ(ContainerExtension("dir.v2/file"), "");
    EXPECT_EQ(ContainerExtension("dir.v2\\file"), "");
    EXPECT_EQ(ContainerExtension("file"), "");
}

TEST_F(OpenContainerTest, ImagesOpenByExtensionWithoutRegardToCase) {
    for (const char* name : {"GAME.D64", "game.d64", "Game.D64"}) {
        SCOPED_TRACE(name);
        auto image = Open(DiskFile(name));
        ASSERT_NE(image, nullptr);
        EXPECT_EQ(image->formatId(), FormatId::D64);
        EXPECT_EQ(image->title(), name);
        EXPECT_FALSE(image->untitled());
        EXPECT_FALSE(image->modified());
        EXPECT_EQ(image->entryCount(), 2);
        EXPECT_EQ(NameOf(*image, 1), "TWO");
        EXPECT_EQ(image->owner(), &ui);
    }
    EXPECT_TRUE(ui.messages.empty());
    // A missing image is reported only when errors are.
    EXPECT_EQ(Open((dir / "gone.d64").string(), false), nullptr);
    EXPECT_TRUE(ui.messages.empty());
    EXPECT_EQ(Open((dir / "gone.d64").string()), nullptr);
    ASSERT_EQ(ui.messages.size(), 1u);
    EXPECT_EQ(ui.messages[0].text, "Unable to Open File gone.d64");
}

TEST_F(OpenContainerTest, WhatOpensNothingAndWhatItSays) {
    struct Case {
        std::string name;
        std::string message; // empty: none
    };
    const std::string full = (dir / "game.d64x").string();
    const std::string inFolder = (dir / "dir.d64/file").string();
    const std::string six = (dir / "6!DISK").string();
    for (const Case& c : {
             Case{"game.d64x", "Unknown File Extension " + full}, // matched in full only
             Case{"dir.d64/file", "Unknown File Extension " + inFolder},
             Case{"6!DISK", "Unknown File Extension " + six},
             Case{"sub/games.wr3", "Error decompressing"}, // no Wraptor signature
             Case{"dir.bmp", ""},
             Case{"dir.CSV", ""},
             Case{"all.*", ""},
         }) {
        SCOPED_TRACE(c.name);
        std::string p = HostFile(c.name, Pattern(100));
        ui.messages.clear();
        EXPECT_EQ(Open(p, false), nullptr);
        EXPECT_TRUE(ui.messages.empty());
        EXPECT_EQ(Open(p), nullptr);
        if (c.message.empty()) {
            EXPECT_TRUE(ui.messages.empty());
        } else {
            ASSERT_EQ(ui.messages.size(), 1u);
            EXPECT_EQ(ui.messages[0].text, c.message);
            EXPECT_EQ(ui.messages[0].caption, "Error");
        }
    }
}

TEST_F(OpenContainerTest, SingleFileOpensAsAnUntitledDiskThatSavesElsewhere) {
    std::vector<uint8_t> data = Pattern(700, 7);
    std::string p = HostFile("game.prg", data);
    auto image = Open(p);
    ASSERT_NE(image, nullptr);
    EXPECT_TRUE(ui.messages.empty());
    EXPECT_EQ(image->formatId(), FormatId::D64);
    ASSERT_EQ(image->entryCount(), 1);
    EXPECT_EQ(NameOf(*image, 0), "GAME");
    EXPECT_EQ(image->EntryAt(0).type(), 0x82);
    EXPECT_EQ(image->ReadFileData(0), data);
    EXPECT_EQ(image->title(), "game.prg");
    EXPECT_TRUE(image->untitled());

    // Saving asks for a name, proposing a disk image, and never writes over the file.
    EXPECT_FALSE(image->Save(false));
    std::string chosen = (dir / "game.d64").string();
    ui.saveChoices.push_back(SaveChoice{chosen});
    ASSERT_TRUE(image->Save(false));
    ASSERT_EQ(ui.saveRequests.size(), 2u);
    EXPECT_EQ(ui.saveRequests[0].proposedName, "game.d64");
    EXPECT_EQ(Read(p), data);
    EXPECT_EQ(Open(chosen)->ReadFileData(0), data);

    // Images with a name of their own keep proposing it.
    auto blank = BlankD64();
    blank->SetOwner(&ui);
    EXPECT_FALSE(blank->Save(false));
    EXPECT_FALSE(Open(DiskFile("keep.d64"))->Save(true));
    EXPECT_EQ(ui.saveRequests[2].proposedName, "New Disk");
    EXPECT_EQ(ui.saveRequests[3].proposedName, "keep.d64");
}

TEST_F(OpenContainerTest, SingleFileKindsKeepTheirTypeAndPc64ItsName) {
    std::vector<uint8_t> p00(26, 0);
    std::memcpy(p00.data(), "C64File\0REAL NAME", 17);
    p00.push_back(42);
    struct Case {
        const char* file;
        std::vector<uint8_t> bytes;
        uint8_t type;
        const char* name;
    };
    for (const Case& c :
         {Case{"tool.usr", Pattern(20), 0x83, "TOOL"}, Case{"old.del", Pattern(20), 0x80, "OLD"},
          Case{"Loader.PRG", Pattern(20), 0x82, "\xCCOADER"},
          Case{"any.p00", p00, 0x82, "REAL NAME"}, Case{"user.u00", p00, 0x83, "REAL NAME"}}) {
        SCOPED_TRACE(c.file);
        auto image = Open(HostFile(c.file, c.bytes));
        ASSERT_NE(image, nullptr);
        ASSERT_EQ(image->entryCount(), 1);
        EXPECT_EQ(image->EntryAt(0).type(), c.type);
        EXPECT_EQ(NameOf(*image, 0), c.name);
        EXPECT_TRUE(image->untitled());
    }
}

TEST_F(OpenContainerTest, SequentialAndHostTextFilesOpenAsTheirText) {
    std::vector<uint8_t> s00(26, 0);
    std::memcpy(s00.data(), "C64File\0REAL TEXT", 17);
    const std::vector<uint8_t> body = {'H', 'I', 0x0D, 0x1C, 'X'};
    s00.insert(s00.end(), body.begin(), body.end());
    struct Case {
        const char* file;
        std::vector<uint8_t> bytes;
        std::vector<uint8_t> text;
        const char* cbmName;
    };
    const std::vector<uint8_t> host = {'H', 'i', '\n', 'n', 'e', 'w', '_', '\r', '\n', '\n', 'x'};
    for (const Case& c : {
             Case{"notes.seq", body, body, "NOTES"},
             Case{"Read.Me.S00", s00, body, "\322EAD"},
             Case{"any.txt", host, {0xC8, 'I', 0x0D, 'N', 'E', 'W', 0xA4, 0x0D, 0x0D, 'X'}, "ANY"},
             Case{"empty.seq", {}, {}, "EMPTY"},
         }) {
        SCOPED_TRACE(c.file);
        const std::string path = HostFile(c.file, c.bytes);
        for (bool inMemory : {false, true}) {
            auto image = inMemory ? OpenContainer(&ui, path, c.bytes, 0, nullptr, true, &settings)
                                  : Open(path);
            ASSERT_NE(image, nullptr);
            auto* document = dynamic_cast<TextDocument*>(image.get());
            ASSERT_NE(document, nullptr);
            EXPECT_EQ(std::vector<uint8_t>(document->Text().begin(), document->Text().end()),
                      c.text);
            const auto name = document->CbmName();
            EXPECT_EQ(std::string(name.begin(), name.end()).substr(0, std::strlen(c.cbmName)),
                      c.cbmName);
            EXPECT_EQ(document->CountEntries(), 0);
            EXPECT_EQ(document->DiskNamePointer(), nullptr);
        }
    }
    // Host text keeps one screen line per host line.
    auto text = Open(HostFile("lines.txt", {'o', 'n', 'e', '\n', 't', 'w', 'o', '\n'}));
    ASSERT_NE(text, nullptr);
    EXPECT_EQ(LayoutAsHostText(static_cast<TextDocument&>(*text).Text(), {}, false), "ONE\nTWO\n");
    EXPECT_TRUE(ui.messages.empty());
}

TEST_F(OpenContainerTest, APc64FileWithoutItsSignatureIsRefused) {
    std::vector<uint8_t> almost(40, 'A');
    std::memcpy(almost.data(), "C64FilE", 8);
    for (const auto& [file, bytes] : std::vector<std::pair<std::string, std::vector<uint8_t>>>{
             {"garbage.p00", Pattern(300)},
             {"almost.s00", almost},
             {"short.r00", {'C', '6', '4'}}}) {
        SCOPED_TRACE(file);
        ui.messages.clear();
        const std::string path = HostFile(file, bytes);
        EXPECT_EQ(Open(path), nullptr);
        ASSERT_EQ(ui.messages.size(), 1u);
        EXPECT_EQ(ui.messages[0].text, path + ": not a PC64 file");
    }
    // Data in memory of a PC64 kind is held to the same.
    auto image = BlankD64();
    RecordingInteraction quiet;
    image->SetOwner(&quiet);
    EXPECT_FALSE(image->WriteFileData(RawName("X"), 0, true, Pattern(100), 0, *FindRowById(24)));
    ASSERT_EQ(quiet.messages.size(), 1u);
    EXPECT_EQ(quiet.messages[0].text, "not a PC64 file");
    EXPECT_EQ(image->entryCount(), 0);
}

TEST_F(OpenContainerTest, DataInMemoryUsesTheFormatIdWhenTheNameHasNoKind) {
    auto made = BlankD64("MEMORY");
    AddFile(*made, {"INSIDE", 0x82, Pattern(50)});
    auto image = OpenContainer(&ui, "member", made->Store().Snapshot(), FormatId::D64, nullptr, true, &settings);
    ASSERT_NE(image, nullptr);
    EXPECT_EQ(image->Store().Snapshot(), made->Store().Snapshot());
    EXPECT_EQ(NameOf(*image, 0), "INSIDE");

    // A file of no kind reads as a program named after the path.
    std::vector<uint8_t> data = Pattern(30, 9);
    auto single = OpenContainer(&ui, "archive.lnx/hello", data, 37, nullptr, true, &settings);
    ASSERT_NE(single, nullptr);
    EXPECT_EQ(NameOf(*single, 0), "HELLO");
    EXPECT_EQ(single->EntryAt(0).type(), 0x82);
    EXPECT_EQ(single->ReadFileData(0), data);

    // The extension wins over the format id, which is not used without data.
    auto byName = OpenContainer(&ui, "tool.usr", data, FormatId::D64, nullptr, true, &settings);
    ASSERT_NE(byName, nullptr);
    EXPECT_EQ(byName->EntryAt(0).type(), 0x83);
    EXPECT_TRUE(ui.messages.empty());
    EXPECT_EQ(OpenContainer(&ui, "member", {}, FormatId::D64, nullptr, true, &settings), nullptr);
    EXPECT_EQ(ui.messages.back().text, "Unknown File Extension member");
}

TEST_F(OpenContainerTest, RecentFilesRecordOnlyReportedOpensWithoutFormatId) {
    std::string quiet = DiskFile("quiet.d64");
    std::string loud = DiskFile("loud.d64");
    ASSERT_NE(Open(quiet, false), nullptr);
    auto made = BlankD64();
    ASSERT_NE(OpenContainer(&ui, quiet, made->Store().Snapshot(), FormatId::D64, nullptr, true, &settings),
              nullptr);
    EXPECT_EQ(settings.fileMru[0], "");
    ASSERT_NE(Open(loud), nullptr);
    EXPECT_EQ(Open((dir / "gone.d64").string()), nullptr);
    EXPECT_EQ(settings.fileMru[0], loud);
    EXPECT_EQ(settings.fileMru[1], "");
    EXPECT_NE(OpenContainer(&ui, loud, {}, 0, nullptr, true, nullptr), nullptr);
}

} // namespace
} // namespace tessarind
