#include "support/UnpackedMembers.h"

#include <algorithm>

#include "formats/D64Image.h"
#include "formats/D81Image.h"

namespace tessarind::testing {

std::vector<UnpackedMember> UnpackedMembers(DiskImage& image) {
    std::vector<UnpackedMember> members;
    for (int i = 0; i < image.entryCount(); ++i) {
        DirEntry entry = image.EntryAt(i);
        if (!entry) break;
        UnpackedMember member;
        std::copy(entry.name().begin(), entry.name().end(), member.name.begin());
        member.type = entry.type();
        member.blocks = entry.blocks();
        member.recordLength = entry.recordLength();
        member.hasSideSectors = entry.sideTrack() != 0;
        std::copy_n(entry.data() + DirEntryOffset::year, 5, member.stamp.begin());
        if (entry.firstTrack() != 0)
            member.data = image.ReadFileData(i).value_or(std::vector<uint8_t>{});
        members.push_back(std::move(member));
    }
    return members;
}

std::unique_ptr<DiskImage> BlankTarget(bool large) {
    std::unique_ptr<DiskImage> image;
    if (large)
        image = std::make_unique<D81Image>();
    else
        image = std::make_unique<D64Image>();
    if (!image->Open(nullptr, "", false, true)) return nullptr;
    return image;
}

} // namespace tessarind::testing
