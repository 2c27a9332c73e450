#pragma once
// What the CMD harnesses share: reading a disk's directory tree with its files, and undoing
// every journalled step to check that the bytes come back.

#include <cstdint>
#include <optional>
#include <vector>

#include "FuzzImage.h"
#include "catalog/DirectoryListing.h"
#include "formats/CmdContainerImage.h"
#include "model/DiskImage.h"
#include "model/VisitedSet.h"

namespace tessarind::fuzz {

inline volatile size_t cmdSink;

inline void CmdCheck(bool ok, const char* harness, const char* what) {
    if (!ok) Fail(harness, what);
}

// Lists the directory and reads every file, then each sub-directory once.
inline void ReadTree(DiskImage& image, VisitedSet& entered, const char* harness, int depth = 0) {
    cmdSink = cmdSink + ListDirectory(image, ListingForm::Ascii, false).size();
    const int count = image.entryCount();
    for (int i = 0; i < count && i < 4096; ++i) {
        DirEntry entry = image.EntryAt(i);
        if (!entry) break;
        if (auto data = image.ReadFileData(i)) cmdSink = cmdSink + data->size();
        if (depth > 16 || !image.EnterSubDirectory(i)) continue;
        if (entered.Visit(image.dirTrack(), image.dirSector()))
            ReadTree(image, entered, harness, depth + 1);
        CmdCheck(image.LeaveSubDirectory(), harness, "leaving a sub-directory failed");
        CmdCheck(image.entryCount() == count, harness,
                 "entry count changed across a sub-directory visit");
    }
}

// Opens each of the first `limit` partitions of a container, reads its tree and closes it.
inline void ReadPartitions(CmdContainerImage& image, int limit, const char* harness) {
    const int count = image.CountEntries();
    for (int i = 0; i < count && i < limit; ++i) {
        DiskImage* child = image.OpenPartition(i);
        if (!child) continue;
        VisitedSet entered;
        entered.Visit(child->dirTrack(), child->dirSector());
        ReadTree(*child, entered, harness);
        image.CloseChild(child);
    }
}

inline void UndoAll(DiskImage& image, const char* harness) {
    size_t steps = 0;
    while (image.UndoEnabled()) {
        image.UndoCommand();
        CmdCheck(++steps <= 1000000, harness, "undo does not come to an end");
    }
}

} // namespace tessarind::fuzz
