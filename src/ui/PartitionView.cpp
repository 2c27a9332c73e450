#include "ui/PartitionView.h"

#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenu>
#include <QMouseEvent>
#include <QPointer>

#include "catalog/PartitionListing.h"
#include "formats/CmdContainerImage.h"
#include "model/FormatRegistry.h"
#include "ui/CommandActions.h"
#include "ui/DirectoryView.h"
#include "ui/ImageDocument.h"
#include "ui/MainFrame.h"

namespace tessarind {

using namespace cmd;

namespace {

constexpr CommandId kCreateNative = Id(2079), kCreate1541 = Id(2080), kCreate1571 = Id(2081),
                    kCreate1581 = Id(2082), kOpenPartition = Id(2084), kDeletePartition = Id(2088);
constexpr int kNameColumn = 4, kDiskNameColumn = 1;
constexpr int kNameOffset = 5;

} // namespace

PartitionView::PartitionView(MainFrame* frame, CmdContainerImage& container, const Style& style,
                             QWidget* parent)
    : EntryListView(frame, container, style, parent) {
    container.AttachDirectoryView(this);
    UpdateScrollRange();
    if (RowCount() > 0) EntryListView::SelectIndex(0);
    ScrollTo(-1);
}

CmdContainerImage* PartitionView::Container() const {
    return static_cast<CmdContainerImage*>(image_);
}

int PartitionView::RowCount() const {
    return image_ ? image_->entryCount() : 0;
}

Picture PartitionView::RenderPicture(QSize size) {
    if (!image_) return {};
    return RenderDirectory(PartitionListingRows(*Container()), TextStyle(), Viewport(size));
}

void PartitionView::SelectIndex(int index) {
    if (!image_) return;
    EntryListView::SelectIndex(std::min(index, RowCount() - 1));
    UpdateEntryCommands();
}

void PartitionView::Activated() {
    UpdateEntryCommands();
}

void PartitionView::UpdateEntryCommands() {
    if (!IsActiveView() || !image_) return;
    const bool selected = current_ >= 0 && current_ < RowCount();
    const bool openable = selected && Container()->CanOpenPartition(current_);
    EnableCommand(Number(Rename), selected);
    EnableCommand(Number(RenameDisk), true);
    EnableCommand(Number(kOpenPartition), openable);
    EnableCommand(Number(kDeletePartition), openable);
    for (CommandId id : {kCreateNative, kCreate1541, kCreate1571, kCreate1581})
        EnableCommand(Number(id), true);
    EnableCommand(Number(ShowDeletedFiles), true);
    CheckCommand(Number(ShowDeletedFiles), image_->showDeleted());
}

bool PartitionView::OpenCurrent() {
    if (!image_ || !frame_ || current_ < 0) return false;
    CmdContainerImage* container = Container();
    const bool wasOpen = container->ChildAt(current_) != nullptr;
    DiskImage* child = container->OpenPartition(current_);
    if (!child) return false;
    if (wasOpen) {
        // Its window is activated rather than a second one opened.
        for (const auto& document : frame_->openImages())
            if (&document->image() == image_)
                for (QMdiSubWindow* window : frame_->client()->subWindowList())
                    if (auto* view = qobject_cast<ImageView*>(window->widget());
                        view && view->Image() == child) {
                        frame_->client()->setActiveSubWindow(window);
                        return true;
                    }
    }
    child->SetOwner(frame_->interaction());
    Style style = frame_->ViewStyle();
    style.upperCase = !ShowsLowerCase(); // the same character set as the partition list
    auto* view = new DirectoryView(frame_, *child, style);
    QMdiSubWindow* window = view->MakeWindow();
    frame_->client()->addSubWindow(window);
    view->FitWindow(true);
    for (const auto& document : frame_->openImages())
        if (&document->image() == image_) document->AddChildView(view);
    // Closed on its own, the window's image is forgotten; closed with the container, the
    // container takes its children with it.
    QPointer<PartitionView> self(this);
    connect(view, &QObject::destroyed, this, [self, child] {
        if (self && self->Image()) self->Container()->CloseChild(child);
    });
    window->show();
    frame_->client()->setActiveSubWindow(window);
    return true;
}

bool PartitionView::HandleCommand(CommandId id) {
    if (!image_) return false;
    CmdContainerImage& container = *Container();
    if (id == kOpenPartition || id == ViewFile) {
        OpenCurrent();
    } else if (id == kDeletePartition) {
        if (!container.DeletePartition(current_)) return true;
        SelectIndex(current_);
    } else if (id == Rename) {
        StartNameEdit();
    } else if (id == RenameDisk) {
        StartDiskNameEdit();
    } else if (id == ShowDeletedFiles) {
        container.SetShowDeleted(!container.showDeleted());
        container.Refresh();
        SelectIndex(current_);
    } else if (id == kCreateNative || id == kCreate1541 || id == kCreate1571 || id == kCreate1581) {
        container.HandleCommand(Number(id)); // selects and starts the rename itself
    } else if (EntryListView::HandleCommand(id)) {
        SelectIndex(current_);
        return true;
    } else {
        return false;
    }
    Redraw();
    return true;
}

void PartitionView::mouseDoubleClickEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton && IndexAt(event->position().toPoint()) >= 0) {
        OpenCurrent();
        return;
    }
    EntryListView::mouseDoubleClickEvent(event);
}

void PartitionView::StartRename(int index) {
    SelectIndex(index);
    StartNameEdit();
}

void PartitionView::StartNameEdit() {
    DirEntry entry = image_ ? image_->EntryAt(current_) : DirEntry();
    if (!entry) return;
    EnsureVisible(current_);
    std::vector<uint8_t> name(entry.data() + kNameOffset, entry.data() + kNameOffset + kNameLength);
    StartEdit({UndoKind::Name, current_, name, "Rename File"},
              {kNameColumn, RowOfIndex(current_), kNameLength, name, false});
}

void PartitionView::StartDiskNameEdit() {
    const std::span<const uint8_t> disk = image_ ? image_->DiskName() : std::span<const uint8_t>();
    if (disk.empty()) return;
    ScrollTo(-1);
    std::vector<uint8_t> name(disk.begin(), disk.end());
    StartEdit({UndoKind::DiskName, -1, name, "Rename Disk"},
              {kDiskNameColumn, 0, static_cast<int>(name.size()), name, false});
}

void PartitionView::CommitEdit(const std::vector<uint8_t>& bytes) {
    const PendingEdit edit = pending_;
    pending_ = PendingEdit{};
    if (!image_ || bytes.size() != kNameLength) return;
    if (edit.kind == UndoKind::DiskName) {
        image_->RenameDisk(bytes);
    } else {
        image_->RenameEntry(image_->EntryAt(edit.index),
                            std::span<const uint8_t, kNameLength>(bytes.data(), kNameLength),
                            edit.index);
    }
    image_->RedrawViews();
    SelectIndex(current_);
}

QMenu* PartitionView::MakeEntryMenu() {
    if (!frame_) return nullptr;
    UpdateEntryCommands();
    auto* menu = new QMenu(QStringLiteral("Partition"), this);
    AddItem(menu, QStringLiteral("&Rename"), Rename);
    AddItem(menu, QStringLiteral("&Open Partition"), kOpenPartition);
    QMenu* create = menu->addMenu(QStringLiteral("&Create Partition"));
    AddItem(create, QStringLiteral("&CMD"), kCreateNative);
    AddItem(create, QStringLiteral("D&64"), kCreate1541);
    AddItem(create, QStringLiteral("D&71"), kCreate1571);
    AddItem(create, QStringLiteral("D&81"), kCreate1581);
    AddItem(menu, QStringLiteral("&Delete"), kDeletePartition);
    return menu;
}

QMenu* PartitionView::MakeHeaderMenu() {
    if (!frame_) return nullptr;
    UpdateEntryCommands();
    auto* menu = new QMenu(QStringLiteral("Partition"), this);
    AddItem(menu, QStringLiteral("&Rename Disk"), RenameDisk);
    QMenu* create = menu->addMenu(QStringLiteral("&Create Partition"));
    AddItem(create, QStringLiteral("&CMD"), kCreateNative);
    AddItem(create, QStringLiteral("D&64"), kCreate1541);
    AddItem(create, QStringLiteral("D&71"), kCreate1571);
    AddItem(create, QStringLiteral("D&81"), kCreate1581);
    return menu;
}

} // namespace tessarind
