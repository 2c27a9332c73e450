// Lynx archives written by cbmconvert and Zipcode sets written by disk2zip, and the images
// we unpack them into read back by cbmconvert.

#include <gtest/gtest.h>

#include <cstdio>

#include "archives/Lynx.h"
#include "archives/Zipcode.h"
#include "interop/PeerTools.h"

namespace tessarind::interop {
namespace {

namespace fs = std::filesystem;

// One file handed to cbmconvert in its native form: the host name's extension gives the type
// (".lXX" a REL file of record length XX, hex).
struct NativeFile {
    std::string stem; // lower-case letters and digits: cbmconvert makes them the CBM name
    std::string extension;
    std::vector<uint8_t> data;

    std::string HostName() const { return stem + "." + extension; }
    std::string CbmName() const {
        std::string name = stem;
        for (char& c : name)
            c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
        return name;
    }
    int TypeCode() const {
        if (extension == "seq") return kSeq;
        if (extension == "usr") return kUsr;
        if (extension == "del") return kDel;
        if (extension[0] == 'l') return kRel;
        return kPrg;
    }
    int RecordLength() const {
        return extension[0] == 'l' ? std::stoi(extension.substr(1), nullptr, 16) : 0;
    }
};

// Files of every type and the sizes around a block: empty, 1, 253, 254, 255 bytes and more.
std::vector<NativeFile> FilesOfEveryKind(size_t count) {
    const char* extensions[] = {"prg", "seq", "usr", "del", "l40"};
    const size_t sizes[] = {0, 1, 253, 254, 255, 508, 1000, 640};
    std::vector<NativeFile> files;
    for (size_t i = 0; i < count; ++i) {
        std::string extension = extensions[i % 5];
        size_t size = sizes[i % 8];
        if (extension == "l40") size = (size / 64 + 1) * 64; // whole records
        files.push_back({"f" + std::to_string(i), extension, Ramp(size, static_cast<uint8_t>(i))});
    }
    return files;
}

// cbmconvert packs the files, in order, into `archive`.
std::vector<uint8_t> LynxFromCbmconvert(const fs::path& dir, const std::vector<NativeFile>& files) {
    std::vector<std::string> argv = {"-L", "archive.lnx", "-n"};
    for (const NativeFile& file : files) {
        WriteHostFile(dir / file.HostName(), file.data);
        argv.push_back(file.HostName());
    }
    ProcessResult run = Cbmconvert(argv, dir);
    EXPECT_EQ(run.exitCode, 0) << run.output;
    return ReadHostFile(dir / "archive.lnx");
}

void ExpectFiles(DiskImage& image, const std::vector<NativeFile>& files) {
    ASSERT_EQ(image.entryCount(), static_cast<int>(files.size()));
    for (size_t i = 0; i < files.size(); ++i) {
        const NativeFile& file = files[i];
        SCOPED_TRACE(file.HostName());
        DirEntry entry = image.EntryAt(static_cast<int>(i));
        std::string name(entry.name().begin(), entry.name().end());
        EXPECT_EQ(name.substr(0, name.find('\xA0')), file.CbmName());
        EXPECT_EQ(entry.typeCode(), file.TypeCode());
        EXPECT_EQ(ChainData(image, entry), file.data); // DEL files too
        if (file.TypeCode() == kRel) {
            EXPECT_EQ(entry.recordLength(), file.RecordLength());
        }
    }
}

TEST(LynxFromCbmconvert, ArchivesOfOneTwoAndFortyMembersUnpackToTheSameFiles) {
    for (size_t count : {1u, 2u, 40u}) {
        SCOPED_TRACE(count);
        TempDir dir("tessarind-lynx");
        const std::vector<NativeFile> files = FilesOfEveryKind(count);
        const std::vector<uint8_t> archive = LynxFromCbmconvert(dir.path(), files);
        auto image = NewImage<D64Image>();
        ASSERT_NE(image, nullptr);
        EXPECT_TRUE(UnpackLynx(*image, archive, false, nullptr));
        ExpectFiles(*image, files);
    }
}

// A directory's block count includes a REL member's side sectors: a REL file of 130 data
// blocks (two side sectors) must not shift the program after it.
TEST(LynxFromCbmconvert, AProgramAfterARelFileKeepsItsPlace) {
    TempDir dir("tessarind-lynx-rel");
    const std::vector<NativeFile> files = {
        {"records", "l7f", Ramp(130 * 254 - 100 - (130 * 254 - 100) % 127, 3)},
        {"after", "prg", Ramp(700, 9)}};
    const std::vector<uint8_t> archive = LynxFromCbmconvert(dir.path(), files);
    auto image = NewImage<D64Image>();
    ASSERT_NE(image, nullptr);
    EXPECT_TRUE(UnpackLynx(*image, archive, false, nullptr));
    ExpectFiles(*image, files);
}

// What we unpack and save, cbmconvert reads back as the files that were packed. (cbmconvert
// reads no REL file from a 1581 image: that archive holds none.)
TEST(LynxFromCbmconvert, ConvertedImagesReadBackInCbmconvert) {
    for (const char* output : {"out.d64", "out.d81"}) {
        SCOPED_TRACE(output);
        TempDir dir("tessarind-lynx-convert");
        std::vector<NativeFile> files = FilesOfEveryKind(12);
        if (std::string(output) == "out.d81")
            std::erase_if(files, [](const NativeFile& file) { return file.TypeCode() == kRel; });
        LynxFromCbmconvert(dir.path(), files);
        ProcessResult run = RunProcess(
            {TESSARIND_CLI, "convert", (dir / "archive.lnx").string(), (dir / output).string()});
        ASSERT_EQ(run.exitCode, 0);
        std::map<std::string, std::vector<uint8_t>> read =
            ExtractWithCbmconvert(dir / output, dir / "files");
        for (const NativeFile& file : files) {
            if (file.TypeCode() == kDel) continue; // cbmconvert leaves deleted files out
            std::string name = Lower(file.CbmName()) + "." + file.extension;
            ASSERT_TRUE(read.count(name)) << "cbmconvert did not find " << name;
            EXPECT_EQ(read[name], file.data) << name;
        }
    }
}

class ZipcodeFromDisk2zip : public ::testing::Test {
protected:
    void SetUp() override {
        std::vector<PeerFile> peerFiles = MixedCatalogue();
        ProcessResult built = BuildWithCc1541(dir.path(), "disk.d64", kMixedDiskOptions, peerFiles);
        ASSERT_EQ(built.exitCode, 0) << built.output;
        ProcessResult zipped = RunProcess({"disk2zip", "disk.d64", "game"}, dir.path());
        ASSERT_EQ(zipped.exitCode, 0) << zipped.output;
        original = OpenD64(dir / "disk.d64");
        ASSERT_NE(original, nullptr);
    }
    // The disk ID of the header block is the one thing a set does not carry.
    static bool IsDiskId(int track, int sector, int offset) {
        return track == 18 && sector == 0 && (offset == 0xA2 || offset == 0xA3);
    }
    // Every block of the 35 tracks, compared byte by byte; `missing` tracks must be blank.
    void ExpectSameBlocks(DiskImage& image, int firstMissing = 0, int lastMissing = -1) {
        auto blank = NewImage<D64Image>();
        int differences = 0;
        for (int track = 1; track <= 35; ++track) {
            const bool missing = track >= firstMissing && track <= lastMissing;
            for (int sector = 0; sector < D64Image::SectorsOnTrack(track); ++sector) {
                const Block ours = CopyBlock(image, track, sector);
                const Block expected = CopyBlock(missing ? *blank : *original, track, sector);
                for (int i = 0; i < kBlockSize; ++i)
                    if (ours[i] != expected[i] && !IsDiskId(track, sector, i) && ++differences < 8)
                        ADD_FAILURE() << track << "/" << sector << " offset " << i;
            }
        }
        EXPECT_EQ(image.trackCount(), 35);
    }
    TempDir dir{"tessarind-zipcode"};
    std::unique_ptr<D64Image> original;
};

TEST_F(ZipcodeFromDisk2zip, AnyPartRebuildsTheDisk) {
    for (int part = 1; part <= 4; ++part) {
        SCOPED_TRACE(part);
        auto image = OpenZipcodeSet(nullptr, (dir / (std::to_string(part) + "!game")).string(),
                                    false, nullptr);
        ASSERT_NE(image, nullptr);
        ExpectSameBlocks(*image);
    }
    // The command line writes the rebuilt disk out as a 1541 image.
    ProcessResult run = RunProcess(
        {TESSARIND_CLI, "convert", (dir / "2!game").string(), (dir / "rebuilt.d64").string()});
    ASSERT_EQ(run.exitCode, 0);
    auto rebuilt = OpenD64(dir / "rebuilt.d64");
    ASSERT_NE(rebuilt, nullptr);
    ExpectSameBlocks(*rebuilt);
}

// disk2zip puts tracks 17 to 25 into the third part.
TEST_F(ZipcodeFromDisk2zip, AMissingPartLeavesItsTracksBlank) {
    fs::remove(dir / "3!game");
    auto image = OpenZipcodeSet(nullptr, (dir / "1!game").string(), false, nullptr);
    ASSERT_NE(image, nullptr);
    ExpectSameBlocks(*image, 17, 25);
}

} // namespace
} // namespace tessarind::interop
