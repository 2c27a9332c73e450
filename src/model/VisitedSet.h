#pragma once
// A set of (track, sector) pairs with track 1..256 and sector 0..255; the loop guard of every
// walk over chains and directories.
//
// Most walks are short (a directory, a file of a few blocks) and sets are made by the
// thousand, so the first pairs are kept in a small array and the full bitmap of 65536 bits is
// only made once a walk grows past it.

#include <array>
#include <bitset>
#include <cstdint>
#include <memory>

namespace tessarind {

class VisitedSet {
public:
    // Marks the pair; false when it was already marked or lies outside the set (which counts
    // as visited, so a walk stops there).
    bool Visit(int track, int sector) {
        if (!Inside(track, sector)) return false;
        const uint16_t key = Key(track, sector);
        if (!bits_) {
            for (int i = 0; i < count_; ++i)
                if (few_[static_cast<size_t>(i)] == key) return false;
            if (count_ < kFew) {
                few_[static_cast<size_t>(count_++)] = key;
                return true;
            }
            bits_ = std::make_unique<std::bitset<kPairs>>();
            for (uint16_t k : few_)
                bits_->set(k);
        }
        if (bits_->test(key)) return false;
        bits_->set(key);
        return true;
    }
    bool Contains(int track, int sector) const {
        if (!Inside(track, sector)) return true;
        const uint16_t key = Key(track, sector);
        if (bits_) return bits_->test(key);
        for (int i = 0; i < count_; ++i)
            if (few_[static_cast<size_t>(i)] == key) return true;
        return false;
    }

private:
    static constexpr int kFew = 48;
    static constexpr size_t kPairs = 65536;

    static bool Inside(int track, int sector) {
        return track >= 1 && track <= 256 && sector >= 0 && sector <= 255;
    }
    static uint16_t Key(int track, int sector) {
        return static_cast<uint16_t>((track - 1) * 256 + sector);
    }

    std::array<uint16_t, kFew> few_;
    int count_ = 0;
    std::unique_ptr<std::bitset<kPairs>> bits_;
};

} // namespace tessarind
