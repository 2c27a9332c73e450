#pragma once
// A view that lists entries one per row under a header row: the current index and the
// selected range, the mouse (click, Shift-click, click-to-rename, the drag threshold), the
// keys and the key command table, the context menus, the commands every list offers and
// the in-place edit that the list's commit operation finishes.

#include <QTimer>
#include <cstdint>
#include <string>
#include <vector>

#include "model/UndoRecord.h"
#include "ui/ImageView.h"
#include "ui/InPlaceEditor.h"

class QMenu;
class QMimeData;

namespace tessarind {

class EntryListView : public ImageView {
    Q_OBJECT
public:
    // Milliseconds between the release of a click on the selected row and the rename.
    static constexpr int kRenameDelayMs = 500;
    // Mouse-move events with the button held before a drag starts.
    static constexpr int kDragMoves = 3;

    EntryListView(MainFrame* frame, DiskImage& image, const Style& style,
                  QWidget* parent = nullptr);

    // ---- Selection --------------------------------------------------------------------------
    int currentIndex() const { return current_; }
    int selectionFirst() const { return first_; }
    int selectionLast() const { return last_; }
    bool IsSelected(int index) const { return index >= first_ && index <= last_ && index >= 0; }
    // Makes an index the current one and the whole selection (stepping back to the nearest
    // index that has an entry), updates what depends on it and scrolls it into view.
    virtual void SelectIndex(int index);
    // The range between the current index and `index`; the current index stays.
    void SelectRange(int index);
    void SelectAllRows();
    // Number of entry rows.
    virtual int RowCount() const = 0;
    // The first entry shown; -1 when the header is the top row.
    int position() const;
    void ScrollTo(int position);
    // Rows that fit the client area wholly (at least one).
    int VisibleRows() const;
    // The entry under a client-area point; -1 for the header and empty space.
    int IndexAt(const QPoint& point) const;
    // The client-area row of an entry (the header is row 0 when it is shown).
    int RowOfIndex(int index) const;
    void EnsureVisible(int index);
    bool renamePending() const { return renameTimer_.isActive(); }

    // ---- In-place editing -----------------------------------------------------------------
    struct PendingEdit {
        UndoKind kind = UndoKind::Name;
        int index = -1;
        std::vector<uint8_t> previous;
        std::string label;
    };
    // Commits the bytes of the in-place editor.
    void CommitEdit(const std::vector<uint8_t>& bytes) override = 0;
    void CancelEdit() override { pending_ = PendingEdit{}; }

    // ---- ImageObserver ----------------------------------------------------------------------
    void SetEntryCount(int count) override;
    void SelectLine(int index) override { SelectIndex(index); }
    void UpdateLine(int) override { Redraw(); }
    bool SelectedRange(int& first, int& last) const override;

    bool HandleCommand(CommandId id) override;

    // ---- Dragging, dropping and the clipboard ----------------------------------------------
    // Pixels from the top or bottom edge within which a drag scrolls the list.
    static constexpr int kDragScrollZone = 20;
    static constexpr int kDragScrollMs = 500;
    // The row a drop at a client-area point goes to: the header inserts before the first
    // entry, the space below the last one after it.
    int DropRowAt(const QPoint& point) const;
    // The row a drag over the view would drop on; -1 while none is over it.
    int dropRow() const { return dropRow_; }
    // Carries out a drop at `row` as a drop of the window system would (Ctrl held: copy
    // even within this view). The action done; IgnoreAction when the view takes nothing.
    Qt::DropAction Drop(const QMimeData& mime, int row, bool ctrl);
    // The selected entries on the clipboard, as a drag carries them.
    void CopySelection();
    // Inserts what the clipboard holds (host files or entries) at the current index.
    void Paste();

    // The popups of the context menu; null without a frame. The caller owns the menu.
    virtual QMenu* MakeEntryMenu() { return nullptr; }
    virtual QMenu* MakeHeaderMenu() { return nullptr; }

protected:
    // The visible part of the list for a client area of that size: from the scroll position,
    // the selection inverted.
    DirectoryViewport Viewport(QSize size) const;
    // Opens the in-place editor over cells of the client area.
    bool StartEdit(const PendingEdit& pending, const InPlaceEditor::Field& field);
    // Called once the button has moved far enough with a selection: the place for dragging.
    virtual void StartDrag();
    void UpdateScrollRange();
    // A popup item mirroring the state of the frame's item for `id` and sending `id`.
    QAction* AddItem(QMenu* menu, const QString& text, CommandId id);

    void keyPressEvent(QKeyEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dragLeaveEvent(QDragLeaveEvent* event) override;
    void dropEvent(QDropEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void LookChanged() override;

    int current_ = -1;
    int first_ = 0;
    int last_ = -1;
    PendingEdit pending_;

private:
    void ExportSelection();
    void ListDirectoryText();

    // Whether a drag may drop here: list views of files only.
    bool TakesDrops() const;
    void EndDragOver();

    QTimer renameTimer_;
    QTimer dragScroll_;
    int dragScrollStep_ = 0;
    int dropRow_ = -1;
    bool dragFromHere_ = false; // the drag over the view started in it
    bool armed_ = false;
    int moves_ = 0;
};

} // namespace tessarind
