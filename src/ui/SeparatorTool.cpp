#include "ui/SeparatorTool.h"

#include <QApplication>
#include <QContextMenuEvent>
#include <QDrag>
#include <QMenu>
#include <QMouseEvent>
#include <QPainter>
#include <QScrollBar>
#include <QStyle>
#include <algorithm>

#include "catalog/DirectoryPicture.h"
#include "model/DiskImage.h"
#include "model/FormatRegistry.h"
#include "text/Settings.h"
#include "ui/CbmEdit.h"
#include "ui/CbmImage.h"
#include "ui/DirectoryView.h"
#include "ui/EntryMimeData.h"
#include "ui/MainFrame.h"

namespace tessarind {

namespace {

SeparatorTool::Separator BlankSeparator() {
    SeparatorTool::Separator body{};
    body[0] = kTypeClosed | kDel; // track and sector 0
    std::fill_n(body.begin() + SeparatorTool::kNameOffset, kNameLength, kPad);
    return body;
}

} // namespace

SeparatorTool::SeparatorTool(MainFrame* frame, Settings& settings)
    : QWidget(frame, Qt::Tool | Qt::WindowCloseButtonHint), frame_(frame), settings_(settings) {
    setObjectName(QStringLiteral("SeparatorTool"));
    setWindowTitle(QStringLiteral("Separators"));
    setAttribute(Qt::WA_ShowWithoutActivating);
    scroll_ = new QScrollBar(Qt::Vertical, this);
    scroll_->hide();
    connect(scroll_, &QScrollBar::valueChanged, this, qOverload<>(&QWidget::update));
    const int width = ContentWidth() + scroll_->sizeHint().width();
    setMinimumSize(width, kFewestRows * kRowHeight);
    setMaximumWidth(width);
    resize(sizeHint());
}

QSize SeparatorTool::sizeHint() const {
    return {ContentWidth() + scroll_->sizeHint().width(),
            SnappedRows(kFewestRows, static_cast<int>(separators().size())) * kRowHeight};
}

int SeparatorTool::ContentWidth() const {
    return kNameLength * kLargeCellSize + 2 * kGap;
}

std::vector<SeparatorTool::Separator>& SeparatorTool::list() {
    return settings_.separators;
}

const std::vector<SeparatorTool::Separator>& SeparatorTool::separators() const {
    return settings_.separators;
}

void SeparatorTool::SetTargetView(DirectoryView* view) {
    target_ = view;
    update();
}

DirectoryView* SeparatorTool::targetView() const {
    return target_ && target_->Image() ? target_.data() : nullptr;
}

int SeparatorTool::SnappedRows(int requestedRows, int listLength) {
    if (requestedRows <= kFewestRows || listLength <= kFewestRows) return kFewestRows;
    return std::min(requestedRows, listLength);
}

int SeparatorTool::VisibleRows() const {
    return std::max(height() / kRowHeight, 1);
}

int SeparatorTool::firstRow() const {
    return scroll_->isVisible() ? scroll_->value() : 0;
}

int SeparatorTool::RowAt(const QPoint& point) const {
    if (point.x() < 0 || point.x() >= ContentWidth() || point.y() < 0) return -1;
    const int row = firstRow() + point.y() / kRowHeight;
    return row < static_cast<int>(separators().size()) ? row : -1;
}

QRect SeparatorTool::RowRect(int row) const {
    return {0, (row - firstRow()) * kRowHeight, ContentWidth(), kRowHeight};
}

const CaseTable& SeparatorTool::caseTable() const {
    const ViewWindow* view = frame_ ? frame_->activeView() : nullptr;
    return !view || view->ShowsUpperCase() ? kUpperCaseSet : kLowerCaseSet;
}

// ---- Painting -------------------------------------------------------------------------------

QImage SeparatorTool::Render() const {
    const ColourScheme colours = frame_->colourScheme();
    Picture picture(ContentWidth(), height(), colours.face);
    CbmTextStyle style;
    style.caseTable = &caseTable();
    style.cellSize = kLargeCellSize;
    style.background = colours.face;
    style.text = targetView() ? colours.faceText : colours.grayText;
    const int count = static_cast<int>(separators().size());
    for (int row = firstRow(); row < count; ++row) {
        const int y = (row - firstRow()) * kRowHeight + 1;
        if (y >= picture.height) break;
        const Separator& body = separators()[static_cast<size_t>(row)];
        for (int i = 0; i < kNameLength; ++i)
            DrawCbmChar(picture, kGap + i * kLargeCellSize, y, body[kNameOffset + i], false, style);
    }
    return ToQImage(picture);
}

void SeparatorTool::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.fillRect(rect(), QColor::fromRgb(frame_->colourScheme().face));
    painter.drawImage(0, 0, Render());
}

void SeparatorTool::UpdateScrollBar() {
    const int count = static_cast<int>(separators().size());
    const int visible = VisibleRows();
    // The bar only when not every row fits.
    scroll_->setVisible(count > visible);
    scroll_->setRange(0, std::max(count - visible, 0));
    scroll_->setPageStep(visible);
    const int barWidth = scroll_->sizeHint().width();
    scroll_->setGeometry(width() - barWidth, 0, barWidth, height());
}

void SeparatorTool::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    // The height snaps to whole rows.
    const int rows = SnappedRows(height() / kRowHeight, static_cast<int>(separators().size()));
    if (!snapping_ && height() != rows * kRowHeight) {
        snapping_ = true;
        resize(width(), rows * kRowHeight);
        snapping_ = false;
    }
    UpdateScrollBar();
}

void SeparatorTool::wheelEvent(QWheelEvent* event) {
    if (scroll_->isVisible()) scroll_->event(event);
}

// ---- Clicks ---------------------------------------------------------------------------------

void SeparatorTool::mousePressEvent(QMouseEvent* event) {
    if (editor_ || event->button() != Qt::LeftButton) return;
    pressedAt_ = event->position().toPoint();
    pressed_ = RowAt(pressedAt_);
}

void SeparatorTool::mouseMoveEvent(QMouseEvent* event) {
    if (editor_ || pressed_ < 0 || !(event->buttons() & Qt::LeftButton)) return;
    if ((event->position().toPoint() - pressedAt_).manhattanLength() <
        QApplication::startDragDistance())
        return;
    DragPayload payload = DragOf(pressed_);
    pressed_ = -1; // a drag is no click
    if (payload.records.empty()) return;
    auto* drag = new QDrag(this);
    drag->setMimeData(new EntryMimeData(std::move(payload), frame_->DragFiles()));
    drag->exec(Qt::CopyAction, Qt::CopyAction);
}

DragPayload SeparatorTool::DragOf(int row) const {
    DragPayload payload;
    if (row < 0 || row >= static_cast<int>(separators().size())) return payload;
    payload.process = QCoreApplication::applicationPid();
    DragRecord record;
    record.hostName = "Separator";
    record.kind = FormatId::Del;
    const Separator& body = separators()[static_cast<size_t>(row)];
    std::copy(body.begin(), body.end(), record.entry.begin() + (kSlotSize - body.size()));
    payload.records.push_back(std::move(record));
    return payload;
}

void SeparatorTool::mouseReleaseEvent(QMouseEvent* event) {
    if (editor_ || event->button() != Qt::LeftButton) return;
    const int row = RowAt(event->position().toPoint());
    const int pressed = pressed_;
    pressed_ = -1;
    if (row >= 0 && row == pressed) Send(row);
}

bool SeparatorTool::Send(int row) {
    DirectoryView* view = targetView();
    if (!view || row < 0 || row >= static_cast<int>(separators().size())) return false;
    DiskImage& image = *view->Image();
    const int index = std::max(view->currentIndex(), 0);
    if (!image.InsertEntry(index, separators()[static_cast<size_t>(row)])) return false;
    // The row after the separator: the entry that was current.
    view->SelectIndex(index + 1);
    view->Redraw();
    return true;
}

// ---- Popup ----------------------------------------------------------------------------------

bool SeparatorTool::CanRun(int item, int row) const {
    const int count = static_cast<int>(separators().size());
    const bool onRow = row >= 0 && row < count;
    if (editor_) return false;
    switch (item) {
    case kInsertItem:
        return true;
    case kEditItem:
    case kDeleteItem:
        return onRow;
    case kMoveUpItem:
        return onRow && row > 0;
    case kMoveDownItem:
        return onRow && row < count - 1;
    default:
        return false;
    }
}

QMenu* SeparatorTool::MakeMenu(int row) {
    auto* menu = new QMenu(QStringLiteral("Separators"), this);
    const std::pair<const char*, int> items[] = {{"&Insert", kInsertItem},
                                                 {"&Edit", kEditItem},
                                                 {"&Delete", kDeleteItem},
                                                 {"Move &Up", kMoveUpItem},
                                                 {"Move &Down", kMoveDownItem}};
    for (const auto& [text, item] : items) {
        QAction* action = menu->addAction(QString::fromLatin1(text));
        action->setData(item);
        action->setEnabled(CanRun(item, row));
        connect(action, &QAction::triggered, this, [this, item, row] { Run(item, row); });
    }
    return menu;
}

void SeparatorTool::contextMenuEvent(QContextMenuEvent* event) {
    if (editor_) return;
    QMenu* menu = MakeMenu(RowAt(event->pos()));
    menu->exec(event->globalPos());
    delete menu;
}

void SeparatorTool::Run(int item, int row) {
    if (!CanRun(item, row)) return;
    std::vector<Separator>& all = list();
    const int count = static_cast<int>(all.size());
    if (item == kInsertItem) {
        const int at = row >= 0 && row < count ? row : count;
        all.insert(all.begin() + at, BlankSeparator());
        resize(width(), SnappedRows(VisibleRows(), count + 1) * kRowHeight);
        UpdateScrollBar();
        StartEdit(at);
    } else if (item == kEditItem) {
        StartEdit(row);
    } else if (item == kDeleteItem) {
        all.erase(all.begin() + row);
        UpdateScrollBar();
    } else {
        std::swap(all[static_cast<size_t>(row)],
                  all[static_cast<size_t>(item == kMoveUpItem ? row - 1 : row + 1)]);
    }
    update();
}

// ---- In-place edit --------------------------------------------------------------------------

void SeparatorTool::StartEdit(int row) {
    if (row < 0 || row >= static_cast<int>(separators().size())) return;
    if (scroll_->isVisible()) {
        const int visible = VisibleRows();
        if (row < scroll_->value()) scroll_->setValue(row);
        if (row >= scroll_->value() + visible) scroll_->setValue(row - visible + 1);
    }
    const Separator& body = separators()[static_cast<size_t>(row)];
    auto* edit = new CbmEdit(this);
    edit->SetInPlace(true);
    edit->SetLength(kNameLength);
    edit->SetCellSize(kLargeCellSize);
    edit->SetCaseTable(&caseTable());
    edit->SetBytes(std::span<const uint8_t>(body.data() + kNameOffset, kNameLength));
    edit->SelectAll();
    const QRect place = RowRect(row);
    edit->setGeometry(place.x(), place.y() - 1, place.width(), kRowHeight + 2);
    connect(edit, &CbmEdit::accepted, this, [this] { FinishEdit(true); });
    connect(edit, &CbmEdit::rejected, this, [this] { FinishEdit(false); });
    edit->installEventFilter(this);
    editor_ = edit;
    editRow_ = row;
    edit->show();
    activateWindow();
    edit->setFocus(Qt::OtherFocusReason);
}

void SeparatorTool::FinishEdit(bool commit) {
    if (!editor_) return;
    CbmEdit* edit = editor_.data();
    editor_.clear();
    edit->removeEventFilter(this);
    const int row = editRow_;
    editRow_ = -1;
    if (commit && row >= 0 && row < static_cast<int>(separators().size())) {
        const std::vector<uint8_t>& bytes = edit->bytes();
        std::copy_n(bytes.begin(), std::min<size_t>(bytes.size(), kNameLength),
                    list()[static_cast<size_t>(row)].begin() + kNameOffset);
    }
    edit->hide();
    edit->deleteLater();
    update();
}

bool SeparatorTool::eventFilter(QObject* watched, QEvent* event) {
    // Focus going elsewhere (not to the field's popup) ends the edit with a commit.
    if (watched == editor_ && event->type() == QEvent::FocusOut) {
        const auto reason = static_cast<QFocusEvent*>(event)->reason();
        if (reason != Qt::PopupFocusReason && reason != Qt::ActiveWindowFocusReason)
            FinishEdit(true);
    }
    return QWidget::eventFilter(watched, event);
}

void SeparatorTool::showEvent(QShowEvent*) {
    UpdateScrollBar();
    emit visibilityChanged(true);
}

void SeparatorTool::hideEvent(QHideEvent*) {
    FinishEdit(true);
    emit visibilityChanged(false);
}

} // namespace tessarind
