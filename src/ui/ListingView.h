#pragma once
// A container's directory as listing text in a child window: the stand-in for the directory
// view. It shows the ASCII listing in a fixed-pitch font, follows the image (title with " *"
// while modified, redraw) and handles the container commands that need no selection.

#include <QMdiSubWindow>
#include <cstdint>

#include "model/ImageObserver.h"
#include "ui/ViewCapability.h"
#include "ui/ViewWindow.h"

class QPlainTextEdit;

namespace tessarind {

class DiskImage;
class MainFrame;

class ListingView : public QMdiSubWindow, public ViewWindow, public ImageObserver {
    Q_OBJECT
public:
    struct Style {
        uint32_t text = 0;
        uint32_t background = 0;
        bool upperCase = true;
        bool largeFont = true;
    };

    ListingView(MainFrame& frame, DiskImage& image, const Style& style);
    ~ListingView() override;

    // ViewWindow
    QMdiSubWindow* Window() override { return this; }
    int Capability() const override { return kCapabilityDirectory; }
    DiskImage* Image() const override { return image_; }
    bool HandleCommand(CommandId id) override;
    bool ShowsUpperCase() const override { return upperCase_; }
    uint32_t Colour(CommandId which) const override;
    void SetColour(CommandId which, uint32_t rgb) override;
    void Detach() override;

    // ImageObserver
    void Redraw() override;
    void SetWindowText(const std::string& text) override;
    void SetEntryCount(int) override { Redraw(); }
    void EnableCommand(int commandId, bool on) override;
    void CheckCommand(int commandId, bool on) override;
    void SetUndoText(const std::string& text, bool enabled) override;

    QString listingText() const;
    bool largeFont() const { return largeFont_; }

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void ApplyColours();
    // The fixed-pitch font in the size "Large Fonts" asks for, and a window that fits it.
    void ApplyFont();

    MainFrame& frame_;
    DiskImage* image_;
    QPlainTextEdit* text_;
    uint32_t textColour_;
    uint32_t backgroundColour_;
    bool upperCase_;
    bool largeFont_;
};

} // namespace tessarind
