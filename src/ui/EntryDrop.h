#pragma once
// What a drop on a list view or on the frame does, apart from the window system: the items
// a drop brings, whether a container takes them, and carrying the drop out on the image.

#include <QStringList>
#include <optional>
#include <vector>

#include "ui/DragPayload.h"

class QMimeData;

namespace tessarind {

class DiskImage;
class MainFrame;

struct DropItems {
    std::optional<DragPayload> entries; // entries of one of our views
    QStringList hostFiles;              // local files of the host
    bool empty() const { return !entries && hostFiles.isEmpty(); }
};

// Our entries when offered, else the local files of the uri list.
DropItems ReadDrop(const QMimeData& mime);

// The format-registry kinds a drop offers: our entries' kinds, a host file's extension's kind
// (PRG when the extension is unknown).
std::vector<int> OfferedKinds(const DropItems& items);
// Whether an image takes at least one of the kinds.
bool AcceptsAny(const DiskImage& image, const DropItems& items);

// Whether the entries of a drop come from the view `view` of this process.
bool ComesFrom(const DropItems& items, const void* view);

struct DropResult {
    bool changed = false;
    // The index to select afterwards; -1 for none.
    int select = -1;
    // The last index of the selection when a moved run stays selected.
    int selectLast = -1;
    // Host files that are no files for this container: the caller opens them.
    QStringList toOpen;
};

// Moves the dragged run of a drag within one view to `row`: nothing when the row lies inside
// the run, else one "Move" step.
DropResult ReorderEntries(DiskImage& image, const DragPayload& payload, int row);

// Copies the entries and imports the host files of a drop at `row`, as one undo step. A drop
// on a sub-directory or partition entry goes into it. Failures tell their message through
// the image's owner; the other items are still written.
DropResult InsertDropped(DiskImage& image, const DropItems& items, int row);

// Opens what was dropped outside every list view: host files as on the command line (later
// parts of a Zipcode set skipped), entries as containers read from their bytes.
void OpenDropped(MainFrame& frame, const DropItems& items);

} // namespace tessarind
