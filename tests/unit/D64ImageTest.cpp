#include <gtest/gtest.h>

#include <map>

#include "model/SafeFile.h"

#include "model/CommandId.h"
#include "support/ImageBuilder.h"
#include "support/Recorders.h"

namespace tessarind {
namespace {

using testing::BlankD64;

// An image whose bytes came from a file of the given contents.
std::unique_ptr<D64Image> Loaded(std::vector<uint8_t> bytes) {
    auto image = std::make_unique<D64Image>();
    image->Store().Assign(std::move(bytes));
    image->AfterLoad();
    image->Refresh();
    return image;
}

std::vector<uint8_t> Written(D64Image& image, const char* name) {
    std::string path = ::testing::TempDir() + name;
    EXPECT_TRUE(image.WriteFile(path));
    std::vector<uint8_t> out;
    bool openFailed = false;
    EXPECT_TRUE(ReadWholeFile(path, out, openFailed));
    std::remove(path.c_str());
    return out;
}

TEST(D64Geometry, SectorsLieInTrackOrder) {
    auto image = BlankD64();
    EXPECT_EQ(image->SectorPointer(1, 0), image->Store().Contents().data());
    EXPECT_EQ(image->SectorPointer(18, 0) - image->Store().Contents().data(), 256 * 357);
    EXPECT_EQ(image->SectorPointer(19, 0) - image->Store().Contents().data(), 256 * 376);
    EXPECT_EQ(image->SectorPointer(25, 0) - image->Store().Contents().data(), 256 * 490);
    EXPECT_EQ(image->SectorPointer(31, 0) - image->Store().Contents().data(), 256 * 598);
    EXPECT_EQ(image->SectorPointer(35, 16) - image->Store().Contents().data(), 256 * 682);
    EXPECT_EQ(image->SectorPointer(1, 21), nullptr);
    EXPECT_EQ(image->SectorPointer(18, 19), nullptr);
    EXPECT_EQ(image->SectorPointer(0, 0), nullptr);
    EXPECT_EQ(image->SectorPointer(36, 0), nullptr);
    EXPECT_EQ(image->SectorPointer(5, -1), nullptr);
}

TEST(D64Geometry, ShortFileHasFewerSectors) {
    auto image = Loaded(std::vector<uint8_t>(174848 - 1, 0));
    EXPECT_NE(image->SectorPointer(35, 15), nullptr);
    EXPECT_EQ(image->SectorPointer(35, 16), nullptr);
    EXPECT_EQ(image->flags() & (kFlagErrorCodes | kFlagExtraTracks), 0u);
    auto tiny = Loaded(std::vector<uint8_t>(100, 0));
    EXPECT_EQ(tiny->SectorPointer(1, 0), nullptr);
    EXPECT_EQ(tiny->entryCount(), 0);
    EXPECT_EQ(tiny->FreeBlockCount(), 0);
}

TEST(D64Geometry, DirectoryOrderCoversTrack18) {
    auto image = BlankD64();
    std::vector<int> order;
    int t = 0, s = -1;
    while (image->NextDirSector(t, s) && s >= 0) {
        EXPECT_EQ(t, 18);
        order.push_back(s);
    }
    EXPECT_EQ(order, (std::vector<int>{1, 4, 7, 10, 13, 16, 2, 5, 8, 11, 14, 17, 3, 6, 9, 12, 15, 18}));
    s = 0;
    EXPECT_FALSE(image->NextDirSector(t, s));
}

TEST(D64Blank, NewDiskHasEmptyDirectoryAndBam) {
    auto image = BlankD64();
    EXPECT_EQ(image->FreeBlockCount(), 664);
    EXPECT_FALSE(image->IsBlockFree(18, 0));
    EXPECT_FALSE(image->IsBlockFree(18, 1));
    EXPECT_TRUE(image->IsBlockFree(18, 2));
    EXPECT_TRUE(image->IsBlockFree(1, 20));
    EXPECT_FALSE(image->IsBlockFree(1, 21));
    const uint8_t* bam = image->SectorPointer(18, 0);
    EXPECT_EQ(bam[0], 18);
    EXPECT_EQ(bam[1], 1);
    EXPECT_EQ(bam[2], 0x41);
    // Track 1: 21 free, bits for sectors 0-20; track 35: 17 free.
    EXPECT_EQ(std::vector<uint8_t>(bam + 4, bam + 8), (std::vector<uint8_t>{21, 0xFF, 0xFF, 0x1F}));
    EXPECT_EQ(std::vector<uint8_t>(bam + 4 + 4 * 34, bam + 8 + 4 * 34), (std::vector<uint8_t>{17, 0xFF, 0xFF, 0x01}));
    EXPECT_EQ(bam[0xA5], '2');
    EXPECT_EQ(bam[0xA6], 'A');
    const uint8_t* dir = image->SectorPointer(18, 1);
    EXPECT_EQ(dir[0], 0);
    EXPECT_EQ(dir[1], 0xFF);
    EXPECT_FALSE(image->modified());
    EXPECT_TRUE(image->untitled());
    EXPECT_EQ(image->entryCount(), 0);
}

TEST(D64Blank, FillByteReachesUnusedBytes) {
    Settings settings;
    settings.Set(SettingId::FillByte, 0xE5);
    D64Image image(&settings);
    ASSERT_TRUE(image.Open(nullptr, "", false, true));
    EXPECT_EQ(image.SectorPointer(1, 0)[0], 0xE5);
    EXPECT_EQ(image.SectorPointer(18, 0)[3], 0xE5);
    EXPECT_EQ(image.SectorPointer(18, 0)[0xAB], 0xE5);
    EXPECT_EQ(image.SectorPointer(18, 1)[2], 0);
}

TEST(D64Blank, BamToggleIsJournalled) {
    auto image = BlankD64();
    image->ToggleBlock(5, 3);
    EXPECT_FALSE(image->IsBlockFree(5, 3));
    EXPECT_EQ(image->FreeBlockCount(), 663);
    EXPECT_TRUE(image->modified());
    image->UndoCommand();
    EXPECT_TRUE(image->IsBlockFree(5, 3));
    EXPECT_EQ(image->FreeBlockCount(), 664);
    EXPECT_FALSE(image->modified());
    // Tracks without a BAM entry are never free and cannot be toggled.
    image->SetExtendedTracks(true);
    image->ToggleBlock(36, 0);
    EXPECT_FALSE(image->IsBlockFree(36, 0));
    EXPECT_EQ(image->FreeBlockCount(), 664);
}

TEST(D64Allocation, FollowsTheDriveOrder) {
    auto image = BlankD64();
    int t = 0, s = 0;
    ASSERT_NE(image->AllocateBlock(t, s, true), nullptr);
    EXPECT_EQ(t, 17);
    EXPECT_EQ(s, 0);
    ASSERT_NE(image->AllocateBlock(t, s, true), nullptr);
    EXPECT_EQ(t, 17);
    EXPECT_EQ(s, 10);
    // Without take nothing changes.
    int pt = 17, ps = 10;
    image->AllocateBlock(pt, ps, false);
    EXPECT_TRUE(image->IsBlockFree(pt, ps));
}

TEST(D64Allocation, FillsEveryBlockButTheDirectoryTrack) {
    auto image = BlankD64();
    int t = 0, s = 0;
    std::vector<int> tracks;
    int count = 0;
    while (image->AllocateBlock(t, s, true)) {
        ASSERT_NE(t, 18);
        ASSERT_LE(t, 35);
        if (tracks.empty() || tracks.back() != t) tracks.push_back(t);
        ++count;
    }
    EXPECT_EQ(count, 664);
    EXPECT_EQ(image->FreeBlockCount(), 0);
    // From track 17 downwards to 1, then the upper half outwards.
    ASSERT_GE(tracks.size(), 34u);
    EXPECT_EQ(tracks.front(), 17);
    EXPECT_EQ(tracks[16], 1);
    EXPECT_EQ(tracks[17], 19);
    EXPECT_EQ(tracks.back(), 35);
}

TEST(D64Allocation, NewFileStartsOnTheNearestFreeTrack) {
    auto image = BlankD64();
    for (int s = 0; s < 21; ++s) image->ToggleBlock(17, s);
    int t = 0, s = 0;
    ASSERT_NE(image->AllocateBlock(t, s, false), nullptr);
    EXPECT_EQ(t, 19);
    for (int s2 = 0; s2 < 19; ++s2) image->ToggleBlock(19, s2);
    t = 0;
    image->AllocateBlock(t, s, false);
    EXPECT_EQ(t, 16);
}

TEST(D64Allocation, CustomInterleaveOnlyForTheFirstBlock) {
    Settings settings;
    settings.Set(SettingId::UseCustomInterleave, 1);
    settings.Set(SettingId::CustomInterleave, 3);
    auto image = BlankD64("", "00 2A", &settings);
    EXPECT_EQ(image->SearchInterleave(0), 3);
    EXPECT_EQ(image->SearchInterleave(17), 10);
    settings.Set(SettingId::UseCustomInterleave, 0);
    EXPECT_EQ(image->SearchInterleave(0), 10);
}

std::vector<uint8_t> BaseImage() { return Written(*BlankD64("ERRORS", "ER 2A"), "base.d64"); }

TEST(D64Variants, ErrorBytesAsDriveNumbersRoundTrip) {
    std::vector<uint8_t> file = BaseImage();
    std::vector<uint8_t> errors(683, 0);
    errors[0] = 20;
    errors[5] = 23;
    errors[682] = 29;
    file.insert(file.end(), errors.begin(), errors.end());
    auto image = Loaded(file);
    EXPECT_TRUE(image->flags() & kFlagErrorCodes);
    EXPECT_TRUE(image->flags() & kFlagErrorNumbers);
    EXPECT_EQ(image->errorByteCount(), 683);
    EXPECT_EQ(image->GetErrorCode(1, 0), 1); // Header Block Not Found
    EXPECT_EQ(image->GetErrorCode(1, 5), 4); // Checksum Error in Data Block
    EXPECT_EQ(image->GetErrorCode(35, 16), 8);
    EXPECT_EQ(image->GetErrorCode(1, 1), 0);
    EXPECT_EQ(Written(*image, "errors.d64"), file);
}

TEST(D64Variants, StoredErrorCodesStayAsTheyAre) {
    std::vector<uint8_t> file = BaseImage();
    std::vector<uint8_t> errors(683, 1);
    errors[10] = 5;
    errors[11] = 6; // no row: reads as OK
    file.insert(file.end(), errors.begin(), errors.end());
    auto image = Loaded(file);
    EXPECT_FALSE(image->flags() & kFlagErrorNumbers);
    EXPECT_EQ(image->GetErrorCode(1, 10), 4);
    EXPECT_EQ(image->GetErrorCode(1, 11), 0);
    EXPECT_EQ(Written(*image, "codes.d64"), file);
}

TEST(D64Variants, FortyTracksWithErrorBytes) {
    std::vector<uint8_t> file = BaseImage();
    std::vector<uint8_t> extension = testing::Pattern(21760);
    file.insert(file.end(), extension.begin(), extension.end());
    std::vector<uint8_t> errors(768, 0);
    errors[0] = 20;
    errors[700] = 22; // track 37
    file.insert(file.end(), errors.begin(), errors.end());
    auto image = Loaded(file);
    EXPECT_EQ(image->trackCount(), 40);
    EXPECT_EQ(image->errorByteCount(), 768);
    EXPECT_EQ(image->Store().Size(), 174848u);
    ASSERT_NE(image->SectorPointer(36, 0), nullptr);
    EXPECT_EQ(image->SectorPointer(36, 0)[0], extension[0]);
    EXPECT_EQ(image->SectorPointer(40, 16)[255], extension.back());
    EXPECT_EQ(image->SectorPointer(40, 17), nullptr);
    EXPECT_FALSE(image->IsBlockFree(36, 0));
    EXPECT_EQ(image->GetErrorCode(36, 0), 0);
    EXPECT_EQ(image->GetErrorCode(37, 0), 3); // byte 700: 683 + 17

    EXPECT_EQ(Written(*image, "forty.d64"), file);
}

TEST(D64Extensions, CommandsChangeTheSavedFile) {
    auto image = BlankD64("EXT");
    testing::RecordingObserver view;
    image->AttachDirectoryView(&view);
    EXPECT_EQ(Written(*image, "a.d64").size(), 174848u);

    ASSERT_TRUE(image->HandleCommand(static_cast<int>(CommandId::ExtendedTracks)));
    EXPECT_EQ(image->trackCount(), 40);
    EXPECT_EQ(Written(*image, "b.d64").size(), 196608u);

    ASSERT_TRUE(image->HandleCommand(static_cast<int>(CommandId::SectorErrors)));
    std::vector<uint8_t> withErrors = Written(*image, "c.d64");
    ASSERT_EQ(withErrors.size(), 197376u);
    // Fresh error codes are stored as 0 and, written as drive numbers, become 18.
    EXPECT_EQ(withErrors.back(), 0);
    ASSERT_TRUE(image->HandleCommand(static_cast<int>(CommandId::WriteErrorNumbers)));
    EXPECT_EQ(Written(*image, "d.d64").back(), 18);
    EXPECT_FALSE(view.checks.empty());
    EXPECT_FALSE(image->HandleCommand(9999));

    // Switching errors off keeps the table: its codes come back when switched on again.
    image->SetErrorCode(2, 3, 9);
    image->HandleCommand(static_cast<int>(CommandId::SectorErrors));
    EXPECT_EQ(image->GetErrorCode(2, 3), 0);
    image->HandleCommand(static_cast<int>(CommandId::SectorErrors));
    EXPECT_EQ(image->GetErrorCode(2, 3), 7);
}

TEST(D64Extensions, SwitchesAndErrorCodesUndo) {
    auto image = BlankD64("EXT");
    image->HandleCommand(static_cast<int>(CommandId::ExtendedTracks));
    image->HandleCommand(static_cast<int>(CommandId::SectorErrors));
    image->SetErrorCode(36, 4, 11);
    EXPECT_EQ(image->GetErrorCode(36, 4), 8);
    image->UndoCommand();
    EXPECT_EQ(image->GetErrorCode(36, 4), 0);
    image->UndoCommand();
    EXPECT_FALSE(image->flags() & kFlagErrorCodes);
    image->UndoCommand();
    EXPECT_FALSE(image->flags() & kFlagExtraTracks);
    EXPECT_EQ(image->trackCount(), 35);
    EXPECT_EQ(Written(*image, "e.d64").size(), 174848u);
    EXPECT_FALSE(image->modified());
}

TEST(D64Extensions, EnabledForEveryImage) {
    struct States : CommandStates {
        std::map<int, bool> enabled, checked;
        void Enable(int id, bool on) override { enabled[id] = on; }
        void Check(int id, bool on) override { checked[id] = on; }
    } states;
    auto image = BlankD64();
    image->SetExtendedTracks(true);
    image->UpdateCommands(states);
    EXPECT_TRUE(states.enabled[2037] && states.enabled[2038] && states.enabled[2039]);
    EXPECT_TRUE(states.checked[2038]);
    EXPECT_FALSE(states.checked[2037]);
}

} // namespace
} // namespace tessarind
