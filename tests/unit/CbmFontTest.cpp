#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <set>
#include <string>

#include "text/Settings.h"
#include "text/CbmCharset.h"
#include "text/CbmFont.h"

namespace tessarind {
namespace {

struct NamedSet {
    const char* name;
    const CaseTable& table;
};
const NamedSet kSets[] = {{"upper-case set", kUpperCaseSet},
                          {"lower/upper-case set", kLowerCaseSet}};

const Glyph& Drawn(const CaseTable& table, int code) {
    return CbmGlyph(table[static_cast<size_t>(code)]);
}

bool Blank(const Glyph& glyph) {
    return std::all_of(glyph.begin(), glyph.end(), [](uint8_t row) { return row == 0; });
}

std::string Hex(int code) {
    char text[8];
    std::snprintf(text, sizeof text, "%02X", code);
    return text;
}

// PETSCII repeats itself: 60-7F are the characters of C0-DF, E0-FE those of A0-BE and FF is
// DE. The codes below are the characters with a picture; every other code is a copy or a
// control code.
bool OwnCharacter(int code) {
    return (code >= 0x20 && code < 0x60) || (code >= 0xA0 && code < 0xE0);
}

TEST(CbmFont, EveryGlyphTheTablesReachIsDrawnAndOnlySpacesAreBlank) {
    const std::set<int> spaces = {0x20, 0xA0, 0xE0};
    for (const NamedSet& set : kSets) {
        for (int code = 0; code < 256; ++code) {
            SCOPED_TRACE(std::string(set.name) + " PETSCII " + Hex(code));
            EXPECT_EQ(Blank(Drawn(set.table, code)), spaces.count(code) == 1);
        }
    }
}

TEST(CbmFont, DifferentCharactersNeverShareAPicture) {
    for (const NamedSet& set : kSets) {
        for (int a = 0; a < 256; ++a) {
            for (int b = a + 1; b < 256; ++b) {
                if (!OwnCharacter(a) || !OwnCharacter(b)) continue;
                if (set.table[static_cast<size_t>(a)] == set.table[static_cast<size_t>(b)])
                    continue; // the set itself says they look alike
                EXPECT_NE(Drawn(set.table, a), Drawn(set.table, b))
                    << set.name << ": PETSCII " << Hex(a) << " and " << Hex(b);
            }
        }
    }
}

TEST(CbmFont, CopiesAndControlCodesShowTheirCharactersPicture) {
    for (const NamedSet& set : kSets) {
        SCOPED_TRACE(set.name);
        for (int code = 0x60; code < 0x80; ++code)
            EXPECT_EQ(Drawn(set.table, code), Drawn(set.table, code + 0x60)) << Hex(code);
        for (int code = 0xE0; code < 0xFF; ++code)
            EXPECT_EQ(Drawn(set.table, code), Drawn(set.table, code - 0x40)) << Hex(code);
        EXPECT_EQ(Drawn(set.table, 0xFF), Drawn(set.table, 0xDE));
        // Control codes borrow the upper-case set's picture 64 above them, in either set
        // (drawn reversed, see the renderer).
        for (int code = 0x00; code < 0x20; ++code) {
            EXPECT_EQ(Drawn(set.table, code), Drawn(kUpperCaseSet, code + 0x40)) << Hex(code);
            EXPECT_EQ(Drawn(set.table, code + 0x80), Drawn(kUpperCaseSet, code + 0xC0))
                << Hex(code);
        }
    }
}

TEST(CbmFont, LowerCaseSetSwapsOnlyTheLetters) {
    for (int code = 0x20; code < 0x60; ++code) {
        const bool letter = code >= 0x41 && code <= 0x5A;
        SCOPED_TRACE(Hex(code));
        if (!letter) {
            EXPECT_EQ(Drawn(kLowerCaseSet, code), Drawn(kUpperCaseSet, code));
            continue;
        }
        // Shifted letters are the capitals; unshifted ones small letters the other set lacks.
        EXPECT_EQ(Drawn(kLowerCaseSet, code + 0x20), Drawn(kUpperCaseSet, code));
        EXPECT_EQ(Drawn(kLowerCaseSet, code + 0x80), Drawn(kUpperCaseSet, code));
        for (int other = 0; other < 256; ++other)
            EXPECT_NE(Drawn(kLowerCaseSet, code), Drawn(kUpperCaseSet, other)) << Hex(other);
    }
}

uint32_t Named(const std::string& name) {
    for (const PaletteEntry& entry : kCbmPalette)
        if (name == entry.name) return entry.rgb();
    ADD_FAILURE() << "no colour named " << name;
    return 0xFFFFFFFF;
}

TEST(CbmCharset, PaletteAndColourSchemeFollowingUseCbmColors) {
    std::set<std::string> names;
    std::set<uint32_t> colours;
    for (const PaletteEntry& entry : kCbmPalette) {
        names.insert(entry.name);
        colours.insert(entry.rgb());
    }
    EXPECT_EQ(names.size(), 16u);
    EXPECT_EQ(colours.size(), 16u);
    EXPECT_EQ(Rgb(0x12, 0x34, 0x56), 0x123456u);

    const SystemColours system{0x010101, 0x020202, 0x030303, 0x040404, 0x050505, 0x060606};
    Settings settings;
    settings.Set(SettingId::UseCbmColors, 1);
    ColourScheme cbm = MakeColourScheme(settings, system);
    EXPECT_EQ(cbm.text, Named("Lt Blue"));
    EXPECT_EQ(cbm.background, Named("Blue"));
    EXPECT_EQ(cbm.selection, Named("White"));
    EXPECT_EQ(cbm.face, Named("Blue"));
    EXPECT_EQ(cbm.faceText, Named("Lt Blue"));
    EXPECT_EQ(cbm.grayText, Rgb(192, 192, 192));
    EXPECT_EQ(PaletteRgb(CbmColour::LtBlue), Named("Lt Blue"));
    EXPECT_EQ(PaletteRgb(CbmColour::DarkGrey), Named("Dark Grey"));

    settings.Set(SettingId::UseCbmColors, 0);
    ColourScheme plain = MakeColourScheme(settings, system);
    EXPECT_EQ(plain.text, system.windowText);
    EXPECT_EQ(plain.background, system.window);
    EXPECT_EQ(plain.selection, system.highlight);
    EXPECT_EQ(plain.face, system.buttonFace);
    EXPECT_EQ(plain.faceText, system.buttonText);
    EXPECT_EQ(plain.grayText, system.grayText);
}

} // namespace
} // namespace tessarind
