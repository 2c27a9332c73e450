#include "ui/EntryMimeData.h"

#include <QDir>
#include <QSaveFile>

#include "model/DiskImage.h"

namespace tessarind {

DragFolder::DragFolder() : dir_(QDir::tempPath() + QStringLiteral("/tsXXXXXX")) {}

QString DragFolder::NewFolder() {
    const QString folder = dir_.filePath(QString::number(++made_));
    return QDir().mkpath(folder) ? folder : QString();
}

EntryMimeData::EntryMimeData(DragPayload payload, std::weak_ptr<DragFolder> folder)
    : payload_(std::move(payload)), folder_(std::move(folder)) {}

int EntryMimeData::ReadableCount() const {
    int count = 0;
    for (const DragRecord& record : payload_.records)
        count += record.readable ? 1 : 0;
    return count;
}

QStringList EntryMimeData::formats() const {
    QStringList offered{QString::fromLatin1(kEntryMimeType)};
    const int readable = ReadableCount();
    if (readable > 0 && !folder_.expired()) offered << QString::fromLatin1(kUriList);
    if (readable == 1 && payload_.records.size() == 1) offered << QString::fromLatin1(kOctetStream);
    return offered;
}

QList<QUrl> EntryMimeData::ExportedFiles() const {
    if (exported_) return files_;
    exported_ = true;
    std::shared_ptr<DragFolder> folder = folder_.lock();
    const QString into = folder && folder->valid() ? folder->NewFolder() : QString();
    if (into.isEmpty()) return files_;
    ExportRun names; // two entries of one name get "_2" as Export gives them
    for (const DragRecord& record : payload_.records) {
        if (!record.readable) continue;
        const QString path =
            QString::fromStdString(names.Claim(into.toStdString(), record.hostName));
        QSaveFile file(path);
        if (!file.open(QIODevice::WriteOnly) ||
            file.write(reinterpret_cast<const char*>(record.data.data()),
                       static_cast<qint64>(record.data.size())) !=
                static_cast<qint64>(record.data.size()) ||
            !file.commit())
            continue; // a file the host cannot take is left out of the list
        files_ << QUrl::fromLocalFile(path);
    }
    return files_;
}

QVariant EntryMimeData::retrieveData(const QString& type, QMetaType preferred) const {
    if (type == QLatin1String(kEntryMimeType)) return EncodePayload(payload_);
    if (type == QLatin1String(kUriList) && formats().contains(type)) {
        QList<QUrl> files = ExportedFiles();
        if (files.isEmpty()) return {};
        if (preferred.id() == QMetaType::QByteArray) {
            QByteArray list;
            for (const QUrl& url : files)
                list += url.toEncoded() + "\r\n";
            return list;
        }
        QVariantList urls;
        for (const QUrl& url : files)
            urls << url;
        return urls;
    }
    if (type == QLatin1String(kOctetStream) && formats().contains(type)) {
        const std::vector<uint8_t>& data = payload_.records.front().data;
        return QByteArray(reinterpret_cast<const char*>(data.data()),
                          static_cast<qsizetype>(data.size()));
    }
    return QMimeData::retrieveData(type, preferred);
}

} // namespace tessarind
