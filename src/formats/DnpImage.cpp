#include "formats/DnpImage.h"

#include <algorithm>
#include <bit>
#include <ctime>

#include "model/FormatRegistry.h"
#include "model/ImageObserver.h"

namespace tessarind {

namespace {
constexpr size_t kTrackBytes = 65536;
constexpr int kHeaderTrack = 1, kHeaderSector = 1;
constexpr uint8_t kBamStart[] = {0x00, 0x00, 0x48, 0xB7, 'C', 'M'};
constexpr int kLastTrackOffset = 8;
} // namespace

DnpImage::DnpImage(Settings* settings) : DiskImage(FormatId::Dnp, settings) {
    maxSectors_ = kSectors;
    maxFileType_ = kDir;
    dirTrack_ = kHeaderTrack;
    dirSector_ = kFirstDirSector;
    headerTrack_ = kHeaderTrack;
    headerSector_ = kHeaderSector;
}

uint8_t* DnpImage::SectorPointer(int track, int sector) {
    if (track < 1 || track > trackCount_ || sector < 0 || sector >= kSectors) return nullptr;
    return Store().At((static_cast<size_t>(track - 1) * kSectors + static_cast<size_t>(sector)) *
                          kBlockSize,
                      kBlockSize);
}

void DnpImage::AfterLoad() {
    trackCount_ = static_cast<int>(std::min<size_t>(Store().Size() / kTrackBytes, kMaxTracks));
    if (const uint8_t* header = SectorPointer(kHeaderTrack, kHeaderSector)) {
        dirTrack_ = header[0];
        dirSector_ = header[1];
    }
}

uint8_t* DnpImage::DiskNamePointer() {
    // Inside a sub-directory its own header block carries the name.
    const bool inDir = !dirStack_.empty() && dirStack_.front().type == kDir;
    uint8_t* header =
        inDir ? SectorPointer(dirStack_.front().firstTrack, dirStack_.front().firstSector)
              : SectorPointer(kHeaderTrack, kHeaderSector);
    return header ? header + 4 : nullptr;
}

bool DnpImage::NextDirSector(int& track, int& sector) {
    if (track < 0 || sector < 0) {
        track = dirTrack_;
        sector = dirSector_;
        return true;
    }
    const uint8_t* block = SectorPointer(track, sector);
    if (!block) return false;
    if (block[0] == 0 || !SectorPointer(block[0], block[1])) {
        sector = -1; // the chain ends here; inserting grows it by a free block
        return true;
    }
    track = block[0];
    sector = block[1];
    return true;
}

bool DnpImage::FindFreeDirSector(int& track, int& sector) {
    return AllocateBlock(track, sector, false) != nullptr;
}

uint8_t* DnpImage::BamByte(int track, int sector) {
    if (track < 1 || track > trackCount_ || sector < 0 || sector >= kSectors) return nullptr;
    uint8_t* bam = SectorPointer(kHeaderTrack, track / 8 + kFirstBamSector);
    return bam ? bam + 32 * (track % 8) + sector / 8 : nullptr;
}

bool DnpImage::IsBlockFree(int track, int sector) {
    const uint8_t* byte = BamByte(track, sector);
    return byte && (*byte & (0x80 >> (sector % 8))) != 0;
}

void DnpImage::ToggleBlock(int track, int sector) {
    uint8_t* byte = BamByte(track, sector);
    if (!byte) return;
    *byte ^= static_cast<uint8_t>(0x80 >> (sector % 8));
    const uint8_t pair[2] = {static_cast<uint8_t>(track), static_cast<uint8_t>(sector)};
    Record(UndoKind::ToggleSector, track, sector, 0, pair, "Toggle Sector");
    SetModified(true);
}

void DnpImage::SnapshotBam() {
    Group group(*this);
    for (int s = kFirstBamSector; s <= kFirstDirSector; ++s)
        RecordBam(kHeaderTrack, s);
    group.Close("BAM");
}

void DnpImage::ClearBam() {
    SnapshotBam();
    // The bitmap covers all 255 tracks whatever the partition's size.
    for (int t = 1; t <= kMaxTracks; ++t) {
        uint8_t* bam = SectorPointer(kHeaderTrack, t / 8 + kFirstBamSector);
        if (!bam) continue;
        uint8_t* bits = bam + 32 * (t % 8);
        std::fill(bits, bits + 32, 0xFF);
        if (t == 1) {
            // Header, bitmap and first directory block: sectors 0 to 34.
            std::fill(bits, bits + 4, 0x00);
            bits[4] = 0x1F;
        }
    }
    SetModified(true);
}

int DnpImage::FreeBlockCount() {
    int used = 0;
    for (int t = 1; t <= trackCount_; ++t) {
        const uint8_t* bits = BamByte(t, 0);
        if (!bits) continue;
        for (int i = 0; i < 32; ++i)
            used += std::popcount(static_cast<uint8_t>(~bits[i]));
    }
    return static_cast<int>(Store().Size() / kBlockSize) - used;
}

uint8_t* DnpImage::AllocateBlock(int& track, int& sector, bool take) {
    // The start asked for is not used: blocks are always taken from the front.
    for (int t = 1; t <= trackCount_; ++t) {
        for (int s = t == 1 ? kFirstDirSector : 0; s < kSectors; ++s) {
            if (!IsBlockFree(t, s)) continue;
            if (take) ToggleBlock(t, s);
            track = t;
            sector = s;
            return SectorPointer(t, s);
        }
    }
    return nullptr;
}

bool DnpImage::IsHeaderBlock(int track, int sector) {
    return track == kHeaderTrack && sector >= kFirstBamSector && sector <= kLastBamSector;
}

long DnpImage::PartitionSize(long answer, long offered) {
    long size = answer - answer % 2;
    if (size < kSmallestSize + 1) size = kSmallestSize;
    const long most = offered - offered % 2;
    return std::min(size, most);
}

bool DnpImage::CreateEmpty() {
    return CreateSized(offeredSize_, owner() != nullptr);
}

bool DnpImage::CreateSized(long offered, bool ask) {
    long answer = offered;
    if (ask && owner()) {
        std::optional<long> given = owner()->AskNumber("Size of Partition in sectors:", offered);
        if (!given) return false;
        answer = *given;
    }
    const long sectors = PartitionSize(answer, offered);
    if (sectors < 2 * kSectors)
        return false; // smaller than two tracks: no room for the system blocks
    Store().Assign(static_cast<size_t>(sectors) * kBlockSize, FillByte());
    trackCount_ = static_cast<int>(std::min<size_t>(Store().Size() / kTrackBytes, kMaxTracks));
    uint8_t* header = SectorPointer(kHeaderTrack, kHeaderSector);
    uint8_t* bam = SectorPointer(kHeaderTrack, kFirstBamSector);
    std::fill(header, header + kBlockSize, 0);
    std::fill(bam, bam + kBlockSize, 0);
    header[0] = kHeaderTrack;
    header[1] = kFirstDirSector;
    header[2] = 0x48;
    std::fill(header + 4, header + 0x1D, kPad);
    header[0x16] = 'C';
    header[0x17] = 'M';
    header[0x19] = '1';
    header[0x1A] = 'H';
    std::copy(std::begin(kBamStart), std::end(kBamStart), bam);
    bam[kLastTrackOffset] = static_cast<uint8_t>(trackCount_);
    {
        SuspendRecording quiet(*this);
        ClearBam();
    }
    uint8_t* dir = SectorPointer(kHeaderTrack, kFirstDirSector);
    std::fill(dir, dir + kBlockSize, 0);
    dir[1] = 0xFF;
    dirTrack_ = kHeaderTrack;
    dirSector_ = kFirstDirSector;
    SetModified(false);
    return true;
}

bool DnpImage::CreateSubDirectory(int index) {
    Group group(*this);
    int ht = 0, hs = 0;
    if (!AllocateBlock(ht, hs, true)) {
        ReportError(owner(), "Not Enough Room On Disk");
        return false;
    }
    std::array<uint8_t, kSlotSize> entry{};
    DirEntry made(entry.data());
    made.type() = kTypeClosed | kDir;
    made.firstTrack() = static_cast<uint8_t>(ht);
    made.firstSector() = static_cast<uint8_t>(hs);
    std::fill(made.name().begin(), made.name().end(), kPad);
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    entry[DirEntryOffset::year] = static_cast<uint8_t>(local.tm_year % 100);
    entry[DirEntryOffset::month] = static_cast<uint8_t>(local.tm_mon + 1);
    entry[DirEntryOffset::day] = static_cast<uint8_t>(local.tm_mday);
    entry[DirEntryOffset::hour] = static_cast<uint8_t>(local.tm_hour);
    entry[DirEntryOffset::minute] = static_cast<uint8_t>(local.tm_min);
    made.setBlocksRaw(2);
    if (!InsertEntry(index, std::span<const uint8_t>(entry).subspan(2))) {
        ReportError(owner(), "Unable to insert sub directory");
        return false; // the group undoes itself
    }
    EntryLocation where;
    const int position = std::max(index, 0);
    if (!EntryAtEx(position, showDeleted(), &where)) return false;

    RecordBlock(ht, hs, 0, kBlockSize);
    uint8_t* header = SectorPointer(ht, hs);
    std::fill(header, header + kBlockSize, 0);
    header[2] = 0x48;
    std::fill(header + 4, header + 0x1D, kPad);
    header[0x16] = 0x48;
    header[0x20] = static_cast<uint8_t>(ht);
    header[0x21] = static_cast<uint8_t>(hs);
    header[0x22] = static_cast<uint8_t>(dirTrack_);
    header[0x23] = static_cast<uint8_t>(dirSector_);
    header[0x24] = static_cast<uint8_t>(where.track);
    header[0x25] = static_cast<uint8_t>(where.sector);
    header[0x26] = static_cast<uint8_t>((where.slot % kSlotsPerBlock) * kSlotSize + 2);

    int dt = 0, ds = 0;
    if (!AllocateBlock(dt, ds, true)) {
        ReportError(owner(), "Not Enough Room On Disk");
        return false;
    }
    header[0] = static_cast<uint8_t>(dt);
    header[1] = static_cast<uint8_t>(ds);
    RecordBlock(dt, ds, 0, kBlockSize);
    uint8_t* dir = SectorPointer(dt, ds);
    std::fill(dir, dir + kBlockSize, 0);
    dir[1] = 0xFF;

    SetModified(true);
    Refresh();
    group.Close("Create Sub Directory");
    if (directoryView_) directoryView_->StartRename(position);
    return true;
}

} // namespace tessarind
