// REL files between cbmconvert and the editor. A REL file is a data chain of records plus a
// chain of side sectors: each side sector carries its number (byte 2), the record length
// (byte 3), the addresses of all side sectors (bytes 4-15, six pairs) and the addresses of up
// to 120 data blocks in chain order (bytes 16-255). The directory entry names the first side
// sector and the record length, and its block count includes the side sectors.

#include <gtest/gtest.h>

#include <array>
#include <cstdio>
#include <filesystem>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "interop/PeerTools.h"
#include "text/Petscii.h"

namespace tessarind {
namespace {

using interop::BamBlocksOf;
using interop::BamCopy;
using interop::Cbmconvert;
using interop::ExpectedSideSectors;
using interop::ExpectSameBam;
using interop::ExpectSideSectors;
using interop::ExtractWithCbmconvert;
using interop::NameOf;
using interop::NewImage;
using interop::OpenImageFile;
using interop::ReadSideSectors;
using interop::Row;
using interop::WriteHostFile;
using testing::Pattern;
using testing::ProcessResult;
using testing::TempDir;
namespace fs = std::filesystem;

struct RelFile {
    std::string name; // lower-case host text; unshifted PETSCII letters in the image
    int recordLength;
    std::vector<uint8_t> data;
};

// One side sector and a short last block; exactly 120 data blocks (one full side sector);
// 121 (a second side sector with one pair); three side sectors; record length 254 and 1.
std::vector<RelFile> RelFiles() {
    return {
        {"short", 40, Pattern(40 * 300, 61)},      {"full side", 127, Pattern(254 * 120, 62)},
        {"one more", 254, Pattern(254 * 121, 63)}, {"three sides", 100, Pattern(100 * 700, 64)},
        {"single bytes", 1, Pattern(600, 65)},
    };
}

int DataBlocks(const RelFile& file) {
    return static_cast<int>((file.data.size() + 253) / 254);
}
int SideSectors(const RelFile& file) {
    return (DataBlocks(file) + 119) / 120;
}

// The files cbmconvert writes correctly. When the data blocks fill their last side sector
// exactly (a multiple of 120) cbmconvert gives that side sector the link byte 0x0F instead
// of 0xFF (16 + 2 * 0 - 1, as if it held no pair) and then rejects its own file with "error
// in side sector data"; those files are left out of what cbmconvert writes.
std::vector<RelFile> PeerRelFiles() {
    std::vector<RelFile> files = RelFiles();
    std::erase_if(files, [](const RelFile& file) { return DataBlocks(file) % 120 == 0; });
    return files;
}

// The PC64 form of a REL file: header with the name (0xA0 padded, as cbmconvert pads its own),
// the record length in byte 25, then the records.
std::vector<uint8_t> R00(const RelFile& file) {
    std::vector<uint8_t> bytes = {'C', '6', '4', 'F', 'i', 'l', 'e', 0};
    std::array<uint8_t, kNameLength> name = PetsciiName(file.name);
    bytes.insert(bytes.end(), name.begin(), name.end());
    bytes.push_back(0);
    bytes.push_back(static_cast<uint8_t>(file.recordLength));
    bytes.insert(bytes.end(), file.data.begin(), file.data.end());
    return bytes;
}

// cbmconvert's native name of a REL file: the name, ".l" and the record length in hex.
std::string NativeName(const RelFile& file) {
    char extension[8];
    std::snprintf(extension, sizeof extension, ".l%02X", file.recordLength);
    return file.name + extension;
}

// cbmconvert builds `imageName` from .r00 files of every REL file.
void BuildWithCbmconvert(const fs::path& dir, const std::string& imageName,
                         const std::vector<RelFile>& files) {
    std::vector<std::string> argv = {"-D4", imageName, "-p"};
    for (size_t i = 0; i < files.size(); ++i) {
        const std::string name = "rel" + std::to_string(i) + ".r00";
        WriteHostFile(dir / name, R00(files[i]));
        argv.push_back(name);
    }
    ProcessResult built = Cbmconvert(argv, dir);
    ASSERT_EQ(built.exitCode, 0) << "cbmconvert did not build " << imageName;
    ASSERT_FALSE(interop::CbmconvertComplained(built)) << built.output;
}

// Everything an entry and its chains say about a REL file, checked against the file.
void ExpectRelFile(DiskImage& image, int index, const RelFile& file, const std::string& writer) {
    SCOPED_TRACE(writer + ": " + file.name);
    DirEntry entry = image.EntryAt(index);
    ASSERT_TRUE(entry);
    EXPECT_EQ(NameOf(entry), PetsciiName(file.name));
    EXPECT_EQ(entry.type(), 0x84);
    EXPECT_EQ(entry.recordLength(), file.recordLength);
    EXPECT_EQ(entry.blocks(), DataBlocks(file) + SideSectors(file))
        << "the block count covers data blocks and side sectors";
    std::optional<std::vector<uint8_t>> data = image.ReadFileData(index);
    ASSERT_TRUE(data);
    EXPECT_EQ(data->size(), file.data.size());
    EXPECT_TRUE(*data == file.data) << "records differ";
    ExpectSideSectors(ReadSideSectors(image, entry),
                      ExpectedSideSectors(DataBlocks(file), file.recordLength), writer);
}

TEST(CbmconvertRel, RelFilesCbmconvertWroteReadAsTheirRecordsAndValidateKeepsTheirSideSectors) {
    TempDir dir("tessarind-rel-peer");
    const std::vector<RelFile> files = PeerRelFiles();
    ASSERT_NO_FATAL_FAILURE(BuildWithCbmconvert(dir.path(), "peer.d64", files));

    auto image = OpenImageFile<D64Image>(dir / "peer.d64");
    ASSERT_TRUE(image);
    ASSERT_EQ(image->entryCount(), static_cast<int>(files.size()));
    for (size_t i = 0; i < files.size(); ++i)
        ExpectRelFile(*image, static_cast<int>(i), files[i], "cbmconvert");

    const auto before = BamCopy(*image);
    image->Validate();
    ExpectSameBam(before, BamCopy(*image), BamBlocksOf(*image));

    // And cc1541 lists the image as we do, block counts included.
    interop::ExpectSameListing(interop::OurListingLines(*image),
                               interop::ListWithCc1541(dir / "peer.d64"));
}

TEST(CbmconvertRel, OurRelFilesAreExtractedByCbmconvertWithTheirRecordLengths) {
    TempDir dir("tessarind-rel-ours");
    const std::vector<RelFile> files = RelFiles();
    auto image = NewImage<D64Image>();
    ASSERT_TRUE(image);
    for (size_t i = 0; i < files.size(); ++i)
        ASSERT_TRUE(image->WriteFileData(PetsciiName(files[i].name), static_cast<int>(i), false,
                                         files[i].data, files[i].recordLength,
                                         Row(interop::RowId::Rel)))
            << files[i].name;
    for (size_t i = 0; i < files.size(); ++i)
        ExpectRelFile(*image, static_cast<int>(i), files[i], "ours");

    // Our side sectors have the structure cbmconvert gives the same files.
    const std::vector<RelFile> peerFiles = PeerRelFiles();
    ASSERT_NO_FATAL_FAILURE(BuildWithCbmconvert(dir.path(), "peer.d64", peerFiles));
    auto peer = OpenImageFile<D64Image>(dir / "peer.d64");
    ASSERT_TRUE(peer);
    for (size_t p = 0; p < peerFiles.size(); ++p) {
        int i = 0;
        while (i < static_cast<int>(files.size()) &&
               files[static_cast<size_t>(i)].name != peerFiles[p].name)
            ++i;
        DirEntry ours = image->EntryAt(i);
        DirEntry theirs = peer->EntryAt(static_cast<int>(p));
        ASSERT_TRUE(ours && theirs);
        EXPECT_EQ(ours.blocks(), theirs.blocks()) << peerFiles[p].name;
        EXPECT_EQ(ours.recordLength(), theirs.recordLength()) << peerFiles[p].name;
        ExpectSideSectors(ReadSideSectors(*image, ours), ReadSideSectors(*peer, theirs),
                          "ours against cbmconvert's: " + peerFiles[p].name);
    }

    // Validate finds every side sector through the entries.
    const auto before = BamCopy(*image);
    image->Validate();
    ExpectSameBam(before, BamCopy(*image), BamBlocksOf(*image));

    const fs::path path = dir / "ours.d64";
    ASSERT_TRUE(image->WriteFile(path.string()));

    // Natively cbmconvert writes each as NAME.lXX, XX the record length from the entry.
    std::map<std::string, std::vector<uint8_t>> native = ExtractWithCbmconvert(path, dir / "n");
    ASSERT_EQ(native.size(), files.size());
    for (const RelFile& file : files) {
        const std::string name = NativeName(file);
        ASSERT_TRUE(native.count(name)) << "cbmconvert wrote no " << name;
        EXPECT_TRUE(native[name] == file.data) << name << ": bytes differ";
    }

    // As PC64 files the record length is byte 25 of the header.
    std::map<std::string, std::vector<uint8_t>> pc = ExtractWithCbmconvert(path, dir / "p", "-P");
    ASSERT_EQ(pc.size(), files.size());
    std::map<int, std::vector<uint8_t>> byRecordLength;
    for (const auto& [name, bytes] : pc) {
        ASSERT_GE(bytes.size(), 26u) << name;
        byRecordLength[bytes[25]] = std::vector<uint8_t>(bytes.begin() + 26, bytes.end());
    }
    for (const RelFile& file : files)
        EXPECT_TRUE(byRecordLength[file.recordLength] == file.data) << file.name;

    interop::ExpectSameListing(interop::OurListingLines(*image), interop::ListWithCc1541(path));
}

TEST(CbmconvertRel, RelFileCbmconvertExportedAsR00ImportsWithItsRecordLength) {
    TempDir dir("tessarind-rel-r00");
    const std::vector<RelFile> files = PeerRelFiles();
    ASSERT_NO_FATAL_FAILURE(BuildWithCbmconvert(dir.path(), "peer.d64", files));
    // cbmconvert writes each REL file of its image as a .r00 file.
    std::map<std::string, std::vector<uint8_t>> pc =
        ExtractWithCbmconvert(dir / "peer.d64", dir / "p", "-P");
    ASSERT_EQ(pc.size(), files.size());

    auto image = NewImage<D64Image>();
    ASSERT_TRUE(image);
    for (const auto& [name, bytes] : pc)
        ASSERT_TRUE(image->ImportHostFile((dir / "p" / name).string(), image->entryCount(), false))
            << name;
    ASSERT_EQ(image->entryCount(), static_cast<int>(files.size()));
    // Imported in file-name order; find each by its name.
    for (const RelFile& file : files) {
        int index = -1;
        for (int i = 0; i < image->entryCount(); ++i)
            if (NameOf(image->EntryAt(i)) == PetsciiName(file.name)) index = i;
        ASSERT_GE(index, 0) << file.name;
        ExpectRelFile(*image, index, file, "imported .r00");
    }
}

} // namespace
} // namespace tessarind
