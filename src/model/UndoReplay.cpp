// Undo for an image: every change is recorded in its journal before it is made and reversed
// one named operation at a time.

#include <cstdio>
#include <cstring>

#include "model/DiskImage.h"
#include "model/ImageObserver.h"

namespace tessarind {

bool DiskImage::Record(UndoKind kind, int track, int sector, uint32_t offset,
                       std::span<const uint8_t> bytes, const std::string& name) {
    if (recordingSuspended() || bytes.size() > 65535) return false;
    UndoRecord r;
    r.kind = kind;
    r.track = track;
    r.sector = sector;
    r.offset = offset;
    r.showDeleted = showDeleted() ? 1 : 0;
    r.name = name;
    r.data.assign(bytes.begin(), bytes.end());
    r.size = static_cast<uint32_t>(r.data.size());
    journal_.Push(std::move(r));
    NotifyUndoText();
    return true;
}

bool DiskImage::RecordEntry(UndoKind kind, int index, std::span<const uint8_t> bytes,
                            const std::string& name) {
    if (!Record(kind, 0, 0, 0, bytes, name)) return false;
    journal_.Last().index = index;
    return true;
}

bool DiskImage::RecordEntryField(UndoKind kind, int index, const uint8_t* at, int length,
                                 const std::string& name) {
    if (recordingSuspended()) return false; // nothing is kept: spare the search for the block
    int track = 0, sector = 0;
    std::span<const uint8_t> bytes(at, static_cast<size_t>(length));
    if (!LocateBlock(at, track, sector)) return RecordEntry(kind, index, bytes, name);
    const auto offset = static_cast<uint32_t>(at - SectorPointer(track, sector));
    if (!Record(kind, track, sector, offset, bytes, name)) return false;
    journal_.Last().index = index;
    return true;
}

bool DiskImage::RecordBlock(int track, int sector, int offset, int length, const std::string& name) {
    const uint8_t* block = SectorPointer(track, sector);
    if (!block || offset < 0 || length < 0 || offset + length > kBlockSize) return false;
    return Record(UndoKind::Block, track, sector, static_cast<uint32_t>(offset),
                  std::span<const uint8_t>(block + offset, static_cast<size_t>(length)), name);
}

bool DiskImage::RecordBam(int track, int sector) {
    const uint8_t* block = SectorPointer(track, sector);
    return block && Record(UndoKind::Bam, track, sector, 0, std::span<const uint8_t>(block, kBlockSize), "BAM");
}

void DiskImage::BeginGroup() { Record(UndoKind::GroupStart, 0, 0, 0, {}); }

void DiskImage::EndGroup(const std::string& name, uint32_t count) {
    if (recordingSuspended()) return;
    if (journal_.DropEmptyGroup()) { // nothing happened inside: no undo step for it
        NotifyUndoText();
        return;
    }
    Record(UndoKind::GroupEnd, 0, 0, count, {}, name);
}

void DiskImage::Group::Abandon(uint32_t count) {
    closed_ = true;
    size_t depth = image_.journal_.Records().size();
    image_.EndGroup(std::string(), count);
    if (image_.journal_.Records().size() > depth) image_.UndoOne();
    // Rolled back, the image is as it was when the group began, and so is its modified flag
    // (an enclosing group's records kept the undo above from clearing it). Unjournalled
    // changes are not rolled back, and keep the flag.
    if (!image_.recordingSuspended()) image_.SetModified(wasModified_);
}

void DiskImage::NotifyUndoText() {
    if (directoryView_) directoryView_->SetUndoText(UndoItemText(), UndoEnabled());
}

bool DiskImage::UndoOne() {
    std::optional<UndoRecord> popped = journal_.Pop();
    if (!popped) return false;
    UndoRecord record = std::move(*popped);
    if (journal_.Empty()) NotifyUndoText();

    const uint32_t before = flags_ & (kFlagUndoSuspended | kFlagShowDeleted);
    flags_ |= kFlagUndoSuspended;
    SetShowDeleted(record.showDeleted != 0);
    ++replayNesting_;
    bool replayed = true;
    if (!ReplayFormatUndo(record)) {
        if (record.kind == UndoKind::GroupStart)
            replayed = false;
        else
            ReplayRecord(record);
    }
    --replayNesting_;
    flags_ = (flags_ & ~(kFlagUndoSuspended | kFlagShowDeleted)) | before;

    switch (journal_.AfterUndo()) {
    case UndoJournal::SavedState::AsSaved: SetModified(false); break;
    // Undone past the last save: the file on the host differs from memory again.
    case UndoJournal::SavedState::PastSave: SetModified(true); break;
    case UndoJournal::SavedState::Changed: break;
    }
    if (replayNesting_ == 0) {
        Refresh();
        RedrawViews();
    }
    return replayed;
}

void DiskImage::UndoCommand() {
    UndoOne();
    NotifyUndoText();
}

// Entry-field records hold the old bytes of one field; replay copies them back.
static int EntryFieldOffset(UndoKind kind) {
    switch (kind) {
    case UndoKind::Splat:
    case UndoKind::Locked:
    case UndoKind::FileType: return DirEntryOffset::type;
    case UndoKind::Blocks: return DirEntryOffset::blocks;
    case UndoKind::Name: return DirEntryOffset::name;
    case UndoKind::GeosType: return DirEntryOffset::geosType;
    case UndoKind::Date: return DirEntryOffset::year;
    case UndoKind::FirstTrack: return DirEntryOffset::firstTrack;
    case UndoKind::FirstSector: return DirEntryOffset::firstSector;
    case UndoKind::SideTrack: return DirEntryOffset::sideTrack;
    case UndoKind::SideSector: return DirEntryOffset::sideSector;
    case UndoKind::GeosStructure: return DirEntryOffset::recordLength;
    default: return -1;
    }
}

void DiskImage::ReplayRecord(const UndoRecord& r) {
    switch (r.kind) {
    case UndoKind::Block:
    case UndoKind::Bam: {
        uint8_t* block = SectorPointer(r.track, r.sector);
        if (!block || r.data.empty() || r.offset + r.data.size() > kBlockSize) return;
        std::memcpy(block + r.offset, r.data.data(), r.data.size());
        if (r.kind == UndoKind::Bam) {
            if (bamView_) bamView_->Redraw();
        } else if (sectorEditor_) {
            sectorEditor_->BlockChanged(r.track, r.sector, static_cast<int>(r.offset));
        }
        return;
    }
    case UndoKind::ErrorCode:
        if (!r.data.empty()) SetErrorCode(r.track, r.sector, r.data[0]);
        if (bamView_) bamView_->Redraw();
        return;
    case UndoKind::ExtraTracks:
        SetExtendedTracks((flags_ & kFlagExtraTracks) == 0);
        return;
    case UndoKind::ErrorCodesSwitched:
        flags_ ^= kFlagErrorCodes;
        if (bamView_) bamView_->Redraw();
        return;
    case UndoKind::ToggleSector:
        ToggleBlock(r.track, r.sector);
        return;
    case UndoKind::Multi:
        for (uint32_t i = 0; i < r.offset; ++i)
            if (!UndoOne()) break;
        return;
    case UndoKind::GroupEnd:
        while (UndoOne()) {
        }
        return;
    case UndoKind::MoveDown:
        MoveEntry(true, r.index, replayDepth_ == 0);
        return;
    case UndoKind::MoveUp:
        MoveEntry(false, r.index, replayDepth_ == 0);
        return;
    case UndoKind::RemoveSaved:
        InsertEntry(r.index, r.data);
        return;
    case UndoKind::Insertion:
        RemoveEntry(r.index, false);
        return;
    case UndoKind::ShiftStart:
        replayDepth_ = replayDepth_ > 0 ? replayDepth_ - 1 : 0;
        if (directoryView_) directoryView_->UpdateLine(r.index);
        return;
    case UndoKind::ShiftEnd:
        ++replayDepth_;
        return;
    case UndoKind::DiskName:
        if (std::span<uint8_t> name = DiskName(); !name.empty() && r.data.size() == name.size())
            std::copy(r.data.begin(), r.data.end(), name.begin());
        return;
    case UndoKind::DiskId:
        if (r.data.size() == 5) SetDiskId(std::span<const uint8_t, 5>(r.data.data(), 5));
        return;
    default:
        break;
    }
    int field = EntryFieldOffset(r.kind);
    if (field < 0) return; // a kind no one replays is dropped
    if (r.track != 0) {
        uint8_t* block = SectorPointer(r.track, r.sector);
        if (!block || r.data.empty() || r.offset + r.data.size() > kBlockSize) return;
        std::memcpy(block + r.offset, r.data.data(), r.data.size());
        if (directoryView_) directoryView_->UpdateLine(r.index);
        return;
    }
    DirEntry entry = EntryAtEx(r.index, showDeleted());
    if (!entry || r.data.empty() || field + r.data.size() > kSlotSize) return;
    std::memcpy(entry.data() + field, r.data.data(), r.data.size());
    if (directoryView_) directoryView_->UpdateLine(r.index);
}

} // namespace tessarind
