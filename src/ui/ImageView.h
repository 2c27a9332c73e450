#pragma once
// The base of every view of a container: a scrolled client area painted from an off-screen
// picture that the core renders, in the CBM font of either cell size and either case table,
// with the colours of the frame's lists. It lives in a child window of the frame's client
// area, or bare inside a dialog (the open dialog's preview) when it has no frame.

#include <QAbstractScrollArea>
#include <cstdint>
#include <string>
#include <vector>

#include "model/ImageObserver.h"
#include "text/CbmCharset.h"
#include "catalog/DirectoryPicture.h"
#include "ui/ViewWindow.h"

class QMdiSubWindow;

namespace tessarind {

class DiskImage;
class MainFrame;

class ImageView : public QAbstractScrollArea, public ViewWindow, public ImageObserver {
    Q_OBJECT
public:
    struct Style {
        uint32_t text = PaletteRgb(CbmColour::LtBlue);
        uint32_t background = PaletteRgb(CbmColour::Blue);
        uint32_t selection = PaletteRgb(CbmColour::White);
        bool upperCase = true;
        bool largeFont = true;
    };

    // Without a frame the view edits nothing and enables no menu items.
    ImageView(MainFrame* frame, DiskImage& image, const Style& style, QWidget* parent = nullptr);
    ~ImageView() override;

    // Puts the view into a child window; closing that window closes the container.
    QMdiSubWindow* MakeWindow();

    // ---- ViewWindow -----------------------------------------------------------------------
    QMdiSubWindow* Window() override { return window_; }
    DiskImage* Image() const override { return image_; }
    bool HandleCommand(CommandId id) override;
    bool ShowsUpperCase() const override { return upperCase_; }
    uint32_t Colour(CommandId which) const override;
    void SetColour(CommandId which, uint32_t rgb) override;
    void Detach() override;

    // ---- ImageObserver --------------------------------------------------------------------
    void Redraw() override;
    void SetWindowText(const std::string& text) override;
    void EnableCommand(int commandId, bool on) override;
    void CheckCommand(int commandId, bool on) override;
    void SetUndoText(const std::string& text, bool enabled) override;
    // Listings saved from the image look as this view shows the directory.
    bool ShowsLowerCase() const override { return !upperCase_; }
    void DescribeListingStyle(CbmTextStyle& style) const override { style = TextStyle(); }

    // ---- Look -----------------------------------------------------------------------------
    const CaseTable& caseTable() const { return upperCase_ ? kUpperCaseSet : kLowerCaseSet; }
    int cellSize() const { return largeFont_ ? kLargeCellSize : kNormalCellSize; }
    bool largeFont() const { return largeFont_; }
    CbmTextStyle TextStyle() const;
    MainFrame* frame() const { return frame_; }
    // The client area as it is painted.
    QImage Snapshot();
    QSize sizeHint() const override;
    // Gives the window the width of the cells and, with resetHeight, the opening height.
    void FitWindow(bool resetHeight);

    // ---- In-place editing -----------------------------------------------------------------
    // The in-place editor ended over this view, with or without its bytes.
    virtual void CommitEdit(const std::vector<uint8_t>& /*bytes*/) {}
    virtual void CancelEdit() {}

    // Character cells across and down the window when it opens.
    static constexpr int kOpenRows = 25;
    // The window is never made lower than this.
    static constexpr int kMinimumHeight = 160;

signals:
    // A key or click of this view sent a command, before it is carried out.
    void commandSent(CommandId id);

protected:
    // The off-screen picture of a client area of that size.
    virtual Picture RenderPicture(QSize size) = 0;
    virtual int Columns() const { return kListingColumns; }
    // The font or the case table changed.
    virtual void LookChanged() {}
    bool IsActiveView() const;
    // An item text of the frame's menus, while this view is the active one.
    void SetItemText(CommandId id, const QString& text);
    // Sends a command like a key or menu would: to this view first, then to the frame.
    void Dispatch(CommandId id);

    void paintEvent(QPaintEvent* event) override;
    void keyReleaseEvent(QKeyEvent* event) override;

    MainFrame* frame_;
    DiskImage* image_;
    QMdiSubWindow* window_ = nullptr;

private:
    void CheckCrossLinks();

    uint32_t text_;
    uint32_t background_;
    uint32_t selection_;
    bool upperCase_;
    bool largeFont_;
};

} // namespace tessarind
