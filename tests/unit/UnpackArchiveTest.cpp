#include <gtest/gtest.h>

#include <filesystem>

#include "archives/StoredArchive.h"
#include "archives/UnpackArchive.h"
#include "catalog/ImageOpener.h"
#include "model/FormatRegistry.h"
#include "model/SafeFile.h"
#include "support/ArchiveBuilder.h"
#include "support/ImageBuilder.h"
#include "support/Recorders.h"

namespace tessarind {
namespace {

namespace fs = std::filesystem;
using testing::LynxArchive;
using testing::Pattern;
using testing::RawName;
using testing::RecordingInteraction;

const std::vector<testing::LynxMember> kMembers = {{"HELLO", 'P', Pattern(300, 1)},
                                                   {"NOTES", 'S', Pattern(40, 2)}};

std::string DiskNameOf(DiskImage& image) {
    std::span<uint8_t> name = image.DiskName();
    return std::string(name.begin(), name.end());
}

TEST(UnpackArchive, LargeArchivesAndTheSettingChooseA1581Image) {
    struct Case {
        size_t size;
        bool to81;
        int formatId;
    };
    for (const Case& c : {Case{0, false, FormatId::D64}, Case{174847, false, FormatId::D64},
                          Case{174848, false, FormatId::D81}, Case{0, true, FormatId::D81}}) {
        SCOPED_TRACE(c.size);
        Settings settings;
        settings.Set(SettingId::DecompressTo81, c.to81 ? 1 : 0);
        std::vector<uint8_t> archive = LynxArchive(kMembers);
        if (c.size) archive.resize(c.size, 0); // trailing bytes after the last member
        auto image = UnpackArchive(archive, "games.lnx", FormatId::Lynx, nullptr, false, &settings);
        ASSERT_NE(image, nullptr);
        EXPECT_EQ(image->formatId(), c.formatId);
        EXPECT_EQ(image->entryCount(), 2);
        EXPECT_EQ(image->ReadFileData(0), kMembers[0].data);
    }
}

TEST(UnpackArchive, NamesTheImageAfterTheArchive) {
    struct Case {
        std::string path, title, diskName;
    };
    const std::string pad(16, '\xA0');
    for (const Case& c : {
             Case{"/x/tools.old.lnx", "tools.old", "TOOLS.OLD" + pad.substr(9)},
             Case{"C:\\games\\Mixed.lnx", "Mixed", "mIXED" + pad.substr(5)},
             Case{"abcdefghijklmnopqrst.lnx", "abcdefghijklmnopqrst", "ABCDEFGHIJKLMNO\xA0"},
             Case{"noextension", "noextension", "NOEXTENSION" + pad.substr(11)},
         }) {
        SCOPED_TRACE(c.path);
        auto image =
            UnpackArchive(LynxArchive(kMembers), c.path, FormatId::Lynx, nullptr, false, nullptr);
        ASSERT_NE(image, nullptr);
        EXPECT_EQ(image->title(), c.title);
        EXPECT_EQ(DiskNameOf(*image), c.diskName);
        EXPECT_TRUE(image->untitled());
        EXPECT_TRUE(image->modified());
        EXPECT_TRUE(image->Journal().empty());
        EXPECT_FALSE(image->recordingSuspended());
    }
}

TEST(UnpackArchive, ABrokenLynxArchiveOpensWithWhatItHeldAfterTheMessage) {
    std::vector<uint8_t> archive = LynxArchive(kMembers);
    archive.resize(archive.size() - 20);
    for (bool interactive : {true, false}) {
        RecordingInteraction ui;
        auto image = UnpackArchive(archive, "cut.lnx", FormatId::Lynx, &ui, interactive, nullptr);
        ASSERT_NE(image, nullptr);
        EXPECT_EQ(image->entryCount(), 2);
        if (interactive) {
            ASSERT_EQ(ui.messages.size(), 1u);
            EXPECT_EQ(ui.messages[0].text, "Unable to complete DeLynx, some files may be corrupt.");
        } else {
            EXPECT_TRUE(ui.messages.empty());
        }
    }
}

TEST(UnpackArchive, KindsWithoutAReaderOpenNothing) {
    for (int id : {int{FormatId::D64}, int{FormatId::Zipcode}, 99}) {
        RecordingInteraction ui;
        EXPECT_EQ(UnpackArchive(LynxArchive(kMembers), "x.lnx", id, &ui, true, nullptr), nullptr)
            << id;
        EXPECT_TRUE(ui.messages.empty());
    }
}

TEST(UnpackArchive, HostArchivesOpenThroughTheOpener) {
    const fs::path dir = fs::path(::testing::TempDir()) / "tessarind-unpack-opener";
    fs::remove_all(dir);
    fs::create_directories(dir);
    const std::string path = (dir / "Demo.LNX").string();
    ASSERT_EQ(WriteWholeFile(path, LynxArchive(kMembers)), WriteResult::Ok);
    RecordingInteraction ui;
    Settings settings;
    auto image = OpenContainer(&ui, path, {}, 0, nullptr, true, &settings);
    ASSERT_NE(image, nullptr);
    EXPECT_EQ(image->title(), "Demo");
    EXPECT_EQ(image->entryCount(), 2);
    EXPECT_TRUE(ui.messages.empty());
    fs::remove_all(dir);
}

// A file inside an image whose name ends in an archive's extension unpacks; other names do
// not.
TEST(UnpackArchive, ArchivesStoredInAnImageUnpack) {
    auto disk = testing::BlankD64("HOLDER");
    testing::AddFile(*disk, {"GAMES.LNX", 0x82, LynxArchive(kMembers)});
    testing::AddFile(*disk, {"games.lnx", 0x82, LynxArchive(kMembers)}); // unshifted bytes
    testing::AddFile(*disk, {"PLAIN.PRG", 0x82, LynxArchive(kMembers)});
    testing::AddFile(*disk, {"GAMES.ARC", 0x82, Pattern(300)});
    disk->Refresh();
    for (int index : {0, 1}) {
        auto image = OpenStoredArchive(*disk, index, nullptr, nullptr);
        ASSERT_NE(image, nullptr) << index;
        EXPECT_EQ(image->entryCount(), 2);
        EXPECT_EQ(DiskNameOf(*image).substr(0, 6), index == 0 ? "GAMES\xA0" : "games\xA0");
    }
    EXPECT_EQ(OpenStoredArchive(*disk, 2, nullptr, nullptr), nullptr);
    EXPECT_EQ(OpenStoredArchive(*disk, 3, nullptr, nullptr), nullptr);
    EXPECT_EQ(OpenStoredArchive(*disk, 9, nullptr, nullptr), nullptr);
}

} // namespace
} // namespace tessarind
