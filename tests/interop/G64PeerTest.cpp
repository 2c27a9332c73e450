// GCR images cc1541 writes beside its 1541 images: decoded, they hold the same sectors, all
// good; turned on their tracks they still do; a damaged header or data block is reported.

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include "formats/G64Image.h"
#include "interop/PeerImages.h"
#include "support/G64Builder.h"

namespace tessarind {
namespace {

using interop::BuildWithCc1541;
using interop::OpenD64;
using interop::PeerFile;
using interop::ReadHostFile;
using interop::WriteHostFile;
using testing::TempDir;

constexpr int kOk = 0, kDataChecksum = 4, kHeaderChecksum = 7; // rows of the error table

struct PeerPair {
    std::unique_ptr<D64Image> d64;
    std::vector<uint8_t> g64;
};

PeerPair BuildPair(const TempDir& dir, std::vector<std::string> options,
                   const std::vector<PeerFile>& files, int tracks) {
    if (tracks == 35) options.insert(options.end(), {"-g", "peer.g64"});
    testing::ProcessResult built = BuildWithCc1541(dir.path(), "peer.d64", options, files);
    EXPECT_EQ(built.exitCode, 0) << built.output;
    PeerPair pair{OpenD64(dir / "peer.d64"), {}};
    if (tracks == 35) {
        pair.g64 = ReadHostFile(dir / "peer.g64");
        return pair;
    }
    // cc1541 writes GCR for 35-track images only: it writes tracks 1-35 of the 40-track
    // image, and tracks 36-40 are added in the drive's format.
    std::vector<uint8_t> first35 = ReadHostFile(dir / "peer.d64");
    first35.resize(D64Image::kImageBytes);
    WriteHostFile(dir / "first35.d64", first35);
    built = testing::RunProcess({"cc1541", "-g", "first35.g64", "first35.d64"}, dir.path());
    EXPECT_EQ(built.exitCode, 0) << built.output;
    const std::vector<uint8_t> peer = ReadHostFile(dir / "first35.g64");
    std::vector<std::vector<uint8_t>> entries(84);
    for (int k = 0; k < 70; ++k) {
        const auto [offset, length] = testing::EntryPlace(peer, k);
        if (length > 0 && offset + 2 + length <= peer.size())
            entries[static_cast<size_t>(k)].assign(
                peer.begin() + static_cast<std::ptrdiff_t>(offset + 2),
                peer.begin() + static_cast<std::ptrdiff_t>(offset + 2 + length));
    }
    EXPECT_EQ(peer[9], 70);
    if (pair.d64)
        for (int t = 36; t <= 40; ++t)
            entries[static_cast<size_t>(2 * (t - 1))] = testing::TrackOf(*pair.d64, t);
    pair.g64 = testing::BuildG64(entries);
    return pair;
}

std::unique_ptr<G64Image> Decode(const TempDir& dir, const std::vector<uint8_t>& file) {
    WriteHostFile(dir / "decoded.g64", file);
    auto image = std::make_unique<G64Image>();
    if (!image->Open(nullptr, (dir / "decoded.g64").string(), true, false)) return nullptr;
    return image;
}

// Every sector equals the 1541 image's and is good, except the one at `damaged`.
void ExpectSectors(G64Image& decoded, D64Image& peer, std::pair<int, int> damaged = {0, 0},
                   int damagedRow = kOk) {
    ASSERT_EQ(decoded.trackCount(), peer.trackCount());
    for (int t = 1; t <= peer.trackCount(); ++t)
        for (int s = 0; s < D64Image::SectorsOnTrack(t); ++s) {
            const uint8_t* ours = decoded.SectorPointer(t, s);
            const uint8_t* theirs = peer.SectorPointer(t, s);
            ASSERT_TRUE(ours && theirs);
            const bool isDamaged = std::pair(t, s) == damaged;
            // A damaged data block is kept as it was read.
            if (!isDamaged || damagedRow != kDataChecksum) {
                ASSERT_TRUE(std::equal(ours, ours + kBlockSize, theirs))
                    << t << "/" << s << " differs from byte "
                    << std::mismatch(ours, ours + kBlockSize, theirs).first - ours;
            }
            const int row = isDamaged ? damagedRow : kOk;
            ASSERT_EQ(decoded.GetErrorCode(t, s), row)
                << t << "/" << s << " reads " << ErrorCodeTable[decoded.GetErrorCode(t, s)].name;
        }
}

const struct {
    const char* what;
    const std::vector<std::string>& options;
    std::vector<PeerFile> (*files)();
    int tracks;
} kDisks[] = {
    {"files of every type", interop::kMixedDiskOptions, interop::MixedCatalogue, 35},
    {"forty tracks", interop::kFortyTrackOptions, interop::FortyTrackCatalogue, 40},
};

TEST(G64Peer, DecodedSectorsEqualThe1541ImageCc1541WroteBesideIt) {
    for (const auto& disk : kDisks) {
        SCOPED_TRACE(disk.what);
        TempDir dir("tessarind-g64");
        PeerPair pair = BuildPair(dir, disk.options, disk.files(), disk.tracks);
        ASSERT_TRUE(pair.d64);
        ASSERT_EQ(pair.d64->trackCount(), disk.tracks);
        auto image = Decode(dir, pair.g64);
        ASSERT_TRUE(image);
        ExpectSectors(*image, *pair.d64);
        EXPECT_EQ(image->path(), (dir / "decoded.d64").string());
        EXPECT_EQ(image->entryCount(), pair.d64->entryCount());
    }
}

TEST(G64Peer, TurningEachTrackByAnyAmountLeavesTheDecodeAsItWas) {
    for (const auto& disk : kDisks) {
        SCOPED_TRACE(disk.what);
        TempDir dir("tessarind-g64");
        PeerPair pair = BuildPair(dir, disk.options, disk.files(), disk.tracks);
        ASSERT_TRUE(pair.d64);
        for (size_t amount : {1, 5, 9, 10, 17, 100, 181, 360, 361, 1000, 3333, 5000, 6249}) {
            SCOPED_TRACE(amount);
            std::vector<uint8_t> turned = pair.g64;
            for (int k = 0; k < 2 * disk.tracks; k += 2) {
                auto [offset, length] = testing::EntryPlace(turned, k);
                ASSERT_GT(length, 0u) << "entry " << k;
                // A different point of each track, so the cut falls in every part of a sector.
                const size_t by = (amount + 37 * static_cast<size_t>(k)) % length;
                auto first = turned.begin() + static_cast<std::ptrdiff_t>(offset + 2);
                std::rotate(first, first + static_cast<std::ptrdiff_t>(by),
                            first + static_cast<std::ptrdiff_t>(length));
            }
            auto image = Decode(dir, turned);
            ASSERT_TRUE(image);
            ExpectSectors(*image, *pair.d64);
        }
    }
}

// Where the header of (track, sector) starts in the entry's bytes: cc1541 writes it
// byte-aligned after its sync. Npos when absent. (Its checksum is tried whole: which bytes
// cc1541 puts in the ID places is its own affair.)
size_t FindHeader(std::span<const uint8_t> trackData, int track, int sector) {
    const auto t = static_cast<uint8_t>(track), s = static_cast<uint8_t>(sector);
    for (int sum = 0; sum < 256; ++sum) {
        testing::GcrTrackWriter w;
        for (uint8_t b : {uint8_t{0x08}, static_cast<uint8_t>(sum), s, t})
            w.Byte(b);
        auto found =
            std::search(trackData.begin(), trackData.end(), w.Bytes().begin(), w.Bytes().end());
        if (found != trackData.end()) return static_cast<size_t>(found - trackData.begin());
    }
    return std::string::npos;
}

// The byte whose code lies at `bit`; -1 for a code that is no byte's.
int ByteAt(std::span<const uint8_t> bytes, size_t bit) {
    unsigned ten = 0;
    for (size_t b = bit; b < bit + 10; ++b)
        ten = ten << 1 | ((bytes[b / 8] >> (7 - b % 8)) & 1u);
    for (int value = 0; value < 256; ++value)
        if (testing::EncodeGcrByte(static_cast<uint8_t>(value)) == ten) return value;
    return -1;
}

bool HasNibbleF(int value) {
    return (value & 0x0F) == 0x0F || (value >> 4) == 0x0F;
}

// The first bit at or after `from` that is set.
size_t FirstOne(std::span<const uint8_t> bytes, size_t from) {
    while (from < bytes.size() * 8 && !((bytes[from / 8] >> (7 - from % 8)) & 1))
        ++from;
    return from;
}

TEST(G64Peer, ASingleClearedBitInAHeaderOrDataBlockIsThatBlocksChecksumError) {
    TempDir dir("tessarind-g64");
    PeerPair pair = BuildPair(dir, interop::kMixedDiskOptions, interop::MixedCatalogue(), 35);
    ASSERT_TRUE(pair.d64);
    // Clearing a one-bit never makes a sync; the ID bytes and the chosen data bytes have no
    // nibble 0xF, so the damaged code never decodes to the same byte.
    const struct {
        int track, sector;
        bool inHeader;
        size_t skip; // which one-bit of the block's region is cleared
    } flips[] = {
        {1, 0, true, 0},   {18, 0, true, 5},     {18, 1, true, 9},   {35, 16, true, 3},
        {17, 20, true, 7}, {1, 0, false, 0},     {18, 0, false, 40}, {18, 1, false, 300},
        {25, 3, false, 1}, {35, 16, false, 777},
    };
    for (const auto& flip : flips) {
        SCOPED_TRACE(std::to_string(flip.track) + "/" + std::to_string(flip.sector) +
                     (flip.inHeader ? " header" : " data"));
        std::vector<uint8_t> file = pair.g64;
        const auto [offset, length] = testing::EntryPlace(file, 2 * (flip.track - 1));
        std::span<uint8_t> trackData(file.data() + offset + 2, length);
        const size_t header = FindHeader(trackData, flip.track, flip.sector);
        ASSERT_NE(header, std::string::npos);
        for (size_t idByte : {4, 5}) {
            const int id = ByteAt(trackData, header * 8 + idByte * 10);
            ASSERT_TRUE(id >= 0 && !HasNibbleF(id)) << id;
        }
        size_t bit = 0;
        if (flip.inHeader) {
            // The two ID bytes: bits 40-59 of the header block.
            size_t at = header * 8 + 40;
            for (size_t n = 0; n <= flip.skip; ++n)
                at = FirstOne(trackData, n ? at + 1 : at);
            if (at >= header * 8 + 60) at = FirstOne(trackData, header * 8 + 40);
            bit = at;
        } else {
            // The data block starts after the next sync, at the first byte that is not 0xFF.
            size_t data = header + 10;
            while (data < trackData.size() && trackData[data] != 0xFF)
                ++data;
            while (data < trackData.size() && trackData[data] == 0xFF)
                ++data;
            const uint8_t* block = pair.d64->SectorPointer(flip.track, flip.sector);
            // A data byte (block byte j - 1) without a nibble 0xF, counted on from `skip`.
            size_t j = 1 + flip.skip % 256;
            while (HasNibbleF(block[j - 1]))
                j = 1 + j % 256;
            bit = FirstOne(trackData, data * 8 + 10 * j);
            ASSERT_LT(bit, data * 8 + 10 * j + 10);
        }
        ASSERT_LT(bit / 8, trackData.size());
        trackData[bit / 8] &= static_cast<uint8_t>(~(0x80u >> (bit % 8)));
        auto image = Decode(dir, file);
        ASSERT_TRUE(image);
        ExpectSectors(*image, *pair.d64, {flip.track, flip.sector},
                      flip.inHeader ? kHeaderChecksum : kDataChecksum);
    }
}

} // namespace
} // namespace tessarind
