// Names in images that cc1541 and cbmconvert made can be typed back to the command-line tool
// as its listings show them or as it names extracted files, in either case; and the names
// the tool writes are the ones cc1541 lists, as they were typed.

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "interop/PeerImages.h"
#include "interop/PeerTools.h"

namespace tessarind {
namespace {

using interop::Ramp;
using interop::SplitLines;
using interop::WriteHostFile;
using testing::ProcessResult;
using testing::RunProcess;
using testing::TempDir;

ProcessResult Cli(std::vector<std::string> args, const std::filesystem::path& folder) {
    args.insert(args.begin(), TESSARIND_CLI);
    return RunProcess(args, folder);
}

// The names of a listing's entry lines, as the quotes enclose them.
std::vector<std::string> ListedNames(const std::string& listing) {
    std::vector<std::string> names;
    const std::vector<std::string> lines = SplitLines(listing);
    for (size_t i = 1; i < lines.size(); ++i) {
        const size_t open = lines[i].find('"');
        if (open == std::string::npos) break; // the free-blocks line
        names.push_back(lines[i].substr(open + 1, lines[i].find('"', open + 1) - open - 1));
    }
    return names;
}

TEST(TypedNames, PeerMadeNamesAnswerToEverySpellingTheToolShows) {
    TempDir dir("tessarind-typed-names");
    const std::vector<std::string> hostNames = {"Game", "ReNamed", "lower", "UPPER"};
    std::vector<std::string> cc1541 = {"cc1541", "-q"};
    std::vector<std::string> cbmconvert = {"-D4", "cbmconvert.d64"};
    for (size_t i = 0; i < hostNames.size(); ++i) {
        const std::string file = hostNames[i] + ".prg";
        WriteHostFile(dir / file, Ramp(300, static_cast<uint8_t>(i)));
        cc1541.insert(cc1541.end(), {"-f", hostNames[i], "-w", file});
        cbmconvert.push_back(file);
    }
    cc1541.push_back("cc1541.d64");
    ASSERT_EQ(RunProcess(cc1541, dir.path()).exitCode, 0);
    ProcessResult converted = interop::Cbmconvert(cbmconvert, dir.path());
    ASSERT_EQ(converted.exitCode, 0) << converted.output;

    struct Case {
        const char* typed;
        const char* extracted; // none: the name is another one
    };
    const Case cases[] = {
        {"Game", "Game.prg"},       {"gAME", "Game.prg"}, // as extracted / as listed
        {"ReNamed", "ReNamed.prg"}, {"rEnAMED", "ReNamed.prg"}, {"lower", "lower.prg"},
        {"LOWER", "lower.prg"},     {"UPPER", "UPPER.prg"},     {"upper", "UPPER.prg"},
        {"UP*", "UPPER.prg"},       {"u?pe*", "UPPER.prg"},     {"game", nullptr},
        {"RENAMED", nullptr},       {"Lower", nullptr},
    };
    for (const char* image : {"cc1541.d64", "cbmconvert.d64"}) {
        int run = 0;
        for (const Case& c : cases) {
            SCOPED_TRACE(std::string(image) + " " + c.typed);
            const std::string out = "out" + std::to_string(run++) + image;
            ProcessResult extracted = Cli({"extract", image, c.typed, "-o", out}, dir.path());
            if (!c.extracted) {
                EXPECT_EQ(extracted.exitCode, 1);
                EXPECT_EQ(extracted.output, "");
                continue;
            }
            EXPECT_EQ(extracted.exitCode, 0);
            EXPECT_EQ(extracted.output, out + "/" + c.extracted + "\n");
        }
        // Whatever either listing shows names its file for a single-file edit.
        for (bool lower : {false, true}) {
            std::vector<std::string> list = {"list", image};
            if (lower) list.push_back("--lower");
            const std::vector<std::string> names = ListedNames(Cli(list, dir.path()).output);
            ASSERT_EQ(names.size(), hostNames.size());
            if (lower) {
                EXPECT_EQ(names, hostNames);
            }
            for (const std::string& name : names)
                EXPECT_EQ(Cli({lower ? "unlock" : "lock", image, name}, dir.path()).exitCode, 0)
                    << image << " " << name;
        }
    }
}

TEST(TypedNames, EveryCodeInACc1541NameTypesBackFromTheListing) {
    TempDir dir("tessarind-typed-codes");
    for (int first : {0x20, 0x90}) {
        SCOPED_TRACE("codes from " + std::to_string(first));
        const std::string image = "codes" + std::to_string(first) + ".d64";
        // Entries without data (-L), named by the code in hex, the code itself and "z", so
        // each name differs from the others outside the code as well.
        // (-m: these names need not suit a fast loader's name hashes.)
        std::vector<std::string> argv = {"cc1541", "-q", "-m"};
        for (int code = first; code < first + 0x70; ++code) {
            char name[16];
            std::snprintf(name, sizeof name, "%02x#%02xz", code, code);
            argv.insert(argv.end(), {"-f", name, "-N", "-L"});
        }
        argv.push_back(image);
        ASSERT_EQ(RunProcess(argv, dir.path()).exitCode, 0);

        for (bool lower : {false, true}) {
            std::vector<std::string> list = {"list", image};
            if (lower) list.push_back("--lower");
            const std::vector<std::string> names = ListedNames(Cli(list, dir.path()).output);
            ASSERT_EQ(names.size(), 0x70u);
            // Every name typed back in one extraction: each names a file, and together all.
            const std::string out = lower ? "lower" + image : "upper" + image;
            std::vector<std::string> extract = {"extract", image, "-o", out};
            extract.insert(extract.end(), names.begin(), names.end());
            ProcessResult extracted = Cli(extract, dir.path());
            EXPECT_EQ(extracted.exitCode, 0) << extracted.output;
            EXPECT_EQ(SplitLines(extracted.output).size(), 0x70u);
        }
    }
}

TEST(TypedNames, NamesTheToolWritesCc1541ListsAsTyped) {
    TempDir dir("tessarind-typed-ours");
    WriteHostFile(dir / "Game.prg", Ramp(100));
    WriteHostFile(dir / "data.bin", Ramp(200, 7));
    ASSERT_EQ(Cli({"new", "ours.d64", "--name", "MiXed Disk"}, dir.path()).exitCode, 0);
    ASSERT_EQ(Cli({"insert", "ours.d64", "Game.prg"}, dir.path()).exitCode, 0);
    ASSERT_EQ(Cli({"insert", "ours.d64", "data.bin", "--name", "ReNamed"}, dir.path()).exitCode, 0);
    ASSERT_EQ(Cli({"insert", "ours.d64", "data.bin", "--name", "x"}, dir.path()).exitCode, 0);
    ASSERT_EQ(Cli({"rename", "ours.d64", "#2", "UPPER lower"}, dir.path()).exitCode, 0);

    ProcessResult peer = RunProcess({"cc1541", "ours.d64"}, dir.path());
    ASSERT_EQ(peer.exitCode, 0);
    for (const char* shown : {"\"MiXed Disk      \"", "\"Game\"", "\"ReNamed\"", "\"UPPER lower\""})
        EXPECT_NE(peer.output.find(shown), std::string::npos) << shown << " in\n" << peer.output;
    // Our lower/upper-case listing shows the same names, and extraction names the files so.
    EXPECT_EQ(ListedNames(Cli({"list", "ours.d64", "--lower"}, dir.path()).output),
              (std::vector<std::string>{"Game", "ReNamed", "UPPER lower"}));
    EXPECT_EQ(Cli({"extract", "ours.d64", "-o", "out"}, dir.path()).output,
              "out/Game.prg\nout/ReNamed.prg\nout/UPPER lower.prg\n");
}

} // namespace
} // namespace tessarind
