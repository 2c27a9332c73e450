#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <string>
#include <vector>

#include "catalog/ImageOpener.h"
#include "formats/G64Image.h"
#include "formats/GcrDecoder.h"
#include "model/FormatRegistry.h"
#include "model/SafeFile.h"
#include "support/G64Builder.h"
#include "support/ImageBuilder.h"
#include "support/Process.h"
#include "support/Recorders.h"

namespace tessarind {
namespace {

using testing::AddFile;
using testing::BlankD64;
using testing::BuildG64;
using testing::EntriesOf;
using testing::GcrTrackWriter;
using testing::Pattern;
using Entries = std::vector<std::vector<uint8_t>>;

// Rows of the error table.
constexpr int kOk = 0, kHeaderNotFound = 1, kDataNotPresent = 3, kDataChecksum = 4,
              kHeaderChecksum = 7;
constexpr uint8_t kFill = 0xE5;

// Settings with a fill byte that no test block is made of.
Settings* FillSettings() {
    static Settings settings = [] {
        Settings s;
        s.Set(SettingId::FillByte, kFill);
        return s;
    }();
    return &settings;
}

std::vector<uint8_t> BlockOf(DiskImage& image, int track, int sector) {
    const uint8_t* p = image.SectorPointer(track, sector);
    return p ? std::vector<uint8_t>(p, p + kBlockSize) : std::vector<uint8_t>();
}

// Opens GCR bytes the way the opener opens bytes in memory.
std::unique_ptr<G64Image> OpenG64(std::span<const uint8_t> file) {
    auto image = std::make_unique<G64Image>(FillSettings());
    EXPECT_TRUE(image->Open(nullptr, "disk.g64", false, true));
    image->LoadFromMemory(file);
    return image;
}

// A 1541 disk with files on several tracks and a directory.
std::unique_ptr<D64Image> SampleDisk() {
    auto disk = BlankD64("GCR SAMPLE", "AB 2A");
    EXPECT_TRUE(AddFile(*disk, {"PROGRAM", 0x82, Pattern(9000, 1)}));
    EXPECT_TRUE(AddFile(*disk, {"NOTES", 0x81, Pattern(700, 2)}));
    return disk;
}

// Every sector of tracks 1 .. tracks reads the same and reports "OK".
void ExpectSameSectors(DiskImage& decoded, DiskImage& original, int tracks) {
    for (int t = 1; t <= tracks; ++t)
        for (int s = 0; s < D64Image::SectorsOnTrack(t); ++s) {
            ASSERT_EQ(BlockOf(decoded, t, s), BlockOf(original, t, s)) << t << "/" << s;
            ASSERT_EQ(decoded.GetErrorCode(t, s), kOk) << t << "/" << s;
        }
}

TEST(GcrCode, EveryByteDecodesFromItsCodeAndInvalidQuintetsDecodeAsDamage) {
    for (int b = 0; b < 256; ++b)
        EXPECT_EQ(DecodeGcrByte(testing::EncodeGcrByte(static_cast<uint8_t>(b))), b);
    const struct {
        unsigned high, low;
        uint8_t byte;
    } cases[] = {
        {0x00, 0x0B, 0xF1}, // invalid high quintet: the high nibble is 0xF
        {0x1F, 0x0A, 0xF0}, {0x0C, 0x17, 0xF7},
        {0x0B, 0x00, 0xFF},                     // invalid low quintet: the whole byte is 0xFF
        {0x0A, 0x1C, 0xFF}, {0x01, 0x1F, 0xFF}, // both
        {0x15, 0x15, 0xFF},                     // valid: 15, 15
        {0x0B, 0x0A, 0x10},
    };
    for (const auto& c : cases)
        EXPECT_EQ(DecodeGcrByte(c.high << 5 | c.low), c.byte) << c.high << " " << c.low;
}

TEST(G64Image, ACleanDiskOpensAsItsSectorsAndSavesAsA1541ImageUnderANewName) {
    testing::TempDir dir;
    auto disk = SampleDisk();
    const std::vector<uint8_t> file = BuildG64(EntriesOf(*disk, 35));
    const std::string path = (dir / "sample.g64").string();
    ASSERT_EQ(WriteWholeFile(path, {std::span<const uint8_t>(file)}), WriteResult::Ok);

    testing::RecordingInteraction ui;
    Settings settings;
    std::unique_ptr<DiskImage> opened = OpenContainer(&ui, path, {}, 0, nullptr, true, &settings);
    auto* image = dynamic_cast<G64Image*>(opened.get());
    ASSERT_NE(image, nullptr) << "a .g64 file opens as a GCR image";
    EXPECT_EQ(image->formatId(), FormatId::G64);
    EXPECT_EQ(image->trackCount(), 35);
    EXPECT_FALSE(image->flags() & kFlagExtraTracks);
    EXPECT_TRUE(image->flags() & kFlagErrorCodes);
    EXPECT_EQ(image->errorByteCount(), D64Image::kErrorCount35);
    ExpectSameSectors(*image, *disk, 35);
    ASSERT_EQ(image->entryCount(), 2);
    EXPECT_EQ(image->ReadFileData(0), Pattern(9000, 1));
    EXPECT_TRUE(std::ranges::equal(image->RawBytes(), file));
    EXPECT_EQ(image->path(), (dir / "sample.d64").string());
    EXPECT_FALSE(image->modified());
    EXPECT_TRUE(image->Journal().empty());
    EXPECT_TRUE(ui.messages.empty());

    // Save goes through the dialog: the GCR file is never written.
    ui.saveChoices.push_back(SaveChoice{(dir / "saved.d64").string()});
    ASSERT_TRUE(image->Save(false));
    ASSERT_EQ(ui.saveRequests.size(), 1u);
    EXPECT_EQ(ui.saveRequests[0].proposedName, "sample.d64");
    EXPECT_EQ(ui.saveRequests[0].defaultExtension, "d64");
    ASSERT_FALSE(ui.saveRequests[0].filters.empty());
    EXPECT_EQ(ui.saveRequests[0].filters[0].extension, ".d64");
    std::vector<uint8_t> saved, original;
    bool openFailed = false;
    ASSERT_TRUE(ReadWholeFile((dir / "saved.d64").string(), saved, openFailed));
    ASSERT_EQ(saved.size(), D64Image::kImageBytes + D64Image::kErrorCount35);
    EXPECT_TRUE(std::all_of(saved.end() - D64Image::kErrorCount35, saved.end(),
                            [](uint8_t code) { return code == 1; }));
    ASSERT_TRUE(ReadWholeFile(path, original, openFailed));
    EXPECT_EQ(original, file);
}

TEST(G64Image, TheCommandLineConvertsAGcrImageAndRefusesToChangeIt) {
    testing::TempDir dir;
    auto disk = SampleDisk();
    const std::vector<uint8_t> file = BuildG64(EntriesOf(*disk, 35));
    ASSERT_EQ(WriteWholeFile((dir / "cli.g64").string(), {std::span<const uint8_t>(file)}),
              WriteResult::Ok);
    const std::string cli = testing::ShellQuote(TESSARIND_CLI);
    const auto run = [&](const std::string& args) {
        return testing::RunProcess({"sh", "-c", cli + " " + args + " 2>&1"}, dir.path());
    };
    testing::ProcessResult removed = run("remove cli.g64 NOTES");
    EXPECT_EQ(removed.exitCode, 1);
    EXPECT_NE(removed.output.find("cli.g64 is only read"), std::string::npos) << removed.output;
    ASSERT_EQ(run("convert cli.g64 cli.d64").exitCode, 0);
    std::vector<uint8_t> converted, after;
    bool openFailed = false;
    ASSERT_TRUE(ReadWholeFile((dir / "cli.d64").string(), converted, openFailed));
    ASSERT_EQ(converted.size(), D64Image::kImageBytes + D64Image::kErrorCount35);
    const std::span<const uint8_t> sectors = disk->Store().Contents();
    EXPECT_TRUE(std::equal(sectors.begin(), sectors.end(), converted.begin()));
    ASSERT_TRUE(ReadWholeFile((dir / "cli.g64").string(), after, openFailed));
    EXPECT_EQ(after, file);
}

TEST(G64Image, TracksPast35SwitchFortyTracksOnAndHalfTracksLandOnTheTrackBelow) {
    auto disk = SampleDisk();
    ASSERT_TRUE(disk->SetExtendedTracks(true));
    for (int t = 36; t <= 40; ++t)
        for (int s = 0; s < 17; ++s) {
            const std::vector<uint8_t> block =
                Pattern(kBlockSize, static_cast<uint32_t>(t * 32 + s));
            std::copy(block.begin(), block.end(), disk->SectorPointer(t, s));
        }
    Entries entries = EntriesOf(*disk, 40);
    auto forty = OpenG64(BuildG64(entries));
    EXPECT_EQ(forty->trackCount(), 40);
    EXPECT_TRUE(forty->flags() & kFlagExtraTracks);
    EXPECT_EQ(forty->errorByteCount(), D64Image::kErrorCount40);
    ExpectSameSectors(*forty, *disk, 40);

    // Track 36 only as the half track 36.5 (entry 71): still read as track 36.
    for (size_t k = 72; k < entries.size(); ++k)
        entries[k].clear();
    entries[71] = std::move(entries[70]);
    auto half = OpenG64(BuildG64(entries));
    EXPECT_EQ(half->trackCount(), 40);
    ExpectSameSectors(*half, *disk, 36);
    EXPECT_EQ(half->GetErrorCode(37, 0), kHeaderNotFound);
    EXPECT_EQ(BlockOf(*half, 37, 0), std::vector<uint8_t>(kBlockSize, kFill));
}

// One track entry of a file, the sector to look at, what it must report and hold.
struct DecodeCase {
    const char* what;
    std::function<void(Entries&, uint16_t& maxTrackSize)> build;
    int track, sector, row;
    std::vector<uint8_t> data; // empty: the fill byte
};

std::vector<uint8_t> Block(uint32_t seed) {
    return Pattern(kBlockSize, seed);
}

// A track of one block, written by `write` at entry `k`.
std::function<void(Entries&, uint16_t&)> Track(int k, std::function<void(GcrTrackWriter&)> write) {
    return [k, write](Entries& entries, uint16_t&) {
        GcrTrackWriter w;
        write(w);
        entries[static_cast<size_t>(k)] = w.Bytes();
    };
}

TEST(G64Image, EachSectorReportsWhatItsBlocksSay) {
    const std::vector<DecodeCase> cases = {
        {"a clean sector", Track(34, [](GcrTrackWriter& w) { w.Sector(18, 5, Block(1)); }), 18, 5,
         kOk, Block(1)},
        {"header checksum wrong",
         Track(34,
               [](GcrTrackWriter& w) {
                   w.Sync(), w.Header(18, 5, 'A', 'B', 1), w.Gap(9), w.Sync(), w.Data(Block(2));
               }),
         18, 5, kHeaderChecksum, Block(2)},
        {"data checksum wrong",
         Track(34,
               [](GcrTrackWriter& w) {
                   w.Sync(), w.Header(18, 5), w.Gap(9), w.Sync(), w.Data(Block(3), 0x40);
               }),
         18, 5, kDataChecksum, Block(3)},
        {"both checksums wrong: the data's is told",
         Track(34,
               [](GcrTrackWriter& w) {
                   w.Sync(), w.Header(18, 5, 'A', 'B', 2), w.Gap(9), w.Sync(), w.Data(Block(3), 1);
               }),
         18, 5, kDataChecksum, Block(3)},
        {"a data block without a header",
         Track(34, [](GcrTrackWriter& w) { w.Sync(), w.Data(Block(4)), w.Gap(8); }),
         18,
         5,
         kHeaderNotFound,
         {}},
        {"a data block cut short by the end of the file",
         [](Entries& entries, uint16_t& maxTrackSize) {
             GcrTrackWriter w;
             w.Sync(), w.Header(18, 5), w.Gap(9), w.Sync(), w.Byte(0x07);
             for (int i = 0; i < 40; ++i)
                 w.Byte(static_cast<uint8_t>(i));
             entries[34] = w.Bytes();
             maxTrackSize = static_cast<uint16_t>(w.Bytes().size());
         },
         18,
         5,
         kDataNotPresent,
         {}},
        {"ten one-bits are no sync",
         Track(34,
               [](GcrTrackWriter& w) {
                   w.Bits(0, 8), w.Ones(10), w.Header(18, 5), w.Gap(9), w.Bits(0, 8), w.Ones(10),
                       w.Data(Block(5)), w.Gap(8);
               }),
         18,
         5,
         kHeaderNotFound,
         {}},
        {"eleven are",
         Track(34,
               [](GcrTrackWriter& w) {
                   w.Bits(0, 8), w.Ones(11), w.Header(18, 5), w.Gap(9), w.Bits(0, 8), w.Ones(11),
                       w.Data(Block(5)), w.Gap(8);
               }),
         18, 5, kOk, Block(5)},
        {"sector 21 on a track of 19 stores nothing",
         Track(34, [](GcrTrackWriter& w) { w.Sector(18, 21, Block(6)); }),
         18,
         2,
         kHeaderNotFound,
         {}},
        {"the track byte of the header is not compared",
         Track(34, [](GcrTrackWriter& w) { w.Sector(7, 5, Block(7)); }), 18, 5, kOk, Block(7)},
        {"a half track after its full track: the later copy stays",
         [](Entries& entries, uint16_t&) {
             GcrTrackWriter full, half;
             full.Sector(18, 5, Block(8));
             half.Sector(18, 5, Block(9));
             entries[34] = full.Bytes();
             entries[35] = half.Bytes();
         },
         18, 5, kOk, Block(9)},
        {"track 41 is not stored",
         Track(80, [](GcrTrackWriter& w) { w.Sector(41, 5, Block(10)); }),
         18,
         5,
         kHeaderNotFound,
         {}},
    };
    for (const DecodeCase& c : cases) {
        SCOPED_TRACE(c.what);
        Entries entries(84);
        uint16_t maxTrackSize = 7928;
        c.build(entries, maxTrackSize);
        auto image = OpenG64(BuildG64(entries, maxTrackSize));
        EXPECT_EQ(image->GetErrorCode(c.track, c.sector), c.row);
        EXPECT_EQ(BlockOf(*image, c.track, c.sector),
                  c.data.empty() ? std::vector<uint8_t>(kBlockSize, kFill) : c.data);
        EXPECT_EQ(image->trackCount(), c.track > 35 ? 40 : 35);
        // Nothing else was stored.
        for (int t = 1; t <= 35; ++t)
            for (int s = 0; s < D64Image::SectorsOnTrack(t); ++s)
                if (t != c.track || s != c.sector) {
                    ASSERT_EQ(image->GetErrorCode(t, s), kHeaderNotFound) << t << "/" << s;
                }
    }
}

TEST(G64Image, ASectorAcrossTheEndOfTheStoredTrackStillDecodes) {
    auto disk = SampleDisk();
    // An empty block: read on into the 0xFF padding after the stored data, an odd number of
    // 0xFF bytes and the 0xFF read as its checksum would pass for good.
    std::fill_n(disk->SectorPointer(18, 5), kBlockSize, 0);
    const std::vector<uint8_t> track = testing::TrackOf(*disk, 18);
    // A formatted sector takes 362 bytes: sync 5, header 10, gap 9, sync 5, data 325, gap 8.
    const size_t sector5 = 5 * 362;
    for (size_t into = 0; into < 362; into += 3) {
        SCOPED_TRACE(into);
        std::vector<uint8_t> rotated(track.begin() + static_cast<std::ptrdiff_t>(sector5 + into),
                                     track.end());
        rotated.insert(rotated.end(), track.begin(),
                       track.begin() + static_cast<std::ptrdiff_t>(sector5 + into));
        Entries entries(84);
        entries[34] = rotated;
        // Stored as long as the largest track: the scan from the offset stops short of its end.
        for (uint16_t maxTrackSize : {uint16_t(7928), static_cast<uint16_t>(rotated.size())}) {
            auto image = OpenG64(BuildG64(entries, maxTrackSize));
            for (int s = 0; s < 19; ++s) {
                ASSERT_EQ(image->GetErrorCode(18, s), kOk) << s;
                ASSERT_EQ(BlockOf(*image, 18, s), BlockOf(*disk, 18, s)) << s;
            }
        }
    }
}

TEST(G64Image, OffsetsAndLengthsThatLieReadNothingOutsideTheFile) {
    auto disk = SampleDisk();
    Entries entries(84);
    entries[34] = testing::TrackOf(*disk, 18);
    const std::vector<uint8_t> good = BuildG64(entries);
    const size_t table = 12 + 4 * 34;
    const auto put = [](std::vector<uint8_t>& file, size_t at, uint32_t value, int bytes) {
        for (int b = 0; b < bytes; ++b)
            file[at + static_cast<size_t>(b)] = static_cast<uint8_t>(value >> (8 * b));
    };
    const size_t offset = testing::EntryPlace(good, 34).first;
    const struct {
        const char* what;
        std::function<void(std::vector<uint8_t>&)> damage;
        bool readable;
    } cases[] = {
        {"intact", [](std::vector<uint8_t>&) {}, true},
        {"offset at the end of the file",
         [&](std::vector<uint8_t>& f) { put(f, table, static_cast<uint32_t>(f.size()), 4); },
         false},
        {"offset far past the file",
         [&](std::vector<uint8_t>& f) { put(f, table, 0xFFFFFFF0u, 4); }, false},
        {"stored length past the file", [&](std::vector<uint8_t>& f) { put(f, offset, 0xFFFF, 2); },
         true},
        {"largest track size past the file",
         [&](std::vector<uint8_t>& f) { put(f, 10, 0xFFFF, 2); }, true},
        {"file cut before the first header's end",
         [&](std::vector<uint8_t>& f) { f.resize(offset + 12); }, false},
        {"file cut inside the offset table", [&](std::vector<uint8_t>& f) { f.resize(table + 2); },
         false},
        {"255 entries, most past the file", [&](std::vector<uint8_t>& f) { f[9] = 255; }, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        std::vector<uint8_t> file = good;
        c.damage(file);
        auto image = OpenG64(file);
        EXPECT_EQ(image->GetErrorCode(18, 0), c.readable ? kOk : kHeaderNotFound);
        EXPECT_EQ(image->GetErrorCode(18, 18), c.readable ? kOk : kHeaderNotFound);
        EXPECT_EQ(image->GetErrorCode(17, 0), kHeaderNotFound);
    }
}

} // namespace
} // namespace tessarind
