#pragma once
// Builds images in code so each test shows its input.

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "formats/D64Image.h"

namespace tessarind::testing {

// 16 PETSCII bytes from raw bytes (ASCII upper case is PETSCII unshifted), padded with 0xA0.
std::array<uint8_t, 16> RawName(std::string_view bytes);

// A blank 1541 image with a disk name and the five ID bytes ("AB 2A": blank becomes 0xA0).
std::unique_ptr<D64Image> BlankD64(std::string_view diskName = "", std::string_view id = "00 2A",
                                   Settings* settings = nullptr);

struct FileSpec {
    std::string name; // raw PETSCII bytes
    uint8_t type = 0x82; // closed PRG
    std::vector<uint8_t> data;
};

// Writes the data as a chain and lists it in the first free directory slot (growing the
// directory when full). Returns the slot, or an empty entry when the disk or directory is full.
DirEntry AddFile(DiskImage& image, const FileSpec& file);

std::vector<uint8_t> Pattern(size_t size, uint32_t seed = 1);

// On a blank 1581 image: names the disk MAIN, adds the PRG file TOP, then the partition PART
// holding the SEQ file INSIDE; the image is left at its own level. False when a step fails.
bool AddPartitionSample(DiskImage& image);

} // namespace tessarind::testing
