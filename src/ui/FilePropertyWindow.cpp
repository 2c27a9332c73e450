#include "ui/FilePropertyWindow.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFocusEvent>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QVBoxLayout>
#include <algorithm>
#include <array>

#include "catalog/DirectoryListing.h"
#include "model/DiskImage.h"
#include "ui/CbmEdit.h"
#include "ui/DirectoryView.h"
#include "ui/SpriteControl.h"

namespace tessarind {

namespace {

constexpr std::array<const char*, 16> kGeosTypes = {
    "Non-GEOS",    "BASIC",          "Assembler",    "Data",
    "System",      "Desk Accessory", "Application",  "Application Data",
    "Font",        "Printer Driver", "Input Driver", "Disk Driver",
    "System Boot", "Temporary",      "Auto-Execute", "Input 128"};

constexpr int kFirstYear = 1900;

QString Name(int id) {
    return QString::number(id);
}

// A decimal number of the field, none when it holds none.
std::optional<long> Decimal(const QLineEdit* field) {
    bool ok = false;
    const long value = field->text().trimmed().toLong(&ok, 10);
    return ok ? std::optional<long>(value) : std::nullopt;
}

uint8_t ByteOf(long value) {
    return static_cast<uint8_t>(std::clamp(value, 0L, 255L));
}

// Text of an info block field up to its zero byte.
QString Latin1Field(const uint8_t* at, int length) {
    const int used = static_cast<int>(std::find(at, at + length, 0) - at);
    return QString::fromLatin1(reinterpret_cast<const char*>(at), used);
}

} // namespace

FilePropertyWindow::FilePropertyWindow(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("211"));
    setWindowTitle(QStringLiteral("File Property"));
    setModal(false);
    auto* outer = new QVBoxLayout(this);
    // The window takes the height of what it shows: taller with the GEOS part.
    outer->setSizeConstraint(QLayout::SetFixedSize);

    auto* grid = new QGridLayout;
    outer->addLayout(grid);
    auto label = [this](const char* text) { return new QLabel(QString::fromLatin1(text), this); };
    grid->addWidget(label("Name:"), 0, 0);
    name_ = new CbmEdit(this);
    name_->setObjectName(Name(kName));
    name_->SetCellSize(kNormalCellSize);
    name_->installEventFilter(this);
    grid->addWidget(name_, 0, 1, 1, 3);
    grid->addWidget(label("Type:"), 1, 0);
    type_ = new QComboBox(this);
    type_->setObjectName(Name(kType));
    grid->addWidget(type_, 1, 1);
    grid->addWidget(label("Size:"), 1, 2);
    grid->addWidget(AddLine(kSize, 5), 1, 3);
    grid->addWidget(label("Locked:"), 2, 0);
    locked_ = new QCheckBox(this);
    locked_->setObjectName(Name(kLocked));
    grid->addWidget(locked_, 2, 1);
    grid->addWidget(label("Closed:"), 2, 2);
    notClosed_ = new QCheckBox(this);
    notClosed_->setObjectName(Name(kNotClosed));
    grid->addWidget(notClosed_, 2, 3);
    grid->addWidget(label("Track:"), 3, 0);
    grid->addWidget(AddLine(kTrack, 3), 3, 1);
    grid->addWidget(label("Sector:"), 3, 2);
    grid->addWidget(AddLine(kSector, 3), 3, 3);
    grid->addWidget(label("Side Track:"), 4, 0);
    grid->addWidget(AddLine(kSideTrack, 3), 4, 1);
    grid->addWidget(label("Side Sector:"), 4, 2);
    grid->addWidget(AddLine(kSideSector, 3), 4, 3);

    grid->addWidget(label("Date:"), 5, 0);
    auto* date = new QHBoxLayout;
    date->addWidget(AddLine(kMonth, 2));
    date->addWidget(label("/"));
    date->addWidget(AddLine(kDay, 2));
    date->addWidget(label("/"));
    date->addWidget(AddLine(kYear, 4));
    date->addSpacing(8);
    date->addWidget(AddLine(kHour, 2));
    date->addWidget(label(":"));
    date->addWidget(AddLine(kMinute, 2));
    date->addStretch();
    grid->addLayout(date, 5, 1, 1, 3);

    grid->addWidget(label("GEOS Type:"), 6, 0);
    geosType_ = new QComboBox(this);
    geosType_->setObjectName(Name(kGeosType));
    for (const char* text : kGeosTypes)
        geosType_->addItem(QString::fromLatin1(text));
    grid->addWidget(geosType_, 6, 1);
    grid->addWidget(label("GEOS Struct:"), 6, 2);
    geosStruct_ = new QComboBox(this);
    geosStruct_->setObjectName(Name(kGeosStruct));
    geosStruct_->addItems({QStringLiteral("Sequential"), QStringLiteral("VLIR")});
    grid->addWidget(geosStruct_, 6, 3);

    // The info block of a GEOS file.
    geos_ = new QGroupBox(QStringLiteral("GEOS"), this);
    outer->addWidget(geos_);
    auto* info = new QGridLayout(geos_);
    icon_ = new SpriteControl(geos_);
    info->addWidget(icon_, 0, 0, 3, 1, Qt::AlignTop);
    auto addInfo = [&](const char* text, int id, int maxLength, int row, int column) {
        info->addWidget(new QLabel(QString::fromLatin1(text), geos_), row, column);
        QLineEdit* field = AddLine(id, maxLength);
        info->addWidget(field, row, column + 1);
    };
    addInfo("Class:", kClass, kTextLength, 0, 1);
    addInfo("Author:", kAuthor, kTextLength, 1, 1);
    addInfo("Creator:", kCreator, kTextLength, 2, 1);
    addInfo("Load:", kLoad, 5, 0, 3);
    addInfo("Start:", kStart, 5, 1, 3);
    addInfo("End:", kEnd, 5, 2, 3);
    info->addWidget(new QLabel(QStringLiteral("Description:"), geos_), 3, 0, 1, 5);
    description_ = new QPlainTextEdit(geos_);
    description_->setObjectName(Name(kDescription));
    description_->setFixedHeight(72);
    description_->installEventFilter(this);
    info->addWidget(description_, 4, 0, 1, 5);
    geos_->hide();

    connect(name_, &CbmEdit::accepted, this, [this] { Commit(kName); });
    connect(name_, &CbmEdit::rejected, this, [this] { Refresh(); });
    connect(type_, &QComboBox::activated, this, [this] { Commit(kType); });
    connect(geosType_, &QComboBox::activated, this, [this] { Commit(kGeosType); });
    connect(geosStruct_, &QComboBox::activated, this, [this] { Commit(kGeosStruct); });
    connect(locked_, &QCheckBox::clicked, this, [this] { Commit(kLocked); });
    connect(notClosed_, &QCheckBox::clicked, this, [this] { Commit(kNotClosed); });
    Empty();
}

QLineEdit* FilePropertyWindow::AddLine(int id, int maxLength) {
    auto* field = new QLineEdit(this);
    field->setObjectName(Name(id));
    field->setMaxLength(maxLength);
    if (maxLength <= 5)
        field->setFixedWidth(fontMetrics().horizontalAdvance(QLatin1Char('0')) * (maxLength + 2) +
                             8);
    lines_[id] = field;
    connect(field, &QLineEdit::editingFinished, this, [this, id] { Commit(id); });
    return field;
}

QLineEdit* FilePropertyWindow::lineEdit(int id) const {
    auto found = lines_.find(id);
    return found == lines_.end() ? nullptr : found->second;
}

QComboBox* FilePropertyWindow::comboBox(int id) const {
    return id == kType         ? type_
           : id == kGeosType   ? geosType_
           : id == kGeosStruct ? geosStruct_
                               : nullptr;
}

QCheckBox* FilePropertyWindow::checkBox(int id) const {
    return id == kLocked ? locked_ : id == kNotClosed ? notClosed_ : nullptr;
}

// ---- Following the entry --------------------------------------------------------------------

void FilePropertyWindow::Follow(DirectoryView* view) {
    if (view == view_) {
        Refresh();
        return;
    }
    disconnect(followed_);
    view_ = view;
    if (view)
        followed_ =
            connect(view, &DirectoryView::currentEntryChanged, this, &FilePropertyWindow::Refresh);
    Refresh();
}

DirEntry FilePropertyWindow::CurrentEntry(int* index) const {
    if (!view_ || !view_->Image()) return {};
    const int current = view_->currentIndex();
    if (index) *index = current;
    return current >= 0 ? view_->Image()->EntryAt(current) : DirEntry();
}

uint8_t* FilePropertyWindow::InfoBlock(DirEntry entry) const {
    if (!entry || !entry.isGeos()) return nullptr;
    return view_->Image()->SectorPointer(entry.sideTrack(), entry.sideSector());
}

bool FilePropertyWindow::showsGeos() const {
    return !geos_->isHidden();
}

void FilePropertyWindow::SetEnabledAll(bool on) {
    for (auto& [id, field] : lines_)
        field->setEnabled(on);
    for (QWidget* control : std::initializer_list<QWidget*>{name_, type_, geosType_, geosStruct_,
                                                            locked_, notClosed_, description_})
        control->setEnabled(on);
}

void FilePropertyWindow::Empty() {
    filling_ = true;
    for (auto& [id, field] : lines_)
        field->clear();
    name_->SetBytes({});
    type_->clear();
    geosType_->setCurrentIndex(-1);
    geosStruct_->setCurrentIndex(-1);
    locked_->setChecked(false);
    notClosed_->setChecked(false);
    description_->clear();
    icon_->Clear();
    geos_->hide();
    SetEnabledAll(false);
    filling_ = false;
}

void FilePropertyWindow::Refresh() {
    int index = -1;
    DirEntry entry = CurrentEntry(&index);
    if (!entry) {
        Empty();
        return;
    }
    DiskImage& image = *view_->Image();
    filling_ = true;
    SetEnabledAll(true);
    const uint8_t* slot = entry.data();
    std::vector<uint8_t> name(entry.name().begin(), entry.name().end());
    while (!name.empty() && name.back() == kPad)
        name.pop_back();
    name_->SetCaseTable(&view_->caseTable());
    name_->SetBytes(name);
    type_->clear();
    for (int code = 0; code <= image.maxFileType(); ++code)
        type_->addItem(QString::fromLatin1(TypeName(code, image.maxFileType())));
    type_->setCurrentIndex(entry.typeCode() < type_->count() ? entry.typeCode() : -1);
    lineEdit(kSize)->setText(QString::number(entry.blocks()));
    locked_->setChecked(entry.locked());
    notClosed_->setChecked(!entry.closed());
    const std::pair<int, int> bytes[] = {
        {kTrack, DirEntryOffset::firstTrack},    {kSector, DirEntryOffset::firstSector},
        {kSideTrack, DirEntryOffset::sideTrack}, {kSideSector, DirEntryOffset::sideSector},
        {kMonth, DirEntryOffset::month},         {kDay, DirEntryOffset::day},
        {kHour, DirEntryOffset::hour},           {kMinute, DirEntryOffset::minute}};
    for (const auto& [id, offset] : bytes)
        lineEdit(id)->setText(QString::number(slot[offset]));
    lineEdit(kYear)->setText(QString::number(kFirstYear + slot[DirEntryOffset::year]));
    geosType_->setCurrentIndex(entry.geosType() & 0x0F);
    geosStruct_->setCurrentIndex(entry.recordLength() <= 1 ? entry.recordLength() : -1);

    const uint8_t* info = InfoBlock(entry);
    if (info) {
        icon_->SetIcon(std::span<const uint8_t>(info + kIconOffset, SpriteControl::kIconBytes));
        const std::pair<int, int> texts[] = {
            {kClass, kClassOffset}, {kAuthor, kAuthorOffset}, {kCreator, kCreatorOffset}};
        for (const auto& [id, offset] : texts)
            lineEdit(id)->setText(Latin1Field(info + offset, kTextLength));
        const std::pair<int, int> words[] = {
            {kLoad, kLoadOffset}, {kStart, kStartOffset}, {kEnd, kEndOffset}};
        for (const auto& [id, offset] : words)
            lineEdit(id)->setText(
                QStringLiteral("%1")
                    .arg(info[offset] | info[offset + 1] << 8, 4, 16, QLatin1Char('0'))
                    .toUpper());
        const uint8_t* text = info + kDescriptionOffset;
        const int used = static_cast<int>(std::find(text, text + kDescriptionLength, 0) - text);
        description_->setPlainText(DescriptionText(std::span<const uint8_t>(text, used)));
        geos_->show();
    } else {
        for (int id : {kClass, kAuthor, kCreator, kLoad, kStart, kEnd})
            lineEdit(id)->clear();
        description_->clear();
        icon_->Clear();
        geos_->hide();
    }
    filling_ = false;
}

QString FilePropertyWindow::DescriptionText(std::span<const uint8_t> bytes) {
    QString text;
    for (uint8_t byte : bytes) {
        if (byte == 0x0D)
            text += QStringLiteral("\r\n");
        else
            text += QChar(static_cast<char16_t>(byte));
    }
    return text;
}

std::vector<uint8_t> FilePropertyWindow::DescriptionBytes(const QString& text) {
    std::vector<uint8_t> bytes;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text.at(i);
        if (c == QLatin1Char('\r') && i + 1 < text.size() && text.at(i + 1) == QLatin1Char('\n'))
            continue; // the LF of a CR LF stands for the CR
        if (c == QLatin1Char('\n') || c == QLatin1Char('\r') || c == QChar::LineSeparator ||
            c == QChar::ParagraphSeparator)
            bytes.push_back(0x0D);
        else
            bytes.push_back(c.unicode() < 0x100 ? static_cast<uint8_t>(c.unicode()) : '?');
    }
    return bytes;
}

// ---- Storing --------------------------------------------------------------------------------

void FilePropertyWindow::Commit(int id) {
    if (filling_) return;
    int index = -1;
    DirEntry entry = CurrentEntry(&index);
    if (!entry) return;
    if (id == kLoad || id == kStart || id == kEnd || id == kClass || id == kAuthor ||
        id == kCreator || id == kDescription)
        CommitInfo(id, entry);
    else
        CommitEntry(id, entry, index);
    // The view shows the change and the window the stored value (a clamped year, say).
    if (view_) view_->SelectIndex(index);
    Refresh();
}

void FilePropertyWindow::CommitEntry(int id, DirEntry entry, int index) {
    DiskImage& image = *view_->Image();
    const uint8_t* slot = entry.data();
    switch (id) {
    case kName: {
        std::array<uint8_t, kNameLength> name{};
        const std::vector<uint8_t>& bytes = name_->bytes();
        std::fill(name.begin(), name.end(), kPad);
        std::copy_n(bytes.begin(), std::min<size_t>(bytes.size(), kNameLength), name.begin());
        image.RenameFile(entry, name, index);
        break;
    }
    case kType:
        if (type_->currentIndex() >= 0 && type_->currentIndex() <= image.maxFileType())
            image.SetFileType(entry, type_->currentIndex(), index);
        break;
    case kGeosType:
        if (geosType_->currentIndex() >= 0)
            image.SetGeosType(
                entry, static_cast<uint8_t>((entry.geosType() & 0xF0) | geosType_->currentIndex()),
                index);
        break;
    case kGeosStruct:
        if (geosStruct_->currentIndex() >= 0)
            image.SetGeosStructure(entry, static_cast<uint8_t>(geosStruct_->currentIndex()), index);
        break;
    case kLocked:
        image.SetLocked(entry, locked_->isChecked(), index);
        break;
    case kNotClosed:
        image.SetSplat(entry, notClosed_->isChecked(), index);
        break;
    case kSize:
        if (auto value = Decimal(lineEdit(kSize)))
            image.SetBlocks(entry, static_cast<uint16_t>(std::clamp(*value, 0L, 65535L)), index);
        break;
    case kTrack:
    case kSector:
    case kSideTrack:
    case kSideSector: {
        auto value = Decimal(lineEdit(id));
        if (!value) break;
        const uint8_t byte = ByteOf(*value);
        if (id == kTrack) image.SetFirstTrack(entry, byte, index);
        if (id == kSector) image.SetFirstSector(entry, byte, index);
        if (id == kSideTrack) image.SetSideTrack(entry, byte, index);
        if (id == kSideSector) image.SetSideSector(entry, byte, index);
        break;
    }
    case kYear:
    case kMonth:
    case kDay:
    case kHour:
    case kMinute: {
        auto value = Decimal(lineEdit(id));
        if (!value) break;
        std::array<uint8_t, 5> date{};
        std::copy_n(slot + DirEntryOffset::year, date.size(), date.begin());
        // The year is kept as its distance from 1900, in one byte.
        if (id == kYear) date[0] = ByteOf(*value - kFirstYear);
        if (id == kMonth) date[1] = ByteOf(*value);
        if (id == kDay) date[2] = ByteOf(*value);
        if (id == kHour) date[3] = ByteOf(*value);
        if (id == kMinute) date[4] = ByteOf(*value);
        image.SetDate(entry, date, index);
        break;
    }
    default:
        break;
    }
}

void FilePropertyWindow::CommitInfo(int id, DirEntry entry) {
    const uint8_t* info = InfoBlock(entry);
    if (!info) return;
    DiskImage& image = *view_->Image();
    const int track = entry.sideTrack(), sector = entry.sideSector();
    auto store = [&](std::span<const uint8_t> bytes, int offset, const char* label) {
        if (std::equal(bytes.begin(), bytes.end(), info + offset)) return;
        image.SetBytes(track, sector, bytes, offset, label);
    };
    if (id == kLoad || id == kStart || id == kEnd) {
        QString text = lineEdit(id)->text().trimmed();
        if (text.startsWith(QLatin1Char('$'))) text.remove(0, 1);
        bool ok = false;
        const uint value = text.toUInt(&ok, 16);
        if (!ok || value > 0xFFFF) return;
        const uint8_t word[2] = {static_cast<uint8_t>(value & 0xFF),
                                 static_cast<uint8_t>(value >> 8)};
        const int offset = id == kLoad ? kLoadOffset : id == kStart ? kStartOffset : kEndOffset;
        store(word, offset,
              id == kLoad    ? "GEOS Load Address"
              : id == kStart ? "GEOS Start Address"
                             : "GEOS End Address");
    } else if (id == kDescription) {
        std::vector<uint8_t> bytes = DescriptionBytes(description_->toPlainText());
        bytes.resize(std::min<size_t>(bytes.size(), kDescriptionLength));
        if (bytes.size() < static_cast<size_t>(kDescriptionLength)) bytes.push_back(0);
        store(bytes, kDescriptionOffset, "GEOS Description");
    } else {
        const QByteArray text = lineEdit(id)->text().toLatin1().left(kTextLength);
        std::array<uint8_t, kTextLength> bytes{};
        std::copy(text.begin(), text.end(), bytes.begin());
        const int offset = id == kClass    ? kClassOffset
                           : id == kAuthor ? kAuthorOffset
                                           : kCreatorOffset;
        store(bytes, offset,
              id == kClass    ? "GEOS Class"
              : id == kAuthor ? "GEOS Author"
                              : "GEOS Creator");
    }
}

bool FilePropertyWindow::eventFilter(QObject* watched, QEvent* event) {
    // The name and the description are stored when the focus leaves them.
    if (event->type() == QEvent::FocusOut &&
        static_cast<QFocusEvent*>(event)->reason() != Qt::PopupFocusReason) {
        if (watched == name_) Commit(kName);
        if (watched == description_) Commit(kDescription);
    }
    return QDialog::eventFilter(watched, event);
}

void FilePropertyWindow::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    Refresh();
    emit visibilityChanged(true);
}

void FilePropertyWindow::hideEvent(QHideEvent* event) {
    QDialog::hideEvent(event);
    emit visibilityChanged(false);
}

} // namespace tessarind
