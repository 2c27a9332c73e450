#include "catalog/DirectoryListing.h"

#include <cstdio>
#include <cstring>

#include "catalog/TapeListing.h"
#include "formats/T64Image.h"
#include "model/DiskImage.h"
#include "text/Petscii.h"

namespace tessarind {

namespace {

void Put(ListingRow& row, int column, uint8_t code, bool reverse = false) {
    if (row.cells.size() <= static_cast<size_t>(column)) row.cells.resize(static_cast<size_t>(column) + 1);
    row.cells[static_cast<size_t>(column)] = ListingCell{code, reverse};
}

void PutText(ListingRow& row, int column, const char* text) {
    for (; *text; ++text) Put(row, column++, static_cast<uint8_t>(*text));
}

} // namespace

const char* TypeName(int typeCode, int maxFileType) {
    static const char* const names[] = {"DEL", "SEQ", "PRG", "USR", "REL", "CBM", "CMD", "???"};
    if (typeCode < 0 || typeCode > 7 || typeCode > maxFileType) return "???";
    return names[typeCode];
}

ListingRow HeaderRow(DiskImage& image) {
    ListingRow row;
    Put(row, 0, '0');
    Put(row, 1, ' ');
    const std::span<const uint8_t> name = image.DiskName();
    const std::span<const uint8_t> id = image.DiskId();
    Put(row, 2, '"', true);
    for (size_t i = 0; i < kNameLength; ++i) Put(row, 3 + static_cast<int>(i), i < name.size() ? name[i] : kPad, true);
    Put(row, 19, '"', true);
    Put(row, 20, ' ', true);
    for (size_t i = 0; i < 5; ++i) {
        uint8_t c = i < id.size() ? id[i] : ' ';
        Put(row, 21 + static_cast<int>(i), c == kPad ? ' ' : c, true);
    }
    return row;
}

ListingRow EntryRow(const uint8_t* slot, int maxFileType) {
    DirEntry entry(const_cast<uint8_t*>(slot));
    ListingRow row;
    row.cells.resize(kListingColumns);
    char count[8];
    std::snprintf(count, sizeof count, "%u", entry.blocks());
    PutText(row, 0, count);
    Put(row, 5, '"');
    bool closedQuote = false;
    for (int i = 0; i < kNameLength; ++i) {
        uint8_t c = entry.name()[static_cast<size_t>(i)];
        if (!closedQuote && (c == kPad || c == '"')) {
            closedQuote = true;
            Put(row, 6 + i, '"');
        } else {
            Put(row, 6 + i, c == kPad ? ' ' : c);
        }
    }
    if (!closedQuote) Put(row, 22, '"');
    Put(row, 23, entry.closed() ? ' ' : '*');
    PutText(row, 24, TypeName(entry.typeCode(), maxFileType));
    Put(row, 27, entry.locked() ? '<' : ' ');
    return row;
}

ListingRow FreeBlocksRow(int freeBlocks) {
    char text[32];
    std::snprintf(text, sizeof text, "%d BLOCKS FREE.", freeBlocks);
    ListingRow row;
    PutText(row, 0, text);
    return row;
}

std::vector<ListingRow> ListingRows(DiskImage& image) {
    if (auto* tape = dynamic_cast<T64Image*>(&image)) return TapeListingRows(*tape);
    std::vector<ListingRow> rows;
    rows.push_back(HeaderRow(image));
    for (DirEntry entry : image.ListedEntries()) rows.push_back(EntryRow(entry.data(), image.maxFileType()));
    rows.push_back(FreeBlocksRow(image.FreeBlockCount()));
    return rows;
}

std::string RowText(const ListingRow& row, ListingForm form, bool lowerCase) {
    std::string text;
    bool reverse = false;
    for (const ListingCell& cell : row.cells) {
        if (form == ListingForm::Petscii) {
            if (cell.reverse && !reverse) text.push_back(0x12);
            reverse = cell.reverse;
            text.push_back(static_cast<char>(cell.code));
        } else {
            text.push_back(ListingCharacter(cell.code, lowerCase));
        }
    }
    text.push_back(form == ListingForm::Petscii ? '\x0D' : '\x0A');
    return text;
}

std::vector<uint8_t> ListDirectory(DiskImage& image, ListingForm form, bool lowerCase) {
    std::vector<uint8_t> out;
    for (const ListingRow& row : ListingRows(image)) {
        std::string line = RowText(row, form, lowerCase);
        out.insert(out.end(), line.begin(), line.end());
    }
    return out;
}

} // namespace tessarind
