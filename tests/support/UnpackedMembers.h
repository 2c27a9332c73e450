#pragma once
// What an archive reader left in an image, entry by entry, for comparing with what went in.

#include <array>
#include <cstdint>
#include <memory>
#include <vector>

#include "model/DiskImage.h"

namespace tessarind::testing {

struct UnpackedMember {
    std::array<uint8_t, kNameLength> name{};
    uint8_t type = 0;
    uint16_t blocks = 0;
    int recordLength = 0;
    bool hasSideSectors = false;
    std::array<uint8_t, 5> stamp{}; // year, month, day, hour, minute
    std::vector<uint8_t> data;      // empty for a member without blocks
};

std::vector<UnpackedMember> UnpackedMembers(DiskImage& image);

// A blank 1541 (false) or 1581 (true) image for unpacking into.
std::unique_ptr<DiskImage> BlankTarget(bool large);

} // namespace tessarind::testing
