#pragma once
// The block map of a container: one cell per block, free or used, with the error numbers of
// images that carry error bytes. A right click flips a block (or opens the "BAM" popup when
// the image has error bytes). One per image; it closes with the image.

#include <QString>
#include <optional>

#include "catalog/BamGrid.h"
#include "model/UndoRecord.h"
#include "ui/ImageView.h"
#include "ui/ViewCapability.h"

class QMenu;

namespace tessarind {

class BamView : public ImageView {
    Q_OBJECT
public:
    BamView(MainFrame* frame, DiskImage& image, const Style& style, QWidget* parent = nullptr);
    ~BamView() override;

    int Capability() const override { return kCapabilityBam; }
    bool HandleCommand(CommandId id) override;
    void Detach() override;

    const BamGrid& grid() const { return grid_; }
    std::optional<BamBlock> hovered() const { return hovered_; }
    // Hovers the block under a client point, as the mouse does.
    void HoverAt(QPoint point);
    // The popup a right click on the hovered block opens; null when it flips at once. The
    // caller runs it (tests look at it without running it).
    QMenu* BuildPopup();
    // A right click at a client point: flips the block, or returns the popup to show.
    QMenu* RightClick(QPoint point);
    // Sets the scroll ranges and the window's size limits from the image's geometry.
    void FitToImage();

    QSize sizeHint() const override;
    void CommitEdit(const std::vector<uint8_t>& bytes) override;

protected:
    Picture RenderPicture(QSize size) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void scrollContentsBy(int dx, int dy) override;

private:
    // The head row: the disk name from this cell column, the ID from the other.
    static constexpr int kNameColumn = 1;
    static constexpr int kIdColumn = 18;
    static constexpr int kHeadTop = 4;

    void Flip(const BamBlock& block);
    void StartHeadEdit(UndoKind kind);

    BamGrid grid_;
    std::optional<BamBlock> hovered_;
    QMenu* popup_ = nullptr;
    UndoKind editKind_ = UndoKind::DiskName;
};

// The BAM view of an image: the one it has, activated, or a new one in a child window.
BamView* ShowBamWindow(MainFrame* frame, DiskImage& image);

} // namespace tessarind
