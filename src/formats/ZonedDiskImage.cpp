#include "formats/ZonedDiskImage.h"

#include <algorithm>

namespace tessarind {

ZonedDiskImage::ZonedDiskImage(const DiskGeometry& geometry, Settings* settings)
    : DiskImage(geometry.formatId, settings), geometry_(geometry) {
    dirTrack_ = geometry.dirTrack;
    dirSector_ = geometry.firstDirSector;
    trackCount_ = geometry.trackCount;
    maxSectors_ = geometry.maxSectors;
    headerTrack_ = geometry.headerTrack;
    headerSector_ = geometry.headerSector;
}

uint8_t* ZonedDiskImage::SectorPointer(int track, int sector) {
    if (track < 1 || track > geometry_.trackCount) return nullptr;
    int index = geometry_.layout->BlockIndex(track, sector);
    if (index < 0) return nullptr;
    return Store().At(kBlockSize * static_cast<size_t>(index), kBlockSize);
}

uint8_t* ZonedDiskImage::DiskNamePointer() {
    uint8_t* header = SectorPointer(headerTrack_, headerSector_);
    return header ? header + geometry_.nameOffset : nullptr;
}

bool ZonedDiskImage::NextDirSector(int& track, int& sector) {
    track = dirTrack_;
    if (sector == 0) return false;
    if (sector < 0)
        sector = geometry_.firstDirSector;
    else
        sector = sector >= LastDirSector() ? -1 : sector + 1;
    return true;
}

bool ZonedDiskImage::IsBlockFree(int track, int sector) { return geometry_.bam->IsFree(*this, track, sector); }

bool ZonedDiskImage::AnyBlockFree(int track, int sectorsOnTrack) {
    return geometry_.bam->AnyFree(*this, track, sectorsOnTrack);
}

void ZonedDiskImage::ToggleBlock(int track, int sector) {
    if (!geometry_.bam->Toggle(*this, track, sector)) return;
    uint8_t pair[2] = {static_cast<uint8_t>(track), static_cast<uint8_t>(sector)};
    Record(UndoKind::ToggleSector, track, sector, 0, pair, "Toggle Sector");
    SetModified(true);
}

std::vector<int> ZonedDiskImage::FreeTracks() const {
    std::vector<int> tracks;
    for (int t = 1; t <= geometry_.trackCount; ++t)
        if (geometry_.bam->Covers(t)) tracks.push_back(t);
    return tracks;
}

void ZonedDiskImage::ClearBam() {
    SnapshotBam();
    SuspendRecording quiet(*this);
    ResetBamBlocks();
    for (int t : FreeTracks()) geometry_.bam->MarkTrackFree(*this, t);
    for (auto [t, s] : SystemBlocks())
        if (IsBlockFree(t, s)) ToggleBlock(t, s);
}

bool ZonedDiskImage::CreateEmpty() {
    SetModified(true);
    Store().Assign(geometry_.imageBytes, FillByte());
    FormatHeader();
    {
        SuspendRecording quiet(*this);
        ClearBam();
        if (IsBlockFree(dirTrack_, dirSector_)) ToggleBlock(dirTrack_, dirSector_);
    }
    SetModified(false);
    return true;
}

void ZonedDiskImage::SnapshotBam() {
    BlockList blocks = BamBlocks();
    if (blocks.size() == 1) {
        RecordBam(blocks[0].first, blocks[0].second);
        return;
    }
    Group group(*this);
    for (auto [t, s] : blocks) RecordBam(t, s);
    group.Close("BAM");
}

bool ZonedDiskImage::IsHeaderBlock(int track, int sector) {
    BlockList blocks = BamBlocks();
    if (track == headerTrack_ && sector == headerSector_) return true;
    return std::find(blocks.begin(), blocks.end(), std::make_pair(track, sector)) != blocks.end();
}

int ZonedDiskImage::FreeBlockCount() {
    int free = 0;
    for (int t = 1; t <= geometry_.trackCount; ++t)
        if (CountsFree(t)) free += geometry_.bam->FreeOnTrack(*this, t);
    return free;
}

bool ZonedDiskImage::LocateBlock(const uint8_t* p, int& track, int& sector) {
    if (size_t offset = 0; Store().OffsetOf(p, offset)) {
        const int block = static_cast<int>(offset / kBlockSize);
        const TrackLayout& layout = *geometry_.layout;
        for (int t = 1; t <= trackCount_; ++t) {
            const int first = layout.BlocksBefore(t);
            if (block < first || block >= first + layout.SectorsOnTrack(t)) continue;
            // Formats that keep some tracks elsewhere (extended tracks) are asked as well.
            if (SectorPointer(t, block - first) != Store().At(static_cast<size_t>(block) * kBlockSize, kBlockSize))
                break;
            track = t;
            sector = block - first;
            return true;
        }
    }
    return DiskImage::LocateBlock(p, track, sector);
}

void ZonedDiskImage::AppendRun(std::vector<int>& order, int first, int last) {
    int step = first <= last ? 1 : -1;
    for (int t = first;; t += step) {
        order.push_back(t);
        if (t == last) break;
    }
}

uint8_t* ZonedDiskImage::AllocateBlock(int& track, int& sector, bool take) {
    const int interleave = Interleave(track);
    std::vector<int> order;
    order.reserve(static_cast<size_t>(geometry_.trackCount));
    TrackOrder(track, order);
    for (size_t i = 0; i < order.size(); ++i) {
        int t = order[i];
        int sectors = SectorsOnTrack(t);
        // Only the track the search continues on starts at the given sector.
        int s = (i == 0 && t == track) ? sector : 0;
        if (s < 0 || s >= sectors) s = 0;
        if (!FindFreeSectorOnTrack(t, s, interleave, sectors)) continue;
        track = t;
        sector = s;
        if (take) ToggleBlock(t, s);
        return SectorPointer(t, s);
    }
    return nullptr;
}

int ZonedDiskImage::FullBlockCount() const { return geometry_.layout->BlocksBefore(trackCount_ + 1); }

} // namespace tessarind
