// The command-line tool on damaged images: what could be read is written and the damage said,
// validation keeps the files it lists, and an image of an odd size keeps every byte an edit
// does not change.

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

#include "catalog/ImageOpener.h"
#include "model/SafeFile.h"
#include "support/DamagedImages.h"
#include "support/ImageBuilder.h"
#include "support/Process.h"

namespace tessarind {
namespace {

namespace fs = std::filesystem;
using testing::Pattern;
using testing::ShellQuote;
using Bytes = std::vector<uint8_t>;

struct CliRun {
    int exitCode = -1;
    std::string out, err;
};

Bytes ReadBytes(const fs::path& path) {
    Bytes bytes;
    bool openFailed = false;
    ReadWholeFile(path.string(), bytes, openFailed);
    return bytes;
}

std::string Text(const Bytes& bytes) {
    return std::string(bytes.begin(), bytes.end());
}

Bytes Head(const Bytes& bytes, size_t n) {
    return Bytes(bytes.begin(), bytes.begin() + static_cast<long>(n));
}

// "T/S" of the block an entry's chain reaches after `steps` links.
std::string Pair(const Bytes& disk, const char* name, int steps, int sectorOverride = -1) {
    auto image = testing::BlankD64();
    image->Store().Assign(disk);
    image->Refresh();
    for (int i = 0; i < image->entryCount(); ++i) {
        DirEntry e = image->EntryAt(i);
        if (Text(Bytes(e.name().begin(),
                       e.name().begin() + static_cast<long>(std::strlen(name)))) != name)
            continue;
        int t = e.firstTrack(), s = e.firstSector();
        for (int k = 0; k < steps; ++k) {
            const uint8_t* b = image->SectorPointer(t, s);
            t = b[0];
            s = b[1];
        }
        return std::to_string(t) + "/" + std::to_string(sectorOverride >= 0 ? sectorOverride : s);
    }
    return "?";
}

// Byte offset of 1541 block (t, s).
size_t Offset(int t, int s) {
    return 256 * static_cast<size_t>(D64Image::Layout().BlockIndex(t, s));
}

class DamagedImages : public ::testing::Test {
protected:
    CliRun Cli(const std::vector<std::string>& args) {
        std::string command = ShellQuote(TESSARIND_CLI);
        for (const std::string& a : args)
            command += " " + ShellQuote(a);
        const fs::path errFile = dir / "stderr.txt";
        testing::ProcessResult r = testing::RunProcess(
            {"sh", "-c", command + " 2>" + ShellQuote(errFile.string())}, dir.path());
        return {r.exitCode, r.output, Text(ReadBytes(errFile))};
    }
    testing::TempDir dir{"tessarind-damaged"};
};

struct Case {
    std::string what;
    Bytes disk;
    std::vector<std::vector<std::string>> before; // commands run first, each must succeed
    std::vector<std::string> command;             // on d.d64 in the test's folder
    int exitCode;
    std::function<std::string(const Bytes& disk)> err; // the whole of stderr
    std::function<void(const CliRun&, const Bytes& before, const Bytes& after, const fs::path& dir)>
        check;
};

// Every byte outside the blocks an edit changed is kept, and the file keeps its size.
void ExpectOnlyBlocksChanged(const Bytes& before, const Bytes& after,
                             const std::vector<std::pair<int, int>>& blocks) {
    ASSERT_EQ(after.size(), before.size());
    for (size_t i = 0; i < before.size(); ++i) {
        if (before[i] == after[i]) continue;
        bool inChanged = false;
        for (auto [t, s] : blocks)
            inChanged = inChanged || (i >= Offset(t, s) && i < Offset(t, s) + 256);
        ASSERT_TRUE(inChanged) << "byte " << i << " changed";
    }
}

TEST_F(DamagedImages, EachDamageIsReadAsFarAsItGoesAndSaid) {
    const Bytes broken = testing::BrokenChainsDisk();
    const Bytes odd = testing::UnusualTypesDisk();
    auto message = [](const char* name, int steps, int bytes, int sector = -1) {
        return [=](const Bytes& disk) {
            return "chain of " + std::string(name) + " broken at " +
                   Pair(disk, name, steps, sector) + ", " + std::to_string(bytes) + " bytes read\n";
        };
    };
    auto none = [](const Bytes&) { return std::string(); };
    auto size = [](size_t n, const std::string& meaning) {
        return [=](const CliRun& r, const Bytes&, const Bytes&, const fs::path&) {
            EXPECT_NE(r.out.find("Size: " + std::to_string(n) + " bytes (" + meaning + ")\n"),
                      std::string::npos)
                << r.out;
        };
    };
    auto lockKeeps = [](const CliRun&, const Bytes& before, const Bytes& after, const fs::path&) {
        ExpectOnlyBlocksChanged(before, after, {{18, 1}});
        EXPECT_NE(before, after);
    };
    const std::vector<Case> cases = {
        {"extract of a chain that links to itself",
         broken,
         {},
         {"extract", "d.d64", "LOOP", "-o", "out"},
         1,
         message("LOOP", 0, 254),
         [](const CliRun& r, const Bytes&, const Bytes&, const fs::path& d) {
             EXPECT_EQ(r.out, "out/loop.prg\n");
             EXPECT_EQ(ReadBytes(d / "out/loop.prg"), Head(Pattern(5000, 1), 254));
         }},
        {"type of a chain that links to itself",
         broken,
         {},
         {"type", "d.d64", "LOOP"},
         1,
         message("LOOP", 0, 254),
         [](const CliRun& r, const Bytes&, const Bytes&, const fs::path&) {
             EXPECT_FALSE(r.out.empty());
         }},
        {"a chain that leaves the disk",
         broken,
         {},
         {"extract", "d.d64", "FAR", "-o", "out"},
         1,
         message("FAR", 2, 508),
         [](const CliRun&, const Bytes&, const Bytes&, const fs::path& d) {
             EXPECT_EQ(ReadBytes(d / "out/far.prg"), Head(Pattern(600, 2), 508));
         }},
        {"a chain that names a sector the track lacks",
         broken,
         {},
         {"type", "d.d64", "GAP"},
         1,
         message("GAP", 0, 254, 30),
         [](const CliRun&, const Bytes&, const Bytes&, const fs::path&) {}},
        {"extract of everything",
         broken,
         {},
         {"extract", "d.d64", "-o", "all"},
         1,
         [&](const Bytes& disk) {
             return message("LOOP", 0, 254)(disk) + message("FAR", 2, 508)(disk) +
                    message("GAP", 0, 254, 30)(disk);
         },
         [](const CliRun& r, const Bytes&, const Bytes&, const fs::path& d) {
             EXPECT_EQ(r.out, "all/loop.prg\nall/far.prg\nall/gap.seq\nall/whole.seq\n");
             EXPECT_EQ(ReadBytes(d / "all/whole.seq"), Pattern(300, 4));
             EXPECT_EQ(ReadBytes(d / "all/gap.seq"), Head(Pattern(600, 3), 254));
         }},
        {"an intact file beside broken ones",
         broken,
         {},
         {"type", "d.d64", "WHOLE"},
         0,
         none,
         [](const CliRun& r, const Bytes&, const Bytes&, const fs::path&) {
             EXPECT_FALSE(r.out.empty());
         }},
        {"validate keeps files of unusual types",
         odd,
         {},
         {"validate", "d.d64"},
         0,
         none,
         [](const CliRun&, const Bytes& before, const Bytes& after, const fs::path&) {
             // The BAM was right: nothing is freed, and DIRLIKE is not entered for INNER.
             EXPECT_EQ(after, before);
         }},
        {"an insert after validate overwrites none of them",
         odd,
         {{"validate", "d.d64"}},
         {"insert", "d.d64", "big.prg"},
         0,
         none,
         [](const CliRun&, const Bytes&, const Bytes& after, const fs::path&) {
             auto image = testing::BlankD64();
             image->Store().Assign(after);
             image->Refresh();
             ASSERT_EQ(image->entryCount(), 4);
             EXPECT_EQ(image->ReadFileData(0), Pattern(600, 5));
             EXPECT_EQ(image->ReadFileData(1), Pattern(600, 6));
             EXPECT_EQ(image->ReadFileData(3), Pattern(150 * 254, 9));
             EXPECT_EQ(Head(*image->ReadFileData(2), 254), Head(Pattern(600, 7), 254));
             EXPECT_EQ(image->FreeBlockCount(), 664 - 9 - 150);
         }},
        {"lock on an image one byte short",
         testing::ResizedDisk(174847),
         {},
         {"lock", "d.d64", "ONE"},
         0,
         none,
         lockKeeps},
        {"lock on an image of 100,000 bytes",
         testing::ResizedDisk(100000),
         {},
         {"lock", "d.d64", "ONE"},
         0,
         none,
         lockKeeps},
        {"lock on an image two bytes long",
         testing::ResizedDisk(174850),
         {},
         {"lock", "d.d64", "ONE"},
         0,
         none,
         lockKeeps},
        {"insert on an image of 100,000 bytes",
         testing::ResizedDisk(100000),
         {},
         {"insert", "d.d64", "big.prg"},
         0,
         none,
         [](const CliRun&, const Bytes& before, const Bytes& after, const fs::path&) {
             ASSERT_EQ(after.size(), before.size());
             // The part sector at the end is none of the disk's: it stays as it was.
             EXPECT_TRUE(
                 std::equal(before.begin() + 390 * 256, before.end(), after.begin() + 390 * 256));
         }},
        {"info on an image one byte short",
         testing::ResizedDisk(174847),
         {},
         {"info", "d.d64"},
         0,
         none,
         size(174847, "partial image: 682 of 683 sectors, and 255 bytes of the next")},
        {"info on an image of 100,000 bytes",
         testing::ResizedDisk(100000),
         {},
         {"info", "d.d64"},
         0,
         none,
         size(100000, "partial image: 390 of 683 sectors, and 160 bytes of the next")},
        {"info on an image two bytes long",
         testing::ResizedDisk(174850),
         {},
         {"info", "d.d64"},
         0,
         none,
         size(174850, "683 sectors, and 2 bytes more, kept as they are")},
        {"info on a whole image",
         testing::ResizedDisk(174848),
         {},
         {"info", "d.d64"},
         0,
         none,
         size(174848, "683 sectors")},
    };
    {
        std::ofstream big(dir / "big.prg", std::ios::binary);
        const Bytes data = Pattern(150 * 254, 9);
        big.write(reinterpret_cast<const char*>(data.data()),
                  static_cast<std::streamsize>(data.size()));
    }
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        ASSERT_EQ(WriteWholeFile((dir / "d.d64").string(), c.disk), WriteResult::Ok);
        for (const auto& first : c.before)
            ASSERT_EQ(Cli(first).exitCode, 0);
        const Bytes before = ReadBytes(dir / "d.d64");
        const CliRun r = Cli(c.command);
        EXPECT_EQ(r.exitCode, c.exitCode);
        EXPECT_EQ(r.err, c.err(c.disk));
        c.check(r, before, ReadBytes(dir / "d.d64"), dir.path());
    }
}

// The damaged images are kept as fuzz regression inputs, which the harnesses replay with
// their own checks (broken chains told, files kept by validation, sizes kept). They must stay
// the images these tests read: TESSARIND_WRITE_REGRESSIONS=1 writes them anew.
TEST(DamagedImageRegressions, KeptInputsAreTheImagesBuiltHere) {
    const fs::path root = fs::path(TESSARIND_SOURCE_DIR) / "fuzz" / "regressions";
    Bytes unusual = testing::UnusualTypesDisk();
    unusual.insert(unusual.begin(), 0x00); // DiskFuzzer's kind byte: a 1541, from track 1
    const std::vector<std::pair<fs::path, Bytes>> kept = {
        {root / "d64" / "chains-that-loop-leave-the-disk-or-miss-a-sector.d64",
         testing::BrokenChainsDisk()},
        {root / "d64" / "image-one-byte-short.d64", testing::ResizedDisk(174847)},
        {root / "d64" / "image-of-100000-bytes.d64", testing::ResizedDisk(100000)},
        {root / "d64" / "image-two-bytes-long.d64", testing::ResizedDisk(174850)},
        {root / "disk" / "d64-type-bytes-ff-87-86-keep-their-chains.bin", unusual},
    };
    const char* write = std::getenv("TESSARIND_WRITE_REGRESSIONS");
    for (const auto& [path, bytes] : kept) {
        SCOPED_TRACE(path.string());
        if (write && *write == '1') {
            ASSERT_EQ(WriteWholeFile(path.string(), bytes), WriteResult::Ok);
        }
        EXPECT_TRUE(ReadBytes(path) == bytes) << "differs from the image built here";
    }
}

} // namespace
} // namespace tessarind
