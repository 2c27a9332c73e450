// The Run In command line: template scanning, limits, and the files handed over.

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>

#include "catalog/EmulatorCommand.h"
#include "support/ImageBuilder.h"
#include "support/Process.h"

using namespace tessarind;
using namespace tessarind::testing;

namespace {

EmulatorValues Sample() {
    EmulatorValues values;
    values.diskPath = "/home/u/my disk.d64";
    values.entryName = "game";
    values.entryIndex = 3;
    values.entryFile = [] { return std::string("/tmp/tsAB.prg"); };
    return values;
}

std::vector<uint8_t> ReadAll(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

} // namespace

TEST(EmulatorCommand, TemplatesBecomeQuotedLineAndArgv) {
    struct Case {
        const char* templ;
        std::vector<std::string> argv;
        bool usesContainer;
    };
    const Case cases[] = {
        {"%d:%f", {"/home/u/my disk.d64:game"}, true},
        {"%D,%I -autorun", {"/home/u/my disk.d64,3", "-autorun"}, true},
        {"-autoload %d %i", {"-autoload", "/home/u/my disk.d64", "3"}, true},
        {"a  b", {"a", "", "b"}, false},
        {"   -x", {"-x"}, false},
        {"100%% %P", {"100%", "/tmp/tsAB.prg"}, true},
        {"%x%", {"%x%"}, false},
        {"", {}, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.templ);
        const EmulatorCommand command = BuildEmulatorCommand(c.templ, Sample());
        EXPECT_EQ(command.arguments, c.argv);
        EXPECT_EQ(command.usesContainer, c.usesContainer);
        // The Windows form is the same arguments, each quoted, one blank apart.
        std::string line;
        for (const std::string& argument : c.argv)
            line += (line.empty() ? "\"" : " \"") + argument + "\"";
        EXPECT_EQ(command.commandLine, c.argv.empty() ? "\"\"" : line);
    }
}

TEST(EmulatorCommand, LimitsLeaveOutWhatWouldPassThem) {
    EmulatorValues values = Sample();
    values.diskPath = std::string(1000, 'd');
    // 1000 + 2 quotes leave room for "ab" but not for a second copy of the path.
    EmulatorCommand command = BuildEmulatorCommand("%d%d%fab", values);
    ASSERT_EQ(command.arguments.size(), 1u);
    EXPECT_EQ(command.arguments[0], values.diskPath + "gameab");
    EXPECT_LE(command.commandLine.size(), kEmulatorLineLimit);

    // Blanks beyond the 99th argument join the text to the last one.
    std::string many;
    for (int i = 0; i < 120; ++i)
        many += "x ";
    command = BuildEmulatorCommand(many, values);
    EXPECT_EQ(command.arguments.size(), static_cast<size_t>(kEmulatorArgumentLimit));
    EXPECT_EQ(command.arguments.back(), std::string(22, 'x'));

    // The %p file is made once however often it is named.
    int made = 0;
    values.entryFile = [&made] { return "f" + std::to_string(++made); };
    EXPECT_EQ(BuildEmulatorCommand("%p %P", values).arguments,
              (std::vector<std::string>{"f1", "f1"}));
}

TEST(EmulatorCommand, RunHandsOverSavedOrTemporaryContainer) {
    tessarind::testing::TempDir dir;
    auto image = BlankD64("DISK");
    const std::vector<uint8_t> data = Pattern(700);
    ASSERT_TRUE(AddFile(*image, {"GAME", 0x82, data}));
    const std::string saved = (dir / "saved.d64").string();
    ASSERT_TRUE(image->WriteFile(saved));
    // WriteFile takes the image's own path only through Save; an opened image has it.
    ASSERT_TRUE(image->Open(nullptr, saved, true, false));

    EmulatorEntry entry{"X", "emu", "%d:%f %p"};
    std::vector<std::string> copies;
    {
        TemporaryFiles temporaries;
        auto launch = PrepareEmulatorRun(*image, 0, entry, temporaries);
        ASSERT_TRUE(launch);
        EXPECT_EQ(launch->program, "emu");
        ASSERT_EQ(launch->arguments.size(), 2u);
        EXPECT_EQ(launch->arguments[0], saved + ":game");
        // %p holds the selected file's bytes, named as its type.
        const std::string& exported = launch->arguments[1];
        EXPECT_EQ(std::filesystem::path(exported).filename().string().substr(0, 2), "ts");
        EXPECT_EQ(std::filesystem::path(exported).extension(), ".prg");
        EXPECT_EQ(ReadAll(exported), data);

        // Changed: every run makes a copy of its own; both stay, the image stays changed.
        image->SetModified(true);
        for (int run = 0; run < 2; ++run) {
            launch = PrepareEmulatorRun(*image, 0, entry, temporaries);
            ASSERT_TRUE(launch);
            const std::string copy = launch->arguments[0].substr(0, launch->arguments[0].find(':'));
            EXPECT_NE(copy, saved);
            EXPECT_EQ(std::filesystem::path(copy).extension(), ".d64");
            copies.push_back(copy);
        }
        EXPECT_NE(copies[0], copies[1]);
        for (const std::string& copy : copies)
            EXPECT_EQ(ReadAll(copy), ReadAll(saved));
        EXPECT_TRUE(image->modified());

        // Without placeholders nothing is written; without a program nothing runs.
        const size_t recorded = temporaries.paths().size();
        EXPECT_TRUE(PrepareEmulatorRun(*image, 0, {"X", "emu", "-fast"}, temporaries));
        EXPECT_EQ(temporaries.paths().size(), recorded);
        EXPECT_FALSE(PrepareEmulatorRun(*image, 0, {"X", "", "%d"}, temporaries));
        EXPECT_EQ(temporaries.paths().size(), recorded);
    }
    // The list's end removes every file it made.
    for (const std::string& copy : copies)
        EXPECT_FALSE(std::filesystem::exists(copy)) << copy;
}
