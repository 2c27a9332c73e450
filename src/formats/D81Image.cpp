#include "formats/D81Image.h"

#include <algorithm>
#include <cstring>

#include "model/ImageObserver.h"

namespace tessarind {

namespace {
constexpr Zone kZones[] = {{1, 80, 40}};
constexpr TrackLayout kLayout(kZones);
// Track 0: the BAM sectors of the current directory track, so a partition uses its own.
constexpr BamRange kBamRanges[] = {{1, 40, 0, 1, 0x10, 6, 0, 1, 0x11, 6, 5},
                                   {41, 80, 0, 2, 0x10, 6, 0, 2, 0x11, 6, 5}};
const BamMap kBam(kBamRanges, kLayout);
constexpr DiskGeometry kGeometry{3, &kLayout, &kBam, D81Image::kTracks, D81Image::kSectors, D81Image::kDirTrack,
                                 D81Image::kFirstDirSector, D81Image::kDirTrack, 0, 4, D81Image::kImageBytes};
} // namespace

D81Image::D81Image(Settings* settings) : ZonedDiskImage(kGeometry, settings) { maxFileType_ = 5; }

uint8_t* D81Image::DiskNamePointer() {
    uint8_t* header = SectorPointer(dirTrack_, 0);
    return header ? header + 4 : nullptr;
}

bool D81Image::IsHeaderBlock(int track, int sector) { return track == kDirTrack && (sector == 0 || sector == 1); }

void D81Image::SetDiskId(std::span<const uint8_t, 5> id) {
    DiskImage::SetDiskId(id);
    // The BAM sectors keep a copy of the ID, which need not match the header's (another
    // tool may have written it): the copies are journalled here, the header by the caller.
    const int bamTrack = BamTrack();
    for (int s : {1, 2}) {
        uint8_t* bam = SectorPointer(bamTrack, s);
        if (!bam || std::equal(id.begin(), id.begin() + 2, bam + 4)) continue;
        RecordBlock(bamTrack, s, 4, 2);
        std::copy(id.begin(), id.begin() + 2, bam + 4);
    }
}

bool D81Image::ReplayFormatUndo(const UndoRecord& record) {
    if (record.kind != UndoKind::DiskId) return false;
    // Only the header gets the old ID back; the BAM copies return from their own records,
    // so copies that differed from the header before the change differ again after it.
    if (record.data.size() == 5) DiskImage::SetDiskId(std::span<const uint8_t, 5>(record.data.data(), 5));
    return true;
}

void D81Image::WriteDirectoryHeader(int track, bool partition) {
    uint8_t* header = SectorPointer(track, 0);
    header[0] = static_cast<uint8_t>(track);
    header[1] = kFirstDirSector;
    header[2] = 0x44;
    header[3] = 0x00;
    std::fill(header + 4, header + 0x1D, kPad);
    header[0x19] = '3';
    header[0x1A] = 'D';
    for (int s : {1, 2}) {
        uint8_t* bam = SectorPointer(track, s);
        if (partition) std::fill(bam + 8, bam + kBlockSize, 0);
        bam[0] = s == 1 ? static_cast<uint8_t>(track) : 0x00;
        bam[1] = s == 1 ? 2 : 0xFF;
        bam[2] = 0x44;
        bam[3] = 0xBB;
        bam[4] = kPad;
        bam[5] = kPad;
        bam[6] = 0xC0;
    }
    uint8_t* dir = SectorPointer(track, kFirstDirSector);
    std::fill(dir, dir + kBlockSize, 0);
    dir[1] = 0xFF;
}

void D81Image::FormatHeader() { WriteDirectoryHeader(kDirTrack, false); }

const DirLevel* D81Image::PartitionLevel() const {
    for (const DirLevel& level : dirStack_)
        if (level.type == kCbm) return &level;
    return nullptr;
}

int D81Image::BamTrack() const {
    // Each level entered through a DIR entry lies inside the directory it was entered from.
    int track = dirTrack_;
    for (const DirLevel& level : dirStack_) {
        if (level.type == kCbm) return track;
        track = level.dirTrack;
    }
    return track;
}

void D81Image::ResetBamBlocks() {
    for (int s : {1, 2})
        if (uint8_t* bam = SectorPointer(BamTrack(), s)) std::fill(bam + 16, bam + kBlockSize, 0);
}

std::vector<int> D81Image::FreeTracks() const {
    // At the top level the whole disk; inside a partition only its own tracks.
    int first = 1, count = kTracks;
    if (const DirLevel* partition = PartitionLevel()) {
        first = BamTrack();
        count = partition->blocks / kSectors;
    }
    std::vector<int> tracks;
    for (int t = first; t < first + count && t <= kTracks; ++t) tracks.push_back(t);
    return tracks;
}

void D81Image::TrackOrder(int track, std::vector<int>& order) const {
    if (track == 0) {
        for (int k = 1; k < kDirTrack; ++k) {
            order.push_back(kDirTrack - k);
            order.push_back(kDirTrack + k);
        }
    } else if (track < kDirTrack) {
        AppendRun(order, track, 1);
        AppendRun(order, kDirTrack + 1, kTracks - 1);
    } else if (track > kDirTrack && track < kTracks) {
        AppendRun(order, track, kTracks - 1); // the upper half never returns below the directory
    }
    // Inside a partition its first track holds header, BAM and directory, like track 40.
    if (const int bamTrack = BamTrack(); bamTrack != kDirTrack) std::erase(order, bamTrack);
}

std::vector<std::pair<int, int>> D81Image::FreeRuns() {
    std::vector<std::pair<int, int>> runs;
    for (int t = 1; t < kTracks; ++t) {
        if (!IsBlockFree(t, 0)) continue;
        int length = 0, end = t;
        for (int u = t; u < kTracks; ++u) {
            int s = 0;
            while (s < kSectors && IsBlockFree(u, s)) ++s;
            length += s;
            end = u;
            if (s < kSectors) break;
        }
        runs.emplace_back(t, length);
        t = end;
    }
    return runs;
}

int D81Image::LargestContiguousSpace() {
    int largest = 0;
    for (auto [track, length] : FreeRuns()) largest = std::max(largest, length);
    return largest;
}

int D81Image::StartTrackFor(int blocks) {
    int best = 0, bestLength = 0;
    for (auto [track, length] : FreeRuns())
        if (length >= blocks && (best == 0 || length < bestLength)) {
            best = track;
            bestLength = length;
        }
    return best;
}

bool D81Image::CreateSubDirectory(int index) {
    int largest = LargestContiguousSpace();
    if (largest < kMinPartitionBlocks) {
        if (directoryView_) ReportError(owner(), "Not enough contiguous space");
        return false;
    }
    long asked = largest;
    if (owner()) {
        std::optional<long> answer = owner()->AskNumber("Size of Partition in sectors:", largest);
        if (!answer) return false;
        asked = *answer;
    }
    int size = static_cast<int>(std::clamp<long>(asked, kMinPartitionBlocks, largest));
    size -= size % kSectors;
    int start = StartTrackFor(size);
    if (start == 0) {
        ReportError(owner(), "Not enough room on disk");
        return false;
    }

    Group group(*this);
    std::array<uint8_t, kSlotSize> entry{};
    entry[DirEntryOffset::type] = 0x85;
    entry[DirEntryOffset::firstTrack] = static_cast<uint8_t>(start);
    std::fill(entry.begin() + DirEntryOffset::name, entry.begin() + DirEntryOffset::name + kNameLength, kPad);
    DirEntry(entry.data()).setBlocksRaw(static_cast<uint16_t>(size));
    if (!InsertEntry(index, std::span<const uint8_t>(entry).subspan(2))) {
        ReportError(owner(), "Unable to insert sub directory");
        return false; // the group undoes itself
    }
    SnapshotBam();
    {
        SuspendRecording quiet(*this);
        for (int n = 0; n < size; ++n) {
            int t = start + n / kSectors, s = n % kSectors;
            if (IsBlockFree(t, s)) ToggleBlock(t, s);
        }
    }
    for (int s = 0; s <= kFirstDirSector; ++s) RecordBlock(start, s, 0, kBlockSize);
    WriteDirectoryHeader(start, true);

    // The new partition's own BAM: entered for a moment so that clearing works on it.
    dirStack_.push_front(DirLevel{dirTrack_, dirSector_, index, kCbm, start, 0, size});
    const int savedTrack = dirTrack_, savedSector = dirSector_;
    dirTrack_ = start;
    dirSector_ = 0;
    ClearBam();
    // The first directory block is taken too, or files could be written over it.
    if (IsBlockFree(start, kFirstDirSector)) ToggleBlock(start, kFirstDirSector);
    dirStack_.pop_front();
    dirTrack_ = savedTrack;
    dirSector_ = savedSector;

    SetModified(true);
    Refresh();
    if (directoryView_) directoryView_->StartRename(index);
    group.Close("Create Sub Directory");
    return true;
}

} // namespace tessarind
