#include "archives/Ark.h"

#include <algorithm>

#include "archives/UnpackContext.h"
#include "model/DiskImage.h"

namespace tessarind {
namespace {

constexpr std::size_t kRecordBytes = 29;
constexpr std::size_t kArkBlock = 254;
constexpr std::size_t kShortestArchive = 30; // the count and one record

struct RecordOffset {
    static constexpr int type = 0, lastBlock = 1, name = 2, recordLength = 18, stamp = 19,
                         sideBlocks = 25, blocks = 27;
};
constexpr int kStampBytes = 5; // year, month, day, hour, minute

// The bytes a member holds: whole blocks but the last, which holds what its link byte (the
// last block value) names, that is one less than the value.
std::size_t MemberLength(std::size_t blocks, int lastBlock) {
    const std::size_t inLast = lastBlock > 0 ? static_cast<std::size_t>(lastBlock - 1) : 0;
    return blocks == 0 ? inLast : (blocks - 1) * kArkBlock + inLast;
}

} // namespace

bool UnpackArk(DiskImage& target, std::span<const uint8_t> archive, bool interactive,
               Interaction* ui) {
    UnpackContext context(target, archive, interactive, ui, target.entryCount());
    if (archive.size() < kShortestArchive) return false;
    const std::size_t count = archive[0];
    // The directory fills whole blocks, the count byte included.
    std::size_t at = (count * kRecordBytes + kArkBlock) / kArkBlock * kArkBlock;
    if (archive.size() < at) return false;
    for (std::size_t i = 0; i < count; ++i) {
        const uint8_t* record = archive.data() + 1 + i * kRecordBytes;
        const std::size_t blocks =
            record[RecordOffset::blocks] | (record[RecordOffset::blocks + 1] << 8);
        const std::size_t length = MemberLength(blocks, record[RecordOffset::lastBlock]);
        if (at > archive.size() || length > archive.size() - at) return false;
        const uint8_t type = record[RecordOffset::type] & 0xC7;
        const int typeCode = type & 7;
        auto finish = [&](DirEntry entry) {
            entry.type() = type;
            entry.setBlocksRaw(static_cast<uint16_t>(blocks));
            std::copy_n(record + RecordOffset::stamp, kStampBytes,
                        entry.data() + DirEntryOffset::year);
        };
        if (!WriteArchiveMember(context, PaddedName({record + RecordOffset::name, kNameLength}),
                                typeCode, archive.subspan(at, length),
                                record[RecordOffset::recordLength], finish))
            return false;
        // A REL member's side sectors follow its data; new ones were built for the image.
        at += blocks * kArkBlock;
        if (typeCode == kRel) at += record[RecordOffset::sideBlocks] * kArkBlock;
    }
    return true;
}

} // namespace tessarind
