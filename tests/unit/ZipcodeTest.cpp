#include <gtest/gtest.h>

#include <filesystem>

#include "archives/StoredArchive.h"
#include "archives/Zipcode.h"
#include "catalog/ImageOpener.h"
#include "model/SafeFile.h"
#include "support/ArchiveBuilder.h"
#include "support/ImageBuilder.h"
#include "support/Recorders.h"

namespace tessarind {
namespace {

namespace fs = std::filesystem;
using testing::BlankD64;
using testing::Pattern;
using testing::RecordingInteraction;
using testing::ZipcodePartBuilder;

std::vector<uint8_t> SectorOf(DiskImage& image, int track, int sector) {
    const uint8_t* p = image.SectorPointer(track, sector);
    return p ? std::vector<uint8_t>(p, p + 256) : std::vector<uint8_t>{};
}

TEST(Zipcode, RecordsWriteTheirSectorsByMethod) {
    std::vector<uint8_t> expectedPacked(256, 0x11);
    std::fill_n(expectedPacked.begin(), 250, 0x00);
    expectedPacked[250] = 1, expectedPacked[251] = 2, expectedPacked[252] = 3;
    // A run that would pass the end stops the sector: the first 10 bytes only are written.
    std::vector<uint8_t> expectedOverrun(256, 0x11);
    std::fill_n(expectedOverrun.begin(), 10, 0x77);

    auto image = BlankD64();
    for (int sector : {1, 2, 3, 4, 5})
        std::fill_n(image->SectorPointer(1, sector), 256, 0x11);
    ZipcodePartBuilder part(false);
    part.Stored(1, 0, Pattern(256, 3))
        .Fill(18, 0, 0x5A)
        .Packed(1, 1, 0x9B, {0x9B, 0xFA, 0x00, 0x01, 0x02, 0x03})
        .Packed(1, 2, 0x9B, {0x9B, 0x0A, 0x77, 0x9B, 0xFF, 0x55})
        .None(1, 3)
        .Fill(36, 0, 0x66) // no such track on a 35-track image: decoded and dropped
        .Fill(1, 4, 0x44)
        .Stored(1, 5, Pattern(255)); // not all 256 bytes present: not written
    EXPECT_TRUE(DecodeZipcodePart(*image, part.Bytes()));
    EXPECT_EQ(SectorOf(*image, 1, 0), Pattern(256, 3));
    EXPECT_EQ(SectorOf(*image, 18, 0), std::vector<uint8_t>(256, 0x5A));
    EXPECT_EQ(SectorOf(*image, 1, 1), expectedPacked);
    EXPECT_EQ(SectorOf(*image, 1, 2), expectedOverrun);
    EXPECT_EQ(SectorOf(*image, 1, 3), std::vector<uint8_t>(256, 0x11));
    EXPECT_EQ(SectorOf(*image, 1, 4), std::vector<uint8_t>(256, 0x44));
    EXPECT_EQ(SectorOf(*image, 1, 5), std::vector<uint8_t>(256, 0x11));
}

TEST(Zipcode, PartsWithAnotherLoadAddressAreSkipped) {
    auto image = BlankD64();
    const std::vector<uint8_t> before = SectorOf(*image, 18, 0);
    std::vector<uint8_t> part = ZipcodePartBuilder(false).Fill(18, 0, 0x5A).Bytes();
    part[1] = 0x08;
    EXPECT_FALSE(DecodeZipcodePart(*image, part));
    EXPECT_FALSE(DecodeZipcodePart(*image, std::vector<uint8_t>{0x00}));
    EXPECT_EQ(SectorOf(*image, 18, 0), before);
}

TEST(Zipcode, SetNamesAndPartNumbers) {
    EXPECT_EQ(ZipcodePartNumber("3!GAME"), 3);
    EXPECT_EQ(ZipcodePartNumber("6!GAME"), 0);
    EXPECT_EQ(ZipcodePartNumber("1GAME"), 0);
    EXPECT_EQ(ZipcodeSetName("3!GAME"), "GAME");
    EXPECT_EQ(ZipcodeSetName("1!game.v2.zip"), "game.v2");
    EXPECT_EQ(ZipcodeSetName("1!ABCDEFGHIJKLMNOPQRST"), "ABCDEFGHIJKLMNOP");
}

class ZipcodeSetTest : public ::testing::Test {
protected:
    void SetUp() override {
        dir = fs::path(::testing::TempDir()) /
              ("tessarind-zip-" +
               std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()));
        fs::remove_all(dir);
        fs::create_directories(dir);
    }
    void TearDown() override { fs::remove_all(dir); }
    void Part(int n, const std::vector<uint8_t>& bytes) {
        ASSERT_EQ(WriteWholeFile((dir / (std::to_string(n) + "!GAME")).string(), bytes),
                  WriteResult::Ok);
    }
    // Part n fills track n's sector 0 with n.
    void WriteParts(std::initializer_list<int> parts) {
        for (int n : parts)
            Part(n, ZipcodePartBuilder(n == 1)
                        .Fill(n == 5 ? 38 : n, 0, static_cast<uint8_t>(n))
                        .Bytes());
    }
    fs::path dir;
};

TEST_F(ZipcodeSetTest, AnyPartOpensTheWholeSet) {
    WriteParts({1, 2, 3, 4});
    for (const char* opened : {"1!GAME", "3!GAME"}) {
        SCOPED_TRACE(opened);
        RecordingInteraction ui;
        Settings settings;
        auto image = OpenContainer(&ui, (dir / opened).string(), {}, 0, nullptr, true, &settings);
        ASSERT_NE(image, nullptr);
        EXPECT_TRUE(ui.messages.empty());
        EXPECT_EQ(image->title(), "GAME");
        EXPECT_EQ(image->trackCount(), 35);
        for (int n : {1, 2, 3, 4})
            EXPECT_EQ(SectorOf(*image, n, 0), std::vector<uint8_t>(256, n)) << n;
        EXPECT_TRUE(image->modified());
        EXPECT_TRUE(image->untitled());
        EXPECT_TRUE(image->Journal().empty());
    }
}

TEST_F(ZipcodeSetTest, AFifthPartMakesFortyTracksAndAMissingPartStaysBlank) {
    WriteParts({1, 3, 4, 5});
    RecordingInteraction ui;
    auto blank = BlankD64();
    auto image = OpenZipcodeSet(&ui, (dir / "4!GAME").string(), true, nullptr);
    ASSERT_NE(image, nullptr);
    EXPECT_EQ(image->trackCount(), 40);
    EXPECT_EQ(SectorOf(*image, 38, 0), std::vector<uint8_t>(256, 5));
    EXPECT_EQ(SectorOf(*image, 2, 0), SectorOf(*blank, 2, 0));
    ASSERT_EQ(ui.messages.size(), 1u);
    EXPECT_EQ(ui.messages[0].text, "Unable to Open File 2!GAME");
}

// Parts stored as files of an image rebuild their set too.
TEST(ZipcodeStored, PartsInsideAnImageOpenTheirSet) {
    auto disk = BlankD64();
    for (int n : {1, 2})
        testing::AddFile(*disk, {std::to_string(n) + "!DISK", 0x82,
                                 ZipcodePartBuilder(n == 1).Fill(n, 1, 0xE0 + n).Bytes()});
    disk->Refresh();
    RecordingInteraction ui;
    disk->SetOwner(&ui);
    auto image = OpenStoredArchive(*disk, 1, &ui, nullptr);
    ASSERT_NE(image, nullptr);
    EXPECT_EQ(image->title(), "disk");
    EXPECT_EQ(SectorOf(*image, 1, 1), std::vector<uint8_t>(256, 0xE1));
    EXPECT_EQ(SectorOf(*image, 2, 1), std::vector<uint8_t>(256, 0xE2));
    EXPECT_EQ(ui.messages.size(), 2u); // parts 3 and 4
}

} // namespace
} // namespace tessarind
