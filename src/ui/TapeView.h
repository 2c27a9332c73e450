#pragma once
// A tape's directory: the tape name between quotes, then one row per slot with its block
// count, name and kind. Its context menu is "TapeEdit"; every change goes through the tape's
// own operations and their undo records.

#include "ui/EntryListView.h"
#include "ui/ViewCapability.h"

namespace tessarind {

class T64Image;

class TapeView : public EntryListView {
    Q_OBJECT
public:
    TapeView(MainFrame* frame, T64Image& tape, const Style& style, QWidget* parent = nullptr);

    int Capability() const override { return kCapabilityTapeDirectory; }
    bool HandleCommand(CommandId id) override;
    void Activated() override;
    void SelectIndex(int index) override;
    int RowCount() const override;
    void CommitEdit(const std::vector<uint8_t>& bytes) override;
    void StartRename(int index) override;
    QMenu* MakeEntryMenu() override;

    // Inserts host files at the current index, one after the other, and selects the last.
    void ImportFiles(const QStringList& paths);

protected:
    Picture RenderPicture(QSize size) override;

private:
    void UpdateEntryCommands();
    void StartNameEdit();
    void ExportSelected();
    bool HasFile(int index) const;
    // The tape while the view shows one (the image goes before its views on closing).
    T64Image* Tape() const;
};

} // namespace tessarind
