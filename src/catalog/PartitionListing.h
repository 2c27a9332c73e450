#pragma once
// The partition table of a CMD container as the partition view shows it: the container name
// between quotes with the five bytes after it, then per listed entry its slot number, its
// name and its type name.

#include <vector>

#include "catalog/DirectoryListing.h"

namespace tessarind {

class CmdContainerImage;

std::vector<ListingRow> PartitionListingRows(CmdContainerImage& container);

} // namespace tessarind
