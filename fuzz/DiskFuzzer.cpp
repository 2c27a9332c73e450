// Opens arbitrary bytes as a 1541, 1571, 1581, 8050 or 8250 image (the first byte picks the
// kind, see FuzzImage.h), reads everything there is to read in every directory it can enter,
// validates the root and every sub-directory, then undoes it all: the journal must give back
// the bytes that were opened.
//
// Bits of the first byte besides the kind: 0x10 BasText listings, 0x20 deleted entries shown
// while validating, 0x40 a fill byte other than 0.

#include <cstdint>
#include <optional>
#include <utility>
#include <vector>

#include "FuzzImage.h"
#include "model/VisitedSet.h"
#include "model/BasicListing.h"
#include "text/BasicDetokenizer.h"
#include "catalog/DirectoryListing.h"

using namespace tessarind;

namespace {

constexpr const char* kHarness = "DiskFuzzer";

// Keeps results alive so the reads are not optimised away.
volatile size_t sink;

void Check(bool ok, const char* what) {
    if (!ok) fuzz::Fail(kHarness, what);
}

// Entries read through the list-index operations, per directory. Each of those walks the
// directory from its start, so a damaged chain of thousands of entries would make the
// harness itself quadratic; entries after these are read from one walk by their blocks.
constexpr int kIndexedEntries = 320;

// Reads the current directory and every entry in it, then each sub-directory once
// (directories reached twice are walked once, so a shared or looping tree costs no more
// than its blocks). With validate each directory is validated after it was read.
void ReadDirectory(DiskImage& image, VisitedSet& enteredDirs, int depth, bool validate) {
    sink = sink + ListDirectory(image, ListingForm::Petscii, false).size();
    sink = sink + ListDirectory(image, ListingForm::Ascii, depth % 2 != 0).size();
    sink = sink + static_cast<size_t>(image.FreeBlockCount());
    const std::vector<DirEntry> listed = image.ListedEntries();
    const int count = image.entryCount();
    Check(static_cast<size_t>(count) == listed.size(),
          "entryCount differs from the listed entries");
    for (int i = 0; i < count; ++i) {
        const DirEntry entry = listed[static_cast<size_t>(i)];
        const int code = entry.typeCode();
        ChainWalk walk = image.WalkChain(entry.firstTrack(), entry.firstSector());
        sink = sink + walk.bytes;
        if (code == kRel || entry.isGeos())
            sink = sink + image.WalkChain(entry.sideTrack(), entry.sideSector()).bytes;
        if (i >= kIndexedEntries) continue;
        // (Validating a sub-directory may rewrite a BAM block that this directory's chain
        // runs through on a damaged disk, so only reading compares.)
        Check(validate || image.EntryAt(i).data() == entry.data(),
              "EntryAt differs from the listing");
        sink = sink + static_cast<size_t>(image.FileBlocks(i));
        std::optional<ChainBreak> broken;
        if (auto data = image.ReadFileData(i, &broken)) {
            sink = sink + data->size();
            if (code != kCbm)
                Check(data->size() == walk.bytes, "file data and chain walk differ in size");
        }
        // A chain read short is said, with what was read; a whole one is not. (While
        // validating, a sub-directory's BAM may be a block of this chain.)
        if (!validate && code != kCbm && code != kDel) {
            Check(broken.has_value() == !walk.complete,
                  "a broken chain is not told, or a whole one is");
            Check(!broken || broken->bytesRead == walk.bytes, "a broken chain tells another size");
        }
        if (code == kPrg || code == kSeq || code == kUsr)
            if (auto text = Detokenize(image, i)) sink = sink + text->size();
        if (code != kCbm && code != kDir) continue;
        const size_t levels = image.DirStack().size();
        const int outerTrack = image.dirTrack(), outerSector = image.dirSector();
        if (!image.EnterSubDirectory(i)) continue;
        if (fuzz::Tracing())
            std::fprintf(stderr, "%*sentered #%d: directory %d/%d%s\n", depth * 2, "", i,
                         image.dirTrack(), image.dirSector(), validate ? ", validating" : "");
        Check(image.DirStack().size() == levels + 1, "entering did not push a level");
        if (enteredDirs.Visit(image.dirTrack(), image.dirSector())) {
            ReadDirectory(image, enteredDirs, depth + 1, validate);
            if (validate) image.Validate();
        }
        Check(image.LeaveSubDirectory(), "leaving a sub-directory failed");
        Check(image.DirStack().size() == levels, "leaving did not pop the level");
        Check(image.dirTrack() == outerTrack && image.dirSector() == outerSector,
              "leaving did not return to the directory it was entered from");
        Check(image.entryCount() == count || validate,
              "entry count changed across a sub-directory visit");
    }
    std::vector<CrossLink> links;
    image.CheckCrossLinks(links);
    sink = sink + links.size();
}

// The blocks validation must leave used: every block of the chain of every listed closed
// entry, whatever its type code (partitions, whose blocks lie in a row, aside). Walks stop at
// a BAM block: validation rewrites those, so a walk through one is not the walk it made.
std::vector<std::pair<int, int>> BlocksOfListedFiles(DiskImage& image) {
    std::vector<std::pair<int, int>> blocks;
    VisitedSet directory;
    for (int dt = image.dirTrack(), ds = image.dirSector();
         dt != 0 && dt <= image.trackCount() && directory.Visit(dt, ds);) {
        const uint8_t* dirBlock = image.SectorPointer(dt, ds);
        if (!dirBlock || image.IsHeaderBlock(dt, ds)) break;
        for (int slot = 0; slot < kSlotsPerBlock; ++slot) {
            const DirEntry entry(const_cast<uint8_t*>(dirBlock) + slot * kSlotSize);
            if (!entry.closed() || entry.typeCode() == kCbm) continue;
            VisitedSet visited;
            for (int t = entry.firstTrack(), s = entry.firstSector();
                 t != 0 && t <= image.trackCount() && visited.Visit(t, s);) {
                const uint8_t* block = image.SectorPointer(t, s);
                if (!block || image.IsHeaderBlock(t, s)) break;
                blocks.emplace_back(t, s);
                t = block[0];
                s = block[1];
            }
        }
        dt = dirBlock[0];
        ds = dirBlock[1];
    }
    return blocks;
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv) {
    fuzz::AddDefaultTimeout(argc, argv);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0) return 0;
    const uint8_t options = data[0];
    const fuzz::DiskKind& kind = fuzz::KindOf(options);
    Settings settings;
    settings.Set(SettingId::UseBasText, (options & 0x10) != 0);
    settings.Set(SettingId::FillByte, (options & 0x40) ? 0xE5 : 0);
    static std::vector<uint8_t> spare;
    std::unique_ptr<DiskImage> image = fuzz::OpenDisk(
        kind, std::span<const uint8_t>(data + 1, size - 1), (options & 8) != 0, &settings, spare);
    static fuzz::ImageState opened;
    opened.Capture(*image);

    // Reading, with deleted entries hidden and then shown: no journal records, no changes.
    for (bool showDeleted : {false, true}) {
        image->SetShowDeleted(showDeleted);
        image->Refresh();
        VisitedSet enteredDirs;
        enteredDirs.Visit(image->dirTrack(), image->dirSector());
        ReadDirectory(*image, enteredDirs, 0, false);
        Check(image->DirStack().empty(), "directory stack not empty after reading");
    }
    Check(image->Journal().empty(), "reading left undo records");
    Check(!image->modified(), "reading marked the image modified");
    if (std::string diff = opened.Difference(*image); !diff.empty())
        fuzz::Fail(kHarness, "reading changed the image: " + diff);

    // Validating every directory, innermost first, then the root; and reading what that left.
    image->SetShowDeleted((options & 0x20) != 0);
    image->Refresh();
    {
        VisitedSet enteredDirs;
        enteredDirs.Visit(image->dirTrack(), image->dirSector());
        ReadDirectory(*image, enteredDirs, 0, true);
    }
    const std::vector<std::pair<int, int>> filesBlocks = BlocksOfListedFiles(*image);
    image->Validate();
    for (auto [t, s] : filesBlocks)
        Check(!image->IsBlockFree(t, s), "validation freed a block of a listed file");
    image->Refresh(); // on a damaged disk the BAM block may also be a directory block
    Check(image->DirStack().empty(), "directory stack not empty after validating");
    {
        VisitedSet enteredDirs;
        enteredDirs.Visit(image->dirTrack(), image->dirSector());
        ReadDirectory(*image, enteredDirs, 0, false);
    }

    fuzz::TraceJournal(*image, "before undoing");
    // Undoing every step must give back the opened image, clean and with an empty journal.
    const size_t bound = image->Journal().size() + 1;
    for (size_t steps = 0; image->UndoEnabled(); ++steps) {
        Check(steps < bound, "undo does not come to an end");
        image->UndoCommand();
    }
    if (std::string diff = opened.Difference(*image); !diff.empty())
        fuzz::Fail(kHarness,
                   std::string("undo did not restore the ") + kind.name + " image: " + diff);
    Check(!image->modified(), "the image is still modified with an empty journal");
    fuzz::Release(image, spare);
    return 0;
}
