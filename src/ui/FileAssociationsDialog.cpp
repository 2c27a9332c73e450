#include "ui/FileAssociationsDialog.h"

#include <QDialogButtonBox>
#include <QHeaderView>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace tessarind {

namespace {
constexpr int kListId = 2070;
constexpr int kAllId = 2069;
} // namespace

FileAssociationsDialog::FileAssociationsDialog(const std::string& program, QWidget* parent)
    : QDialog(parent), associations_(std::make_unique<PlatformAssociations>(program)) {
    setWindowTitle(QStringLiteral("Set File Associations"));
    auto* layout = new QVBoxLayout(this);
    list_ = new QTreeWidget(this);
    list_->setObjectName(QString::number(kListId));
    list_->setRootIsDecorated(false);
    list_->setHeaderLabels(
        {QStringLiteral("Extension"), QStringLiteral("Type"), QStringLiteral("File Association")});
    list_->setColumnWidth(0, 75);
    list_->setColumnWidth(1, 110);
    list_->setColumnWidth(2, 345);
    for (const AssociationKind& kind : associations_->kinds()) {
        const std::string current = associations_->CurrentProgram(kind);
        auto* item = new QTreeWidgetItem(list_);
        item->setText(0, QString::fromLatin1(kind.row->extension.data(),
                                             static_cast<qsizetype>(kind.row->extension.size())));
        item->setText(1, QString::fromLatin1(kind.row->displayName.data(),
                                             static_cast<qsizetype>(kind.row->displayName.size())));
        item->setText(2,
                      current.empty() ? QStringLiteral("none") : QString::fromStdString(current));
        item->setFlags(item->flags() | Qt::ItemIsUserCheckable);
        item->setCheckState(0, associations_->IsOurs(current) ? Qt::Checked : Qt::Unchecked);
    }
    layout->addWidget(list_);
    resize(600, 420);

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    QPushButton* all = buttons->addButton(QStringLiteral("ALL"), QDialogButtonBox::ActionRole);
    all->setObjectName(QString::number(kAllId));
    connect(all, &QPushButton::clicked, this, [this] {
        for (int i = 0; i < list_->topLevelItemCount(); ++i)
            list_->topLevelItem(i)->setCheckState(0, Qt::Checked);
    });
    connect(buttons, &QDialogButtonBox::accepted, this, &FileAssociationsDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &FileAssociationsDialog::reject);
    layout->addWidget(buttons);
}

FileAssociationsDialog::~FileAssociationsDialog() = default;

void FileAssociationsDialog::accept() {
    std::vector<bool> checked;
    for (int i = 0; i < list_->topLevelItemCount(); ++i)
        checked.push_back(list_->topLevelItem(i)->checkState(0) == Qt::Checked);
    associations_->Apply(checked);
    QDialog::accept();
}

} // namespace tessarind
