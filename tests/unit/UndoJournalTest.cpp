#include <gtest/gtest.h>

#include <cstring>

#include "support/ImageBuilder.h"
#include "support/Recorders.h"

namespace tessarind {
namespace {

using testing::AddFile;
using testing::BlankD64;
using testing::Pattern;

TEST(UndoJournal, EmptyJournalDisablesTheItem) {
    auto image = BlankD64();
    testing::RecordingObserver view;
    image->AttachDirectoryView(&view);
    EXPECT_EQ(image->UndoItemText(), "Undo  \bCTRL+Z");
    EXPECT_FALSE(image->UndoEnabled());
    EXPECT_FALSE(image->UndoOne());
    image->UndoCommand();
    EXPECT_FALSE(image->modified());

    image->ToggleBlock(1, 1);
    EXPECT_EQ(view.undoText, "Undo: Toggle Sector\bCTRL+Z");
    EXPECT_TRUE(view.undoEnabled);
    image->UndoCommand();
    EXPECT_EQ(view.undoText, "Undo  \bCTRL+Z");
    EXPECT_FALSE(view.undoEnabled);
}

TEST(UndoJournal, GroupsUndoAsOneStepAndShowThePreviousName) {
    auto image = BlankD64();
    image->ToggleBlock(2, 2);
    std::vector<uint8_t> afterFirst = image->Store().Snapshot();
    {
        DiskImage::Group outer(*image);
        image->RecordBlock(3, 0, 10, 4);
        std::memset(image->SectorPointer(3, 0) + 10, 0x77, 4);
        {
            DiskImage::Group inner(*image);
            image->ToggleBlock(3, 1);
            inner.Close("Inner");
        }
        image->SnapshotBam();
        image->SectorPointer(18, 0)[4] = 0;
        outer.Close("Outer");
    }
    EXPECT_EQ(image->UndoItemText(), "Undo: Outer\bCTRL+Z");
    image->UndoCommand();
    EXPECT_EQ(image->Store().Snapshot(), afterFirst);
    EXPECT_EQ(image->UndoItemText(), "Undo: Toggle Sector\bCTRL+Z");
    EXPECT_TRUE(image->modified());
    image->UndoCommand();
    EXPECT_FALSE(image->modified());
    EXPECT_TRUE(image->Journal().empty());
}

TEST(UndoJournal, AbandonedGroupIsRolledBackAndLeavesNoRecords) {
    auto image = BlankD64();
    image->ToggleBlock(4, 4);
    size_t depth = image->Journal().size();
    std::vector<uint8_t> before = image->Store().Snapshot();
    {
        DiskImage::Group group(*image);
        image->ToggleBlock(5, 5);
        image->RecordBlock(5, 5, 0, 256);
        image->SectorPointer(5, 5)[0] = 0x42;
        // Leaves scope without Close: a failure path.
    }
    EXPECT_EQ(image->Store().Snapshot(), before);
    EXPECT_EQ(image->Journal().size(), depth);
    image->UndoCommand();
    EXPECT_TRUE(image->IsBlockFree(4, 4));
}

TEST(UndoJournal, EmptyGroupsAreDropped) {
    auto image = BlankD64();
    {
        DiskImage::Group group(*image);
        group.Close("Nothing");
    }
    EXPECT_TRUE(image->Journal().empty());
    EXPECT_FALSE(image->UndoEnabled());
}

TEST(UndoJournal, NothingIsRecordedWhileSuspended) {
    auto image = BlankD64();
    {
        DiskImage::SuspendRecording quiet(*image);
        image->ToggleBlock(6, 0);
        {
            DiskImage::SuspendRecording nested(*image);
        }
        EXPECT_TRUE(image->recordingSuspended());
    }
    EXPECT_FALSE(image->recordingSuspended());
    EXPECT_TRUE(image->Journal().empty());
    std::vector<uint8_t> big(70000);
    EXPECT_FALSE(image->Record(UndoKind::Block, 1, 0, 0, big));
}

TEST(UndoJournal, EntryFieldsReplayAtTheirListIndexUnderTheRecordedView) {
    auto image = BlankD64();
    AddFile(*image, {"A", 0x82, Pattern(10)});
    DirEntry gone = AddFile(*image, {"GONE", 0x82, Pattern(10)});
    DirEntry target = AddFile(*image, {"B", 0x82, Pattern(10)});
    gone.type() = 0;
    // Recorded while deleted entries were shown: B is list index 2 there.
    image->SetShowDeleted(true);
    uint8_t oldType = target.type();
    image->RecordEntry(UndoKind::Locked, 2, std::span<const uint8_t>(&oldType, 1), "Lock");
    target.type() |= kTypeLocked;
    image->SetShowDeleted(false);
    image->Refresh();
    image->UndoCommand();
    EXPECT_FALSE(target.locked());
    EXPECT_FALSE(image->showDeleted());
    EXPECT_EQ(gone.type(), 0);
}

TEST(UndoJournal, DiskIdAndNameRestore) {
    auto image = BlankD64("OLD NAME", "AA 2A");
    const uint8_t* header = image->DiskNamePointer();
    std::vector<uint8_t> oldName(header, header + 16), oldId(header + 18, header + 23);
    image->Record(UndoKind::DiskName, 0, 0, 0, oldName, "Rename Disk");
    std::memset(image->DiskNamePointer(), 'X', 16);
    image->Record(UndoKind::DiskId, 0, 0, 0, oldId, "Disk ID");
    std::array<uint8_t, 5> id{'Z', 'Z', kPad, '2', 'A'};
    image->SetDiskId(id);
    image->UndoCommand();
    image->UndoCommand();
    EXPECT_EQ(std::vector<uint8_t>(header, header + 16), oldName);
    EXPECT_EQ(std::vector<uint8_t>(header + 18, header + 23), oldId);
}

TEST(UndoJournal, UndoPastASaveMarksTheImageModified) {
    auto image = BlankD64();
    std::string path = ::testing::TempDir() + "undo-save.d64";
    image->ToggleBlock(7, 0);
    image->ToggleBlock(7, 1);
    ASSERT_TRUE(image->WriteFile(path));
    EXPECT_FALSE(image->modified());
    image->ToggleBlock(7, 2);
    image->UndoCommand(); // back to what was saved
    EXPECT_FALSE(image->modified());
    image->UndoCommand(); // now memory differs from the saved file
    EXPECT_TRUE(image->modified());
    image->UndoCommand(); // an empty journal, yet the saved file has both toggles
    EXPECT_TRUE(image->Journal().empty());
    EXPECT_TRUE(image->modified());
    std::remove(path.c_str());
}

TEST(UndoJournal, UnknownKindsAreDropped) {
    auto image = BlankD64();
    std::vector<uint8_t> before = image->Store().Snapshot();
    image->Record(static_cast<UndoKind>(40), 1, 0, 0, Pattern(4), "Tape");
    EXPECT_TRUE(image->UndoOne());
    EXPECT_EQ(image->Store().Snapshot(), before);
}

} // namespace
} // namespace tessarind
