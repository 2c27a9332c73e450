// 1571 (.d71) and 1581 (.d81) images between the peers and the editor: images cc1541 and
// cbmconvert wrote list and read as the peers have them, Validate rebuilds their BAM, and
// images we make are extracted by cbmconvert and listed by cc1541 as we list them.
//
// The BAM of a 1571 disk: 18/0 holds the first side as on a 1541 and, at 0xDD-0xFF, the
// free counts of tracks 36-70; 53/0 holds the bitmaps of tracks 36-70 (three bytes each,
// from offset 0). Track 53 is reserved whole: its free count is 0. The BAM of a 1581 disk
// is 40/1 (tracks 1-40) and 40/2 (tracks 41-80), six bytes a track from offset 0x10.

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <filesystem>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "interop/PeerTools.h"
#include "text/Petscii.h"

namespace tessarind {
namespace {

using interop::BamBlocksOf;
using interop::BamCopy;
using interop::Block;
using interop::BuildWithCc1541;
using interop::Cbmconvert;
using interop::ChainBlocks;
using interop::ChainData;
using interop::ExpectSameBam;
using interop::ExpectSameListing;
using interop::ExtractWithCbmconvert;
using interop::ListWithCc1541;
using interop::NameOf;
using interop::NewImage;
using interop::OpenImageFile;
using interop::OurListingLines;
using interop::PeerFile;
using interop::Row;
using interop::WriteHostFile;
using testing::Pattern;
using testing::ProcessResult;
using testing::TempDir;
namespace fs = std::filesystem;

// What differs between the two formats in these tests.
struct Kind {
    const char* extension;  // ".d71"
    const char* cbmconvert; // its option: -D7
    int lastLowTrack;       // a file reaching past it crossed to side 2 / the upper half
    size_t bigFile;         // a size that takes a writer past lastLowTrack
};

constexpr Kind k1571{".d71", "-D7", 35, 200000};
constexpr Kind k1581{".d81", "-D8", 40, 450000};

std::unique_ptr<DiskImage> Open(const Kind& kind, const fs::path& path) {
    if (&kind == &k1571) return OpenImageFile<D71Image>(path);
    return OpenImageFile<D81Image>(path);
}

std::unique_ptr<DiskImage> Blank(const Kind& kind) {
    if (&kind == &k1571) return NewImage<D71Image>();
    return NewImage<D81Image>();
}

int HighestTrack(DiskImage& image, DirEntry entry) {
    int highest = 0;
    for (auto [t, s] : ChainBlocks(image, entry.firstTrack(), entry.firstSector()))
        highest = std::max(highest, t);
    return highest;
}

// The bytes of an entry: ReadFileData, or the chain itself for a DEL file (not a file to
// the editor) and for cc1541's REL files (which have no side sectors).
std::vector<uint8_t> EntryBytes(DiskImage& image, int index) {
    DirEntry entry = image.EntryAt(index);
    if (!entry) return {};
    if (entry.typeCode() == kDel) return ChainData(image, entry);
    std::optional<std::vector<uint8_t>> data = image.ReadFileData(index);
    return data ? *data : std::vector<uint8_t>();
}

// The mixed catalogue of the 1541 tests and a file big enough to leave the lower tracks.
std::vector<PeerFile> Cc1541Catalogue(const Kind& kind) {
    std::vector<PeerFile> files = interop::MixedCatalogue();
    files.push_back({"big one", "", false, false, Pattern(kind.bigFile, 111)});
    files.push_back({"after big", "SEQ", false, false, Pattern(3000, 112)});
    return files;
}

// The same without its DEL file: Validate and DEL files are tested on their own
// (MaintenanceInterop), so that a fault there does not hide any other here.
std::vector<PeerFile> Cc1541CatalogueWithoutDel(const Kind& kind) {
    std::vector<PeerFile> files = Cc1541Catalogue(kind);
    std::erase_if(files, [](const PeerFile& file) { return file.type == "DEL"; });
    return files;
}

// ---- cc1541's images ------------------------------------------------------------------

void CheckCc1541Image(const Kind& kind) {
    TempDir dir("tessarind-cc1541-big");
    const std::string name = std::string("peer") + kind.extension;
    const std::vector<PeerFile> files = Cc1541Catalogue(kind);
    ProcessResult built =
        BuildWithCc1541(dir.path(), name, {"-n", "two sides", "-i", "ts 2a"}, files);
    ASSERT_EQ(built.exitCode, 0) << "cc1541 did not build the image:\n" << built.output;

    auto image = Open(kind, dir / name);
    ASSERT_TRUE(image);
    ASSERT_EQ(image->entryCount(), static_cast<int>(files.size()));
    const int big = static_cast<int>(files.size()) - 2;
    EXPECT_GT(HighestTrack(*image, image->EntryAt(big)), kind.lastLowTrack)
        << "the big file stayed on the lower tracks: this test would prove nothing about them";

    for (size_t i = 0; i < files.size(); ++i) {
        std::vector<uint8_t> read = EntryBytes(*image, static_cast<int>(i));
        EXPECT_EQ(read.size(), files[i].data.size()) << files[i].name;
        EXPECT_TRUE(read == files[i].data) << files[i].name << ": bytes differ";
    }

    std::vector<std::string> peer = ListWithCc1541(dir / name);
    ASSERT_EQ(peer.size(), files.size() + 2);
    std::vector<std::string> ours = OurListingLines(*image);
    ASSERT_EQ(ours.size(), peer.size());
    if (&kind == &k1571) {
        // cc1541 keeps the free counts of tracks 36-70 in 53/0 at 0xDD-0xFF instead of 18/0
        // (where it leaves zeros) and leaves 18 blocks of track 53 free. The free line of
        // ours (the drive's: side 1 from 18/0, side 2 from the counts at 18/0 0xDD) cannot
        // match; the side-2 blocks cc1541 counts are those its bitmaps in 53/0 show free.
        const Block bam2 = interop::CopyBlock(*image, D71Image::kSecondBamTrack, 0);
        int side2 = 0;
        for (int t = 36; t <= 70; ++t)
            for (int s = 0; s < 24; ++s)
                if (bam2[(t - 36) * 3 + s / 8] & (1 << (s % 8))) ++side2;
        int side1 = 0;
        for (int t = 1; t <= 35; ++t)
            if (t != D64Image::kDirTrack) side1 += image->SectorPointer(18, 0)[4 * t];
        EXPECT_EQ(peer.back(), std::to_string(side1 + side2) + " blocks free.");
        EXPECT_EQ(interop::Lower(ours.back()), std::to_string(side1) + " blocks free.")
            << "side 2 counts at 18/0 0xDD are zero in cc1541's image";
        ours.pop_back();
        peer.pop_back();
    }
    ExpectSameListing(ours, peer);
}

TEST(DoubleSidedAnd1581, Cc1541D71ListsAndReadsAsCc1541WroteIt) {
    CheckCc1541Image(k1571);
}

TEST(DoubleSidedAnd1581, Cc1541D81ListsAndReadsAsCc1541WroteIt) {
    CheckCc1541Image(k1581);
}

// Validate on cc1541's 1581 image rebuilds its BAM exactly.
TEST(DoubleSidedAnd1581, ValidateKeepsTheBamOfACc1541D81) {
    TempDir dir("tessarind-cc1541-d81-validate");
    ProcessResult built = BuildWithCc1541(dir.path(), "peer.d81", {"-n", "validate"},
                                          Cc1541CatalogueWithoutDel(k1581));
    ASSERT_EQ(built.exitCode, 0) << built.output;
    auto image = OpenImageFile<D81Image>(dir / "peer.d81");
    ASSERT_TRUE(image);
    const auto before = BamCopy(*image);
    image->Validate();
    ExpectSameBam(before, BamCopy(*image), BamBlocksOf(*image));
}

// On cc1541's 1571 image Validate rebuilds every bitmap as cc1541 has it but for track 53,
// which the drive reserves whole (cc1541 leaves 18 of its blocks free), and writes the
// side-2 free counts to 18/0 0xDD where the drive reads them: they equal the ones cc1541
// put in 53/0 0xDD, but for track 53 (0). 53/0 0xDD-0xFF stays as cc1541 left it.
TEST(DoubleSidedAnd1581, ValidateKeepsTheBamOfACc1541D71ButItsQuirks) {
    TempDir dir("tessarind-cc1541-d71-validate");
    ProcessResult built = BuildWithCc1541(dir.path(), "peer.d71", {"-n", "validate"},
                                          Cc1541CatalogueWithoutDel(k1571));
    ASSERT_EQ(built.exitCode, 0) << built.output;
    auto image = OpenImageFile<D71Image>(dir / "peer.d71");
    ASSERT_TRUE(image);
    const auto before = BamCopy(*image);
    image->Validate();
    const auto after = BamCopy(*image);

    constexpr int kCounts = 0xDD, kTrack53 = 53 - 36;
    Block expected18 = before[0];
    Block expected53 = before[1];
    for (int i = 0; i < 35; ++i) {
        expected18[kCounts + i] = i == kTrack53 ? 0 : before[1][kCounts + i];
        expected53[kCounts + i] = before[1][kCounts + i]; // left as cc1541 wrote it
    }
    for (int i = 0; i < 3; ++i)
        expected53[kTrack53 * 3 + i] = 0;
    ExpectSameBam({expected18, expected53}, after, BamBlocksOf(*image));
    // The quirks are what this test says they are: cc1541's own bytes.
    EXPECT_EQ(before[0][kCounts], 0) << "cc1541 now writes side-2 counts to 18/0";
    EXPECT_NE(before[1][kTrack53 * 3], 0) << "cc1541 now reserves track 53";
}

// ---- cbmconvert's images --------------------------------------------------------------

struct HostFile {
    std::string name; // file name given to cbmconvert
    std::string cbmName;
    uint8_t type;
    std::vector<uint8_t> data;
    int recordLength = 0;
};

// PC64 bytes of a file: the header (name padded with 0xA0, as cbmconvert's own) and data.
std::vector<uint8_t> Pc64(const HostFile& file) {
    std::vector<uint8_t> bytes = {'C', '6', '4', 'F', 'i', 'l', 'e', 0};
    const auto name = PetsciiName(file.cbmName);
    bytes.insert(bytes.end(), name.begin(), name.end());
    bytes.push_back(0);
    bytes.push_back(static_cast<uint8_t>(file.recordLength));
    bytes.insert(bytes.end(), file.data.begin(), file.data.end());
    return bytes;
}

// Plain files and PC64 files; a REL file for the 1571 only, as cbmconvert writes none to a
// 1581 image ("Could not set up the side sectors"). No DEL file: Validate and DEL files are
// tested on their own (MaintenanceInterop).
std::vector<HostFile> CbmconvertCatalogue(const Kind& kind) {
    std::vector<HostFile> files = {
        {"first.prg", "first", 0x82, Pattern(1, 121)},
        {"second.seq", "second", 0x81, Pattern(254, 122)},
        {"third.usr", "third", 0x83, Pattern(255, 123)},
        {"big.prg", "big", 0x82, Pattern(kind.bigFile, 125)},
        {"pcprog.p00", "pc program 1", 0x82, Pattern(3000, 126)},
        {"pcseq.s00", "pc seq", 0x81, Pattern(600, 127)},
        {"pcusr.u00", "pc usr", 0x83, Pattern(20000, 128)},
    };
    if (&kind == &k1571) files.push_back({"pcrel.r00", "pc rel", 0x84, Pattern(64 * 500, 129), 64});
    return files;
}

void BuildWithCbmconvert(const Kind& kind, const fs::path& dir, const std::string& imageName,
                         const std::vector<HostFile>& files) {
    std::vector<std::string> native = {kind.cbmconvert, imageName, "-n"};
    std::vector<std::string> pc = {kind.cbmconvert, imageName, "-p"};
    for (const HostFile& file : files) {
        const bool isPc = file.name.ends_with("00");
        WriteHostFile(dir / file.name, isPc ? Pc64(file) : file.data);
        (isPc ? pc : native).push_back(file.name);
    }
    for (const auto& argv : {native, pc}) {
        ProcessResult built = Cbmconvert(argv, dir);
        ASSERT_EQ(built.exitCode, 0) << built.output;
        ASSERT_FALSE(interop::CbmconvertComplained(built)) << built.output;
    }
}

void CheckCbmconvertImage(const Kind& kind) {
    TempDir dir("tessarind-cbmconvert-big");
    const std::string name = std::string("peer") + kind.extension;
    const std::vector<HostFile> files = CbmconvertCatalogue(kind);
    ASSERT_NO_FATAL_FAILURE(BuildWithCbmconvert(kind, dir.path(), name, files));

    auto image = Open(kind, dir / name);
    ASSERT_TRUE(image);
    ASSERT_EQ(image->entryCount(), static_cast<int>(files.size()));
    bool crossed = false;
    for (size_t i = 0; i < files.size(); ++i) {
        const HostFile& file = files[i];
        SCOPED_TRACE(file.name);
        DirEntry entry = image->EntryAt(static_cast<int>(i));
        ASSERT_TRUE(entry);
        EXPECT_EQ(NameOf(entry), PetsciiName(file.cbmName));
        EXPECT_EQ(entry.type(), file.type);
        std::vector<uint8_t> read = EntryBytes(*image, static_cast<int>(i));
        EXPECT_EQ(read.size(), file.data.size());
        EXPECT_TRUE(read == file.data) << "bytes differ";
        if (file.recordLength) {
            EXPECT_EQ(entry.recordLength(), file.recordLength);
            interop::ExpectSideSectors(
                interop::ReadSideSectors(*image, entry),
                interop::ExpectedSideSectors(static_cast<int>((file.data.size() + 253) / 254),
                                             file.recordLength),
                "cbmconvert");
        }
        crossed = crossed || HighestTrack(*image, entry) > kind.lastLowTrack;
    }
    EXPECT_TRUE(crossed) << "no file left the lower tracks";

    ExpectSameListing(OurListingLines(*image), ListWithCc1541(dir / name));

    const auto before = BamCopy(*image);
    image->Validate();
    ExpectSameBam(before, BamCopy(*image), BamBlocksOf(*image));
}

TEST(DoubleSidedAnd1581, CbmconvertD71ReadsListsAndValidatesAsWritten) {
    CheckCbmconvertImage(k1571);
}

TEST(DoubleSidedAnd1581, CbmconvertD81ReadsListsAndValidatesAsWritten) {
    CheckCbmconvertImage(k1581);
}

// ---- Our images -----------------------------------------------------------------------

struct OurFile {
    std::string name; // host text, converted as the editor converts names
    int rowId;
    std::vector<uint8_t> data;
    std::string native; // cbmconvert's native file name
    int recordLength = 0;
};

// Files of each type, the directory past its first block, one file too big for the lower
// tracks; a REL file with two side sectors on the 1571 (the 1581's are tested on their own).
std::vector<OurFile> OurFiles(const Kind& kind) {
    using namespace interop::RowId;
    std::vector<OurFile> files = {
        {"small", Prg, Pattern(1, 131), "small.prg"},
        {"block", Seq, Pattern(254, 132), "block.seq"},
        {"user data", Usr, Pattern(5000, 133), "user data.usr"},
        {"huge", Prg, Pattern(kind.bigFile, 134), "huge.prg"},
        {"after huge", Seq, Pattern(30000, 135), "after huge.seq"},
        {"file 6", Prg, Pattern(509, 136), "file 6.prg"},
        {"file 7", Prg, Pattern(762, 137), "file 7.prg"},
        {"file 8", Usr, Pattern(100, 138), "file 8.usr"},
        {"ninth in block 2", Prg, Pattern(2000, 139), "ninth in block 2.prg"},
    };
    if (&kind == &k1571)
        files.push_back({"records", Rel, Pattern(40 * 1000, 140), "records.l28", 40});
    return files;
}

void CheckOurImage(const Kind& kind) {
    TempDir dir("tessarind-ours-big");
    auto image = Blank(kind);
    ASSERT_TRUE(image);
    const std::vector<OurFile> files = OurFiles(kind);
    for (size_t i = 0; i < files.size(); ++i)
        ASSERT_TRUE(image->WriteFileData(PetsciiName(files[i].name), static_cast<int>(i), false,
                                         files[i].data, files[i].recordLength, Row(files[i].rowId)))
            << files[i].name;
    ASSERT_EQ(image->entryCount(), static_cast<int>(files.size()));
    bool crossed = false;
    for (size_t i = 0; i < files.size(); ++i)
        crossed = crossed ||
                  HighestTrack(*image, image->EntryAt(static_cast<int>(i))) > kind.lastLowTrack;
    EXPECT_TRUE(crossed) << "no file left the lower tracks";

    const fs::path path = dir / (std::string("ours") + kind.extension);
    ASSERT_TRUE(image->WriteFile(path.string()));

    std::map<std::string, std::vector<uint8_t>> got = ExtractWithCbmconvert(path, dir / "out");
    EXPECT_EQ(got.size(), files.size());
    for (const OurFile& file : files)
        EXPECT_TRUE(got.count(file.native) && got[file.native] == file.data)
            << file.native << ": missing or bytes differ";

    // cc1541 lists it as we do, free blocks included.
    std::vector<std::string> peer = ListWithCc1541(path);
    EXPECT_EQ(peer.size(), files.size() + 2);
    ExpectSameListing(OurListingLines(*image), peer);

    // And the blank image we started from has the free count of a freshly formatted disk.
    auto blank = Blank(kind);
    ASSERT_TRUE(blank);
    const fs::path blankPath = dir / (std::string("blank") + kind.extension);
    ASSERT_TRUE(blank->WriteFile(blankPath.string()));
    std::vector<std::string> blankListing = ListWithCc1541(blankPath);
    ASSERT_FALSE(blankListing.empty());
    EXPECT_EQ(blankListing.back(), &kind == &k1571 ? "1328 blocks free." : "3160 blocks free.");
    ExpectSameListing(OurListingLines(*blank), blankListing);
}

TEST(DoubleSidedAnd1581, OurD71IsExtractedByCbmconvertAndListedByCc1541) {
    CheckOurImage(k1571);
}

TEST(DoubleSidedAnd1581, OurD81IsExtractedByCbmconvertAndListedByCc1541) {
    CheckOurImage(k1581);
}

// A 1581 REL file has a super side sector: the entry names it, its bytes 0-1 name the first
// side sector, byte 2 marks it (0xFE as the drive writes it; the 1581 User's Guide prints
// 0xFF, so either is taken) and from byte 3 it lists the first side sector of each group
// of six. The side sectors themselves are the 1541's, and the block count includes all of
// them. No peer writes one (cbmconvert refuses REL files on a 1581 image, cc1541 writes no
// side sectors), so the layout is checked against the format.
TEST(DoubleSidedAnd1581, OurD81RelFileHasASuperSideSector) {
    auto image = NewImage<D81Image>();
    ASSERT_TRUE(image);
    const std::vector<uint8_t> records = Pattern(50 * 1000, 141); // 197 blocks, 2 side sectors
    ASSERT_TRUE(image->WriteFileData(PetsciiName("records"), 0, false, records, 50,
                                     Row(interop::RowId::Rel)));
    DirEntry entry = image->EntryAt(0);
    ASSERT_TRUE(entry);
    std::optional<std::vector<uint8_t>> data = image->ReadFileData(0);
    ASSERT_TRUE(data);
    EXPECT_TRUE(*data == records);
    EXPECT_EQ(entry.recordLength(), 50);
    EXPECT_EQ(entry.blocks(), 197 + 2 + 1) << "data blocks, side sectors, super side sector";

    const Block super = interop::CopyBlock(*image, entry.sideTrack(), entry.sideSector());
    EXPECT_TRUE(super[2] == 0xFE || super[2] == 0xFF)
        << "the entry does not name a super side sector (byte 2 is " << int(super[2]) << ")";
    ASSERT_NE(super[0], 0);
    const Block first = interop::CopyBlock(*image, super[0], super[1]);
    EXPECT_EQ(super[3], super[0]);
    EXPECT_EQ(super[4], super[1]);
    EXPECT_EQ(super[5], 0) << "a second group listed for two side sectors";
    EXPECT_EQ(first[2], 0) << "the super side sector's link is not side sector 0";

    // From the first side sector on, the 1541's layout.
    std::array<uint8_t, kSlotSize> slot{};
    std::copy(entry.data(), entry.data() + kSlotSize, slot.begin());
    DirEntry fromFirst(slot.data());
    fromFirst.sideTrack() = super[0];
    fromFirst.sideSector() = super[1];
    interop::ExpectSideSectors(interop::ReadSideSectors(*image, fromFirst),
                               interop::ExpectedSideSectors(197, 50), "ours");
}

} // namespace
} // namespace tessarind
