#pragma once
// Dragged or copied entries as the window system sees them: our own MIME type for our views,
// `text/uri-list` for file managers and the bytes of a lone file as
// `application/octet-stream`. The host files are written only when a target asks for them,
// into a folder of the frame's that is removed when the program ends.

#include <QMimeData>
#include <QTemporaryDir>
#include <QUrl>
#include <memory>

#include "ui/DragPayload.h"

namespace tessarind {

// The temporary folder dragged files are written into; one per frame.
class DragFolder {
public:
    DragFolder();
    bool valid() const { return dir_.isValid(); }
    QString path() const { return dir_.path(); }
    // A new, empty folder inside, so that the files of one drag keep their own names.
    QString NewFolder();

private:
    QTemporaryDir dir_;
    int made_ = 0;
};

class EntryMimeData : public QMimeData {
    Q_OBJECT
public:
    static constexpr const char* kUriList = "text/uri-list";
    static constexpr const char* kOctetStream = "application/octet-stream";

    // Without a live folder no host files are offered.
    EntryMimeData(DragPayload payload, std::weak_ptr<DragFolder> folder);

    const DragPayload& payload() const { return payload_; }
    QStringList formats() const override;
    bool hasFormat(const QString& type) const override { return formats().contains(type); }
    // The host files, written on the first request; empty when they could not be written.
    QList<QUrl> ExportedFiles() const;

protected:
    QVariant retrieveData(const QString& type, QMetaType preferred) const override;

private:
    // The records the host gets a file of.
    int ReadableCount() const;

    DragPayload payload_;
    std::weak_ptr<DragFolder> folder_;
    mutable bool exported_ = false;
    mutable QList<QUrl> files_;
};

} // namespace tessarind
