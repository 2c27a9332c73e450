#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "catalog/BatchRun.h"
#include "catalog/FolderSearch.h"
#include "catalog/ImageOpener.h"
#include "model/CompressedFile.h"
#include "model/SafeFile.h"
#include "support/ImageBuilder.h"
#include "support/Process.h"
#include "support/Recorders.h"

namespace tessarind {
namespace {

namespace fs = std::filesystem;
using testing::AddFile;
using testing::BlankD64;
using testing::Pattern;
using testing::ProcessResult;
using testing::RunProcess;
using testing::ShellQuote;
using testing::TempDir;
using Strings = std::vector<std::string>;

std::vector<uint8_t> Bytes(const fs::path& path) {
    std::vector<uint8_t> bytes;
    bool openFailed = false;
    EXPECT_TRUE(ReadWholeFile(path.string(), bytes, openFailed)) << path;
    return bytes;
}

void Put(const fs::path& path, const std::vector<uint8_t>& bytes) {
    fs::create_directories(path.parent_path());
    std::ofstream(path, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()),
               static_cast<std::streamsize>(bytes.size()));
}

// A CSV listing without its first line, which names the container.
std::string WithoutPathLine(const std::string& csv) {
    return csv.substr(csv.find('\n') + 1);
}

// Every file under a folder, by path relative to it, with its bytes.
std::map<std::string, std::vector<uint8_t>> Tree(const fs::path& folder) {
    std::map<std::string, std::vector<uint8_t>> files;
    for (const auto& entry : fs::recursive_directory_iterator(folder))
        if (entry.is_regular_file())
            files[fs::relative(entry.path(), folder).string()] = Bytes(entry.path());
    return files;
}

// One folder holding the same disk plain, gzipped and zipped (alone, and beside a second
// disk and a readme), all made with the system's gzip and zip.
class CompressedContainerTest : public ::testing::Test {
protected:
    void SetUp() override {
        auto games = BlankD64("GAMES", "GG 2A");
        AddFile(*games, {"GAME", 0x82, Pattern(3 * 254)});
        AddFile(*games, {"NOTES", 0x81, Pattern(600, 3)});
        fs::create_directories(dir / "plain");
        ASSERT_TRUE(games->WriteFile(At("plain/games.d64")));
        auto tools = BlankD64("TOOLS", "TT 2A");
        AddFile(*tools, {"TOOL", 0x82, Pattern(300, 5)});
        ASSERT_TRUE(tools->WriteFile(At("plain/tools.d64")));
        std::ofstream(dir / "plain/readme.txt") << "two disks\n";
        fs::create_directories(dir / "packed");
        fs::copy_file(dir / "plain/games.d64", dir / "packed/games.d64");
        Run({"gzip", "-9", "packed/games.d64"});
        Run({"zip", "-q", "-j", "packed/one.zip", "plain/games.d64"});
        Run({"zip", "-q", "-j", "packed/two.zip", "plain/games.d64", "plain/tools.d64",
             "plain/readme.txt"});
    }
    std::string At(const std::string& name) const { return (dir / name).string(); }
    void Run(const std::vector<std::string>& argv) {
        ASSERT_EQ(RunProcess(argv, dir.path()).exitCode, 0) << argv[0];
    }
    ProcessResult Cli(const std::vector<std::string>& args, bool withMessages = false) {
        std::string command = ShellQuote(TESSARIND_CLI);
        for (const std::string& a : args)
            command += " " + ShellQuote(a);
        return RunProcess({"sh", "-c", command + (withMessages ? " 2>&1" : " 2>/dev/null")},
                          dir.path());
    }

    TempDir dir{"tessarind-compressed"};
};

// A compressed disk lists, finds and extracts as the plain disk does.
TEST_F(CompressedContainerTest, ReadsAsThePlainImage) {
    const std::string plain = "plain/games.d64";
    const ProcessResult listing = Cli({"list", plain});
    ASSERT_EQ(listing.exitCode, 0);
    const ProcessResult csv = Cli({"list", plain, "--format", "csv", "--md5"});
    ASSERT_EQ(csv.exitCode, 0);
    Cli({"extract", plain, "-o", "out/plain"});
    const auto extracted = Tree(dir / "out/plain");
    ASSERT_EQ(extracted.size(), 2u);
    int n = 0;
    for (const std::string packed :
         {"packed/games.d64.gz", "packed/one.zip", "packed/two.zip/games.d64"}) {
        SCOPED_TRACE(packed);
        EXPECT_EQ(Cli({"list", packed}).output, listing.output);
        EXPECT_EQ(WithoutPathLine(Cli({"list", packed, "--format", "csv", "--md5"}).output),
                  WithoutPathLine(csv.output));
        const std::string out = "out/" + std::to_string(n++);
        EXPECT_EQ(Cli({"extract", packed, "-o", out}).exitCode, 0);
        EXPECT_EQ(Tree(dir / out), extracted);
    }
    // The finds name each container where it lies, in the walk's order.
    const ProcessResult found = Cli({"find", "packed", "plain", "*", "-j", "2"});
    EXPECT_EQ(found.output, "GAME\tPRG\t3\tpacked/games.d64.gz\n"
                            "NOTES\tSEQ\t3\tpacked/games.d64.gz\n"
                            "GAME\tPRG\t3\tpacked/one.zip/games.d64\n"
                            "NOTES\tSEQ\t3\tpacked/one.zip/games.d64\n"
                            "GAME\tPRG\t3\tpacked/two.zip/games.d64\n"
                            "NOTES\tSEQ\t3\tpacked/two.zip/games.d64\n"
                            "TOOL\tPRG\t2\tpacked/two.zip/tools.d64\n"
                            "GAME\tPRG\t3\tplain/games.d64\n"
                            "NOTES\tSEQ\t3\tplain/games.d64\n"
                            "TOOL\tPRG\t2\tplain/tools.d64\n");
}

TEST_F(CompressedContainerTest, ZipWithSeveralDisksListsEachAndOpensNone) {
    std::vector<std::string> paths;
    std::string reason;
    ASSERT_TRUE(ZipContainerPaths(At("packed/two.zip"), paths, reason));
    EXPECT_EQ(paths, (Strings{At("packed/two.zip/games.d64"), At("packed/two.zip/tools.d64")}));
    // The desktop asks which one by number; no answer, or none of them, opens nothing.
    struct Case {
        std::deque<long> numbers;
        std::string diskName; // empty: nothing opens
    } cases[] = {{{2}, "TOOLS"}, {{1}, "GAMES"}, {{}, ""}, {{3}, ""}, {{0}, ""}};
    for (const Case& c : cases) {
        testing::RecordingInteraction ui;
        ui.numbers = c.numbers;
        auto image = OpenContainer(&ui, At("packed/two.zip"), {}, 0, nullptr, true, nullptr);
        ASSERT_EQ(ui.prompts.size(), 1u);
        EXPECT_NE(ui.prompts[0].find("\n2  tools.d64"), std::string::npos) << ui.prompts[0];
        ASSERT_EQ(image != nullptr, !c.diskName.empty());
        if (image) {
            const std::span<const uint8_t> name = image->DiskName();
            EXPECT_EQ(
                std::string(name.begin(), name.begin() + static_cast<ptrdiff_t>(c.diskName.size())),
                c.diskName);
            EXPECT_TRUE(ui.messages.empty());
        } else {
            ASSERT_EQ(ui.messages.size(), 1u);
            EXPECT_NE(ui.messages[0].text.find(At("packed/two.zip/tools.d64")), std::string::npos);
        }
    }
    const ProcessResult opened = Cli({"list", "packed/two.zip"}, true);
    EXPECT_NE(opened.exitCode, 0);
    EXPECT_NE(opened.output.find("packed/two.zip/tools.d64"), std::string::npos) << opened.output;
}

// Batch listings of the compressed disks are those of the plain ones, whatever the threads.
TEST_F(CompressedContainerTest, BatchListsCompressedDisksInOneOrder) {
    fs::remove_all(dir / "plain");
    BatchOptions options;
    options.listingFormat = FormatId::Csv;
    std::string first;
    for (int workers : {1, 2, 5}) {
        options.workers = workers;
        const BatchResult result = RunBatch(dir.path().string(), options, Settings());
        EXPECT_EQ(result.processed, 4) << workers;
        const std::vector<uint8_t> all = Bytes(dir / "CBMDirs.csv");
        if (first.empty()) first.assign(all.begin(), all.end());
        EXPECT_EQ(std::string(all.begin(), all.end()), first) << workers;
    }
    options.singleFile = false;
    options.workers = 2;
    ASSERT_EQ(RunBatch(dir.path().string(), options, Settings()).failed, 0);
    // Listings of members go into the archive's extraction folder, never into the archive.
    EXPECT_EQ(Bytes(dir / "packed/twozip/tools.csv").empty(), false);
    const auto text = [&](const std::string& name) {
        const std::vector<uint8_t> bytes = Bytes(dir / name);
        return WithoutPathLine(std::string(bytes.begin(), bytes.end()));
    };
    EXPECT_EQ(text("packed/games.d64.csv"), text("packed/onezip/games.csv"));
}

TEST_F(CompressedContainerTest, SavingAGzipDiskWritesGzipAgain) {
    const std::string path = At("packed/games.d64.gz");
    auto image = OpenContainer(nullptr, path, {}, 0, nullptr, false, nullptr);
    ASSERT_TRUE(image);
    ASSERT_TRUE(image->RenameDisk(testing::RawName("SAVED")));
    ASSERT_TRUE(image->WriteFile(path));
    // The system's gzip reads what was written, and it is the changed image byte for byte.
    const ProcessResult unpacked = RunProcess({"gzip", "-dc", path});
    ASSERT_EQ(unpacked.exitCode, 0);
    const std::span<const uint8_t> now = image->Store().Contents();
    EXPECT_EQ(unpacked.output, std::string(now.begin(), now.end()));
    auto reopened = OpenContainer(nullptr, path, {}, 0, nullptr, false, nullptr);
    ASSERT_TRUE(reopened);
    const std::span<const uint8_t> read = reopened->Store().Contents();
    EXPECT_TRUE(std::equal(read.begin(), read.end(), now.begin(), now.end()));

    // A disk inside a zip is never written back into the archive.
    const std::string member = At("packed/one.zip/games.d64");
    auto zipped = OpenContainer(nullptr, member, {}, 0, nullptr, false, nullptr);
    ASSERT_TRUE(zipped);
    EXPECT_TRUE(zipped->untitled());
    const std::vector<uint8_t> archive = Bytes(dir / "packed/one.zip");
    EXPECT_FALSE(zipped->WriteFile(member));
    EXPECT_EQ(Bytes(dir / "packed/one.zip"), archive);
    // Saving asks where, offering the archive's folder, and writes a plain image there.
    testing::RecordingInteraction ui;
    ui.saveChoices.push_back(SaveChoice{At("packed/games.d64")});
    zipped->SetOwner(&ui);
    ASSERT_TRUE(zipped->Save(false));
    ASSERT_EQ(ui.saveRequests.size(), 1u);
    EXPECT_EQ(ui.saveRequests[0].folder, At("packed/"));
    EXPECT_EQ(ui.saveRequests[0].proposedName, "games.d64");
    EXPECT_EQ(Bytes(dir / "packed/games.d64"), Bytes(dir / "plain/games.d64"));
    EXPECT_EQ(Bytes(dir / "packed/one.zip"), archive);
}

// Damaged and oversized compressed files are refused with their reason, and nothing is made.
TEST_F(CompressedContainerTest, DamagedOrBombsAreRefused) {
    const std::vector<uint8_t> gz = Bytes(dir / "packed/games.d64.gz");
    const std::vector<uint8_t> zip = Bytes(dir / "packed/one.zip");
    auto flipped = [](std::vector<uint8_t> bytes, size_t fromEnd) {
        bytes[bytes.size() - fromEnd] ^= 0x01;
        return bytes;
    };
    auto cut = [](std::vector<uint8_t> bytes, size_t keep) {
        bytes.resize(keep);
        return bytes;
    };
    // 70 MB of zeros zipped by the system's zip: a file of some 70 KB.
    std::ofstream(dir / "zeros.d64").seekp((70 << 20) - 1).put('\0');
    fs::create_directories(dir / "bad");
    Run({"zip", "-q", "-j", "bad/bomb.zip", "zeros.d64"});
    fs::remove(dir / "zeros.d64");
    // The zip's local data: its first member's bytes start after a 30-byte header and name.
    const size_t zipData = 30 + std::string("games.d64").size();
    struct Case {
        std::string name;
        std::vector<uint8_t> bytes; // none: made above
        std::string reason;
    } cases[] = {
        {"cut.d64.gz", cut(gz, gz.size() / 2), "cut short"},
        {"header.d64.gz", cut(gz, 5), "cut short"},
        {"crc.d64.gz", flipped(gz, 8), "damaged"},
        {"length.d64.gz", flipped(gz, 4), "damaged"},
        {"plain.d64.gz", Bytes(dir / "plain/games.d64"), "no gzip"},
        {"tail.d64.gz",
         [&] {
             auto b = gz;
             b.push_back('x');
             return b;
         }(),
         "after the end"},
        {"member.zip", flipped(zip, zip.size() - zipData - 40), "damaged"},
        {"cut.zip", cut(zip, zip.size() - 30), "no zip"},
        {"bomb.zip", {}, "larger than 64 MB"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        if (!c.bytes.empty()) Put(dir / "bad" / c.name, c.bytes);
        const std::string path = "bad/" + c.name;
        const ProcessResult listed = Cli({"list", path}, true);
        EXPECT_EQ(listed.exitCode, 1);
        EXPECT_NE(listed.output.find(c.reason), std::string::npos) << listed.output;
        EXPECT_EQ(Cli({"extract", path, "-o", "out"}).exitCode, 1);
        EXPECT_FALSE(fs::exists(dir / "out"));
    }
    // A folder of them finds nothing and writes nothing.
    const auto before = Tree(dir / "bad");
    BatchOptions options;
    options.mode = BatchMode::Extract;
    EXPECT_EQ(RunBatch((dir / "bad").string(), options, Settings()).processed, 0);
    EXPECT_EQ(Tree(dir / "bad"), before);
}

// The inflater over streams made in memory: several members, and a limit that holds.
TEST(GzipStreams, InflateWithinTheLimit) {
    const std::vector<uint8_t> text = Pattern(5000, 9);
    const std::span<const uint8_t> whole = text;
    const std::span<const uint8_t> halves[] = {whole.first(2000), whole.subspan(2000)};
    std::vector<uint8_t> twoMembers = DeflateGzip(std::span(halves, 1));
    const std::vector<uint8_t> second = DeflateGzip(std::span(halves + 1, 1));
    twoMembers.insert(twoMembers.end(), second.begin(), second.end());
    const std::vector<uint8_t> zeros(3u << 20, 0);
    const std::span<const uint8_t> zeroPiece[] = {zeros};
    struct Case {
        std::vector<uint8_t> compressed;
        size_t limit;
        bool ok;
        size_t size;
    } cases[] = {
        {DeflateGzip(std::span(halves)), kMaxInflatedSize, true, text.size()},
        {twoMembers, kMaxInflatedSize, true, text.size()},
        {DeflateGzip(zeroPiece), zeros.size(), true, zeros.size()},
        {DeflateGzip(zeroPiece), zeros.size() - 1, false, 0},
        {DeflateGzip(zeroPiece), 1u << 20, false, 0},
    };
    for (const Case& c : cases) {
        std::vector<uint8_t> out;
        std::string reason;
        EXPECT_EQ(InflateGzip(c.compressed, out, reason, c.limit), c.ok) << reason;
        EXPECT_EQ(out.size(), c.size);
        if (c.ok && c.size == text.size()) {
            EXPECT_EQ(out, text);
        }
        if (!c.ok) {
            EXPECT_NE(reason.find("inflates past"), std::string::npos) << reason;
        }
    }
}

} // namespace
} // namespace tessarind
