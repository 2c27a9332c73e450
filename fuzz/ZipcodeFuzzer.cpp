// Rebuilds a Zipcode set from parts taken from the input: the first byte says which of the
// five parts exist, then each existing part is a 2-byte little-endian length and its bytes
// (cut where the input ends). Nothing may crash or write outside the image.

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "archives/Zipcode.h"
#include "model/DiskImage.h"

using namespace tessarind;

namespace {

volatile size_t sink;

void Check(bool ok, const char* what) {
    if (ok) return;
    std::fprintf(stderr, "ZipcodeFuzzer: %s\n", what);
    std::abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0) return 0;
    std::array<std::optional<std::vector<uint8_t>>, kZipcodeParts + 1> parts;
    size_t at = 1;
    for (int part = 1; part <= kZipcodeParts; ++part) {
        if (!(data[0] & (1 << (part - 1)))) continue;
        size_t length = 0;
        if (at + 1 < size) length = data[at] | (data[at + 1] << 8);
        at = std::min(at + 2, size);
        length = std::min(length, size - at);
        parts[part] = std::vector<uint8_t>(data + at, data + at + length);
        at += length;
    }
    ZipcodeSource source{[&](int part) { return parts[part]; },
                         [](int part) { return std::to_string(part) + "!FUZZ"; }};
    std::unique_ptr<DiskImage> image = BuildZipcodeSet(source, "FUZZ", nullptr, false, nullptr);
    Check(image != nullptr, "no image");
    Check(image->trackCount() == (parts[kZipcodeParts] ? 40 : 35), "wrong track count");
    Check(image->Journal().empty(), "rebuilding left undo steps");
    sink = sink + static_cast<size_t>(image->FreeBlockCount() + image->entryCount());
    return 0;
}
