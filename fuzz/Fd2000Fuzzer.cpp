// Opens arbitrary bytes as a CMD FD2000 container: laid over a blank container either at its
// partition table (sector 26/8 on) or at its start (the partitions' bytes).
// Lists the table, opens every partition and reads its tree, makes and deletes a
// partition, then undoes it all.
//
// The first input byte: bit 0 where the bytes go, bit 1 deleted entries shown, bit 2 the
// CSV listing, bit 3 a 1541 partition made at position bits 4-5, bits 6-7 the one deleted.

#include <algorithm>
#include <vector>

#include "CmdFuzz.h"
#include "formats/CmdContainerImage.h"
#include "model/FormatRegistry.h"

using namespace tessarind;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const char* const kName = "Fd2000Fuzzer";
    if (size == 0) return 0;
    const uint8_t options = data[0];
    // The blank container is made once; large buffers are kept between runs, since under
    // AddressSanitizer every fresh one is a new mapping.
    static const std::vector<uint8_t> blank = [] {
        CmdContainerImage made(FormatId::D2m);
        if (!made.Open(nullptr, "", false, true))
            fuzz::CmdCheck(false, kName, "a blank container did not open");
        return made.Store().Snapshot();
    }();
    static std::vector<uint8_t> bytes, before;
    bytes.assign(blank.begin(), blank.end());
    const size_t at = (options & 1) ? (25 * 256 + 8) * 256 : 0; // the table sector (26, 8)
    std::copy_n(data + 1, std::min(size - 1, bytes.size() - at),
                bytes.begin() + static_cast<long>(at));
    CmdContainerImage image(FormatId::D2m);
    image.SetPath("fuzz.d2m");
    image.Store().Swap(bytes);
    image.SetShowDeleted((options & 2) != 0);
    image.Refresh();

    fuzz::cmdSink = fuzz::cmdSink + image.PartitionListing("x", (options & 4) != 0).size();
    fuzz::cmdSink = fuzz::cmdSink + static_cast<size_t>(image.FreeBlockCount());
    const int count = image.CountEntries();
    for (int i = 0; i < count && i < 64; ++i)
        if (auto partition = image.ReadFileData(i))
            fuzz::cmdSink = fuzz::cmdSink + partition->size();
    fuzz::ReadPartitions(image, 64, kName);

    before.assign(image.Store().Contents().begin(), image.Store().Contents().end());
    if (options & 8) image.CreatePartition(FormatId::D64, (options >> 4) % 4);
    image.DeletePartition((options >> 6) % 4);
    fuzz::UndoAll(image, kName);
    fuzz::CmdCheck(std::ranges::equal(image.Store().Contents(), before), kName,
                   "undo did not restore the container bytes");
    image.Store().Swap(bytes);
    return 0;
}
