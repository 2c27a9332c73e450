#pragma once
// The "CBM 64/Qorbe" font: an 8 x 8 glyph set drawn for this program. Every view, tool and
// control that shows PETSCII draws these glyphs, 1:1 for the normal cell and with each pixel
// doubled for the large cell. A CaseTable (CbmCharset.h) picks the glyph for a PETSCII byte.
//
// Glyph codes:
//   20-3F  space, punctuation and digits, in ASCII order
//   40     @          41-5A  A-Z          5B  [    5D  ]    5E  up arrow    7F  left arrow
//   61-7A  a-z (reached through the lower/upper-case set only)
//   80     pound sign
//   81-9F  the graphics of PETSCII C1-DF: spade, the centred and shifted lines, arcs, frame
//          corners, diagonals, disc, heart, cross, ring, club, diamond, plus, left-half
//          checks, pi, triangle; 83 also serves C0, and 9D is the same line as 82
//   A0     stripes rising to the right (lower/upper-case set, PETSCII 7F and DF)
//   A1-BF  the block graphics of PETSCII A1-BF: halves, eighths, quarters, checks, tees,
//          bends, quadrants; A9 is a triangle and BA a frame corner in the upper-case set
//   C0     stripes falling to the right, C1 check mark (lower/upper-case set, PETSCII A9, BA)
// No table reaches 00-1F, 5C, 5F, 60, 7B-7E or C2-FF; they are blank.

#include <array>
#include <cstdint>

namespace tessarind {

inline constexpr char kCbmFontFace[] = "CBM 64/Qorbe";
inline constexpr int kGlyphSize = 8;

// One byte per pixel row, top row first; bit 7 is the leftmost pixel.
using Glyph = std::array<uint8_t, kGlyphSize>;

// The whole font, indexed by glyph code.
const std::array<Glyph, 256>& CbmFont();

inline const Glyph& CbmGlyph(uint8_t glyphCode) {
    return CbmFont()[glyphCode];
}

} // namespace tessarind
