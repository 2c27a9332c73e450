#include "formats/DfiImage.h"

#include <algorithm>
#include <bit>
#include <cstring>
#include <string_view>

#include "model/FormatRegistry.h"
#include "model/ImageObserver.h"

namespace tessarind {

namespace {

constexpr std::string_view kSignature = "DREAMLOAD FILE ARCHIVE";
// Undoing a growth takes the archive back to the track count and size the record keeps.
constexpr auto kUndoAddTrack = static_cast<UndoKind>(static_cast<int>(UndoKind::FormatBase));

constexpr int kHeaderTrack = 1, kHeaderSector = 0;
constexpr int kDiskHeaderSector = 1;
constexpr int kFirstDirSector = 2;
// A new file is placed from the first block after the header, disk header and directory.
constexpr int kFirstDataSector = 3;

int TrackCountFromByte(uint8_t value) {
    return value == 0 ? DfiImage::kMaxTracks : value;
}

} // namespace

DfiImage::DfiImage(Settings* settings) : DiskImage(FormatId::Dfi, settings) {
    trackCount_ = 1;
    maxSectors_ = kSectors;
    dirTrack_ = 1;
    dirSector_ = kFirstDirSector;
    headerTrack_ = kHeaderTrack;
    headerSector_ = kDiskHeaderSector;
    flags_ |= kFlagCanGrow;
}

uint8_t* DfiImage::SectorPointer(int track, int sector) {
    if (track < 1 || track > trackCount_ || track > kMaxTracks || sector < 0 || sector >= kSectors)
        return nullptr;
    const size_t block = static_cast<size_t>(track - 1) * kSectors + static_cast<size_t>(sector);
    return Store().At(block * kBlockSize, kBlockSize);
}

uint8_t* DfiImage::DiskNamePointer() {
    const uint8_t* header = SectorPointer(kHeaderTrack, kHeaderSector);
    if (!header) return nullptr;
    uint8_t* disk = SectorPointer(header[32], header[33]);
    return disk ? disk + 0x90 : nullptr;
}

bool DfiImage::NextDirSector(int& track, int& sector) {
    if (track < 0 || sector < 0) {
        track = dirTrack_;
        sector = dirSector_;
        return true;
    }
    if (const uint8_t* block = SectorPointer(track, sector); block && block[0] != 0) {
        track = block[0];
        sector = block[1];
        return true;
    }
    // Past the end of the chain the directory continues in the next block allocation gives.
    int t = track, s = sector;
    if (!AllocateBlock(t, s, false)) return false;
    track = t;
    sector = s;
    return true;
}

uint8_t* DfiImage::TrackBam(int track) {
    if (track < 1 || track > kMaxTracks) return nullptr;
    uint8_t* bam = SectorPointer(kHeaderTrack, kFirstBamSector + (track - 1) / 8);
    return bam ? bam + 32 * ((track - 1) % 8) : nullptr;
}

bool DfiImage::IsBlockFree(int track, int sector) {
    // A block the file does not hold cannot be given out.
    if (!SectorPointer(track, sector)) return false;
    const uint8_t* bam = TrackBam(track);
    return bam && (bam[sector / 8] & (0x80 >> (sector % 8))) == 0;
}

void DfiImage::ToggleBlock(int track, int sector) {
    if (!SectorPointer(track, sector)) return;
    uint8_t* bam = TrackBam(track);
    if (!bam) return;
    bam[sector / 8] ^= static_cast<uint8_t>(0x80 >> (sector % 8));
    uint8_t pair[2] = {static_cast<uint8_t>(track), static_cast<uint8_t>(sector)};
    Record(UndoKind::ToggleSector, track, sector, 0, pair, "Toggle Sector");
    SetModified(true);
}

void DfiImage::SnapshotBam() {
    const int sectors = std::min((trackCount_ + 7) / 8, kBamSectors);
    Group group(*this);
    for (int i = 0; i < sectors; ++i)
        RecordBam(kHeaderTrack, kFirstBamSector + i);
    group.Close("BAM");
}

void DfiImage::ClearBam() {
    SnapshotBam();
    // The BAM sectors of tracks the archive does not have are left as they are: the snapshot
    // does not hold them, and a track added later clears its own bytes.
    for (int i = 0; i < std::min((trackCount_ + 7) / 8, kBamSectors); ++i)
        if (uint8_t* bam = SectorPointer(kHeaderTrack, kFirstBamSector + i))
            std::memset(bam, 0, kBlockSize);
    SuspendRecording quiet(*this);
    for (int i = 0; i < kBamSectors; ++i)
        if (IsBlockFree(kHeaderTrack, kFirstBamSector + i))
            ToggleBlock(kHeaderTrack, kFirstBamSector + i);
    for (int s : {kHeaderSector, kDiskHeaderSector})
        if (IsBlockFree(kHeaderTrack, s)) ToggleBlock(kHeaderTrack, s);
}

bool DfiImage::IsHeaderBlock(int track, int sector) {
    return track == kHeaderTrack && sector >= kFirstBamSector &&
           sector < kFirstBamSector + kBamSectors;
}

int DfiImage::FreeBlockCount() {
    int used = 0;
    for (int t = 1; t <= trackCount_; ++t) {
        const uint8_t* bam = TrackBam(t);
        if (!bam) return 0;
        for (int i = 0; i < 32; ++i)
            used += std::popcount(static_cast<unsigned>(bam[i]));
    }
    int free = trackCount_ * kSectors - used;
    // An archive cut short lacks blocks its header counts: those are no room either.
    const size_t present = Store().Size() / kBlockSize;
    for (size_t b = present; b < static_cast<size_t>(trackCount_) * kSectors; ++b) {
        const int t = static_cast<int>(b / kSectors) + 1, s = static_cast<int>(b % kSectors);
        const uint8_t* bam = TrackBam(t);
        if (bam && (bam[s / 8] & (0x80 >> (s % 8))) == 0) --free;
    }
    return std::max(free, 0);
}

uint8_t* DfiImage::AllocateBlock(int& track, int& sector, bool take) {
    int t = track, s = sector;
    if (t <= 1) {
        t = 1;
        s = std::max(s, kFirstDataSector);
    }
    s = std::clamp(s, 0, kSectors - 1);
    for (int added = 0;; ++added) {
        for (; t <= trackCount_; ++t, s = 0) {
            for (; s < kSectors; ++s) {
                if (!IsBlockFree(t, s)) continue;
                track = t;
                sector = s;
                if (take) ToggleBlock(t, s);
                return SectorPointer(t, s);
            }
        }
        if (added == 2 || !SetExtendedTracks(true)) return nullptr;
        t = trackCount_;
        s = 0;
    }
}

bool DfiImage::SetExtendedTracks(bool) {
    if (trackCount_ >= kMaxTracks) return false;
    uint8_t* header = SectorPointer(kHeaderTrack, kHeaderSector);
    const int track = trackCount_ + 1;
    const uint8_t* bamSector = SectorPointer(kHeaderTrack, kFirstBamSector + (track - 1) / 8);
    if (!header || !bamSector) return false;
    const size_t oldSize = Store().Size();
    const size_t newSize = static_cast<size_t>(track) * kTrackBytes;
    uint8_t oldCount = header[kTrackCountOffset];
    Record(kUndoAddTrack, trackCount_, 0, static_cast<uint32_t>(oldSize),
           std::span<const uint8_t>(&oldCount, 1), "Add Track");
    if (newSize > oldSize) {
        Store().Resize(newSize);
        if (uint8_t* added = Store().At(oldSize, newSize - oldSize))
            std::memset(added, FillByte(), newSize - oldSize);
    }
    trackCount_ = track;
    // The store may have moved its bytes.
    header = SectorPointer(kHeaderTrack, kHeaderSector);
    header[kTrackCountOffset] = static_cast<uint8_t>(track & 0xFF);
    uint8_t* bam = TrackBam(track);
    RecordBytes(bam, 32, "Add Track");
    std::memset(bam, 0, 32);
    SetModified(true);
    ShowTrackCount();
    return true;
}

void DfiImage::ShrinkTo(int tracks, size_t size) {
    if (tracks < 1 || tracks >= trackCount_) return;
    trackCount_ = tracks;
    if (size < Store().Size()) Store().Resize(size);
    ShowTrackCount();
}

void DfiImage::ShowTrackCount() {
    if (bamView_) {
        bamView_->SetTrackCount(trackCount_);
        bamView_->Redraw();
    }
    if (sectorEditor_) sectorEditor_->SetTrackCount(trackCount_);
}

bool DfiImage::ReplayFormatUndo(const UndoRecord& record) {
    if (record.kind != kUndoAddTrack) return false;
    ShrinkTo(record.track, record.offset);
    if (uint8_t* header = SectorPointer(kHeaderTrack, kHeaderSector);
        header && record.data.size() == 1)
        header[kTrackCountOffset] = record.data[0];
    return true;
}

bool DfiImage::WriteFileData(std::span<const uint8_t, kNameLength> name, int index,
                             bool interactive, std::vector<uint8_t> data, int recordLength,
                             const FormatRow& row) {
    const int tracksBefore = trackCount_;
    const size_t sizeBefore = Store().Size();
    const uint8_t* header = SectorPointer(kHeaderTrack, kHeaderSector);
    const uint8_t countBefore = header ? header[kTrackCountOffset] : 0;
    const bool wasModified = modified();
    // The growth belongs to the insert: it is undone with it, and a file that does not fit
    // even at the track limit leaves the archive as it was.
    Group group(*this);
    if (DiskImage::WriteFileData(name, index, interactive, std::move(data), recordLength, row)) {
        group.Close("Import File");
        return true;
    }
    group.Abandon();
    if (trackCount_ > tracksBefore) { // nothing was journalled to roll the growth back
        ShrinkTo(tracksBefore, sizeBefore);
        if (uint8_t* h = SectorPointer(kHeaderTrack, kHeaderSector))
            h[kTrackCountOffset] = countBefore;
        SetModified(wasModified);
    }
    return false;
}

bool DfiImage::LocateBlock(const uint8_t* p, int& track, int& sector) {
    size_t offset = 0;
    if (!Store().OffsetOf(p, offset)) return false;
    const size_t block = offset / kBlockSize;
    if (block >= static_cast<size_t>(trackCount_) * kSectors) return false;
    track = static_cast<int>(block / kSectors) + 1;
    sector = static_cast<int>(block % kSectors);
    return SectorPointer(track, sector) != nullptr;
}

bool DfiImage::LoadFromMemory(std::span<const uint8_t> data) {
    Store().Assign(std::vector<uint8_t>(data.begin(), data.end()));
    AfterLoad();
    Refresh();
    return true;
}

void DfiImage::AfterLoad() {
    const uint8_t* header = Store().At(0, kBlockSize);
    trackCount_ = header ? TrackCountFromByte(header[kTrackCountOffset]) : 1;
    dirTrack_ = 1;
    dirSector_ = kFirstDirSector;
    // The directory starts where the disk header links to.
    if (header)
        if (const uint8_t* disk = SectorPointer(header[32], header[33]);
            disk && disk[0] != 0 && SectorPointer(disk[0], disk[1])) {
            dirTrack_ = disk[0];
            dirSector_ = disk[1];
        }
}

bool DfiImage::CreateEmpty() {
    SetModified(true);
    trackCount_ = 1;
    Store().Assign(kTrackBytes, FillByte());
    uint8_t* header = SectorPointer(kHeaderTrack, kHeaderSector);
    std::memcpy(header + 1, kSignature.data(), kSignature.size());
    header[26] = 1;
    header[kTrackCountOffset] = 1;
    header[32] = kHeaderTrack;
    header[33] = kDiskHeaderSector;
    header[34] = kHeaderTrack;
    header[35] = kFirstBamSector;
    std::memset(header + 96, 0x20, 160);
    uint8_t* disk = SectorPointer(kHeaderTrack, kDiskHeaderSector);
    disk[0] = kHeaderTrack;
    disk[1] = kFirstDirSector;
    disk[2] = 0x4D;
    std::memset(disk + 0x90, kPad, kNameLength);
    disk[0xA2] = 'U';
    disk[0xA3] = 'T';
    disk[0xA4] = kPad;
    disk[0xA5] = '2';
    disk[0xA6] = 'A';
    // An empty directory block, whatever the fill byte: its slots would list otherwise.
    uint8_t* dir = SectorPointer(kHeaderTrack, kFirstDirSector);
    std::memset(dir, 0, kBlockSize);
    dir[1] = 0xFF;
    dirTrack_ = kHeaderTrack;
    dirSector_ = kFirstDirSector;
    std::memset(SectorPointer(kHeaderTrack, kFirstBamSector), 0, kBlockSize * kBamSectors);
    {
        SuspendRecording quiet(*this);
        ClearBam();
        if (IsBlockFree(kHeaderTrack, kFirstDirSector)) ToggleBlock(kHeaderTrack, kFirstDirSector);
    }
    SetModified(false);
    return true;
}

} // namespace tessarind
