#include <gtest/gtest.h>

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
#include "text/DirectoryPicture.h"

namespace tessarind {
namespace {

namespace fs = std::filesystem;
using testing::AddFile;
using testing::BlankD64;
using testing::Pattern;

std::unique_ptr<D64Image> TestDisk() {
    auto image = BlankD64("TEST DISK", "AB 2A");
    EXPECT_TRUE(AddFile(*image, {"GAME", 0x82, Pattern(12 * 254)}));
    EXPECT_TRUE(AddFile(*image, {"LOCKED", 0xC2, Pattern(3 * 254, 2)}));
    EXPECT_TRUE(AddFile(*image, {"NOTES", 0x01, Pattern(100, 3)})); // open SEQ
    return image;
}

DirectoryViewport Whole(size_t rows) {
    DirectoryViewport viewport;
    viewport.rows = static_cast<int>(rows);
    return viewport;
}

int Cell(const CbmTextStyle& style) { return style.cellSize; }

// The glyph in a cell read back from the pixels: set where the pixel is `ink`. Every pixel
// must be `ink` or `paper`, and each font pixel a solid square of the cell's scale.
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
            if (x % scale == 0 && y % scale == 0) {
                if (pixel == ink) bits |= mask;
            } else if (((bits & mask) != 0) != (pixel == ink)) {
                return std::nullopt; // the font pixel is not a solid square
            }
        }
    }
    return glyph;
}

// A row read back as text: each cell matched against the pictures of PETSCII 20-5F (which are
// ASCII), normal or reversed; '~' where nothing matches. Reversed cells are listed in `reversed`.
struct ReadRow {
    std::string text;
    std::string reversed; // 'R' for a reversed cell, '.' otherwise
};

ReadRow Read(const Picture& picture, int row, const CbmTextStyle& style, uint32_t ink,
             uint32_t paper) {
    ReadRow out;
    for (int column = 0; column < kListingColumns; ++column) {
        char found = '~', how = '.';
        for (int pass = 0; pass < 2 && found == '~'; ++pass) {
            std::optional<Glyph> glyph = pass == 0 ? ReadCell(picture, column, row, Cell(style), ink, paper)
                                                   : ReadCell(picture, column, row, Cell(style), paper, ink);
            if (!glyph) continue;
            for (int code = 0x20; code < 0x60; ++code) {
                if (CbmGlyph((*style.caseTable)[static_cast<size_t>(code)]) == *glyph) {
                    found = static_cast<char>(code);
                    how = pass == 0 ? '.' : 'R';
                    break;
                }
            }
        }
        out.text.push_back(found);
        out.reversed.push_back(how);
    }
    return out;
}

ReadRow Read(const Picture& picture, int row, const CbmTextStyle& style) {
    return Read(picture, row, style, style.text, style.background);
}

TEST(DirectoryPicture, DrawsTheListingCellByCellWithTheHeaderReversed) {
    auto image = TestDisk();
    CbmTextStyle style;
    std::vector<ListingRow> rows = ListingRows(*image);
    ASSERT_EQ(rows.size(), 5u);
    Picture picture = RenderDirectory(rows, style, Whole(rows.size()));
    EXPECT_EQ(picture.width, 28 * 8);
    EXPECT_EQ(picture.height, 5 * 8);

    // "0" and the blank after it normal, the rest of the header reversed up to the DOS type.
    ReadRow header = Read(picture, 0, style);
    EXPECT_EQ(header.text, "0 \"TEST DISK       \" AB 2A  ");
    EXPECT_EQ(header.reversed, "..RRRRRRRRRRRRRRRRRRRRRRRR..");
    // The quote at column 2 in swapped colours, pixel for pixel.
    EXPECT_EQ(ReadCell(picture, 2, 0, 8, style.background, style.text), CbmGlyph(kUpperCaseSet['"']));

    EXPECT_EQ(Read(picture, 1, style).text, "12   \"GAME\"             PRG ");
    EXPECT_EQ(Read(picture, 2, style).text, "3    \"LOCKED\"           PRG<");
    EXPECT_EQ(Read(picture, 3, style).text, "1    \"NOTES\"           *SEQ ");
    EXPECT_EQ(Read(picture, 4, style).text, "648 BLOCKS FREE.            ");
    for (int row = 1; row < 5; ++row)
        EXPECT_EQ(Read(picture, row, style).reversed, std::string(28, '.')) << row;
    // A letter's pixels are its glyph.
    EXPECT_EQ(ReadCell(picture, 6, 1, 8, style.text, style.background), CbmGlyph(kUpperCaseSet['G']));
}

TEST(DirectoryPicture, LargeCellsDoubleEveryPixel) {
    auto image = TestDisk();
    CbmTextStyle normal;
    CbmTextStyle large = normal;
    large.cellSize = kLargeCellSize;
    Picture small = RenderDirectory(*image, normal, Whole(6));
    Picture big = RenderDirectory(*image, large, Whole(6));
    ASSERT_EQ(big.width, 2 * small.width);
    ASSERT_EQ(big.height, 2 * small.height);
    EXPECT_EQ(big.width, 28 * 16);
    for (int y = 0; y < big.height; ++y)
        for (int x = 0; x < big.width; ++x)
            ASSERT_EQ(big.At(x, y), small.At(x / 2, y / 2)) << x << "," << y;
    EXPECT_EQ(Read(big, 1, large).text, "12   \"GAME\"             PRG ");
}

TEST(DirectoryPicture, LowerCaseSetChangesOnlyTheLetterCells) {
    auto image = TestDisk();
    CbmTextStyle upper;
    CbmTextStyle lower = upper;
    lower.caseTable = &kLowerCaseSet;
    std::vector<ListingRow> rows = ListingRows(*image);
    Picture a = RenderDirectory(rows, upper, Whole(rows.size()));
    Picture b = RenderDirectory(rows, lower, Whole(rows.size()));
    int letters = 0;
    for (size_t r = 0; r < rows.size(); ++r) {
        for (size_t c = 0; c < rows[r].cells.size(); ++c) {
            const ListingCell& cell = rows[r].cells[c];
            const bool letter = cell.code >= 0x41 && cell.code <= 0x5A;
            letters += letter;
            const uint32_t ink = cell.reverse ? upper.background : upper.text;
            const uint32_t paper = cell.reverse ? upper.text : upper.background;
            std::optional<Glyph> before = ReadCell(a, static_cast<int>(c), static_cast<int>(r), 8, ink, paper);
            std::optional<Glyph> after = ReadCell(b, static_cast<int>(c), static_cast<int>(r), 8, ink, paper);
            ASSERT_TRUE(before && after);
            EXPECT_EQ(*after, CbmGlyph(kLowerCaseSet[cell.code]));
            EXPECT_EQ(*before != *after, letter) << "row " << r << " column " << c;
        }
    }
    EXPECT_GT(letters, 20);
    EXPECT_EQ(Read(b, 4, lower).text, "648 BLOCKS FREE.            "); // read through the same set
}

TEST(DirectoryPicture, SelectedEntriesAreFilledAndDrawnInTheBackgroundColour) {
    auto image = TestDisk();
    CbmTextStyle style;
    std::vector<ListingRow> rows = ListingRows(*image);
    Picture plain = RenderDirectory(rows, style, Whole(rows.size()));
    DirectoryViewport viewport = Whole(rows.size());
    viewport.selectionFirst = 1;
    viewport.selectionLast = 2;
    Picture selected = RenderDirectory(rows, style, viewport);

    for (int row : {2, 3}) { // entries 1 and 2
        ReadRow read = Read(selected, row, style, style.background, style.selection);
        EXPECT_EQ(read.text, Read(plain, row, style).text) << row;
        // The whole row width, past the last character too, holds only the two colours.
        for (int y = row * 8; y < row * 8 + 8; ++y)
            for (int x = 0; x < selected.width; ++x) {
                const uint32_t p = selected.At(x, y);
                ASSERT_TRUE(p == style.selection || p == style.background) << x << "," << y;
            }
    }
    for (int y = 0; y < 2 * 8; ++y) // header and entry 0 untouched
        for (int x = 0; x < selected.width; ++x) ASSERT_EQ(selected.At(x, y), plain.At(x, y));

    // A range reaching beyond the entries never marks the header or the free line.
    viewport.selectionFirst = -1;
    viewport.selectionLast = 100;
    Picture all = RenderDirectory(rows, style, viewport);
    EXPECT_EQ(Read(all, 0, style).reversed, "..RRRRRRRRRRRRRRRRRRRRRRRR..");
    EXPECT_EQ(Read(all, 4, style).text, "648 BLOCKS FREE.            ");
    EXPECT_EQ(Read(all, 1, style, style.background, style.selection).text,
              "12   \"GAME\"             PRG ");
}

TEST(DirectoryPicture, ScrollingStartsAtAnEntryWithoutTheHeader) {
    auto image = TestDisk();
    CbmTextStyle style;
    DirectoryViewport viewport;
    viewport.position = 1;
    viewport.rows = 5;
    Picture picture = RenderDirectory(*image, style, viewport);
    ASSERT_EQ(picture.height, 5 * 8);
    EXPECT_EQ(Read(picture, 0, style).text, "3    \"LOCKED\"           PRG<");
    EXPECT_EQ(Read(picture, 1, style).text, "1    \"NOTES\"           *SEQ ");
    EXPECT_EQ(Read(picture, 2, style).text, "648 BLOCKS FREE.            ");
    EXPECT_EQ(Read(picture, 3, style).text, std::string(28, ' ')); // below the list
    EXPECT_EQ(Read(picture, 4, style).text, std::string(28, ' '));

    viewport.position = 40; // beyond the list: only background
    Picture empty = RenderDirectory(*image, style, viewport);
    EXPECT_EQ(std::set<uint32_t>(empty.pixels.begin(), empty.pixels.end()),
              std::set<uint32_t>{style.background});
}

TEST(DirectoryPicture, ControlCodesAreDrawnReversedUnlessPlain) {
    CbmTextStyle style;
    auto draw = [&](uint8_t code, bool reverse, const CbmTextStyle& s) {
        Picture cell(8, 8, 0);
        DrawCbmChar(cell, 0, 0, code, reverse, s);
        return cell;
    };
    // Colour 0x05 (white) shows the "E" picture in swapped colours.
    EXPECT_EQ(ReadCell(draw(0x05, false, style), 0, 0, 8, style.background, style.text),
              CbmGlyph(kUpperCaseSet['E']));
    EXPECT_EQ(draw(0x05, true, style).pixels, draw(0x45, false, style).pixels); // swapped twice
    EXPECT_EQ(draw(0x92, false, style).pixels, draw(0xD2, true, style).pixels);
    CbmTextStyle plain = style;
    plain.plain = true;
    EXPECT_EQ(draw(0x05, false, plain).pixels, draw(0x45, false, plain).pixels);

    // Drawing clips at the picture's edges: only the overlap changes.
    Picture small(5, 3, 7);
    DrawCbmChar(small, -4, -6, 0xA6, false, style); // checks; (0, 0) is its pixel (4, 6)
    DrawCbmChar(small, 3, 1, 0x41, false, style);   // "A"; its first two rows are clear at left
    const Glyph& checks = CbmGlyph(kUpperCaseSet[0xA6]);
    EXPECT_EQ(small.At(0, 0), (checks[6] & 0x08) ? style.text : style.background);
    EXPECT_EQ(small.At(1, 0), (checks[6] & 0x04) ? style.text : style.background);
    EXPECT_NE(small.At(0, 0), small.At(1, 0));
    EXPECT_EQ(small.At(4, 0), 7u);
    EXPECT_EQ(small.At(0, 2), 7u);
    EXPECT_EQ(small.At(3, 1), style.background);
    EXPECT_EQ(small.At(4, 2), style.background);
}

TEST(DirectoryPicture, CbmColoursOrTheSystemScheme) {
    auto image = TestDisk();
    const SystemColours system{0x101010, 0xF0F0F0, 0x2040A0, 0xC0C0C0, 0, 0x808080};
    for (bool cbm : {true, false}) {
        SCOPED_TRACE(cbm ? "CBM colours" : "system colours");
        ColourScheme scheme = MakeColourScheme(cbm, system);
        CbmTextStyle style;
        style.text = scheme.text;
        style.background = scheme.background;
        style.selection = scheme.selection;
        DirectoryViewport viewport = Whole(5);
        viewport.selectionFirst = viewport.selectionLast = 0;
        Picture picture = RenderDirectory(*image, style, viewport);
        EXPECT_EQ(std::set<uint32_t>(picture.pixels.begin(), picture.pixels.end()),
                  (std::set<uint32_t>{scheme.text, scheme.background, scheme.selection}));
        EXPECT_EQ(Read(picture, 0, style).text, "0 \"TEST DISK       \" AB 2A  ");
        EXPECT_EQ(picture.At(0, 8), scheme.selection); // entry 0 is selected
        EXPECT_EQ(picture.At(8, 0), scheme.background); // the blank after "0"
        EXPECT_EQ(picture.At(20 * 8, 0), scheme.text);  // the reversed blank at column 20
    }
}

// ---- Bitmap files ---------------------------------------------------------------------------

uint32_t U32(const std::vector<uint8_t>& b, size_t at) {
    if (at + 4 > b.size()) {
        ADD_FAILURE() << "read past the end at " << at;
        return 0;
    }
    return b[at] | b[at + 1] << 8 | b[at + 2] << 16 | static_cast<uint32_t>(b[at + 3]) << 24;
}

uint16_t U16(const std::vector<uint8_t>& b, size_t at) {
    return static_cast<uint16_t>(U32(b, at) & 0xFFFF);
}

// Reads a bitmap as EncodeBitmap writes it, checking every header field on the way.
Picture DecodeBitmap(const std::vector<uint8_t>& b) {
    EXPECT_GE(b.size(), 66u);
    if (b.size() < 66) return {};
    EXPECT_EQ(b[0], 'B');
    EXPECT_EQ(b[1], 'M');
    const int width = static_cast<int>(U32(b, 18));
    const int height = static_cast<int>(U32(b, 22));
    EXPECT_EQ(U32(b, 2), b.size());
    EXPECT_EQ(U32(b, 2), 66u + static_cast<uint32_t>(width * height * 4));
    EXPECT_EQ(U16(b, 6), 0);
    EXPECT_EQ(U16(b, 8), 0);
    EXPECT_EQ(U32(b, 10), 66u);
    EXPECT_EQ(U32(b, 14), 40u);
    EXPECT_GT(height, 0); // bottom-up
    EXPECT_EQ(U16(b, 26), 1);
    EXPECT_EQ(U16(b, 28), 32);
    EXPECT_EQ(U32(b, 30), 3u); // bit fields
    EXPECT_EQ(U32(b, 34), static_cast<uint32_t>(width * height * 4));
    EXPECT_EQ(U32(b, 38), 2835u);
    EXPECT_EQ(U32(b, 42), 2835u);
    EXPECT_EQ(U32(b, 54), 0x00FF0000u);
    EXPECT_EQ(U32(b, 58), 0x0000FF00u);
    EXPECT_EQ(U32(b, 62), 0x000000FFu);
    if (width <= 0 || height <= 0 || b.size() != 66u + static_cast<size_t>(width) * height * 4) return {};
    Picture picture(width, height, 0);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            picture.pixels[static_cast<size_t>(y * width + x)] =
                U32(b, 66 + (static_cast<size_t>(height - 1 - y) * width + x) * 4);
    return picture;
}

TEST(DirectoryPictureBitmap, HeaderFieldsAndRowsBottomUp) {
    Picture picture(3, 2, 0);
    picture.pixels = {0x112233, 0x445566, 0x778899, 0xAABBCC, 0xDDEEFF, 0x010203};
    std::vector<uint8_t> bytes = EncodeBitmap(picture);
    ASSERT_EQ(bytes.size(), 66u + 3 * 2 * 4);
    // The bottom row comes first, each pixel blue, green, red, 0.
    EXPECT_EQ(std::vector<uint8_t>(bytes.begin() + 66, bytes.begin() + 70),
              (std::vector<uint8_t>{0xCC, 0xBB, 0xAA, 0x00}));
    Picture back = DecodeBitmap(bytes);
    EXPECT_EQ(back.pixels, picture.pixels);

    Picture broken(3, 2, 0);
    broken.pixels.pop_back();
    EXPECT_TRUE(EncodeBitmap(broken).empty());
    EXPECT_TRUE(EncodeBitmap(Picture()).empty());
}

class DirectoryPictureExport : public ::testing::Test {
protected:
    void SetUp() override {
        const ::testing::TestInfo* info = ::testing::UnitTest::GetInstance()->current_test_info();
        dir = fs::path(::testing::TempDir()) / (std::string("tessarind-bmp-") + info->name());
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

    fs::path dir;
};

TEST_F(DirectoryPictureExport, WholeListingInBothCellSizes) {
    auto image = TestDisk();
    for (int cell : {kNormalCellSize, kLargeCellSize}) {
        SCOPED_TRACE(cell);
        BitmapExportOptions options;
        options.style.cellSize = cell;
        const fs::path path = dir / "list.bmp";
        ASSERT_TRUE(ExportBitmap(*image, path.string(), false, false, options));
        Picture picture = Load(path);
        EXPECT_EQ(picture.width, 28 * cell);
        EXPECT_EQ(picture.height, 5 * cell);
        const CbmTextStyle& style = options.style;
        EXPECT_EQ(Read(picture, 0, style).text, "0 \"TEST DISK       \" AB 2A  ");
        EXPECT_EQ(ReadCell(picture, 2, 0, cell, style.background, style.text), CbmGlyph(kUpperCaseSet['"']));
        EXPECT_EQ(Read(picture, 2, style).text, "3    \"LOCKED\"           PRG<");
        EXPECT_EQ(Read(picture, 4, style).text, "648 BLOCKS FREE.            ");
    }
}

TEST_F(DirectoryPictureExport, SelectionOnlySavesTheSelectedRowsUnhighlighted) {
    auto image = TestDisk();
    BitmapExportOptions options;
    options.style.caseTable = &kLowerCaseSet;
    options.selectionOnly = true;
    options.selectionFirst = 1;
    options.selectionLast = 2;
    const fs::path path = dir / "sel.bmp";
    ASSERT_TRUE(ExportBitmap(*image, path.string(), false, false, options));
    Picture picture = Load(path);
    EXPECT_EQ(picture.height, 2 * 8);
    EXPECT_EQ(Read(picture, 0, options.style).text, "3    \"LOCKED\"           PRG<");
    EXPECT_EQ(Read(picture, 1, options.style).text, "1    \"NOTES\"           *SEQ ");
    EXPECT_EQ(ReadCell(picture, 6, 0, 8, options.style.text, options.style.background),
              CbmGlyph(kLowerCaseSet['L']));

    options.selectionFirst = 5; // nothing selected: the whole list
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
    // A partition of `blocks` at a list position, entered and named.
    auto makePartition = [&](int at, const char* name, long blocks) {
        sizes.blocks = blocks;
        ASSERT_TRUE(image->CreateSubDirectory(at));
        ASSERT_TRUE(image->EnterSubDirectory(at));
        std::copy_n(name, std::strlen(name), image->DiskNamePointer());
    };
    makePartition(0, "ONE", 400);
    ASSERT_TRUE(AddFile(*image, {"INSIDE", 0x81, Pattern(40)}));
    makePartition(1, "DEEP", 80); // a partition inside ONE
    ASSERT_TRUE(image->LeaveSubDirectory());
    ASSERT_TRUE(image->LeaveSubDirectory());
    makePartition(1, "TWO", 120);
    ASSERT_TRUE(image->LeaveSubDirectory());
    ASSERT_TRUE(AddFile(*image, {"LAST", 0x82, Pattern(10)}));

    const fs::path path = dir / "list.bmp";
    CbmTextStyle style;
    ASSERT_TRUE(ExportBitmap(*image, path.string(), false, false));
    EXPECT_EQ(std::distance(fs::directory_iterator(dir), fs::directory_iterator()), 1);

    ASSERT_TRUE(ExportBitmap(*image, path.string(), false, true));
    EXPECT_TRUE(image->DirStack().empty()); // every level left again
    // Named like exported files: the disk name converted to a host name.
    EXPECT_EQ(Read(Load(path), 0, style).text.substr(0, 8), "0 \"MAIN ");
    EXPECT_EQ(Read(Load(dir / "list.one.bmp"), 0, style).text.substr(0, 8), "0 \"ONE  ");
    EXPECT_EQ(Read(Load(dir / "list.one.bmp"), 1, style).text.substr(0, 13), "1    \"INSIDE\"");
    EXPECT_EQ(Read(Load(dir / "list.deep.bmp"), 0, style).text.substr(0, 8), "0 \"DEEP ");
    EXPECT_EQ(Read(Load(dir / "list.two.bmp"), 0, style).text.substr(0, 8), "0 \"TWO  ");
    EXPECT_EQ(std::distance(fs::directory_iterator(dir), fs::directory_iterator()), 4);
}

TEST_F(DirectoryPictureExport, ImagesWithoutSubDirectoryTypesStayOnOneLevel) {
    // A 1541 disk never lists sub-directories, even with an entry of type CBM.
    auto image = TestDisk();
    DirEntry part = AddFile(*image, {"PART", 0x85, {}});
    part.firstTrack() = 20;
    part.firstSector() = 0;
    image->SectorPointer(20, 0)[0] = 20;
    image->SectorPointer(20, 0)[1] = 1;
    ASSERT_TRUE(image->EnterSubDirectory(3)); // it can be entered...
    image->LeaveSubDirectory();
    ASSERT_TRUE(ExportBitmap(*image, (dir / "list.bmp").string(), false, true));
    EXPECT_EQ(std::distance(fs::directory_iterator(dir), fs::directory_iterator()), 1); // ...but is not
}

TEST_F(DirectoryPictureExport, UnwritablePathReportsUnableToSaveFile) {
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
