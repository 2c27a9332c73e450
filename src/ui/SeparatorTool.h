#pragma once
// The separator tool ("Separators"): ready-made decorative directory entries, one per row in
// the large CBM font. A click inserts the separator into the active directory view at its
// current index; the popup inserts, edits (in place), deletes and moves separators. The list
// is the settings' separator list, stored with the other settings at exit.

#include <QImage>
#include <QPointer>
#include <QWidget>
#include <array>
#include <cstdint>
#include <vector>

#include "text/CbmCharset.h"
#include "ui/DragPayload.h"

class QMenu;
class QScrollBar;

namespace tessarind {

class CbmEdit;
class DirectoryView;
class MainFrame;
class Settings;

class SeparatorTool : public QWidget {
    Q_OBJECT
public:
    using Separator = std::array<uint8_t, 30>;
    static constexpr int kGap = 2;                        // left margin of the names
    static constexpr int kRowHeight = kLargeCellSize + 2; // one separator per row
    static constexpr int kNameOffset = 3;                 // the name within the 30 bytes
    static constexpr int kFewestRows = 8;
    // The popup items.
    static constexpr int kInsertItem = 2029, kEditItem = 2030, kMoveUpItem = 2031,
                         kMoveDownItem = 2032, kDeleteItem = 2034;

    SeparatorTool(MainFrame* frame, Settings& settings);

    // The view separators go to: the active view when it is a directory view, else none.
    void SetTargetView(DirectoryView* view);
    DirectoryView* targetView() const;

    // Whole rows for a requested number of rows: 8 while either the request or the list is
    // below 9 rows, else the request up to the list's length.
    static int SnappedRows(int requestedRows, int listLength);

    const std::vector<Separator>& separators() const;
    // The separator under a point of the tool; -1 for empty space.
    int RowAt(const QPoint& point) const;
    QRect RowRect(int row) const;
    int firstRow() const;
    QScrollBar* scrollBar() const { return scroll_; }

    // Inserts separator `row` into the target view; false without a target.
    bool Send(int row);
    // What dragging separator `row` carries: one file "Separator" without data, a DEL
    // entry holding the separator. Empty for a row without a separator.
    DragPayload DragOf(int row) const;

    // The popup for a row (-1: empty space); the caller owns it.
    QMenu* MakeMenu(int row);
    bool CanRun(int item, int row) const;
    void Run(int item, int row);
    // The in-place edit of a separator's name; null while none runs.
    CbmEdit* editor() const { return editor_.data(); }
    void FinishEdit(bool commit);

    QImage Render() const;
    QSize sizeHint() const override;

signals:
    void visibilityChanged(bool visible);

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    std::vector<Separator>& list();
    const CaseTable& caseTable() const;
    void StartEdit(int row);
    void UpdateScrollBar();
    int VisibleRows() const;
    int ContentWidth() const;

    MainFrame* frame_;
    Settings& settings_;
    QPointer<DirectoryView> target_;
    QScrollBar* scroll_ = nullptr;
    QPointer<CbmEdit> editor_;
    int editRow_ = -1;
    int pressed_ = -1;
    QPoint pressedAt_;
    bool snapping_ = false;
};

} // namespace tessarind
