// Opens arbitrary bytes as a CMD native partition: laid over a blank partition from its
// header block on, so that short inputs reach the header, the bitmap and the directory.
// Reads the tree, writes files and a sub-directory, then undoes it all.

#include <algorithm>
#include <array>
#include <vector>

#include "CmdFuzz.h"
#include "formats/DnpImage.h"
#include "model/FormatRegistry.h"

using namespace tessarind;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const char* const kName = "DnpFuzzer";
    if (size == 0) return 0;
    // The first byte chooses the partition's size in tracks (2 to 9). Blank partitions are
    // made once per size, and large buffers are kept between runs: under AddressSanitizer
    // every fresh one is a new mapping.
    static std::vector<uint8_t> blanks[8], bytes, before;
    std::vector<uint8_t>& blank = blanks[data[0] % 8];
    if (blank.empty()) {
        DnpImage made;
        made.OfferSize(256L * (2 + data[0] % 8));
        if (!made.Open(nullptr, "", false, true))
            fuzz::CmdCheck(false, kName, "a blank partition did not open");
        blank = made.Store().Snapshot();
    }
    bytes.assign(blank.begin(), blank.end());
    std::copy_n(data + 1, std::min(size - 1, bytes.size() - 256), bytes.begin() + 256);
    DnpImage image;
    image.Store().Swap(bytes);
    image.AfterLoad();
    image.Refresh();

    VisitedSet entered;
    entered.Visit(image.dirTrack(), image.dirSector());
    fuzz::ReadTree(image, entered, kName);
    fuzz::cmdSink = fuzz::cmdSink + static_cast<size_t>(image.FreeBlockCount());

    before.assign(image.Store().Contents().begin(), image.Store().Contents().end());
    std::vector<uint8_t> file(700);
    for (size_t i = 0; i < file.size(); ++i)
        file[i] = static_cast<uint8_t>(i * 13);
    int t = 0, s = 0;
    image.WriteChain(file, t, s);
    image.CreateSubDirectory(0);
    if (image.EnterSubDirectory(0)) {
        image.WriteFileData(std::array<uint8_t, kNameLength>{'A'}, 0, false, file, 0,
                            *FindRowById(FormatId::Prg));
        image.LeaveSubDirectory();
    }
    fuzz::UndoAll(image, kName);
    fuzz::CmdCheck(std::ranges::equal(image.Store().Contents(), before), kName,
                   "undo did not restore the image bytes");
    image.Store().Swap(bytes);
    return 0;
}
