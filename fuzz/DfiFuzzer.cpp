// Opens fuzzed bytes as a Dreamload archive (headers whose track count lies, archives cut
// short, BAMs and directory links of any value), lists and reads every entry, inserts and
// removes files so that the archive grows, then undoes everything: the journal must give back
// exactly the archive's bytes.
//
// Input: byte 0 options (0x01: the bytes are laid over a new archive, so that short inputs
// have the rest of a first track; 0x02: deleted entries shown), byte 1 the length N of the
// edit script, N bytes of script, then the archive bytes.

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <span>
#include <vector>

#include "formats/DfiImage.h"
#include "model/FormatRegistry.h"
#include "FuzzImage.h"

using namespace tessarind;

namespace {

volatile size_t sink;

void Check(bool ok, const char* what) {
    if (!ok) fuzz::Fail("DfiFuzzer", what);
}

using Script = fuzz::FuzzScript;

void ReadAll(DfiImage& image) {
    const int count = image.CountEntries();
    for (int i = 0; i < count; ++i)
        if (auto data = image.ReadFileData(i)) sink = sink + data->size();
    sink = sink + static_cast<size_t>(image.FreeBlockCount());
    if (const uint8_t* name = image.DiskNamePointer()) sink = sink + name[15];
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 2) return 0;
    const uint8_t options = data[0];
    const size_t scriptLength = std::min<size_t>(data[1], size - 2);
    Script script({data + 2, scriptLength});
    const std::span<const uint8_t> input(data + 2 + scriptLength, size - 2 - scriptLength);

    DfiImage image;
    image.SetShowDeleted((options & 2) != 0);
    std::vector<uint8_t> bytes(input.begin(), input.end());
    if (options & 1) {
        Check(image.Open(nullptr, "", false, true), "a new archive did not open");
        std::span<const uint8_t> blank = image.Store().Contents();
        bytes.assign(blank.begin(), blank.end());
        std::copy_n(input.begin(), std::min(input.size(), bytes.size()), bytes.begin());
    }
    image.LoadFromMemory(bytes);
    image.ClearJournal();
    ReadAll(image);

    const FormatRow& prg = *FindRowById(FormatId::Prg);
    for (int step = 0; step < 8 && !script.Done(); ++step) {
        const int count = image.CountEntries();
        switch (script.Byte() % 6) {
        case 0: {
            // Up to three tracks' worth, so that the archive grows.
            std::vector<uint8_t> file(
                static_cast<size_t>(script.Below(3 * 256)) * 254 + script.Byte(), script.Byte());
            std::array<uint8_t, kNameLength> name;
            name.fill(script.Byte());
            image.WriteFileData(name, script.Below(count + 1), false, file, 0, prg);
            break;
        }
        case 1:
            image.RemoveEntry(script.Below(count + 1), true);
            break;
        case 2: {
            int t = script.Below(4), s = script.Below(256);
            image.AllocateBlock(t, s, true);
            break;
        }
        case 3:
            image.ToggleBlock(script.Below(4), script.Below(256));
            break;
        case 4:
            image.Validate();
            break;
        default:
            image.SetExtendedTracks(true);
            break;
        }
        ReadAll(image);
    }
    size_t records = image.Journal().size();
    while (image.UndoOne())
        Check(records-- > 0, "undo did not come to an end");
    Check(std::ranges::equal(image.Store().Contents(), bytes),
          "undo did not restore the archive bytes");
    return 0;
}
