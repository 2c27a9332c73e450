#include "formats/GcrDecoder.h"

#include <algorithm>
#include <bit>

namespace tessarind {

namespace {

constexpr uint8_t kInvalid = 0xFF;

// Quintet to nibble; every quintet not listed is invalid.
constexpr std::array<uint8_t, 32> kQuintets = [] {
    std::array<uint8_t, 32> table{};
    table.fill(kInvalid);
    constexpr uint8_t codes[16] = {0x0A, 0x0B, 0x12, 0x13, 0x0E, 0x0F, 0x16, 0x17,
                                   0x09, 0x19, 0x1A, 0x1B, 0x0D, 0x1D, 0x1E, 0x15};
    for (uint8_t nibble = 0; nibble < 16; ++nibble)
        table[codes[nibble]] = nibble;
    return table;
}();

constexpr size_t kHeaderBytes = 8;
constexpr size_t kDataBytes = 260;
constexpr size_t kHeaderBits = kHeaderBytes * 10;
constexpr size_t kDataBits = kDataBytes * 10;
// After a data block the scan goes on from this far past its start.
constexpr size_t kDataSkipBits = 2080;
// A sync is a run of more than this many one-bits.
constexpr int kSyncOnes = 10;

constexpr uint8_t kHeaderId = 0x08;

// `count` bits read from bit `start` of `bytes` onwards, most significant bit of a byte first,
// going round to the first byte after the last one. Every position lies within `bytes`.
class BitRing {
public:
    // `start` is a byte boundary, so bit i starts a stored byte when i does.
    BitRing(std::span<const uint8_t> bytes, size_t startByte, size_t count)
        : bytes_(bytes), total_(bytes.size() * 8),
          start_(bytes.empty() ? 0 : (startByte % bytes.size()) * 8),
          count_(std::min(count, total_)) {}

    size_t Count() const { return count_; }
    unsigned Bit(size_t i) const {
        const size_t p = Position(i);
        return (bytes_[p >> 3] >> (7 - (p & 7))) & 1u;
    }
    // The stored byte that starts at bit i (a multiple of 8).
    uint8_t Whole(size_t i) const { return bytes_[Position(i) >> 3]; }
    // One byte from the ten code bits at i.
    uint8_t Byte(size_t i) const {
        const size_t p = Position(i);
        const size_t k = p >> 3;
        const size_t k1 = k + 1 == bytes_.size() ? 0 : k + 1;
        const size_t k2 = k1 + 1 == bytes_.size() ? 0 : k1 + 1;
        const uint32_t window =
            uint32_t{bytes_[k]} << 16 | uint32_t{bytes_[k1]} << 8 | uint32_t{bytes_[k2]};
        return DecodeGcrByte((window >> (14 - (p & 7))) & 0x3FF);
    }

private:
    size_t Position(size_t i) const {
        size_t p = i + start_;
        return p >= total_ ? p - total_ : p;
    }
    std::span<const uint8_t> bytes_;
    size_t total_;
    size_t start_;
    size_t count_;
};

// Scans one bit stream for header and data blocks; a sector found is put into its slot (a
// later copy over an earlier one), sector numbers past the slots are passed over. `inside`
// tells for each slot whether its data block ended within the first `insideBits` bits.
void ScanTrack(const BitRing& bits, uint8_t fill, std::vector<GcrSector>& slots, size_t insideBits,
               std::vector<uint8_t>& inside) {
    inside.assign(slots.size(), 0);
    const size_t count = bits.Count();
    std::array<uint8_t, kHeaderBytes> header{};
    header.fill(0xFF);
    std::array<uint8_t, kDataBytes> block{};
    bool expectHeader = true;
    bool headerDamaged = false;
    int run = 0;
    for (size_t i = 0; i < count;) {
        // A whole byte at a time while no sync can end inside it: ones run on, or the run
        // that reaches its first zero is too short and the byte's last ones start the next.
        if (i % 8 == 0 && i + 8 <= count) {
            const uint8_t byte = bits.Whole(i);
            if (byte == 0xFF) {
                run += 8;
                i += 8;
                continue;
            }
            const int leading = std::countl_one(byte);
            if (run + leading <= kSyncOnes) {
                run = std::countr_one(byte);
                i += 8;
                continue;
            }
        }
        if (bits.Bit(i)) {
            ++run;
            ++i;
            continue;
        }
        if (run <= kSyncOnes) {
            run = 0;
            ++i;
            continue;
        }
        // The sync ends here; this zero-bit is the block's first bit.
        run = 0;
        if (expectHeader) {
            header.fill(0xFF);
            headerDamaged = false;
            if (i + kHeaderBits <= count) {
                for (size_t b = 0; b < kHeaderBytes; ++b)
                    header[b] = bits.Byte(i + b * 10);
                headerDamaged = (header[2] ^ header[3] ^ header[4] ^ header[5]) != header[1];
            }
            expectHeader = false;
            i += kHeaderBits;
            continue;
        }
        const size_t start = i;
        const bool present = start + kDataBits <= count;
        if (present) {
            for (size_t b = 0; b < kDataBytes; ++b)
                block[b] = bits.Byte(start + b * 10);
        }
        i += kDataSkipBits;
        expectHeader = true;
        if (header[0] != kHeaderId) continue;
        GcrResult result = headerDamaged ? GcrResult::HeaderChecksum : GcrResult::Ok;
        if (!present) {
            result = GcrResult::DataBlockNotPresent;
        } else {
            uint8_t sum = 0;
            for (size_t b = 1; b <= 256; ++b)
                sum ^= block[b];
            if (sum != block[257]) result = GcrResult::DataChecksum;
        }
        const size_t sector = header[2];
        if (sector >= slots.size()) continue;
        GcrSector& slot = slots[sector];
        slot.found = true;
        inside[sector] = start + kDataBits <= insideBits;
        slot.result = result;
        if (present)
            std::copy(block.begin() + 1, block.begin() + 257, slot.data.begin());
        else
            slot.data.fill(fill);
    }
}

uint32_t ReadLe(std::span<const uint8_t> file, size_t at, size_t size) {
    uint32_t value = 0;
    for (size_t b = size; b-- > 0;)
        value = (value << 8) | (at + b < file.size() ? file[at + b] : 0u);
    return value;
}

} // namespace

uint8_t DecodeGcrByte(unsigned tenBits) {
    const uint8_t high = kQuintets[(tenBits >> 5) & 0x1F];
    const uint8_t low = kQuintets[tenBits & 0x1F];
    if (low == kInvalid) return 0xFF;
    return static_cast<uint8_t>(((high == kInvalid ? 0x0F : high) << 4) | low);
}

G64Table ReadG64Table(std::span<const uint8_t> file) {
    G64Table table;
    if (file.size() < 12) return table;
    table.entries = file[9];
    table.maxTrackSize = ReadLe(file, 10, 2);
    table.offsets.resize(static_cast<size_t>(table.entries));
    for (size_t k = 0; k < table.offsets.size(); ++k) {
        const size_t at = 12 + 4 * k;
        table.offsets[k] = at + 4 <= file.size() ? ReadLe(file, at, 4) : 0;
    }
    return table;
}

GcrTracks DecodeG64(std::span<const uint8_t> file, const TrackLayout& layout, int lastTrack,
                    uint8_t fill) {
    GcrTracks tracks(static_cast<size_t>(std::max(lastTrack, 0)));
    for (int t = 1; t <= lastTrack; ++t)
        tracks[static_cast<size_t>(t - 1)].resize(static_cast<size_t>(layout.SectorsOnTrack(t)));
    const G64Table table = ReadG64Table(file);
    std::vector<GcrSector> linear, circular;
    std::vector<uint8_t> linearInside, circularInside;
    for (int k = 0; k < table.entries; ++k) {
        const int track = k / 2 + 1;
        const uint32_t offset = table.offsets[static_cast<size_t>(k)];
        if (track > lastTrack || offset == 0 || offset >= file.size()) continue;
        std::vector<GcrSector>& sectors = tracks[static_cast<size_t>(track - 1)];

        // As the file lays the entry out: from its offset (length bytes included) over the
        // largest track size, never past the end of the file.
        const std::span<const uint8_t> stream =
            file.subspan(offset, std::min<size_t>(table.maxTrackSize, file.size() - offset));
        const size_t dataStart = static_cast<size_t>(offset) + 2;
        const size_t stored = dataStart < file.size()
                                  ? std::min<size_t>({ReadLe(file, offset, 2), table.maxTrackSize,
                                                      file.size() - dataStart})
                                  : 0;
        linear.assign(sectors.size(), GcrSector{});
        ScanTrack(BitRing(stream, 0, stream.size() * 8), fill, linear, (2 + stored) * 8,
                  linearInside);

        // Round the track as stored: a capture starts anywhere on the circle, so its first
        // and last bytes are neighbours. The scan starts half a turn in, which puts the join
        // in the middle of the stream.
        circular.assign(sectors.size(), GcrSector{});
        const std::span<const uint8_t> ring =
            file.subspan(std::min(dataStart, file.size()), stored);
        ScanTrack(BitRing(ring, ring.size() / 2, ring.size() * 8), fill, circular, ring.size() * 8,
                  circularInside);

        // A data block the first scan decoded from bytes past the stored data (the padding
        // after it, or the next entry) was not read from the track: the reading round the
        // circle counts then. One it found no room for is told as not present.
        for (size_t s = 0; s < sectors.size(); ++s) {
            const GcrSector& first = linear[s];
            const GcrSector& round = circular[s];
            const bool firstRead =
                first.found && (linearInside[s] || first.result == GcrResult::DataBlockNotPresent);
            if (firstRead && first.result == GcrResult::Ok)
                sectors[s] = first;
            else if (round.found && (round.result == GcrResult::Ok || !firstRead))
                sectors[s] = round;
            else if (first.found)
                sectors[s] = first;
        }
    }
    return tracks;
}

} // namespace tessarind
