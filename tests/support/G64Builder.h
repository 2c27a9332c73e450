#pragma once
// Builds GCR-level 1541 images in code: tracks written bit by bit (syncs, header and data
// blocks in group code, gaps), and the file around them.

#include <array>
#include <cstdint>
#include <span>
#include <vector>

#include "model/DiskImage.h"

namespace tessarind::testing {

// The five code bits of each nibble, the drive's 4-to-5 group code.
inline constexpr std::array<uint8_t, 16> kGcrQuintets = {
    0x0A, 0x0B, 0x12, 0x13, 0x0E, 0x0F, 0x16, 0x17, 0x09, 0x19, 0x1A, 0x1B, 0x0D, 0x1D, 0x1E, 0x15};

// Ten code bits of a byte, high nibble first.
inline unsigned EncodeGcrByte(uint8_t byte) {
    return (unsigned{kGcrQuintets[byte >> 4]} << 5) | kGcrQuintets[byte & 0x0F];
}

class GcrTrackWriter {
public:
    void Bits(unsigned value, int count); // the low `count` bits, highest first
    void Ones(int count);
    void Byte(uint8_t byte) { Bits(EncodeGcrByte(byte), 10); }
    void Gap(int bytes); // 0x55 filler, as written between blocks
    void Sync(int ones = 40) { Ones(ones); }
    // A header block with its checksum (plus `checksumDelta` to damage it).
    void Header(int track, int sector, uint8_t id1 = 'A', uint8_t id2 = 'B',
                uint8_t checksumDelta = 0);
    // A data block: 0x07, the 256 bytes, their checksum (plus the delta), two zero bytes.
    void Data(std::span<const uint8_t> block, uint8_t checksumDelta = 0);
    // Sync, header, gap, sync, data, gap: one sector as the drive formats it.
    void Sector(int track, int sector, std::span<const uint8_t> block);

    size_t BitCount() const { return bits_; }
    // The bits so far, the last byte filled with zeros.
    const std::vector<uint8_t>& Bytes() const { return bytes_; }

private:
    std::vector<uint8_t> bytes_;
    size_t bits_ = 0;
};

// Every sector of a track of `image` in order, as a formatted track holds them.
std::vector<uint8_t> TrackOf(DiskImage& image, int track);

// A GCR file: one entry per half track (empty: offset 0), each entry's data preceded by its
// length and padded with 0xFF to the largest track size.
std::vector<uint8_t> BuildG64(const std::vector<std::vector<uint8_t>>& entries,
                              uint16_t maxTrackSize = 7928);

// The entries of a whole disk: full tracks 1 .. tracks from the image, half tracks empty.
std::vector<std::vector<uint8_t>> EntriesOf(DiskImage& image, int tracks, int entryCount = 84);

// Entry k of a file BuildG64 made, as its offset table points at it: {offset, stored length}.
std::pair<size_t, size_t> EntryPlace(std::span<const uint8_t> file, int k);

} // namespace tessarind::testing
