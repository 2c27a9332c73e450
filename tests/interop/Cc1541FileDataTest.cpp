// Every file cc1541 wrote reads back with exactly the bytes cc1541 was given.

#include <gtest/gtest.h>

#include <algorithm>
#include <optional>
#include <string>
#include <vector>

#include "interop/PeerImages.h"
#include "model/VisitedSet.h"

namespace tessarind {
namespace {

using interop::BuildWithCc1541;
using interop::OpenD64;
using interop::PeerFile;
using testing::ProcessResult;
using testing::TempDir;

// The bytes of the entry at `index`. A DEL entry is not a file to the editor, so its chain
// is read directly; for a REL file it is the data chain (cc1541 writes no side sectors).
std::vector<uint8_t> EntryBytes(DiskImage& image, int index) {
    DirEntry entry = image.EntryAt(index);
    if (!entry) return {};
    if (entry.typeCode() == kDel) {
        ChainWalk size = image.WalkChain(entry.firstTrack(), entry.firstSector());
        std::vector<uint8_t> data(size.bytes);
        image.WalkChain(entry.firstTrack(), entry.firstSector(), false, data);
        return data;
    }
    std::optional<std::vector<uint8_t>> data = image.ReadFileData(index);
    return data ? *data : std::vector<uint8_t>();
}

void ExpectFilesAsGiven(DiskImage& image, const std::vector<PeerFile>& files) {
    ASSERT_EQ(image.entryCount(), static_cast<int>(files.size()));
    for (size_t i = 0; i < files.size(); ++i) {
        std::vector<uint8_t> read = EntryBytes(image, static_cast<int>(i));
        EXPECT_EQ(read.size(), files[i].data.size()) << files[i].name;
        EXPECT_TRUE(read == files[i].data) << files[i].name << ": bytes differ";
    }
}

TEST(Cc1541FileData, FilesOfEveryTypeAndSizeReadBackAsGiven) {
    TempDir dir("tessarind-cc1541-data");
    // cc1541 refuses empty files ("Unexpected filesize"), so the smallest one has one byte.
    const auto files = interop::MixedCatalogue();
    ProcessResult built =
        BuildWithCc1541(dir.path(), "mixed.d64", interop::kMixedDiskOptions, files);
    ASSERT_EQ(built.exitCode, 0) << "cc1541 did not build the image:\n" << built.output;

    auto image = OpenD64(dir / "mixed.d64");
    ASSERT_TRUE(image);
    ExpectFilesAsGiven(*image, files);
}

TEST(Cc1541FileData, FortyTrackImageReadsAcrossTheExtraTracks) {
    TempDir dir("tessarind-cc1541-data40");
    const auto files = interop::FortyTrackCatalogue();
    ProcessResult built =
        BuildWithCc1541(dir.path(), "forty.d64", interop::kFortyTrackOptions, files);
    ASSERT_EQ(built.exitCode, 0) << "cc1541 did not build the image:\n" << built.output;
    ASSERT_EQ(interop::ReadHostFile(dir / "forty.d64").size(),
              D64Image::kImageBytes + D64Image::kExtensionBytes);

    auto image = OpenD64(dir / "forty.d64");
    ASSERT_TRUE(image);
    ASSERT_TRUE(image->flags() & kFlagExtraTracks);

    // The big file must reach past track 35, or this test would prove nothing about them.
    DirEntry big = image->EntryAt(0);
    ASSERT_TRUE(big);
    int highest = 0;
    VisitedSet visited;
    for (int t = big.firstTrack(), s = big.firstSector(); t != 0 && visited.Visit(t, s);) {
        highest = std::max(highest, t);
        const uint8_t* block = image->SectorPointer(t, s);
        ASSERT_NE(block, nullptr) << "chain leads to absent block " << t << "/" << s;
        t = block[0];
        s = block[1];
    }
    EXPECT_GT(highest, D64Image::kTracks);

    ExpectFilesAsGiven(*image, files);
}

} // namespace
} // namespace tessarind
