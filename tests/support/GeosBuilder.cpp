#include "support/GeosBuilder.h"

#include <algorithm>
#include <array>

#include "support/ImageBuilder.h"

namespace tessarind::testing {

namespace {

bool LoneBlock(DiskImage& image, const std::vector<uint8_t>& data, int& t, int& s) {
    t = 0;
    s = 0;
    uint8_t* block = image.AllocateBlock(t, s, true);
    if (!block) return false;
    std::fill(block, block + kBlockSize, 0);
    block[1] = 0xFF;
    std::copy_n(data.begin(), std::min<std::size_t>(data.size(), 254), block + 2);
    return true;
}

int Blocks(std::size_t bytes) {
    return static_cast<int>((bytes + 253) / 254);
}

} // namespace

std::vector<uint8_t> InfoBlockData(const GeosFileSpec& file, uint32_t seed) {
    std::vector<uint8_t> info = Pattern(254, seed);
    info[0] = 3;
    info[1] = 21;
    info[2] = 0xBF;
    info[66] = file.type;
    info[67] = file.geosType;
    info[68] = file.vlir ? 1 : 0;
    return info;
}

DirEntry AddGeosFile(DiskImage& image, const GeosFileSpec& file) {
    std::array<uint8_t, kSlotSize> slot{};
    DirEntry entry(slot.data());
    entry.type() = file.type;
    const auto name = RawName(file.name);
    std::copy(name.begin(), name.end(), entry.name().begin());
    entry.recordLength() = file.vlir ? 1 : 0;
    entry.geosType() = file.geosType;
    const uint8_t date[] = {92, 4, 17, 13, 45};
    std::copy(std::begin(date), std::end(date), slot.begin() + DirEntryOffset::year);
    int t = 0, s = 0;
    if (!LoneBlock(image, InfoBlockData(file), t, s)) return {};
    entry.sideTrack() = static_cast<uint8_t>(t);
    entry.sideSector() = static_cast<uint8_t>(s);
    int blocks = 1;
    if (!file.vlir) {
        if (!file.data.empty()) {
            if (!image.WriteChain(file.data, t, s)) return {};
            entry.firstTrack() = static_cast<uint8_t>(t);
            entry.firstSector() = static_cast<uint8_t>(s);
        }
        blocks += Blocks(file.data.size());
    } else {
        std::vector<uint8_t> index(254, 0);
        for (std::size_t k = 0; k < file.records.size(); ++k) {
            if (!file.records[k] || file.records[k]->empty()) {
                index[2 * k + 1] = 0xFF;
                continue;
            }
            if (!image.WriteChain(*file.records[k], t, s)) return {};
            index[2 * k] = static_cast<uint8_t>(t);
            index[2 * k + 1] = static_cast<uint8_t>(s);
            blocks += Blocks(file.records[k]->size());
        }
        if (!LoneBlock(image, index, t, s)) return {};
        entry.firstTrack() = static_cast<uint8_t>(t);
        entry.firstSector() = static_cast<uint8_t>(s);
        ++blocks;
    }
    entry.setBlocksRaw(static_cast<uint16_t>(blocks));
    const int at = image.entryCount();
    if (!image.InsertEntry(at, std::span<const uint8_t>(slot).subspan(2))) return {};
    return image.EntryAt(at);
}

std::optional<std::vector<uint8_t>> RecordData(DiskImage& image, DirEntry entry, int k) {
    const uint8_t* index = image.SectorPointer(entry.firstTrack(), entry.firstSector());
    if (!index || index[2 + 2 * k] == 0) return std::nullopt;
    const int t = index[2 + 2 * k], s = index[3 + 2 * k];
    const ChainWalk walk = image.WalkChain(t, s);
    std::vector<uint8_t> data(walk.bytes);
    image.WalkChain(t, s, false, data);
    return data;
}

void WraptorWriter::Bits(unsigned value, int count) {
    for (int i = count - 1; i >= 0; --i) {
        if (used_ == 8) {
            bytes_.push_back(0);
            used_ = 0;
        }
        if ((value >> i) & 1) bytes_.back() |= static_cast<uint8_t>(0x80 >> used_);
        ++used_;
    }
}

void WraptorWriter::Start(const std::string& name, uint8_t type) {
    bytes_.insert(bytes_.end(), {0xFF, 0x42, 0x4C, 0xFF});
    bytes_.insert(bytes_.end(), name.begin(), name.end());
    bytes_.push_back(0);
    bytes_.push_back(type);
    used_ = 8;
    width_ = 8;
}

void WraptorWriter::Literal(uint8_t byte) {
    Bits(0, 1);
    Bits(byte, 8);
}

void WraptorWriter::Literals(const std::vector<uint8_t>& bytes) {
    for (uint8_t b : bytes)
        Literal(b);
}

void WraptorWriter::Match(unsigned offset, unsigned count) {
    Bits(1, 1);
    Bits(offset, width_);
    Bits(count, 5);
}

void WraptorWriter::Widen() {
    Bits(1, 1);
    Bits(0, width_);
    Bits(1, 1);
    ++width_;
}

void WraptorWriter::End() {
    Bits(1, 1);
    Bits(0, width_);
    Bits(0, 1);
    used_ = 8;
    bytes_.push_back(0x12); // the two bytes after a stream are not read
    bytes_.push_back(0x34);
}

std::vector<uint8_t> WraptorArchive(const std::vector<WraptorFile>& files) {
    WraptorWriter writer;
    for (const WraptorFile& file : files) {
        writer.Start(file.name, file.type);
        writer.Literals(file.unpacked);
        writer.End();
    }
    return writer.bytes();
}

std::vector<uint8_t> WraptorRecord(const std::vector<uint8_t>& bytes, std::size_t chunk) {
    std::vector<uint8_t> out;
    std::size_t at = 0;
    do {
        const std::size_t length = std::min(chunk, bytes.size() - at);
        const bool more = at + length < bytes.size();
        const unsigned header = static_cast<unsigned>(length) | (more ? 0x8000u : 0u);
        out.push_back(static_cast<uint8_t>(header & 0xFF));
        out.push_back(static_cast<uint8_t>(header >> 8));
        out.insert(out.end(), bytes.begin() + static_cast<std::ptrdiff_t>(at),
                   bytes.begin() + static_cast<std::ptrdiff_t>(at + length));
        at += length;
    } while (at < bytes.size());
    return out;
}

} // namespace tessarind::testing
