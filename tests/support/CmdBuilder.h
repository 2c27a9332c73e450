#pragma once
// CMD containers and native partitions written byte by byte from their layout tables, so the
// tests compare the code against an independent picture of the formats.

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace tessarind::testing {

// One partition table entry.
struct PartitionLayout {
    int slot; // counted from 0 over the table
    uint8_t type;
    std::string name; // raw PETSCII
    uint32_t start;   // 512-byte blocks
    uint16_t size;
};

// Byte offset of (track, sector) in a flat image of 256-sector tracks.
size_t FlatOffset(int track, int sector);

// An empty FD2000 image (system sector, the four-sector table holding only SYSTEM).
std::vector<uint8_t> EmptyFd2000(uint8_t fill = 0);
// Writes an entry into a container whose table starts at (base track + 1, base sector).
void PutPartition(std::vector<uint8_t>& image, int baseTrack, int baseSector,
                  const PartitionLayout& part);
// Sets the link of the table sector holding `slot`.
void PutTableLink(std::vector<uint8_t>& image, int baseTrack, int baseSector, int slot, uint8_t lt,
                  uint8_t ls);

// A sparse HD image file of `bytes` with the container name, a table of four linked sectors
// and the entries given; the other bytes are never written (they read as zeros).
void WriteSparseHd(const std::string& path, uint64_t bytes, std::string_view name,
                   const std::vector<PartitionLayout>& partitions);

} // namespace tessarind::testing
