// Unpacks arbitrary bytes as an Arkive into a blank image; bit 0 of the first input byte
// chooses a 1581 image (else a 1541), the rest is the archive. A member listed must read back
// whole, as long as its record says, with the record's type byte and block count.

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <optional>
#include <span>
#include <vector>

#include "archives/Ark.h"
#include "formats/D64Image.h"
#include "formats/D81Image.h"

using namespace tessarind;

namespace {

void Check(bool ok, const char* what) {
    if (ok) return;
    std::fprintf(stderr, "ArkFuzzer: %s\n", what);
    std::abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0) return 0;
    const std::span<const uint8_t> archive(data + 1, size - 1);
    std::unique_ptr<DiskImage> image;
    if (data[0] & 1)
        image = std::make_unique<D81Image>();
    else
        image = std::make_unique<D64Image>();
    Check(image->Open(nullptr, "", false, true), "a blank image did not open");

    const bool unpacked = UnpackArk(*image, archive, false, nullptr);
    // A record whose masked type byte is 0 lists a scratched entry, which the listing skips.
    int listed = 0;
    const size_t records = archive.empty() ? 0 : archive[0];
    for (size_t r = 0; r < records && listed < image->entryCount(); ++r) {
        const uint8_t* record = archive.data() + 1 + r * 29;
        if ((record[0] & 0xC7) == 0) continue;
        DirEntry entry = image->EntryAt(listed++);
        Check(static_cast<bool>(entry), "a listed member has no entry");
        Check(entry.type() == (record[0] & 0xC7), "the type byte is not the record's");
        const size_t recordBlocks = record[27] | (record[28] << 8);
        Check(entry.blocks() == recordBlocks, "the block count is not the record's");
        if (entry.firstTrack() == 0) continue;
        // Read as a chain whatever the type (the record's type byte may name any).
        const ChainWalk chain = image->WalkChain(entry.firstTrack(), entry.firstSector());
        Check(chain.complete, "a member does not read back whole");
        const size_t inLast = record[1] > 0 ? record[1] - 1u : 0u;
        const size_t length = recordBlocks ? (recordBlocks - 1) * 254 + inLast : inLast;
        Check(chain.bytes == length, "a member's length is not the record's");
    }
    Check(listed == image->entryCount(), "more members listed than records");
    Check(!unpacked || records == 0 || archive.size() >= 30, "success on too short an archive");
    return 0;
}
