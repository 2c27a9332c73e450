#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <sys/stat.h>

#include "catalog/ImageOpener.h"
#include "formats/CmdContainerImage.h"
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
using testing::RunProcess;
using testing::ShellQuote;
using testing::TempDir;
using Listing = std::vector<std::string>;

class CliTest : public ::testing::Test {
protected:
    // Runs the tool inside the test's folder; stdout is kept, stderr goes to the log.
    ProcessResult Cli(std::vector<std::string> args) {
        args.insert(args.begin(), TESSARIND_CLI);
        return RunProcess(args, dir.path());
    }
    // Runs the tool with stderr folded into the output, to check a message.
    ProcessResult CliWithMessages(const std::vector<std::string>& args) {
        std::string command = ShellQuote(TESSARIND_CLI);
        for (const std::string& a : args)
            command += " " + ShellQuote(a);
        return RunProcess({"sh", "-c", command + " 2>&1"}, dir.path());
    }
    void HostFile(const std::string& name, const std::vector<uint8_t>& bytes) {
        std::ofstream(dir / name, std::ios::binary)
            .write(reinterpret_cast<const char*>(bytes.data()),
                   static_cast<std::streamsize>(bytes.size()));
    }
    std::vector<uint8_t> Read(const std::string& name) {
        std::vector<uint8_t> out;
        bool openFailed = false;
        ReadWholeFile((dir / name).string(), out, openFailed);
        return out;
    }
    // The listed entries, each as its name and what follows it ("ONE *PRG<").
    std::vector<std::string> Names(const std::string& image) {
        ProcessResult listed = Cli({"list", image});
        EXPECT_EQ(listed.exitCode, 0);
        std::vector<std::string> names;
        std::istringstream in(listed.output);
        std::string line;
        std::getline(in, line); // the header
        while (std::getline(in, line)) {
            size_t open = line.find('"'), close = line.find('"', open + 1);
            if (open == std::string::npos) break; // the free-blocks line
            std::string rest = line.substr(close + 1);
            rest.erase(0, rest.find_first_not_of(' '));
            rest.erase(rest.find_last_not_of(' ') + 1);
            names.push_back(line.substr(open + 1, close - open - 1) + " " + rest);
        }
        return names;
    }
    // An image with the given files as closed PRGs of 100 bytes, written as `name`.
    void Disk(const std::string& name, const std::vector<std::string>& files) {
        auto image = BlankD64("TEST");
        for (size_t i = 0; i < files.size(); ++i)
            AddFile(*image, {files[i], 0x82, Pattern(100, static_cast<uint32_t>(i + 1))});
        ASSERT_TRUE(image->WriteFile((dir / name).string()));
    }
    std::unique_ptr<DiskImage> Load(const std::string& name) {
        return OpenContainer(nullptr, (dir / name).string(), {}, 0, nullptr, false, nullptr);
    }
    std::vector<std::string> FolderContents() {
        std::vector<std::string> names;
        for (const auto& f : fs::directory_iterator(dir.path()))
            names.push_back(f.path().filename().string());
        std::sort(names.begin(), names.end());
        return names;
    }

    TempDir dir{"tessarind-cli"};
};

TEST_F(CliTest, ExitCodesTellSuccessFailureAndUsage) {
    Disk("d.d64", {"ONE"});
    struct Case {
        std::vector<std::string> args;
        int exitCode;
    };
    for (const Case& c : std::vector<Case>{
             {{}, 2},
             {{"frobnicate", "d.d64"}, 2},
             {{"list", "d.d64", "--bogus"}, 2},
             {{"list"}, 2},
             {{"list", "d.d64", "--format", "html"}, 2},
             {{"insert", "d.d64", "a", "b", "--name", "X"}, 2},
             {{"insert", "d.d64", "a", "--type", "exe"}, 2},
             {{"insert", "d.d64", "a", "--at", "-1"}, 2},
             {{"retype", "d.d64", "ONE", "basic"}, 2},
             {{"rename", "d.d64", "ONE", "SEVENTEEN LETTERS"}, 2},
             {{"sort", "d.d64", "--by", "date"}, 2},
             {{"extract", "d.d64", "--mode", "zip"}, 2},
             {{"list", "missing.d64"}, 1},
             {{"list", "d.d64x"}, 1},
             {{"lock", "d.d64", "NOSUCH"}, 1},
             {{"new", "d.d64"}, 1}, // never over an existing file
             {{"--help"}, 0},
             {{"list", "d.d64"}, 0},
         }) {
        SCOPED_TRACE(c.args.empty() ? "" : c.args[0]);
        EXPECT_EQ(Cli(c.args).exitCode, c.exitCode);
    }
    EXPECT_EQ(Names("d.d64"), Listing{"ONE PRG"});
}

TEST_F(CliTest, InsertReadsEachKindAndKeepsTheOrder) {
    ASSERT_EQ(Cli({"new", "d.d64", "--name", "work"}).exitCode, 0);
    HostFile("game.prg", Pattern(300, 1));
    HostFile("notes.txt", {'H', 'i', '\n'});
    std::vector<uint8_t> p00(26, 0);
    std::memcpy(p00.data(), "C64File\0FROM HEADER", 19);
    p00.push_back(42);
    HostFile("x.p00", p00);
    HostFile("tool.usr", Pattern(10, 2));
    ASSERT_EQ(Cli({"insert", "d.d64", "game.prg", "notes.txt", "x.p00"}).exitCode, 0);
    ASSERT_EQ(Cli({"insert", "d.d64", "tool.usr", "game.prg", "--at", "1"}).exitCode, 0);
    ASSERT_EQ(Cli({"insert", "d.d64", "notes.txt", "--name", "raw", "--type", "prg"}).exitCode, 0);
    ASSERT_EQ(Cli({"insert", "d.d64", "x.p00", "--at", "0", "--name", "mine"}).exitCode, 0);
    EXPECT_EQ(Names("d.d64"), (Listing{"MINE PRG", "GAME PRG", "TOOL USR", "GAME PRG", "NOTES SEQ",
                                       "FROM HEADER PRG", "RAW PRG"}));
    auto image = Load("d.d64");
    ASSERT_NE(image, nullptr);
    EXPECT_EQ(image->ReadFileData(0), std::vector<uint8_t>{42});
    EXPECT_EQ(image->ReadFileData(1), Pattern(300, 1));
    EXPECT_EQ(image->ReadFileData(4), (std::vector<uint8_t>{0xC8, 'I', 0x0D}));
    EXPECT_EQ(image->ReadFileData(6), (std::vector<uint8_t>{'H', 'i', '\n'}));
    // A position past the end is refused, not taken as the end.
    std::vector<uint8_t> before = Read("d.d64");
    EXPECT_EQ(Cli({"insert", "d.d64", "x.p00", "--at", "8"}).exitCode, 1);
    EXPECT_EQ(Read("d.d64"), before);
}

TEST_F(CliTest, InsertFillsTheWholeDirectoryInOneCall) {
    ASSERT_EQ(Cli({"new", "d.d64"}).exitCode, 0);
    std::vector<std::string> args{"insert", "d.d64"};
    for (uint32_t i = 0; i < 144; ++i) {
        args.push_back("f" + std::to_string(i) + ".prg");
        HostFile(args.back(), Pattern(100, i));
    }
    ASSERT_EQ(Cli(args).exitCode, 0);
    auto image = Load("d.d64");
    ASSERT_EQ(image->entryCount(), 144);
    EXPECT_EQ(image->FreeBlockCount(), 664 - 144);
    for (int i : {0, 8, 143}) {
        std::string listed = Names("d.d64")[static_cast<size_t>(i)];
        EXPECT_EQ(listed, "F" + std::to_string(i) + " PRG");
        EXPECT_EQ(image->ReadFileData(i), Pattern(100, static_cast<uint32_t>(i)));
    }
    // The directory track holds no more: the next file is refused and nothing changes.
    std::vector<uint8_t> before = Read("d.d64");
    EXPECT_EQ(Cli({"insert", "d.d64", "f0.prg"}).exitCode, 1);
    EXPECT_EQ(Read("d.d64"), before);
}

TEST_F(CliTest, ExtractWritesEachModeAndReportsEachFile) {
    auto image = BlankD64("TEST");
    AddFile(*image, {"PROG", 0x82, Pattern(300)});
    AddFile(*image, {"TEXT", 0x81, {'h', 'E', 'L', 'L', 'O', 0x0D}});
    AddFile(*image, {"USER", 0x83, Pattern(10)});
    AddFile(*image, {"PROG2", 0x82, Pattern(10)});
    ASSERT_TRUE(image->WriteFile((dir / "d.d64").string()));

    ProcessResult native = Cli({"extract", "d.d64", "-o", "native"});
    ASSERT_EQ(native.exitCode, 0);
    EXPECT_EQ(native.output,
              "native/prog.prg\nnative/text.seq\nnative/user.usr\nnative/prog2.prg\n");
    EXPECT_EQ(Read("native/prog.prg"), Pattern(300));
    ProcessResult pc64 = Cli({"extract", "d.d64", "-o", "pc64", "--mode", "pc64"});
    ASSERT_EQ(pc64.exitCode, 0);
    EXPECT_EQ(pc64.output, "pc64/prog.p00\npc64/text.s00\npc64/user.u00\npc64/prog2.p00\n");
    std::vector<uint8_t> p00 = Read("pc64/prog.p00");
    ASSERT_EQ(p00.size(), 326u);
    EXPECT_EQ(std::string(p00.begin(), p00.begin() + 12), std::string("C64File\0PROG", 12));
    ProcessResult text = Cli({"extract", "d.d64", "-o", "text", "--mode", "text"});
    ASSERT_EQ(text.exitCode, 0);
    EXPECT_EQ(text.output, "text/text.txt\n");
    std::vector<uint8_t> hello = Read("text/text.txt");
    EXPECT_EQ(std::string(hello.begin(), hello.end()), "Hello\r\n");

    // Named by pattern and by index; what the mode has no form for is skipped with a word.
    ProcessResult named = Cli({"extract", "d.d64", "prog?", "#1", "-o", "named"});
    EXPECT_EQ(named.exitCode, 0);
    EXPECT_EQ(named.output, "named/prog2.prg\nnamed/text.seq\n");
    ProcessResult skipped =
        CliWithMessages({"extract", "d.d64", "USER", "-o", "none", "--mode", "text"});
    EXPECT_EQ(skipped.exitCode, 0);
    EXPECT_EQ(skipped.output, "USER: a USR file is not extracted in text mode; skipped\n");
    EXPECT_FALSE(fs::exists(dir / "none/user.txt"));
    ProcessResult user = Cli({"extract", "d.d64", "USER", "-o", "u", "--mode", "pc64"});
    EXPECT_EQ(user.exitCode, 0);
    EXPECT_EQ(user.output, "u/user.u00\n");
    std::vector<uint8_t> u00 = Read("u/user.u00");
    ASSERT_EQ(u00.size(), 36u);
    EXPECT_EQ(std::string(u00.begin(), u00.begin() + 12), std::string("C64File\0USER", 12));
    EXPECT_EQ(Cli({"extract", "d.d64", "#4", "-o", "none"}).exitCode, 1);
}

TEST_F(CliTest, EditsShowInTheListing) {
    Disk("d.d64", {"ONE", "TWO", "THREE", "FOUR", "LEVEL1", "LEVEL2"});
    ASSERT_EQ(Cli({"rename", "d.d64", "TWO", "second"}).exitCode, 0);
    ASSERT_EQ(Cli({"lock", "d.d64", "THREE"}).exitCode, 0);
    ASSERT_EQ(Cli({"splat", "d.d64", "#0"}).exitCode, 0);
    ASSERT_EQ(Cli({"retype", "d.d64", "FOUR", "seq"}).exitCode, 0);
    // An edit must name one file: a pattern naming several changes nothing.
    EXPECT_EQ(Cli({"lock", "d.d64", "level?"}).exitCode, 1);
    ASSERT_EQ(Cli({"lock", "d.d64", "L*2"}).exitCode, 0);
    EXPECT_EQ(Names("d.d64"), (Listing{"ONE *PRG", "SECOND PRG", "THREE PRG<", "FOUR SEQ",
                                       "LEVEL1 PRG", "LEVEL2 PRG<"}));
    ASSERT_EQ(Cli({"unlock", "d.d64", "THREE"}).exitCode, 0);
    ASSERT_EQ(Cli({"unsplat", "d.d64", "ONE"}).exitCode, 0);
    ASSERT_EQ(Cli({"remove", "d.d64", "#1", "FOUR", "level*"}).exitCode, 0);
    EXPECT_EQ(Names("d.d64"), (Listing{"ONE PRG", "THREE PRG"}));
    EXPECT_EQ(Load("d.d64")->FreeBlockCount(), 662); // the removed files' blocks are free
    // One unknown name among several removes nothing.
    std::vector<uint8_t> before = Read("d.d64");
    EXPECT_EQ(Cli({"remove", "d.d64", "ONE", "GONE"}).exitCode, 1);
    EXPECT_EQ(Read("d.d64"), before);
}

TEST_F(CliTest, SingleFileIsReadButNeverOverwritten) {
    std::vector<uint8_t> program = Pattern(500, 4);
    HostFile("game.prg", program);
    HostFile("more.prg", Pattern(10));
    EXPECT_EQ(Names("game.prg"), Listing{"GAME PRG"});
    ProcessResult refused = CliWithMessages({"lock", "game.prg", "#0"});
    EXPECT_EQ(refused.exitCode, 1);
    EXPECT_NE(refused.output.find("convert game.prg game.d64"), std::string::npos);
    EXPECT_EQ(Cli({"insert", "game.prg", "more.prg"}).exitCode, 1);
    EXPECT_EQ(Read("game.prg"), program);

    ASSERT_EQ(Cli({"convert", "game.prg", "game.d64"}).exitCode, 0);
    ASSERT_EQ(Cli({"insert", "game.d64", "more.prg"}).exitCode, 0);
    EXPECT_EQ(Names("game.d64"), (Listing{"GAME PRG", "MORE PRG"}));
    EXPECT_EQ(Read("game.prg"), program);
}

TEST_F(CliTest, ImageIsWrittenWholeAndOnlyWhenChanged) {
    Disk("d.d64", {"OLD"});
    HostFile("small.prg", Pattern(100));
    HostFile("huge.prg", Pattern(700 * 254));
    std::vector<uint8_t> before = Read("d.d64");
    EXPECT_EQ(Cli({"insert", "d.d64", "small.prg", "huge.prg"}).exitCode, 1);
    EXPECT_EQ(Cli({"insert", "d.d64", "small.prg", "absent.prg"}).exitCode, 1);
    EXPECT_EQ(Read("d.d64"), before);
    // A write replaces the file, so its identity tells whether one happened.
    auto fileId = [&] {
        struct stat st {};
        EXPECT_EQ(::stat((dir / "d.d64").c_str(), &st), 0);
        return st.st_ino;
    };
    ASSERT_EQ(Cli({"lock", "d.d64", "OLD"}).exitCode, 0);
    const ino_t written = fileId();
    ASSERT_EQ(Cli({"lock", "d.d64", "OLD"}).exitCode, 0);
    ASSERT_EQ(Cli({"validate", "d.d64"}).exitCode, 0);
    EXPECT_EQ(fileId(), written);
    ASSERT_EQ(Cli({"unlock", "d.d64", "OLD"}).exitCode, 0);
    EXPECT_NE(fileId(), written);
    // Nothing but the image is left beside it: no temporary file stays behind.
    EXPECT_EQ(FolderContents(), (Listing{"d.d64", "huge.prg", "small.prg"}));
}

TEST_F(CliTest, MaintenanceCommandsChangeTheImage) {
    auto image = BlankD64("TEST");
    DirEntry charlie = AddFile(*image, {"CHARLIE", 0x82, Pattern(600)});
    DirEntry alpha = AddFile(*image, {"ALPHA", 0x82, Pattern(100)});
    AddFile(*image, {"BRAVO", 0x82, Pattern(300)});
    // A used block wrongly marked free, and a stray byte in a free block.
    const int t = alpha.firstTrack(), s = alpha.firstSector();
    image->ToggleBlock(t, s);
    image->SectorPointer(30, 5)[7] = 0x55;
    ASSERT_TRUE(image->WriteFile((dir / "d.d64").string()));
    EXPECT_EQ(Cli({"crosslinks", "d.d64"}).output, "No Cross Linked Files\n");

    ASSERT_EQ(Cli({"sort", "d.d64"}).exitCode, 0);
    EXPECT_EQ(Names("d.d64"), (Listing{"ALPHA PRG", "BRAVO PRG", "CHARLIE PRG"}));
    ASSERT_EQ(Cli({"sort", "d.d64", "--by", "size", "--descending"}).exitCode, 0);
    EXPECT_EQ(Names("d.d64"), (Listing{"CHARLIE PRG", "BRAVO PRG", "ALPHA PRG"}));
    ASSERT_EQ(Cli({"validate", "d.d64"}).exitCode, 0);
    EXPECT_FALSE(Load("d.d64")->IsBlockFree(t, s));
    ASSERT_EQ(Cli({"fill", "d.d64"}).exitCode, 0);
    EXPECT_EQ(Load("d.d64")->SectorPointer(30, 5)[7], 0);
    ASSERT_EQ(Cli({"remove", "d.d64", "BRAVO"}).exitCode, 0);
    ASSERT_EQ(Cli({"compact", "d.d64"}).exitCode, 0);
    EntryLocation where;
    auto compacted = Load("d.d64");
    DirEntry second = compacted->EntryAtEx(1, true, &where);
    ASSERT_TRUE(second);
    EXPECT_EQ(std::string(second.name().begin(), second.name().begin() + 5), "ALPHA");
    EXPECT_EQ(where.slot, 1);

    // Two files sharing a block: one line naming both, and the image is left alone.
    image = BlankD64("TEST");
    charlie = AddFile(*image, {"CHARLIE", 0x82, Pattern(600)});
    DirEntry other = AddFile(*image, {"TWO FILE", 0x82, Pattern(10)});
    other.firstTrack() = charlie.firstTrack();
    other.firstSector() = charlie.firstSector();
    ASSERT_TRUE(image->WriteFile((dir / "linked.d64").string()));
    std::vector<uint8_t> before = Read("linked.d64");
    ProcessResult linked = Cli({"crosslinks", "linked.d64"});
    EXPECT_EQ(linked.exitCode, 0);
    EXPECT_EQ(linked.output, "\"CHARLIE\" \"TWO FILE\" " + std::to_string(charlie.firstTrack()) +
                                 "/" + std::to_string(charlie.firstSector()) + "\n");
    EXPECT_EQ(Read("linked.d64"), before);
}

TEST_F(CliTest, FilesWithoutBytesExtractAsEmptyHostFiles) {
    auto image = BlankD64("TEST");
    ASSERT_TRUE(AddFile(*image, {"NOTHING", 0x82, {}})); // no block at all
    // One block whose link says it holds no byte.
    DirEntry one = AddFile(*image, {"ONE BLOCK", 0x81, Pattern(1)});
    image->SectorPointer(one.firstTrack(), one.firstSector())[1] = 1;
    ASSERT_TRUE(image->WriteFile((dir / "d.d64").string()));
    HostFile("empty.prg", {});
    ASSERT_EQ(Cli({"insert", "d.d64", "empty.prg"}).exitCode, 0);

    ProcessResult all = Cli({"extract", "d.d64", "-o", "out"});
    EXPECT_EQ(all.exitCode, 0);
    EXPECT_EQ(all.output, "out/nothing.prg\nout/one block.seq\nout/empty.prg\n");
    for (const char* name : {"out/nothing.prg", "out/one block.seq", "out/empty.prg"}) {
        EXPECT_TRUE(fs::is_regular_file(dir / name)) << name;
        EXPECT_EQ(Read(name), std::vector<uint8_t>{}) << name;
    }
    // Typed, an empty file shows nothing and is no failure.
    ProcessResult typed = Cli({"type", "d.d64", "one block"});
    EXPECT_EQ(typed.exitCode, 0);
    EXPECT_EQ(typed.output, "");
    // In PC64 form the header is all there is.
    ProcessResult pc64 = Cli({"extract", "d.d64", "empty", "-o", "pc", "--mode", "pc64"});
    EXPECT_EQ(pc64.exitCode, 0);
    EXPECT_EQ(Read("pc/empty.p00").size(), 26u);
}

TEST_F(CliTest, ExtractNeverReplacesAHostFileWithoutForce) {
    Disk("d.d64", {"SAME", "SAME", "OTHER", "SAME"});
    ProcessResult first = Cli({"extract", "d.d64", "-o", "out"});
    EXPECT_EQ(first.exitCode, 0);
    EXPECT_EQ(first.output, "out/same.prg\nout/same_2.prg\nout/other.prg\nout/same_3.prg\n");
    EXPECT_EQ(Read("out/same.prg"), Pattern(100, 1));
    EXPECT_EQ(Read("out/same_2.prg"), Pattern(100, 2));
    EXPECT_EQ(Read("out/same_3.prg"), Pattern(100, 4));

    // A second run, whole or by name, refuses what exists and says so.
    HostFile("out/same.prg", {1, 2, 3});
    ProcessResult again = CliWithMessages({"extract", "d.d64", "-o", "out"});
    EXPECT_EQ(again.exitCode, 1);
    EXPECT_NE(again.output.find("out/same.prg: exists"), std::string::npos) << again.output;
    EXPECT_EQ(Cli({"extract", "d.d64", "other", "-o", "out"}).exitCode, 1);
    EXPECT_EQ(Read("out/same.prg"), (std::vector<uint8_t>{1, 2, 3}));
    ProcessResult forced = Cli({"extract", "d.d64", "-o", "out", "--force"});
    EXPECT_EQ(forced.exitCode, 0);
    EXPECT_EQ(forced.output, first.output);
    EXPECT_EQ(Read("out/same.prg"), Pattern(100, 1));

    // The batch skips the folders it made, so a second run finds the same two containers.
    fs::create_directories(dir / "tree");
    fs::copy_file(dir / "d.d64", dir / "tree/a.d64");
    fs::copy_file(dir / "d.d64", dir / "tree/b.d64");
    auto tree = [&] {
        std::vector<std::string> paths;
        for (const auto& f : fs::recursive_directory_iterator(dir / "tree"))
            paths.push_back(fs::relative(f.path(), dir / "tree").string());
        std::sort(paths.begin(), paths.end());
        return paths;
    };
    ASSERT_EQ(Cli({"batch", "tree", "--extract", "native"}).exitCode, 0);
    const std::vector<std::string> extracted = tree();
    EXPECT_EQ(extracted.size(), 2u + 2u + 2u * 4u);
    EXPECT_EQ(Cli({"batch", "tree", "--extract", "native"}).exitCode, 1); // all exist
    EXPECT_EQ(Cli({"batch", "tree", "--extract", "native", "--force"}).exitCode, 0);
    EXPECT_EQ(tree(), extracted);
}

TEST_F(CliTest, TypeLaysTextOutAsTheViewerShowsIt) {
    std::vector<uint8_t> seq(90, 'A');
    const std::vector<uint8_t> codes = {0x1C, 'R', 'E', 'D', 0x0D, 'A', 'B', 0x93, 'X'};
    HostFile("letters.seq", seq);
    HostFile("codes.seq", codes);
    auto image = BlankD64("D");
    AddFile(*image, {"CODES", 0x81, codes});
    ASSERT_TRUE(image->WriteFile((dir / "d.d64").string()));
    const std::string a40(40, 'A');
    struct Case {
        std::vector<std::string> args;
        int exitCode;
        std::string output;
    };
    for (const Case& c : std::vector<Case>{
             {{"type", "letters.seq"}, 0, a40 + "\n" + a40 + "\n" + std::string(10, 'A') + "\n"},
             {{"type", "letters.seq", "--width", "80"},
              0,
              std::string(80, 'A') + "\n" + std::string(10, 'A') + "\n"},
             {{"type", "codes.seq"}, 0, "?RED\nAB?X\n"},
             {{"type", "codes.seq", "--codes"}, 0, "XED\nAB\n"},
             {{"type", "codes.seq", "--lower"}, 0, "?red\nab?x\n"},
             {{"type", "d.d64", "CODES", "--codes"}, 0, "XED\nAB\n"},
             {{"type", "letters.seq", "--width", "50"}, 2, ""},
             {{"type", "d.d64"}, 2, ""},
         }) {
        SCOPED_TRACE(::testing::PrintToString(c.args));
        ProcessResult run = Cli(c.args);
        EXPECT_EQ(run.exitCode, c.exitCode);
        EXPECT_EQ(run.output, c.output);
    }
}

TEST_F(CliTest, HelpPrintsTheUsageTheReadmeShows) {
    std::vector<uint8_t> bytes;
    bool openFailed = false;
    ASSERT_TRUE(ReadWholeFile(TESSARIND_README, bytes, openFailed));
    const std::string readme(bytes.begin(), bytes.end());
    const std::string heading = "## Command-line tool\n\n";
    const size_t start = readme.find(heading) + heading.size();
    ASSERT_NE(start, std::string::npos + heading.size());
    const std::string block = readme.substr(start, readme.find("\n\n", start) + 1 - start);

    ProcessResult help = Cli({"--help"});
    EXPECT_EQ(help.exitCode, 0);
    EXPECT_EQ(help.output.find("Usage:\n" + block), 0u) << help.output;
    for (const char* command :
         {"list",   "info",  "new",     "insert", "extract",  "remove",  "rename",     "lock",
          "unlock", "splat", "unsplat", "retype", "validate", "compact", "crosslinks", "fill",
          "sort",   "bam",   "basic",   "type",   "convert",  "find",    "batch"}) {
        SCOPED_TRACE(command);
        ProcessResult one = Cli({command, "--help"});
        EXPECT_EQ(one.exitCode, 0);
        ASSERT_EQ(one.output.find("Usage:\n    tessarind-cli "), 0u);
        EXPECT_NE(one.output.find(command), std::string::npos);
        EXPECT_NE(block.find(one.output.substr(7)), std::string::npos);
    }
    ProcessResult version = Cli({"--version"});
    EXPECT_EQ(version.exitCode, 0);
    EXPECT_EQ(version.output.find("tessarind-cli 2."), 0u);
}

TEST_F(CliTest, RelFilesAreMadeWithTheRecordLengthGiven) {
    ASSERT_EQ(Cli({"new", "d.d64"}).exitCode, 0);
    HostFile("data.bin", Pattern(600, 1));
    HostFile("table.rel", Pattern(300, 2));
    for (const std::vector<std::string>& args : std::vector<std::vector<std::string>>{
             {"insert", "d.d64", "data.bin", "--type", "rel"},
             {"insert", "d.d64", "table.rel"},
             {"insert", "d.d64", "data.bin", "--type", "rel", "--record-length", "0"},
             {"insert", "d.d64", "data.bin", "--type", "rel", "--record-length", "255"},
             {"insert", "d.d64", "data.bin", "--type", "prg", "--record-length", "20"},
             {"retype", "d.d64", "#0", "rel"},
             {"retype", "d.d64", "#0", "seq", "--record-length", "20"},
         }) {
        SCOPED_TRACE(args.back());
        EXPECT_EQ(Cli(args).exitCode, 2);
    }
    ASSERT_EQ(Cli({"insert", "d.d64", "data.bin", "--type", "rel", "--record-length", "64",
                   "--name", "records"})
                  .exitCode,
              0);
    ASSERT_EQ(Cli({"insert", "d.d64", "table.rel", "--record-length", "30"}).exitCode, 0);
    ASSERT_EQ(Cli({"insert", "d.d64", "data.bin", "--name", "plain"}).exitCode, 0);
    ASSERT_EQ(Cli({"retype", "d.d64", "plain", "rel", "--record-length", "20"}).exitCode, 0);
    ASSERT_EQ(Cli({"retype", "d.d64", "records", "rel", "--record-length", "128"}).exitCode, 0);

    auto image = Load("d.d64");
    ASSERT_NE(image, nullptr);
    struct Expected {
        int recordLength, blocks;
        std::vector<uint8_t> data;
    };
    const Expected expected[] = {
        {128, 4, Pattern(600, 1)}, {30, 3, Pattern(300, 2)}, {20, 4, Pattern(600, 1)}};
    ASSERT_EQ(image->entryCount(), 3);
    for (int i = 0; i < 3; ++i) {
        SCOPED_TRACE(i);
        DirEntry entry = image->EntryAt(i);
        EXPECT_EQ(entry.typeCode(), kRel);
        EXPECT_EQ(entry.recordLength(), expected[i].recordLength);
        EXPECT_EQ(entry.blocks(), expected[i].blocks); // data and one side sector
        const uint8_t* side = image->SectorPointer(entry.sideTrack(), entry.sideSector());
        ASSERT_NE(entry.sideTrack(), 0);
        ASSERT_NE(side, nullptr);
        EXPECT_EQ(side[3], expected[i].recordLength);
        EXPECT_EQ(side[16], entry.firstTrack());
        EXPECT_EQ(image->ReadFileData(i), expected[i].data);
    }
    const int free = image->FreeBlockCount();
    image->Validate(); // the side sectors are allocated
    EXPECT_EQ(image->FreeBlockCount(), free);
}

TEST_F(CliTest, MessagesGiveTheReasonOnce) {
    Disk("d.d64", {"ONE"});
    ASSERT_EQ(Cli({"new", "empty.d64"}).exitCode, 0);
    struct Case {
        std::vector<std::string> args;
        int exitCode;
        std::string message; // the whole of stderr
    };
    for (const Case& c : std::vector<Case>{
             {{"list", "missing.d64"},
              1,
              "Unable to Open File missing.d64: No such file or directory\n"},
             {{"list", "."}, 1, "Unable to Open File .: Is a directory\n"},
             {{"convert", "missing.d64", "x.d64"},
              1,
              "Unable to Open File missing.d64: No such file or directory\n"},
             {{"convert", "d.d64", "empty.d64"}, 1, "empty.d64 already exists\n"},
             {{"convert", "d.d64", "x.xyz"}, 1, "Unknown File Extension x.xyz\n"},
             {{"list", "empty.d64", "--format", "csv", "-o", "empty.csv"}, 0, ""},
             {{"frobnicate"},
              2,
              "unknown command frobnicate; tessarind-cli --help lists the commands\n"},
         }) {
        SCOPED_TRACE(c.args[0] + " " + c.args.back());
        std::string command = ShellQuote(TESSARIND_CLI);
        for (const std::string& a : c.args)
            command += " " + ShellQuote(a);
        ProcessResult run = RunProcess({"sh", "-c", command + " 2>&1 >/dev/null"}, dir.path());
        EXPECT_EQ(run.exitCode, c.exitCode);
        EXPECT_EQ(run.output, c.message);
    }
    EXPECT_EQ(Read("empty.csv").empty(), false);
}

TEST_F(CliTest, CmdKindsAreMadeAndListed) {
    // A native partition takes the size it offers: 255 tracks.
    ASSERT_EQ(Cli({"new", "n.dnp", "--name", "native"}).exitCode, 0);
    EXPECT_EQ(Read("n.dnp").size(), 65280u * 256);
    ASSERT_EQ(Cli({"insert", "n.dnp", "game.prg"}).exitCode, 1); // no such host file
    HostFile("game.prg", Pattern(3000, 5));
    ASSERT_EQ(Cli({"insert", "n.dnp", "game.prg"}).exitCode, 0);
    EXPECT_EQ(Names("n.dnp"), Listing{"GAME PRG"});
    // A container lists its partition table.
    ASSERT_EQ(Cli({"new", "c.d2m"}).exitCode, 0);
    EXPECT_EQ(Read("c.d2m").size(), 1658880u);
    const ProcessResult listed = Cli({"list", "c.d2m"});
    EXPECT_EQ(listed.exitCode, 0);
    EXPECT_EQ(listed.output, "c.d2m\n00 SYSTEM           SYS\n");
    // With --subdirs each partition's own listing follows.
    auto container = Load("c.d2m");
    auto* fd = dynamic_cast<CmdContainerImage*>(container.get());
    ASSERT_NE(fd, nullptr);
    auto disk = BlankD64("DISK");
    ASSERT_TRUE(AddFile(*disk, {"GAME", 0x82, Pattern(300)}));
    ASSERT_TRUE(fd->InsertPartitionFrom(*disk, testing::RawName("INNER"), 0));
    ASSERT_TRUE(fd->WriteFile((dir / "c.d2m").string()));
    const ProcessResult deep = Cli({"list", "c.d2m", "--subdirs"});
    EXPECT_EQ(deep.exitCode, 0);
    EXPECT_EQ(deep.output.rfind(fd->PartitionListing("c.d2m", false) + "\n", 0), 0u) << deep.output;
    EXPECT_NE(deep.output.find("\"GAME\""), std::string::npos) << deep.output;
    const ProcessResult csv = Cli({"list", "c.d2m", "--format", "csv"});
    EXPECT_EQ(csv.exitCode, 0);
    EXPECT_EQ(csv.output,
              (dir / "c.d2m").lexically_normal().string() + "\n00,INNER,41 \n01,SYSTEM,SYS\n");
}

} // namespace
} // namespace tessarind
