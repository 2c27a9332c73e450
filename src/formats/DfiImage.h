#pragma once
// A Dreamload file archive: tracks of 256 sectors, a one-bit-per-block BAM (a set bit is a
// used block) and a linked directory laid out like the 1541's. The archive grows a track at a
// time when a file does not fit.

#include "model/DiskImage.h"

namespace tessarind {

class DfiImage : public DiskImage {
public:
    static constexpr int kSectors = 256;
    static constexpr size_t kTrackBytes = 65536;
    // The header keeps the track count in one byte (0 standing for 256) and sector lookup
    // ends at track 256.
    static constexpr int kMaxTracks = 256;
    static constexpr int kFirstBamSector = 16;
    static constexpr int kBamSectors = 32;
    static constexpr int kTrackCountOffset = 28;

    explicit DfiImage(Settings* settings = nullptr);

    uint8_t* SectorPointer(int track, int sector) override;
    uint8_t* DiskNamePointer() override;
    bool NextDirSector(int& track, int& sector) override;
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
    // Adds one track; false (and nothing changed) at the track limit.
    bool SetExtendedTracks(bool on) override;
    bool WriteFileData(std::span<const uint8_t, kNameLength> name, int index, bool interactive,
                       std::vector<uint8_t> data, int recordLength, const FormatRow& row) override;
    bool LocateBlock(const uint8_t* p, int& track, int& sector) override;
    // The bytes given are the whole archive, whatever their size.
    bool LoadFromMemory(std::span<const uint8_t> data) override;
    bool ReplayFormatUndo(const UndoRecord& record) override;

private:
    // The 32 BAM bytes of a track; null when the BAM sector is missing.
    uint8_t* TrackBam(int track);
    // Takes the archive back to `tracks` tracks and `size` bytes, as before it grew.
    void ShrinkTo(int tracks, size_t size);
    void ShowTrackCount();
};

} // namespace tessarind
