#include "catalog/DirectoryPicture.h"

#include <algorithm>
#include <span>

#include "model/DirectoryWalk.h"
#include "model/DiskImage.h"
#include "model/SafeFile.h"
#include "text/CbmFont.h"
#include "text/Petscii.h"

namespace tessarind {

namespace {

// A listing picture holds at most this many pixels (256 MiB): far more than the longest
// directory needs, and well inside the 32-bit sizes of a bitmap file.
constexpr size_t kMaxPicturePixels = size_t{64} * 1024 * 1024;

// Bitmap file layout: file header, info header, then the three colour masks.
constexpr uint32_t kFileHeaderSize = 14;
constexpr uint32_t kInfoHeaderSize = 40;
constexpr uint32_t kPixelOffset = kFileHeaderSize + kInfoHeaderSize + 3 * 4;
constexpr uint32_t kBitFields = 3;
// 72 dots per inch; the picture has no physical size, this is what viewers assume anyway.
constexpr uint32_t kPixelsPerMetre = 2835;

// Screen pixels per font pixel: 1 for the normal cell, 2 for the large one, at most 8.
int Scale(const CbmTextStyle& style) {
    return std::clamp(style.cellSize / kGlyphSize, 1, 8);
}
int CellSize(const CbmTextStyle& style) {
    return Scale(style) * kGlyphSize;
}

// Rows of `cell` pixels that fit in a 28-cell-wide picture of at most kMaxPicturePixels.
size_t MaxRows(int cell) {
    return kMaxPicturePixels / (static_cast<size_t>(kListingColumns) * static_cast<size_t>(cell) *
                                static_cast<size_t>(cell));
}

void FillRect(Picture& picture, int x, int y, int w, int h, uint32_t colour) {
    const int x0 = std::max(x, 0), x1 = std::min(x + w, picture.width);
    const int y0 = std::max(y, 0), y1 = std::min(y + h, picture.height);
    for (int py = y0; py < y1; ++py)
        std::fill_n(picture.pixels.begin() + static_cast<ptrdiff_t>(py) * picture.width + x0,
                    std::max(0, x1 - x0), colour);
}

void Put32(std::vector<uint8_t>& out, uint32_t v) {
    for (int i = 0; i < 4; ++i)
        out.push_back(static_cast<uint8_t>(v >> (8 * i)));
}

void Put16(std::vector<uint8_t>& out, uint16_t v) {
    out.push_back(static_cast<uint8_t>(v));
    out.push_back(static_cast<uint8_t>(v >> 8));
}

bool SavePicture(DiskImage& image, const std::string& path, const Picture& picture,
                 bool interactive) {
    bool ok = false;
    if (picture.width > 0 && picture.height > 0) {
        std::vector<uint8_t> bytes = EncodeBitmap(picture);
        ok = !bytes.empty() && WriteWholeFile(path, bytes) == WriteResult::Ok;
    }
    if (!ok && interactive) ReportError(image.owner(), "Unable to Save File");
    return ok;
}

// The chosen path with its last three characters replaced by the entered level's disk name
// and ".bmp": "list.bmp" and a level named "GAMES" give "list.GAMES.bmp".
std::string SubDirectoryPath(const std::string& path, DiskImage& image) {
    std::string name = HostFileName(image.DiskName(), 256, image.settings());
    while (!name.empty() && name.back() == ' ')
        name.pop_back();
    return path.substr(0, path.size() >= 3 ? path.size() - 3 : 0) + name + ".bmp";
}

} // namespace

Picture::Picture(int w, int h, uint32_t fill) {
    if (w <= 0 || h <= 0) return;
    width = w;
    height = h;
    pixels.assign(static_cast<size_t>(w) * static_cast<size_t>(h), fill);
}

uint32_t Picture::At(int x, int y) const {
    if (x < 0 || y < 0 || x >= width || y >= height) return 0;
    return pixels[static_cast<size_t>(y) * static_cast<size_t>(width) + static_cast<size_t>(x)];
}

void DrawCbmChar(Picture& picture, int x, int y, uint8_t code, bool reverse,
                 const CbmTextStyle& style) {
    const CaseTable& table = style.caseTable ? *style.caseTable : kUpperCaseSet;
    const Glyph& glyph = CbmGlyph(table[code]);
    // A reverse cell holding a code the reverse table marks is swapped twice: control codes
    // stand out from whatever surrounds them.
    const bool swapped = reverse != (!style.plain && kReverseTable[code]);
    const uint32_t ink = swapped ? style.background : style.text;
    const uint32_t paper = swapped ? style.text : style.background;
    const int scale = Scale(style);
    for (int row = 0; row < kGlyphSize; ++row) {
        const uint8_t bits = glyph[static_cast<size_t>(row)];
        for (int col = 0; col < kGlyphSize; ++col) {
            const bool set = (bits & (0x80 >> col)) != 0;
            FillRect(picture, x + col * scale, y + row * scale, scale, scale, set ? ink : paper);
        }
    }
}

Picture RenderDirectory(const std::vector<ListingRow>& rows, const CbmTextStyle& style,
                        const DirectoryViewport& viewport) {
    const int cell = CellSize(style);
    const int visible =
        static_cast<int>(std::min(static_cast<size_t>(std::max(viewport.rows, 0)), MaxRows(cell)));
    Picture picture(kListingColumns * cell, visible * cell, style.background);

    // The header row only at the top; entry n is listing row n + 1; the free line is last.
    const size_t first = viewport.position < 0 ? 0 : static_cast<size_t>(viewport.position) + 1;
    const size_t entryRows = rows.size() >= 2 ? rows.size() - 2 : 0;
    for (int r = 0; r < visible; ++r) {
        const size_t k = first + static_cast<size_t>(r);
        if (k >= rows.size()) break;
        const int y = r * cell;
        CbmTextStyle rowStyle = style;
        const long entry = static_cast<long>(k) - 1;
        if (k >= 1 && k <= entryRows && entry >= viewport.selectionFirst &&
            entry <= viewport.selectionLast) {
            FillRect(picture, 0, y, picture.width, cell, style.selection);
            rowStyle.text = style.background;
            rowStyle.background = style.selection;
        }
        const std::vector<ListingCell>& cells = rows[k].cells;
        const size_t columns = std::min(cells.size(), static_cast<size_t>(kListingColumns));
        for (size_t c = 0; c < columns; ++c)
            DrawCbmChar(picture, static_cast<int>(c) * cell, y, cells[c].code, cells[c].reverse,
                        rowStyle);
    }
    return picture;
}

Picture RenderDirectory(DiskImage& image, const CbmTextStyle& style,
                        const DirectoryViewport& viewport) {
    return RenderDirectory(ListingRows(image), style, viewport);
}

std::vector<uint8_t> EncodeBitmap(const Picture& picture) {
    const size_t count = static_cast<size_t>(std::max(picture.width, 0)) *
                         static_cast<size_t>(std::max(picture.height, 0));
    if (count == 0 || picture.pixels.size() != count || count > (UINT32_MAX - kPixelOffset) / 4)
        return {};
    const uint32_t imageSize = static_cast<uint32_t>(count * 4);
    std::vector<uint8_t> out;
    out.reserve(kPixelOffset + imageSize);
    out.push_back('B');
    out.push_back('M');
    Put32(out, kPixelOffset + imageSize);
    Put16(out, 0);
    Put16(out, 0);
    Put32(out, kPixelOffset);

    Put32(out, kInfoHeaderSize);
    Put32(out, static_cast<uint32_t>(picture.width));
    Put32(out, static_cast<uint32_t>(picture.height)); // positive: the rows go bottom-up
    Put16(out, 1);                                     // planes
    Put16(out, 32);                                    // bits per pixel
    Put32(out, kBitFields);
    Put32(out, imageSize);
    Put32(out, kPixelsPerMetre);
    Put32(out, kPixelsPerMetre);
    Put32(out, 0); // colours used
    Put32(out, 0); // important colours

    Put32(out, 0x00FF0000);
    Put32(out, 0x0000FF00);
    Put32(out, 0x000000FF);

    const size_t width = static_cast<size_t>(picture.width);
    for (size_t y = static_cast<size_t>(picture.height); y-- > 0;)
        for (size_t x = 0; x < width; ++x)
            Put32(out, picture.pixels[y * width + x] & 0x00FFFFFF);
    return out;
}

Picture ListingPicture(DiskImage& image, const BitmapExportOptions& options) {
    std::vector<ListingRow> rows = ListingRows(image);
    const long entries = static_cast<long>(rows.size()) - 2;
    DirectoryViewport viewport; // no selection: an exported picture shows no highlight
    viewport.position = -1;
    size_t wanted = rows.size();
    if (options.selectionOnly) {
        const long first = std::max(options.selectionFirst, 0);
        const long last = std::min(static_cast<long>(options.selectionLast), entries - 1);
        if (first <= last) {
            viewport.position = static_cast<int>(first);
            wanted = static_cast<size_t>(last - first + 1);
        }
    }
    if (wanted > MaxRows(CellSize(options.style))) return {};
    viewport.rows = static_cast<int>(wanted);
    return RenderDirectory(rows, options.style, viewport);
}

bool ExportBitmap(DiskImage& image, const std::string& path, bool interactive,
                  bool includeSubDirectories, const BitmapExportOptions& options) {
    // A selection belongs to the level the view shows; the levels below are saved whole.
    BitmapExportOptions whole;
    whole.style = options.style;
    bool ok = true;
    WalkDirectories(
        image, includeSubDirectories && HasSubDirectories(image),
        [&](WalkPath through) {
            const bool own = through.empty();
            if (!SavePicture(image, own ? path : SubDirectoryPath(path, image),
                             ListingPicture(image, own ? options : whole), interactive))
                ok = false;
            return true;
        },
        nullptr);
    return ok;
}

} // namespace tessarind
