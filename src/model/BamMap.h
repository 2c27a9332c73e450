#pragma once
// Block availability maps described as data: each range of tracks keeps a free count and a
// bitmap (bit s mod 8 of byte s div 8 set = sector s free) at fixed places in fixed blocks.
// One set of routines serves every format.

#include <cstdint>
#include <span>

namespace tessarind {

class DiskImage;
class TrackLayout;

struct BamRange {
    int firstTrack, lastTrack;
    // A track of 0 means the image's BamTrack (partitions carry their own BAM).
    int countTrack, countSector, countOffset, countStride; // countOffset -1: no free count
    int mapTrack, mapSector, mapOffset, mapStride;
    int mapBytes; // bitmap bytes per track
};

class BamMap {
public:
    constexpr BamMap(std::span<const BamRange> ranges, const TrackLayout& layout)
        : ranges_(ranges), layout_(layout) {}

    bool IsFree(DiskImage& image, int track, int sector) const;
    // Whether IsFree holds for any sector below `sectors`, read a bitmap byte at a time.
    bool AnyFree(DiskImage& image, int track, int sectors) const;
    // Flips the bit and moves the free count; false when the pair has no BAM place.
    bool Toggle(DiskImage& image, int track, int sector) const;
    // The free count of one track (0 when the track has no BAM place).
    int FreeOnTrack(DiskImage& image, int track) const;
    // Every sector of the track free, its count set to match.
    void MarkTrackFree(DiskImage& image, int track) const;
    void MarkAllFree(DiskImage& image) const;
    bool Covers(int track) const { return Find(track) != nullptr; }

private:
    const BamRange* Find(int track) const;
    uint8_t* MapBase(DiskImage& image, const BamRange& r, int track) const;
    uint8_t* MapByte(DiskImage& image, const BamRange& r, int track, int sector) const;
    uint8_t* CountByte(DiskImage& image, const BamRange& r, int track) const;

    std::span<const BamRange> ranges_;
    const TrackLayout& layout_;
};

} // namespace tessarind
