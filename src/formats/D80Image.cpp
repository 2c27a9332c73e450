#include "formats/D80Image.h"

#include <algorithm>

namespace tessarind {

namespace {
constexpr Zone kZones[] = {{1, 39, 29},  {40, 53, 27},  {54, 64, 25},   {65, 77, 23},
                           {78, 116, 29}, {117, 130, 27}, {131, 141, 25}, {142, 154, 23}};
constexpr TrackLayout kLayout(kZones);
// Each BAM sector covers up to 50 tracks with 5-byte entries from byte 6.
constexpr BamRange Bam(int first, int last, int sector) { return {first, last, 38, sector, 6, 5, 38, sector, 7, 5, 4}; }
constexpr BamRange k8050Bam[] = {Bam(1, 50, 0), Bam(51, 77, 3)};
constexpr BamRange k8250Bam[] = {Bam(1, 50, 0), Bam(51, 100, 3), Bam(101, 150, 6), Bam(151, 154, 9)};
const BamMap kBam8050(k8050Bam, kLayout);
const BamMap kBam8250(k8250Bam, kLayout);
constexpr DiskGeometry k8050{16, &kLayout, &kBam8050, 77, 29, 39, 1, 39, 0, 6, 533248};
constexpr DiskGeometry k8250{17, &kLayout, &kBam8250, 154, 29, 39, 1, 39, 0, 6, 1066496};

int BamSectorCount(int trackCount_) { return trackCount_ > 77 ? 4 : 2; }
} // namespace

D80Image::D80Image(Settings* settings) : ZonedDiskImage(k8050, settings) {}
D82Image::D82Image(Settings* settings) : D80Image(k8250, settings) {}

BlockList D80Image::BamBlocks() const {
    BlockList blocks;
    for (int i = 0; i < BamSectorCount(geometry_.trackCount); ++i) blocks.emplace_back(kBamTrack, 3 * i);
    return blocks;
}

bool D80Image::IsHeaderBlock(int track, int sector) {
    BlockList bam = BamBlocks();
    return std::find(bam.begin(), bam.end(), std::make_pair(track, sector)) != bam.end();
}

BlockList D80Image::SystemBlocks() const {
    BlockList blocks = BamBlocks();
    blocks.emplace_back(kHeaderTrack, 0);
    blocks.emplace_back(kHeaderTrack, 1);
    return blocks;
}

void D80Image::ResetBamBlocks() {
    const int count = BamSectorCount(geometry_.trackCount);
    for (int i = 0; i < count; ++i) {
        uint8_t* bam = SectorPointer(kBamTrack, 3 * i);
        if (!bam) continue;
        std::fill(bam, bam + kBlockSize, 0);
        bool last = i + 1 == count;
        bam[0] = static_cast<uint8_t>(last ? kHeaderTrack : kBamTrack);
        bam[1] = static_cast<uint8_t>(last ? 1 : 3 * (i + 1));
        bam[2] = 0x43;
        bam[3] = 0x00;
        bam[4] = static_cast<uint8_t>(1 + 50 * i);
        bam[5] = static_cast<uint8_t>(std::min(51 + 50 * i, geometry_.trackCount + 1));
    }
}

void D80Image::FormatHeader() {
    uint8_t* header = SectorPointer(kHeaderTrack, 0);
    header[0] = kBamTrack;
    header[1] = 0;
    header[2] = 0x43;
    header[3] = 0x00;
    std::fill(header + 4, header + 0x1D, kPad);
    header[0x1B] = '2';
    header[0x1C] = 'C';
    // An empty directory block rather than fill bytes, which could read as entries.
    uint8_t* dir = SectorPointer(kHeaderTrack, 1);
    std::fill(dir, dir + kBlockSize, 0);
    dir[1] = 0xFF;
}

void D80Image::TrackOrder(int track, std::vector<int>& order) const {
    const int last = geometry_.trackCount;
    if (track == 0) {
        for (int k = 1; k < kHeaderTrack; ++k) {
            order.push_back(kHeaderTrack - k);
            order.push_back(kHeaderTrack + k);
        }
        if (last > 77) AppendRun(order, 78, last);
    } else if (track < kHeaderTrack) {
        AppendRun(order, track, 1);
        AppendRun(order, kHeaderTrack + 1, last);
    } else if (track > kHeaderTrack && track <= last) {
        AppendRun(order, track, last);
    }
}

} // namespace tessarind
