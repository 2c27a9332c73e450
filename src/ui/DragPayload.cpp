#include "ui/DragPayload.h"

#include <QCoreApplication>
#include <QDataStream>
#include <QIODevice>
#include <algorithm>
#include <climits>
#include <cstring>

#include "model/DiskImage.h"
#include "model/FormatRegistry.h"

namespace tessarind {

namespace {

constexpr quint32 kMagic = 0x54534452; // "TSDR"
constexpr quint32 kVersion = 1;
// More entries than any directory holds: a count beyond it is damage.
constexpr quint32 kMaxRecords = 1 << 16;

void PutBytes(QDataStream& out, const void* data, size_t size) {
    out << static_cast<quint32>(size);
    out.writeRawData(static_cast<const char*>(data), static_cast<int>(size));
}

// Reads a length-prefixed block, refusing a length beyond what is left.
bool GetBytes(QDataStream& in, std::vector<uint8_t>& bytes) {
    quint32 size = 0;
    in >> size;
    if (in.status() != QDataStream::Ok) return false;
    const qint64 left = in.device()->bytesAvailable();
    if (left < 0 || size > static_cast<quint64>(left) || size > INT_MAX) return false;
    bytes.resize(size);
    return size == 0 || in.readRawData(reinterpret_cast<char*>(bytes.data()),
                                       static_cast<int>(size)) == static_cast<int>(size);
}

} // namespace

std::optional<DragRecord> MakeDragRecord(DiskImage& image, int index) {
    std::array<uint8_t, kSlotSize> scratch{};
    DirEntry entry = image.EntryAsListed(index, scratch);
    if (!entry) return std::nullopt;
    DragRecord record;
    std::memcpy(record.entry.data(), entry.data(), kSlotSize);
    // The host gets what Export writes; a type Export has no form for goes between
    // containers as a program.
    const FormatRow* exported = RowForExportMode(ExportMode::Native, entry);
    const FormatRow* row = exported ? exported : FindRowById(FormatId::Prg);
    record.kind = row->id;
    record.hostName = image.ExportName(entry, *row);
    std::string reason;
    if (std::optional<std::vector<uint8_t>> data = image.ReadFileBytes(index, reason)) {
        record.data = std::move(*data);
        record.readable = exported && (entry.typeCode() != kDel || entry.isGeos());
    }
    return record;
}

DragPayload MakeEntryPayload(DiskImage& image, int first, int last, const void* sourceView,
                             int start) {
    DragPayload payload;
    payload.process = QCoreApplication::applicationPid();
    payload.sourceView = reinterpret_cast<uintptr_t>(sourceView);
    payload.start = start < 0 ? first : start;
    payload.first = first;
    payload.last = last;
    for (int index = std::max(first, 0); index <= last; ++index)
        if (std::optional<DragRecord> record = MakeDragRecord(image, index))
            payload.records.push_back(std::move(*record));
    return payload;
}

QByteArray EncodePayload(const DragPayload& payload) {
    QByteArray bytes;
    QDataStream out(&bytes, QIODevice::WriteOnly);
    out.setVersion(QDataStream::Qt_6_0);
    out << kMagic << kVersion << static_cast<qint64>(payload.process)
        << static_cast<quint64>(payload.sourceView) << static_cast<qint32>(payload.start)
        << static_cast<qint32>(payload.first) << static_cast<qint32>(payload.last)
        << static_cast<quint32>(payload.records.size());
    for (const DragRecord& record : payload.records) {
        PutBytes(out, record.hostName.data(), record.hostName.size());
        PutBytes(out, record.data.data(), record.data.size());
        PutBytes(out, record.entry.data(), record.entry.size());
        out << static_cast<quint8>(record.readable) << static_cast<qint32>(record.kind);
    }
    return bytes;
}

std::optional<DragPayload> DecodePayload(const QByteArray& bytes) {
    QDataStream in(bytes);
    in.setVersion(QDataStream::Qt_6_0);
    quint32 magic = 0, version = 0, count = 0;
    qint64 process = 0;
    quint64 view = 0;
    qint32 start = 0, first = 0, last = 0;
    in >> magic >> version >> process >> view >> start >> first >> last >> count;
    if (in.status() != QDataStream::Ok || magic != kMagic || version != kVersion ||
        count > kMaxRecords)
        return std::nullopt;
    DragPayload payload;
    payload.process = process;
    payload.sourceView = view;
    payload.start = start;
    payload.first = first;
    payload.last = last;
    for (quint32 n = 0; n < count; ++n) {
        DragRecord record;
        std::vector<uint8_t> name, entry;
        quint8 readable = 0;
        qint32 kind = 0;
        if (!GetBytes(in, name) || !GetBytes(in, record.data) || !GetBytes(in, entry) ||
            entry.size() != kSlotSize)
            return std::nullopt;
        in >> readable >> kind;
        if (in.status() != QDataStream::Ok) return std::nullopt;
        record.hostName.assign(name.begin(), name.end());
        std::copy(entry.begin(), entry.end(), record.entry.begin());
        record.readable = readable != 0;
        record.kind = kind;
        payload.records.push_back(std::move(record));
    }
    return payload;
}

} // namespace tessarind
