#pragma once
// A 1581 disk image: 80 tracks of 40 sectors, a header and two BAM sectors on the directory
// track, and partitions of whole tracks that carry a header, BAM and directory of their own.

#include "formats/ZonedDiskImage.h"

namespace tessarind {

class D81Image : public ZonedDiskImage {
public:
    static constexpr int kTracks = 80;
    static constexpr int kSectors = 40;
    static constexpr int kDirTrack = 40;
    static constexpr int kFirstDirSector = 3;
    static constexpr size_t kImageBytes = 819200;
    static constexpr int kMinPartitionBlocks = 120;

    explicit D81Image(Settings* settings = nullptr);

    uint8_t* DiskNamePointer() override;
    bool IsHeaderBlock(int track, int sector) override;
    void SetDiskId(std::span<const uint8_t, 5> id) override;
    bool ReplayFormatUndo(const UndoRecord& record) override;
    bool CreateSubDirectory(int index) override;
    bool UsesSuperSideSector() const override { return true; }
    // The BAM of the partition the listed directory lies in, or the disk's: a sub-directory
    // of the DIR kind has no BAM of its own.
    int BamTrack() const override;

    // The longest run of free blocks that starts at a sector 0, and where a run of `blocks`
    // fits best (the shortest run that holds it; the earlier on a tie). 0 when none.
    int LargestContiguousSpace();
    int StartTrackFor(int blocks);

private:
    void FormatHeader() override;
    void TrackOrder(int track, std::vector<int>& order) const override;
    int Interleave(int) const override { return 1; }
    BlockList BamBlocks() const override { return {{BamTrack(), 0}, {BamTrack(), 1}, {BamTrack(), 2}}; }
    BlockList SystemBlocks() const override { return BamBlocks(); }
    void ResetBamBlocks() override;
    std::vector<int> FreeTracks() const override;
    bool CountsFree(int track) const override { return track != BamTrack(); }
    int LastDirSector() const override { return kSectors - 1; }
    // Writes a blank header, BAM and first directory block at the start of `track`.
    void WriteDirectoryHeader(int track, bool partition);
    // The innermost partition level on the directory stack, or none at the disk's level.
    const DirLevel* PartitionLevel() const;
    // Free runs as (first track, length), in track order.
    std::vector<std::pair<int, int>> FreeRuns();
};

} // namespace tessarind
