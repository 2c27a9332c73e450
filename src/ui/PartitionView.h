#pragma once
// A CMD container's partition table in the Commodore character set: the container name in
// reverse, then one row per partition with its slot number, name and type. Its context menu
// is "Partition"; an opened partition shows in a directory window of its own whose image
// lives in the container.

#include "ui/EntryListView.h"
#include "ui/ViewCapability.h"

namespace tessarind {

class CmdContainerImage;

class PartitionView : public EntryListView {
    Q_OBJECT
public:
    PartitionView(MainFrame* frame, CmdContainerImage& container, const Style& style,
                  QWidget* parent = nullptr);

    int Capability() const override { return kCapabilityPartitionList; }
    bool HandleCommand(CommandId id) override;
    void Activated() override;
    void SelectIndex(int index) override;
    int RowCount() const override;
    void CommitEdit(const std::vector<uint8_t>& bytes) override;
    void StartRename(int index) override;
    QMenu* MakeEntryMenu() override;
    QMenu* MakeHeaderMenu() override;

    // Shows the partition at a list index in a window of its own (the open one when it has).
    bool OpenCurrent();

protected:
    Picture RenderPicture(QSize size) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;

private:
    void UpdateEntryCommands();
    void StartNameEdit();
    void StartDiskNameEdit();
    CmdContainerImage* Container() const;
};

} // namespace tessarind
