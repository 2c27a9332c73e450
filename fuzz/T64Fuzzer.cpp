// Opens fuzzed bytes as a T64 tape (slot offsets beyond the file, counts that lie, a
// directory cut short), lists and reads every entry, runs a short script of tape edits drawn
// from the input, then undoes everything: the journal must give back exactly the tape's bytes.
//
// Input: byte 0 options (0x01: deleted entries shown), byte 1 the length N of the edit
// script, N bytes of script, then the tape bytes.

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <span>
#include <string>
#include <vector>

#include "formats/T64Image.h"
#include "model/FormatRegistry.h"
#include "FuzzImage.h"

using namespace tessarind;

namespace {

volatile size_t sink;

void Check(bool ok, const char* what) {
    if (!ok) fuzz::Fail("T64Fuzzer", what);
}

using Script = fuzz::FuzzScript;

void ReadAll(T64Image& tape) {
    const int count = tape.CountEntries();
    for (int i = 0; i < count; ++i) {
        if (auto data = tape.ReadFileData(i)) sink = sink + data->size();
        sink = sink + static_cast<size_t>(tape.FileBlocks(i));
        if (DirEntry e = tape.EntryAt(i)) sink = sink + e.data()[0];
    }
    for (int t = 1; t <= tape.trackCount(); ++t)
        for (int s = 0; s < tape.maxSectors(); ++s)
            if (const uint8_t* p = tape.SectorPointer(t, s)) sink = sink + p[255];
    sink = sink + tape.OrderTable().size();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 2) return 0;
    const uint8_t options = data[0];
    const size_t scriptLength = std::min<size_t>(data[1], size - 2);
    Script script({data + 2, scriptLength});
    const std::span<const uint8_t> bytes(data + 2 + scriptLength, size - 2 - scriptLength);

    T64Image tape;
    tape.SetShowDeleted((options & 1) != 0);
    tape.LoadFromMemory(bytes);
    Check(std::ranges::equal(tape.TapeBytes(), bytes), "loading changed the bytes");
    ReadAll(tape);

    const FormatRow& prg = *FindRowById(FormatId::Prg);
    for (int step = 0; step < 16 && !script.Done(); ++step) {
        const int count = tape.CountEntries();
        switch (script.Byte() % 9) {
        case 0: {
            std::vector<uint8_t> file(static_cast<size_t>(script.Below(700)), script.Byte());
            std::array<uint8_t, kNameLength> name;
            name.fill(script.Byte());
            tape.WriteFileData(name, script.Below(count + 2) - 1, false, file, 0, prg);
            break;
        }
        case 1:
            tape.ClearEntry(tape.EntryAt(script.Below(count + 1)), script.Below(count + 1));
            break;
        case 2:
            tape.RemoveEntry(script.Below(count + 1), true);
            break;
        case 3:
            tape.RemoveEntry(script.Below(count + 1), false);
            break;
        case 4:
            tape.MoveEntry(script.Byte() & 1, script.Below(count + 1), true);
            break;
        case 5: {
            const int first = script.Below(count + 1);
            tape.MoveEntries(first, first + script.Below(3), script.Below(count + 2));
            break;
        }
        case 6:
            tape.Sort(script.Byte() & 1, script.Byte() & 1);
            break;
        case 7:
            tape.Validate();
            break;
        default: {
            std::array<uint8_t, kNameLength> name;
            name.fill(script.Byte());
            tape.RenameEntry(tape.EntryAt(0), name, script.Below(count + 1));
            break;
        }
        }
        ReadAll(tape);
    }
    size_t records = tape.Journal().size();
    while (tape.UndoOne())
        Check(records-- > 0, "undo did not come to an end");
    Check(tape.Journal().empty(), "records left after undoing everything");
    Check(std::ranges::equal(tape.TapeBytes(), bytes), "undo did not restore the tape bytes");
    return 0;
}
