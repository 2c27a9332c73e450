#pragma once
// Zone tables: how many sectors each track has, and where a track's first block lies in a
// flat image. Formats describe their geometry with these tables instead of code.

#include <algorithm>
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
    static constexpr int kMaxTracks = 256; // tracks looked up from the table

    constexpr explicit TrackLayout(std::span<const Zone> zones) : zones_(zones) {
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
        if (track >= 1 && track < kMaxTracks) return sectors_[track];
        int n = 0;
        for (const Zone& z : zones_)
            if (track >= z.firstTrack && track <= z.lastTrack) n = z.sectors;
        return n;
    }
    // Blocks on tracks 1 .. track-1.
    constexpr int BlocksBefore(int track) const {
        if (track < 1) return 0;
        if (track < kMaxTracks) return blocksBefore_[track];
        // Past the table (layouts of more tracks than the disks so far): counted from the
        // zones, one run of equal tracks at a time.
        int blocks = blocksBefore_[kMaxTracks - 1] + sectors_[kMaxTracks - 1];
        for (int t = kMaxTracks; t < track;) {
            int n = SectorsOnTrack(t), last = track - 1;
            for (const Zone& z : zones_) {
                if (t >= z.firstTrack && t <= z.lastTrack) last = std::min(last, z.lastTrack);
                if (z.firstTrack > t) last = std::min(last, z.firstTrack - 1);
            }
            blocks += n * (last - t + 1);
            t = last + 1;
        }
        return blocks;
    }
    // Index of (track, sector) over the whole layout, or -1 outside it.
    constexpr int BlockIndex(int track, int sector) const {
        if (sector < 0 || sector >= SectorsOnTrack(track)) return -1;
        return BlocksBefore(track) + sector;
    }

private:
    std::span<const Zone> zones_;
    // The tracks below kMaxTracks, looked up rather than counted.
    std::array<int, kMaxTracks> sectors_{};
    std::array<int, kMaxTracks> blocksBefore_{};
};

} // namespace tessarind
