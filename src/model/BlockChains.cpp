// Chains of linked blocks and the BAM contract shared by every format.

#include <algorithm>
#include <cstring>

#include "model/DirectoryWalk.h"
#include "model/GeosConvert.h"
#include "model/DiskImage.h"
#include "model/ImageObserver.h"
#include "model/VisitedSet.h"

namespace tessarind {

uint8_t* DiskImage::NextInChain(int& track, int& sector, const uint8_t* block) {
    if (!block) {
        if (track == 0) return nullptr;
        block = SectorPointer(track, sector);
        if (!block) return nullptr;
    }
    track = block[0];
    sector = block[1];
    return track == 0 ? nullptr : SectorPointer(track, sector);
}

int DiskImage::FileBlocks(int index) {
    DirEntry entry = EntryAt(index);
    if (!entry) return 0;
    ChainWalk walk = WalkChain(entry.firstTrack(), entry.firstSector());
    return walk.complete ? walk.blocks : 0;
}

ChainWalk DiskImage::WalkChain(int track, int sector, bool toggle, std::span<uint8_t> buffer) {
    ChainWalk walk;
    walk.lastTrack = track;
    walk.lastSector = sector;
    VisitedSet visited;
    size_t copied = 0;
    bool copying = !buffer.empty();
    int t = track, s = sector;
    const auto broken = [&walk](int bt, int bs) {
        walk.brokenTrack = bt;
        walk.brokenSector = bs;
        return walk;
    };
    while (t != 0 && t <= trackCount_) {
        if (!visited.Visit(t, s)) return broken(t, s);
        const uint8_t* block = SectorPointer(t, s);
        if (!block) return broken(t, s);
        if (toggle) ToggleBlock(t, s);
        ++walk.blocks;
        walk.lastTrack = t;
        walk.lastSector = s;
        int nextT = block[0], nextS = block[1];
        size_t give = nextT != 0 ? 254 : (nextS >= 2 ? static_cast<size_t>(nextS - 1) : 0);
        // Bytes are counted block by block, so a chain that breaks off is read up to there.
        walk.bytes += static_cast<uint32_t>(give);
        if (copying) {
            if (give <= buffer.size() - copied) {
                std::memcpy(buffer.data() + copied, block + 2, give);
                copied += give;
            } else {
                copying = false;
            }
        }
        if (nextT == 0) {
            walk.complete = true;
            return walk;
        }
        t = nextT;
        s = nextS;
    }
    walk.complete = (t == 0);
    return walk.complete ? walk : broken(t, s);
}

bool DiskImage::AnyBlockFree(int track, int sectorsOnTrack) {
    for (int s = 0; s < sectorsOnTrack; ++s)
        if (IsBlockFree(track, s)) return true;
    return false;
}

bool DiskImage::FindFreeSectorOnTrack(int track, int& sector, int interleave, int sectorsOnTrack) {
    if (IsBlockFree(track, sector)) return true;
    if (sectorsOnTrack <= 0 || !AnyBlockFree(track, sectorsOnTrack)) return false;
    int candidate = sector + interleave;
    if (candidate >= sectorsOnTrack) {
        candidate -= sectorsOnTrack;
        if (candidate > 0) --candidate;
    }
    if (candidate < 0) candidate = 0;
    candidate %= sectorsOnTrack;
    for (int i = 0; i < sectorsOnTrack; ++i) {
        if (IsBlockFree(track, candidate)) {
            sector = candidate;
            return true;
        }
        candidate = (candidate + 1) % sectorsOnTrack;
    }
    return false;
}

int DiskImage::SearchInterleave(int startTrack) const {
    if (startTrack == 0 && settings().On(SettingId::UseCustomInterleave))
        return static_cast<int>(settings().Get(SettingId::CustomInterleave) & 0xFF);
    return 10;
}

bool DiskImage::WriteChain(std::span<const uint8_t> data, int& firstTrack, int& firstSector) {
    if (data.empty()) return false;
    Group group(*this);
    int t = 0, s = 0;
    uint8_t* previous = nullptr;
    uint32_t written = 0;
    for (size_t pos = 0; pos < data.size(); pos += 254) {
        uint8_t* block = AllocateBlock(t, s, true);
        if (!block) {
            group.Abandon(written);
            return false;
        }
        RecordBlock(t, s, 0, kBlockSize);
        if (previous) {
            previous[0] = static_cast<uint8_t>(t);
            previous[1] = static_cast<uint8_t>(s);
        } else {
            firstTrack = t;
            firstSector = s;
        }
        size_t piece = std::min<size_t>(254, data.size() - pos);
        std::memcpy(block + 2, data.data() + pos, piece);
        block[0] = 0;
        block[1] = static_cast<uint8_t>(piece + 1);
        previous = block;
        ++written;
    }
    SetModified(true);
    group.Close("Import File", written);
    return true;
}

void DiskImage::FillFreeSectors() {
    const uint8_t fill = FillByte();
    bool grouped = false;
    auto journal = [&](int t, int s, int offset, int length) {
        if (!grouped) {
            BeginGroup();
            grouped = true;
        }
        RecordBlock(t, s, offset, length);
    };
    for (int t = 1; SectorPointer(t, 0); ++t) {
        for (int s = 0; uint8_t* block = SectorPointer(t, s); ++s) {
            if (!IsBlockFree(t, s)) continue;
            journal(t, s, 0, kBlockSize);
            std::memset(block, fill, kBlockSize);
        }
    }
    // The unused tail of every file's last block, sub-directories included.
    WalkDirectories(*this, true, nullptr, [&](DirEntry entry, int, WalkPath) {
        const int code = entry.typeCode();
        if (code < kSeq || code > kUsr) return true;
        ChainWalk walk = WalkChain(entry.firstTrack(), entry.firstSector());
        uint8_t* last =
            walk.complete && walk.blocks > 0 ? SectorPointer(walk.lastTrack, walk.lastSector) : nullptr;
        if (last && last[1] != 255) {
            int from = last[1] + 1;
            journal(walk.lastTrack, walk.lastSector, from, kBlockSize - from);
            std::memset(last + from, fill, static_cast<size_t>(kBlockSize - from));
        }
        return true;
    });
    if (grouped) {
        EndGroup("Fill Free Blocks");
        SetModified(true);
        Refresh(); // on a damaged disk a block the BAM calls free may hold directory entries
    }
    if (sectorEditor_) sectorEditor_->Redraw();
}

std::optional<std::vector<uint8_t>> DiskImage::ReadFileData(int index,
                                                            std::optional<ChainBreak>* broken) {
    if (broken) broken->reset();
    DirEntry entry = EntryAt(index);
    if (!entry) return std::nullopt;
    if (entry.isGeos()) return ExportConvert(*this, entry, broken);
    int code = entry.typeCode();
    if (code == kDel) return std::nullopt;
    if (code == kCbm) {
        // A partition is its blocks read consecutively, track after track.
        size_t size = static_cast<size_t>(entry.blocks()) * kBlockSize;
        std::vector<uint8_t> data;
        data.reserve(std::min<size_t>(size, store_->Size())); // the count comes from the disk
        int t = entry.firstTrack(), s = entry.firstSector();
        while (data.size() < size && t >= 1 && t <= trackCount_) {
            const uint8_t* block = SectorPointer(t, s);
            if (!block) {
                ++t;
                s = 0;
                if (!SectorPointer(t, s)) break;
                continue;
            }
            data.insert(data.end(), block, block + kBlockSize);
            ++s;
        }
        if (data.empty()) return std::nullopt;
        return data;
    }
    ChainWalk size = WalkChain(entry.firstTrack(), entry.firstSector());
    if (!size.complete && broken)
        *broken = ChainBreak{size.brokenTrack, size.brokenSector, size.bytes};
    if (size.bytes == 0) return std::nullopt;
    std::vector<uint8_t> data(size.bytes);
    WalkChain(entry.firstTrack(), entry.firstSector(), false, data);
    return data;
}

} // namespace tessarind
