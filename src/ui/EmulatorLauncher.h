#pragma once
// Starts the Run In entries' emulators and keeps the files made for them until the frame
// (and with it the program) ends.

#include "catalog/EmulatorCommand.h"

namespace tessarind {

class DiskImage;

class EmulatorLauncher {
public:
    // Starts `entry` with the image and its selected entry, not waiting for it; an emulator
    // that cannot be started says nothing. False when nothing was started.
    bool Run(DiskImage& image, int selectedIndex, const EmulatorEntry& entry);
    const TemporaryFiles& temporaries() const { return temporaries_; }

private:
    TemporaryFiles temporaries_;
};

} // namespace tessarind
