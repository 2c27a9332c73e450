#include "support/DamagedImages.h"

#include <algorithm>

#include "support/ImageBuilder.h"

namespace tessarind::testing {

namespace {

uint8_t* FirstBlock(DiskImage& image, DirEntry entry) {
    return image.SectorPointer(entry.firstTrack(), entry.firstSector());
}

uint8_t* SecondBlock(DiskImage& image, DirEntry entry) {
    const uint8_t* first = FirstBlock(image, entry);
    return first ? image.SectorPointer(first[0], first[1]) : nullptr;
}

void Link(uint8_t* block, int track, int sector) {
    if (!block) return;
    block[0] = static_cast<uint8_t>(track);
    block[1] = static_cast<uint8_t>(sector);
}

} // namespace

std::vector<uint8_t> BrokenChainsDisk() {
    auto image = BlankD64("BROKEN", "BC 2A");
    DirEntry loop = AddFile(*image, {"LOOP", 0x82, Pattern(5000, 1)});
    DirEntry far = AddFile(*image, {"FAR", 0x82, Pattern(600, 2)});
    DirEntry gap = AddFile(*image, {"GAP", 0x81, Pattern(600, 3)});
    AddFile(*image, {"WHOLE", 0x81, Pattern(300, 4)});
    Link(FirstBlock(*image, loop), loop.firstTrack(), loop.firstSector());
    Link(SecondBlock(*image, far), 99, 0);
    Link(FirstBlock(*image, gap), gap.firstTrack(), 30);
    return image->Store().Snapshot();
}

std::vector<uint8_t> UnusualTypesDisk() {
    auto image = BlankD64("ODD TYPES", "OT 2A");
    AddFile(*image, {"ODD", 0xFF, Pattern(600, 5)});
    AddFile(*image, {"SEVEN", 0x87, Pattern(600, 6)});
    DirEntry dirLike = AddFile(*image, {"DIRLIKE", 0x86, Pattern(600, 7)});
    // Entered as a sub-directory, the second block would list INNER and take 30/0 for it.
    if (uint8_t* listing = SecondBlock(*image, dirLike)) {
        std::fill(listing + 2, listing + kBlockSize, 0);
        uint8_t* slot = listing; // slot 0: its bytes 0-1 are the block's link
        slot[2] = 0x82;
        slot[3] = 30;
        slot[4] = 0;
        const auto name = RawName("INNER");
        std::copy(name.begin(), name.end(), slot + 5);
    }
    return image->Store().Snapshot();
}

std::vector<uint8_t> ResizedDisk(size_t size) {
    auto image = BlankD64("RESIZED", "RS 2A");
    AddFile(*image, {"ONE", 0x82, Pattern(300, 8)});
    std::vector<uint8_t> bytes = image->Store().Snapshot();
    bytes.resize(size, 0x5A);
    return bytes;
}

} // namespace tessarind::testing
