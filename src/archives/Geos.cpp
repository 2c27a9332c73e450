#include "archives/Geos.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <optional>
#include <vector>

#include "archives/UnpackContext.h"
#include "model/DiskImage.h"
#include "model/GeosConvert.h"

namespace tessarind {

namespace {

constexpr uint8_t kMagic[] = {0xFF, 0x42, 0x4C, 0xFF};
constexpr std::size_t kWindowSize = 4096;
constexpr int kFirstOffsetWidth = 8;
// Offsets name window positions, so a wider offset than the window needs is a broken stream.
constexpr int kMaxOffsetWidth = 13;
// Larger than any disk holds: a stream that unpacks to more is not a file of a disk.
constexpr std::size_t kMaxUnpacked = 16u << 20;
constexpr std::size_t kEntryBytes = 8;   // copied into the entry from its byte 23 on
constexpr std::size_t kDataAt = 9;       // after the entry bytes and one unused byte
constexpr std::size_t kInfoAt = kDataAt; // a GEOS file's info block data
constexpr std::size_t kBlockData = 254;
constexpr std::size_t kGeosDataAt = kInfoAt + kBlockData;    // 263
constexpr std::size_t kRecordsAt = kGeosDataAt + kBlockData; // 517
constexpr int kRecords = 127;

// Reads bits most significant first; false once the input is used up.
struct BitReader {
    UnpackContext& in;
    bool Bits(int count, unsigned& value) {
        value = 0;
        for (int i = 0; i < count; ++i) {
            if (in.Remaining() == 0) return false;
            if (in.bitMask == 0) in.bitMask = 0x80;
            value = (value << 1) | ((in.bytes[in.cursor] & in.bitMask) ? 1u : 0u);
            in.bitMask >>= 1;
            if (in.bitMask == 0) ++in.cursor;
        }
        return true;
    }
    void ToByteBoundary() {
        if (in.bitMask != 0) ++in.cursor;
        in.bitMask = 0;
    }
};

// Decodes one file's stream into `out`; false when it breaks off, names a position outside
// the window or unpacks to more than any disk holds.
bool DecodeStream(UnpackContext& context, std::vector<uint8_t>& out) {
    BitReader bits{context};
    std::array<uint8_t, kWindowSize> window{};
    std::size_t at = 0;
    int width = kFirstOffsetWidth;
    const auto put = [&](uint8_t byte) {
        window[at++] = byte;
        if (at < kWindowSize) return true;
        out.insert(out.end(), window.begin(), window.end());
        at = 0;
        return out.size() <= kMaxUnpacked;
    };
    for (;;) {
        unsigned flag = 0, value = 0;
        if (!bits.Bits(1, flag)) return false;
        if (flag == 0) {
            if (!bits.Bits(8, value) || !put(static_cast<uint8_t>(value))) return false;
            continue;
        }
        if (!bits.Bits(width, value)) return false;
        if (value == 0) {
            unsigned widen = 0;
            if (!bits.Bits(1, widen)) return false;
            if (widen == 0) break;
            if (++width > kMaxOffsetWidth) return false;
            continue;
        }
        unsigned count = 0;
        if (!bits.Bits(5, count)) return false;
        std::size_t from = value - 1;
        if (from >= kWindowSize) return false;
        for (unsigned i = 0; i < count; ++i) {
            // Copied one by one: a copy may read the bytes it has just written.
            if (!put(window[from])) return false;
            from = (from + 1) % kWindowSize;
        }
    }
    out.insert(out.end(), window.begin(), window.begin() + static_cast<std::ptrdiff_t>(at));
    bits.ToByteBoundary();
    return out.size() <= kMaxUnpacked;
}

// The blocks a chain of `bytes` bytes takes.
uint16_t ChainBlocks(std::size_t bytes) {
    return static_cast<uint16_t>(
        std::min<std::size_t>((bytes + kBlockData - 1) / kBlockData, 0xFFFF));
}

// Takes a free block for 254 bytes of data behind the link $00 $FF.
bool WriteLoneBlock(DiskImage& image, std::span<const uint8_t> data, uint8_t& track,
                    uint8_t& sector) {
    int t = 0, s = 0;
    uint8_t* block = image.AllocateBlock(t, s, true);
    if (!block) return false;
    image.RecordBlock(t, s, 0, kBlockSize);
    block[0] = 0;
    block[1] = 0xFF;
    std::copy_n(data.begin(), kBlockData, block + 2);
    track = static_cast<uint8_t>(t);
    sector = static_cast<uint8_t>(s);
    return true;
}

// Writes a GEOS file unpacked to `data` (entry bytes, info block, data or index and
// records) into the entry `entry` (name and type already set) and lists it.
bool WriteGeosFile(UnpackContext& context, DirEntry entry, std::span<const uint8_t> data) {
    DiskImage& image = context.target;
    if (data.size() <= kRecordsAt + 1) return false;
    if (!WriteLoneBlock(image, data.subspan(kInfoAt, kBlockData), entry.sideTrack(),
                        entry.sideSector()))
        return false;
    std::size_t blocks = 1;
    int t = 0, s = 0;
    if (entry.recordLength() != 1) {
        const std::span<const uint8_t> body = data.subspan(kGeosDataAt);
        if (!body.empty()) {
            if (!image.WriteChain(body, t, s)) return false;
            entry.firstTrack() = static_cast<uint8_t>(t);
            entry.firstSector() = static_cast<uint8_t>(s);
        }
        blocks += ChainBlocks(body.size());
    } else {
        std::array<uint8_t, kBlockSize> index{};
        std::copy_n(data.begin() + kGeosDataAt, kBlockData, index.begin() + 2);
        std::array<bool, kRecords> written{};
        std::size_t at = kRecordsAt;
        for (int k = 0; k < kRecords && at < data.size(); ++k) {
            std::vector<uint8_t> record;
            for (bool more = true; more;) {
                if (data.size() - at < 2) return false;
                const unsigned header = data[at] | (data[at + 1] << 8);
                at += 2;
                const std::size_t length = header & 0x7FFF;
                more = (header & 0x8000) != 0;
                if (length > data.size() - at) return false;
                record.insert(record.end(), data.begin() + static_cast<std::ptrdiff_t>(at),
                              data.begin() + static_cast<std::ptrdiff_t>(at + length));
                at += length;
            }
            if (record.size() <= 2) continue;
            // The last two bytes of a record are not part of its data.
            const std::span<const uint8_t> body(record.data(), record.size() - 2);
            if (!image.WriteChain(body, t, s)) return false;
            index[2 + 2 * static_cast<std::size_t>(k)] = static_cast<uint8_t>(t);
            index[3 + 2 * static_cast<std::size_t>(k)] = static_cast<uint8_t>(s);
            written[static_cast<std::size_t>(k)] = true;
            blocks += ChainBlocks(body.size());
        }
        // A record the archive brought no data for must not point at blocks of the disk.
        for (int k = 0; k < kRecords; ++k) {
            uint8_t* pair = index.data() + 2 + 2 * k;
            if (!written[static_cast<std::size_t>(k)] && pair[0] != 0) {
                pair[0] = 0;
                pair[1] = 0xFF;
            }
        }
        if (!WriteLoneBlock(image, std::span<const uint8_t>(index).subspan(2), entry.firstTrack(),
                            entry.firstSector()))
            return false;
        ++blocks;
    }
    entry.setBlocksRaw(static_cast<uint16_t>(std::min<std::size_t>(blocks, 0xFFFF)));
    if (!image.InsertEntry(context.nextIndex,
                           std::span<const uint8_t>(entry.data() + 2, kSlotSize - 2)))
        return false;
    ++context.nextIndex;
    return true;
}

// Unpacks the file at the context's cursor.
bool UnpackWraptorFile(UnpackContext& context) {
    if (context.Remaining() < sizeof kMagic ||
        !std::equal(std::begin(kMagic), std::end(kMagic),
                    context.bytes.begin() + static_cast<std::ptrdiff_t>(context.cursor))) {
        context.Tell("Error decompressing");
        return false;
    }
    context.cursor += sizeof kMagic;
    const std::size_t nameAt = context.cursor;
    while (context.Remaining() > 0 && context.bytes[context.cursor] != 0)
        ++context.cursor;
    if (context.Remaining() < 2) return false; // the zero byte and the type byte
    const std::array<uint8_t, kNameLength> name =
        PaddedName(context.bytes.subspan(nameAt, context.cursor - nameAt));
    const uint8_t type = context.bytes[context.cursor + 1];
    context.cursor += 2;
    context.bitMask = 0;

    std::vector<uint8_t> data;
    if (!DecodeStream(context, data)) {
        context.Tell("Error decompressing");
        return false;
    }
    context.cursor = std::min(context.bytes.size(), context.cursor + 2);

    const uint8_t typeByte = static_cast<uint8_t>((type - 1) | kTypeClosed);
    const auto copyEntryBytes = [&data](DirEntry entry) {
        std::copy_n(data.begin(), kEntryBytes, entry.data() + DirEntryOffset::recordLength);
    };
    if (type >= 1 && type <= 3) {
        if (data.size() < kDataAt) return false;
        const std::span<const uint8_t> body = std::span<const uint8_t>(data).subspan(kDataAt);
        return WriteArchiveMember(context, name, type - 1, body, 0, [&](DirEntry entry) {
            copyEntryBytes(entry);
            entry.setBlocksRaw(ChainBlocks(body.size()));
        });
    }
    std::array<uint8_t, kSlotSize> slot{};
    DirEntry entry(slot.data());
    entry.type() = typeByte;
    std::copy(name.begin(), name.end(), entry.name().begin());
    if (data.size() < kEntryBytes) return false;
    copyEntryBytes(entry);
    // Only a DEL, SEQ, PRG or USR entry of either structure is a GEOS file: any other would
    // take the info block for side sectors or a partition.
    if ((typeByte & 4) != 0 || entry.recordLength() > 1) return false;
    return WriteGeosFile(context, entry, data);
}

} // namespace

bool UnpackConvert(DiskImage& target, std::span<const uint8_t> archive, bool interactive,
                   Interaction*) {
    return ImportConvert(target, archive, interactive, target.entryCount());
}

bool UnpackWraptor(DiskImage& target, std::span<const uint8_t> archive, bool interactive,
                   Interaction* ui) {
    UnpackContext context(target, archive, interactive, ui, target.entryCount());
    while (context.Remaining() > 0)
        if (!UnpackWraptorFile(context)) return false;
    return true;
}

} // namespace tessarind
