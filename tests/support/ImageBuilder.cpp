#include "support/ImageBuilder.h"

#include <algorithm>

#include "model/VisitedSet.h"

namespace tessarind::testing {

std::array<uint8_t, 16> RawName(std::string_view bytes) {
    std::array<uint8_t, 16> name;
    name.fill(kPad);
    for (size_t i = 0; i < bytes.size() && i < 16; ++i) name[i] = static_cast<uint8_t>(bytes[i]);
    return name;
}

std::unique_ptr<D64Image> BlankD64(std::string_view diskName, std::string_view id, Settings* settings) {
    auto image = std::make_unique<D64Image>(settings);
    image->Open(nullptr, "", false, true);
    std::array<uint8_t, 16> name = RawName(diskName);
    std::copy(name.begin(), name.end(), image->DiskNamePointer());
    std::array<uint8_t, 5> idBytes{kPad, kPad, kPad, '2', 'A'};
    for (size_t i = 0; i < id.size() && i < 5; ++i) idBytes[i] = id[i] == ' ' ? kPad : static_cast<uint8_t>(id[i]);
    image->SetDiskId(idBytes);
    image->SetModified(false);
    return image;
}

static uint8_t* FreeSlot(DiskImage& image) {
    VisitedSet visited;
    int t = image.dirTrack(), s = image.dirSector();
    uint8_t* last = nullptr;
    while (t != 0 && visited.Visit(t, s)) {
        uint8_t* block = image.SectorPointer(t, s);
        if (!block) return nullptr;
        for (int i = 0; i < kSlotsPerBlock; ++i)
            if (block[i * kSlotSize + 2] == 0) return block + i * kSlotSize;
        last = block;
        t = block[0];
        s = block[1];
    }
    int nt = 0, ns = 0;
    if (!last || !image.FindFreeDirSector(nt, ns)) return nullptr;
    uint8_t* fresh = image.SectorPointer(nt, ns);
    std::fill(fresh, fresh + kBlockSize, 0);
    fresh[1] = 0xFF;
    last[0] = static_cast<uint8_t>(nt);
    last[1] = static_cast<uint8_t>(ns);
    image.ToggleBlock(nt, ns);
    return fresh;
}

DirEntry AddFile(DiskImage& image, const FileSpec& file) {
    int t = 0, s = 0;
    if (!file.data.empty() && !image.WriteChain(file.data, t, s)) return DirEntry();
    uint8_t* slot = FreeSlot(image);
    if (!slot) return DirEntry();
    DirEntry entry(slot);
    std::fill(slot + 2, slot + kSlotSize, 0);
    entry.type() = file.type;
    entry.firstTrack() = static_cast<uint8_t>(t);
    entry.firstSector() = static_cast<uint8_t>(s);
    std::array<uint8_t, 16> name = RawName(file.name);
    std::copy(name.begin(), name.end(), entry.name().begin());
    entry.setBlocksRaw(static_cast<uint16_t>((file.data.size() + 253) / 254));
    image.Refresh();
    return entry;
}

std::vector<uint8_t> Pattern(size_t size, uint32_t seed) {
    std::vector<uint8_t> data(size);
    uint32_t x = seed * 2654435761u + 1;
    for (uint8_t& b : data) {
        x ^= x << 13;
        x ^= x >> 17;
        x ^= x << 5;
        b = static_cast<uint8_t>(x);
    }
    return data;
}

bool AddPartitionSample(DiskImage& image) {
    std::array<uint8_t, 16> main = RawName("MAIN"), part = RawName("PART");
    std::copy(main.begin(), main.end(), image.DiskNamePointer());
    if (!AddFile(image, {"TOP", 0x82, Pattern(300)}) || !image.CreateSubDirectory(1)) return false;
    std::copy(part.begin(), part.end(), image.EntryAt(1).name().begin());
    if (!image.EnterSubDirectory(1)) return false;
    std::copy(part.begin(), part.end(), image.DiskNamePointer());
    const bool added = static_cast<bool>(AddFile(image, {"INSIDE", 0x81, Pattern(600, 3)}));
    return image.LeaveSubDirectory() && added;
}

} // namespace tessarind::testing
