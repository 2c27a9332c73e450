#include "catalog/TapeListing.h"

#include <cstdio>

#include "formats/T64Image.h"

namespace tessarind {

namespace {

void Put(ListingRow& row, int column, uint8_t code, bool reverse = false) {
    if (row.cells.size() < static_cast<size_t>(kListingColumns)) row.cells.resize(kListingColumns);
    if (column >= 0 && column < kListingColumns)
        row.cells[static_cast<size_t>(column)] = {code, reverse};
}

} // namespace

ListingRow TapeHeaderRow(T64Image& tape) {
    ListingRow row;
    row.cells.resize(kListingColumns);
    const uint8_t* name = tape.DiskNamePointer();
    Put(row, 0, '"', true);
    for (int i = 0; i < T64Image::kTapeNameLength; ++i)
        Put(row, 1 + i, name ? name[i] : ' ', true);
    Put(row, 1 + T64Image::kTapeNameLength, '"', true);
    return row;
}

ListingRow TapeEntryRow(const uint8_t* slot) {
    ListingRow row;
    row.cells.resize(kListingColumns);
    char count[8];
    std::snprintf(count, sizeof count, "%d", T64Image::SlotBlocks(slot));
    for (int i = 0; count[i]; ++i)
        Put(row, i, static_cast<uint8_t>(count[i]));
    Put(row, 5, '"');
    bool closed = false;
    for (int i = 0; i < kNameLength; ++i) {
        const uint8_t c = slot[16 + i];
        if (!closed && c == kPad) {
            closed = true;
            Put(row, 6 + i, '"');
        } else {
            Put(row, 6 + i, c == kPad ? ' ' : c);
        }
    }
    if (!closed) Put(row, 22, '"');
    const char* type = slot[0] == 0 ? "DEL" : slot[1] == 0 ? "FRZ" : "PRG";
    for (int i = 0; i < 3; ++i)
        Put(row, 24 + i, static_cast<uint8_t>(type[i]));
    return row;
}

std::vector<ListingRow> TapeListingRows(T64Image& tape) {
    std::vector<ListingRow> rows;
    rows.push_back(TapeHeaderRow(tape));
    for (int i = 0, n = tape.CountEntries(); i < n; ++i)
        if (const std::optional<int> slot = tape.ListedSlot(i))
            rows.push_back(TapeEntryRow(tape.SlotPointer(*slot)));
    ListingRow last;
    last.cells.resize(kListingColumns);
    rows.push_back(last);
    return rows;
}

} // namespace tessarind
