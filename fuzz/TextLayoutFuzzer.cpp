// Lays arbitrary bytes out as CBM text with every combination of switches and both widths,
// as the text viewer and the type command do, and opens them as the three kinds of text
// document. Cells must stay inside the screen, positions inside the text, and the walk that
// counts lines must agree with the walk that fills a screen.
//
// The first byte chooses the switches (bits 0-3), the width (bit 4: 80 columns) and the first
// shown line (bits 5-7, times 8); the rest is the text.

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <span>
#include <string>

#include "formats/TextDocument.h"
#include "model/FormatRegistry.h"
#include "text/PetsciiLayout.h"

using namespace tessarind;

namespace {

void Check(bool ok, const char* what) {
    if (ok) return;
    std::fprintf(stderr, "broken: %s\n", what);
    std::abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0) return 0;
    const uint8_t choice = data[0];
    const std::span<const uint8_t> text(data + 1, size - 1);
    TextLayoutOptions options;
    options.switches = {(choice & 1) != 0, (choice & 2) != 0, (choice & 4) != 0, (choice & 8) != 0};
    options.width = (choice & 0x10) ? 80 : 40;
    options.selectionFirst = text.size() / 3;
    options.selectionLast = text.size() / 2;
    const int firstLine = (choice >> 5) * 8;

    const int lines = LayoutText(text, options, [&](const TextCell& cell) {
        Check(cell.position < text.size(), "cell position inside the text");
        Check(cell.line >= 0 && cell.column >= 0, "cells at or after the top left");
        Check(options.switches.noLineWrap || cell.column < options.width, "cell inside the width");
    });
    Check(lines >= 1 && static_cast<size_t>(lines) <= text.size() + 1, "line count in bounds");
    const TextScreen screen = LayoutScreen(text, options, firstLine, 25);
    Check(screen.lineCount == lines, "both walks count the same lines");
    Check(screen.cells.size() == static_cast<size_t>(options.width) * 25, "screen size");
    for (const TextCell& cell : screen.cells)
        Check(cell.position == kNoPosition || cell.position < text.size(), "screen positions");
    const size_t at = PositionAt(text, options, firstLine + 3, 7);
    Check(at <= text.size(), "clicked position inside the text");
    const std::string host = LayoutAsHostText(text, options, (choice & 0x20) != 0);
    size_t hostLines = 0;
    for (char c : host)
        hostLines += c == '\n';
    Check(hostLines <= static_cast<size_t>(lines), "host lines no more than screen lines");

    for (int kind : {FormatId::Seq, FormatId::S00, FormatId::Text}) {
        TextDocument document(kind);
        if (document.OpenBytes("fuzz", text))
            Check(document.Text().size() <= text.size(), "a document never grows its text");
    }
    return 0;
}
