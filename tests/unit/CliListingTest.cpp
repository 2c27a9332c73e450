// The listing, search and batch commands of tessarind-cli, run as a user runs them.

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "formats/D81Image.h"
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
using testing::ProcessResult;
using testing::RawName;
using testing::RunProcess;
using testing::ShellQuote;
using testing::TempDir;

struct Outcome {
    int exitCode = -1;
    std::string out, err;
};

// What a bitmap file's header says about its picture.
struct BitmapHeader {
    uint32_t fileSize = 0, pixelOffset = 0;
    int32_t width = 0, height = 0;
    uint16_t bitsPerPixel = 0;
};

uint32_t Le32(const std::vector<uint8_t>& b, size_t at) {
    return b[at] | b[at + 1] << 8 | b[at + 2] << 16 | static_cast<uint32_t>(b[at + 3]) << 24;
}

std::optional<BitmapHeader> DecodeHeader(const std::vector<uint8_t>& bytes) {
    if (bytes.size() < 54 || bytes[0] != 'B' || bytes[1] != 'M') return std::nullopt;
    BitmapHeader h;
    h.fileSize = Le32(bytes, 2);
    h.pixelOffset = Le32(bytes, 10);
    h.width = static_cast<int32_t>(Le32(bytes, 18));
    h.height = static_cast<int32_t>(Le32(bytes, 22));
    h.bitsPerPixel = static_cast<uint16_t>(bytes[28] | bytes[29] << 8);
    return h;
}

std::string Hex(const std::vector<uint8_t>& data) {
    std::array<uint8_t, 16> digest{};
    EXPECT_TRUE(Md5Digest(data, digest));
    std::string text;
    for (uint8_t b : digest) {
        char pair[3];
        std::snprintf(pair, sizeof pair, "%02x", b);
        text += pair;
    }
    return text;
}

class CliListingTest : public ::testing::Test {
protected:
    // Runs the tool in the test's folder and keeps stdout and stderr apart.
    Outcome Cli(const std::vector<std::string>& args) {
        std::string command = ShellQuote(TESSARIND_CLI);
        for (const std::string& a : args)
            command += " " + ShellQuote(a);
        const fs::path err = dir / ".stderr";
        ProcessResult run =
            RunProcess({"sh", "-c", command + " 2>" + ShellQuote(err.string())}, dir.path());
        return {run.exitCode, run.output, Text(".stderr")};
    }
    std::vector<uint8_t> Read(const std::string& name) {
        std::vector<uint8_t> out;
        bool openFailed = false;
        ReadWholeFile((dir / name).string(), out, openFailed);
        return out;
    }
    std::string Text(const std::string& name) {
        std::vector<uint8_t> bytes = Read(name);
        return std::string(bytes.begin(), bytes.end());
    }
    std::string Full(const std::string& name) { return (dir / name).string(); }
    void Save(DiskImage& image, const std::string& name) {
        fs::create_directories((dir / name).parent_path());
        ASSERT_TRUE(image.WriteFile(Full(name)));
    }
    // "GAMES" 1541 disk: GAME (3 blocks), NOTES (SEQ, 1 block), TOOL (USR), a deleted OLD.
    void GameDisk(const std::string& name) {
        auto image = BlankD64("GAMES", "GA 2A");
        AddFile(*image, {"GAME", 0x82, Pattern(3 * 254)});
        AddFile(*image, {"NOTES", 0x81, {'h', 'I', 0x0D}});
        AddFile(*image, {"TOOL", 0x83, Pattern(300, 2)});
        AddFile(*image, {"OLD", 0x00, Pattern(10)});
        Save(*image, name);
    }
    // A 1581 disk "MAIN": TOP, the partition PART holding INSIDE, then LAST.
    void PartitionDisk(const std::string& name) {
        D81Image image;
        ASSERT_TRUE(image.Open(nullptr, "", false, true));
        ASSERT_TRUE(testing::AddPartitionSample(image));
        ASSERT_TRUE(AddFile(image, {"LAST", 0x82, Pattern(10)}));
        Save(image, name);
    }

    TempDir dir{"tessarind-cli-listing"};
};

TEST_F(CliListingTest, CsvListingIsExactWithEachOption) {
    GameDisk("g.d64");
    const std::string head = Full("g.d64") + "\n0,GAMES           ,GA ,2A\n";
    Outcome csv = Cli({"list", "g.d64", "--format", "csv"});
    ASSERT_EQ(csv.exitCode, 0) << csv.err;
    EXPECT_EQ(csv.out, head + "3,GAME            ,PRG\n"
                              "1,NOTES           ,SEQ\n"
                              "2,TOOL            ,USR\n");
    EXPECT_EQ(csv.err, "");

    // The same text into a file; with deleted entries every slot of the directory block,
    // the unused ones included (their zero name bytes shown, so the columns stay).
    const std::string unused = "0,????????????????,DEL\n0,????????????????,DEL\n"
                               "0,????????????????,DEL\n0,????????????????,DEL\n";
    ASSERT_EQ(Cli({"list", "g.d64", "--format", "csv", "-o", "out.csv", "--deleted"}).exitCode, 0);
    EXPECT_EQ(Text("out.csv"), head +
                                   "3,GAME            ,PRG\n"
                                   "1,NOTES           ,SEQ\n"
                                   "2,TOOL            ,USR\n"
                                   "1,OLD             ,DEL\n" +
                                   unused);

    // Digests of each file's bytes; deleted entries are not readable.
    Outcome md5 = Cli({"list", "g.d64", "--format", "csv", "--md5", "--deleted"});
    ASSERT_EQ(md5.exitCode, 0);
    EXPECT_EQ(md5.out,
              head + "3,GAME            ,PRG," + Hex(Pattern(3 * 254)) + "\n" +
                  "1,NOTES           ,SEQ," + Hex({'h', 'I', 0x0D}) + "\n" +
                  "2,TOOL            ,USR," + Hex(Pattern(300, 2)) + "\n" +
                  "1,OLD             ,DEL,0\n" +
                  "0,????????????????,DEL,0\n0,????????????????,DEL,0\n0,????????????????,DEL,0\n"
                  "0,????????????????,DEL,0\n");

    // The lower/upper-case set shows unshifted letters in lower case.
    Outcome lower = Cli({"list", Full("g.d64"), "--format", "csv", "--lower"});
    ASSERT_EQ(lower.exitCode, 0);
    EXPECT_EQ(lower.out.substr(lower.out.find('\n') + 1, 26), "0,games           ,ga ,2a\n");

    // Sub-directory lines follow their entry only when asked.
    PartitionDisk("p.d81");
    Outcome flat = Cli({"list", "p.d81", "--format", "csv"});
    ASSERT_EQ(flat.exitCode, 0);
    EXPECT_EQ(flat.out.find(Full("p.d81") + "\n0,MAIN            ,"), 0u);
    EXPECT_EQ(flat.out.find("INSIDE"), std::string::npos);
    Outcome deep = Cli({"list", "p.d81", "--format", "csv", "--subdirs"});
    ASSERT_EQ(deep.exitCode, 0);
    const size_t part = deep.out.find(",PART "), inside = deep.out.find(",INSIDE "),
                 last = deep.out.find(",LAST ");
    ASSERT_NE(inside, std::string::npos);
    EXPECT_LT(part, inside);
    EXPECT_LT(inside, last);
}

TEST_F(CliListingTest, TextListingWithSubDirectoriesListsEachLevel) {
    PartitionDisk("p.d81");
    Outcome flat = Cli({"list", "p.d81"});
    Outcome deep = Cli({"list", "p.d81", "--subdirs"});
    ASSERT_EQ(flat.exitCode, 0);
    ASSERT_EQ(deep.exitCode, 0);
    // The disk's own listing first, then a blank line and the partition's.
    ASSERT_EQ(deep.out.substr(0, flat.out.size()), flat.out);
    const std::string inner = deep.out.substr(flat.out.size());
    EXPECT_EQ(inner.substr(0, 10), "\n0 \"PART  ");
    EXPECT_NE(inner.find("\"INSIDE\""), std::string::npos);
    EXPECT_EQ(flat.out.find("\"INSIDE\""), std::string::npos);
}

TEST_F(CliListingTest, BitmapListingBesideTheImageOrWhereAsked) {
    GameDisk("g.d64");
    ASSERT_EQ(Cli({"list", "g.d64", "--format", "bmp"}).exitCode, 0);
    std::vector<uint8_t> beside = Read("g.bmp");
    std::optional<BitmapHeader> header = DecodeHeader(beside);
    ASSERT_TRUE(header);
    // 28 cells of 8 pixels across; header, three entries and the free line down.
    EXPECT_EQ(header->width, 28 * 8);
    EXPECT_EQ(header->height, 5 * 8);
    EXPECT_EQ(header->bitsPerPixel, 32);
    EXPECT_EQ(header->fileSize, beside.size());
    EXPECT_EQ(header->pixelOffset + 4u * 28 * 8 * 5 * 8, beside.size());

    // Deleted entries add the other five slots of the block; "-o -" sends the same bytes to
    // stdout.
    ASSERT_EQ(Cli({"list", "g.d64", "--format", "bmp", "--deleted", "-o", "all.bmp"}).exitCode, 0);
    ASSERT_TRUE(DecodeHeader(Read("all.bmp")));
    EXPECT_EQ(DecodeHeader(Read("all.bmp"))->height, 10 * 8);
    Outcome piped = Cli({"list", "g.d64", "--format", "bmp", "-o", "-"});
    ASSERT_EQ(piped.exitCode, 0);
    EXPECT_EQ(std::vector<uint8_t>(piped.out.begin(), piped.out.end()), beside);
    // The other character set draws other pixels into a picture of the same size.
    Outcome lower = Cli({"list", "g.d64", "--format", "bmp", "-o", "-", "--lower"});
    ASSERT_EQ(lower.out.size(), beside.size());
    EXPECT_NE(std::vector<uint8_t>(lower.out.begin(), lower.out.end()), beside);

    // Each sub-directory gets a picture named after it.
    PartitionDisk("p.d81");
    ASSERT_EQ(Cli({"list", "p.d81", "--format", "bmp", "--subdirs", "-o", "p.bmp"}).exitCode, 0);
    std::optional<BitmapHeader> inner = DecodeHeader(Read("p.part.bmp"));
    ASSERT_TRUE(inner);
    EXPECT_EQ(inner->height, 3 * 8); // header, INSIDE, free line

    Outcome unwritable = Cli({"list", "g.d64", "--format", "bmp", "-o", "no/such/dir/x.bmp"});
    EXPECT_EQ(unwritable.exitCode, 1);
    EXPECT_EQ(unwritable.err, "Unable to Save File\n");
}

TEST_F(CliListingTest, FindReportsHitsInFolderOrderWithTheSummary) {
    GameDisk("top/a.d64");
    auto other = BlankD64("OTHER");
    AddFile(*other, {"GAME2", 0x82, Pattern(600)});
    AddFile(*other, {"DEMO", 0x82, Pattern(10)});
    Save(*other, "top/sub/b.d64");
    PartitionDisk("top/c.d81");
    std::ofstream(dir / "top" / "readme.doc") << "not a disk\n";

    Outcome all = Cli({"find", "top", "GAME*"});
    ASSERT_EQ(all.exitCode, 0) << all.err;
    EXPECT_EQ(all.out, "GAME\tPRG\t3\ttop/a.d64\n"
                       "GAME2\tPRG\t3\ttop/sub/b.d64\n");
    // readme.doc is no container: skipped without a word.
    EXPECT_EQ(all.err, "Search Finished. 2 file(s) found on 2 of 3 disks\n");

    // Typed in lower case it is the same name; entries inside partitions carry their path.
    Outcome inside = Cli({"find", "top/", "in*"});
    ASSERT_EQ(inside.exitCode, 0);
    EXPECT_EQ(inside.out, "PART/INSIDE\tSEQ\t3\ttop/c.d81\n");

    Outcome shallow = Cli({"find", "top", "GAME*", "--no-subfolders"});
    ASSERT_EQ(shallow.exitCode, 0);
    EXPECT_EQ(shallow.out, "GAME\tPRG\t3\ttop/a.d64\n");
    EXPECT_EQ(shallow.err, "Search Finished. 1 file(s) found on 1 of 2 disks\n");

    Outcome none = Cli({"find", "top", "NOTHING"});
    EXPECT_EQ(none.exitCode, 0);
    EXPECT_EQ(none.out, "");
    EXPECT_EQ(none.err, "Search Finished. 0 file(s) found on 0 of 3 disks\n");

    Outcome missing = Cli({"find", "absent", "*"});
    EXPECT_EQ(missing.exitCode, 1);
    EXPECT_EQ(missing.err, "Unable to Open Directory\n");
}

TEST_F(CliListingTest, FindSaysWhichSubfoldersItCouldNotRead) {
    GameDisk("top/a.d64");
    GameDisk("top/closed/b.d64");
    GameDisk("top/open/c.d64");
    fs::permissions(dir / "top/closed", fs::perms::none);
    // Run as a user the closed folder shuts out (root reads any folder).
    std::string command =
        testing::AsUnprivilegedUser() + ShellQuote(TESSARIND_CLI) + " find top GAME";
    ProcessResult run = RunProcess(
        {"sh", "-c", command + " 2>" + ShellQuote((dir / ".stderr").string())}, dir.path());
    fs::permissions(dir / "top/closed", fs::perms(0755));
    // What could be searched is reported; the search is not complete, so it is no success.
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_EQ(run.output, "GAME\tPRG\t3\ttop/a.d64\nGAME\tPRG\t3\ttop/open/c.d64\n");
    EXPECT_EQ(Text(".stderr"), "Unable to Open Directory top/closed: Permission denied\n"
                               "Search Finished. 2 file(s) found on 2 of 2 disks\n");
}

TEST_F(CliListingTest, ExtractNamesFilesInsidePartitionsAsFindPrintsThem) {
    PartitionDisk("c.d81");
    Outcome found = Cli({"find", ".", "INSIDE"});
    ASSERT_EQ(found.exitCode, 0) << found.err;
    const std::string name = found.out.substr(0, found.out.find('\t'));
    ASSERT_EQ(name, "PART/INSIDE");
    for (const std::string& typed : {name, std::string("part/ins*"), std::string("P*/INSIDE")}) {
        SCOPED_TRACE(typed);
        fs::remove_all(dir / "out");
        Outcome named = Cli({"extract", "c.d81", typed, "-o", "out"});
        EXPECT_EQ(named.exitCode, 0) << named.err;
        EXPECT_EQ(named.out, "out/part/inside.seq\n");
        EXPECT_EQ(Read("out/part/inside.seq"), Pattern(600, 3));
    }
    Outcome missing = Cli({"extract", "c.d81", "PART/NOTHERE", "-o", "out"});
    EXPECT_EQ(missing.exitCode, 1);
    EXPECT_EQ(missing.err, "PART/NOTHERE: no such file in c.d81\n");
    // A 1541 has no partitions: the slash is part of the name there.
    auto plain = BlankD64("PLAIN");
    AddFile(*plain, {"A/B", 0x82, Pattern(10)});
    Save(*plain, "p.d64");
    Outcome slash = Cli({"extract", "p.d64", "A/B", "-o", "out"});
    EXPECT_EQ(slash.exitCode, 0) << slash.err;
    EXPECT_EQ(slash.out, "out/a - b.prg\n");
}

TEST_F(CliListingTest, BatchExtractsBesideEachContainer) {
    GameDisk("game.d64");
    auto other = BlankD64("OTHER");
    AddFile(*other, {"DEEP", 0x82, Pattern(20, 5)});
    Save(*other, "sub/deep.d64");

    Outcome shallow = Cli({"batch", ".", "--extract", "native", "--no-subfolders"});
    ASSERT_EQ(shallow.exitCode, 0) << shallow.err;
    EXPECT_EQ(Read("gamed64/game.prg"), Pattern(3 * 254));
    EXPECT_EQ(Read("gamed64/notes.seq"), (std::vector<uint8_t>{'h', 'I', 0x0D}));
    EXPECT_EQ(Read("gamed64/tool.usr"), Pattern(300, 2));
    EXPECT_FALSE(fs::exists(dir / "sub" / "deepd64"));
    EXPECT_EQ(shallow.err, "1 container(s) extracted\n");

    ASSERT_EQ(Cli({"batch", Full("sub"), "--extract", "pc64"}).exitCode, 0);
    std::vector<uint8_t> p00 = Read("sub/deepd64/deep.p00");
    ASSERT_EQ(p00.size(), 26u + 20u);
    EXPECT_EQ(std::string(p00.begin(), p00.begin() + 12), std::string("C64File\0DEEP", 12));
}

TEST_F(CliListingTest, BatchListsIntoOneFileOrBesideEachContainer) {
    GameDisk("game.d64");
    auto other = BlankD64("OTHER", "OT 2A");
    AddFile(*other, {"DEEP", 0x82, Pattern(20, 5)});
    Save(*other, "sub/deep.d64");
    std::ofstream(dir / "earlier.TXT") << "an earlier listing\n";

    Outcome single = Cli({"batch", ".", "--list", "csv", "--single-file"});
    ASSERT_EQ(single.exitCode, 0) << single.err;
    // Full paths, containers in folder order; the earlier listing is not read as a container.
    EXPECT_EQ(Text("CBMDirs.csv"), Full("game.d64") +
                                       "\n0,GAMES           ,GA ,2A\n"
                                       "3,GAME            ,PRG\n"
                                       "1,NOTES           ,SEQ\n"
                                       "2,TOOL            ,USR\n" +
                                       Full("sub/deep.d64") +
                                       "\n0,OTHER           ,OT ,2A\n"
                                       "1,DEEP            ,PRG\n");
    EXPECT_EQ(single.err, "2 container(s) listed into " + Full("CBMDirs.csv") + "\n");
    EXPECT_FALSE(fs::exists(dir / "game.csv"));

    // One listing beside each container, deleted entries when asked.
    ASSERT_EQ(Cli({"batch", ".", "--list", "text", "--deleted"}).exitCode, 0);
    const std::string text = Text("game.txt");
    EXPECT_EQ(text.substr(0, Full("game.d64").size() + 2), Full("game.d64") + "\r\n");
    EXPECT_NE(text.find("\"OLD\""), std::string::npos);
    EXPECT_NE(Text("sub/deep.txt").find("\"DEEP\""), std::string::npos);
    EXPECT_FALSE(fs::exists(dir / "CBMDirs.txt"));

    ASSERT_EQ(Cli({"batch", ".", "--list", "bmp", "--no-subfolders"}).exitCode, 0);
    std::optional<BitmapHeader> picture = DecodeHeader(Read("game.bmp"));
    ASSERT_TRUE(picture);
    EXPECT_EQ(picture->width, 28 * 8);
    EXPECT_EQ(picture->height, 5 * 8);
    EXPECT_FALSE(fs::exists(dir / "sub" / "deep.bmp"));

    Outcome missing = Cli({"batch", "absent", "--list", "csv"});
    EXPECT_EQ(missing.exitCode, 1);
    EXPECT_EQ(missing.err, "Unable to Open Directory\n");
}

TEST_F(CliListingTest, UsageErrorsExitWithTwoAndChangeNothing) {
    GameDisk("g.d64");
    for (const std::vector<std::string>& args : std::vector<std::vector<std::string>>{
             {"list", "g.d64", "--format", "pdf"},
             {"list", "g.d64", "--md5"},
             {"list", "g.d64", "--format", "bmp", "--md5"},
             {"list", "g.d64", "--format", "bmp", "--subdirs", "-o", "-"},
             {"list", "g.d64", "--format"},
             {"find", "."},
             {"find", ".", "*", "-j", "0"},
             {"find", ".", "*", "-j", "2x"},
             {"find", ".", "SEVENTEEN LETTERS"},
             {"find", ".", "*", "--deleted"},
             {"batch", "."},
             {"batch", ".", "--list", "csv", "--extract", "native"},
             {"batch", ".", "--list", "pdf"},
             {"batch", ".", "--extract", "zip"},
             {"batch", ".", "--list", "bmp", "--single-file"},
             {"batch", ".", "--extract", "native", "--single-file"},
             {"batch", ".", "--extract", "native", "--deleted"},
             {"batch", "--list", "csv"},
         }) {
        SCOPED_TRACE(args[0] + " " + args.back());
        Outcome run = Cli(args);
        EXPECT_EQ(run.exitCode, 2);
        // The command's own usage, not the overview of all of them.
        EXPECT_NE(run.err.find("Usage:\n    tessarind-cli " + args[0] + " "), std::string::npos);
        EXPECT_EQ(run.err.find("tessarind-cli bam"), std::string::npos);
        EXPECT_EQ(run.out, "");
    }
    // Nothing was written beside the image.
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(dir.path()))
        names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, (std::vector<std::string>{".stderr", "g.d64"}));
}

} // namespace
} // namespace tessarind
