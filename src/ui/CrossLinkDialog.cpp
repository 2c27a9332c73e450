#include "ui/CrossLinkDialog.h"

#include <QDialogButtonBox>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>
#include <span>

#include "model/DirEntry.h"
#include "ui/CbmImage.h"

namespace tessarind {

namespace {

// A name cell: the 16 bytes drawn in the CBM font, up to the first padding byte.
QTableWidgetItem* NameItem(const std::array<uint8_t, kSlotSize>& slot, const CbmTextStyle& style) {
    std::span<const uint8_t> name(slot.data() + DirEntryOffset::name, kNameLength);
    size_t length = 0;
    while (length < name.size() && name[length] != kPad)
        ++length;
    auto* item = new QTableWidgetItem;
    item->setData(Qt::DecorationRole, QPixmap::fromImage(CbmTextImage(name.first(length), style)));
    item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable);
    return item;
}

QTableWidgetItem* NumberItem(int value) {
    auto* item = new QTableWidgetItem(QString::number(value));
    item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable);
    return item;
}

} // namespace

std::pair<int, int> CrossLinkDialog::BlockForCell(const CrossLink& link, int column) {
    if (column == 0 || column == 1) {
        const auto& slot = column == 0 ? link.earlier : link.later;
        return {slot[DirEntryOffset::firstTrack], slot[DirEntryOffset::firstSector]};
    }
    return {link.track, link.sector};
}

CrossLinkDialog::CrossLinkDialog(const QString& containerName, const std::vector<CrossLink>& links,
                                 const CbmTextStyle& nameStyle, QWidget* parent)
    : QDialog(parent), table_(new QTableWidget(static_cast<int>(links.size()), 4, this)) {
    setAttribute(Qt::WA_DeleteOnClose);
    setModal(false);
    setObjectName(QStringLiteral("Cross Link Results"));
    setWindowTitle(QStringLiteral("%1: Cross Link List").arg(containerName));
    CbmTextStyle style = nameStyle;
    style.cellSize = kNormalCellSize;

    table_->setHorizontalHeaderLabels({QStringLiteral("File Name"), QStringLiteral("File Name"),
                                       QStringLiteral("Track"), QStringLiteral("Sector")});
    table_->verticalHeader()->hide();
    table_->setSelectionBehavior(QAbstractItemView::SelectRows);
    table_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    table_->setIconSize(QSize(kNameLength * style.cellSize, style.cellSize));
    for (int row = 0; row < static_cast<int>(links.size()); ++row) {
        const CrossLink& link = links[static_cast<size_t>(row)];
        table_->setItem(row, 0, NameItem(link.earlier, style));
        table_->setItem(row, 1, NameItem(link.later, style));
        table_->setItem(row, 2, NumberItem(link.track));
        table_->setItem(row, 3, NumberItem(link.sector));
    }
    table_->resizeColumnsToContents();
    connect(table_, &QTableWidget::cellClicked, this, [this, links](int row, int column) {
        if (row < 0 || row >= static_cast<int>(links.size())) return;
        const auto [track, sector] = BlockForCell(links[static_cast<size_t>(row)], column);
        emit blockChosen(track, sector);
    });

    auto* buttons = new QDialogButtonBox(this);
    buttons->addButton(QStringLiteral("Close"), QDialogButtonBox::RejectRole);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::close);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(new QLabel(QStringLiteral("Cross Linked Files Found:"), this));
    layout->addWidget(table_);
    layout->addWidget(buttons);
    resize(460, 260);
}

} // namespace tessarind
