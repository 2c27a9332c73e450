// Opens arbitrary bytes as a 1541 image, reads everything there is to read, then writes to
// the damaged image and undoes it all: the journal must give back the bytes it started from.
//
// Every input byte is image data. Two bits of the last byte also choose options (BasText,
// deleted entries shown while writing), so every size stays reachable as it is.

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <span>
#include <vector>

#include "formats/D64Image.h"
#include "text/Settings.h"
#include "model/VisitedSet.h"
#include "model/BasicListing.h"
#include "text/BasicDetokenizer.h"
#include "catalog/DirectoryListing.h"

using namespace tessarind;

namespace {

// Keeps results alive so the reads are not optimised away.
volatile size_t sink;

void Check(bool ok, const char* what) {
    if (ok) return;
    std::fprintf(stderr, "D64Fuzzer: %s\n", what);
    std::abort();
}

// Reads the current directory, then each sub-directory once (directories reached twice are
// walked once, so a shared or looping tree costs no more than its blocks).
void ReadDirectory(D64Image& image, VisitedSet& enteredDirs, int depth) {
    sink = sink + ListDirectory(image, ListingForm::Petscii, false).size();
    sink = sink + ListDirectory(image, ListingForm::Ascii, depth % 2 != 0).size();
    const int count = image.entryCount();
    for (int i = 0; i < count; ++i) {
        DirEntry entry = image.EntryAt(i);
        if (!entry) break;
        sink = sink + static_cast<size_t>(image.FileBlocks(i));
        ChainWalk walk = image.WalkChain(entry.firstTrack(), entry.firstSector());
        sink = sink + walk.bytes;
        std::optional<ChainBreak> broken;
        if (auto data = image.ReadFileData(i, &broken)) sink = sink + data->size();
        const int type = entry.typeCode();
        if (type != kCbm && type != kDel) {
            Check(broken.has_value() == !walk.complete,
                  "a broken chain is not told, or a whole one is");
            Check(!broken || broken->bytesRead == walk.bytes, "a broken chain tells another size");
        }
        if (entry.typeCode() == kPrg)
            if (auto text = Detokenize(image, i)) sink = sink + text->size();
        const int code = entry.typeCode();
        if (code != kCbm && code != kDir) continue;
        const size_t levels = image.DirStack().size();
        if (!image.EnterSubDirectory(i)) continue;
        Check(image.DirStack().size() == levels + 1, "entering did not push a level");
        if (enteredDirs.Visit(image.dirTrack(), image.dirSector())) ReadDirectory(image, enteredDirs, depth + 1);
        Check(image.LeaveSubDirectory(), "leaving a sub-directory failed");
        Check(image.DirStack().size() == levels, "leaving did not pop the level");
        Check(image.entryCount() == count, "entry count changed across a sub-directory visit");
    }
}

} // namespace

// A default per-input time limit, so a replayed input that hangs fails within a minute rather
// than after libFuzzer's 20; a -timeout given on the command line still wins.
extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv) {
    static std::vector<char*> args;
    static char timeout[] = "-timeout=60";
    args.assign(*argv, *argv + *argc);
    args.insert(args.begin() + (args.empty() ? 0 : 1), timeout);
    args.push_back(nullptr);
    *argc = static_cast<int>(args.size() - 1);
    *argv = args.data();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const uint8_t options = size ? data[size - 1] : 0;
    Settings settings;
    settings.Set(SettingId::UseBasText, options & 1);
    D64Image image(&settings);
    image.Open(nullptr, "", false, false); // untitled, no bytes yet
    // Large buffers are kept between runs: under AddressSanitizer every fresh one is a new
    // mapping, which would cost more than the rest of the run.
    static std::vector<uint8_t> imageBuffer, snapshot;
    imageBuffer.assign(data, data + size);
    image.Store().Swap(imageBuffer);
    image.AfterLoad();
    image.Refresh();

    // Reading, with deleted entries hidden and then shown.
    for (bool showDeleted : {false, true}) {
        image.SetShowDeleted(showDeleted);
        image.Refresh();
        VisitedSet enteredDirs;
        enteredDirs.Visit(image.dirTrack(), image.dirSector());
        ReadDirectory(image, enteredDirs, 0);
        Check(image.DirStack().empty(), "directory stack not empty after reading");
        sink = sink + static_cast<size_t>(image.FreeBlockCount());
    }

    // Writing to the damaged image, then undoing every step.
    image.SetShowDeleted((options & 2) != 0);
    image.Refresh();
    snapshot.assign(image.Store().Contents().begin(), image.Store().Contents().end());
    const std::vector<uint8_t> extra = image.extraTracks();
    const std::vector<uint8_t> errors = image.errorBytes();

    std::vector<uint8_t> small(100), larger(600);
    for (size_t i = 0; i < small.size(); ++i) small[i] = static_cast<uint8_t>(i);
    for (size_t i = 0; i < larger.size(); ++i) larger[i] = static_cast<uint8_t>(i * 7);
    int track = 0, sector = 0;
    image.WriteChain(small, track, sector);
    image.WriteChain(larger, track, sector);
    image.FillFreeSectors();
    image.Refresh();
    sink = sink + ListDirectory(image, ListingForm::Ascii, false).size();
    // Edits never change the size of the file written back: bytes of an odd-sized file
    // that no block covers are kept.
    std::vector<uint8_t> codes;
    size_t written = 0;
    for (std::span<const uint8_t> piece : image.FileContents(codes))
        written += piece.size();
    Check(written == size, "the image would be written back with another size");

    size_t steps = 0;
    while (image.UndoEnabled()) {
        image.UndoCommand();
        Check(++steps <= 1000000, "undo does not come to an end");
    }
    Check(std::ranges::equal(image.Store().Contents(), snapshot), "undo did not restore the image bytes");
    Check(image.extraTracks() == extra, "undo did not restore the extra tracks");
    Check(image.errorBytes() == errors, "undo did not restore the error bytes");
    image.Store().Swap(imageBuffer);
    return 0;
}
