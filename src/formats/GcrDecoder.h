#pragma once
// Reads the sectors of a GCR-level 1541 image: the offset table of its track entries, the bit
// stream of each track with its sync marks, header and data blocks in 4-to-5 group code.

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include "model/TrackLayout.h"

namespace tessarind {

// What became of one sector, as the drive would report it.
enum class GcrResult : uint8_t {
    Ok,
    HeaderBlockNotFound,
    HeaderChecksum,
    DataBlockNotPresent,
    DataChecksum,
};

struct GcrSector {
    bool found = false; // a header with this sector number and a data block after it
    GcrResult result = GcrResult::HeaderBlockNotFound;
    std::array<uint8_t, 256> data{};
};

// The sectors of full tracks 1 .. N (index track - 1), each track as many as the layout gives.
using GcrTracks = std::vector<std::vector<GcrSector>>;

// One byte from ten bits of code, first quintet in bits 9-5. An invalid quintet is kept as
// damage for the checksums to find: high, it makes the high nibble 0xF; low, the byte 0xFF.
uint8_t DecodeGcrByte(unsigned tenBits);

// The file's header fields and its offset table, read within the file's bounds.
struct G64Table {
    int entries = 0;               // half-track entries
    uint32_t maxTrackSize = 0;     // bytes scanned per entry
    std::vector<uint32_t> offsets; // 0: no data (also for table entries past the file's end)
};
G64Table ReadG64Table(std::span<const uint8_t> file);

// Decodes every entry of the table onto its full track (a half track onto the track below)
// for the tracks 1 .. lastTrack of `layout`; a sector found twice keeps the later copy.
// Each entry is scanned from its offset as the file lays it out, then once more around the
// circular track the entry stores, so that a sector across the stored data's end decodes
// too; a sector the first scan reads cleanly keeps that reading.
GcrTracks DecodeG64(std::span<const uint8_t> file, const TrackLayout& layout, int lastTrack,
                    uint8_t fill);

} // namespace tessarind
