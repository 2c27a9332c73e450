#pragma once
// "Cross Link Results": the blocks claimed by two files, one row each, with both names in the
// CBM font and the shared block's track and sector. Modeless; "Close" ends it.

#include <QDialog>
#include <vector>

#include "model/DiskImage.h"
#include "catalog/DirectoryPicture.h"

class QTableWidget;

namespace tessarind {

class CrossLinkDialog : public QDialog {
    Q_OBJECT
public:
    CrossLinkDialog(const QString& containerName, const std::vector<CrossLink>& links,
                    const CbmTextStyle& nameStyle, QWidget* parent);

    QTableWidget* table() const { return table_; }
    // The block a click on a cell leads to: the first file's first block for the first
    // column, the second file's for the second, the shared block for the others.
    static std::pair<int, int> BlockForCell(const CrossLink& link, int column);

signals:
    // A row was clicked: show this block in the sector editor.
    void blockChosen(int track, int sector);

private:
    QTableWidget* table_;
};

} // namespace tessarind
