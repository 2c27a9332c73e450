#pragma once
// A 1541 disk image: 35 tracks (40 with extended tracks), optional per-sector error bytes.

#include <array>
#include <string_view>

#include "model/BamMap.h"
#include "model/DiskImage.h"
#include "model/TrackLayout.h"

namespace tessarind {

// The 1541 error codes: stored code, drive error number, name.
struct ErrorCodeRow {
    uint8_t code;
    uint8_t driveNumber;
    std::string_view name;
};
extern const std::array<ErrorCodeRow, 9> ErrorCodeTable;

class D64Image : public DiskImage {
public:
    static constexpr int kTracks = 35;
    static constexpr int kExtendedTracks = 40;
    static constexpr int kDirTrack = 18;
    static constexpr size_t kImageBytes = 174848;     // 683 sectors
    static constexpr size_t kExtensionBytes = 21760;  // tracks 36-40, 17 sectors each
    static constexpr int kErrorCount35 = 683;
    static constexpr int kErrorCount40 = 768;

    explicit D64Image(Settings* settings = nullptr);

    uint8_t* SectorPointer(int track, int sector) override;
    uint8_t* DiskNamePointer() override;
    bool NextDirSector(int& track, int& sector) override;
    bool IsBlockFree(int track, int sector) override;
    void ToggleBlock(int track, int sector) override;
    void ClearBam() override;
    bool CreateEmpty() override;
    void AfterLoad() override;
    int GetErrorCode(int track, int sector) override;
    void SetErrorCode(int track, int sector, int code) override;
    bool HandleCommand(int commandId) override;
    void SnapshotBam() override;
    void UpdateCommands(CommandStates& states) override;
    bool IsHeaderBlock(int track, int sector) override;
    int FreeBlockCount() override;
    uint8_t* AllocateBlock(int& track, int& sector, bool take) override;
    bool SetExtendedTracks(bool on) override;

    static const TrackLayout& Layout();
    static int SectorsOnTrack(int track) { return Layout().SectorsOnTrack(track); }

private:
    const BamMap& Bam() const;
    void ShowCommandChecks();
};

} // namespace tessarind
