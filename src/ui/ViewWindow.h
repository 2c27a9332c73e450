#pragma once
// What the frame needs of every child window that shows a container: its capability for the
// enable table, its image, its commands, its case set and its two colours.

#include <cstdint>

#include "ui/CommandIds.h"

class QMdiSubWindow;

namespace tessarind {

class DiskImage;

class ViewWindow {
public:
    virtual ~ViewWindow() = default;

    virtual QMdiSubWindow* Window() = 0;
    virtual int Capability() const = 0;
    // The image shown; null once the image has closed.
    virtual DiskImage* Image() const = 0;
    // A routed command; false when the view does not handle it.
    virtual bool HandleCommand(CommandId id) = 0;
    virtual bool ShowsUpperCase() const = 0;
    virtual bool ShowsHiddenCharacters() const { return false; }
    // cmd::BackgroundColour or cmd::TextColour, as 0x00RRGGBB.
    virtual uint32_t Colour(CommandId which) const = 0;
    virtual void SetColour(CommandId which, uint32_t rgb) = 0;
    // The image is closing: forget it; the window closes without asking again.
    virtual void Detach() = 0;
    // The view became the active one and the enable table has been applied: the view adds
    // the states that depend on what it shows.
    virtual void Activated() {}
};

} // namespace tessarind
