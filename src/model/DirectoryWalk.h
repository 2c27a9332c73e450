#pragma once
// The one walk over the levels of an image's directory that listings, the folder search and
// the export of every file share.

#include <functional>
#include <span>

#include "model/DirEntry.h"

namespace tessarind {

class DiskImage;

// The entries through which the walk entered the level it stands on, outermost first; empty
// on the image's own level.
using WalkPath = std::span<const DirEntry>;

// Whether the image's format has partitions or sub-directories: its type codes go past REL.
// Listings and searches enter nothing elsewhere, where a CBM or DIR code is damage.
bool HasSubDirectories(const DiskImage& image);

// Calls onLevel(path) as each level starts and onEntry(entry, index, path) for each listed
// entry of it: the current directory first, then, with includeSubDirectories, every CBM
// partition or DIR sub-directory that can be entered, depth first in listing order.
// A directory is walked once, however many entries of a damaged disk lead to it, so the work
// stays bounded. The image stands on the level while the callbacks run and is back on its
// own level afterwards. A callback that returns false ends the walk, which then returns false.
bool WalkDirectories(DiskImage& image, bool includeSubDirectories,
                     const std::function<bool(WalkPath path)>& onLevel,
                     const std::function<bool(DirEntry entry, int index, WalkPath path)>& onEntry);

} // namespace tessarind
