#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <sys/stat.h>

#include "model/ImageOpener.h"
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
    ASSERT_EQ(image->entryCount, 144);
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
    EXPECT_EQ(pc64.output, "pc64/prog.p00\npc64/text.s00\npc64/prog2.p00\n");
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
        CliWithMessages({"extract", "d.d64", "USER", "-o", "none", "--mode", "pc64"});
    EXPECT_EQ(skipped.exitCode, 0);
    EXPECT_EQ(skipped.output, "USER: a USR file is not extracted in pc64 mode; skipped\n");
    EXPECT_FALSE(fs::exists(dir / "none/user.u00"));
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

} // namespace
} // namespace tessarind
