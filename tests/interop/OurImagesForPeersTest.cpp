// Images the editor makes are read by the peer tools: a blank image from the command-line
// tool, files written as chains by the core and the image saved, then extracted by
// cbmconvert and listed (and added to) by cc1541.

#include <gtest/gtest.h>

#include <filesystem>
#include <iterator>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "interop/PeerImages.h"

namespace tessarind {
namespace {

using interop::ExpectSameListing;
using interop::ListWithCc1541;
using interop::Lower;
using interop::OpenD64;
using interop::OurListingLines;
using interop::ReadHostFile;
using testing::AddFile;
using testing::FileSpec;
using testing::Pattern;
using testing::ProcessResult;
using testing::RunProcess;
using testing::TempDir;

// Twelve files, so the directory needs a second block (eight entries a block).
std::vector<FileSpec> OurFiles() {
    const size_t sizes[] = {1, 254, 255, 10000, 253, 508, 509, 2000, 762, 5000, 100, 20000};
    const uint8_t types[] = {0x82, 0x81, 0x83};
    std::vector<FileSpec> files;
    for (size_t i = 0; i < std::size(sizes); ++i) {
        std::string name = "FILE" + std::to_string(10 + i);
        files.push_back({name, types[i % 3], Pattern(sizes[i], static_cast<uint32_t>(100 + i))});
    }
    return files;
}

// Makes IMAGE with the command-line tool, writes the files into it and saves it.
void MakeOurImage(const std::filesystem::path& path, const std::vector<FileSpec>& files) {
    ProcessResult made =
        RunProcess({TESSARIND_CLI, "new", path.string(), "--name", "our disk", "--id", "od 2a"});
    ASSERT_EQ(made.exitCode, 0);
    auto image = OpenD64(path);
    ASSERT_TRUE(image);
    for (const FileSpec& file : files)
        ASSERT_TRUE(AddFile(*image, file)) << file.name;
    // The directory grew past its first block.
    const uint8_t* firstDirBlock = image->SectorPointer(D64Image::kDirTrack, 1);
    ASSERT_NE(firstDirBlock, nullptr);
    ASSERT_EQ(firstDirBlock[0], D64Image::kDirTrack);
    ASSERT_TRUE(image->WriteFile(path.string()));
}

TEST(OurImagesForPeers, CbmconvertExtractsEveryFileByteForByte) {
    TempDir dir("tessarind-cbmconvert");
    const auto files = OurFiles();
    const std::filesystem::path imagePath = dir / "ours.d64";
    ASSERT_NO_FATAL_FAILURE(MakeOurImage(imagePath, files));

    // cbmconvert -N -d writes each file of the image natively into the current directory,
    // named as listed (unshifted letters in lower case) with the type as extension.
    const std::filesystem::path out = dir / "out";
    std::filesystem::create_directory(out);
    ProcessResult converted = RunProcess({"cbmconvert", "-N", "-d", imagePath.string()}, out);
    ASSERT_EQ(converted.exitCode, 0);

    std::map<std::string, std::vector<uint8_t>> expected;
    const char* const extensions[] = {"del", "seq", "prg", "usr"};
    for (const FileSpec& file : files)
        expected[Lower(file.name) + "." + extensions[file.type & 7]] = file.data;

    std::set<std::string> extracted;
    for (const auto& item : std::filesystem::directory_iterator(out))
        extracted.insert(item.path().filename().string());
    std::set<std::string> expectedNames;
    for (const auto& [name, data] : expected)
        expectedNames.insert(name);
    EXPECT_EQ(extracted, expectedNames);

    for (const auto& [name, data] : expected) {
        if (!extracted.count(name)) continue;
        std::vector<uint8_t> bytes = ReadHostFile(out / name);
        EXPECT_EQ(bytes.size(), data.size()) << name;
        EXPECT_TRUE(bytes == data) << name << ": bytes differ";
    }
}

TEST(OurImagesForPeers, Cc1541ListsOurImageAndCountsOurBam) {
    TempDir dir("tessarind-cc1541-ours");
    const auto files = OurFiles();
    const std::filesystem::path imagePath = dir / "ours.d64";
    ASSERT_NO_FATAL_FAILURE(MakeOurImage(imagePath, files));

    std::vector<std::string> peer = ListWithCc1541(imagePath);
    ASSERT_EQ(peer.size(), files.size() + 2);
    auto image = OpenD64(imagePath);
    ASSERT_TRUE(image);
    ExpectSameListing(OurListingLines(*image), peer);
}

TEST(OurImagesForPeers, Cc1541AddsToOurImageWithoutTouchingOurFiles) {
    TempDir dir("tessarind-cc1541-add");
    const auto files = OurFiles();
    const std::filesystem::path imagePath = dir / "ours.d64";
    ASSERT_NO_FATAL_FAILURE(MakeOurImage(imagePath, files));

    // cc1541 allocates by our BAM: had it marked a used block free, the new file would
    // overwrite one of ours.
    const std::vector<uint8_t> added = Pattern(60000, 77);
    interop::WriteHostFile(dir / "added.bin", added);
    ProcessResult wrote =
        RunProcess({"cc1541", "-f", "added", "-w", "added.bin", "ours.d64"}, dir.path());
    ASSERT_EQ(wrote.exitCode, 0);

    auto image = OpenD64(imagePath);
    ASSERT_TRUE(image);
    ASSERT_EQ(image->entryCount(), static_cast<int>(files.size() + 1));
    for (size_t i = 0; i < files.size(); ++i) {
        std::optional<std::vector<uint8_t>> data = image->ReadFileData(static_cast<int>(i));
        ASSERT_TRUE(data) << files[i].name;
        EXPECT_TRUE(*data == files[i].data) << files[i].name << ": bytes differ";
    }
    std::optional<std::vector<uint8_t>> data = image->ReadFileData(static_cast<int>(files.size()));
    ASSERT_TRUE(data);
    EXPECT_TRUE(*data == added);

    ExpectSameListing(OurListingLines(*image), ListWithCc1541(imagePath));
}

} // namespace
} // namespace tessarind
