#include "support/G64Builder.h"

#include <algorithm>

namespace tessarind::testing {

void GcrTrackWriter::Bits(unsigned value, int count) {
    for (int b = count - 1; b >= 0; --b) {
        if (bits_ % 8 == 0) bytes_.push_back(0);
        if ((value >> b) & 1u) bytes_.back() |= static_cast<uint8_t>(0x80u >> (bits_ % 8));
        ++bits_;
    }
}

void GcrTrackWriter::Ones(int count) {
    for (int i = 0; i < count; ++i)
        Bits(1, 1);
}

void GcrTrackWriter::Gap(int bytes) {
    for (int i = 0; i < bytes; ++i)
        Bits(0x55, 8);
}

void GcrTrackWriter::Header(int track, int sector, uint8_t id1, uint8_t id2,
                            uint8_t checksumDelta) {
    const auto t = static_cast<uint8_t>(track), s = static_cast<uint8_t>(sector);
    const uint8_t sum = static_cast<uint8_t>((s ^ t ^ id2 ^ id1) + checksumDelta);
    for (uint8_t b : {uint8_t{0x08}, sum, s, t, id2, id1, uint8_t{0x0F}, uint8_t{0x0F}})
        Byte(b);
}

void GcrTrackWriter::Data(std::span<const uint8_t> block, uint8_t checksumDelta) {
    Byte(0x07);
    uint8_t sum = 0;
    for (size_t i = 0; i < 256; ++i) {
        const uint8_t b = i < block.size() ? block[i] : 0;
        sum ^= b;
        Byte(b);
    }
    Byte(static_cast<uint8_t>(sum + checksumDelta));
    Byte(0);
    Byte(0);
}

void GcrTrackWriter::Sector(int track, int sector, std::span<const uint8_t> block) {
    Sync();
    Header(track, sector);
    Gap(9);
    Sync();
    Data(block);
    Gap(8);
}

std::vector<uint8_t> TrackOf(DiskImage& image, int track) {
    GcrTrackWriter writer;
    for (int s = 0; s < image.maxSectors(); ++s)
        if (const uint8_t* block = image.SectorPointer(track, s))
            writer.Sector(track, s, std::span<const uint8_t>(block, 256));
    return writer.Bytes();
}

std::vector<uint8_t> BuildG64(const std::vector<std::vector<uint8_t>>& entries,
                              uint16_t maxTrackSize) {
    const std::string_view signature = "GCR-1541";
    std::vector<uint8_t> file(signature.begin(), signature.end());
    file.push_back(0);
    file.push_back(static_cast<uint8_t>(entries.size()));
    file.push_back(static_cast<uint8_t>(maxTrackSize));
    file.push_back(static_cast<uint8_t>(maxTrackSize >> 8));
    const size_t table = file.size();
    file.resize(table + 8 * entries.size(), 0); // offsets, then the speed zones (all 0)
    for (size_t k = 0; k < entries.size(); ++k) {
        if (entries[k].empty()) continue;
        const auto offset = static_cast<uint32_t>(file.size());
        for (int b = 0; b < 4; ++b)
            file[table + 4 * k + b] = static_cast<uint8_t>(offset >> (8 * b));
        const size_t length = std::min<size_t>(entries[k].size(), maxTrackSize);
        file.push_back(static_cast<uint8_t>(length));
        file.push_back(static_cast<uint8_t>(length >> 8));
        file.insert(file.end(), entries[k].begin(), entries[k].begin() + length);
        file.insert(file.end(), maxTrackSize - length, 0xFF);
    }
    return file;
}

std::vector<std::vector<uint8_t>> EntriesOf(DiskImage& image, int tracks, int entryCount) {
    std::vector<std::vector<uint8_t>> entries(static_cast<size_t>(entryCount));
    for (int t = 1; t <= tracks && 2 * (t - 1) < entryCount; ++t)
        entries[static_cast<size_t>(2 * (t - 1))] = TrackOf(image, t);
    return entries;
}

std::pair<size_t, size_t> EntryPlace(std::span<const uint8_t> file, int k) {
    const size_t at = 12 + 4 * static_cast<size_t>(k);
    if (at + 4 > file.size()) return {0, 0};
    const size_t offset =
        file[at] | file[at + 1] << 8 | file[at + 2] << 16 | size_t{file[at + 3]} << 24;
    if (offset == 0 || offset + 2 > file.size()) return {offset, 0};
    return {offset, size_t{file[offset]} | size_t{file[offset + 1]} << 8};
}

} // namespace tessarind::testing
