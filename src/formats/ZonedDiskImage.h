#pragma once
// The shared body of the flat disk images (1541, 1571, 1581, 8050, 8250): sectors stored in
// track order by a zone table, a BAM described by ranges, allocation by track orders. Each
// format gives its tables and the few rules that differ.

#include <utility>
#include <vector>

#include "model/BamMap.h"
#include "model/DiskImage.h"
#include "model/TrackLayout.h"

namespace tessarind {

struct DiskGeometry {
    int formatId;
    const TrackLayout* layout;
    const BamMap* bam;
    int trackCount;
    int maxSectors;
    int dirTrack, firstDirSector;
    int headerTrack, headerSector;
    int nameOffset; // the disk name inside the header block
    size_t imageBytes;
};

using BlockList = std::vector<std::pair<int, int>>;

class ZonedDiskImage : public DiskImage {
public:
    ZonedDiskImage(const DiskGeometry& geometry, Settings* settings);

    uint8_t* SectorPointer(int track, int sector) override;
    uint8_t* DiskNamePointer() override;
    bool NextDirSector(int& track, int& sector) override;
    bool IsBlockFree(int track, int sector) override;
    bool AnyBlockFree(int track, int sectorsOnTrack) override;
    void ToggleBlock(int track, int sector) override;
    void ClearBam() override;
    bool CreateEmpty() override;
    void AfterLoad() override {}
    int GetErrorCode(int, int) override { return 0; }
    void SetErrorCode(int, int, int) override {}
    bool HandleCommand(int) override { return false; }
    void SnapshotBam() override;
    void UpdateCommands(CommandStates&) override {}
    bool IsHeaderBlock(int track, int sector) override;
    int FullBlockCount() const override;
    int FreeBlockCount() override;
    uint8_t* AllocateBlock(int& track, int& sector, bool take) override;
    // In a flat image the block that holds a byte follows from its offset.
    bool LocateBlock(const uint8_t* p, int& track, int& sector) override;

    int SectorsOnTrack(int track) const { return geometry_.layout->SectorsOnTrack(track); }
    const DiskGeometry& Geometry() const { return geometry_; }

protected:
    // Tracks to search for a free block, continuing from `track` (0: a new file).
    virtual void TrackOrder(int track, std::vector<int>& order) const = 0;
    virtual int Interleave(int startTrack) const { return (void)startTrack, 10; }
    // The blocks holding the BAM (journalled together) and the ones counted as header blocks.
    virtual BlockList BamBlocks() const = 0;
    // Blocks every blank BAM takes (header, BAM sectors, reserved tracks).
    virtual BlockList SystemBlocks() const = 0;
    // Resets the BAM blocks' own bytes before the tracks are marked free.
    virtual void ResetBamBlocks() {}
    // Tracks whose blocks a cleared BAM marks free.
    virtual std::vector<int> FreeTracks() const;
    // Whether a track's free count enters the free-blocks figure.
    virtual bool CountsFree(int track) const { return (void)track, true; }
    // Writes the header and the first directory block of a blank disk.
    virtual void FormatHeader() = 0;
    // The last sector of the directory order on the directory track.
    virtual int LastDirSector() const { return SectorsOnTrack(dirTrack_) - 1; }

    // Appends the tracks of a run from `first` to `last` (either direction).
    static void AppendRun(std::vector<int>& order, int first, int last);

    DiskGeometry geometry_;
};

} // namespace tessarind
