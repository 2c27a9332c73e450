#include "ui/ReplacementDialog.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QGridLayout>
#include <QHeaderView>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QPixmap>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>
#include <algorithm>
#include <array>

#include "text/Settings.h"
#include "catalog/DirectoryPicture.h"
#include "text/Petscii.h"
#include "ui/CbmTool.h"

namespace tessarind {

namespace {

constexpr int kCodeRole = Qt::UserRole;

// A PETSCII code as the CBM font draws it, on a light background.
QPixmap Glyph(uint8_t code) {
    CbmTextStyle style;
    style.cellSize = kLargeCellSize;
    style.text = Rgb(0, 0, 0);
    style.background = Rgb(255, 255, 255);
    style.plain = true;
    Picture picture(kLargeCellSize, kLargeCellSize, style.background);
    DrawCbmChar(picture, 0, 0, code, false, style);
    QImage image(picture.width, picture.height, QImage::Format_RGB32);
    for (int y = 0; y < picture.height; ++y)
        for (int x = 0; x < picture.width; ++x)
            image.setPixel(x, y, 0xFF000000u | picture.At(x, y));
    return QPixmap::fromImage(image);
}

} // namespace

ReplacementDialog::ReplacementDialog(Settings& settings, QWidget* parent)
    : QDialog(parent), settings_(settings) {
    setWindowTitle(QStringLiteral("Filename Character Replacement"));
    auto* layout = new QVBoxLayout(this);

    replace_ =
        new QCheckBox(QStringLiteral("Replace PETSCII characters in exported filenames"), this);
    replace_->setObjectName(QStringLiteral("2192"));
    replace_->setChecked(settings.On(SettingId::ReplaceFilenameChars));
    layout->addWidget(replace_);

    list_ = new QTreeWidget(this);
    list_->setObjectName(QStringLiteral("2191"));
    list_->setColumnCount(2);
    list_->setHeaderLabels({QStringLiteral("CBM"), QStringLiteral("Replacement")});
    list_->setColumnWidth(0, 45);
    list_->setColumnWidth(1, 218);
    list_->setRootIsDecorated(false);
    list_->setIconSize(QSize(kLargeCellSize, kLargeCellSize));
    list_->setSelectionMode(QAbstractItemView::SingleSelection);
    for (const Substitution& s : settings.substitutions)
        if (s.code != 0) list_->addTopLevelItem(MakeRow(s.code, QString::fromStdString(s.text)));
    layout->addWidget(list_);

    auto* edit = new QGridLayout;
    layout->addLayout(edit);
    edit->addWidget(new QLabel(QStringLiteral("Replace"), this), 0, 0);
    codeField_ = new QLineEdit(this);
    codeField_->setObjectName(QStringLiteral("2187"));
    codeField_->setMaxLength(1);
    codeField_->setMaximumWidth(40);
    edit->addWidget(codeField_, 0, 1);
    edit->addWidget(new QLabel(QStringLiteral("with"), this), 0, 2);
    textField_ = new QLineEdit(this);
    textField_->setObjectName(QStringLiteral("2188"));
    edit->addWidget(textField_, 0, 3);
    store_ = new QPushButton(QStringLiteral("Add"), this);
    store_->setObjectName(QStringLiteral("2189"));
    store_->setAutoDefault(false);
    edit->addWidget(store_, 0, 4);
    delete_ = new QPushButton(QStringLiteral("Delete"), this);
    delete_->setObjectName(QStringLiteral("2190"));
    delete_->setAutoDefault(false);
    edit->addWidget(delete_, 0, 5);

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    layout->addWidget(buttons);
    connect(buttons, &QDialogButtonBox::accepted, this, &ReplacementDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &ReplacementDialog::reject);

    // The box takes effect at once; OK stores it again, Cancel leaves it.
    connect(replace_, &QCheckBox::toggled, this, [this](bool on) {
        settings_.Set(SettingId::ReplaceFilenameChars, on ? 1u : 0u);
        UpdateControls();
    });
    connect(codeField_, &QLineEdit::textEdited, this, [this](const QString& text) {
        if (text.isEmpty()) {
            code_.reset();
        } else {
            std::array<uint8_t, 1> byte{static_cast<uint8_t>(text.at(0).toLatin1())};
            AsciiToPetsciiName(byte, false);
            code_ = byte[0];
        }
        UpdateControls();
    });
    connect(store_, &QPushButton::clicked, this, &ReplacementDialog::Store);
    connect(delete_, &QPushButton::clicked, this, [this] {
        delete list_->currentItem();
        list_->setCurrentItem(nullptr);
        UpdateControls();
    });
    connect(list_, &QTreeWidget::itemClicked, this,
            [this](QTreeWidgetItem* row) { RowClicked(row); });
    connect(list_, &QTreeWidget::itemSelectionChanged, this, &ReplacementDialog::UpdateControls);
    // A second CBM tool serves this dialog alone while it is open.
    tool_ = new CbmTool(nullptr, this);
    tool_->SetFixedTarget(this);
    UpdateControls();
}

void ReplacementDialog::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    // At the top right of the frame (or of the dialog without one).
    const QWidget* frame = parentWidget() ? parentWidget()->window() : this;
    const QRect area = frame->frameGeometry();
    tool_->move(area.right() - tool_->frameGeometry().width(), area.top());
    tool_->show();
}

QTreeWidgetItem* ReplacementDialog::MakeRow(uint8_t code, const QString& text) const {
    auto* row = new QTreeWidgetItem;
    row->setData(0, kCodeRole, code);
    row->setIcon(0, QIcon(Glyph(code)));
    row->setToolTip(0, QStringLiteral("$%1").arg(code, 2, 16, QLatin1Char('0')));
    row->setText(1, text);
    return row;
}

QTreeWidgetItem* ReplacementDialog::RowFor(uint8_t code) const {
    for (int i = 0; i < list_->topLevelItemCount(); ++i)
        if (list_->topLevelItem(i)->data(0, kCodeRole).toInt() == code)
            return list_->topLevelItem(i);
    return nullptr;
}

void ReplacementDialog::SetFieldCode(std::optional<uint8_t> code) {
    code_ = code;
    if (code) {
        std::array<uint8_t, 1> byte{*code};
        codeField_->setText(
            QString::fromStdString(PetsciiToAscii(byte, false, false, false, settings_)).left(1));
    } else {
        codeField_->clear();
    }
    UpdateControls();
}

void ReplacementDialog::RowClicked(QTreeWidgetItem* row) {
    if (!row) return;
    SetFieldCode(static_cast<uint8_t>(row->data(0, kCodeRole).toInt()));
    textField_->setText(row->text(1));
}

void ReplacementDialog::Store() {
    if (!code_ || *code_ == 0) return;
    if (QTreeWidgetItem* row = RowFor(*code_)) {
        row->setText(1, textField_->text());
    } else {
        int at = 0;
        while (at < list_->topLevelItemCount() &&
               list_->topLevelItem(at)->data(0, kCodeRole).toInt() < *code_)
            ++at;
        list_->insertTopLevelItem(at, MakeRow(*code_, textField_->text()));
    }
    SetFieldCode(std::nullopt);
    textField_->clear();
}

void ReplacementDialog::UpdateControls() {
    bool on = replace_->isChecked();
    for (QWidget* w : {static_cast<QWidget*>(list_), static_cast<QWidget*>(codeField_),
                       static_cast<QWidget*>(textField_), static_cast<QWidget*>(store_)})
        w->setEnabled(on);
    store_->setText(code_ && RowFor(*code_) ? QStringLiteral("Replace") : QStringLiteral("Add"));
    delete_->setEnabled(on && !list_->selectedItems().isEmpty());
}

void ReplacementDialog::accept() {
    std::vector<Substitution> list;
    for (int i = 0; i < list_->topLevelItemCount(); ++i) {
        QTreeWidgetItem* row = list_->topLevelItem(i);
        list.push_back(
            {static_cast<uint8_t>(row->data(0, kCodeRole).toInt()), row->text(1).toStdString()});
    }
    std::sort(list.begin(), list.end(),
              [](const Substitution& a, const Substitution& b) { return a.code < b.code; });
    settings_.substitutions = std::move(list);
    settings_.Set(SettingId::ReplaceFilenameChars, replace_->isChecked() ? 1u : 0u);
    QDialog::accept();
}

} // namespace tessarind
