#pragma once
// What the ui tests share: disk images written into a folder of the test, and a frame on a
// settings file of its own that answers its questions through a recorder.

#include <QDir>
#include <QFileInfo>
#include <QImage>
#include <QString>
#include <QTemporaryDir>
#include <memory>
#include <optional>
#include <string>

#include "catalog/DirectoryPicture.h"
#include "support/ImageBuilder.h"
#include "support/Recorders.h"
#include "ui/EntryListView.h"
#include "ui/MainFrame.h"
#include "ui/SettingsStore.h"

namespace tessarind::testing {

// Writes a blank 1541 image named `diskName` at `path`.
inline bool WriteBlankD64(const QString& path, std::string_view diskName = "TEST") {
    QDir().mkpath(QFileInfo(path).absolutePath());
    return BlankD64(diskName)->WriteFile(path.toStdString());
}

struct FrameFixture {
    QTemporaryDir dir;
    Settings settings;
    std::unique_ptr<SettingsStore> store;
    RecordingInteraction ui;
    std::unique_ptr<MainFrame> frame;

    FrameFixture() {
        store = std::make_unique<SettingsStore>(dir.filePath(QStringLiteral("settings.ini")));
        store->Load(settings);
        frame = std::make_unique<MainFrame>(settings, *store, dir.path().toStdString());
        frame->SetInteraction(&ui);
        frame->show();
    }

    QString Path(const QString& name) const { return dir.filePath(name); }
    std::string PathText(const QString& name) const { return Path(name).toStdString(); }
    // A blank image in the test's folder; its full path.
    std::string Image(const QString& name, std::string_view diskName = "TEST") const {
        WriteBlankD64(Path(name), diskName);
        return PathText(name);
    }
    bool HasMessage(const std::string& text) const {
        for (const auto& shown : ui.messages)
            if (shown.text == text) return true;
        return false;
    }
};

// Where a list view's first rows differ from the core's picture of `rows` with its selection
// (every third pixel); none when they agree.
inline std::optional<QString> PaintedDifference(EntryListView& view,
                                                const std::vector<ListingRow>& rows,
                                                int visibleRows = 5) {
    view.Redraw();
    DirectoryViewport viewport;
    viewport.rows = visibleRows;
    viewport.selectionFirst = view.selectionFirst();
    viewport.selectionLast = view.selectionLast();
    const Picture picture = RenderDirectory(rows, view.TextStyle(), viewport);
    const QImage shown = view.viewport()->grab().toImage().convertToFormat(QImage::Format_RGB32);
    for (int y = 0; y < picture.height; y += 3)
        for (int x = 0; x < picture.width; x += 3)
            if ((shown.pixel(x, y) & 0xFFFFFFu) != picture.At(x, y))
                return QStringLiteral("pixel %1,%2").arg(x).arg(y);
    return std::nullopt;
}

} // namespace tessarind::testing
