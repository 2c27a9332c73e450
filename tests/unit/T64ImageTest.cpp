// The tape: a new tape's bytes, appending and inserting into its slots, deleting, removing
// with data, moving, sorting and validating, each undone to the very bytes it started from,
// and tapes whose offsets and counts lie.

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "formats/T64Image.h"
#include "model/SafeFile.h"
#include "support/ImageBuilder.h"
#include "support/Process.h"
#include "support/TapeBuilder.h"

namespace tessarind {
namespace {

using testing::AppendTapeFile;
using testing::NewTape;
using testing::Pattern;
using testing::TapeBytesOf;
using testing::TapeFile;
using testing::TapeNames;

uint32_t Long(const uint8_t* p) {
    return static_cast<uint32_t>(p[0] | p[1] << 8 | p[2] << 16 | p[3] << 24);
}
uint16_t Word(const uint8_t* p) {
    return static_cast<uint16_t>(p[0] | p[1] << 8);
}

// Four files, the third of them deleted: A B (free) D in four slots.
std::unique_ptr<T64Image> SampleTape() {
    auto tape = NewTape();
    const TapeFile files[] = {{"ALPHA", 0x0801, Pattern(300, 1)},
                              {"BRAVO", 0xC000, Pattern(40, 2)},
                              {"CHARLIE", 0x1000, Pattern(700, 3)},
                              {"DELTA", 0x0801, Pattern(5, 4)}};
    for (const TapeFile& f : files)
        EXPECT_TRUE(AppendTapeFile(*tape, f));
    tape->SetShowDeleted(false);
    EXPECT_TRUE(tape->ClearEntry(tape->EntryAt(2), 2));
    tape->ClearJournal();
    tape->SetModified(false);
    return tape;
}

TEST(T64Image, NewTapeIsNinetySixBytes) {
    auto tape = NewTape();
    std::vector<uint8_t> want(96, 0);
    std::memcpy(want.data(), "C64S tape image file", 20);
    want[0x21] = 0x01;
    std::fill(want.begin() + 0x28, want.begin() + 0x40, 0x20);
    EXPECT_EQ(TapeBytesOf(*tape), want);
    EXPECT_EQ(tape->path(), "New Tape");
    EXPECT_FALSE(tape->modified());
    EXPECT_EQ(tape->CountEntries(), 0);
    EXPECT_EQ(tape->DiskNamePointer(), tape->SectorPointer(1, 0) + 0x28);
    EXPECT_EQ(tape->SectorPointer(1, 1), nullptr) << "nothing past the tape's bytes";

    testing::TempDir dir;
    ASSERT_TRUE(tape->WriteFile((dir / "new.t64").string()));
    EXPECT_EQ(std::filesystem::file_size(dir / "new.t64"), 96u);
}

TEST(T64Image, FirstFileMakesTheFirstSlot) {
    auto tape = NewTape();
    const TapeFile file{"HELLO", 0x0801, Pattern(509, 7)};
    ASSERT_TRUE(AppendTapeFile(*tape, file));
    EXPECT_EQ(tape->maxSlots(), 1);
    EXPECT_EQ(tape->usedSlots(), 1);
    const uint8_t* slot = tape->SlotPointer(0);
    EXPECT_EQ(slot[0], 1);
    EXPECT_EQ(slot[1], 0x82);
    EXPECT_EQ(Word(slot + 2), 0x0801);
    EXPECT_EQ(Word(slot + 4), 0x0801 + 509);
    EXPECT_EQ(Long(slot + 8), 0x80u);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(slot + 16), 16), "HELLO           ");
    EXPECT_EQ(tape->TapeBytes().size(), 0x80u + 509);
    EXPECT_EQ(tape->ReadFileData(0), file.FileData());
    EXPECT_EQ(tape->FileBlocks(0), (509 + 253) / 254);
    EXPECT_EQ(tape->Journal().back().name, "Insert File");
    EXPECT_TRUE(tape->modified());
    // One byte holds no load address and bytes: refused, the tape unchanged.
    const std::vector<uint8_t> before = TapeBytesOf(*tape);
    EXPECT_FALSE(
        tape->WriteFileData(testing::RawName("X"), 0, false, {1}, 0, *FindRowById(FormatId::Prg)));
    EXPECT_EQ(TapeBytesOf(*tape), before);
}

TEST(T64Image, ListedBlockCountFollowsTheAddresses) {
    const struct {
        uint16_t start, end;
        int blocks;
    } cases[] = {{0x0801, 0x0801, 0},
                 {0x0801, 0x0802, 1},
                 {0x1000, 0x10FE, 1},
                 {0x1000, 0x10FF, 2},
                 {0, 0xFFFF, 259}};
    for (const auto& c : cases) {
        uint8_t slot[32] = {1,
                            0x82,
                            static_cast<uint8_t>(c.start),
                            static_cast<uint8_t>(c.start >> 8),
                            static_cast<uint8_t>(c.end),
                            static_cast<uint8_t>(c.end >> 8)};
        EXPECT_EQ(T64Image::SlotBlocks(slot), c.blocks) << c.start << "-" << c.end;
    }
}

// Every edit: the listing it leaves, its undo label, and undo back to the same bytes.
TEST(T64Image, EditsListAsExpectedAndUndoToTheSameBytes) {
    const TapeFile echo{"ECHO", 0x2000, Pattern(123, 9)};
    struct Case {
        std::string what;
        bool showDeleted;
        std::function<void(T64Image&)> edit;
        std::vector<std::string> listed;
        std::string label;
    } cases[] = {
        {"append",
         false,
         [&](T64Image& t) { AppendTapeFile(t, echo); },
         {"ALPHA", "BRAVO", "DELTA", "ECHO"},
         "Insert File"},
        {"insert into the free slot",
         false,
         [&](T64Image& t) { AppendTapeFile(t, echo, 1); },
         {"ALPHA", "ECHO", "BRAVO", "DELTA"},
         "Insert File"},
        {"insert before the last",
         true,
         [&](T64Image& t) { AppendTapeFile(t, echo, 3); },
         {"ALPHA", "BRAVO", "ECHO", "DELTA"},
         "Insert File"},
        {"delete",
         false,
         [](T64Image& t) { t.ClearEntry(t.EntryAt(0), 0); },
         {"BRAVO", "DELTA"},
         "Delete File"},
        {"remove with data",
         false,
         [](T64Image& t) { t.RemoveEntry(1, true); },
         {"ALPHA", "DELTA"},
         "Remove File"},
        {"remove without data",
         true,
         [](T64Image& t) { t.RemoveEntry(3, false); },
         {"ALPHA", "BRAVO", "(free)", "(free)"},
         "Remove File"},
        {"move up",
         false,
         [](T64Image& t) { t.MoveEntry(true, 2, true); },
         {"ALPHA", "DELTA", "BRAVO"},
         "Move Up"},
        {"move down",
         false,
         [](T64Image& t) { t.MoveEntry(false, 0, true); },
         {"BRAVO", "ALPHA", "DELTA"},
         "Move Down"},
        {"move a range up",
         false,
         [](T64Image& t) { t.MoveEntries(1, 2, 0); },
         {"BRAVO", "DELTA", "ALPHA"},
         "Move File"},
        {"move a range down",
         false,
         [](T64Image& t) { t.MoveEntries(0, 1, 3); },
         {"DELTA", "ALPHA", "BRAVO"},
         "Move File"},
        {"move shown range down",
         true,
         [](T64Image& t) { t.MoveEntries(0, 1, 4); },
         {"(free)", "DELTA", "ALPHA", "BRAVO"},
         "Move File"},
        {"sort by name descending",
         false,
         [](T64Image& t) { t.Sort(false, false); },
         {"DELTA", "BRAVO", "ALPHA"},
         "Sort"},
        {"sort by size",
         false,
         [](T64Image& t) { t.Sort(true, true); },
         {"DELTA", "BRAVO", "ALPHA"},
         "Sort"},
    };
    for (const Case& c : cases) {
        auto tape = SampleTape();
        tape->SetShowDeleted(c.showDeleted);
        const std::vector<uint8_t> before = TapeBytesOf(*tape);
        const std::vector<std::string> listedBefore = TapeNames(*tape);
        c.edit(*tape);
        EXPECT_EQ(TapeNames(*tape), c.listed) << c.what;
        ASSERT_FALSE(tape->Journal().empty()) << c.what;
        EXPECT_EQ(tape->Journal().back().name, c.label) << c.what;
        EXPECT_TRUE(tape->modified()) << c.what;
        // Every file still listed reads as the bytes it was stored with.
        for (int i = 0; i < tape->CountEntries(); ++i) {
            if (tape->SlotPointer(*tape->ListedSlot(i))[0] != 0) {
                EXPECT_TRUE(tape->ReadFileData(i)) << c.what << " #" << i;
            }
        }
        tape->UndoCommand();
        EXPECT_EQ(TapeBytesOf(*tape), before) << c.what;
        EXPECT_EQ(TapeNames(*tape), listedBefore) << c.what;
        EXPECT_FALSE(tape->modified()) << c.what;
        EXPECT_TRUE(tape->Journal().empty()) << c.what << ": one step";
    }
}

TEST(T64Image, DiskEntryEditsLeaveTheSlotsAlone) {
    auto tape = SampleTape();
    const std::vector<uint8_t> before = TapeBytesOf(*tape);
    DirEntry entry = tape->EntryAt(0);
    const std::array<uint8_t, 5> date{};
    EXPECT_FALSE(tape->SetLocked(entry, true, 0));
    EXPECT_FALSE(tape->SetSplat(entry, true, 0));
    EXPECT_FALSE(tape->SetFileType(entry, kSeq, 0));
    EXPECT_FALSE(tape->SetBlocks(entry, 9, 0));
    EXPECT_FALSE(tape->SetDate(entry, date, 0));
    EXPECT_FALSE(tape->SetFirstTrack(entry, 1, 0));
    EXPECT_EQ(TapeBytesOf(*tape), before);
    // A rename writes the slot's own name field, padded with blanks.
    EXPECT_TRUE(tape->RenameFile(entry, testing::RawName("NEW NAME"), 0));
    EXPECT_EQ(TapeNames(*tape)[0], "NEW NAME");
    EXPECT_EQ(tape->SlotPointer(0)[31], ' ');
    tape->UndoCommand();
    EXPECT_EQ(TapeBytesOf(*tape), before);
}

TEST(T64Image, InsertReusesTheNearestFreeSlotTheLowerOfTwo) {
    // Slots: A (free) C (free) E; inserting before C is as near to both free slots.
    auto tape = NewTape();
    for (const char* name : {"A", "B", "C", "D", "E"})
        ASSERT_TRUE(AppendTapeFile(*tape, {name, 0x0801, Pattern(10)}));
    tape->SetShowDeleted(false);
    tape->ClearEntry(tape->EntryAt(3), 3); // D
    tape->ClearEntry(tape->EntryAt(1), 1); // B
    const size_t size = tape->TapeBytes().size();
    ASSERT_TRUE(AppendTapeFile(*tape, {"NEW", 0x0801, Pattern(10, 5)}, 1)); // before C, slot 2
    EXPECT_EQ(tape->maxSlots(), 5) << "no slot added";
    EXPECT_EQ(tape->usedSlots(), 4);
    EXPECT_EQ(tape->TapeBytes().size(), size + 10);
    EXPECT_EQ(tape->SlotPointer(1)[16], 'N') << "the lower free slot took it";
    EXPECT_EQ(tape->SlotPointer(3)[0], 0);
    EXPECT_EQ(TapeNames(*tape), (std::vector<std::string>{"A", "NEW", "C", "E"}));
}

TEST(T64Image, RemovingWithDataShortensTheTapeAndLowersLaterOffsets) {
    auto tape = SampleTape(); // ALPHA 300, BRAVO 40, CHARLIE 700 (free slot), DELTA 5
    std::vector<uint32_t> offsets;
    for (int k = 0; k < 4; ++k)
        offsets.push_back(Long(tape->SlotPointer(k) + 8));
    const size_t size = tape->TapeBytes().size();
    const std::vector<uint8_t> delta = *tape->ReadFileData(2);
    tape->RemoveEntry(0, true);
    EXPECT_EQ(tape->TapeBytes().size(), size - 300);
    EXPECT_EQ(Long(tape->SlotPointer(1) + 8), offsets[1] - 300);
    EXPECT_EQ(Long(tape->SlotPointer(2) + 8), offsets[2] - 300);
    EXPECT_EQ(Long(tape->SlotPointer(3) + 8), offsets[3] - 300);
    EXPECT_EQ(tape->maxSlots(), 4);
    EXPECT_EQ(tape->usedSlots(), 2);
    EXPECT_EQ(tape->ReadFileData(1), delta);
}

TEST(T64Image, ValidateSetsTheUsedCount) {
    auto tape = SampleTape();
    tape->SectorPointer(1, 0)[0x24] = 9;
    tape->Validate();
    EXPECT_EQ(tape->usedSlots(), 3);
    EXPECT_EQ(tape->Journal().back().name, "Validate");
    tape->UndoCommand();
    EXPECT_EQ(tape->usedSlots(), 9);
    tape->ClearJournal();
    tape->SectorPointer(1, 0)[0x24] = 3;
    tape->Validate();
    EXPECT_TRUE(tape->Journal().empty()) << "nothing to set";
}

TEST(T64Image, TapesThatLieAreReadWithinTheirBytes) {
    // A tape of two slots whose header and offsets are rewritten to lie.
    struct Case {
        std::string what;
        std::function<void(std::vector<uint8_t>&)> damage;
        int listed;
        bool firstReads;
    } cases[] = {
        {"offset past the end",
         [](std::vector<uint8_t>& b) { b[0x40 + 8] = 0xFF, b[0x40 + 11] = 0x7F; }, 2, false},
        {"maximum beyond the file",
         [](std::vector<uint8_t>& b) { b[0x22] = 0xFF, b[0x23] = 0xFF, b.resize(0x80); }, 2, false},
        {"used count beyond the slots", [](std::vector<uint8_t>& b) { b[0x24] = 0x50; }, 2, true},
        {"cut inside the directory", [](std::vector<uint8_t>& b) { b.resize(0x50); }, 0, false},
        {"cut inside the header", [](std::vector<uint8_t>& b) { b.resize(0x21); }, 0, false},
    };
    for (const Case& c : cases) {
        auto good = NewTape();
        ASSERT_TRUE(AppendTapeFile(*good, {"ONE", 0x0801, Pattern(100)}));
        ASSERT_TRUE(AppendTapeFile(*good, {"TWO", 0x0801, Pattern(50)}));
        std::vector<uint8_t> bytes = TapeBytesOf(*good);
        c.damage(bytes);
        T64Image tape;
        tape.SetShowDeleted(false);
        tape.LoadFromMemory(bytes);
        EXPECT_EQ(tape.CountEntries(), c.listed) << c.what;
        EXPECT_EQ(tape.ReadFileData(0).has_value(), c.firstReads) << c.what;
        EXPECT_FALSE(tape.EntryAtEx(0x10000, true)) << c.what;
        // Edits either work within the bytes or change nothing; undo restores the bytes, also
        // in the last pseudo-sector, which the tape fills only in part.
        const std::vector<uint8_t> before = TapeBytesOf(tape);
        EXPECT_NE(tape.SectorPointer(1, 0), nullptr) << c.what;
        tape.ClearEntry(tape.EntryAt(0), 0);
        tape.RemoveEntry(0, true);
        AppendTapeFile(tape, {"NEW", 0x0801, Pattern(10)}, 0);
        tape.Sort(true, false);
        tape.MoveEntries(0, 0, 2);
        while (tape.UndoOne()) {
        }
        EXPECT_EQ(TapeBytesOf(tape), before) << c.what;
    }
}

// Exporting a tape writes each listed file under its name, as Export of the tape view and
// the command line's extract see it.
TEST(T64Image, ExportWritesEveryListedFileUnderItsName) {
    auto tape = SampleTape();
    const std::filesystem::path dir = std::filesystem::path(::testing::TempDir()) / "tape-export";
    std::filesystem::remove_all(dir);
    ExportRun run;
    ASSERT_TRUE(tape->ExportAllFiles(dir.string(), ExportMode::Native, run));
    EXPECT_EQ(run.written, 3);
    const char* names[] = {"alpha.prg", "bravo.prg", "delta.prg"};
    for (int i = 0; i < 3; ++i) {
        std::vector<uint8_t> bytes;
        bool openFailed = false;
        ASSERT_TRUE(ReadWholeFile((dir / names[i]).string(), bytes, openFailed)) << names[i];
        EXPECT_EQ(bytes, tape->ReadFileData(i)) << names[i];
    }
}

} // namespace
} // namespace tessarind
