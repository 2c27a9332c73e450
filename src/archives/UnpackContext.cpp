#include "archives/UnpackContext.h"

#include <algorithm>

#include "model/DiskImage.h"
#include "model/Interaction.h"

namespace tessarind {

void UnpackContext::Tell(const std::string& text) const {
    if (interactive) ReportError(ui, text);
}

int MemberTypeOfLetter(uint8_t letter) {
    switch (letter) {
    case 'D':
    case 'd':
        return kDel;
    case 'S':
    case 's':
        return kSeq;
    case 'U':
    case 'u':
        return kUsr;
    case 'R':
    case 'r':
        return kRel;
    default:
        return kPrg;
    }
}

std::array<uint8_t, kNameLength> PaddedName(std::span<const uint8_t> bytes) {
    std::array<uint8_t, kNameLength> name;
    name.fill(kPad);
    std::copy_n(bytes.begin(), std::min<std::size_t>(bytes.size(), kNameLength), name.begin());
    return name;
}

bool WriteArchiveMember(UnpackContext& context, std::span<const uint8_t, kNameLength> name,
                        int typeCode, std::span<const uint8_t> data, int recordLength,
                        const std::function<void(DirEntry)>& finish) {
    DiskImage& image = context.target;
    std::array<uint8_t, kSlotSize> slot{};
    DirEntry entry(slot.data());
    int track = 0, sector = 0;
    if (!data.empty() && !image.WriteChain(data, track, sector)) return false;
    entry.firstTrack() = static_cast<uint8_t>(track);
    entry.firstSector() = static_cast<uint8_t>(sector);
    if ((typeCode & 7) == kRel && !data.empty()) {
        const int length = std::clamp(recordLength, 1, 254);
        std::optional<std::pair<int, int>> side = image.CreateSideSectors(track, sector, length);
        if (side && side->first != 0 && image.UsesSuperSideSector())
            side = image.CreateSuperSideSector(*side);
        if (!side) return false;
        entry.sideTrack() = static_cast<uint8_t>(side->first);
        entry.sideSector() = static_cast<uint8_t>(side->second);
        entry.recordLength() = static_cast<uint8_t>(length);
    }
    entry.type() = static_cast<uint8_t>((typeCode & 7) | kTypeClosed);
    std::copy(name.begin(), name.end(), entry.name().begin());
    entry.setBlocksRaw(static_cast<uint16_t>(std::min<std::size_t>((data.size() + 253) / 254, 0xFFFF)));
    if (finish) finish(entry);
    if (!image.InsertEntry(context.nextIndex, std::span<const uint8_t>(slot).subspan(2))) return false;
    ++context.nextIndex;
    return true;
}

} // namespace tessarind
