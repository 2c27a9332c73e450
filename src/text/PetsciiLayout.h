#pragma once
// Lays CBM text out as a C64 screen shows it: carriage returns, word wrap, the colour and
// cursor codes with quote mode, reverse video. One walk does it all; its cells are painted by
// the text view and printed by the command-line tool, so both always agree.

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "text/CbmCharset.h"

namespace tessarind {

// How a text is shown.
struct TextSwitches {
    bool spaceCodesAsBlanks = true; // cursor right/left and space are blank cells
    bool interpretCodes = false;    // colour, reverse and cursor codes act
    bool wordWrap = true;           // a word that would cross the right edge starts a new line
    bool noLineWrap = false;        // long lines run past the right edge instead of wrapping
};

// The foreground colour a colour code selects; none for other codes.
std::optional<uint32_t> ColourOfCode(uint8_t code);

// One drawn character cell.
struct TextCell {
    int line = 0;
    int column = 0;      // may reach past the width with noLineWrap
    size_t position = 0; // the text byte drawn here
    uint8_t code = 0x20; // the PETSCII code drawn (0x20 for blank cells)
    uint32_t foreground = 0;
    bool reverse = false; // reverse video was switched on
    bool selected = false;
};

struct TextLayoutOptions {
    TextSwitches switches;
    int width = 40;          // columns
    uint32_t foreground = 0; // the colour text starts in
    // Selected text positions first..last-1; nothing when last <= first.
    size_t selectionFirst = 0;
    size_t selectionLast = 0;
};

// Walks the whole text and hands every drawn cell, in walk order, to `cell` (when given).
// Later cells may land on earlier ones (home, delete). Returns the number of lines reached.
int LayoutText(std::span<const uint8_t> text, const TextLayoutOptions& options,
               const std::function<void(const TextCell&)>& cell);

// Visible lines as a grid: `rows` lines from `firstLine`, `options.width` cells each, the
// cells that were not drawn left as blanks (code 0x20, position npos).
struct TextScreen {
    int width = 0;
    int rows = 0;
    int lineCount = 0; // lines of the whole text
    std::vector<TextCell> cells;
    const TextCell& At(int row, int column) const {
        return cells[static_cast<size_t>(row) * static_cast<size_t>(width) +
                     static_cast<size_t>(column)];
    }
};
inline constexpr size_t kNoPosition = static_cast<size_t>(-1);
TextScreen LayoutScreen(std::span<const uint8_t> text, const TextLayoutOptions& options,
                        int firstLine, int rows);

// The text position a click at (line, column) selects: the first character laid out at or
// after that cell; the text's length past the last one.
size_t PositionAt(std::span<const uint8_t> text, const TextLayoutOptions& options, int line,
                  int column);

// The laid-out text as host text: one host line per screen line (trailing blanks cut), each
// cell as its listing character in the chosen case set, lines ended by "\n".
std::string LayoutAsHostText(std::span<const uint8_t> text, const TextLayoutOptions& options,
                             bool lowerCase);

} // namespace tessarind
