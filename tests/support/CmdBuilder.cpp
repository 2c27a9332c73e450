#include "support/CmdBuilder.h"

#include <algorithm>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

namespace tessarind::testing {

size_t FlatOffset(int track, int sector) {
    return (static_cast<size_t>(track - 1) * 256 + static_cast<size_t>(sector)) * 256;
}

namespace {
size_t EntryOffset(int baseTrack, int baseSector, int slot) {
    return FlatOffset(baseTrack + 1, baseSector + slot / 8) + static_cast<size_t>(slot % 8) * 32;
}

void FillEntry(uint8_t* e, const PartitionLayout& part) {
    std::memset(e + 2, 0, 30);
    e[2] = part.type;
    std::fill(e + 5, e + 21, 0xA0);
    std::memcpy(e + 5, part.name.data(), std::min<size_t>(part.name.size(), 16));
    e[21] = static_cast<uint8_t>(part.start >> 16);
    e[22] = static_cast<uint8_t>(part.start >> 8);
    e[23] = static_cast<uint8_t>(part.start);
    e[30] = static_cast<uint8_t>(part.size >> 8);
    e[31] = static_cast<uint8_t>(part.size);
}
} // namespace

std::vector<uint8_t> EmptyFd2000(uint8_t fill) {
    std::vector<uint8_t> image(1658880, fill);
    uint8_t* system = image.data() + FlatOffset(26, 5);
    std::fill(system, system + 0xD0, 0xFF);
    system[0x38] = system[0x39] = system[0x70] = system[0xA8] = 0;
    system[0x71] = 0x0C;
    system[0xA9] = 0x80;
    std::memcpy(system + 0xF0, "CMD FD SERIES   ", 16);
    uint8_t* table = image.data() + FlatOffset(26, 8);
    table[0] = 1;
    table[1] = 1;
    table[2] = 0xFF;
    table[3] = table[4] = 0;
    std::memcpy(table + 5, "SYSTEM", 6);
    std::fill(table + 11, table + 21, 0xA0);
    const uint8_t links[][2] = {{1, 2}, {1, 3}, {0, 0xFF}};
    for (int i = 0; i < 3; ++i)
        std::memcpy(image.data() + FlatOffset(26, 9 + i), links[i], 2);
    return image;
}

void PutPartition(std::vector<uint8_t>& image, int baseTrack, int baseSector,
                  const PartitionLayout& part) {
    FillEntry(image.data() + EntryOffset(baseTrack, baseSector, part.slot), part);
}

void PutTableLink(std::vector<uint8_t>& image, int baseTrack, int baseSector, int slot, uint8_t lt,
                  uint8_t ls) {
    uint8_t* sector = image.data() + EntryOffset(baseTrack, baseSector, slot - slot % 8);
    sector[0] = lt;
    sector[1] = ls;
}

void WriteSparseHd(const std::string& path, uint64_t bytes, std::string_view name,
                   const std::vector<PartitionLayout>& partitions) {
    const int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_TRUNC, 0644);
    if (fd < 0) return;
    if (::ftruncate(fd, static_cast<off_t>(bytes)) != 0) {
        ::close(fd);
        return;
    }
    // The table sectors (5,0)..(5,3) and the name sector (4,60), built in memory and written.
    std::vector<uint8_t> table(4 * 256, 0);
    const uint8_t links[][2] = {{1, 1}, {1, 2}, {1, 3}, {0, 0xFF}};
    for (int i = 0; i < 4; ++i)
        std::memcpy(table.data() + i * 256, links[i], 2);
    for (const PartitionLayout& part : partitions)
        if (part.slot < 32)
            FillEntry(table.data() + (part.slot / 8) * 256 + (part.slot % 8) * 32, part);
    std::vector<uint8_t> header(256, 0);
    std::fill(header.begin() + 0xCA, header.begin() + 0xCA + 16, 0xA0);
    std::memcpy(header.data() + 0xCA, name.data(), std::min<size_t>(name.size(), 16));
    bool ok = ::pwrite(fd, table.data(), table.size(), static_cast<off_t>(FlatOffset(5, 0))) ==
              static_cast<ssize_t>(table.size());
    ok = ok &&
         ::pwrite(fd, header.data(), header.size(), static_cast<off_t>(FlatOffset(4, 60))) == 256;
    ::close(fd);
    if (!ok) ::unlink(path.c_str());
}

} // namespace tessarind::testing
