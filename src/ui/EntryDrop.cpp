#include "ui/EntryDrop.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QMimeData>
#include <QUrl>
#include <algorithm>

#include "catalog/ImageOpener.h"
#include "model/DiskImage.h"
#include "model/FormatRegistry.h"
#include "model/Interaction.h"
#include "ui/CommandLineParser.h"
#include "ui/MainFrame.h"

namespace tessarind {

namespace {

int HostFileKind(const QString& path) {
    const FormatRow* row = FindRowForName(QFileInfo(path).fileName().toStdString());
    return row ? row->id : FormatId::Prg;
}

// The kind an entry is written as into `image`: its own, or a program when the container
// has no such type.
const FormatRow* TargetRow(const DiskImage& image, DragRecord& record) {
    const FormatRow* row = FindRowById(record.kind);
    if (!row) return nullptr;
    const int type = record.Entry().typeCode();
    if (record.kind != FormatId::Cvt && type > image.maxFileType())
        return FindRowById(FormatId::Prg);
    return row;
}

bool IsDirectoryEntry(DiskImage& image, int row) {
    if (row < 0 || row >= image.entryCount()) return false;
    DirEntry entry = image.EntryAt(row);
    return entry && !entry.isGeos() && (entry.typeCode() == kDir || entry.typeCode() == kCbm);
}

} // namespace

DropItems ReadDrop(const QMimeData& mime) {
    DropItems items;
    if (mime.hasFormat(QString::fromLatin1(kEntryMimeType))) {
        items.entries = DecodePayload(mime.data(QString::fromLatin1(kEntryMimeType)));
        if (items.entries) return items;
    }
    for (const QUrl& url : mime.urls())
        if (url.isLocalFile() && QFileInfo(url.toLocalFile()).isFile())
            items.hostFiles << url.toLocalFile();
    return items;
}

std::vector<int> OfferedKinds(const DropItems& items) {
    std::vector<int> kinds;
    if (items.entries)
        for (const DragRecord& record : items.entries->records)
            kinds.push_back(record.kind);
    for (const QString& path : items.hostFiles)
        kinds.push_back(HostFileKind(path));
    return kinds;
}

bool AcceptsAny(const DiskImage& image, const DropItems& items) {
    const std::vector<int> kinds = OfferedKinds(items);
    return std::any_of(kinds.begin(), kinds.end(),
                       [&](int kind) { return image.CanAcceptKind(kind); });
}

bool ComesFrom(const DropItems& items, const void* view) {
    return items.entries && view && items.entries->process == QCoreApplication::applicationPid() &&
           items.entries->sourceView == reinterpret_cast<uintptr_t>(view);
}

DropResult ReorderEntries(DiskImage& image, const DragPayload& payload, int row) {
    DropResult result;
    const int first = payload.first, last = payload.last;
    if (first < 0 || last < first || (row >= first && row <= last)) return result;
    // The whole dragged run moves, wherever in it the entry was grabbed.
    const int count = last - first + 1;
    const size_t before = image.Journal().size();
    if (!image.MoveEntries(first, last, row)) return result;
    result.changed = image.Journal().size() != before;
    image.Refresh();
    result.select = row > first ? row + first - last - 1 : row;
    result.selectLast = result.select + count - 1;
    return result;
}

DropResult InsertDropped(DiskImage& image, const DropItems& items, int row) {
    DropResult result;
    row = std::clamp(row, 0, std::max(image.entryCount(), 0));
    const int dropRow = row;
    // A drop on a sub-directory or partition fills it; the view stays where it was.
    const bool into = IsDirectoryEntry(image, row) && image.EnterSubDirectory(row);
    if (into) row = image.entryCount();

    const size_t before = image.Journal().size();
    image.BeginGroup();
    int written = 0;
    if (items.entries) {
        for (DragRecord record : items.entries->records) {
            const FormatRow* target = TargetRow(image, record);
            if (!target || !image.CanAcceptKind(target->id)) continue;
            DirEntry entry = record.Entry();
            std::array<uint8_t, kNameLength> name{};
            std::copy_n(entry.name().begin(), kNameLength, name.begin());
            if (image.WriteFileData(name, row, true, record.data, entry.recordLength(), *target)) {
                result.select = row++;
                ++written;
            }
        }
    }
    for (const QString& path : items.hostFiles) {
        if (!image.CanAcceptKind(HostFileKind(path))) {
            result.toOpen << path;
            continue;
        }
        if (image.ImportHostFile(path.toStdString(), row, true)) {
            result.select = row++;
            ++written;
        }
    }
    image.EndGroup("Import File");
    result.changed = image.Journal().size() != before;
    if (into) {
        image.LeaveSubDirectory();
        result.select = written > 0 ? dropRow : -1;
    }
    image.Refresh();
    result.selectLast = result.select;
    return result;
}

void OpenDropped(MainFrame& frame, const DropItems& items) {
    if (items.entries) {
        for (const DragRecord& record : items.entries->records) {
            std::unique_ptr<DiskImage> image =
                record.data.empty()
                    ? nullptr
                    : OpenContainer(frame.interaction(), record.hostName, record.data, 0, nullptr,
                                    false, &frame.settings());
            if (image)
                frame.AddImage(std::move(image));
            else if (Interaction* ui = frame.interaction())
                ui->Message("Unable to Create " + record.hostName, "Error");
        }
    }
    std::vector<std::string> names;
    for (const QString& path : items.hostFiles)
        names.push_back(path.toStdString());
    for (const std::string& path : CommandLineParser::PathsToOpen(names, std::string()))
        frame.OpenPath(path);
}

} // namespace tessarind
