// Unpacks arbitrary bytes as an ARC archive, or as a self-dissolving one, into a blank image.
// The first input byte chooses: bit 0 the self-dissolving stub, bit 1 a 1581 image (else a
// 1541); the rest is the archive. Whatever the bytes, every member listed must read back
// whole, as long as its block count says, and success means at least one member.

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <optional>
#include <span>
#include <vector>

#include "archives/Arc.h"
#include "formats/D64Image.h"
#include "formats/D81Image.h"

using namespace tessarind;

namespace {

void Check(bool ok, const char* what) {
    if (ok) return;
    std::fprintf(stderr, "ArcFuzzer: %s\n", what);
    std::abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0) return 0;
    const uint8_t options = data[0];
    const std::span<const uint8_t> archive(data + 1, size - 1);
    std::unique_ptr<DiskImage> image;
    if (options & 2)
        image = std::make_unique<D81Image>();
    else
        image = std::make_unique<D64Image>();
    Check(image->Open(nullptr, "", false, true), "a blank image did not open");
    const int freeBefore = image->FreeBlockCount();

    const bool unpacked = (options & 1) ? UnpackSda(*image, archive, false, nullptr)
                                        : UnpackArc(*image, archive, false, nullptr);
    Check(!unpacked || image->entryCount() > 0, "success without a member");
    int blocks = 0;
    for (int i = 0; i < image->entryCount(); ++i) {
        DirEntry entry = image->EntryAt(i);
        Check(static_cast<bool>(entry), "a listed member has no entry");
        blocks += entry.blocks();
        if (entry.firstTrack() == 0) {
            Check(entry.blocks() == 0, "a member without data counts blocks");
            continue;
        }
        // Read as a chain whatever the type (a DEL member has data too).
        const ChainWalk chain = image->WalkChain(entry.firstTrack(), entry.firstSector());
        Check(chain.complete, "a member does not read back whole");
        Check(entry.blocks() == (chain.bytes + 253) / 254, "a member's block count is wrong");
    }
    Check(image->FreeBlockCount() <= freeBefore - blocks, "members take fewer blocks than counted");
    return 0;
}
