// Unpacks arbitrary bytes as a Wraptor archive into a new image and reads back every file:
// nothing may crash, read outside the archive or unpack without bound.

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <optional>
#include <span>
#include <vector>

#include "archives/UnpackArchive.h"
#include "model/DiskImage.h"
#include "model/FormatRegistry.h"

using namespace tessarind;

namespace {

volatile size_t sink;

void Check(bool ok, const char* what) {
    if (ok) return;
    std::fprintf(stderr, "WraptorFuzzer: %s\n", what);
    std::abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::unique_ptr<DiskImage> image = UnpackArchive(
        std::span<const uint8_t>(data, size), "fuzz.wr3", FormatId::Wr3, nullptr, false, nullptr);
    if (!image) return 0;
    Check(image->Journal().empty(), "unpacking left undo steps");
    size_t total = 0;
    for (int i = 0; i < image->entryCount(); ++i) {
        std::optional<std::vector<uint8_t>> file = image->ReadFileData(i);
        if (file) total += file->size();
    }
    sink = sink + total + static_cast<size_t>(image->FreeBlockCount());
    return 0;
}
