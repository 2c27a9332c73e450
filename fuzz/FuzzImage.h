#pragma once
// What the disk-image harnesses share: the choice of the disk kind from the first input byte,
// opening the bytes through the kind's factory, and a check that ends the run on a finding.
//
// The first byte of an input:
//   bits 0-2  the kind, of those the catalog makes blank, by format id: 0 1541, 1 1571,
//             2 1581, 3 8050, 4 8250 (5-7 wrap to 0-2)
//   bit 3     the image bytes start at the disk's system track (BAM and directory), with a
//             blank disk before them, so that short inputs reach the directory of large disks
//   bits 4-7  left to each harness
// TESSARIND_FUZZ_KIND=d64|d71|d81|d80|d82 (or 1541, ...) in the environment holds a run to one kind whatever
// the first byte says, so that each kind can be fuzzed for a time of its own.

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <iterator>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "catalog/FormatCatalog.h"
#include "model/DiskImage.h"
#include "text/Settings.h"

namespace tessarind::fuzz {

struct DiskKind {
    int formatId;
    std::string name;      // the display name, "1541"
    std::string extension; // without its dot, "d64"
    int systemTrack;       // first track of BAM, header and directory
};

[[noreturn]] inline void Fail(const char* harness, const std::string& what) {
    std::fprintf(stderr, "%s: %s\n", harness, what.c_str());
    std::abort();
}

// A fuzz input read as a script of choices; past its end every choice is 0.
class FuzzScript {
public:
    explicit FuzzScript(std::span<const uint8_t> bytes) : bytes_(bytes) {}
    bool Done() const { return at_ >= bytes_.size(); }
    uint8_t Byte() { return at_ < bytes_.size() ? bytes_[at_++] : 0; }
    // 0 to n - 1.
    int Below(int n) { return n <= 0 ? 0 : (Byte() | (Byte() << 8)) % n; }

private:
    std::span<const uint8_t> bytes_;
    size_t at_ = 0;
};

// Every kind the catalog can make a blank image of, by format id, so that a kind added later
// does not move the kinds of the inputs kept so far. The system track is the first track
// that a blank disk uses.
inline const std::vector<DiskKind>& DiskKinds() {
    static const std::vector<DiskKind> kinds = [] {
        std::vector<DiskKind> found;
        for (const CatalogRow& row : FormatCatalog::Builtin().Rows()) {
            if (!row.makesBlank || !row.make) continue;
            // The tape and the growable archive have harnesses of their own.
            if (row.id == FormatId::T64 || row.id == FormatId::Dfi) continue;
            // So do the CMD containers and native partitions.
            if (row.id == FormatId::D2m || row.id == FormatId::Dnp) continue;
            std::unique_ptr<DiskImage> blank = row.make(nullptr);
            if (!blank->Open(nullptr, "", false, true)) Fail("FuzzImage", "a blank disk did not open");
            int system = 0;
            for (int track = 1; track <= blank->trackCount() && !system; ++track)
                for (int sector = 0; sector < blank->maxSectors() && !system; ++sector)
                    if (blank->SectorPointer(track, sector) && !blank->IsBlockFree(track, sector))
                        system = track;
            const FormatRow& info = row.Info();
            found.push_back({row.id, std::string(info.displayName),
                             std::string(info.extension.substr(1)), system});
        }
        std::sort(found.begin(), found.end(),
                  [](const DiskKind& a, const DiskKind& b) { return a.formatId < b.formatId; });
        return found;
    }();
    return kinds;
}

inline const DiskKind& KindOf(uint8_t first) {
    const std::vector<DiskKind>& kinds = DiskKinds();
    static const int forced = [&] {
        const char* wanted = std::getenv("TESSARIND_FUZZ_KIND");
        if (!wanted || !*wanted) return -1;
        for (size_t i = 0; i < kinds.size(); ++i)
            if (kinds[i].extension == wanted || kinds[i].name == wanted) return static_cast<int>(i);
        Fail("FuzzImage", std::string("TESSARIND_FUZZ_KIND names no disk kind: ") + wanted);
    }();
    return kinds[forced >= 0 ? static_cast<size_t>(forced) : (first & 7) % kinds.size()];
}

// TESSARIND_FUZZ_TRACE=1 in the environment: the harnesses tell what they do, to read a finding.
inline bool Tracing() {
    static const bool on = [] {
        const char* trace = std::getenv("TESSARIND_FUZZ_TRACE");
        return trace && *trace && *trace != '0';
    }();
    return on;
}

// The journal, newest record last, when tracing.
inline void TraceJournal(const DiskImage& image, const char* when) {
    if (!Tracing()) return;
    std::fprintf(stderr, "journal %s: %zu records\n", when, image.Journal().size());
    for (const UndoRecord& r : image.Journal())
        std::fprintf(stderr, "  kind %d index %d block %d/%d offset %u size %zu shown %u %s\n",
                     static_cast<int>(r.kind), r.index, r.track, r.sector, r.offset, r.data.size(),
                     r.showDeleted, r.name.c_str());
}

// Everything of an image that undo must give back. Error bytes and extra tracks belong to the
// image only while they are switched on; the modified, show-deleted and recording flags are
// view and session state.
struct ImageState {
    static constexpr uint32_t kNotCompared = kFlagModified | kFlagShowDeleted | kFlagUndoSuspended;
    std::vector<uint8_t> image, errorBytes, extraTracks;
    uint32_t flags = 0;
    int trackCount = 0, errorByteCount = 0;

    void Capture(const DiskImage& from) {
        const std::span<const uint8_t> bytes = from.Store().Contents();
        image.assign(bytes.begin(), bytes.end());
        flags = from.flags() & ~kNotCompared;
        trackCount = from.trackCount();
        const bool codes = (from.flags() & kFlagErrorCodes) != 0;
        errorByteCount = codes ? from.errorByteCount() : 0;
        if (codes)
            errorBytes.assign(from.errorBytes().begin(), from.errorBytes().end());
        else
            errorBytes.clear();
        if (from.flags() & kFlagExtraTracks)
            extraTracks.assign(from.extraTracks().begin(), from.extraTracks().end());
        else
            extraTracks.clear();
    }
    // Empty when `now` matches, else what differs first.
    std::string Difference(const DiskImage& now) const {
        if ((now.flags() & ~kNotCompared) != flags) return "flags differ";
        if (now.trackCount() != trackCount) return "track count differs";
        const std::span<const uint8_t> bytes = now.Store().Contents();
        if (bytes.size() != image.size())
            return "image size " + std::to_string(bytes.size()) + ", expected " +
                   std::to_string(image.size());
        for (size_t i = 0; !std::ranges::equal(bytes, image) && i < image.size(); ++i)
            if (bytes[i] != image[i])
                return "image byte " + std::to_string(i) + " (block " + std::to_string(i / 256) +
                       " byte " + std::to_string(i % 256) + ") is " + std::to_string(bytes[i]) +
                       ", expected " + std::to_string(image[i]);
        if (flags & kFlagErrorCodes) {
            if (now.errorByteCount() != errorByteCount) return "error byte count differs";
            if (now.errorBytes() != errorBytes) return "error bytes differ";
        }
        if ((flags & kFlagExtraTracks) && now.extraTracks() != extraTracks)
            return "extra tracks differ";
        return {};
    }
};

// Opens `bytes` as an image of `kind` the way the opener opens data in memory: the factory
// makes an empty object, Open creates a blank disk, LoadFromMemory lays the bytes over it.
// With atSystemTrack the bytes start at the system track. The image's buffer is `spare`
// (kept between runs: under AddressSanitizer every fresh megabyte is a new mapping).
inline std::unique_ptr<DiskImage> OpenDisk(const DiskKind& kind, std::span<const uint8_t> bytes,
                                           bool atSystemTrack, Settings* settings,
                                           std::vector<uint8_t>& spare) {
    std::unique_ptr<DiskImage> image = FormatCatalog::Builtin().Make(kind.formatId, settings);
    if (!image) Fail("FuzzImage", "no factory for a disk kind");
    image->Store().Swap(spare);
    if (!image->Open(nullptr, "", false, true)) Fail("FuzzImage", "a blank disk did not open");
    if (!atSystemTrack) {
        image->LoadFromMemory(bytes);
    } else {
        // The blank disk up to the system track, then the input.
        static std::vector<uint8_t> laid;
        const uint8_t* start = image->SectorPointer(kind.systemTrack, 0);
        if (!start) Fail("FuzzImage", "the system track is absent from a blank disk");
        size_t before = 0;
        if (!image->Store().OffsetOf(start, before)) Fail("FuzzImage", "the system track lies outside the image");
        const std::span<const uint8_t> blank = image->Store().Contents();
        laid.assign(blank.begin(), blank.begin() + static_cast<std::ptrdiff_t>(before));
        laid.insert(laid.end(), bytes.begin(), bytes.end());
        image->LoadFromMemory(laid);
    }
    // Opening is no edit: nothing to undo, nothing to save.
    if (!image->Journal().empty()) Fail("FuzzImage", "opening left undo records");
    if (image->modified()) Fail("FuzzImage", "opening marked the image modified");
    return image;
}

// Gives the image's buffer back for the next run.
inline void Release(std::unique_ptr<DiskImage>& image, std::vector<uint8_t>& spare) {
    image->Store().Swap(spare);
    image.reset();
}

// A default per-input time limit, so a replayed input that hangs fails within a minute rather
// than after libFuzzer's 20; a -timeout given on the command line still wins.
inline void AddDefaultTimeout(int* argc, char*** argv) {
    static std::vector<char*> args;
    static char timeout[] = "-timeout=60";
    args.assign(*argv, *argv + *argc);
    args.insert(args.begin() + (args.empty() ? 0 : 1), timeout);
    args.push_back(nullptr);
    *argc = static_cast<int>(args.size() - 1);
    *argv = args.data();
}

} // namespace tessarind::fuzz
