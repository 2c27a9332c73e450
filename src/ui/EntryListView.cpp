#include "ui/EntryListView.h"

#include <QAction>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QDrag>
#include <QDropEvent>
#include <QFontDatabase>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenu>
#include <QPainter>
#include <QPlainTextEdit>
#include <QScrollBar>
#include <algorithm>
#include <cmath>
#include <filesystem>

#include "model/DiskImage.h"
#include "model/FormatRegistry.h"
#include "catalog/DirectoryListing.h"
#include "text/Petscii.h"
#include "ui/CommandActions.h"
#include "ui/EntryDrop.h"
#include "ui/EntryMimeData.h"
#include "ui/KeyCommandTable.h"
#include "ui/MainFrame.h"
#include "ui/PetsciiTextView.h"
#include "ui/ToolbarIcons.h"
#include "ui/ViewCapability.h"

namespace tessarind {

using namespace cmd;

namespace {

constexpr int kGeosConvertKind = 28;

struct ExportChoice {
    const char* name;
    const char* extension;
};

// What the save dialog of an exported file offers, by the entry's type.
std::vector<ExportChoice> ExportChoices(const DirEntry& entry) {
    if (entry.isGeos()) return {{"GEOS Convert", ".cvt"}};
    switch (entry.typeCode()) {
    case kSeq:
        return {{"PETSCII", ".seq"}, {"ASCII", ".txt"}, {"Bitmap", ".bmp"}, {"PC64", ".s00"}};
    case kUsr:
        return {{"USR", ".usr"}, {"PC64", ".u00"}};
    case kRel:
        return {{"REL", ".rel"}, {"PC64", ".r00"}};
    default:
        return {{"PRG", ".prg"}, {"PC64", ".p00"}};
    }
}

} // namespace

EntryListView::EntryListView(MainFrame* frame, DiskImage& image, const Style& style,
                             QWidget* parent)
    : ImageView(frame, image, style, parent) {
    renameTimer_.setSingleShot(true);
    renameTimer_.setInterval(kRenameDelayMs);
    connect(&renameTimer_, &QTimer::timeout, this, [this] { Dispatch(Rename); });
    verticalScrollBar()->setSingleStep(1);
    connect(verticalScrollBar(), &QScrollBar::valueChanged, this, [this] { Redraw(); });
    dragScroll_.setInterval(kDragScrollMs);
    connect(&dragScroll_, &QTimer::timeout, this,
            [this] { ScrollTo(position() + dragScrollStep_); });
    // Drags arrive at the viewport; the area's handlers take them from there.
    setAcceptDrops(frame != nullptr);
    viewport()->setAcceptDrops(frame != nullptr);
}

// ---- Rows and scrolling -------------------------------------------------------------------------

int EntryListView::position() const {
    return verticalScrollBar()->value() - 1;
}

void EntryListView::ScrollTo(int position) {
    verticalScrollBar()->setValue(position + 1);
}

int EntryListView::VisibleRows() const {
    // Whole rows only: a row cut off at the bottom is not shown, and scrolling to the end
    // must show the last one (the free blocks) entirely.
    return std::max(1, viewport()->height() / cellSize());
}

void EntryListView::UpdateScrollRange() {
    // Header, entries and the free line; no space is left below the last row.
    const int rows = RowCount() + 2;
    const int visible = VisibleRows();
    QScrollBar* bar = verticalScrollBar();
    bar->setRange(0, std::max(0, rows - visible));
    bar->setPageStep(visible);
}

int EntryListView::IndexAt(const QPoint& point) const {
    if (point.y() < 0) return -1;
    const int listingRow = verticalScrollBar()->value() + point.y() / cellSize();
    const int index = listingRow - 1;
    return index >= 0 && index < RowCount() ? index : -1;
}

int EntryListView::RowOfIndex(int index) const {
    return index + 1 - verticalScrollBar()->value();
}

void EntryListView::EnsureVisible(int index) {
    if (index < 0) return;
    const int listingRow = index + 1;
    const int top = verticalScrollBar()->value();
    const int visible = VisibleRows();
    if (listingRow < top)
        verticalScrollBar()->setValue(listingRow);
    else if (listingRow >= top + visible)
        verticalScrollBar()->setValue(listingRow - visible + 1);
}

void EntryListView::resizeEvent(QResizeEvent* event) {
    ImageView::resizeEvent(event);
    UpdateScrollRange();
}

void EntryListView::LookChanged() {
    UpdateScrollRange();
}

// ---- Selection ----------------------------------------------------------------------------------

void EntryListView::SelectIndex(int index) {
    index = std::min(index, RowCount() - 1);
    current_ = index;
    first_ = index;
    last_ = index;
    EnsureVisible(index);
    Redraw();
}

void EntryListView::SelectRange(int index) {
    if (current_ < 0) {
        SelectIndex(index);
        return;
    }
    first_ = std::min(current_, index);
    last_ = std::max(current_, index);
    Redraw();
}

void EntryListView::SelectAllRows() {
    if (RowCount() == 0) return;
    first_ = 0;
    last_ = RowCount() - 1;
    if (current_ < 0) current_ = 0;
    Redraw();
}

bool EntryListView::SelectedRange(int& first, int& last) const {
    if (last_ < first_ || first_ < 0) return false;
    first = first_;
    last = last_;
    return true;
}

void EntryListView::SetEntryCount(int count) {
    UpdateScrollRange();
    if (current_ >= count) current_ = count - 1;
    last_ = std::min(last_, count - 1);
    first_ = std::min(first_, last_);
    if (last_ < 0) first_ = 0;
    Redraw();
}

DirectoryViewport EntryListView::Viewport(QSize size) const {
    DirectoryViewport viewport;
    viewport.position = position();
    viewport.rows = (size.height() + cellSize() - 1) / cellSize();
    viewport.selectionFirst = first_;
    viewport.selectionLast = last_;
    return viewport;
}

// ---- In-place editing ---------------------------------------------------------------------------

bool EntryListView::StartEdit(const PendingEdit& pending, const InPlaceEditor::Field& field) {
    if (!frame_) return false;
    pending_ = pending;
    return frame_->inPlaceEditor().Start(*this, field);
}

// ---- Commands -----------------------------------------------------------------------------------

bool EntryListView::HandleCommand(CommandId id) {
    if (ImageView::HandleCommand(id)) return true;
    if (!image_) return false;
    if (id == Export) {
        ExportSelection();
    } else if (id == ListDir) {
        ListDirectoryText();
    } else if (id == ParentDirectory) {
        image_->LeaveSubDirectory();
        EnsureVisible(current_);
    } else if (id == SelectAll) {
        SelectAllRows();
    } else {
        return false;
    }
    return true;
}

void EntryListView::ExportSelection() {
    Interaction* ui = image_->owner();
    if (!ui || first_ < 0) return;
    Settings* settings = image_->mutableSettings();
    for (int index = first_; index <= last_; ++index) {
        DirEntry entry = image_->EntryAt(index);
        if (!entry) continue;
        const FormatRow* own =
            entry.isGeos() ? FindRowById(kGeosConvertKind) : FindRowByCbmType(entry.typeCode());
        if (!own) own = FindRowById(FormatId::Prg);
        SaveRequest request;
        request.folder = settings ? settings->lastSaveFolder : std::string();
        request.proposedName = image_->ExportName(entry, *own);
        request.defaultExtension = std::string(own->extension.substr(1));
        for (const ExportChoice& choice : ExportChoices(entry))
            request.filters.push_back({choice.name, choice.extension});
        bool dialogFailed = false;
        std::optional<SaveChoice> choice = ui->ChooseSaveFile(request, dialogFailed);
        if (!choice) {
            if (dialogFailed) ui->Message("Unable to Save File", "Error");
            continue;
        }
        if (settings)
            settings->lastSaveFolder = std::filesystem::path(choice->path).parent_path().string();
        const FormatRow* row = FindRowForName(DiskImage::FileNamePart(choice->path));
        if (!row) row = own;
        // A chain that breaks off was written as far as it goes and told through the owner.
        std::optional<ChainBreak> broken;
        if (!image_->ExportFile(index, choice->path, false, row, &broken) && !broken) {
            std::string name = HostFileName(entry.name(), 256, image_->settings());
            ui->Message("Unable to Export File " + name, "Error");
        }
    }
}

void EntryListView::ListDirectoryText() {
    std::vector<uint8_t> text = ListDirectory(*image_, ListingForm::Petscii, !ShowsUpperCase());
    if (text.empty()) {
        if (Interaction* ui = image_->owner()) ui->Message("Unable to Read Directory", "Error");
        return;
    }
    const QString title = QString::asprintf("%s%s", qPrintable(windowTitle()), ": DIR");
    ShowTextWindow(frame_, *image_, std::move(text), title,
                   {false, image_->settings().On(SettingId::DefaultCtrlChar), false, false});
}

// ---- Keys ---------------------------------------------------------------------------------------

void EntryListView::keyPressEvent(QKeyEvent* event) {
    const Qt::KeyboardModifiers modifiers = event->modifiers();
    const bool shift = (modifiers & Qt::ShiftModifier) != 0;
    const bool plain = !(modifiers & (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier));
    const int last = RowCount() - 1;
    if (plain) {
        switch (event->key()) {
        case Qt::Key_End:
            if (last >= 0) SelectIndex(last);
            // The free blocks below the last entry come into view too.
            verticalScrollBar()->setValue(verticalScrollBar()->maximum());
            return;
        case Qt::Key_Home:
            if (last >= 0) SelectIndex(0);
            // As End shows the free blocks, Home shows the header.
            verticalScrollBar()->setValue(0);
            return;
        case Qt::Key_Up:
            if (shift)
                Dispatch(MoveFileUp);
            else if (last >= 0)
                SelectIndex(std::max(current_ - 1, 0));
            return;
        case Qt::Key_Down:
            if (shift)
                Dispatch(MoveFileDown);
            else if (last >= 0)
                SelectIndex(std::clamp(current_ + 1, 0, last));
            return;
        case Qt::Key_Return:
        case Qt::Key_Enter:
            Dispatch(ViewFile);
            return;
        default:
            break;
        }
    }
    if (std::optional<CommandId> id = LookupKeyCommand(event->key(), modifiers)) {
        Dispatch(*id);
        return;
    }
    if (event->matches(QKeySequence::Copy)) {
        CopySelection();
        return;
    }
    if (event->matches(QKeySequence::Paste)) {
        Paste();
        return;
    }
    const QString text = event->text();
    if (text == QStringLiteral("*")) {
        Dispatch(Splat);
        return;
    }
    if (text == QStringLiteral("<")) {
        Dispatch(Lock);
        return;
    }
    ImageView::keyPressEvent(event);
}

// ---- Mouse --------------------------------------------------------------------------------------

void EntryListView::mousePressEvent(QMouseEvent* event) {
    if (frame_) frame_->inPlaceEditor().Finish(true);
    renameTimer_.stop();
    setFocus(Qt::MouseFocusReason);
    moves_ = 0;
    armed_ = false;
    const int index = IndexAt(event->position().toPoint());
    if (index < 0) return;
    if (event->modifiers() & Qt::ShiftModifier) {
        SelectRange(index);
    } else if (first_ == last_ && first_ == index && current_ == index) {
        armed_ = true; // a second, slow click renames
    } else {
        SelectIndex(index);
    }
}

void EntryListView::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton && armed_ && hasFocus() &&
        IndexAt(event->position().toPoint()) == current_)
        renameTimer_.start();
    armed_ = false;
}

void EntryListView::mouseDoubleClickEvent(QMouseEvent* event) {
    renameTimer_.stop();
    armed_ = false;
    if (event->button() == Qt::LeftButton && IndexAt(event->position().toPoint()) >= 0)
        Dispatch(ViewFile);
}

void EntryListView::mouseMoveEvent(QMouseEvent* event) {
    if (!(event->buttons() & Qt::LeftButton)) return;
    if (++moves_ == kDragMoves && current_ >= 0 && IndexAt(event->position().toPoint()) >= 0) {
        armed_ = false;
        StartDrag();
    }
}

// ---- Dragging and dropping ---------------------------------------------------------------------

void EntryListView::StartDrag() {
    if (!frame_ || !image_ || first_ < 0) return;
    DragPayload payload = MakeEntryPayload(*image_, first_, last_, this, current_);
    if (payload.records.empty()) return;
    auto* drag = new QDrag(this);
    drag->setMimeData(new EntryMimeData(std::move(payload), frame_->DragFiles()));
    // A move within this view is done by the drop; nothing is removed afterwards.
    drag->exec(Qt::CopyAction | Qt::MoveAction, Qt::CopyAction);
}

bool EntryListView::TakesDrops() const {
    return frame_ && image_ &&
           (Capability() &
            (kCapabilityDirectory | kCapabilityPartitionList | kCapabilityTapeDirectory)) != 0;
}

int EntryListView::DropRowAt(const QPoint& point) const {
    const int index = IndexAt(point);
    if (index >= 0) return index;
    return point.y() < RowOfIndex(0) * cellSize() ? 0 : RowCount();
}

void EntryListView::dragEnterEvent(QDragEnterEvent* event) {
    const DropItems items = TakesDrops() ? ReadDrop(*event->mimeData()) : DropItems{};
    // What this view cannot take goes on to the frame, which opens containers.
    dragFromHere_ = ComesFrom(items, this);
    if (items.empty() || (!dragFromHere_ && !AcceptsAny(*image_, items))) {
        event->ignore();
        return;
    }
    if (window_ && frame_->client()->activeSubWindow() != window_)
        frame_->client()->setActiveSubWindow(window_);
    event->acceptProposedAction();
}

void EntryListView::dragMoveEvent(QDragMoveEvent* event) {
    const QPoint at = event->position().toPoint();
    dropRow_ = DropRowAt(at);
    // Near an edge the list scrolls a row at a time while the pointer stays there.
    const int step = at.y() < kDragScrollZone                          ? -1
                     : at.y() > viewport()->height() - kDragScrollZone ? 1
                                                                       : 0;
    if (step != dragScrollStep_ || !step) dragScroll_.stop();
    dragScrollStep_ = step;
    if (step && !dragScroll_.isActive()) dragScroll_.start();
    event->setDropAction(dragFromHere_ && !(event->modifiers() & Qt::ControlModifier)
                             ? Qt::MoveAction
                             : Qt::CopyAction);
    event->accept();
    Redraw();
}

void EntryListView::EndDragOver() {
    dragScroll_.stop();
    dragScrollStep_ = 0;
    dropRow_ = -1;
    Redraw();
}

void EntryListView::dragLeaveEvent(QDragLeaveEvent*) {
    EndDragOver();
}

void EntryListView::dropEvent(QDropEvent* event) {
    EndDragOver();
    const bool ctrl = (event->modifiers() & Qt::ControlModifier) != 0;
    const Qt::DropAction done =
        TakesDrops() ? Drop(*event->mimeData(), DropRowAt(event->position().toPoint()), ctrl)
                     : Qt::IgnoreAction;
    if (done == Qt::IgnoreAction) {
        event->ignore();
        return;
    }
    event->setDropAction(done);
    event->accept();
}

Qt::DropAction EntryListView::Drop(const QMimeData& mime, int row, bool ctrl) {
    if (!image_) return Qt::IgnoreAction;
    const DropItems items = ReadDrop(mime);
    if (items.empty()) return Qt::IgnoreAction;
    if (ComesFrom(items, this) && !ctrl) {
        const DropResult moved = ReorderEntries(*image_, *items.entries, row);
        if (moved.select >= 0) {
            SelectIndex(moved.select);
            SelectRange(moved.selectLast);
        }
        return Qt::MoveAction;
    }
    if (!AcceptsAny(*image_, items)) return Qt::IgnoreAction;
    const DropResult inserted = InsertDropped(*image_, items, row);
    if (inserted.select >= 0) SelectIndex(inserted.select);
    Redraw();
    if (frame_ && !inserted.toOpen.isEmpty()) OpenDropped(*frame_, {std::nullopt, inserted.toOpen});
    return Qt::CopyAction;
}

void EntryListView::CopySelection() {
    if (!frame_ || !image_ || first_ < 0) return;
    // Pasted back into this view it is a copy, so the payload names no source view.
    DragPayload payload = MakeEntryPayload(*image_, first_, last_);
    if (payload.records.empty()) return;
    QGuiApplication::clipboard()->setMimeData(
        new EntryMimeData(std::move(payload), frame_->DragFiles()));
}

void EntryListView::Paste() {
    const QMimeData* mime = QGuiApplication::clipboard()->mimeData();
    if (!mime || !TakesDrops()) return;
    Drop(*mime, std::max(current_, 0), true);
}

void EntryListView::paintEvent(QPaintEvent* event) {
    ImageView::paintEvent(event);
    if (dropRow_ < 0) return;
    // The row a drop goes before is shown inverted: a line between rows would vanish next to
    // the reversed header or the selection. Below the last entry that is the free line.
    QPainter painter(viewport());
    painter.setCompositionMode(QPainter::RasterOp_SourceXorDestination);
    const int cell = cellSize();
    painter.fillRect(QRect(0, std::max(RowOfIndex(dropRow_), 1) * cell, viewport()->width(), cell),
                     Qt::white);
}

// ---- Context menus ------------------------------------------------------------------------------

QAction* EntryListView::AddItem(QMenu* menu, const QString& text, CommandId id) {
    QAction* item = menu->addAction(text);
    item->setData(Number(id));
    if (frame_) {
        QAction* shared = frame_->actions().Get(id);
        item->setEnabled(shared->isEnabled());
        if (shared->isCheckable()) {
            item->setCheckable(true);
            item->setChecked(shared->isChecked());
        }
    }
    connect(item, &QAction::triggered, this, [this, id] { Dispatch(id); });
    return item;
}

void EntryListView::contextMenuEvent(QContextMenuEvent* event) {
    const bool byMouse = event->reason() == QContextMenuEvent::Mouse;
    const int index = byMouse ? IndexAt(event->pos()) : current_;
    QMenu* menu = index >= 0 ? MakeEntryMenu() : MakeHeaderMenu();
    if (!menu) return;
    menu->setAttribute(Qt::WA_DeleteOnClose);
    QPoint at = byMouse ? event->globalPos()
                        : viewport()->mapToGlobal(
                              QPoint(cellSize(), std::max(RowOfIndex(index), 0) * cellSize()));
    menu->popup(at);
}

} // namespace tessarind
