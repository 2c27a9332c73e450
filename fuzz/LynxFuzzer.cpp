// Unpacks arbitrary bytes as a Lynx archive, then reads back every member: nothing may crash,
// read outside the archive or allocate more than the archive and the image hold.

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
    std::fprintf(stderr, "LynxFuzzer: %s\n", what);
    std::abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::span<const uint8_t> archive(data, size);
    std::unique_ptr<DiskImage> image =
        UnpackArchive(archive, "fuzz.lnx", FormatId::Lynx, nullptr, false, nullptr);
    // A Lynx archive that cannot be read still opens, empty.
    Check(image != nullptr, "no image");
    Check(image->Journal().empty(), "unpacking left undo steps");
    Check(image->modified(), "not marked modified");
    size_t total = 0;
    for (int i = 0; i < image->entryCount(); ++i) {
        std::optional<std::vector<uint8_t>> member = image->ReadFileData(i);
        if (member) total += member->size();
    }
    Check(total <= size, "members hold more bytes than the archive");
    sink = sink + total + static_cast<size_t>(image->FreeBlockCount());
    return 0;
}
