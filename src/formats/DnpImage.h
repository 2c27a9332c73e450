#pragma once
// A CMD native partition: up to 255 flat tracks of 256 sectors, a bitmap of 32 sectors on
// track 1 (a set bit is a free block), a linked directory and real sub-directories whose
// header blocks lie anywhere on the disk.

#include "model/DiskImage.h"

namespace tessarind {

class DnpImage : public DiskImage {
public:
    static constexpr int kSectors = 256;
    static constexpr int kMaxTracks = 255;
    static constexpr int kFirstBamSector = 2;
    static constexpr int kLastBamSector = 33;
    static constexpr int kFirstDirSector = 34;
    static constexpr long kLargestSize = 65280; // sectors of 255 tracks
    static constexpr long kSmallestSize = 512;

    explicit DnpImage(Settings* settings = nullptr);

    uint8_t* SectorPointer(int track, int sector) override;
    uint8_t* DiskNamePointer() override;
    bool NextDirSector(int& track, int& sector) override;
    bool FindFreeDirSector(int& track, int& sector) override;
    bool IsBlockFree(int track, int sector) override;
    void ToggleBlock(int track, int sector) override;
    void ClearBam() override;
    bool CreateEmpty() override;
    void AfterLoad() override;
    int GetErrorCode(int, int) override { return 0; }
    void SetErrorCode(int, int, int) override {}
    bool HandleCommand(int) override { return false; }
    void SnapshotBam() override;
    void UpdateCommands(CommandStates&) override {}
    bool IsHeaderBlock(int track, int sector) override;
    int FreeBlockCount() override;
    uint8_t* AllocateBlock(int& track, int& sector, bool take) override;
    bool CreateSubDirectory(int index) override;

    // A blank partition of `offered` sectors, or of the size the owner answers when `ask`.
    bool CreateSized(long offered, bool ask);
    // The size a blank partition gets for an answer: even, at least 512, at most offered.
    static long PartitionSize(long answer, long offered);
    // Sectors a new partition gets when none is offered (the New command's size).
    void OfferSize(long sectors) { offeredSize_ = sectors; }

private:
    // The bitmap byte of a block, or null for a track outside the partition.
    uint8_t* BamByte(int track, int sector);
    long offeredSize_ = kLargestSize;
};

} // namespace tessarind
