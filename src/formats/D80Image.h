#pragma once
// 8050 and 8250 disk images: 77 tracks of 29 to 23 sectors (the 8250 has them twice), the BAM
// in a chain of sectors on track 38, header and directory on track 39.

#include "formats/ZonedDiskImage.h"

namespace tessarind {

class D80Image : public ZonedDiskImage {
public:
    static constexpr int kHeaderTrack = 39;
    static constexpr int kBamTrack = 38;

    explicit D80Image(Settings* settings = nullptr);

    bool IsHeaderBlock(int track, int sector) override;

protected:
    D80Image(const DiskGeometry& geometry, Settings* settings) : ZonedDiskImage(geometry, settings) {}

private:
    void FormatHeader() override;
    void TrackOrder(int track, std::vector<int>& order) const override;
    BlockList BamBlocks() const override;
    BlockList SystemBlocks() const override;
    void ResetBamBlocks() override;
    int LastDirSector() const override { return 28; }
    // The header track is never handed out by allocation, so its free sectors are no room
    // for files; the drive leaves them out of its count as well.
    bool CountsFree(int track) const override { return track != kHeaderTrack; }
};

class D82Image : public D80Image {
public:
    explicit D82Image(Settings* settings = nullptr);
};

} // namespace tessarind
