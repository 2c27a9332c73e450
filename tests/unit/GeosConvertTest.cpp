#include <gtest/gtest.h>

#include <cstring>

#include "model/FormatRegistry.h"
#include "model/GeosConvert.h"
#include "support/GeosBuilder.h"
#include "support/ImageBuilder.h"

namespace tessarind {
namespace {

using testing::AddGeosFile;
using testing::BlankD64;
using testing::GeosFileSpec;
using testing::InfoBlockData;
using testing::Pattern;
using testing::RecordData;

using Record = std::optional<std::vector<uint8_t>>;

// The fields of a Convert file that do not depend on where the file lay on its disk.
std::vector<uint8_t> PlaceFree(std::vector<uint8_t> cvt) {
    for (std::size_t at : {1u, 2u, 19u, 20u})
        cvt[at] = 0;
    return cvt;
}

const std::vector<GeosFileSpec>& SampleFiles() {
    static const std::vector<GeosFileSpec> files = {
        {"EMPTY SEQ", 0x83, 4, false, {}, {}},
        {"ONE BYTE", 0x83, 4, false, Pattern(1, 2), {}},
        {"FULL BLOCK", 0x82, 5, false, Pattern(254, 3), {}},
        {"THREE BLOCKS", 0x83, 6, false, Pattern(600, 4), {}},
        {"VLIR ONE", 0x83, 6, true, {}, {Pattern(100, 5)}},
        {"VLIR FULL", 0x83, 6, true, {}, {Pattern(254, 6), Pattern(508, 7)}},
        {"VLIR GAPS",
         0x83,
         6,
         true,
         {},
         {Record{}, Pattern(300, 8), Record{}, Pattern(1, 9), Record{}}},
    };
    return files;
}

TEST(GeosConvert, ExportWritesTheDefinedLayout) {
    for (const GeosFileSpec& file : SampleFiles()) {
        SCOPED_TRACE(file.name);
        auto image = BlankD64();
        DirEntry entry = AddGeosFile(*image, file);
        ASSERT_TRUE(entry);
        const std::vector<uint8_t> cvt = image->ReadFileData(0).value_or(std::vector<uint8_t>{});
        ASSERT_GE(cvt.size(), kConvertHeaderSize);
        EXPECT_TRUE(std::equal(entry.data() + 2, entry.data() + 32, cvt.begin()));
        EXPECT_EQ(std::string(cvt.begin() + 30, cvt.begin() + 58),
                  std::string(file.vlir ? "PRG" : "SEQ") + " formatted GEOS file V1.0");
        EXPECT_TRUE(
            std::all_of(cvt.begin() + 58, cvt.begin() + 254, [](uint8_t b) { return b == 0; }));
        EXPECT_EQ(std::vector<uint8_t>(cvt.begin() + 254, cvt.begin() + 508), InfoBlockData(file));
        if (!file.vlir) {
            EXPECT_EQ(std::vector<uint8_t>(cvt.begin() + 508, cvt.end()), file.data);
            continue;
        }
        // Per record: its blocks and the DOS link value of its last block; records padded to
        // whole blocks, the last one cut after its last byte.
        std::vector<uint8_t> expected;
        std::size_t lastEnd = 0;
        for (std::size_t k = 0; k < file.records.size(); ++k) {
            const Record& r = file.records[k];
            if (!r) {
                EXPECT_EQ(cvt[508 + 2 * k], 0);
                EXPECT_EQ(cvt[509 + 2 * k], 0xFF);
                continue;
            }
            const std::size_t blocks = (r->size() + 253) / 254;
            EXPECT_EQ(cvt[508 + 2 * k], blocks);
            EXPECT_EQ(cvt[509 + 2 * k], r->size() - (blocks - 1) * 254 + 1);
            expected.insert(expected.end(), r->begin(), r->end());
            lastEnd = expected.size();
            expected.resize(blocks * 254 + expected.size() - r->size(), 0);
        }
        expected.resize(lastEnd);
        EXPECT_EQ(cvt[508 + 2 * file.records.size()], 0); // the list ends
        EXPECT_EQ(std::vector<uint8_t>(cvt.begin() + 762, cvt.end()), expected);
    }
}

TEST(GeosConvert, ImportGivesBackTheFileExportWrote) {
    for (const GeosFileSpec& file : SampleFiles()) {
        SCOPED_TRACE(file.name);
        auto source = BlankD64();
        ASSERT_TRUE(AddGeosFile(*source, file));
        const std::vector<uint8_t> cvt = *source->ReadFileData(0);

        auto target = BlankD64();
        const int freeBefore = target->FreeBlockCount();
        ASSERT_TRUE(ImportConvert(*target, cvt, false, 0));
        DirEntry entry = target->EntryAt(0);
        ASSERT_TRUE(entry.isGeos());
        EXPECT_EQ(PlaceFree(*target->ReadFileData(0)), PlaceFree(cvt));
        EXPECT_EQ(freeBefore - target->FreeBlockCount(), entry.blocks());
        for (std::size_t k = 0; k < file.records.size(); ++k)
            EXPECT_EQ(RecordData(*target, entry, static_cast<int>(k)), file.records[k]);
    }
}

TEST(GeosConvert, ImportIsOneUndoStepAtTheGivenPosition) {
    auto source = BlankD64();
    ASSERT_TRUE(AddGeosFile(*source, SampleFiles()[5]));
    auto target = BlankD64();
    testing::AddFile(*target, {"FIRST", 0x82, Pattern(10)});
    testing::AddFile(*target, {"SECOND", 0x82, Pattern(10)});
    target->ClearJournal();
    const int freeBefore = target->FreeBlockCount();
    const std::vector<uint8_t> cvt = *source->ReadFileData(0);
    // Through the importer of host files, as a .cvt file dropped on an open image.
    const auto name = testing::RawName("IGNORED");
    ASSERT_TRUE(target->WriteFileData(name, 1, false, cvt, 0, *FindRowById(FormatId::Cvt)));
    EXPECT_TRUE(target->EntryAt(1).isGeos());
    EXPECT_EQ(target->EntryAt(2).name()[0], 'S');
    EXPECT_EQ(target->UndoItemText(), "Undo: Insert File\bCTRL+Z");
    ASSERT_TRUE(target->UndoOne());
    EXPECT_FALSE(target->UndoEnabled());
    EXPECT_EQ(target->entryCount(), 2);
    EXPECT_EQ(target->FreeBlockCount(), freeBefore);
}

TEST(GeosConvert, ImportRefusesWhatIsNoWholeConvertFile) {
    auto source = BlankD64();
    ASSERT_TRUE(AddGeosFile(*source, SampleFiles()[6]));
    const std::vector<uint8_t> vlir = *source->ReadFileData(0);
    std::vector<uint8_t> sequential(508, 0);
    std::memcpy(sequential.data() + 30, "SEQ formatted GEOS file", 23);
    sequential[0] = 0x83;

    struct Case {
        const char* what;
        std::vector<uint8_t> bytes;
        bool imports;
    };
    std::vector<uint8_t> unsigned_ = sequential;
    unsigned_[40] = 'X';
    std::vector<uint8_t> shortVlir = vlir;
    shortVlir.resize(761);
    std::vector<uint8_t> cutRecord = vlir;
    cutRecord.pop_back();
    std::vector<uint8_t> noLastValue = vlir;
    noLastValue[510] = 2; // the second record: two blocks with no last-block value
    noLastValue[511] = 0;
    std::vector<uint8_t> relative = sequential;
    relative[0] = 0x84;
    std::vector<uint8_t> scratched = sequential;
    scratched[0] = 0;
    std::vector<uint8_t> structure2 = sequential;
    structure2[21] = 2;
    const std::vector<Case> cases = {
        {"a REL entry", relative, false},
        {"a scratched entry", scratched, false},
        {"structure 2", structure2, false},
        {"507 bytes", std::vector<uint8_t>(sequential.begin(), sequential.end() - 1), false},
        {"header only", sequential, true},
        {"no signature", unsigned_, false},
        {"VLIR without its index", shortVlir, false},
        {"last record cut short", cutRecord, false},
        {"record without last-block value", noLastValue, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        auto target = BlankD64();
        const int freeBefore = target->FreeBlockCount();
        EXPECT_EQ(ImportConvert(*target, c.bytes, false, 0), c.imports);
        EXPECT_EQ(target->entryCount(), c.imports ? 1 : 0);
        if (c.imports) {
            // An empty sequential file: its info block and no data.
            EXPECT_EQ(target->EntryAt(0).firstTrack(), 0);
            EXPECT_NE(target->EntryAt(0).sideTrack(), 0);
            EXPECT_EQ(target->FreeBlockCount(), freeBefore - 1);
        }
    }
}

TEST(GeosConvert, AConvertedPairWithoutBlocksIsAnEmptyRecord) {
    auto source = BlankD64();
    ASSERT_TRUE(AddGeosFile(*source, {"PAIRS", 0x83, 6, true, {}, {Pattern(20), Pattern(30)}}));
    std::vector<uint8_t> cvt = *source->ReadFileData(0);
    cvt[508] = 0; // record 0: (0, 21) - no blocks
    cvt.erase(cvt.begin() + 762, cvt.begin() + 762 + 254);
    auto target = BlankD64();
    ASSERT_TRUE(ImportConvert(*target, cvt, false, 0));
    DirEntry entry = target->EntryAt(0);
    const uint8_t* index = target->SectorPointer(entry.firstTrack(), entry.firstSector());
    ASSERT_NE(index, nullptr);
    EXPECT_EQ(index[2], 0);
    EXPECT_EQ(index[3], 0xFF);
    EXPECT_EQ(RecordData(*target, entry, 1), Pattern(30));
}

TEST(GeosConvert, GeosFilesExportAsConvertFilesAndValidationKeepsTheirBlocks) {
    auto image = BlankD64();
    ASSERT_TRUE(AddGeosFile(*image, SampleFiles()[6]));
    ASSERT_TRUE(AddGeosFile(*image, SampleFiles()[3]));
    DirEntry vlir = image->EntryAt(0);
    EXPECT_EQ(RowForExportMode(ExportMode::Pc64, vlir)->id, FormatId::Cvt);
    EXPECT_EQ(RowForExportMode(ExportMode::Native, image->EntryAt(1))->id, FormatId::Cvt);
    const int freeBefore = image->FreeBlockCount();
    image->Validate();
    EXPECT_EQ(image->FreeBlockCount(), freeBefore);
    EXPECT_FALSE(image->IsBlockFree(vlir.sideTrack(), vlir.sideSector()));
    EXPECT_FALSE(image->IsBlockFree(vlir.firstTrack(), vlir.firstSector()));
}

} // namespace
} // namespace tessarind
