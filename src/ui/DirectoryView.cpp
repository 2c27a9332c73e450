#include "ui/DirectoryView.h"

#include <QAction>
#include <QFileDialog>
#include <QMenu>
#include <algorithm>
#include <cstring>

#include "archives/StoredArchive.h"
#include "model/DiskImage.h"
#include "catalog/DirectoryListing.h"
#include "model/BasicListing.h"
#include "model/FormatRegistry.h"
#include "text/Petscii.h"
#include "ui/BamView.h"
#include "ui/PetsciiTextView.h"
#include "ui/SectorEditorView.h"
#include "ui/CommandActions.h"
#include "ui/DialogFilter.h"
#include "ui/MainFrame.h"

namespace tessarind {

using namespace cmd;

namespace {

constexpr int kNameColumn = 6;
constexpr int kDiskNameColumn = 3;
constexpr int kDiskIdColumn = 21;
constexpr int kDiskIdLength = 5;
constexpr int kSizeLength = 5;

constexpr CommandId kTypeItems[] = {TypeDel, TypeSeq, TypePrg, TypeUsr, TypeRel, TypeCbm};
constexpr CommandId kAlignItems[] = {Expand, LeftJustify, Center, RightJustify};

int NameLength(std::span<const uint8_t> name) {
    return static_cast<int>(std::find(name.begin(), name.end(), kPad) - name.begin());
}

} // namespace

DirectoryView::DirectoryView(MainFrame* frame, DiskImage& image, const Style& style,
                             QWidget* parent)
    : EntryListView(frame, image, style, parent) {
    image.AttachDirectoryView(this);
    UpdateScrollRange();
    if (RowCount() > 0) EntryListView::SelectIndex(0);
    ScrollTo(-1);
}

int DirectoryView::RowCount() const {
    return image_ ? image_->entryCount() : 0;
}

QString DirectoryView::listingText() const {
    if (!image_) return {};
    std::vector<uint8_t> text = ListDirectory(*image_, ListingForm::Ascii, !ShowsUpperCase());
    return QString::fromLatin1(reinterpret_cast<const char*>(text.data()),
                               static_cast<qsizetype>(text.size()));
}

std::array<uint8_t, 30> DirectoryView::BlankEntry() {
    std::array<uint8_t, 30> body{};
    constexpr int kBody = 2; // the body starts at the type byte of a slot
    body[DirEntryOffset::type - kBody] = kTypeClosed | kPrg;
    std::fill_n(body.begin() + (DirEntryOffset::name - kBody), kNameLength, kPad);
    return body;
}

// ---- Painting -----------------------------------------------------------------------------------

Picture DirectoryView::RenderPicture(QSize size) {
    if (!image_) return {};
    return RenderDirectory(*image_, TextStyle(), Viewport(size));
}

// ---- Selection ----------------------------------------------------------------------------------

void DirectoryView::SelectIndex(int index) {
    if (!image_) return;
    index = std::min(index, RowCount() - 1);
    while (index >= 0 && !image_->EntryAt(index))
        --index;
    EntryListView::SelectIndex(index);
    UpdateEntryCommands();
}

void DirectoryView::Activated() {
    if (!image_) return;
    UpdateEntryCommands();
    Enable(ParentDirectory, !image_->DirStack().empty());
}

void DirectoryView::UpdateEntryCommands() {
    if (!IsActiveView()) return;
    DiskImage& image = *image_;
    DirEntry entry = current_ >= 0 ? image.EntryAt(current_) : DirEntry();
    const bool selected = static_cast<bool>(entry);
    const int type = selected ? entry.typeCode() : -1;
    const bool firstBlock =
        selected && image.SectorPointer(entry.firstTrack(), entry.firstSector());

    Enable(MoveFileUp, selected && current_ > 0);
    Enable(MoveFileDown, selected && current_ < RowCount() - 1);
    for (CommandId id : {Rename, Remove, Splat, Lock, ChangeFileSize, AutoFileSize, Uncompress})
        Enable(id, selected);
    for (int code = 0; code < 6; ++code) {
        Enable(kTypeItems[code], selected && (code < 5 || image.maxFileType() >= 5));
        Check(kTypeItems[code], selected && type == code);
    }
    Enable(Insert, true);
    // SEQ files and BASIC programs are shown as text; sub-directories are entered.
    Enable(ViewFile, firstBlock && (type == kSeq || type == kPrg || type == kCbm || type == kDir));
    Enable(CreateSubDir, image.maxFileType() > 4);
    Enable(Export, firstBlock && type >= kSeq && type <= kRel);
    Enable(JumpToSector, firstBlock);
    Enable(JumpToEntrySector, firstBlock);
    Enable(JumpToSideSector,
           selected && image.SectorPointer(entry.sideTrack(), entry.sideSector()) != nullptr);
    for (int entryNumber = 1; entryNumber <= kRunInCount; ++entryNumber)
        Enable(RunIn(entryNumber),
               selected && !image.settings()
                                .emulators[static_cast<size_t>(entryNumber - 1)]
                                .program.empty());
    Check(Splat, selected && !entry.closed());
    Check(Lock, selected && entry.locked());

    // The Align items: a short name can be expanded; a full one collapsed when it has blanks
    // at an end, and its justification shows as a check.
    const int length = selected ? NameLength(entry.name()) : 0;
    const bool full = length == kNameLength;
    const bool startsBlank = full && entry.name()[0] == ' ';
    const bool endsBlank = full && entry.name()[kNameLength - 1] == ' ';
    const bool alignable = selected && (!full || startsBlank || endsBlank);
    for (CommandId id : kAlignItems)
        Enable(id, alignable);
    SetItemText(Expand, full ? QStringLiteral("Collapse\tX") : QStringLiteral("Expand\tX"));
    Check(Expand, false);
    Check(LeftJustify, full && !startsBlank && endsBlank);
    Check(Center, full && startsBlank && endsBlank);
    Check(RightJustify, full && startsBlank && !endsBlank);
    emit currentEntryChanged();
}

// ---- Commands -----------------------------------------------------------------------------------

bool DirectoryView::HandleCommand(CommandId id) {
    if (EntryListView::HandleCommand(id)) {
        // Undo, sorting, validation and the rest may have changed the current entry.
        if (image_) UpdateEntryCommands();
        return true;
    }
    if (!image_) return false;
    DiskImage& image = *image_;
    DirEntry entry = current_ >= 0 ? image.EntryAt(current_) : DirEntry();
    const int number = Number(id);

    if (id == Insert) {
        InsertBlank();
    } else if (id == Import) {
        if (!frame_) return false;
        const QString filter =
            DialogFilter::NameFilters(DialogFilter::Build(DialogFilter::ImportGroups()))
                .join(QStringLiteral(";;"));
        ImportFiles(QFileDialog::getOpenFileNames(frame_, QStringLiteral("Import"),
                                                  QString::fromStdString(image.settings().location),
                                                  filter));
    } else if (id == BamEditor) {
        ShowBamWindow(frame_, image);
    } else if (id == RenameDisk) {
        StartDiskNameEdit();
    } else if (id == EditDiskId) {
        StartDiskIdEdit();
    } else if (id == ShowDeletedFiles) {
        image.SetShowDeleted(!image.showDeleted());
        Check(ShowDeletedFiles, image.showDeleted());
        image.Refresh();
        SelectIndex(current_);
    } else if (id == CreateSubDir) {
        if (!image.CreateSubDirectory(current_))
            ReportError(image.owner(), "Unable to Create Sub Directory");
        image.Refresh();
        SelectIndex(std::max(current_, 0));
    } else if (!entry) {
        // Everything below works on the current entry.
        const bool entryCommand = id == Remove || id == Rename ||
                                  (number >= Number(TypeDel) && number <= Number(TypeCbm)) ||
                                  id == Splat || id == Lock || id == MoveFileUp ||
                                  id == MoveFileDown || id == ChangeFileSize ||
                                  id == AutoFileSize || id == Expand || id == LeftJustify ||
                                  id == Center || id == RightJustify || id == ViewFile ||
                                  id == Uncompress;
        return entryCommand;
    } else if (id == JumpToSector || id == JumpToEntrySector) {
        ShowSectorEditor(frame_, image, entry.firstTrack(), entry.firstSector());
    } else if (id == JumpToSideSector) {
        ShowSectorEditor(frame_, image, entry.sideTrack(), entry.sideSector());
    } else if (id == Remove) {
        image.RemoveEntry(current_, true);
    } else if (id == Rename) {
        StartNameEdit();
    } else if (number >= Number(TypeDel) && number <= Number(TypeCbm)) {
        const int code = number - Number(TypeDel);
        if (code <= image.maxFileType()) image.SetFileType(entry, code, current_);
        SelectIndex(current_);
    } else if (id == Splat) {
        image.SetSplat(entry, entry.closed(), current_);
        SelectIndex(current_);
    } else if (id == Lock) {
        image.SetLocked(entry, !entry.locked(), current_);
        SelectIndex(current_);
    } else if (id == MoveFileUp || id == MoveFileDown) {
        image.MoveEntry(id == MoveFileUp, current_, true);
        SelectIndex(current_);
    } else if (id == ChangeFileSize) {
        StartSizeEdit();
    } else if (id == AutoFileSize) {
        image.AutoFileSize(current_);
        SelectIndex(current_);
    } else if (id == Expand) {
        const bool full = NameLength(entry.name()) == kNameLength;
        image.AlignName(current_, full ? Align::Collapse : Align::Left);
        SelectIndex(current_);
    } else if (id == LeftJustify || id == Center || id == RightJustify) {
        image.AlignName(current_, id == LeftJustify ? Align::Left
                                  : id == Center    ? Align::Center
                                                    : Align::Right);
        SelectIndex(current_);
    } else if (id == ViewFile) {
        ViewCurrent();
    } else if (id == Uncompress) {
        UncompressCurrent();
    } else {
        return false;
    }
    Redraw();
    return true;
}

void DirectoryView::ImportFiles(const QStringList& paths) {
    int index = std::max(current_, 0);
    int inserted = -1;
    for (const QString& path : paths) {
        if (!image_->ImportHostFile(path.toStdString(), index, true)) continue;
        inserted = index++;
    }
    image_->Refresh();
    if (inserted >= 0) SelectIndex(inserted);
    Redraw();
}

void DirectoryView::InsertBlank() {
    const std::array<uint8_t, 30> body = BlankEntry();
    if (!image_->InsertEntry(current_, body)) return;
    SelectIndex(std::max(current_, 0));
    StartNameEdit();
}

void DirectoryView::ViewCurrent() {
    DirEntry entry = image_->EntryAt(current_);
    const int type = entry.typeCode();
    Interaction* ui = image_->owner();
    const bool codes = image_->settings().On(SettingId::DefaultCtrlChar);
    const std::string name = HostFileName(entry.name(), 256, image_->settings());
    if (type == kSeq) {
        std::optional<std::vector<uint8_t>> data = image_->ReadFileData(current_);
        if (!data) {
            ReportError(ui, "Unable to Open File");
            return;
        }
        ShowTextWindow(
            frame_, *image_, std::move(*data),
            QString::fromStdString(image_->ExportName(entry, *FindRowById(FormatId::Seq))),
            {true, codes, true, false});
    } else if (type == kPrg) {
        std::optional<std::vector<uint8_t>> listing = Detokenize(*image_, current_);
        if (!listing) {
            ReportError(ui, "Unable to View File");
            return;
        }
        ShowTextWindow(frame_, *image_, std::move(*listing), QString::fromStdString(name),
                       {false, codes, false, false});
    } else if (type == kCbm || type == kDir) {
        if (!image_->EnterSubDirectory(current_)) ReportError(ui, "Unable to Open Directory");
    }
}

void DirectoryView::UncompressCurrent() {
    Interaction* owner = frame_ ? frame_->interaction() : image_->owner();
    std::unique_ptr<DiskImage> unpacked = OpenStoredArchive(
        *image_, current_, owner, frame_ ? &frame_->settings() : image_->mutableSettings());
    if (!unpacked || !frame_) {
        ReportError(owner, "Unable to Decompress File");
        return;
    }
    frame_->AddImage(std::move(unpacked));
}

void DirectoryView::StartRename(int index) {
    SelectIndex(index);
    StartNameEdit();
}

// ---- In-place editing ---------------------------------------------------------------------------

void DirectoryView::StartNameEdit() {
    DirEntry entry = image_->EntryAt(current_);
    if (!entry) return;
    EnsureVisible(current_);
    std::vector<uint8_t> name(entry.name().begin(), entry.name().end());
    StartEdit({UndoKind::Name, current_, name, "Rename File"},
              {kNameColumn, RowOfIndex(current_), kNameLength, name, false});
}

void DirectoryView::StartDiskNameEdit() {
    const std::span<const uint8_t> disk = image_->DiskName();
    if (disk.empty()) return;
    ScrollTo(-1);
    std::vector<uint8_t> name(disk.begin(), disk.end());
    StartEdit({UndoKind::DiskName, -1, name, "Rename Disk"},
              {kDiskNameColumn, 0, static_cast<int>(name.size()), name, false});
}

void DirectoryView::StartDiskIdEdit() {
    const std::span<const uint8_t> disk = image_->DiskId();
    if (disk.size() != kDiskIdLength) return;
    ScrollTo(-1);
    std::vector<uint8_t> id(disk.begin(), disk.end());
    StartEdit({UndoKind::DiskId, -1, id, "Disk ID"}, {kDiskIdColumn, 0, kDiskIdLength, id, false});
}

void DirectoryView::StartSizeEdit() {
    DirEntry entry = image_->EntryAt(current_);
    if (!entry) return;
    EnsureVisible(current_);
    const std::string digits = std::to_string(entry.blocks());
    std::vector<uint8_t> bytes(kSizeLength, kPad);
    std::copy_n(digits.begin(), std::min(digits.size(), bytes.size()), bytes.begin());
    StartEdit({UndoKind::Blocks, current_, bytes, "File Size"},
              {0, RowOfIndex(current_), kSizeLength, bytes, true});
}

void DirectoryView::CommitEdit(const std::vector<uint8_t>& bytes) {
    const PendingEdit edit = pending_;
    pending_ = PendingEdit{};
    if (!image_ || bytes.size() != edit.previous.size()) return;
    if (edit.kind == UndoKind::DiskId || edit.kind == UndoKind::DiskName) {
        CommitDiskField(*image_, edit.kind, bytes, edit.label);
        SelectIndex(current_);
        return;
    }
    DiskImage& image = *image_;
    const size_t before = image.Journal().size();
    image.BeginGroup();
    bool changed = false;
    switch (edit.kind) {
    case UndoKind::Blocks: {
        DirEntry entry = image.EntryAt(edit.index);
        if (!entry) break;
        long value = 0;
        for (uint8_t digit : bytes) {
            if (digit < '0' || digit > '9') break;
            value = std::min(value * 10 + (digit - '0'), 65535L);
        }
        if (value == entry.blocks()) break;
        image.SetBlocks(entry, static_cast<uint16_t>(value), edit.index);
        changed = true;
        break;
    }
    default: {
        DirEntry entry = image.EntryAt(edit.index);
        if (!entry || std::equal(bytes.begin(), bytes.end(), entry.name().begin())) break;
        image.RenameFile(entry, std::span<const uint8_t, kNameLength>(bytes.data(), kNameLength),
                         edit.index);
        changed = true;
        break;
    }
    }
    image.EndGroup(edit.label);
    if (changed && image.Journal().size() > before) image.SetModified(true);
    image.Refresh();
    image.RedrawViews();
    SelectIndex(current_);
}

bool CommitDiskField(DiskImage& image, UndoKind kind, const std::vector<uint8_t>& bytes,
                     const std::string& label) {
    const size_t before = image.Journal().size();
    image.BeginGroup();
    bool changed = false;
    if (kind == UndoKind::DiskId && bytes.size() == kDiskIdLength)
        changed = image.ChangeDiskId(std::span<const uint8_t, kDiskIdLength>(bytes.data(), kDiskIdLength));
    else if (kind == UndoKind::DiskName)
        changed = image.RenameDisk(bytes);
    image.EndGroup(label);
    if (changed && image.Journal().size() > before) image.SetModified(true);
    image.Refresh();
    image.RedrawViews();
    return changed;
}

// ---- Context menus ------------------------------------------------------------------------------

QMenu* DirectoryView::MakeEntryMenu() {
    if (!frame_) return nullptr;
    auto* menu = new QMenu(this);
    AddItem(menu, QStringLiteral("&Rename"), Rename);
    AddItem(menu, QStringLiteral("&Insert"), Insert);
    AddItem(menu, QStringLiteral("Re&move"), Remove);
    AddItem(menu, QStringLiteral("&Export"), Export);
    AddItem(menu, QStringLiteral("&Jump to Sector"), JumpToEntrySector);
    AddItem(menu, QStringLiteral("&View File"), ViewFile);
    AddItem(menu, QStringLiteral("&Uncompress"), Uncompress);
    AddItem(menu, QStringLiteral("Create Sub &Dir"), CreateSubDir);
    AddItem(menu, QStringLiteral("&Splat"), Splat);
    AddItem(menu, QStringLiteral("&Lock"), Lock);
    AddItem(menu, QStringLiteral("&Change File Size"), ChangeFileSize);
    AddItem(menu, QStringLiteral("&Auto File Size"), AutoFileSize);
    QMenu* types = menu->addMenu(QStringLiteral("&File Type"));
    const char* typeTexts[] = {"&DEL", "&SEQ", "&PRG", "&USR", "&REL", "&CBM"};
    for (int code = 0; code < 6; ++code)
        AddItem(types, QString::fromLatin1(typeTexts[code]), kTypeItems[code]);
    QMenu* align = menu->addMenu(QStringLiteral("&Align"));
    for (CommandId id : kAlignItems)
        AddItem(align, frame_->actions().Get(id)->text(), id);
    QMenu* runIn = menu->addMenu(QStringLiteral("Run In"));
    for (int entry = 1; entry <= kRunInCount; ++entry)
        AddItem(runIn, frame_->actions().Get(RunIn(entry))->text(), RunIn(entry));
    AddItem(menu, QStringLiteral("Show &File Properties"), ShowFileProperties);
    return menu;
}

QMenu* DirectoryView::MakeHeaderMenu() {
    if (!frame_) return nullptr;
    auto* menu = new QMenu(QStringLiteral("Directory Name"), this);
    AddItem(menu, QStringLiteral("&Rename Disk"), RenameDisk);
    AddItem(menu, QStringLiteral("Edit Disk &ID"), EditDiskId);
    AddItem(menu, QStringLiteral("&Insert"), Insert);
    return menu;
}

} // namespace tessarind
