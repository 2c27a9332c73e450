#pragma once
// The directory as a Commodore computer lists it, as rows of character cells: the header in
// reverse video, one row per entry, the free-blocks line. The same rows become text (here)
// or pixels.

#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "text/Petscii.h"

namespace tessarind {

class DiskImage;

inline constexpr int kListingColumns = 28;

struct ListingCell {
    uint8_t code = 0x20; // PETSCII
    bool reverse = false;
};

struct ListingRow {
    std::vector<ListingCell> cells;
};

enum class ListingForm {
    Petscii, // raw bytes, lines end with 0x0D, header after a reverse-on byte
    Ascii,   // host text, lines end with 0x0A
};

// The header row.
ListingRow HeaderRow(DiskImage& image);
// One entry row (the 32-byte slot) for an image whose highest type code is maxFileType.
ListingRow EntryRow(const uint8_t* slot, int maxFileType);
// "%d BLOCKS FREE."
ListingRow FreeBlocksRow(int freeBlocks);
// Every row of the current directory: header, listed entries, free line.
std::vector<ListingRow> ListingRows(DiskImage& image);

// A row as text; lowerCase selects the lower/upper-case character set for the ASCII form.
std::string RowText(const ListingRow& row, ListingForm form, bool lowerCase);
std::vector<uint8_t> ListDirectory(DiskImage& image, ListingForm form, bool lowerCase);

// "DEL", "SEQ", ... "???" for a type code.
const char* TypeName(int typeCode, int maxFileType);

} // namespace tessarind
