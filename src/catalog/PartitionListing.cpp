#include "catalog/PartitionListing.h"

#include <cstdio>

#include "formats/CmdContainerImage.h"

namespace tessarind {

namespace {

void Put(ListingRow& row, int column, uint8_t code, bool reverse = false) {
    if (column >= 0 && column < kListingColumns)
        row.cells[static_cast<size_t>(column)] = {code, reverse};
}

ListingRow Blank() {
    ListingRow row;
    row.cells.resize(kListingColumns);
    return row;
}

} // namespace

std::vector<ListingRow> PartitionListingRows(CmdContainerImage& container) {
    std::vector<ListingRow> rows;
    ListingRow header = Blank();
    const std::span<uint8_t> name = container.DiskName();
    const std::span<uint8_t> id = container.DiskId();
    Put(header, 0, '"', true);
    for (size_t i = 0; i < name.size(); ++i)
        Put(header, 1 + static_cast<int>(i), name[i], true);
    Put(header, 1 + static_cast<int>(name.size()), '"', true);
    for (size_t i = 0; i < id.size(); ++i)
        Put(header, 3 + static_cast<int>(name.size() + i), id[i], true);
    rows.push_back(header);
    for (const PartitionSlot& slot : container.TableSlots(false)) {
        const int type = slot.bytes[2];
        if (type == 0 && !container.showDeleted()) continue;
        ListingRow row = Blank();
        char number[8];
        std::snprintf(number, sizeof number, "%d", slot.slot);
        for (int i = 0; number[i]; ++i)
            Put(row, i, static_cast<uint8_t>(number[i]));
        for (int i = 0; i < kNameLength; ++i) {
            const uint8_t c = slot.bytes[5 + i];
            Put(row, 4 + i, c == kPad ? ' ' : c);
        }
        const std::string typeName = CmdContainerImage::TypeName(type);
        for (size_t i = 0; i < typeName.size(); ++i)
            Put(row, 22 + static_cast<int>(i), static_cast<uint8_t>(typeName[i]));
        rows.push_back(row);
    }
    return rows;
}

} // namespace tessarind
