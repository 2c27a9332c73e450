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

private:
    QTableWidget* table_;
};

} // namespace tessarind
