#include "ui/EmulatorLauncher.h"

#include <QProcess>
#include <QStringList>

namespace tessarind {

bool EmulatorLauncher::Run(DiskImage& image, int selectedIndex, const EmulatorEntry& entry) {
    std::optional<EmulatorLaunch> launch =
        PrepareEmulatorRun(image, selectedIndex, entry, temporaries_);
    if (!launch) return false;
    QStringList arguments;
    for (const std::string& argument : launch->arguments)
        arguments << QString::fromStdString(argument);
    // A program without a folder is looked up on PATH.
    return QProcess::startDetached(QString::fromStdString(launch->program), arguments);
}

} // namespace tessarind
