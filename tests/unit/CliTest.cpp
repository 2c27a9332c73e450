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
        for (const std::string& a : args) command += " " + ShellQuote(a);
        return RunProcess({"sh", "-c", command + " 2>&1"}, dir.path());
    }
    void HostFile(const std::string& name, const std::vector<uint8_t>& bytes) {
        std::ofstream(dir / name, std::ios::binary)
            .write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    }
    std::vector<uint8_t> Read(const std::string& name) {
        std::vector<uint8_t> out;
        bool openFailed = false;
        ReadWholeFile((dir / name).string(), out, openFailed);
        return out;
    }
    // The entry lines of a listing: everything between the header and the free line.
    std::vector<std::string> Entries(const std::string& image) {
        ProcessResult listed = Cli({"list", image});
        EXPECT_EQ(listed.exitCode, 0);
        std::vector<std::string> lines;
        std::istringstream in(listed.output);
        for (std::string line; std::getline(in, line);) lines.push_back(line);
        if (lines.size() < 2) return {};
        return std::vector<std::string>(lines.begin() + 1, lines.end() - 1);
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
        for (const auto& f : fs::directory_iterator(dir.path())) names.push_back(f.path().filename().string());
        std::sort(names.begin(), names.end());
        return names;
    }

    TempDir dir{"tessarind-cli"};
};

TEST_F(CliTest, ExitCodesTellSuccessFailureAndUsage) {
    Disk("d.d64", {"ONE"});
    EXPECT_EQ(Cli({}).exitCode, 2);
    EXPECT_EQ(Cli({"frobnicate", "d.d64"}).exitCode, 2);
    EXPECT_EQ(Cli({"list", "d.d64", "--bogus"}).exitCode, 2);
    EXPECT_EQ(Cli({"list"}).exitCode, 2);
    EXPECT_EQ(Cli({"list", "d.d64", "--format", "csv"}).exitCode, 2);
    EXPECT_EQ(Cli({"insert", "d.d64", "a", "b", "--name", "X"}).exitCode, 2);
    EXPECT_EQ(Cli({"insert", "d.d64", "a", "--type", "exe"}).exitCode, 2);
    EXPECT_EQ(Cli({"insert", "d.d64", "a", "--at", "-1"}).exitCode, 2);
    EXPECT_EQ(Cli({"retype", "d.d64", "ONE", "basic"}).exitCode, 2);
    EXPECT_EQ(Cli({"rename", "d.d64", "ONE", "A NAME OF SEVENTEEN"}).exitCode, 2);
    EXPECT_EQ(Cli({"sort", "d.d64", "--by", "date"}).exitCode, 2);
    EXPECT_EQ(Cli({"extract", "d.d64", "--mode", "zip"}).exitCode, 2);

    EXPECT_EQ(Cli({"list", "missing.d64"}).exitCode, 1);
    EXPECT_EQ(Cli({"list", "d.d64x"}).exitCode, 1);
    EXPECT_EQ(Cli({"lock", "d.d64", "NOSUCH"}).exitCode, 1);
    EXPECT_EQ(Cli({"new", "d.d64"}).exitCode, 1); // exists already

    EXPECT_EQ(Cli({"list", "d.d64"}).exitCode, 0);
    EXPECT_EQ(Cli({"--help"}).exitCode, 0);
    EXPECT_EQ(Entries("d.d64"), (std::vector<std::string>{"1    \"ONE\"              PRG "}));
}

TEST_F(CliTest, InsertAppendsInOrderAndReadsEachKind) {
    ASSERT_EQ(Cli({"new", "d.d64", "--name", "work"}).exitCode, 0);
    HostFile("game.prg", Pattern(300, 1));
    HostFile("notes.txt", {'H', 'i', '\n'});
    std::vector<uint8_t> p00(26, 0);
    std::memcpy(p00.data(), "C64File\0FROM HEADER", 19);
    p00.push_back(42);
    HostFile("x.p00", p00);
    HostFile("tool.usr", Pattern(10, 2));
    ASSERT_EQ(Cli({"insert", "d.d64", "game.prg", "notes.txt", "x.p00", "tool.usr"}).exitCode, 0);
    EXPECT_EQ(Entries("d.d64"), (std::vector<std::string>{
                                    "2    \"GAME\"             PRG ",
                                    "1    \"NOTES\"            SEQ ",
                                    "1    \"FROM HEADER\"      PRG ",
                                    "1    \"TOOL\"             USR ",
                                }));
    auto image = Load("d.d64");
    ASSERT_NE(image, nullptr);
    EXPECT_EQ(image->ReadFileData(0), Pattern(300, 1));
    EXPECT_EQ(image->ReadFileData(1), (std::vector<uint8_t>{'h', 'I', 0x0D}));
    EXPECT_EQ(image->ReadFileData(2), std::vector<uint8_t>{42});

    // A name and a type store the bytes as they are.
    ASSERT_EQ(Cli({"insert", "d.d64", "notes.txt", "--name", "raw", "--type", "prg"}).exitCode, 0);
    image = Load("d.d64");
    ASSERT_EQ(image->entryCount, 5);
    EXPECT_EQ(image->EntryAt(4).type(), 0x82);
    EXPECT_EQ(image->ReadFileData(4), (std::vector<uint8_t>{'H', 'i', '\n'}));
    // A name alone beats the name a PC64 header brings.
    ASSERT_EQ(Cli({"insert", "d.d64", "x.p00", "--name", "mine"}).exitCode, 0);
    EXPECT_EQ(Entries("d.d64").back(), "1    \"MINE\"             PRG ");
}

TEST_F(CliTest, InsertAtPutsEachFileAfterThePrevious) {
    Disk("d.d64", {"A", "B", "C"});
    HostFile("x.prg", Pattern(10));
    HostFile("y.prg", Pattern(10));
    ASSERT_EQ(Cli({"insert", "d.d64", "x.prg", "y.prg", "--at", "1"}).exitCode, 0);
    std::vector<std::string> names;
    for (const std::string& line : Entries("d.d64")) names.push_back(line.substr(6, line.find('"', 6) - 6));
    EXPECT_EQ(names, (std::vector<std::string>{"A", "X", "Y", "B", "C"}));
    ASSERT_EQ(Cli({"insert", "d.d64", "x.prg", "--at", "0", "--name", "front"}).exitCode, 0);
    EXPECT_EQ(Entries("d.d64").front(), "1    \"FRONT\"            PRG ");
    // A position past the end is refused, not taken as the end.
    std::vector<uint8_t> before = Read("d.d64");
    EXPECT_EQ(Cli({"insert", "d.d64", "x.prg", "--at", "7"}).exitCode, 1);
    EXPECT_EQ(Read("d.d64"), before);
}

TEST_F(CliTest, InsertFillsTheWholeDirectoryInOneCall) {
    ASSERT_EQ(Cli({"new", "d.d64"}).exitCode, 0);
    std::vector<std::string> args{"insert", "d.d64"};
    for (int i = 0; i < 144; ++i) {
        std::string name = "f" + std::to_string(i) + ".prg";
        HostFile(name, Pattern(100, static_cast<uint32_t>(i)));
        args.push_back(name);
    }
    ASSERT_EQ(Cli(args).exitCode, 0);
    auto image = Load("d.d64");
    ASSERT_NE(image, nullptr);
    ASSERT_EQ(image->entryCount, 144);
    for (int i : {0, 7, 8, 100, 143}) {
        SCOPED_TRACE(i);
        std::string expected = "F" + std::to_string(i);
        DirEntry e = image->EntryAt(i);
        EXPECT_EQ(std::string(e.name().begin(), e.name().begin() + static_cast<long>(expected.size())),
                  expected);
        EXPECT_EQ(image->ReadFileData(i), Pattern(100, static_cast<uint32_t>(i)));
    }
    EXPECT_EQ(image->FreeBlockCount(), 664 - 144);
    // The directory track holds no more: the next file is refused and nothing changes.
    std::vector<uint8_t> before = Read("d.d64");
    EXPECT_EQ(Cli({"insert", "d.d64", "f0.prg"}).exitCode, 1);
    EXPECT_EQ(Read("d.d64"), before);
}

TEST_F(CliTest, FilesAreNamedByIndexOrPattern) {
    Disk("d.d64", {"LOADER", "LEVEL1", "LEVEL2", "MUSIC"});
    EXPECT_EQ(Cli({"type", "d.d64", "#3"}).exitCode, 0);
    EXPECT_EQ(Cli({"type", "d.d64", "#4"}).exitCode, 1);
    EXPECT_EQ(Cli({"type", "d.d64", "#x"}).exitCode, 1);

    ProcessResult extracted = Cli({"extract", "d.d64", "level?", "#0", "-o", "out"});
    ASSERT_EQ(extracted.exitCode, 0);
    EXPECT_EQ(extracted.output, "out/level1.prg\nout/level2.prg\nout/loader.prg\n");
    EXPECT_EQ(Read("out/level2.prg"), Pattern(100, 3));

    // An edit must name one file: a pattern naming several changes nothing.
    std::vector<uint8_t> before = Read("d.d64");
    EXPECT_EQ(Cli({"lock", "d.d64", "L*"}).exitCode, 1);
    EXPECT_EQ(Read("d.d64"), before);
    EXPECT_EQ(Cli({"lock", "d.d64", "L*1"}).exitCode, 0);
    EXPECT_EQ(Entries("d.d64")[1], "1    \"LEVEL1\"           PRG<");
}

TEST_F(CliTest, ExtractWritesEveryModeAndReportsEachFile) {
    auto image = BlankD64("TEST");
    AddFile(*image, {"PROG", 0x82, Pattern(300)});
    AddFile(*image, {"TEXT", 0x81, {'h', 'E', 'L', 'L', 'O', 0x0D}});
    AddFile(*image, {"USER", 0x83, Pattern(10)});
    ASSERT_TRUE(image->WriteFile((dir / "d.d64").string()));

    ProcessResult native = Cli({"extract", "d.d64", "-o", "native"});
    ASSERT_EQ(native.exitCode, 0);
    EXPECT_EQ(native.output, "native/prog.prg\nnative/text.seq\nnative/user.usr\n");
    EXPECT_EQ(Read("native/prog.prg"), Pattern(300));

    ProcessResult pc64 = Cli({"extract", "d.d64", "-o", "pc64", "--mode", "pc64"});
    ASSERT_EQ(pc64.exitCode, 0);
    EXPECT_EQ(pc64.output, "pc64/prog.p00\npc64/text.s00\n");
    std::vector<uint8_t> p00 = Read("pc64/prog.p00");
    ASSERT_EQ(p00.size(), 326u);
    EXPECT_EQ(std::string(p00.begin(), p00.begin() + 12), std::string("C64File\0PROG", 12));

    ProcessResult text = Cli({"extract", "d.d64", "-o", "text", "--mode", "text"});
    ASSERT_EQ(text.exitCode, 0);
    EXPECT_EQ(text.output, "text/text.txt\n");
    std::vector<uint8_t> hello = Read("text/text.txt");
    EXPECT_EQ(std::string(hello.begin(), hello.end()), "Hello\r\n");

    // Named files the mode has no form for are skipped with a word, not written.
    ProcessResult named = CliWithMessages({"extract", "d.d64", "USER", "TEXT", "-o", "named", "--mode", "pc64"});
    EXPECT_EQ(named.exitCode, 0);
    EXPECT_NE(named.output.find("USER: a USR file is not extracted in pc64 mode; skipped"), std::string::npos);
    EXPECT_NE(named.output.find("named/text.s00"), std::string::npos);
    EXPECT_FALSE(fs::exists(dir / "named/user.u00"));
    EXPECT_FALSE(fs::exists(dir / "named/user.usr"));
}

TEST_F(CliTest, SingleEntryEditsShowInTheListing) {
    Disk("d.d64", {"ONE", "TWO", "THREE", "FOUR"});
    ASSERT_EQ(Cli({"rename", "d.d64", "TWO", "second"}).exitCode, 0);
    ASSERT_EQ(Cli({"lock", "d.d64", "THREE"}).exitCode, 0);
    ASSERT_EQ(Cli({"splat", "d.d64", "#0"}).exitCode, 0);
    ASSERT_EQ(Cli({"retype", "d.d64", "FOUR", "seq"}).exitCode, 0);
    EXPECT_EQ(Entries("d.d64"), (std::vector<std::string>{
                                    "1    \"ONE\"             *PRG ",
                                    "1    \"SECOND\"           PRG ",
                                    "1    \"THREE\"            PRG<",
                                    "1    \"FOUR\"             SEQ ",
                                }));
    ASSERT_EQ(Cli({"unlock", "d.d64", "THREE"}).exitCode, 0);
    ASSERT_EQ(Cli({"unsplat", "d.d64", "ONE"}).exitCode, 0);
    ASSERT_EQ(Cli({"remove", "d.d64", "#1", "FOUR"}).exitCode, 0);
    EXPECT_EQ(Entries("d.d64"), (std::vector<std::string>{
                                    "1    \"ONE\"              PRG ",
                                    "1    \"THREE\"            PRG ",
                                }));
    auto image = Load("d.d64");
    EXPECT_EQ(image->FreeBlockCount(), 662); // the removed files' blocks are free again
    // One unknown name among several removes nothing.
    std::vector<uint8_t> before = Read("d.d64");
    EXPECT_EQ(Cli({"remove", "d.d64", "ONE", "GONE"}).exitCode, 1);
    EXPECT_EQ(Read("d.d64"), before);
}

TEST_F(CliTest, SingleFileIsReadButNeverOverwritten) {
    std::vector<uint8_t> program = Pattern(500, 4);
    HostFile("game.prg", program);
    EXPECT_EQ(Entries("game.prg"), (std::vector<std::string>{"2    \"GAME\"             PRG "}));
    ProcessResult refused = CliWithMessages({"lock", "game.prg", "#0"});
    EXPECT_EQ(refused.exitCode, 1);
    EXPECT_NE(refused.output.find("convert game.prg game.d64"), std::string::npos);
    HostFile("more.prg", Pattern(10));
    EXPECT_EQ(Cli({"insert", "game.prg", "more.prg"}).exitCode, 1);
    EXPECT_EQ(Cli({"validate", "game.prg"}).exitCode, 1);
    EXPECT_EQ(Read("game.prg"), program);

    ASSERT_EQ(Cli({"convert", "game.prg", "game.d64"}).exitCode, 0);
    ASSERT_EQ(Cli({"lock", "game.d64", "GAME"}).exitCode, 0);
    EXPECT_EQ(Entries("game.d64"), (std::vector<std::string>{"2    \"GAME\"             PRG<"}));
    EXPECT_EQ(Read("game.prg"), program);
    EXPECT_EQ(Cli({"convert", "game.prg", "game.d64"}).exitCode, 1); // never over a file
}

TEST_F(CliTest, FailedInsertLeavesTheImageAsItWas) {
    Disk("d.d64", {"OLD"});
    HostFile("small.prg", Pattern(100));
    HostFile("huge.prg", Pattern(700 * 254));
    std::vector<uint8_t> before = Read("d.d64");
    EXPECT_EQ(Cli({"insert", "d.d64", "small.prg", "huge.prg"}).exitCode, 1);
    EXPECT_EQ(Cli({"insert", "d.d64", "small.prg", "absent.prg"}).exitCode, 1);
    EXPECT_EQ(Read("d.d64"), before);
    // Nothing beside the image either: no temporary file stays behind.
    EXPECT_EQ(FolderContents(), (std::vector<std::string>{"d.d64", "huge.prg", "small.prg"}));
    ASSERT_EQ(Cli({"insert", "d.d64", "small.prg"}).exitCode, 0);
    EXPECT_EQ(FolderContents(), (std::vector<std::string>{"d.d64", "huge.prg", "small.prg"}));
}

TEST_F(CliTest, UnchangedImageIsNotWritten) {
    Disk("d.d64", {"ONE"});
    // A write replaces the file, so the file's identity tells whether one happened.
    auto fileId = [&] {
        struct stat st {};
        EXPECT_EQ(::stat((dir / "d.d64").c_str(), &st), 0);
        return st.st_ino;
    };
    ASSERT_EQ(Cli({"lock", "d.d64", "ONE"}).exitCode, 0);
    const ino_t written = fileId();
    ASSERT_EQ(Cli({"lock", "d.d64", "ONE"}).exitCode, 0);
    ASSERT_EQ(Cli({"validate", "d.d64"}).exitCode, 0);
    ASSERT_EQ(Cli({"sort", "d.d64"}).exitCode, 0);
    EXPECT_EQ(fileId(), written);
    ASSERT_EQ(Cli({"unlock", "d.d64", "ONE"}).exitCode, 0);
    EXPECT_NE(fileId(), written);
}

TEST_F(CliTest, MaintenanceCommandsChangeTheImage) {
    auto image = BlankD64("TEST");
    AddFile(*image, {"CHARLIE", 0x82, Pattern(600)});
    AddFile(*image, {"ALPHA", 0x82, Pattern(100)});
    AddFile(*image, {"BRAVO", 0x82, Pattern(300)});
    // A used block wrongly marked free, and a stray byte in a free block.
    DirEntry alpha = image->EntryAt(1);
    image->ToggleBlock(alpha.firstTrack(), alpha.firstSector());
    image->SectorPointer(30, 5)[7] = 0x55;
    ASSERT_TRUE(image->WriteFile((dir / "d.d64").string()));

    auto names = [&] {
        std::vector<std::string> out;
        for (const std::string& line : Entries("d.d64")) out.push_back(line.substr(6, line.find('"', 6) - 6));
        return out;
    };
    ASSERT_EQ(Cli({"sort", "d.d64"}).exitCode, 0);
    EXPECT_EQ(names(), (std::vector<std::string>{"ALPHA", "BRAVO", "CHARLIE"}));
    ASSERT_EQ(Cli({"sort", "d.d64", "--by", "size", "--descending"}).exitCode, 0);
    EXPECT_EQ(names(), (std::vector<std::string>{"CHARLIE", "BRAVO", "ALPHA"}));

    ASSERT_EQ(Cli({"validate", "d.d64"}).exitCode, 0);
    auto validated = Load("d.d64");
    EXPECT_FALSE(validated->IsBlockFree(alpha.firstTrack(), alpha.firstSector()));
    EXPECT_EQ(validated->FreeBlockCount(), 664 - 3 - 1 - 2);

    ASSERT_EQ(Cli({"fill", "d.d64"}).exitCode, 0);
    EXPECT_EQ(Load("d.d64")->SectorPointer(30, 5)[7], 0);

    ASSERT_EQ(Cli({"remove", "d.d64", "BRAVO"}).exitCode, 0);
    ASSERT_EQ(Cli({"compact", "d.d64"}).exitCode, 0);
    auto compacted = Load("d.d64");
    EntryLocation where;
    DirEntry second = compacted->EntryAtEx(1, true, &where);
    ASSERT_TRUE(second);
    EXPECT_EQ(std::string(second.name().begin(), second.name().begin() + 5), "ALPHA");
    EXPECT_EQ(where.slot, 1);
}

TEST_F(CliTest, CrossLinksAreListedOnePerLine) {
    Disk("clean.d64", {"ONE", "TWO"});
    ProcessResult clean = Cli({"crosslinks", "clean.d64"});
    EXPECT_EQ(clean.exitCode, 0);
    EXPECT_EQ(clean.output, "No Cross Linked Files\n");

    auto image = BlankD64("TEST");
    DirEntry one = AddFile(*image, {"ONE", 0x82, Pattern(600)});
    DirEntry two = AddFile(*image, {"TWO FILE", 0x82, Pattern(10)});
    two.firstTrack() = one.firstTrack();
    two.firstSector() = one.firstSector();
    const int t = one.firstTrack(), s = one.firstSector();
    ASSERT_TRUE(image->WriteFile((dir / "linked.d64").string()));
    std::vector<uint8_t> before = Read("linked.d64");
    ProcessResult linked = Cli({"crosslinks", "linked.d64"});
    EXPECT_EQ(linked.exitCode, 0);
    EXPECT_EQ(linked.output, "\"ONE\" \"TWO FILE\" " + std::to_string(t) + "/" + std::to_string(s) + "\n");
    EXPECT_EQ(Read("linked.d64"), before);
}

} // namespace
} // namespace tessarind
