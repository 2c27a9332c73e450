// Images cc1541 made, as they are and damaged the way the editor meets them: type bytes of
// cc1541's -T with any number, chains broken after cc1541 wrote them, and files cut short.
// Validation keeps every block cc1541 gave a file, broken chains are read as far as they go
// and said, and an edit keeps the bytes of a cut file that no block covers.

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "interop/PeerTools.h"
#include "catalog/ImageOpener.h"

namespace tessarind {
namespace {

namespace fs = std::filesystem;
using interop::PeerFile;
using interop::ReadHostFile;
using interop::WriteHostFile;
using testing::Pattern;
using testing::ProcessResult;
using Bytes = std::vector<uint8_t>;

std::unique_ptr<DiskImage> Load(const fs::path& path) {
    return OpenContainer(nullptr, path.string(), {}, 0, nullptr, false, nullptr);
}

ProcessResult CliWithMessages(const std::vector<std::string>& args, const fs::path& where) {
    std::string command = testing::ShellQuote(TESSARIND_CLI);
    for (const std::string& a : args)
        command += " " + testing::ShellQuote(a);
    return testing::RunProcess({"sh", "-c", command + " 2>&1"}, where);
}

struct Case {
    const char* what;
    const char* image; // the extension picks the kind cc1541 writes
    std::vector<PeerFile> files;
    std::function<void(const fs::path& image, const fs::path& dir,
                       const std::vector<PeerFile>& files)>
        check;
};

// Validation leaves every block of every file used (on a 1541, where cc1541 keeps the BAM as
// the drive does, it changes no BAM byte), and a file inserted afterwards overwrites none of
// the files.
void ValidateKeepsEveryFile(const fs::path& image, const fs::path& dir,
                            const std::vector<PeerFile>& files) {
    auto before = Load(image);
    ASSERT_TRUE(before);
    const auto bam = interop::BamCopy(*before);
    before->Validate();
    if (before->formatId() == FormatId::D64)
        interop::ExpectSameBam(bam, interop::BamCopy(*before), interop::BamBlocksOf(*before));
    for (int i = 0; i < before->entryCount(); ++i) {
        DirEntry entry = before->EntryAt(i);
        for (auto [t, s] : interop::ChainBlocks(*before, entry.firstTrack(), entry.firstSector()))
            EXPECT_FALSE(before->IsBlockFree(t, s))
                << files[static_cast<size_t>(i)].name << " " << t << "/" << s;
    }
    ASSERT_EQ(CliWithMessages({"validate", image.string()}, dir).exitCode, 0);
    WriteHostFile(dir / "big.prg", Pattern(200 * 254, 99));
    ProcessResult inserted = CliWithMessages({"insert", image.string(), "big.prg"}, dir);
    ASSERT_EQ(inserted.exitCode, 0) << inserted.output;
    auto after = Load(image);
    ASSERT_TRUE(after);
    ASSERT_EQ(after->entryCount(), static_cast<int>(files.size()) + 1);
    for (size_t i = 0; i < files.size(); ++i)
        EXPECT_TRUE(interop::ChainData(*after, after->EntryAt(static_cast<int>(i))) ==
                    files[i].data)
            << files[i].name << " was overwritten";
}

TEST(PeerDamage, ImagesCc1541MadeKeepTheirFilesThroughEachDamage) {
    const std::vector<PeerFile> oddTypes = {
        {"odd", "255", false, false, Pattern(700, 1)},
        {"seven", "135", false, false, Pattern(900, 2)},
        {"plain", "", false, false, Pattern(300, 3)},
    };
    std::vector<PeerFile> withDirType = oddTypes;
    withDirType.push_back({"dirlike", "134", false, false, Pattern(800, 4)});
    const std::vector<PeerFile> two = {
        {"first", "", false, false, Pattern(3000, 5)},
        {"second", "SEQ", false, false, Pattern(600, 6)},
    };
    const std::vector<Case> cases = {
        {"type bytes 0xFF, 0x87 and 0x86 on a 1541", "odd.d64", withDirType,
         ValidateKeepsEveryFile},
        {"type bytes 0xFF, 0x87 and 0x86 on a 1571", "odd.d71", withDirType,
         ValidateKeepsEveryFile},
        // The 1581's listing enters sub-directories, so only the type codes it has none for.
        {"type bytes 0xFF and 0x87 on a 1581", "odd.d81", oddTypes, ValidateKeepsEveryFile},
        {"a chain cc1541 wrote, then linked to itself", "loop.d64", two,
         [](const fs::path& image, const fs::path& dir, const std::vector<PeerFile>& files) {
             auto disk = Load(image);
             ASSERT_TRUE(disk);
             DirEntry first = disk->EntryAt(0);
             uint8_t* block = disk->SectorPointer(first.firstTrack(), first.firstSector());
             ASSERT_NE(block, nullptr);
             block[0] = first.firstTrack();
             block[1] = first.firstSector();
             ASSERT_TRUE(disk->WriteFile(image.string()));
             ProcessResult extract = CliWithMessages({"extract", image.string(), "-o", "out"}, dir);
             EXPECT_EQ(extract.exitCode, 1);
             const std::string pair =
                 std::to_string(first.firstTrack()) + "/" + std::to_string(first.firstSector());
             EXPECT_EQ(extract.output, "chain of FIRST broken at " + pair +
                                           ", 254 bytes read\nout/first.prg\nout/second.seq\n");
             EXPECT_EQ(ReadHostFile(dir / "out/first.prg"),
                       Bytes(files[0].data.begin(), files[0].data.begin() + 254));
             EXPECT_EQ(ReadHostFile(dir / "out/second.seq"), files[1].data);
         }},
        {"a cc1541 image cut short by a byte", "cut.d64", two,
         [](const fs::path& image, const fs::path& dir, const std::vector<PeerFile>& files) {
             Bytes bytes = ReadHostFile(image);
             bytes.pop_back();
             WriteHostFile(image, bytes);
             ASSERT_EQ(CliWithMessages({"lock", image.string(), "second"}, dir).exitCode, 0);
             const Bytes after = ReadHostFile(image);
             ASSERT_EQ(after.size(), bytes.size());
             EXPECT_TRUE(std::equal(bytes.end() - 255, bytes.end(), after.end() - 255));
             auto disk = Load(image);
             ASSERT_TRUE(disk);
             EXPECT_EQ(disk->EntryAt(1).type(), 0xC1);
             EXPECT_TRUE(interop::ChainData(*disk, disk->EntryAt(0)) == files[0].data);
             ProcessResult info = CliWithMessages({"info", image.string()}, dir);
             EXPECT_NE(info.output.find("Size: 174847 bytes (partial image: 682 of 683 sectors, "
                                        "and 255 bytes of the next)"),
                       std::string::npos)
                 << info.output;
         }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        testing::TempDir dir("tessarind-peer-damage");
        ProcessResult built =
            interop::BuildWithCc1541(dir.path(), c.image, {"-n", "peer"}, c.files);
        ASSERT_EQ(built.exitCode, 0) << "cc1541 did not build the image:\n" << built.output;
        c.check(dir / c.image, dir.path(), c.files);
    }
}

} // namespace
} // namespace tessarind
