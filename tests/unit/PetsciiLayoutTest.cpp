#include "text/PetsciiLayout.h"

#include <gtest/gtest.h>
#include <string>
#include <vector>

#include "catalog/TextPicture.h"
#include "text/CbmFont.h"

namespace tessarind {
namespace {

using Bytes = std::vector<uint8_t>;

Bytes Text(std::initializer_list<std::string> parts) {
    Bytes out;
    for (const std::string& part : parts)
        out.insert(out.end(), part.begin(), part.end());
    return out;
}
std::string Code(uint8_t code) {
    return std::string(1, static_cast<char>(code));
}
std::string Repeat(char c, size_t n) {
    return std::string(n, c);
}

TextLayoutOptions Options(bool codes, bool wrap = true, int width = 40, bool blanks = true,
                          bool noLineWrap = false) {
    TextLayoutOptions options;
    options.switches = {blanks, codes, wrap, noLineWrap};
    options.width = width;
    options.foreground = PaletteRgb(CbmColour::LtBlue);
    return options;
}

TEST(PetsciiLayout, LinesAsAScreenShowsThem) {
    struct Case {
        const char* what;
        Bytes text;
        TextLayoutOptions options;
        std::string shown;
    };
    const std::string A38 = Repeat('A', 38);
    const Case cases[] = {
        {"90 letters wrap after 40", Text({Repeat('A', 90)}), Options(false),
         Repeat('A', 40) + "\n" + Repeat('A', 40) + "\n" + Repeat('A', 10) + "\n"},
        {"80 columns", Text({Repeat('A', 90)}), Options(false, true, 80),
         Repeat('A', 80) + "\n" + Repeat('A', 10) + "\n"},
        {"a word that would cross the edge moves down", Text({A38, " HELLO"}), Options(false),
         A38 + "\nHELLO\n"},
        {"without word wrap it is cut at the edge", Text({A38, " HELLO"}), Options(false, false),
         A38 + " H\nELLO\n"},
        {"a word longer than a line is not moved", Text({"XX ", Repeat('B', 45)}), Options(false),
         "XX " + Repeat('B', 37) + "\n" + Repeat('B', 8) + "\n"},
        {"a word that ends on the edge stays", Text({A38, " B"}), Options(false), A38 + " B\n"},
        {"carriage returns end lines", Text({"AB\rCD", Code(0x8D), "E\r"}), Options(false),
         "AB\nCD\nE\n"},
        {"home returns without clearing", Text({"ABC", Code(0x93), "X"}), Options(true), "XBC\n"},
        {"codes are characters when not interpreted", Text({"AB", Code(0x93), "X"}), Options(false),
         "AB?X\n"},
        {"delete steps back", Text({"AB", Code(0x14), "C"}), Options(true), "AC\n"},
        {"delete stays at column 0", Text({Code(0x14), "C"}), Options(true), "C\n"},
        {"delete acts inside quotes", Text({"\"A", Code(0x14), "B"}), Options(true), "\"B\n"},
        {"insert at column 0 goes to the previous line's end", Text({"A\r", Code(0x94), "Z"}),
         Options(true), "A" + Repeat(' ', 38) + "Z\n"},
        {"cursor down and up both go to the next line",
         Text({"AB", Code(0x11), "C", Code(0x91), "D"}), Options(true), "AB\nC\nD\n"},
        {"colour codes take no cell", Text({Code(0x1C), "A", Code(0x05), "B"}), Options(true),
         "AB\n"},
        {"inside quotes control codes are drawn", Text({"\"", Code(0x1C), "\"", Code(0x1C), "A"}),
         Options(true), "\"?\"A\n"},
        {"a return ends quote mode", Text({"\"\r", Code(0x1C), "A"}), Options(true), "\"\nA\n"},
        {"blank codes are blanks", Text({"A", Code(0x1D), "B", Code(0x9D), "C"}), Options(true),
         "A B C\n"},
        {"without blank codes cursor right does nothing", Text({"A", Code(0x1D), "B"}),
         Options(true, false, 40, false), "AB\n"},
        {"no line wrap runs past the edge", Text({Repeat('A', 45)}),
         Options(false, false, 40, true, true), Repeat('A', 45) + "\n"},
        {"nothing", Bytes{}, Options(false), ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(LayoutAsHostText(c.text, c.options, false), c.shown);
    }
}

TEST(PetsciiLayout, CellsCarryColourReverseAndSelection) {
    const Bytes text = Text({Code(0x1C), "A\"", Code(0x1C), "\"", Code(0x12), "R", Code(0x92),
                             "N\rB", Code(0x93), "X"});
    TextLayoutOptions options = Options(true);
    options.selectionFirst = 2; // the quote and the code inside
    options.selectionLast = 4;
    const TextScreen screen = LayoutScreen(text, options, 0, 3);
    EXPECT_EQ(screen.lineCount, 2);
    const uint32_t red = 0xA80000, blue = PaletteRgb(CbmColour::LtBlue);
    struct Expect {
        int row, column;
        uint8_t code;
        uint32_t foreground;
        bool reverse, selected;
        size_t position;
    };
    for (const Expect& e : {
             Expect{0, 0, 'X', red, false, false, 12}, // home drew over the A
             Expect{0, 1, '"', red, false, true, 2},
             Expect{0, 2, 0x1C, red, false, true, 3}, // drawn, not obeyed, inside quotes
             Expect{0, 3, '"', red, false, false, 4},
             Expect{0, 4, 'R', red, true, false, 6},
             Expect{0, 5, 'N', red, false, false, 8},
             Expect{1, 0, 'B', red, false, false, 10}, // the colour outlives the return
             Expect{1, 1, 0x20, blue, false, false, kNoPosition},
         }) {
        SCOPED_TRACE(::testing::Message() << e.row << "," << e.column);
        const TextCell& cell = screen.At(e.row, e.column);
        EXPECT_EQ(cell.code, e.code);
        EXPECT_EQ(cell.foreground, e.foreground);
        EXPECT_EQ(cell.reverse, e.reverse);
        EXPECT_EQ(cell.selected, e.selected);
        EXPECT_EQ(cell.position, e.position);
    }
    // The code inside quotes is one the reverse table draws swapped.
    EXPECT_TRUE(kReverseTable[screen.At(0, 2).code]);
    // Only the lines asked for are given.
    const TextScreen second = LayoutScreen(text, options, 1, 1);
    EXPECT_EQ(second.At(0, 0).code, 'B');
}

TEST(PetsciiLayout, ClicksMapToTextPositions) {
    const Bytes text = Text({"AB\rCD"});
    struct Case {
        int line, column;
        size_t position;
    };
    for (const Case& c : {Case{0, 0, 0}, Case{0, 1, 1}, Case{0, 20, 3}, Case{1, 1, 4},
                          Case{1, 5, 5}, Case{7, 0, 5}}) {
        SCOPED_TRACE(::testing::Message() << c.line << "," << c.column);
        EXPECT_EQ(PositionAt(text, Options(false), c.line, c.column), c.position);
    }
}

TEST(PetsciiLayout, ColourTableHasSixteenCodes) {
    int count = 0;
    for (int code = 0; code < 256; ++code)
        count += ColourOfCode(uint8_t(code)).has_value();
    EXPECT_EQ(count, 16);
    EXPECT_EQ(ColourOfCode(0x9E), 0xFCFC00u);
    EXPECT_EQ(ColourOfCode(0x95), 0x802C00u);
    EXPECT_FALSE(ColourOfCode(0x12));
}

TEST(TextPicture, ARedCodeDrawsARedLetter) {
    for (bool quoted : {false, true}) {
        SCOPED_TRACE(quoted);
        const Bytes text = quoted ? Text({"\"", Code(0x1C)}) : Text({" ", Code(0x1C), "A"});
        const TextScreen screen = LayoutScreen(text, Options(true), 0, 1);
        CbmTextStyle style;
        const Picture picture = RenderTextScreen(screen, style);
        ASSERT_EQ(picture.width, 40 * kNormalCellSize);
        ASSERT_EQ(picture.height, kNormalCellSize);
        // Cell 1 holds the red A, or the code drawn as its symbol: ink and paper swapped.
        const Glyph& glyph = CbmGlyph(kUpperCaseSet[quoted ? 0x1C : 'A']);
        const uint32_t ink = quoted ? style.background : 0xA80000;
        const uint32_t paper = quoted ? style.text : style.background;
        int inked = 0;
        for (int y = 0; y < kGlyphSize; ++y)
            for (int x = 0; x < kGlyphSize; ++x) {
                const bool set = glyph[size_t(y)] & (0x80 >> x);
                inked += set;
                EXPECT_EQ(picture.At(kNormalCellSize + x, y), set ? ink : paper);
            }
        EXPECT_GT(inked, 0);
        if (!quoted) {
            EXPECT_EQ(picture.At(0, 0), style.background);
        }
        EXPECT_EQ(picture.At(5 * kNormalCellSize, 3), style.background);
    }
}

} // namespace
} // namespace tessarind
