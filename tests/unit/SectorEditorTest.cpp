// The sector editor's moves along tracks and sectors, its typing and its undo steps.

#include <gtest/gtest.h>

#include <functional>

#include "catalog/SectorEditor.h"
#include "formats/D80Image.h"
#include "support/ImageBuilder.h"

namespace tessarind {
namespace {

using testing::BlankD64;
using Col = SectorEditor::Column;

struct Move {
    const char* what;
    int fromTrack, fromSector;
    std::function<void(SectorEditor&)> act;
    int toTrack, toSector;
};

TEST(SectorEditorTest, MovesAlongTracksAndSectors) {
    // A 1541 disk: tracks 1-17 have 21 sectors, 18-24 19, 25-30 18, 31-35 17.
    const Move moves[] = {
        {"page down on the last block stays", 35, 16, [](SectorEditor& e) { e.PageDown(); }, 35,
         16},
        {"page up on 1/0 stays", 1, 0, [](SectorEditor& e) { e.PageUp(); }, 1, 0},
        {"page down crosses to the next track", 17, 20, [](SectorEditor& e) { e.PageDown(); }, 18,
         0},
        {"page up takes the previous track's last", 18, 0, [](SectorEditor& e) { e.PageUp(); }, 17,
         20},
        {"previous track on 1 wraps to the highest", 1, 5,
         [](SectorEditor& e) { e.PreviousTrack(); }, 35, 5},
        {"next track past the highest wraps to 1", 35, 3, [](SectorEditor& e) { e.NextTrack(); }, 1,
         3},
        {"a sector the track lacks is lowered", 1, 20, [](SectorEditor& e) { e.NextTrack(); }, 2,
         20},
        {"lowered to the track's highest", 17, 20, [](SectorEditor& e) { e.NextTrack(); }, 18, 18},
        {"previous sector on 0 shows the highest", 31, 0,
         [](SectorEditor& e) { e.PreviousSector(); }, 31, 16},
        {"previous sector on 0 of a long track", 1, 0, [](SectorEditor& e) { e.PreviousSector(); },
         1, 20},
        {"next sector past the last becomes 0", 25, 17, [](SectorEditor& e) { e.NextSector(); }, 25,
         0},
        {"next sector", 25, 3, [](SectorEditor& e) { e.NextSector(); }, 25, 4},
    };
    auto image = BlankD64();
    for (const Move& m : moves) {
        SectorEditor editor(*image);
        ASSERT_TRUE(editor.Show(m.fromTrack, m.fromSector)) << m.what;
        m.act(editor);
        EXPECT_EQ(editor.track(), m.toTrack) << m.what;
        EXPECT_EQ(editor.sector(), m.toSector) << m.what;
    }
}

TEST(SectorEditorTest, WrapsOnAnImageWithMoreTracks) {
    D82Image image;
    ASSERT_TRUE(image.Open(nullptr, "", false, true));
    SectorEditor editor(image);
    ASSERT_TRUE(editor.Show(1, 0));
    editor.PreviousTrack();
    EXPECT_EQ(editor.track(), image.trackCount());
    EXPECT_GT(editor.track(), 77);
    editor.PageDown();
    EXPECT_EQ(editor.track(), image.trackCount());
    EXPECT_EQ(editor.sector(), 1);
}

TEST(SectorEditorTest, KeepsTheCursorAndAHistoryOfShownBlocks) {
    auto image = BlankD64();
    SectorEditor editor(*image);
    EXPECT_FALSE(editor.Show(36, 0));
    EXPECT_FALSE(editor.showing());
    ASSERT_TRUE(editor.Show(18, 0));
    editor.Place(0x90, Col::Hex);
    // The BAM block links to the first directory block 18/1.
    EXPECT_TRUE(editor.Type('j'));
    EXPECT_EQ(editor.sector(), 1);
    EXPECT_EQ(editor.cursor(), 0x90);
    editor.NextSector();
    EXPECT_EQ(editor.history(), (std::vector<uint32_t>{18 * 65536 + 0, 18 * 65536 + 1}));
    EXPECT_TRUE(editor.Type('J', true));
    EXPECT_EQ(editor.sector(), 1);
    EXPECT_TRUE(editor.Back());
    EXPECT_EQ(editor.sector(), 0);
    EXPECT_FALSE(editor.Back());
}

TEST(SectorEditorTest, LettersJumpInBothColumnsAndTypeOtherwise) {
    auto image = BlankD64();
    uint8_t* block = image->SectorPointer(5, 0);
    block[0x10] = 7;
    block[0x11] = 3;
    SectorEditor editor(*image);
    ASSERT_TRUE(editor.Show(5, 0));

    editor.Place(0x10, Col::Character);
    EXPECT_TRUE(editor.Type('G'));
    EXPECT_EQ(editor.track(), 7);
    EXPECT_EQ(editor.sector(), 3);
    EXPECT_FALSE(editor.editing()) << "the letter jumped, it was not stored";
    EXPECT_EQ(image->SectorPointer(5, 0)[0x10], 7);

    // A pair naming no block: "g" does nothing; byte 255 has no byte after it.
    editor.Place(0x20, Col::Hex);
    EXPECT_FALSE(editor.Type('g'));
    editor.Place(255, Col::Hex);
    EXPECT_FALSE(editor.BlockAtCursor());

    // Hex digits fill the nibbles in turn; other letters are ignored.
    editor.Place(0x40, Col::Hex);
    EXPECT_TRUE(editor.Type('a'));
    EXPECT_TRUE(editor.lowNibble());
    EXPECT_TRUE(editor.Type('5'));
    EXPECT_FALSE(editor.Type('x'));
    EXPECT_EQ(editor.ByteAt(0x40), 0xA5);
    EXPECT_EQ(editor.cursor(), 0x41);
    EXPECT_FALSE(editor.lowNibble());

    // The character column stores what the CBM font shows for the typed letter.
    editor.SetColumn(Col::Character);
    EXPECT_TRUE(editor.Type('q'));
    EXPECT_TRUE(editor.Type('Q'));
    EXPECT_EQ(editor.ByteAt(0x41), 0x51);
    EXPECT_EQ(editor.ByteAt(0x42), 0xD1);
    EXPECT_EQ(editor.cursor(), 0x43);
    EXPECT_TRUE(image->modified());
}

TEST(SectorEditorTest, CursorKeysKeepInsideTheBlock) {
    auto image = BlankD64();
    SectorEditor editor(*image);
    ASSERT_TRUE(editor.Show(1, 0));
    editor.Left();
    EXPECT_EQ(editor.cursor(), 0);
    editor.Right();
    EXPECT_TRUE(editor.lowNibble());
    editor.Right();
    EXPECT_EQ(editor.cursor(), 1);
    editor.Up();
    EXPECT_EQ(editor.cursor(), 1);
    editor.Down();
    EXPECT_EQ(editor.cursor(), 17);
    editor.End(false);
    EXPECT_EQ(editor.cursor(), 31);
    editor.Home(false);
    EXPECT_EQ(editor.cursor(), 16);
    editor.End(true);
    editor.Down();
    EXPECT_EQ(editor.cursor(), 255);
    editor.SetColumn(Col::Character);
    editor.Right();
    EXPECT_EQ(editor.cursor(), 255);
    editor.Home(true);
    EXPECT_EQ(editor.cursor(), 0);
}

TEST(SectorEditorTest, FillIsOneUndoStep) {
    Settings settings;
    settings.Set(SettingId::FillByte, 0);
    auto image = BlankD64("", "00 2A", &settings);
    const std::vector<uint8_t> before(image->SectorPointer(18, 0),
                                      image->SectorPointer(18, 0) + 256);
    SectorEditor editor(*image);
    ASSERT_TRUE(editor.Show(18, 0));
    editor.Fill(static_cast<uint8_t>(image->settings().Get(SettingId::FillByte)));
    EXPECT_EQ(std::vector<uint8_t>(editor.Block(), editor.Block() + 256),
              std::vector<uint8_t>(256, 0));
    EXPECT_EQ(image->Journal().back().name, "Fill Sector");
    editor.Undo();
    EXPECT_EQ(std::vector<uint8_t>(editor.Block(), editor.Block() + 256), before);
}

TEST(SectorEditorTest, AnEditBecomesOneStepWhenAnotherBlockIsShown) {
    auto image = BlankD64();
    const size_t steps = image->Journal().size();
    SectorEditor editor(*image);
    ASSERT_TRUE(editor.Show(3, 0));
    editor.Place(0x30, Col::Character);
    editor.StoreByte(0x41);
    editor.StoreByte(0x42);
    editor.Place(0x10, Col::Hex); // an edit before the first changed byte
    editor.Type('f');
    editor.Type('f');
    EXPECT_EQ(image->Journal().size(), steps) << "nothing is journalled while editing";

    ASSERT_TRUE(editor.Show(3, 1));
    ASSERT_EQ(image->Journal().size(), steps + 1);
    EXPECT_EQ(image->Journal().back().name, "Sector Edit");
    editor.Undo();
    EXPECT_EQ(image->SectorPointer(3, 0)[0x30], 0);
    EXPECT_EQ(image->SectorPointer(3, 0)[0x31], 0);
    EXPECT_EQ(image->SectorPointer(3, 0)[0x10], 0);
    EXPECT_EQ(image->Journal().size(), steps);
}

TEST(SectorEditorTest, UndoBeforeCommitPutsTheSnapshotBack) {
    auto image = BlankD64();
    const size_t steps = image->Journal().size();
    SectorEditor editor(*image);
    ASSERT_TRUE(editor.Show(3, 0));
    editor.Place(0x50, Col::Character);
    editor.StoreByte(1);
    editor.StoreByte(2);
    EXPECT_EQ(editor.UndoItemText(), "Undo: Sector Edit\bCTRL+Z");
    editor.Undo();
    EXPECT_EQ(editor.UndoItemText(), image->UndoItemText());
    EXPECT_FALSE(editor.editing());
    EXPECT_EQ(editor.cursor(), 0x50);
    EXPECT_EQ(editor.ByteAt(0x50), 0);
    EXPECT_EQ(editor.ByteAt(0x51), 0);
    ASSERT_TRUE(editor.Show(3, 1));
    EXPECT_EQ(image->Journal().size(), steps) << "an edit undone leaves no step";
}

TEST(SectorEditorTest, ClosingCommitsTheEdit) {
    auto image = BlankD64();
    {
        SectorEditor editor(*image);
        ASSERT_TRUE(editor.Show(2, 2));
        editor.StoreByte(0x99);
    }
    ASSERT_FALSE(image->Journal().empty());
    EXPECT_EQ(image->Journal().back().name, "Sector Edit");
    image->UndoCommand();
    EXPECT_EQ(image->SectorPointer(2, 2)[0], 0);
}

} // namespace
} // namespace tessarind
