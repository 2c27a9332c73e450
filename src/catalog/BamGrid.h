#pragma once
// The block map as the BAM view draws it: where each block's cell lies, which block a point
// hits, what each cell shows, the texts of the head band and the error menu, and the window
// sizes. The desktop view only paints what this lays out.

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace tessarind {

class DiskImage;

struct BamBlock {
    int track = 0;
    int sector = 0;
};

// One drawn cell: its block, its top left corner, free or used and, with error bytes on,
// the drive error number shown over it (none for "OK").
struct BamCell {
    BamBlock block;
    int x = 0, y = 0;
    bool free = false;
    std::optional<int> errorNumber;
};

// One row of the error menu: its command, its text ("%d %s") and the stored code it sets.
struct BamErrorItem {
    int commandId = 0;
    std::string text;
    uint8_t code = 0;
    bool checked = false;
};

class BamGrid {
public:
    static constexpr int kCellSize = 15;
    static constexpr int kPitch = 16;
    static constexpr int kGridX = 30;
    static constexpr int kGridY = 70;
    static constexpr int kHeadHeight = 65;
    static constexpr int kLeftWidth = 25;
    static constexpr int kOpenColumns = 21;
    static constexpr int kOpenRows = 23;
    static constexpr int kMinWidth = 30;
    static constexpr int kMinHeight = 120;
    static constexpr int kFirstErrorCommand = 2168;

    explicit BamGrid(DiskImage& image) : image_(image) {}

    // Tracks shown: from track 1 up while the track has a sector 0.
    int TrackCount() const;
    // Sector columns: the format's sector count on its largest track.
    int ColumnCount() const;
    bool Exists(int track, int sector) const;

    // The scroll position: the first visible track (1-based) and sector column.
    void ScrollTo(int firstTrack, int firstColumn);
    int firstTrack() const { return firstTrack_; }
    int firstColumn() const { return firstColumn_; }

    // The block whose cell holds the point, when it exists (the 1-pixel gaps hit nothing).
    std::optional<BamBlock> HitTest(int x, int y) const;
    // The cells visible in a client area of the given size.
    std::vector<BamCell> VisibleCells(int width, int height) const;
    // The column numbers (sector modulo 100) with their x, for the visible columns.
    std::vector<std::pair<int, int>> ColumnLabels(int width) const;

    // The client size the view opens at and the largest it may grow to.
    std::pair<int, int> OpenSize() const;
    std::pair<int, int> LargestSize() const;

    // The head texts: "Track: %02d   Sector: %02d" for the hovered block.
    static std::string HoverText(int track, int sector);
    // The disk name up to its first 0xA0, and the five ID bytes.
    std::vector<uint8_t> DiskName() const;
    std::vector<uint8_t> DiskId() const;

    // Whether a right click opens the popup (the image carries error bytes) or flips the block.
    bool RightClickOpensMenu() const;
    // The nine error codes with the block's own one checked.
    std::vector<BamErrorItem> ErrorItems(int track, int sector) const;
    // Sets the code of the row a command names; false for other commands.
    bool SetErrorFromCommand(int track, int sector, int commandId);
    // The popup's mark item: "&Mark As Used" for a free block, "&Mark As Free" for a used one.
    std::string MarkText(int track, int sector) const;

private:
    DiskImage& image_;
    int firstTrack_ = 1;
    int firstColumn_ = 0;
};

} // namespace tessarind
