#pragma once
// Zone tables: how many sectors each track has, and where a track's first block lies in a
// flat image. Formats describe their geometry with these tables instead of code.

#include <array>
#include <span>

namespace tessarind {

struct Zone {
    int firstTrack;
    int lastTrack;
    int sectors;
};

class TrackLayout {
public:
    static constexpr int kMaxTracks = 256;

    constexpr explicit TrackLayout(std::span<const Zone> zones) {
        int blocks = 0;
        for (int t = 1; t < kMaxTracks; ++t) {
            int n = 0;
            for (const Zone& z : zones)
                if (t >= z.firstTrack && t <= z.lastTrack) n = z.sectors;
            sectors_[t] = n;
            blocksBefore_[t] = blocks;
            blocks += n;
        }
    }

    constexpr int SectorsOnTrack(int track) const {
        return track >= 1 && track < kMaxTracks ? sectors_[track] : 0;
    }
    // Blocks on tracks 1 .. track-1.
    constexpr int BlocksBefore(int track) const {
        return track >= 1 && track < kMaxTracks ? blocksBefore_[track] : 0;
    }
    // Index of (track, sector) over the whole layout, or -1 outside it.
    constexpr int BlockIndex(int track, int sector) const {
        if (sector < 0 || sector >= SectorsOnTrack(track)) return -1;
        return BlocksBefore(track) + sector;
    }

private:
    std::array<int, kMaxTracks> sectors_{};
    std::array<int, kMaxTracks> blocksBefore_{};
};

} // namespace tessarind
