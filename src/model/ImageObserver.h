#pragma once
// What the image model needs of the windows that show it. Every call has a do-nothing
// default so a view implements only what it shows.

#include <string>

#include "text/CbmCharset.h"

namespace tessarind {

class ImageObserver {
public:
    virtual ~ImageObserver() = default;
    virtual void Redraw() {}
    virtual void SetWindowText(const std::string&) {}
    virtual void SetEntryCount(int) {}
    virtual void SelectLine(int) {}
    virtual void UpdateLine(int) {}
    // Starts renaming the entry at a list index in place.
    virtual void StartRename(int) {}
    // A block changed by an undo replay; a sector editor showing it keeps its cursor there.
    virtual void BlockChanged(int /*track*/, int /*sector*/, int /*offset*/) {}
    virtual void SetTrackCount(int) {}
    virtual void EnableCommand(int /*commandId*/, bool) {}
    virtual void CheckCommand(int /*commandId*/, bool) {}
    // The Undo item text changed (built with "Undo%c %s%cCTRL+Z"); enabled unless name is empty.
    virtual void SetUndoText(const std::string& /*text*/, bool /*enabled*/) {}
    // The list indexes the view has selected (first..last), for listings of the selection;
    // false when nothing is selected.
    virtual bool SelectedRange(int& /*first*/, int& /*last*/) const { return false; }
    // Listings saved from the view look as it shows them: the lower/upper-case character
    // set for their text, and for a picture its style (colours, cell size, character set).
    // A view that says nothing leaves upper case and the picture defaults.
    virtual bool ShowsLowerCase() const { return false; }
    virtual void DescribeListingStyle(CbmTextStyle& /*style*/) const {}
};

} // namespace tessarind
