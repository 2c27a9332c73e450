#pragma once
// The state of the sector editor: which block is shown, the cursor, the column typed into,
// the edit not yet journalled and the blocks visited before. The desktop view paints it and
// turns keys and clicks into these calls, so every rule of moving and editing is tested here
// without windows.

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace tessarind {

class DiskImage;

class SectorEditor {
public:
    enum class Column { Hex, Character };

    explicit SectorEditor(DiskImage& image);
    // An uncommitted edit is journalled before the editor goes.
    ~SectorEditor();
    SectorEditor(const SectorEditor&) = delete;
    SectorEditor& operator=(const SectorEditor&) = delete;

    // ---- What is shown -----------------------------------------------------------------
    int track() const { return track_; }
    int sector() const { return sector_; }
    bool showing() const { return track_ > 0; }
    // The shown block's bytes; empty when nothing is shown or the block went away.
    const uint8_t* Block() const;
    uint8_t ByteAt(int offset) const;
    int cursor() const { return cursor_; }
    Column column() const { return column_; }
    bool lowNibble() const { return lowNibble_; }
    bool editing() const { return editing_; }
    // The Edit menu's Undo item: the uncommitted edit while there is one, else the journal's.
    std::string UndoItemText() const;
    bool UndoEnabled() const;
    const std::vector<uint32_t>& history() const { return history_; }
    bool BlockExists(int track, int sector) const;
    // The block bytes 0 and 1 name, when it exists.
    std::optional<std::pair<int, int>> LinkedBlock() const;
    // The block the cursor byte and the one after it name, when it exists.
    std::optional<std::pair<int, int>> BlockAtCursor() const;

    // ---- Showing blocks ----------------------------------------------------------------
    // Shows a block, keeping the cursor; the block shown before goes onto the history. An
    // uncommitted edit is journalled first. False (nothing changes) for a block that does
    // not exist.
    bool Show(int track, int sector);
    // Goes back to the block shown before; false when the history is empty.
    bool Back();
    bool FollowLink();     // bytes 0 and 1
    bool FollowCursor();   // the cursor byte and the byte after it
    void PreviousTrack();  // wraps to the highest track
    void NextTrack();      // wraps to track 1
    void PreviousSector(); // wraps to the highest existing sector of the track
    void NextSector();     // a sector past the track's last becomes 0
    void PageUp();         // the block before, across tracks; stays on 1/0
    void PageDown();       // the block after, across tracks; stays on the last block

    // ---- The cursor ---------------------------------------------------------------------
    void SetColumn(Column column);
    void Place(int offset, Column column, bool lowNibble = false);
    void Left();
    void Right();
    void Up();
    void Down();
    void Home(bool wholeBlock);
    void End(bool wholeBlock);

    // ---- Editing -------------------------------------------------------------------------
    // A typed character. "j"/"g" (either case) jump and Shift+"J" goes back, in both columns;
    // in the hex column hex digits replace a nibble, in the character column the code is
    // stored. True when the character did something.
    bool Type(uint8_t code, bool shift = false);
    // Stores a byte at the cursor and moves on one byte (the character column's typing and
    // the character tool's codes).
    void StoreByte(uint8_t code);
    // Journals the uncommitted edit as one "Sector Edit" step.
    void Commit();
    // Undo: an uncommitted edit is put back from its snapshot; otherwise the journal's last
    // step is undone.
    void Undo();
    // Sets every byte to `fill` as one "Fill Sector" step.
    void Fill(uint8_t fill);

private:
    uint8_t* MutableBlock();
    void Change(int offset, uint8_t value);
    void ShowBlock(int track, int sector, bool remember);
    // Lowers the sector until the track has it; false when the track has none.
    bool ShowLowered(int track, int sector);
    int HighestSector(int track) const;

    DiskImage& image_;
    int track_ = 0, sector_ = 0;
    int cursor_ = 0;
    Column column_ = Column::Hex;
    bool lowNibble_ = false;
    bool editing_ = false;
    std::array<uint8_t, 256> snapshot_{};
    int firstChange_ = 0;
    int lowChange_ = 0, highChange_ = 0;
    std::vector<uint32_t> history_; // track * 65536 + sector, newest last
};

} // namespace tessarind
