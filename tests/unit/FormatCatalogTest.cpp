// The format catalog: every kind opens, is made and is offered through its row, and a kind
// added to the catalog needs nothing but its class and that row.

#include <gtest/gtest.h>

#include <filesystem>

#include "catalog/FormatCatalog.h"
#include "catalog/ImageOpener.h"
#include "formats/ZonedDiskImage.h"
#include "support/ImageBuilder.h"
#include "support/Process.h"
#include "support/Recorders.h"

namespace tessarind {
namespace {

namespace fs = std::filesystem;
using testing::Pattern;
using testing::RecordingInteraction;
using testing::TempDir;

// A made-up disk of three tracks of eight sectors: BAM and header in 2/0, directory from 2/1.
constexpr Zone kTinyZones[] = {{1, 3, 8}};
constexpr TrackLayout kTinyLayout(kTinyZones);
constexpr BamRange kTinyBam[] = {{1, 3, 2, 0, 4, 4, 2, 0, 5, 4, 3}};
const BamMap kTinyBamMap(kTinyBam, kTinyLayout);
constexpr int kTinyId = 900;
constexpr DiskGeometry kTiny{kTinyId, &kTinyLayout, &kTinyBamMap, 3, 8, 2, 1, 2, 0, 0x90, 24 * 256};
constexpr FormatRow kTinyRow{kTinyId, ".t3", "Tiny", 0, 1, 0x3, 7};

class TinyImage : public ZonedDiskImage {
public:
    explicit TinyImage(Settings* settings) : ZonedDiskImage(kTiny, settings) {}

private:
    void FormatHeader() override {
        uint8_t* header = SectorPointer(2, 0);
        header[0] = 2;
        header[1] = 1;
        std::fill(header + 0x90, header + 0x90 + 27, kPad);
        uint8_t* dir = SectorPointer(2, 1);
        dir[1] = 0xFF;
    }
    void TrackOrder(int, std::vector<int>& order) const override { order = {1, 3}; }
    BlockList BamBlocks() const override { return {{2, 0}}; }
    BlockList SystemBlocks() const override { return {{2, 0}, {2, 1}}; }
};

TEST(FormatCatalog, AKindAddedToTheCatalogOpensAndIsMadeThroughItsRowAlone) {
    const CatalogRow tiny{kTinyId, OpenImageKind, MakeImage<TinyImage>, true, false, "&Tiny", 0,
                          &kTinyRow};
    const FormatCatalog catalog = FormatCatalog::Builtin().With(tiny);
    ASSERT_TRUE(catalog.MakesBlank(kTinyId));

    TempDir dir;
    const std::string path = (dir.path() / "made.T3").string();
    {
        std::unique_ptr<DiskImage> blank = catalog.Make(kTinyId, nullptr);
        ASSERT_TRUE(blank->Open(nullptr, path, false, true));
        EXPECT_EQ(blank->FreeBlockCount(), 22);
        ASSERT_TRUE(blank->WriteFileData(testing::RawName("HELLO"), 0, false, Pattern(300), 0,
                                         *FindRowById(FormatId::Prg)));
        ASSERT_TRUE(blank->WriteFile(path));
    }
    RecordingInteraction ui;
    std::unique_ptr<DiskImage> opened = OpenContainer(catalog, &ui, path, {}, 0, nullptr, true, nullptr);
    ASSERT_NE(opened, nullptr);
    EXPECT_EQ(opened->formatId(), kTinyId);
    ASSERT_EQ(opened->entryCount(), 1);
    EXPECT_EQ(opened->ReadFileData(0), Pattern(300));
    EXPECT_EQ(opened->FreeBlockCount(), 20);

    // The built-in catalog does not know the kind.
    EXPECT_EQ(OpenContainer(&ui, path, {}, 0, nullptr, true, nullptr), nullptr);
    ASSERT_FALSE(ui.messages.empty());
    EXPECT_EQ(ui.messages.back().text, "Unknown File Extension " + path);
}

TEST(FormatCatalog, EveryRowIsAKindOfTheRegistryAndEveryBlankKindMakesItself) {
    for (const CatalogRow& row : FormatCatalog::Builtin().Rows()) {
        SCOPED_TRACE(row.id);
        EXPECT_EQ(row.Info().id, row.id);
        EXPECT_EQ(FormatCatalog::Builtin().ById(row.id), &row) << "one row per kind";
        if (!row.makesBlank) continue;
        std::unique_ptr<DiskImage> blank = row.make(nullptr);
        ASSERT_NE(blank, nullptr);
        ASSERT_TRUE(blank->Open(nullptr, "", false, true));
        EXPECT_EQ(blank->formatId(), row.id);
        // An FD2000 container lists its system partition from the start.
        EXPECT_EQ(blank->entryCount(), row.id == FormatId::D2m ? 1 : 0);
        // A tape has no blocks to be free.
        if (row.id != FormatId::T64) {
            EXPECT_GT(blank->FreeBlockCount(), 0);
        }
        EXPECT_FALSE(blank->DiskName().empty());
    }
}

TEST(FormatCatalog, NewRefusesAKindThatCannotBeMadeBlank) {
    TempDir dir;
    for (const char* name : {"hd.dhd"}) {
        testing::ProcessResult made =
            testing::RunProcess({"sh", "-c", std::string(TESSARIND_CLI) + " new " + name + " 2>&1"},
                                dir.path());
        EXPECT_EQ(made.exitCode, 1) << name;
        EXPECT_NE(made.output.find("cannot make a blank image of this kind"), std::string::npos)
            << made.output;
        EXPECT_FALSE(fs::exists(dir.path() / name));
    }
}

TEST(FormatCatalog, RenamingAPartitionFromTheCommandLineRenamesItsHeader) {
    TempDir dir;
    const std::string path = (dir.path() / "parts.d81").string();
    {
        std::unique_ptr<DiskImage> image = FormatCatalog::Builtin().Make(FormatId::D81, nullptr);
        ASSERT_TRUE(image->Open(nullptr, path, false, true));
        ASSERT_TRUE(testing::AddPartitionSample(*image));
        ASSERT_TRUE(image->WriteFile(path));
    }
    testing::ProcessResult renamed =
        testing::RunProcess({TESSARIND_CLI, "rename", "parts.d81", "PART", "games"}, dir.path());
    ASSERT_EQ(renamed.exitCode, 0);
    std::unique_ptr<DiskImage> image = OpenContainer(nullptr, path, {}, 0, nullptr, false, nullptr);
    ASSERT_NE(image, nullptr);
    int part = -1;
    for (int i = 0; i < image->entryCount(); ++i)
        if (image->EntryAt(i).typeCode() == kCbm) part = i;
    ASSERT_GE(part, 0);
    const std::array<uint8_t, kNameLength> expected = testing::RawName("GAMES");
    DirEntry entry = image->EntryAt(part);
    EXPECT_TRUE(std::equal(expected.begin(), expected.end(), entry.name().begin()));
    const uint8_t* header = image->SectorPointer(entry.firstTrack(), entry.firstSector());
    ASSERT_NE(header, nullptr);
    EXPECT_TRUE(std::equal(expected.begin(), expected.end(), header + 4));
}

} // namespace
} // namespace tessarind
