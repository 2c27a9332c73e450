#pragma once
// The listing of a tape: the tape name between quotes, then one row per listed slot with its
// block count, its name and "PRG", "FRZ" (file type byte 0) or "DEL" (a free slot). A tape
// has no free blocks; its last row is empty.

#include <vector>

#include "catalog/DirectoryListing.h"

namespace tessarind {

class T64Image;

ListingRow TapeHeaderRow(T64Image& tape);
ListingRow TapeEntryRow(const uint8_t* slot);
std::vector<ListingRow> TapeListingRows(T64Image& tape);

} // namespace tessarind
