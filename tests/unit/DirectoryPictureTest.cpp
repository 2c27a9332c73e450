#include <gtest/gtest.h>

#include <cctype>
#include <cstring>
#include <filesystem>
#include <optional>
#include <set>
#include <string>

#include "formats/D81Image.h"
#include "model/SafeFile.h"
#include "support/ImageBuilder.h"
#include "support/Recorders.h"
#include "text/CbmFont.h"
#include "catalog/DirectoryPicture.h"

namespace tessarind {
namespace {

namespace fs = std::filesystem;
using testing::AddFile;
using testing::Pattern;

std::unique_ptr<D64Image> TestDisk() {
    auto image = testing::BlankD64("TEST DISK", "AB 2A");
    EXPECT_TRUE(AddFile(*image, {"GAME", 0x82, Pattern(12 * 254)}));
    EXPECT_TRUE(AddFile(*image, {"LOCKED", 0xC2, Pattern(3 * 254, 2)}));
    EXPECT_TRUE(AddFile(*image, {"NOTES", 0x01, Pattern(100, 3)})); // open SEQ
    return image;
}

const char* const kHeader = "0 \"TEST DISK       \" AB 2A  ";
const char* const kReversed = "..RRRRRRRRRRRRRRRRRRRRRRRR..";
const char* const kGame = "12   \"GAME\"             PRG ";
const char* const kLocked = "3    \"LOCKED\"           PRG<";
const char* const kNotes = "1    \"NOTES\"           *SEQ ";
const char* const kFree = "648 BLOCKS FREE.            ";

DirectoryViewport Rows(int rows, int position = -1) {
    DirectoryViewport viewport;
    viewport.rows = rows;
    viewport.position = position;
    return viewport;
}

// A cell's glyph read back from the pixels (set where a pixel is `ink`); none when a pixel
// has another colour or a font pixel is not a solid square of the cell's scale.
std::optional<Glyph> ReadCell(const Picture& picture, int column, int row, int cell, uint32_t ink,
                              uint32_t paper) {
    const int scale = cell / kGlyphSize;
    Glyph glyph{};
    for (int y = 0; y < cell; ++y) {
        for (int x = 0; x < cell; ++x) {
            const uint32_t pixel = picture.At(column * cell + x, row * cell + y);
            if (pixel != ink && pixel != paper) return std::nullopt;
            uint8_t& bits = glyph[static_cast<size_t>(y / scale)];
            const uint8_t mask = static_cast<uint8_t>(0x80 >> (x / scale));
            if (x % scale == 0 && y % scale == 0)
                bits |= pixel == ink ? mask : 0;
            else if (((bits & mask) != 0) != (pixel == ink))
                return std::nullopt;
        }
    }
    return glyph;
}

// A row read back as text by matching each cell against the pictures of PETSCII 20-5F (which
// are ASCII), normal or in swapped colours ('R' in `reversed`); '~' where nothing matches.
std::string Read(const Picture& picture, int row, const CbmTextStyle& style, uint32_t ink,
                 uint32_t paper, std::string* reversed = nullptr) {
    std::string text;
    if (reversed) reversed->clear();
    for (int column = 0; column < kListingColumns; ++column) {
        char found = '~', how = '.';
        for (int pass = 0; pass < 2 && found == '~'; ++pass) {
            std::optional<Glyph> glyph = ReadCell(picture, column, row, style.cellSize,
                                                  pass ? paper : ink, pass ? ink : paper);
            for (int code = 0x20; glyph && code < 0x60 && found == '~'; ++code) {
                if (CbmGlyph((*style.caseTable)[static_cast<size_t>(code)]) != *glyph) continue;
                found = static_cast<char>(code);
                how = pass ? 'R' : '.';
            }
        }
        text.push_back(found);
        if (reversed) reversed->push_back(how);
    }
    return text;
}

std::string Read(const Picture& picture, int row, const CbmTextStyle& style,
                 std::string* reversed = nullptr) {
    return Read(picture, row, style, style.text, style.background, reversed);
}

TEST(DirectoryPicture, DrawsEveryRowWithTheHeaderReversedInEitherScheme) {
    auto image = TestDisk();
    const SystemColours system{0x101010, 0xF0F0F0, 0x2040A0, 0xC0C0C0, 0, 0x808080};
    for (bool cbm : {true, false}) {
        SCOPED_TRACE(cbm ? "CBM colours" : "system colours");
        ColourScheme scheme = MakeColourScheme(cbm, system);
        CbmTextStyle style;
        style.text = scheme.text;
        style.background = scheme.background;
        style.selection = scheme.selection;
        Picture picture = RenderDirectory(*image, style, Rows(5));
        EXPECT_EQ(picture.width, 28 * 8);
        EXPECT_EQ(picture.height, 5 * 8);
        EXPECT_EQ(std::set<uint32_t>(picture.pixels.begin(), picture.pixels.end()),
                  (std::set<uint32_t>{scheme.text, scheme.background}));
        // "0" and the blank after it normal, the rest of the header reversed.
        std::string reversed;
        EXPECT_EQ(Read(picture, 0, style, &reversed), kHeader);
        EXPECT_EQ(reversed, kReversed);
        EXPECT_EQ(ReadCell(picture, 2, 0, 8, scheme.background, scheme.text),
                  CbmGlyph(kUpperCaseSet['"']));
        EXPECT_EQ(ReadCell(picture, 6, 1, 8, scheme.text, scheme.background),
                  CbmGlyph(kUpperCaseSet['G']));
        EXPECT_EQ(Read(picture, 1, style, &reversed), kGame);
        EXPECT_EQ(reversed, std::string(28, '.'));
        EXPECT_EQ(Read(picture, 2, style), kLocked);
        EXPECT_EQ(Read(picture, 3, style), kNotes);
        EXPECT_EQ(Read(picture, 4, style), kFree);
    }
}

TEST(DirectoryPicture, LargeCellsDoubleEveryPixelAndTheLowerCaseSetSwapsLetters) {
    auto image = TestDisk();
    CbmTextStyle normal, large, lower;
    large.cellSize = kLargeCellSize;
    lower.caseTable = &kLowerCaseSet;
    Picture small = RenderDirectory(*image, normal, Rows(6));
    Picture big = RenderDirectory(*image, large, Rows(6));
    ASSERT_EQ(big.width, 28 * 16);
    ASSERT_EQ(big.height, 6 * 16);
    for (int y = 0; y < big.height; ++y)
        for (int x = 0; x < big.width; ++x)
            ASSERT_EQ(big.At(x, y), small.At(x / 2, y / 2)) << x << "," << y;

    // Letters become small letters; read through the same set the row is unchanged.
    Picture lowered = RenderDirectory(*image, lower, Rows(6));
    EXPECT_EQ(Read(lowered, 1, lower), kGame);
    for (int column = 0; column < 28; ++column) {
        const bool letter = std::isalpha(static_cast<unsigned char>(kGame[column])) != 0;
        EXPECT_EQ(ReadCell(lowered, column, 1, 8, lower.text, lower.background) ==
                      ReadCell(small, column, 1, 8, normal.text, normal.background),
                  !letter)
            << column;
    }
}

TEST(DirectoryPicture, ScrollingHidesTheHeaderAndSelectedEntriesAreHighlighted) {
    auto image = TestDisk();
    CbmTextStyle style;
    DirectoryViewport viewport = Rows(6, 0);
    viewport.selectionFirst = 1;
    viewport.selectionLast = 2;
    Picture picture = RenderDirectory(*image, style, viewport);
    EXPECT_EQ(Read(picture, 0, style), kGame);
    EXPECT_EQ(Read(picture, 1, style, style.background, style.selection), kLocked);
    EXPECT_EQ(Read(picture, 2, style, style.background, style.selection), kNotes);
    EXPECT_EQ(picture.At(27 * 8 + 7, 2 * 8), style.selection); // the whole row width
    EXPECT_EQ(Read(picture, 3, style), kFree);
    EXPECT_EQ(Read(picture, 4, style), std::string(28, ' ')); // below the list

    // A range beyond the entries never marks the header or the free line.
    viewport = Rows(5);
    viewport.selectionFirst = -1;
    viewport.selectionLast = 100;
    picture = RenderDirectory(*image, style, viewport);
    EXPECT_EQ(Read(picture, 0, style), kHeader);
    EXPECT_EQ(Read(picture, 1, style, style.background, style.selection), kGame);
    EXPECT_EQ(Read(picture, 4, style), kFree);
}

TEST(DirectoryPicture, ControlCodesAreDrawnReversedUnlessPlain) {
    CbmTextStyle style, plain;
    plain.plain = true;
    auto draw = [](uint8_t code, bool reverse, const CbmTextStyle& s) {
        Picture cell(8, 8, 0);
        DrawCbmChar(cell, 0, 0, code, reverse, s);
        return cell.pixels;
    };
    Picture white(8, 8, 0);
    DrawCbmChar(white, 0, 0, 0x05, false, style);
    EXPECT_EQ(ReadCell(white, 0, 0, 8, style.background, style.text), CbmGlyph(kUpperCaseSet['E']));
    EXPECT_EQ(draw(0x05, true, style), draw(0x45, false, style)); // a reverse cell: swapped twice
    EXPECT_EQ(draw(0x92, false, style), draw(0xD2, true, style));
    EXPECT_EQ(draw(0x05, false, plain), draw(0x45, false, plain));
}

// ---- Bitmap files ---------------------------------------------------------------------------

uint32_t U32(const std::vector<uint8_t>& b, size_t at) {
    if (at + 4 > b.size()) return 0xDEADBEEF;
    return b[at] | b[at + 1] << 8 | b[at + 2] << 16 | static_cast<uint32_t>(b[at + 3]) << 24;
}

// Reads a bitmap file, checking every header field on the way.
Picture DecodeBitmap(const std::vector<uint8_t>& b) {
    const uint32_t width = U32(b, 18), height = U32(b, 22);
    EXPECT_EQ(std::string(b.begin(), b.begin() + std::min<size_t>(b.size(), 2)), "BM");
    EXPECT_EQ(U32(b, 2), b.size());
    EXPECT_EQ(U32(b, 2), 66 + width * height * 4);
    EXPECT_EQ(U32(b, 6), 0u); // the two reserved words
    EXPECT_EQ(U32(b, 10), 66u);
    EXPECT_EQ(U32(b, 14), 40u);
    EXPECT_EQ(U32(b, 26), 1u | 32u << 16); // planes, bits per pixel
    EXPECT_EQ(U32(b, 30), 3u);             // bit fields
    EXPECT_EQ(U32(b, 34), width * height * 4);
    EXPECT_EQ(U32(b, 38), 2835u);
    EXPECT_EQ(U32(b, 42), 2835u);
    EXPECT_EQ(U32(b, 54), 0x00FF0000u);
    EXPECT_EQ(U32(b, 58), 0x0000FF00u);
    EXPECT_EQ(U32(b, 62), 0x000000FFu);
    if (b.size() != 66 + static_cast<size_t>(width) * height * 4 || width > 4096) return {};
    Picture picture(static_cast<int>(width), static_cast<int>(height), 0);
    for (size_t i = 0; i < picture.pixels.size(); ++i) // rows bottom-up
        picture.pixels[(height - 1 - i / width) * width + i % width] = U32(b, 66 + 4 * i);
    return picture;
}

TEST(DirectoryPictureBitmap, HeaderFieldsAndRowsBottomUp) {
    Picture picture(3, 2, 0);
    picture.pixels = {0x112233, 0x445566, 0x778899, 0xAABBCC, 0xDDEEFF, 0x010203};
    std::vector<uint8_t> bytes = EncodeBitmap(picture);
    ASSERT_EQ(bytes.size(), 66u + 3 * 2 * 4);
    // The bottom row first, each pixel blue, green, red, 0.
    EXPECT_EQ(std::vector<uint8_t>(bytes.begin() + 66, bytes.begin() + 70),
              (std::vector<uint8_t>{0xCC, 0xBB, 0xAA, 0x00}));
    EXPECT_EQ(DecodeBitmap(bytes).pixels, picture.pixels);
    picture.pixels.pop_back();
    EXPECT_TRUE(EncodeBitmap(picture).empty());
}

class DirectoryPictureExport : public ::testing::Test {
protected:
    void SetUp() override {
        dir = fs::path(::testing::TempDir()) /
              (std::string("tessarind-bmp-") +
               ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(dir);
        fs::create_directories(dir);
    }
    void TearDown() override { fs::remove_all(dir); }

    Picture Load(const fs::path& path) {
        std::vector<uint8_t> bytes;
        bool openFailed = false;
        EXPECT_TRUE(ReadWholeFile(path.string(), bytes, openFailed)) << path;
        return DecodeBitmap(bytes);
    }
    long Files() const {
        return std::distance(fs::directory_iterator(dir), fs::directory_iterator());
    }

    fs::path dir;
};

TEST_F(DirectoryPictureExport, WholeListOrSelectedRowsInBothCellSizes) {
    auto image = TestDisk();
    const fs::path path = dir / "list.bmp";
    for (int cell : {kNormalCellSize, kLargeCellSize}) {
        SCOPED_TRACE(cell);
        BitmapExportOptions options;
        options.style.cellSize = cell;
        ASSERT_TRUE(ExportBitmap(*image, path.string(), false, false, options));
        Picture picture = Load(path);
        EXPECT_EQ(picture.width, 28 * cell);
        EXPECT_EQ(picture.height, 5 * cell);
        EXPECT_EQ(Read(picture, 0, options.style), kHeader);
        EXPECT_EQ(ReadCell(picture, 2, 0, cell, options.style.background, options.style.text),
                  CbmGlyph(kUpperCaseSet['"']));
        EXPECT_EQ(Read(picture, 4, options.style), kFree);
    }
    // Only the selected rows, without highlight.
    BitmapExportOptions options;
    options.selectionOnly = true;
    options.selectionFirst = 1;
    options.selectionLast = 2;
    ASSERT_TRUE(ExportBitmap(*image, path.string(), false, false, options));
    Picture picture = Load(path);
    EXPECT_EQ(picture.height, 2 * 8);
    EXPECT_EQ(Read(picture, 0, options.style), kLocked);
    EXPECT_EQ(Read(picture, 1, options.style), kNotes);
    options.selectionFirst = 5; // no entry selected: the whole list
    options.selectionLast = 9;
    ASSERT_TRUE(ExportBitmap(*image, path.string(), false, false, options));
    EXPECT_EQ(Load(path).height, 5 * 8);
}

TEST_F(DirectoryPictureExport, EachSubDirectoryGetsAFileOfItsOwn) {
    auto image = std::make_unique<D81Image>();
    ASSERT_TRUE(image->Open(nullptr, "", false, true));
    std::copy_n("MAIN", 4, image->DiskNamePointer());
    struct Sizes : testing::RecordingInteraction {
        long blocks = 0;
        std::optional<long> AskNumber(const std::string&, long) override { return blocks; }
    } sizes;
    image->SetOwner(&sizes);
    auto makePartition = [&](int at, const char* name, long blocks) {
        sizes.blocks = blocks;
        ASSERT_TRUE(image->CreateSubDirectory(at));
        ASSERT_TRUE(image->EnterSubDirectory(at));
        std::copy_n(name, std::strlen(name), image->DiskNamePointer());
    };
    makePartition(0, "ONE", 400);
    ASSERT_TRUE(AddFile(*image, {"INSIDE", 0x81, Pattern(40)}));
    makePartition(1, "DEEP", 80); // inside ONE
    ASSERT_TRUE(image->LeaveSubDirectory());
    ASSERT_TRUE(image->LeaveSubDirectory());
    makePartition(1, "TWO", 120);
    ASSERT_TRUE(image->LeaveSubDirectory());

    const fs::path path = dir / "list.bmp";
    ASSERT_TRUE(ExportBitmap(*image, path.string(), false, false));
    EXPECT_EQ(Files(), 1);
    ASSERT_TRUE(ExportBitmap(*image, path.string(), false, true));
    EXPECT_TRUE(image->DirStack().empty()); // every level left again
    EXPECT_EQ(Files(), 4);
    // Named like exported files: the disk name converted to a host name.
    CbmTextStyle style;
    EXPECT_EQ(Read(Load(path), 0, style).substr(0, 8), "0 \"MAIN ");
    EXPECT_EQ(Read(Load(dir / "list.one.bmp"), 0, style).substr(0, 8), "0 \"ONE  ");
    EXPECT_EQ(Read(Load(dir / "list.one.bmp"), 1, style).substr(0, 13), "1    \"INSIDE\"");
    EXPECT_EQ(Read(Load(dir / "list.deep.bmp"), 0, style).substr(0, 8), "0 \"DEEP ");
    EXPECT_EQ(Read(Load(dir / "list.two.bmp"), 0, style).substr(0, 8), "0 \"TWO  ");

    // A 1541 disk never lists sub-directories, even with a CBM entry that can be entered.
    fs::remove_all(dir);
    fs::create_directories(dir);
    auto d64 = TestDisk();
    DirEntry part = AddFile(*d64, {"PART", 0x85, {}});
    part.firstTrack() = 20;
    part.firstSector() = 0;
    d64->SectorPointer(20, 0)[0] = 20;
    d64->SectorPointer(20, 0)[1] = 1;
    ASSERT_TRUE(d64->EnterSubDirectory(3));
    d64->LeaveSubDirectory();
    ASSERT_TRUE(ExportBitmap(*d64, path.string(), false, true));
    EXPECT_EQ(Files(), 1);
}

TEST_F(DirectoryPictureExport, UnwritablePathReportsUnableToSaveFileWhenInteractive) {
    auto image = TestDisk();
    testing::RecordingInteraction ui;
    image->SetOwner(&ui);
    const std::string path = (dir / "missing" / "list.bmp").string();
    EXPECT_FALSE(ExportBitmap(*image, path, false, false));
    EXPECT_TRUE(ui.messages.empty());
    EXPECT_FALSE(ExportBitmap(*image, path, true, false));
    ASSERT_EQ(ui.messages.size(), 1u);
    EXPECT_EQ(ui.messages[0].text, "Unable to Save File");
}

} // namespace
} // namespace tessarind
