#pragma once
// A double-sided 1571 disk image: the 1541's layout twice, the BAM split between 18/0 and 53/0.

#include "formats/D64Image.h"

namespace tessarind {

class D71Image : public D64Image {
public:
    static constexpr int kTracks = 70;
    static constexpr int kSecondBamTrack = 53;
    static constexpr size_t kImageBytes = 349696;

    explicit D71Image(Settings* settings = nullptr);

    uint8_t* SectorPointer(int track, int sector) override { return ZonedDiskImage::SectorPointer(track, sector); }
    void AfterLoad() override {}
    int GetErrorCode(int, int) override { return 0; }
    void SetErrorCode(int, int, int) override {}
    bool HandleCommand(int) override { return false; }
    void UpdateCommands(CommandStates&) override {}

private:
    void FormatHeader() override;
    void TrackOrder(int track, std::vector<int>& order) const override;
    int Interleave(int) const override { return 10; }
    BlockList BamBlocks() const override { return {{kDirTrack, 0}, {kSecondBamTrack, 0}}; }
    BlockList SystemBlocks() const override;
    bool CountsFree(int track) const override { return track != kDirTrack && track != kSecondBamTrack; }
};

} // namespace tessarind
