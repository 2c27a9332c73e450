#pragma once
// One block of a container in hex and CBM characters, edited in place, with a toolbar and
// keys that move along tracks, sectors and block links. One per image, reused for every
// block shown; it closes with the image, journalling an edit in progress first.

#include <QTimer>
#include <memory>

#include "catalog/SectorEditor.h"
#include "ui/CbmCodeTarget.h"
#include "ui/ImageView.h"
#include "ui/ViewCapability.h"

class QToolBar;
class QMenu;

namespace tessarind {

class SectorEditorView : public ImageView, public CbmCodeTarget {
    Q_OBJECT
public:
    SectorEditorView(MainFrame* frame, DiskImage& image, const Style& style,
                     QWidget* parent = nullptr);
    ~SectorEditorView() override;

    int Capability() const override { return kCapabilitySectorEditor; }
    bool HandleCommand(CommandId id) override;
    void Detach() override;
    void BlockChanged(int track, int sector, int offset) override;

    // The editing state; null once the image has closed.
    SectorEditor* editor() const { return editor_.get(); }
    QToolBar* toolBar() const { return toolBar_; }
    // Shows a block (the history keeps the one shown before) and refreshes the view.
    bool ShowBlock(int track, int sector);
    // The "Sector Edit" popup as it would open now; the caller runs it.
    QMenu* BuildPopup();
    bool caretOn() const { return caretOn_; }
    // A code of the CBM tool: stored at the cursor while the character column is active.
    void TypeCbmCode(uint8_t code) override;

    QSize sizeHint() const override;

    static constexpr int kBlinkMs = 500;

protected:
    Picture RenderPicture(QSize size) override;
    void keyPressEvent(QKeyEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;

private:
    void Changed();
    void UpdateButtons();
    // The CBM tool types here while the character column is active and the view has the focus.
    void UpdateCbmTarget();
    int CharWidth() const;
    int RowHeight() const;
    int CharacterAreaX() const;

    std::unique_ptr<SectorEditor> editor_;
    QToolBar* toolBar_ = nullptr;
    QTimer blink_;
    bool caretOn_ = true;
    QMenu* popup_ = nullptr;
};

// Shows a block in the image's sector editor, made on first use, and activates it.
SectorEditorView* ShowSectorEditor(MainFrame* frame, DiskImage& image, int track, int sector);

} // namespace tessarind
