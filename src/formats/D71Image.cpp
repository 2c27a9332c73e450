#include "formats/D71Image.h"

#include "model/FormatRegistry.h"

namespace tessarind {

namespace {
constexpr Zone kZones[] = {{1, 17, 21},  {18, 24, 19}, {25, 30, 18}, {31, 35, 17},
                           {36, 52, 21}, {53, 59, 19}, {60, 65, 18}, {66, 70, 17}};
constexpr TrackLayout kLayout(kZones);
// Side 1 as the 1541; side 2 keeps its free counts at the end of 18/0 and its bitmaps in 53/0.
constexpr BamRange kBamRanges[] = {{1, 35, 18, 0, 4, 4, 18, 0, 5, 4, 3},
                                   {36, 70, 18, 0, 0xDD, 1, 53, 0, 0, 3, 3}};
const BamMap kBam(kBamRanges, kLayout);
constexpr DiskGeometry kGeometry{2, &kLayout, &kBam, D71Image::kTracks, 21, D64Image::kDirTrack, 1,
                                 D64Image::kDirTrack, 0, 0x90, D71Image::kImageBytes};

// The four halves of the disk, each searched in its own direction away from a directory track.
struct Range {
    int lo, hi;
    bool downward;
};
constexpr Range kRanges[] = {{1, 17, true}, {19, 35, false}, {36, 52, true}, {54, 70, false}};
} // namespace

D71Image::D71Image(Settings* settings) : D64Image(kGeometry, settings) {}

void D71Image::FormatHeader() {
    D64Image::FormatHeader();
    SectorPointer(kDirTrack, 0)[3] = 0x80; // double-sided
}

BlockList D71Image::SystemBlocks() const {
    BlockList blocks{{kDirTrack, 0}};
    for (int s = 0; s < 19; ++s) blocks.emplace_back(kSecondBamTrack, s);
    return blocks;
}

void D71Image::TrackOrder(int track, std::vector<int>& order) const {
    if (track == 0) {
        for (int k = 0; k <= 16; ++k)
            for (const Range& r : kRanges) order.push_back(r.downward ? r.hi - k : r.lo + k);
        return;
    }
    bool first = true;
    for (const Range& r : kRanges) {
        if (track > r.hi) continue; // a search never returns to a range below it
        int start = r.downward ? r.hi : r.lo;
        if (first && track >= r.lo) start = track;
        AppendRun(order, start, r.downward ? r.lo : r.hi);
        first = false;
    }
}

} // namespace tessarind
