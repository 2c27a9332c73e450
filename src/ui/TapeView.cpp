#include "ui/TapeView.h"

#include <QFileDialog>
#include <QMenu>
#include <algorithm>
#include <filesystem>

#include "catalog/TapeListing.h"
#include "formats/T64Image.h"
#include "model/FormatRegistry.h"
#include "model/SafeFile.h"
#include "text/Petscii.h"
#include "ui/CommandActions.h"
#include "ui/DialogFilter.h"
#include "ui/MainFrame.h"

namespace tessarind {

using namespace cmd;

namespace {

constexpr int kNameColumn = 6;
constexpr int kSlotName = 16;
// Offered by the menu but not built for tapes yet.
constexpr CommandId kLaterItems[] = {JumpToSector, ViewFile,     LeftJustify,
                                     Center,       RightJustify, Expand};

} // namespace

TapeView::TapeView(MainFrame* frame, T64Image& tape, const Style& style, QWidget* parent)
    : EntryListView(frame, tape, style, parent) {
    tape.AttachDirectoryView(this);
    UpdateScrollRange();
    if (RowCount() > 0) EntryListView::SelectIndex(0);
    ScrollTo(-1);
}

T64Image* TapeView::Tape() const {
    return static_cast<T64Image*>(image_);
}

int TapeView::RowCount() const {
    return image_ ? image_->entryCount() : 0;
}

bool TapeView::HasFile(int index) const {
    if (!image_) return false;
    const std::optional<int> slot = Tape()->ListedSlot(index);
    return slot && Tape()->SlotPointer(*slot)[0] != 0;
}

Picture TapeView::RenderPicture(QSize size) {
    if (!image_) return {};
    return RenderDirectory(TapeListingRows(*Tape()), TextStyle(), Viewport(size));
}

void TapeView::SelectIndex(int index) {
    if (!image_) return;
    EntryListView::SelectIndex(std::min(index, RowCount() - 1));
    UpdateEntryCommands();
}

void TapeView::Activated() {
    UpdateEntryCommands();
}

void TapeView::UpdateEntryCommands() {
    if (!IsActiveView() || !image_) return;
    const bool selected = current_ >= 0 && current_ < RowCount();
    const bool file = selected && HasFile(current_);
    EnableCommand(Number(Rename), file);
    EnableCommand(Number(Remove), file);
    EnableCommand(Number(Export), file);
    EnableCommand(Number(MoveFileUp), selected && current_ > 0);
    EnableCommand(Number(MoveFileDown), selected && current_ < RowCount() - 1);
    EnableCommand(Number(Import), true);
    for (CommandId id : kLaterItems)
        EnableCommand(Number(id), false);
    for (int entry = 1; entry <= kRunInCount; ++entry)
        EnableCommand(Number(RunIn(entry)),
                      file && !image_->settings()
                                   .emulators[static_cast<size_t>(entry - 1)]
                                   .program.empty());
    CheckCommand(Number(ShowDeletedFiles), Tape()->showDeleted());
}

bool TapeView::HandleCommand(CommandId id) {
    if (!image_) return false;
    if (id == Export) {
        ExportSelected();
    } else if (id == Import) {
        if (!frame_) return false;
        const QString filter =
            DialogFilter::NameFilters(DialogFilter::Build(DialogFilter::ImportGroups()))
                .join(QStringLiteral(";;"));
        ImportFiles(QFileDialog::getOpenFileNames(
            frame_, QStringLiteral("Import"), QString::fromStdString(Tape()->settings().location),
            filter));
    } else if (id == ShowDeletedFiles) {
        Tape()->SetShowDeleted(!Tape()->showDeleted());
        Tape()->Refresh();
        SelectIndex(current_);
    } else if (id == Remove) {
        if (!HasFile(current_)) return true;
        Tape()->RemoveEntry(current_, true);
        SelectIndex(current_);
    } else if (id == Rename) {
        StartNameEdit();
    } else if (id == MoveFileUp || id == MoveFileDown) {
        Tape()->MoveEntry(id == MoveFileUp, current_, true); // selects the moved entry
        UpdateEntryCommands();
    } else if (EntryListView::HandleCommand(id)) {
        // Undo, sorting and validation may have changed the listing.
        SelectIndex(current_);
        return true;
    } else {
        return false;
    }
    Redraw();
    return true;
}

void TapeView::ImportFiles(const QStringList& paths) {
    if (!image_) return;
    int index = std::max(current_, 0);
    int inserted = -1;
    for (const QString& path : paths) {
        if (!Tape()->ImportHostFile(path.toStdString(), index, true)) continue;
        inserted = index++;
    }
    Tape()->Refresh();
    if (inserted >= 0) SelectIndex(inserted);
    Redraw();
}

void TapeView::ExportSelected() {
    if (!image_) return;
    Interaction* ui = Tape()->owner();
    if (!ui || first_ < 0) return;
    Settings* settings = Tape()->mutableSettings();
    for (int index = first_; index <= last_; ++index) {
        const std::optional<std::vector<uint8_t>> data = Tape()->ReadFileData(index);
        if (!data) continue;
        // The name without its padding blanks, as a host name.
        const uint8_t* slot = Tape()->SlotPointer(*Tape()->ListedSlot(index));
        std::array<uint8_t, kNameLength> name;
        std::copy_n(slot + kSlotName, kNameLength, name.begin());
        for (size_t i = kNameLength; i > 0 && name[i - 1] == ' '; --i)
            name[i - 1] = kPad;
        SaveRequest request;
        request.folder = settings ? settings->lastSaveFolder : std::string();
        request.proposedName = HostFileName(name, 256, Tape()->settings()) + ".prg";
        request.defaultExtension = "prg";
        request.filters.push_back({"PRG", ".prg"});
        bool dialogFailed = false;
        const std::optional<SaveChoice> choice = ui->ChooseSaveFile(request, dialogFailed);
        if (!choice) {
            if (dialogFailed) ui->Message("Unable to Save File", "Error");
            continue;
        }
        if (settings)
            settings->lastSaveFolder = std::filesystem::path(choice->path).parent_path().string();
        if (WriteWholeFile(choice->path, *data) != WriteResult::Ok)
            ui->Message("Unable to Export File " + HostFileName(name, 256, Tape()->settings()),
                        "Error");
    }
}

void TapeView::StartRename(int index) {
    SelectIndex(index);
    StartNameEdit();
}

void TapeView::StartNameEdit() {
    if (!HasFile(current_)) return;
    EnsureVisible(current_);
    const uint8_t* slot = Tape()->SlotPointer(*Tape()->ListedSlot(current_));
    std::vector<uint8_t> name(slot + kSlotName, slot + kSlotName + kNameLength);
    StartEdit({UndoKind::Name, current_, name, "Rename File"},
              {kNameColumn, RowOfIndex(current_), kNameLength, name, false});
}

void TapeView::CommitEdit(const std::vector<uint8_t>& bytes) {
    const PendingEdit edit = pending_;
    pending_ = PendingEdit{};
    if (!image_ || bytes.size() != kNameLength) return;
    Tape()->RenameEntry(Tape()->EntryAt(edit.index),
                        std::span<const uint8_t, kNameLength>(bytes.data(), kNameLength),
                        edit.index);
    Tape()->RedrawViews();
    SelectIndex(current_);
}

QMenu* TapeView::MakeEntryMenu() {
    if (!frame_) return nullptr;
    auto* menu = new QMenu(QStringLiteral("TapeEdit"), this);
    AddItem(menu, QStringLiteral("&Rename"), Rename);
    AddItem(menu, QStringLiteral("Re&move"), Remove);
    AddItem(menu, QStringLiteral("&Export"), Export);
    AddItem(menu, QStringLiteral("&Jump to Sector"), JumpToSector);
    AddItem(menu, QStringLiteral("&View File"), ViewFile);
    QMenu* align = menu->addMenu(QStringLiteral("&Align"));
    for (CommandId id : {Expand, LeftJustify, Center, RightJustify})
        AddItem(align, frame_->actions().Get(id)->text(), id);
    QMenu* runIn = menu->addMenu(QStringLiteral("Run In"));
    for (int entry = 1; entry <= kRunInCount; ++entry)
        AddItem(runIn, frame_->actions().Get(RunIn(entry))->text(), RunIn(entry));
    return menu;
}

} // namespace tessarind
