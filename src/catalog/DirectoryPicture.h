#pragma once
// The directory listing as pixels: the rows of DirectoryListing.h drawn cell by cell in the CBM
// font, as the directory view paints them and as the bitmap listing saves them. Text and
// pixels come from the same rows, so they always agree.

#include <cstdint>
#include <string>
#include <vector>

#include "catalog/DirectoryListing.h"
#include "text/CbmCharset.h"

namespace tessarind {

class DiskImage;

// A 32-bit picture, rows top first, each pixel 0x00RRGGBB.
struct Picture {
    int width = 0;
    int height = 0;
    std::vector<uint32_t> pixels;

    Picture() = default;
    // Filled with one colour; a width or height of 0 or less gives an empty picture.
    Picture(int w, int h, uint32_t fill);
    // The pixel at (x, y); 0 outside the picture.
    uint32_t At(int x, int y) const;
};

// Draws one character opaque into the cell whose top-left corner is (x, y): the glyph the
// style's case table gives for `code`, in the style's text colour on its background, swapped
// when `reverse` is set and swapped (again) for codes the reverse table marks. Pixels outside
// the picture are left alone.
void DrawCbmChar(Picture& picture, int x, int y, uint8_t code, bool reverse,
                 const CbmTextStyle& style);

// What part of the listing a view shows.
struct DirectoryViewport {
    int position = -1;      // first visible entry; -1: the header is the top row
    int rows = 25;          // visible rows
    int selectionFirst = 0; // selected entries first..last; none when last < first
    int selectionLast = -1;
};

// Paints listing rows (header, entries, free line, as ListingRows gives them) into a picture
// of 28 cells by viewport.rows cells (as many as a listing picture may hold), filled with the
// background first. Selected entry rows are filled with the selection colour and their text
// drawn in the background colour.
Picture RenderDirectory(const std::vector<ListingRow>& rows, const CbmTextStyle& style,
                        const DirectoryViewport& viewport);
Picture RenderDirectory(DiskImage& image, const CbmTextStyle& style,
                        const DirectoryViewport& viewport);

// A picture as a Windows bitmap file: bottom-up, 32 bits per pixel with bit-field masks, 72
// dots per inch. Empty when the pixels do not match the size or would not fit the format.
std::vector<uint8_t> EncodeBitmap(const Picture& picture);

struct BitmapExportOptions {
    CbmTextStyle style;
    // Only the selected entries of the current level (first..last); the whole list when the
    // range holds no entry.
    bool selectionOnly = false;
    int selectionFirst = 0;
    int selectionLast = -1;
};

// The picture the bitmap listing saves for the current level: the whole listing (header,
// entries, free line) or only the selected entries, 28 cells wide, without selection
// highlighting. Empty when it would be larger than a bitmap listing may be.
Picture ListingPicture(DiskImage& image, const BitmapExportOptions& options);

// Saves the current level's picture to `path`; with includeSubDirectories on an image whose
// highest type code is 5 or more, every CBM or DIR entry that can be entered gets a file of
// its own, depth first in listing order, named by replacing the last three characters of
// `path` with its disk name and ".bmp". A file that cannot be written gives "Unable to Save
// File" through the image's owner when interactive. True when every file was written.
bool ExportBitmap(DiskImage& image, const std::string& path, bool interactive,
                  bool includeSubDirectories, const BitmapExportOptions& options = {});

} // namespace tessarind
