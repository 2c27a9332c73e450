#include "catalog/SectorEditor.h"

#include <algorithm>
#include <cstring>

#include "model/DiskImage.h"
#include "model/UndoJournal.h"
#include "text/Petscii.h"

namespace tessarind {

namespace {
constexpr int kBytes = 256;
constexpr uint32_t Pack(int track, int sector) {
    return static_cast<uint32_t>(track) * 65536u + static_cast<uint32_t>(sector);
}
int HexValue(uint8_t c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}
} // namespace

SectorEditor::SectorEditor(DiskImage& image) : image_(image) {}

SectorEditor::~SectorEditor() {
    Commit();
}

bool SectorEditor::BlockExists(int track, int sector) const {
    if (track < 1 || track > image_.trackCount() || sector < 0 || sector > 255) return false;
    return image_.SectorPointer(track, sector) != nullptr;
}

const uint8_t* SectorEditor::Block() const {
    if (!showing()) return nullptr;
    return image_.SectorPointer(track_, sector_);
}

uint8_t* SectorEditor::MutableBlock() {
    if (!showing()) return nullptr;
    return image_.SectorPointer(track_, sector_);
}

uint8_t SectorEditor::ByteAt(int offset) const {
    const uint8_t* block = Block();
    return block && offset >= 0 && offset < kBytes ? block[offset] : 0;
}

std::optional<std::pair<int, int>> SectorEditor::LinkedBlock() const {
    if (!Block() || !BlockExists(ByteAt(0), ByteAt(1))) return std::nullopt;
    return std::make_pair(int{ByteAt(0)}, int{ByteAt(1)});
}

std::optional<std::pair<int, int>> SectorEditor::BlockAtCursor() const {
    if (!Block() || cursor_ >= kBytes - 1) return std::nullopt;
    int t = ByteAt(cursor_), s = ByteAt(cursor_ + 1);
    if (!BlockExists(t, s)) return std::nullopt;
    return std::make_pair(t, s);
}

// ---- Showing blocks ---------------------------------------------------------------------

void SectorEditor::ShowBlock(int track, int sector, bool remember) {
    Commit();
    if (remember && showing() && (track != track_ || sector != sector_))
        history_.push_back(Pack(track_, sector_));
    track_ = track;
    sector_ = sector;
}

bool SectorEditor::Show(int track, int sector) {
    if (!BlockExists(track, sector)) return false;
    ShowBlock(track, sector, true);
    return true;
}

bool SectorEditor::Back() {
    while (!history_.empty()) {
        uint32_t packed = history_.back();
        history_.pop_back();
        int t = static_cast<int>(packed / 65536u), s = static_cast<int>(packed % 65536u);
        if (!BlockExists(t, s)) continue; // the image may have shrunk since
        ShowBlock(t, s, false);
        return true;
    }
    return false;
}

bool SectorEditor::FollowLink() {
    auto link = LinkedBlock();
    return link && Show(link->first, link->second);
}

bool SectorEditor::FollowCursor() {
    auto target = BlockAtCursor();
    return target && Show(target->first, target->second);
}

int SectorEditor::HighestSector(int track) const {
    for (int s = std::min(image_.maxSectors(), 255); s >= 0; --s)
        if (BlockExists(track, s)) return s;
    return -1;
}

bool SectorEditor::ShowLowered(int track, int sector) {
    for (int s = std::min(sector, 255); s >= 0; --s)
        if (BlockExists(track, s)) return Show(track, s);
    return false;
}

void SectorEditor::PreviousTrack() {
    if (!showing()) return;
    int t = track_ - 1;
    if (t < 1) t = image_.trackCount();
    ShowLowered(t, sector_);
}

void SectorEditor::NextTrack() {
    if (!showing()) return;
    int t = track_ + 1;
    if (t > image_.trackCount()) t = 1;
    ShowLowered(t, sector_);
}

void SectorEditor::PreviousSector() {
    if (!showing()) return;
    int s = sector_ - 1;
    if (s < 0) s = image_.maxSectors();
    ShowLowered(track_, s);
}

void SectorEditor::NextSector() {
    if (!showing()) return;
    int s = sector_ + 1;
    if (!BlockExists(track_, s)) s = 0;
    ShowLowered(track_, s);
}

void SectorEditor::PageUp() {
    if (!showing()) return;
    if (sector_ > 0) {
        ShowLowered(track_, sector_ - 1);
        return;
    }
    for (int t = track_ - 1; t >= 1; --t) {
        int s = HighestSector(t);
        if (s >= 0) {
            Show(t, s);
            return;
        }
    }
}

void SectorEditor::PageDown() {
    if (!showing()) return;
    if (BlockExists(track_, sector_ + 1)) {
        Show(track_, sector_ + 1);
        return;
    }
    for (int t = track_ + 1; t <= image_.trackCount(); ++t)
        if (BlockExists(t, 0)) {
            Show(t, 0);
            return;
        }
}

// ---- The cursor -------------------------------------------------------------------------

void SectorEditor::SetColumn(Column column) {
    column_ = column;
    lowNibble_ = false;
}

void SectorEditor::Place(int offset, Column column, bool lowNibble) {
    cursor_ = std::clamp(offset, 0, kBytes - 1);
    column_ = column;
    lowNibble_ = column == Column::Hex && lowNibble;
}

void SectorEditor::Left() {
    if (column_ == Column::Hex && lowNibble_) {
        lowNibble_ = false;
    } else if (cursor_ > 0) {
        --cursor_;
        lowNibble_ = column_ == Column::Hex;
    }
}

void SectorEditor::Right() {
    if (column_ == Column::Hex && !lowNibble_) {
        lowNibble_ = true;
    } else if (cursor_ < kBytes - 1) {
        ++cursor_;
        lowNibble_ = false;
    }
}

void SectorEditor::Up() {
    if (cursor_ >= 16) cursor_ -= 16;
}

void SectorEditor::Down() {
    if (cursor_ < kBytes - 16) cursor_ += 16;
}

void SectorEditor::Home(bool wholeBlock) {
    cursor_ = wholeBlock ? 0 : cursor_ & ~15;
    lowNibble_ = false;
}

void SectorEditor::End(bool wholeBlock) {
    cursor_ = wholeBlock ? kBytes - 1 : cursor_ | 15;
    lowNibble_ = false;
}

// ---- Editing ----------------------------------------------------------------------------

void SectorEditor::Change(int offset, uint8_t value) {
    uint8_t* block = MutableBlock();
    if (!block) return;
    if (!editing_) {
        std::memcpy(snapshot_.data(), block, kBytes);
        editing_ = true;
        firstChange_ = lowChange_ = highChange_ = offset;
    }
    lowChange_ = std::min(lowChange_, offset);
    highChange_ = std::max(highChange_, offset);
    block[offset] = value;
    image_.SetModified(true);
    image_.RedrawViews();
}

bool SectorEditor::Type(uint8_t code, bool shift) {
    if (code == 'J' && shift) return Back();
    if (code == 'j' || code == 'J') return FollowLink();
    if (code == 'g' || code == 'G') return FollowCursor();
    if (!Block()) return false;
    if (column_ == Column::Character) {
        // Typed as the CBM font shows it: "a" stores the unshifted letter.
        AsciiToPetsciiName(std::span<uint8_t>(&code, 1), false);
        StoreByte(code);
        return true;
    }
    int digit = HexValue(code);
    if (digit < 0) return false;
    uint8_t old = ByteAt(cursor_);
    uint8_t value = lowNibble_ ? static_cast<uint8_t>((old & 0xF0) | digit)
                               : static_cast<uint8_t>((old & 0x0F) | (digit << 4));
    Change(cursor_, value);
    Right();
    return true;
}

void SectorEditor::StoreByte(uint8_t code) {
    if (!Block()) return;
    Change(cursor_, code);
    if (cursor_ < kBytes - 1) ++cursor_;
    lowNibble_ = false;
}

void SectorEditor::Commit() {
    if (!editing_) return;
    editing_ = false;
    if (!BlockExists(track_, sector_)) return;
    // The whole range that changed, so one undo step gives every edited byte back even when
    // the cursor went back before the first change.
    std::span<const uint8_t> old(snapshot_.data() + lowChange_,
                                 static_cast<size_t>(highChange_ - lowChange_ + 1));
    image_.Record(UndoKind::Block, track_, sector_, static_cast<uint32_t>(lowChange_), old,
                  "Sector Edit");
}

std::string SectorEditor::UndoItemText() const {
    return editing_ ? UndoJournal::ItemTextFor("Sector Edit") : image_.UndoItemText();
}

bool SectorEditor::UndoEnabled() const {
    return editing_ || image_.UndoEnabled();
}

void SectorEditor::Undo() {
    if (!editing_) {
        image_.UndoCommand();
        return;
    }
    editing_ = false;
    if (uint8_t* block = MutableBlock()) std::memcpy(block, snapshot_.data(), kBytes);
    cursor_ = firstChange_;
    lowNibble_ = false;
    image_.RedrawViews();
}

void SectorEditor::Fill(uint8_t fill) {
    Commit();
    uint8_t* block = MutableBlock();
    if (!block) return;
    image_.RecordBlock(track_, sector_, 0, kBytes, "Fill Sector");
    std::memset(block, fill, kBytes);
    image_.SetModified(true);
    image_.RedrawViews();
}

} // namespace tessarind
