// Tapes we make and edit are read by cbmconvert (-t) as the files we put on them, after every
// step that leaves no free slot before a file; undoing the steps one by one gives back each earlier
// tape to the byte.

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "interop/PeerTools.h"
#include "support/TapeBuilder.h"

namespace tessarind {
namespace {

using interop::Cbmconvert;
using interop::CbmconvertComplained;
using interop::FilesIn;
using testing::AppendTapeFile;
using testing::Pattern;
using testing::TapeBytesOf;
using testing::TapeFile;
using testing::TempDir;
namespace fs = std::filesystem;

// cbmconvert names a file by its CBM name (unshifted letters in lower case) and its type.
std::map<std::string, std::vector<uint8_t>> Expected(const std::vector<TapeFile>& listed) {
    std::map<std::string, std::vector<uint8_t>> files;
    for (const TapeFile& f : listed) {
        std::string name = f.name;
        std::transform(name.begin(), name.end(), name.begin(),
                       [](unsigned char c) { return std::tolower(c); });
        const char* ext = f.kind == FormatId::Seq   ? ".seq"
                          : f.kind == FormatId::Usr ? ".usr"
                                                    : ".prg";
        files[name + ext] = f.FileData();
    }
    return files;
}

bool FreeSlotBeforeAFile(T64Image& tape) {
    bool free = false;
    for (int k = 0; k < tape.maxSlots(); ++k) {
        if (tape.SlotPointer(k)[0] == 0)
            free = true;
        else if (free)
            return true;
    }
    return false;
}

TEST(CbmconvertTape, EditedTapesExtractAsTheirFilesAndUndoToTheByte) {
    const std::vector<TapeFile> files = {
        {"LOADER", 0x0801, Pattern(1, 1)},
        {"NOTES", 0x1000, Pattern(254, 2), FormatId::Seq},
        {"DATA 2", 0xC000, Pattern(3000, 3), FormatId::Usr},
        {"GAME", 0x0801, Pattern(40000, 4)},
    };
    const TapeFile inserted{"INSERTED", 0x2000, Pattern(777, 5)};
    struct Step {
        std::string what;
        std::function<bool(T64Image&)> edit;
        std::function<void(std::vector<TapeFile>&)> model;
    };
    std::vector<Step> steps;
    for (const TapeFile& f : files)
        steps.push_back({"append " + f.name, [&f](T64Image& t) { return AppendTapeFile(t, f); },
                         [&f](std::vector<TapeFile>& m) { m.push_back(f); }});
    steps.push_back({"insert at 1", [&](T64Image& t) { return AppendTapeFile(t, inserted, 1); },
                     [&](std::vector<TapeFile>& m) { m.insert(m.begin() + 1, inserted); }});
    steps.push_back({"remove with data", [](T64Image& t) { return t.RemoveEntry(2, true), true; },
                     [](std::vector<TapeFile>& m) { m.erase(m.begin() + 2); }});
    steps.push_back({"insert into the freed slot",
                     [&](T64Image& t) { return AppendTapeFile(t, files[1], 3); },
                     [&](std::vector<TapeFile>& m) { m.insert(m.begin() + 3, files[1]); }});
    steps.push_back(
        {"move the first two to the end", [](T64Image& t) { return t.MoveEntries(0, 1, 5); },
         [](std::vector<TapeFile>& m) { std::rotate(m.begin(), m.begin() + 2, m.end()); }});
    steps.push_back({"sort by name", [](T64Image& t) { return t.Sort(true, false), true; },
                     [](std::vector<TapeFile>& m) {
                         std::stable_sort(
                             m.begin(), m.end(),
                             [](const TapeFile& a, const TapeFile& b) { return a.name < b.name; });
                     }});

    TempDir dir;
    auto tape = testing::NewTape();
    ASSERT_TRUE(tape);
    tape->SetShowDeleted(false);
    std::vector<TapeFile> model;
    std::vector<std::vector<uint8_t>> before;
    for (size_t i = 0; i < steps.size(); ++i) {
        const Step& step = steps[i];
        before.push_back(TapeBytesOf(*tape));
        ASSERT_TRUE(step.edit(*tape)) << step.what;
        step.model(model);
        const fs::path file = dir / ("step" + std::to_string(i) + ".t64");
        ASSERT_TRUE(tape->WriteFile(file.string())) << step.what;
        ASSERT_EQ(fs::file_size(file), tape->TapeBytes().size()) << step.what;
        // cbmconvert reads the first "used count" slots whatever their entry type, so a tape
        // with a free slot before a file is not one it can read; the next insert fills it.
        if (FreeSlotBeforeAFile(*tape)) {
            for (size_t k = 0; k < model.size(); ++k)
                EXPECT_EQ(tape->ReadFileData(static_cast<int>(k)), model[k].FileData());
            continue;
        }
        const fs::path out = dir / ("out" + std::to_string(i));
        testing::ProcessResult run = Cbmconvert({"-N", "-t", fs::absolute(file).string()}, out);
        EXPECT_EQ(run.exitCode, 0) << step.what << ":\n" << run.output;
        EXPECT_FALSE(CbmconvertComplained(run)) << step.what << ":\n" << run.output;
        EXPECT_EQ(FilesIn(out), Expected(model)) << step.what << ":\n" << run.output;
    }
    for (size_t i = steps.size(); i-- > 0;) {
        tape->UndoCommand();
        EXPECT_EQ(TapeBytesOf(*tape), before[i]) << "undoing " << steps[i].what;
    }
    EXPECT_EQ(tape->TapeBytes().size(), T64Image::kNewTapeSize);
}

} // namespace
} // namespace tessarind
