#pragma once
// What the ui tests share: disk images written into a folder of the test, and a frame on a
// settings file of its own that answers its questions through a recorder.

#include <QDir>
#include <QFileInfo>
#include <QString>
#include <QTemporaryDir>
#include <memory>
#include <string>

#include "support/ImageBuilder.h"
#include "support/Recorders.h"
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

} // namespace tessarind::testing
