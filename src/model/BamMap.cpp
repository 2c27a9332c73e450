#include "model/BamMap.h"

#include <algorithm>

#include "model/DiskImage.h"
#include "model/TrackLayout.h"

namespace tessarind {

const BamRange* BamMap::Find(int track) const {
    for (const BamRange& r : ranges_)
        if (track >= r.firstTrack && track <= r.lastTrack) return &r;
    return nullptr;
}

uint8_t* BamMap::MapBase(DiskImage& image, const BamRange& r, int track) const {
    uint8_t* block = image.SectorPointer(r.mapTrack ? r.mapTrack : image.BamTrack(), r.mapSector);
    int offset = r.mapOffset + (track - r.firstTrack) * r.mapStride;
    return block && offset + r.mapBytes <= kBlockSize ? block + offset : nullptr;
}

uint8_t* BamMap::MapByte(DiskImage& image, const BamRange& r, int track, int sector) const {
    if (sector < 0 || sector >= layout_.SectorsOnTrack(track) || sector / 8 >= r.mapBytes) return nullptr;
    uint8_t* base = MapBase(image, r, track);
    return base ? base + sector / 8 : nullptr;
}

uint8_t* BamMap::CountByte(DiskImage& image, const BamRange& r, int track) const {
    if (r.countOffset < 0) return nullptr;
    uint8_t* block = image.SectorPointer(r.countTrack ? r.countTrack : image.BamTrack(), r.countSector);
    int offset = r.countOffset + (track - r.firstTrack) * r.countStride;
    return block && offset < kBlockSize ? block + offset : nullptr;
}

bool BamMap::IsFree(DiskImage& image, int track, int sector) const {
    const BamRange* r = Find(track);
    const uint8_t* byte = r ? MapByte(image, *r, track, sector) : nullptr;
    return byte && (*byte & (1u << (sector % 8))) != 0;
}

bool BamMap::AnyFree(DiskImage& image, int track, int sectors) const {
    const BamRange* r = Find(track);
    const uint8_t* base = r ? MapBase(image, *r, track) : nullptr;
    if (!base) return false;
    // The sectors IsFree can call free: below the track's count, with a byte in the map.
    const int limit = std::min({sectors, layout_.SectorsOnTrack(track), r->mapBytes * 8});
    for (int first = 0; first < limit; first += 8) {
        const int bits = std::min(limit - first, 8);
        const unsigned mask = bits == 8 ? 0xFFu : (1u << bits) - 1;
        if (base[first / 8] & mask) return true;
    }
    return false;
}

bool BamMap::Toggle(DiskImage& image, int track, int sector) const {
    const BamRange* r = Find(track);
    uint8_t* byte = r ? MapByte(image, *r, track, sector) : nullptr;
    if (!byte) return false;
    uint8_t bit = static_cast<uint8_t>(1u << (sector % 8));
    bool wasFree = (*byte & bit) != 0;
    *byte ^= bit;
    if (uint8_t* count = CountByte(image, *r, track))
        *count = static_cast<uint8_t>(wasFree ? *count - 1 : *count + 1);
    return true;
}

int BamMap::FreeOnTrack(DiskImage& image, int track) const {
    const BamRange* r = Find(track);
    const uint8_t* count = r ? CountByte(image, *r, track) : nullptr;
    return count ? *count : 0;
}

void BamMap::MarkTrackFree(DiskImage& image, int track) const {
    const BamRange* r = Find(track);
    if (!r) return;
    int sectors = layout_.SectorsOnTrack(track);
    if (uint8_t* base = MapBase(image, *r, track)) {
        for (int i = 0; i < r->mapBytes; ++i) {
            int bits = sectors - i * 8;
            base[i] = static_cast<uint8_t>(bits >= 8 ? 0xFF : bits > 0 ? (1u << bits) - 1 : 0);
        }
    }
    if (uint8_t* count = CountByte(image, *r, track)) *count = static_cast<uint8_t>(sectors);
}

void BamMap::MarkAllFree(DiskImage& image) const {
    for (const BamRange& r : ranges_)
        for (int t = r.firstTrack; t <= r.lastTrack; ++t) MarkTrackFree(image, t);
}

} // namespace tessarind
