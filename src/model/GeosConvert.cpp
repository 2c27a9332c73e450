#include "model/GeosConvert.h"

#include <algorithm>
#include <array>
#include <cstring>

#include "model/DiskImage.h"
#include "model/Interaction.h"

namespace tessarind {

namespace {

constexpr std::size_t kData = 254;      // the data bytes of a block
constexpr std::size_t kEntryBytes = 30; // a slot from its type byte on
constexpr std::size_t kInfoAt = 254;    // the info block's data
constexpr std::size_t kIndexAt = 508;   // a VLIR file's converted index
constexpr std::size_t kStructureAt = 30;
constexpr std::size_t kSignatureAt = 33;
constexpr char kSignature[] = " formatted GEOS file";
constexpr std::size_t kSignatureLength = sizeof kSignature - 1;
// The version that follows the signature in the Convert files of the wild; other tools take
// a file without it for a plain one.
constexpr char kVersion[] = " V1.0";
constexpr int kRecords = 127;
constexpr int kEntryBodyOffset = 2;

// Takes a free block and fills it with 254 data bytes behind the link $00 $FF, which marks
// a single block that is not part of a chain. False when the disk is full.
bool WriteLoneBlock(DiskImage& image, std::span<const uint8_t> data, int& track, int& sector) {
    track = 0;
    sector = 0;
    uint8_t* block = image.AllocateBlock(track, sector, true);
    if (!block) return false;
    image.RecordBlock(track, sector, 0, kBlockSize);
    std::memset(block, 0, kBlockSize);
    block[0] = 0;
    block[1] = 0xFF;
    std::memcpy(block + 2, data.data(), std::min(data.size(), kData));
    return true;
}

// The bytes of a converted record: all blocks but the last are full, the last holds L - 1
// (L being its DOS link value); none when the pair cannot describe a record.
std::optional<std::size_t> RecordLength(uint8_t blocks, uint8_t last) {
    if (blocks == 0 || last == 0) return std::nullopt;
    return (static_cast<std::size_t>(blocks) - 1) * kData + last - 1;
}

} // namespace

bool IsConvertFile(std::span<const uint8_t> bytes) {
    return bytes.size() >= kConvertHeaderSize &&
           std::memcmp(bytes.data() + kSignatureAt, kSignature, kSignatureLength) == 0;
}

bool ImportConvert(DiskImage& image, std::span<const uint8_t> bytes, bool interactive, int index) {
    if (!IsConvertFile(bytes)) return false;
    std::array<uint8_t, kSlotSize> slot{};
    std::copy_n(bytes.begin(), kEntryBytes, slot.begin() + kEntryBodyOffset);
    DirEntry entry(slot.data());
    // Only a DEL, SEQ, PRG or USR entry of either structure is a GEOS file: any other would
    // take the info block for side sectors or a partition.
    // A type byte of 0 is a scratched slot: the file would be written but never listed.
    if (entry.type() == 0 || (entry.type() & 4) != 0 || entry.recordLength() > 1) return false;
    const bool vlir = entry.recordLength() == 1;
    if (vlir && bytes.size() < kConvertVlirHeaderSize) return false;

    Interaction* ui = interactive ? image.owner() : nullptr;
    const auto noRoom = [ui] {
        ReportError(ui, "Not Enough Room on Disk");
        return false;
    };
    DiskImage::Group group(image);
    int t = 0, s = 0;
    if (!WriteLoneBlock(image, bytes.subspan(kInfoAt, kData), t, s)) return noRoom();
    entry.sideTrack() = static_cast<uint8_t>(t);
    entry.sideSector() = static_cast<uint8_t>(s);
    entry.firstTrack() = 0;
    entry.firstSector() = 0;

    if (!vlir) {
        const std::span<const uint8_t> data = bytes.subspan(kConvertHeaderSize);
        if (!data.empty()) {
            if (!image.WriteChain(data, t, s)) return noRoom();
            entry.firstTrack() = static_cast<uint8_t>(t);
            entry.firstSector() = static_cast<uint8_t>(s);
        }
    } else {
        std::array<uint8_t, kBlockSize> indexBlock{};
        std::size_t at = kConvertVlirHeaderSize;
        for (int k = 0; k < kRecords; ++k) {
            const uint8_t blocks = bytes[kIndexAt + 2 * static_cast<std::size_t>(k)];
            const uint8_t last = bytes[kIndexAt + 2 * static_cast<std::size_t>(k) + 1];
            if (blocks <= 1 && last == 0) break; // the end of the list
            uint8_t* pair = indexBlock.data() + 2 + 2 * k;
            const std::optional<std::size_t> length = RecordLength(blocks, last);
            if (!length || *length == 0) {
                if (blocks != 0 && !length) return false; // blocks without a last-block value
                pair[0] = 0;
                pair[1] = 0xFF;
                at += static_cast<std::size_t>(blocks) * kData;
                continue;
            }
            if (at > bytes.size() || *length > bytes.size() - at) return false;
            if (!image.WriteChain(bytes.subspan(at, *length), t, s)) return noRoom();
            pair[0] = static_cast<uint8_t>(t);
            pair[1] = static_cast<uint8_t>(s);
            at += static_cast<std::size_t>(blocks) * kData;
        }
        if (!WriteLoneBlock(image, std::span<const uint8_t>(indexBlock).subspan(2), t, s))
            return noRoom();
        entry.firstTrack() = static_cast<uint8_t>(t);
        entry.firstSector() = static_cast<uint8_t>(s);
    }
    if (!image.InsertEntry(index, std::span<const uint8_t>(slot).subspan(kEntryBodyOffset)))
        return noRoom();
    image.SetModified(true);
    group.Close("Insert File");
    return true;
}

std::optional<std::vector<uint8_t>> ExportConvert(DiskImage& image, DirEntry entry,
                                                  std::optional<ChainBreak>* broken) {
    const auto breakAt = [broken](int t, int s, uint32_t bytes) {
        if (broken && !*broken) *broken = ChainBreak{t, s, bytes};
    };
    const uint8_t* info = image.SectorPointer(entry.sideTrack(), entry.sideSector());
    if (!info) {
        breakAt(entry.sideTrack(), entry.sideSector(), 0);
        return std::nullopt;
    }
    const bool vlir = entry.recordLength() == 1;
    std::vector<uint8_t> out(vlir ? kConvertVlirHeaderSize : kConvertHeaderSize, 0);
    std::copy_n(entry.data() + kEntryBodyOffset, kEntryBytes, out.begin());
    std::memcpy(out.data() + kStructureAt, vlir ? "PRG" : "SEQ", 3);
    std::memcpy(out.data() + kSignatureAt, kSignature, kSignatureLength);
    std::memcpy(out.data() + kSignatureAt + kSignatureLength, kVersion, sizeof kVersion - 1);
    std::copy_n(info + 2, kData, out.begin() + kInfoAt);

    // Appends a chain's bytes; the walk tells its blocks and where it broke off.
    const auto appendChain = [&](int t, int s) {
        const ChainWalk walk = image.WalkChain(t, s);
        const std::size_t from = out.size();
        out.resize(from + walk.bytes);
        image.WalkChain(t, s, false, std::span<uint8_t>(out).subspan(from));
        if (!walk.complete)
            breakAt(walk.brokenTrack, walk.brokenSector,
                    static_cast<uint32_t>(out.size() - kConvertHeaderSize));
        return walk;
    };
    if (!vlir) {
        if (entry.firstTrack() != 0) appendChain(entry.firstTrack(), entry.firstSector());
        return out;
    }

    const uint8_t* index = image.SectorPointer(entry.firstTrack(), entry.firstSector());
    if (!index) {
        breakAt(entry.firstTrack(), entry.firstSector(), 0);
        return std::nullopt;
    }
    // Copied first: a record's chain may run through the index block on a damaged disk.
    std::array<uint8_t, kBlockSize> pairs;
    std::copy_n(index, kBlockSize, pairs.begin());
    std::size_t lastEnd = out.size(); // the end of the last record's bytes
    for (int k = 0; k < kRecords; ++k) {
        const uint8_t t = pairs[2 + 2 * static_cast<std::size_t>(k)];
        const uint8_t s = pairs[3 + 2 * static_cast<std::size_t>(k)];
        if (t == 0 && s == 0) break;
        const std::size_t converted = kIndexAt + 2 * static_cast<std::size_t>(k);
        if (t == 0) {
            out[converted] = 0;
            out[converted + 1] = 0xFF;
            continue;
        }
        const ChainWalk walk = appendChain(t, s);
        lastEnd = out.size();
        if (walk.blocks == 0 || !walk.complete) break; // what follows cannot be placed
        const std::size_t inLast = walk.bytes - (static_cast<std::size_t>(walk.blocks) - 1) * kData;
        out[converted] = static_cast<uint8_t>(std::min(walk.blocks, 255));
        out[converted + 1] = static_cast<uint8_t>(inLast + 1);
        out.resize(out.size() + static_cast<std::size_t>(walk.blocks) * kData - walk.bytes, 0);
    }
    out.resize(lastEnd);
    return out;
}

} // namespace tessarind
