// The block map's layout: cells, hits, sizes, error numbers and the error menu.

#include <gtest/gtest.h>

#include <algorithm>

#include "catalog/BamGrid.h"
#include "formats/D80Image.h"
#include "support/ImageBuilder.h"

namespace tessarind {
namespace {

using testing::BlankD64;

// A 1541 image whose error bytes are on, every block "OK".
std::unique_ptr<D64Image> D64WithErrorBytes() {
    auto image = BlankD64("ERRORS", "AB 2A");
    image->SetErrorBytes(std::vector<uint8_t>(D64Image::kErrorCount35, 1), D64Image::kErrorCount35);
    image->SetFlag(kFlagErrorCodes, true);
    return image;
}

TEST(BamGridTest, HitsTheBlockUnderThePoint) {
    auto image = BlankD64();
    BamGrid grid(*image);
    struct Case {
        int x, y;
        std::optional<std::pair<int, int>> block;
    } cases[] = {
        {30, 70, {{1, 0}}},
        {44, 84, {{1, 0}}},     // last pixel of the first cell
        {45, 70, std::nullopt}, // the gap between cells
        {29, 70, std::nullopt}, // the left band
        {30, 69, std::nullopt}, // the head band
        {30 + 16 * 20, 70, {{1, 20}}},
        {30 + 16 * 17, 70 + 16 * 30, std::nullopt}, // track 31 has 17 sectors
        {30, 70 + 16 * 34, {{35, 0}}},
        {30, 70 + 16 * 35, std::nullopt}, // below the last track
    };
    for (const Case& c : cases) {
        auto hit = grid.HitTest(c.x, c.y);
        ASSERT_EQ(hit.has_value(), c.block.has_value()) << c.x << "," << c.y;
        if (hit) {
            EXPECT_EQ(hit->track, c.block->first) << c.x << "," << c.y;
            EXPECT_EQ(hit->sector, c.block->second) << c.x << "," << c.y;
        }
    }
    grid.ScrollTo(18, 2);
    auto hit = grid.HitTest(30, 70);
    ASSERT_TRUE(hit);
    EXPECT_EQ(hit->track, 18);
    EXPECT_EQ(hit->sector, 2);
}

TEST(BamGridTest, LaysOutVisibleCellsAndSizes) {
    auto image = BlankD64();
    BamGrid grid(*image);
    EXPECT_EQ(grid.TrackCount(), 35);
    EXPECT_EQ(grid.ColumnCount(), 21);
    EXPECT_EQ(grid.OpenSize(), std::make_pair(368, 70 + 23 * 16));
    EXPECT_EQ(grid.LargestSize(), std::make_pair(368, 70 + 35 * 16));
    auto all = grid.VisibleCells(10000, 10000);
    EXPECT_EQ(static_cast<int>(all.size()), 683);
    int freeCells = 0;
    for (const BamCell& cell : all)
        freeCells += cell.free ? 1 : 0;
    EXPECT_EQ(freeCells, image->FreeBlockCount() + 17) << "the directory track's free blocks too";
    const auto& dir = *std::find_if(all.begin(), all.end(), [](const BamCell& c) {
        return c.block.track == 18 && c.block.sector == 1;
    });
    EXPECT_EQ(dir.x, 30 + 16);
    EXPECT_EQ(dir.y, 70 + 17 * 16);
    EXPECT_FALSE(dir.free);
    EXPECT_FALSE(dir.errorNumber);

    auto few = grid.VisibleCells(30 + 16 * 2, 70 + 16);
    ASSERT_EQ(few.size(), 2u);
    auto labels = grid.ColumnLabels(30 + 16 * 2);
    EXPECT_EQ(labels, (std::vector<std::pair<int, int>>{{0, 30}, {1, 46}}));
}

TEST(BamGridTest, ALargeDriveImageShowsEveryTrack) {
    D82Image image;
    ASSERT_TRUE(image.Open(nullptr, "", false, true));
    BamGrid grid(image);
    EXPECT_EQ(grid.TrackCount(), image.trackCount());
    EXPECT_EQ(grid.ColumnCount(), 29);
    EXPECT_EQ(grid.OpenSize().second, 70 + 23 * 16);
    EXPECT_EQ(grid.LargestSize(), std::make_pair(30 + 29 * 16 + 2, 70 + image.trackCount() * 16));
    grid.ScrollTo(1000, 1000);
    EXPECT_EQ(grid.firstTrack(), image.trackCount());
    EXPECT_EQ(grid.firstColumn(), 28);
}

TEST(BamGridTest, ErrorBytesDecideTheRightClickAndShowTheirNumbers) {
    auto plain = BlankD64();
    EXPECT_FALSE(BamGrid(*plain).RightClickOpensMenu());

    auto image = D64WithErrorBytes();
    BamGrid grid(*image);
    EXPECT_TRUE(grid.RightClickOpensMenu());
    auto items = grid.ErrorItems(5, 3);
    ASSERT_EQ(items.size(), 9u);
    EXPECT_EQ(items[0].text, "0 OK");
    EXPECT_TRUE(items[0].checked);
    EXPECT_EQ(items[8].text, "29 Disk ID Mismatch");
    EXPECT_EQ(items[8].commandId, 2176);

    EXPECT_TRUE(grid.SetErrorFromCommand(5, 3, 2168 + 4));
    EXPECT_FALSE(grid.SetErrorFromCommand(5, 3, 2177));
    items = grid.ErrorItems(5, 3);
    EXPECT_FALSE(items[0].checked);
    EXPECT_TRUE(items[4].checked);
    int numbered = 0;
    for (const BamCell& cell : grid.VisibleCells(10000, 10000))
        if (cell.errorNumber) {
            ++numbered;
            EXPECT_EQ(cell.block.track, 5);
            EXPECT_EQ(cell.block.sector, 3);
            EXPECT_EQ(*cell.errorNumber, 23);
        }
    EXPECT_EQ(numbered, 1);
    image->UndoCommand();
    EXPECT_TRUE(grid.ErrorItems(5, 3)[0].checked);
}

TEST(BamGridTest, HeadTexts) {
    auto image = BlankD64("MY DISK", "AB 2A");
    BamGrid grid(*image);
    EXPECT_EQ(BamGrid::HoverText(7, 3), "Track: 07   Sector: 03");
    EXPECT_EQ(grid.DiskName(), (std::vector<uint8_t>{'M', 'Y', ' ', 'D', 'I', 'S', 'K'}));
    EXPECT_EQ(grid.DiskId(), (std::vector<uint8_t>{'A', 'B', 0xA0, '2', 'A'}));
    EXPECT_EQ(grid.MarkText(1, 0), "&Mark As Used");
    EXPECT_EQ(grid.MarkText(18, 0), "&Mark As Free");
}

} // namespace
} // namespace tessarind
