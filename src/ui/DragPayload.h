#pragma once
// The records of entries dragged or copied out of a list view, and their encoding in the
// program's own MIME type. A record holds everything a drop needs, so the payload stays good
// after its container changed or closed (a copy on the clipboard).

#include <QByteArray>
#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "model/DirEntry.h"

namespace tessarind {

class DiskImage;

// The MIME type our views exchange entries in.
inline constexpr char kEntryMimeType[] = "application/x-tessarind-entries";

struct DragRecord {
    // The entry's name for the host, with the extension of its kind (".prg").
    std::string hostName;
    // The file as `ReadFileData` gives it (a GEOS file in its Convert form).
    std::vector<uint8_t> data;
    // False for an entry that holds nothing the host can take (a DEL entry): it is still
    // copied between containers, but no host file is made of it.
    bool readable = false;
    // A copy of the directory entry: name, type and record length come from it.
    std::array<uint8_t, kSlotSize> entry{};
    // The format-registry kind of the entry (a GEOS file: the GEOS Convert kind).
    int kind = 0;

    DirEntry Entry() { return DirEntry(entry.data()); }
};

struct DragPayload {
    // The process and view the entries came from, for telling a reorder from a copy; 0 when
    // they come from no view (a tool window).
    int64_t process = 0;
    uint64_t sourceView = 0;
    // The index grabbed and the dragged range in the source view.
    int start = -1;
    int first = -1;
    int last = -1;
    std::vector<DragRecord> records;
};

// One record for an entry of `image` at list index `index`; none when there is no entry.
std::optional<DragRecord> MakeDragRecord(DiskImage& image, int index);

// The payload of entries first..last of an image (indices without an entry are left out).
// `sourceView` identifies the view they are dragged from (0: none); `start` is the index
// that was grabbed. A tool that offers ready-made entries fills `records` itself instead.
DragPayload MakeEntryPayload(DiskImage& image, int first, int last,
                             const void* sourceView = nullptr, int start = -1);

QByteArray EncodePayload(const DragPayload& payload);
// None when the bytes are no complete payload.
std::optional<DragPayload> DecodePayload(const QByteArray& bytes);

} // namespace tessarind
