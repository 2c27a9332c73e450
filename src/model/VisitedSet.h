#pragma once
// One bit per (track, sector) with track 1..256 and sector 0..255; the loop guard of every
// walk over chains and directories.

#include <bitset>

namespace tessarind {

class VisitedSet {
public:
    // Marks the pair; false when it was already marked or lies outside the set (which counts
    // as visited, so a walk stops there).
    bool Visit(int track, int sector) {
        if (track < 1 || track > 256 || sector < 0 || sector > 255) return false;
        size_t bit = static_cast<size_t>(track - 1) * 256 + static_cast<size_t>(sector);
        if (bits_.test(bit)) return false;
        bits_.set(bit);
        return true;
    }
    bool Contains(int track, int sector) const {
        if (track < 1 || track > 256 || sector < 0 || sector > 255) return true;
        return bits_.test(static_cast<size_t>(track - 1) * 256 + static_cast<size_t>(sector));
    }

private:
    std::bitset<65536> bits_;
};

} // namespace tessarind
