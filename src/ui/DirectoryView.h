#pragma once
// A container's directory as a Commodore computer lists it: the header in reverse video, one
// row per file, the free blocks at the end; 28 cells wide, resizable in height only. Every
// change goes through the image's operations and its undo journal.

#include <QString>

#include "ui/EntryListView.h"
#include "ui/ViewCapability.h"

namespace tessarind {

class DirectoryView : public EntryListView {
    Q_OBJECT
public:
    DirectoryView(MainFrame* frame, DiskImage& image, const Style& style,
                  QWidget* parent = nullptr);

    int Capability() const override { return kCapabilityDirectory; }
    bool HandleCommand(CommandId id) override;
    void Activated() override;
    void SelectIndex(int index) override;
    int RowCount() const override;
    void CommitEdit(const std::vector<uint8_t>& bytes) override;
    void StartRename(int index) override;

    QMenu* MakeEntryMenu() override;
    QMenu* MakeHeaderMenu() override;

    // Inserts host files at the current index, one after the other, and selects the last.
    void ImportFiles(const QStringList& paths);

    // The listing as host text, as the view shows it.
    QString listingText() const;

    // The 30 bytes an inserted entry starts with: a closed PRG with an empty name.
    static std::array<uint8_t, 30> BlankEntry();

signals:
    // The current entry, or what it holds, may have changed (the File Property window follows).
    void currentEntryChanged();

protected:
    Picture RenderPicture(QSize size) override;

private:
    // Enables, checks and item texts that follow the current entry.
    void UpdateEntryCommands();
    void StartNameEdit();
    void StartDiskNameEdit();
    void StartDiskIdEdit();
    void StartSizeEdit();
    void InsertBlank();
    void ViewCurrent();
    // Opens the archive or Zipcode set the current entry holds in a window of its own.
    void UncompressCurrent();
    void Enable(CommandId id, bool on) { EnableCommand(cmd::Number(id), on); }
    void Check(CommandId id, bool on) { CheckCommand(cmd::Number(id), on); }
};

// Writes an in-place edit of the disk name (DiskName) or the disk ID (DiskId) as one undo
// step named `label` and redraws the image's views; false when nothing changed.
bool CommitDiskField(DiskImage& image, UndoKind kind, const std::vector<uint8_t>& bytes,
                     const std::string& label);

} // namespace tessarind
