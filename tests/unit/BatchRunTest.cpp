#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "catalog/BatchRun.h"
#include "catalog/ListingExport.h"
#include "model/SafeFile.h"
#include "support/ImageBuilder.h"
#include "support/Process.h"

namespace tessarind {
namespace {

namespace fs = std::filesystem;
using testing::AddFile;
using testing::BlankD64;
using testing::Pattern;
using testing::TempDir;
using Strings = std::vector<std::string>;

std::string ReadText(const fs::path& path) {
    std::vector<uint8_t> bytes;
    bool openFailed = false;
    EXPECT_TRUE(ReadWholeFile(path.string(), bytes, openFailed)) << path;
    return std::string(bytes.begin(), bytes.end());
}

// A folder tree:
//   a.d64 (A1, and a deleted entry)  2!zip.d64  old.TXT  single.prg  sub/b.d64 (B1)
class BatchRunTest : public ::testing::Test {
protected:
    void SetUp() override {
        auto a = BlankD64("DISK A", "AA 2A");
        AddFile(*a, {"A1", 0x82, Pattern(300)});
        AddFile(*a, {"GONE", 0x00, Pattern(10)});
        Save(*a, "a.d64");
        auto zip = BlankD64("ZIP");
        Save(*zip, "2!zip.d64");
        std::ofstream(dir / "old.TXT") << "an earlier listing\n";
        std::ofstream(dir / "single.prg", std::ios::binary) << std::string("\x01\x08\x00\x00", 4);
        auto b = BlankD64("DISK B", "BB 2A");
        AddFile(*b, {"B1", 0x81, Pattern(600, 4)});
        Save(*b, "sub/b.d64");
    }
    void Save(DiskImage& image, const std::string& name) {
        fs::create_directories((dir / name).parent_path());
        ASSERT_TRUE(image.WriteFile((dir / name).string()));
    }
    std::string At(const std::string& name) const { return (dir / name).string(); }

    BatchResult Run(const BatchOptions& options, const std::atomic<bool>* cancel = nullptr) {
        progress.clear();
        return RunBatch(
            dir.path().string(), options, Settings(),
            [&](const std::string& path, int done) {
                progress.push_back(path + "#" + std::to_string(done));
            },
            cancel);
    }

    static BatchOptions Listing(int format, bool single) {
        BatchOptions options;
        options.mode = BatchMode::List;
        options.listingFormat = format;
        options.singleFile = single;
        return options;
    }

    TempDir dir{"tessarind-batch"};
    Strings progress;
};

TEST_F(BatchRunTest, SingleCsvFileHoldsEveryListing) {
    BatchResult result = Run(Listing(FormatId::Csv, true));
    EXPECT_TRUE(result.listed);
    EXPECT_EQ(result.processed, 3); // a.d64, single.prg, sub/b.d64
    EXPECT_EQ(result.failed, 0);
    EXPECT_EQ(result.singleFilePath, At("CBMDirs.csv"));
    // The earlier listing and the later Zipcode part are never opened.
    EXPECT_EQ(progress,
              (Strings{At("a.d64") + "#0", At("single.prg") + "#1", At("sub/b.d64") + "#2"}));
    // A single file is no container of its own: it is not listed.
    EXPECT_EQ(ReadText(dir / "CBMDirs.csv"), At("a.d64") +
                                                 "\n"
                                                 "0,DISK A          ,AA ,2A\n"
                                                 "2,A1              ,PRG\n" +
                                                 At("sub/b.d64") +
                                                 "\n"
                                                 "0,DISK B          ,BB ,2A\n"
                                                 "3,B1              ,SEQ\n");
    EXPECT_FALSE(fs::exists(dir / "a.csv"));
    EXPECT_FALSE(fs::exists(dir / "sub" / "b.csv"));
    // Nothing but the listing is left behind in the folder.
    int files = 0;
    for (const auto& entry : fs::directory_iterator(dir.path()))
        files += entry.is_regular_file();
    EXPECT_EQ(files, 5);
}

TEST_F(BatchRunTest, ListingPerContainerBesideIt) {
    BatchOptions options = Listing(FormatId::Text, false);
    options.showDeleted = true;
    BatchResult result = Run(options);
    EXPECT_EQ(result.processed, 3);
    EXPECT_FALSE(fs::exists(dir / "CBMDirs.txt"));
    EXPECT_TRUE(result.singleFilePath.empty());
    const std::string a = ReadText(dir / "a.txt");
    EXPECT_EQ(a.substr(0, At("a.d64").size() + 2), At("a.d64") + "\r\n");
    EXPECT_NE(a.find("\"GONE\""), std::string::npos); // deleted entries shown for this run
    EXPECT_NE(ReadText(dir / "sub" / "b.txt").find("\"B1\""), std::string::npos);
    EXPECT_FALSE(fs::exists(dir / "single.txt"));

    // A second run does not take the listings of the first for containers.
    Strings first = progress;
    options.showDeleted = false;
    Run(options);
    EXPECT_EQ(progress, first);
    EXPECT_EQ(ReadText(dir / "a.txt").find("\"GONE\""), std::string::npos);
}

TEST_F(BatchRunTest, BitmapListingPerContainer) {
    BatchOptions options = Listing(FormatId::Bitmap, true); // one file only for text and CSV
    BatchResult result = Run(options);
    EXPECT_EQ(result.processed, 3);
    EXPECT_EQ(result.failed, 0);
    EXPECT_TRUE(result.singleFilePath.empty());
    EXPECT_FALSE(fs::exists(dir / "CBMDirs.bmp"));
    for (const char* name : {"a.bmp", "sub/b.bmp"}) {
        const std::string bitmap = ReadText(dir / name);
        EXPECT_EQ(bitmap.substr(0, 2), "BM") << name;
    }
    EXPECT_FALSE(fs::exists(dir / "single.bmp"));
}

TEST_F(BatchRunTest, ExtractionFoldersNamedAfterTheContainer) {
    BatchOptions options;
    options.mode = BatchMode::Extract;
    options.extractAs = ExportMode::Native;
    options.includeSubfolders = false;
    BatchResult result = Run(options);
    EXPECT_EQ(result.processed, 2); // a.d64 and single.prg; sub/ is not entered
    std::vector<uint8_t> bytes;
    bool openFailed = false;
    ASSERT_TRUE(ReadWholeFile((dir / "ad64" / "a1.prg").string(), bytes, openFailed));
    EXPECT_EQ(bytes, Pattern(300));
    EXPECT_TRUE(fs::exists(dir / "singleprg" / "single.prg"));
    EXPECT_FALSE(fs::exists(dir / "sub" / "bd64"));
    EXPECT_FALSE(fs::exists(dir / "2!zipd64"));

    EXPECT_EQ(ExtractionFolder("/x/game.d64"), "/x/gamed64");
    EXPECT_EQ(ExtractionFolder("/x/v1.2/1!game"), "/x/v1.2/1!gamedir");
    EXPECT_EQ(ListingPath("/x/game.D64", FormatId::Csv), "/x/game.csv");
    EXPECT_EQ(ListingPath("/x/v1.2/1!game", FormatId::Text), "/x/v1.2/1!game.txt");
}

TEST_F(BatchRunTest, CancelStopsAfterTheCurrentContainer) {
    std::atomic<bool> cancel{false};
    progress.clear();
    BatchResult result = RunBatch(
        dir.path().string(), Listing(FormatId::Csv, true), Settings(),
        [&](const std::string&, int) { cancel = true; }, &cancel);
    EXPECT_TRUE(result.cancelled);
    EXPECT_EQ(result.processed, 1);
    // What was listed before the cancel is kept.
    EXPECT_EQ(ReadText(dir / "CBMDirs.csv").find(At("a.d64") + "\n"), 0u);
    EXPECT_EQ(ReadText(dir / "CBMDirs.csv").find("DISK B"), std::string::npos);
}

TEST_F(BatchRunTest, FolderThatCannotBeListed) {
    BatchResult result = RunBatch(At("missing"), Listing(FormatId::Csv, true), Settings());
    EXPECT_FALSE(result.listed);
    EXPECT_EQ(result.processed, 0);
    EXPECT_FALSE(fs::exists(dir / "missing"));
}

} // namespace
} // namespace tessarind
