#pragma once
// The one viewer of CBM text: PETSCII bytes laid out as a C64 screen shows them (colour and
// cursor codes, word wrap), 40 or 80 columns of the CBM font, with mouse selection, copying
// and export. It shows a text document, or a file or listing of an image as a child window
// that closes with the image.

#include <QString>
#include <QTimer>
#include <array>
#include <cstdint>
#include <vector>

#include "text/PetsciiLayout.h"
#include "ui/ImageView.h"
#include "ui/ViewCapability.h"

namespace tessarind {

class PetsciiTextView : public ImageView {
    Q_OBJECT
public:
    // `image` is the text document shown or the image the text came from.
    PetsciiTextView(MainFrame* frame, DiskImage& image, std::vector<uint8_t> text,
                    const QString& title, const std::array<uint8_t, 16>& cbmName,
                    const TextSwitches& switches, const Style& style, QWidget* parent = nullptr);

    int Capability() const override { return kCapabilityTextView; }
    bool HandleCommand(CommandId id) override;
    bool ShowsHiddenCharacters() const override { return switches_.interpretCodes; }
    void Activated() override;

    // ---- Reading the view -----------------------------------------------------------------
    const std::vector<uint8_t>& text() const { return text_; }
    const TextSwitches& switches() const { return switches_; }
    int columns() const { return columns_; }
    int lineCount() const { return lineCount_; }
    int firstLine() const;
    int VisibleRows() const;
    size_t selectionFirst() const { return std::min(anchor_, caret_); }
    size_t selectionLast() const { return std::max(anchor_, caret_); }
    bool HasSelection() const { return selectionLast() > selectionFirst(); }

    // ---- Commands -------------------------------------------------------------------------
    void SetColumns(int columns);
    void ToggleCodes();
    void SelectAllText();
    // The selection as host text: letters keep their case in the upper-case set, carriage
    // returns become CR LF.
    QString SelectedText() const;
    void CopySelection();
    void ExportText();
    // The file name Export proposes: the title without ": DIR" or ".seq".
    QString ProposedName() const;

    static constexpr int kAutoScrollMs = 100;

protected:
    Picture RenderPicture(QSize size) override;
    int Columns() const override { return columns_; }
    void LookChanged() override;
    void resizeEvent(QResizeEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;

private:
    TextLayoutOptions LayoutOptions() const;
    void Relayout();
    size_t PositionAtPoint(QPoint point) const;
    void ExtendTo(QPoint point);
    void AutoScroll();

    std::vector<uint8_t> text_;
    QString title_;
    std::array<uint8_t, 16> cbmName_;
    TextSwitches switches_;
    bool openingWordWrap_;
    int columns_ = 40;
    int lineCount_ = 1;
    size_t anchor_ = 0;
    size_t caret_ = 0;
    bool selecting_ = false;
    QPoint lastPointer_;
    QTimer scrollTimer_;
};

// Opens a text in a view of its own inside the frame: a child window of `owner`'s container
// that closes with it. Null without a frame.
PetsciiTextView* ShowTextWindow(MainFrame* frame, DiskImage& owner, std::vector<uint8_t> text,
                                const QString& title, const TextSwitches& switches);

} // namespace tessarind
