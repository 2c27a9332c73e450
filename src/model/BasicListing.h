#pragma once
// BASIC listings of the programs stored in an image.

#include <cstdint>
#include <optional>
#include <vector>

namespace tessarind {

class DiskImage;

// Lists the entry at `index` of `image` (not DEL or CBM) with the image's "Use BasText" setting.
std::optional<std::vector<uint8_t>> Detokenize(DiskImage& image, int index);

} // namespace tessarind
