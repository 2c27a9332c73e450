#pragma once
// A 1541 disk image: 35 tracks (40 with extended tracks), optional per-sector error bytes.

#include <array>
#include <string_view>

#include "formats/ZonedDiskImage.h"

namespace tessarind {

// The 1541 error codes: stored code, drive error number, name.
struct ErrorCodeRow {
    uint8_t code;
    uint8_t driveNumber;
    std::string_view name;
};
extern const std::array<ErrorCodeRow, 9> ErrorCodeTable;

class D64Image : public ZonedDiskImage {
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
    bool NextDirSector(int& track, int& sector) override;
    void AfterLoad() override;
    int GetErrorCode(int track, int sector) override;
    void SetErrorCode(int track, int sector, int code) override;
    bool HandleCommand(int commandId) override;
    void UpdateCommands(CommandStates& states) override;
    bool SetExtendedTracks(bool on) override;

    static const TrackLayout& Layout();
    static int SectorsOnTrack(int track) { return Layout().SectorsOnTrack(track); }

protected:
    // The 1571 shares the 1541's first side and directory.
    D64Image(const DiskGeometry& geometry, Settings* settings) : ZonedDiskImage(geometry, settings) {}
    // The 1541's geometry under another kind's format id (an image read from another form).
    static DiskGeometry GeometryAs(int formatId);
    // Header of a blank disk in 18/0 and the empty directory block 18/1.
    void FormatHeader() override;

private:
    void TrackOrder(int track, std::vector<int>& order) const override;
    int Interleave(int startTrack) const override { return SearchInterleave(startTrack); }
    BlockList BamBlocks() const override { return {{kDirTrack, 0}}; }
    BlockList SystemBlocks() const override { return {{kDirTrack, 0}}; }
    bool CountsFree(int track) const override { return track != kDirTrack; }
    void ShowCommandChecks();
};

} // namespace tessarind
