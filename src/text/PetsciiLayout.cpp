#include "text/PetsciiLayout.h"

#include <algorithm>

#include "text/Petscii.h"

namespace tessarind {

namespace {

constexpr bool IsPrintable(uint8_t code) {
    return (code >= 0x20 && code <= 0x7F) || code >= 0xA0;
}

constexpr bool IsLineEnd(uint8_t code) {
    return code == 0x0D || code == 0x8D;
}

constexpr bool IsSpaceCode(uint8_t code) {
    return code == 0x1D || code == 0x20 || code == 0x9D;
}

// Where a word ends and how many of its bytes take a cell.
struct Word {
    size_t end = 0;
    int visible = 0;
};

Word MeasureWord(std::span<const uint8_t> text, size_t start, bool quote, bool interpret) {
    Word word{start, 0};
    for (size_t i = start; i < text.size(); ++i) {
        const uint8_t code = text[i];
        if (IsLineEnd(code) || IsSpaceCode(code)) {
            // A separator on its own is a word of one byte.
            if (i == start) {
                word.end = i + 1;
                word.visible = !interpret || quote || IsPrintable(code) ? 1 : 0;
                return word;
            }
            break;
        }
        if (code == '"') quote = !quote;
        if (!interpret || quote || IsPrintable(code)) ++word.visible;
        word.end = i + 1;
    }
    return word;
}

// The walk itself; `emit` gets every drawn cell.
template <class Emit>
int Walk(std::span<const uint8_t> text, const TextLayoutOptions& options, Emit&& emit) {
    const TextSwitches& sw = options.switches;
    const int width = std::max(1, options.width);
    int line = 0, column = 0, lastLine = 0;
    uint32_t foreground = options.foreground;
    bool reverse = false, quote = false;

    auto nextLine = [&] {
        ++line;
        column = 0;
        lastLine = std::max(lastLine, line);
    };
    auto draw = [&](size_t position, uint8_t code) {
        TextCell cell;
        cell.line = line;
        cell.column = column;
        cell.position = position;
        cell.code = code;
        cell.foreground = foreground;
        cell.reverse = reverse;
        cell.selected = position >= options.selectionFirst && position < options.selectionLast;
        emit(cell);
        ++column;
        if (column >= width && !sw.noLineWrap) nextLine();
    };

    size_t pos = 0;
    while (pos < text.size()) {
        const uint8_t code = text[pos];
        if (IsLineEnd(code)) {
            nextLine();
            reverse = false;
            quote = false;
            ++pos;
            continue;
        }
        if (sw.spaceCodesAsBlanks && IsSpaceCode(code)) {
            draw(pos, 0x20);
            ++pos;
            continue;
        }
        const Word word = MeasureWord(text, pos, quote, sw.interpretCodes);
        if (sw.wordWrap && word.visible < width && word.visible > width - column) nextLine();
        for (; pos < word.end; ++pos) {
            const uint8_t byte = text[pos];
            if (!sw.interpretCodes || IsPrintable(byte)) {
                draw(pos, byte);
                if (byte == '"') quote = !quote;
                continue;
            }
            if (byte == 0x14) {
                if (column > 0) --column;
                continue;
            }
            if (quote) {
                // Inside quotes the screen editor shows control codes as characters.
                draw(pos, byte);
                continue;
            }
            if (std::optional<uint32_t> colour = ColourOfCode(byte)) {
                foreground = *colour;
                continue;
            }
            switch (byte) {
            case 0x12:
                reverse = true;
                break;
            case 0x92:
                reverse = false;
                break;
            case 0x11:
            case 0x91:
                nextLine();
                break;
            case 0x13:
            case 0x93:
                // Home and clear alike: nothing drawn is erased.
                line = 0;
                column = 0;
                break;
            case 0x94:
                if (column > 0) {
                    --column;
                } else if (line > 0) {
                    --line;
                    column = width - 1;
                }
                break;
            default:
                break;
            }
        }
    }
    return lastLine + 1;
}

} // namespace

std::optional<uint32_t> ColourOfCode(uint8_t code) {
    switch (code) {
    case 0x05:
        return Rgb(0xFF, 0xFF, 0xFF);
    case 0x1C:
        return Rgb(0xA8, 0x00, 0x00);
    case 0x1E:
        return Rgb(0x00, 0xA8, 0x00);
    case 0x1F:
        return Rgb(0x00, 0x00, 0xA8);
    case 0x81:
        return Rgb(0xA8, 0x54, 0x00);
    case 0x90:
        return Rgb(0x00, 0x00, 0x00);
    case 0x95:
        return Rgb(0x80, 0x2C, 0x00);
    case 0x96:
        return Rgb(0xFC, 0x54, 0x54);
    case 0x97:
        return Rgb(0x54, 0x54, 0x54);
    case 0x98:
        return Rgb(0x80, 0x80, 0x80);
    case 0x99:
        return Rgb(0x54, 0xFC, 0x54);
    case 0x9A:
        return Rgb(0x54, 0x54, 0xFC);
    case 0x9B:
        return Rgb(0xA8, 0xA8, 0xA8);
    case 0x9C:
        return Rgb(0xA8, 0x00, 0xA8);
    case 0x9E:
        return Rgb(0xFC, 0xFC, 0x00);
    case 0x9F:
        return Rgb(0x54, 0xFC, 0xFC);
    default:
        return std::nullopt;
    }
}

int LayoutText(std::span<const uint8_t> text, const TextLayoutOptions& options,
               const std::function<void(const TextCell&)>& cell) {
    return Walk(text, options, [&](const TextCell& drawn) {
        if (cell) cell(drawn);
    });
}

TextScreen LayoutScreen(std::span<const uint8_t> text, const TextLayoutOptions& options,
                        int firstLine, int rows) {
    TextScreen screen;
    screen.width = std::max(1, options.width);
    screen.rows = std::max(0, rows);
    TextCell blank;
    blank.position = kNoPosition;
    blank.foreground = options.foreground;
    screen.cells.assign(static_cast<size_t>(screen.width) * static_cast<size_t>(screen.rows),
                        blank);
    for (int row = 0; row < screen.rows; ++row)
        for (int column = 0; column < screen.width; ++column) {
            TextCell& cell = screen.cells[static_cast<size_t>(row * screen.width + column)];
            cell.line = firstLine + row;
            cell.column = column;
        }
    screen.lineCount = Walk(text, options, [&](const TextCell& drawn) {
        const int row = drawn.line - firstLine;
        if (row < 0 || row >= screen.rows || drawn.column >= screen.width) return;
        screen.cells[static_cast<size_t>(row * screen.width + drawn.column)] = drawn;
    });
    return screen;
}

size_t PositionAt(std::span<const uint8_t> text, const TextLayoutOptions& options, int line,
                  int column) {
    size_t found = text.size();
    bool done = false;
    Walk(text, options, [&](const TextCell& drawn) {
        if (done) return;
        if (drawn.line > line || (drawn.line == line && drawn.column >= column)) {
            found = drawn.position;
            done = true;
        }
    });
    return found;
}

std::string LayoutAsHostText(std::span<const uint8_t> text, const TextLayoutOptions& options,
                             bool lowerCase) {
    std::vector<std::string> lines;
    const int count = Walk(text, options, [&](const TextCell& drawn) {
        if (lines.size() <= static_cast<size_t>(drawn.line))
            lines.resize(static_cast<size_t>(drawn.line) + 1);
        std::string& row = lines[static_cast<size_t>(drawn.line)];
        const size_t column = static_cast<size_t>(drawn.column);
        if (row.size() <= column) row.resize(column + 1, ' ');
        row[column] = ListingCharacter(drawn.code, lowerCase);
    });
    if (text.empty()) return {};
    lines.resize(static_cast<size_t>(count));
    // The line a final carriage return (or a full last line) opens holds nothing.
    if (lines.size() > 1 && lines.back().empty()) lines.pop_back();
    std::string out;
    for (std::string& row : lines) {
        row.erase(row.find_last_not_of(' ') + 1);
        out += row;
        out += '\n';
    }
    return out;
}

} // namespace tessarind
