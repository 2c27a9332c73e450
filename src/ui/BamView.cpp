#include "ui/BamView.h"

#include <QFont>
#include <QFontMetrics>
#include <QKeyEvent>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenu>
#include <QMouseEvent>
#include <QPainter>
#include <QScrollBar>

#include "model/DiskImage.h"
#include "ui/DirectoryView.h"
#include "ui/ImageDocument.h"
#include "ui/InPlaceEditor.h"
#include "ui/MainFrame.h"
#include "ui/SectorEditorView.h"

namespace tessarind {

using namespace cmd;

namespace {

constexpr CommandId kMark = Id(2035);

QFont HeadFont() {
    QFont font(QStringLiteral("Arial Black"));
    font.setPixelSize(12);
    font.setWeight(QFont::Black);
    return font;
}

// The free and used pictures: an open green cell and a filled red one, each with a dark rim
// so neighbouring cells stay apart.
void DrawBlockPicture(QPainter& painter, int x, int y, bool free) {
    const QRect cell(x, y, BamGrid::kCellSize, BamGrid::kCellSize);
    painter.fillRect(cell, free ? QColor(200, 240, 200) : QColor(200, 40, 40));
    painter.setPen(QColor(40, 40, 40));
    painter.drawRect(cell.adjusted(0, 0, -1, -1));
}

uint32_t Rgb(const QColor& colour) {
    return static_cast<uint32_t>(colour.rgb()) & 0xFFFFFFu;
}

} // namespace

BamView::BamView(MainFrame* frame, DiskImage& image, const Style& style, QWidget* parent)
    : ImageView(frame, image, style, parent), grid_(image) {
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    viewport()->setMouseTracking(true);
    image.AttachBamView(this);
    SetWindowText(image.title() + ": BAM");
    FitToImage();
}

BamView::~BamView() = default;

void BamView::Detach() {
    ImageView::Detach();
    hovered_.reset();
}

void BamView::FitToImage() {
    if (!image_) return;
    horizontalScrollBar()->setRange(0, std::max(0, grid_.ColumnCount() - 1));
    verticalScrollBar()->setRange(0, std::max(0, grid_.TrackCount() - 1));
    horizontalScrollBar()->setPageStep(BamGrid::kOpenColumns);
    verticalScrollBar()->setPageStep(BamGrid::kOpenRows);
    const auto [w, h] = grid_.LargestSize();
    const int bars = verticalScrollBar()->sizeHint().width();
    setMinimumSize(BamGrid::kMinWidth, BamGrid::kMinHeight);
    setMaximumSize(w + bars, h + horizontalScrollBar()->sizeHint().height());
    if (window_) {
        window_->setMinimumSize(0, 0);
        window_->setMaximumSize(QWIDGETSIZE_MAX, QWIDGETSIZE_MAX);
        window_->adjustSize();
    }
}

QSize BamView::sizeHint() const {
    if (!image_) return ImageView::sizeHint(); // the grid's image has closed
    const auto [w, h] = grid_.OpenSize();
    return {w + verticalScrollBar()->sizeHint().width(),
            h + horizontalScrollBar()->sizeHint().height()};
}

void BamView::scrollContentsBy(int, int) {
    if (image_) grid_.ScrollTo(verticalScrollBar()->value() + 1, horizontalScrollBar()->value());
    viewport()->update();
}

// ---- Painting -----------------------------------------------------------------------------

Picture BamView::RenderPicture(QSize size) {
    if (size.width() <= 0 || size.height() <= 0) return {};
    const QColor face = palette().color(QPalette::Button);
    const QColor faceText = palette().color(QPalette::ButtonText);
    QImage canvas(size, QImage::Format_RGB32);
    canvas.fill(palette().color(QPalette::Base));
    if (image_) {
        QPainter painter(&canvas);
        painter.fillRect(0, 0, size.width(), BamGrid::kHeadHeight, face);
        painter.fillRect(0, 0, BamGrid::kLeftWidth, size.height(), face);
        painter.setPen(palette().color(QPalette::Dark));
        painter.drawLine(BamGrid::kLeftWidth, BamGrid::kHeadHeight, size.width(),
                         BamGrid::kHeadHeight);
        painter.drawLine(BamGrid::kLeftWidth, BamGrid::kHeadHeight, BamGrid::kLeftWidth,
                         size.height());

        painter.setFont(HeadFont());
        const QFontMetrics metrics(painter.font());
        const int lineHeight = metrics.height();
        painter.setPen(faceText);
        // The legend, and the hovered block's place below it.
        int x = BamGrid::kGridX;
        const int legendTop = BamGrid::kGridY - 3 * lineHeight;
        painter.drawText(x, legendTop + metrics.ascent(), QStringLiteral("Free:"));
        x += metrics.horizontalAdvance(QStringLiteral("Free:")) + 5;
        DrawBlockPicture(painter, x, legendTop + (lineHeight - BamGrid::kCellSize) / 2, true);
        x += BamGrid::kCellSize + 36;
        painter.setPen(faceText);
        painter.drawText(x, legendTop + metrics.ascent(), QStringLiteral("Used:"));
        x += metrics.horizontalAdvance(QStringLiteral("Used:")) + 5;
        DrawBlockPicture(painter, x, legendTop + (lineHeight - BamGrid::kCellSize) / 2, false);
        if (hovered_) {
            painter.setPen(faceText);
            painter.drawText(
                BamGrid::kGridX, BamGrid::kGridY - 2 * lineHeight + metrics.ascent(),
                QString::fromStdString(BamGrid::HoverText(hovered_->track, hovered_->sector)));
        }
        // Column numbers, narrow enough for two digits over a cell, track numbers, then
        // the cells.
        QFont small = painter.font();
        small.setPixelSize(9);
        painter.setFont(small);
        for (const auto& [number, cx] : grid_.ColumnLabels(size.width()))
            painter.drawText(
                QRect(cx, BamGrid::kHeadHeight - lineHeight, BamGrid::kCellSize, lineHeight),
                Qt::AlignHCenter | Qt::AlignBottom, QString::number(number));
        painter.setFont(HeadFont());
        const int trackRight = BamGrid::kGridX - 4 * metrics.averageCharWidth();
        const std::vector<BamCell> cells = grid_.VisibleCells(size.width(), size.height());
        int lastTrack = 0;
        for (const BamCell& cell : cells) {
            if (cell.block.track != lastTrack) {
                lastTrack = cell.block.track;
                painter.setPen(faceText);
                painter.drawText(trackRight, cell.y + metrics.ascent(),
                                 QString::number(cell.block.track % 100));
            }
            DrawBlockPicture(painter, cell.x, cell.y, cell.free);
            if (cell.errorNumber) {
                painter.setFont(small);
                painter.setPen(cell.free ? Qt::black : Qt::white);
                painter.drawText(QRect(cell.x, cell.y, BamGrid::kCellSize, BamGrid::kCellSize),
                                 Qt::AlignCenter, QString::asprintf("%2d", *cell.errorNumber));
                painter.setFont(HeadFont());
            }
        }
    }
    Picture picture(size.width(), size.height(), 0);
    for (int y = 0; y < size.height(); ++y) {
        const auto* row = reinterpret_cast<const QRgb*>(canvas.constScanLine(y));
        for (int x = 0; x < size.width(); ++x)
            picture.pixels[static_cast<size_t>(y) * static_cast<size_t>(size.width()) +
                           static_cast<size_t>(x)] = static_cast<uint32_t>(row[x]) & 0xFFFFFFu;
    }
    if (image_) {
        // The disk name and ID in the CBM font, button text on button face.
        CbmTextStyle style = TextStyle();
        style.caseTable = &kUpperCaseSet;
        style.cellSize = kNormalCellSize;
        style.text = Rgb(faceText);
        style.background = Rgb(face);
        int column = kNameColumn;
        for (uint8_t c : grid_.DiskName())
            DrawCbmChar(picture, column++ * style.cellSize, kHeadTop, c, false, style);
        column = kIdColumn;
        for (uint8_t c : grid_.DiskId())
            DrawCbmChar(picture, column++ * style.cellSize, kHeadTop, c, false, style);
    }
    return picture;
}

// ---- Mouse and keys -----------------------------------------------------------------------

void BamView::HoverAt(QPoint point) {
    const std::optional<BamBlock> block =
        image_ ? grid_.HitTest(point.x(), point.y()) : std::nullopt;
    const bool same =
        block.has_value() == hovered_.has_value() &&
        (!block || (block->track == hovered_->track && block->sector == hovered_->sector));
    hovered_ = block;
    if (!same) viewport()->update();
}

void BamView::mouseMoveEvent(QMouseEvent* event) {
    HoverAt(event->position().toPoint());
    ImageView::mouseMoveEvent(event);
}

void BamView::Flip(const BamBlock& block) {
    if (!image_) return;
    image_->ToggleBlock(block.track, block.sector);
    image_->RedrawViews();
}

QMenu* BamView::BuildPopup() {
    if (!image_ || !hovered_ || !grid_.RightClickOpensMenu()) return nullptr;
    delete popup_;
    popup_ = new QMenu(QStringLiteral("BAM"), this);
    const BamBlock block = *hovered_;
    popup_->addAction(QString::fromStdString(grid_.MarkText(block.track, block.sector)), this,
                      [this, block] { Flip(block); });
    QMenu* errors = popup_->addMenu(QStringLiteral("&Errors"));
    for (const BamErrorItem& item : grid_.ErrorItems(block.track, block.sector)) {
        QAction* action = errors->addAction(
            QString::fromStdString(item.text), this, [this, block, id = item.commandId] {
                if (image_) grid_.SetErrorFromCommand(block.track, block.sector, id);
            });
        action->setData(item.commandId);
        action->setCheckable(true);
        action->setChecked(item.checked);
    }
    return popup_;
}

QMenu* BamView::RightClick(QPoint point) {
    HoverAt(point);
    if (!image_ || !hovered_) return nullptr;
    if (QMenu* menu = BuildPopup()) return menu;
    Flip(*hovered_);
    return nullptr;
}

void BamView::mousePressEvent(QMouseEvent* event) {
    if (event->button() == Qt::RightButton) {
        if (QMenu* menu = RightClick(event->position().toPoint()))
            menu->exec(event->globalPosition().toPoint());
        return;
    }
    if (event->button() == Qt::LeftButton && image_) {
        HoverAt(event->position().toPoint());
        if (hovered_) ShowSectorEditor(frame_, *image_, hovered_->track, hovered_->sector);
        return;
    }
    ImageView::mousePressEvent(event);
}

void BamView::keyPressEvent(QKeyEvent* event) {
    const bool ctrl = event->modifiers() & Qt::ControlModifier;
    if (event->key() == Qt::Key_Z && ctrl) {
        Dispatch(Undo);
    } else if (event->key() == Qt::Key_F4 && image_) {
        // The block pointed at, else the directory's first block.
        if (hovered_)
            ShowSectorEditor(frame_, *image_, hovered_->track, hovered_->sector);
        else
            ShowSectorEditor(frame_, *image_, image_->dirTrack(), image_->dirSector());
    } else if (event->key() == Qt::Key_F2 && frame_ && image_) {
        // Back to the directory view of this image.
        for (const auto& document : frame_->openImages())
            if (&document->image() == image_ && document->directoryView())
                frame_->client()->setActiveSubWindow(document->directoryView()->Window());
    } else {
        ImageView::keyPressEvent(event);
    }
}

bool BamView::HandleCommand(CommandId id) {
    if (!image_) return false;
    if (id == kMark) {
        if (hovered_) Flip(*hovered_);
        return true;
    }
    if (hovered_ && Number(id) >= BamGrid::kFirstErrorCommand &&
        grid_.SetErrorFromCommand(hovered_->track, hovered_->sector, Number(id)))
        return true;
    if (id == RenameDisk || id == EditDiskId) {
        StartHeadEdit(id == RenameDisk ? UndoKind::DiskName : UndoKind::DiskId);
        return true;
    }
    if (id == Undo) {
        image_->UndoCommand();
        image_->RedrawViews();
        return true;
    }
    return ImageView::HandleCommand(id);
}

// ---- Disk name and ID in place -------------------------------------------------------------

void BamView::StartHeadEdit(UndoKind kind) {
    if (!frame_ || !image_) return;
    const std::span<const uint8_t> field = kind == UndoKind::DiskName ? image_->DiskName()
                                                                       : image_->DiskId();
    if (field.empty()) return;
    editKind_ = kind;
    std::vector<uint8_t> bytes(field.begin(), field.end());
    InPlaceEditor::Field place{kind == UndoKind::DiskName ? kNameColumn : kIdColumn, 0,
                               static_cast<int>(bytes.size()), bytes, false};
    place.cellSize = kNormalCellSize;
    place.top = kHeadTop;
    frame_->inPlaceEditor().Start(*this, place);
}

void BamView::CommitEdit(const std::vector<uint8_t>& bytes) {
    if (!image_) return;
    const bool name = editKind_ == UndoKind::DiskName;
    if (bytes.size() != (name ? image_->DiskName() : image_->DiskId()).size()) return;
    CommitDiskField(*image_, editKind_, bytes, name ? "Rename Disk" : "Disk ID");
}

// ---- Opening ----------------------------------------------------------------------------------

BamView* ShowBamWindow(MainFrame* frame, DiskImage& image) {
    if (!frame) return nullptr;
    if (auto* existing = dynamic_cast<BamView*>(image.bamView())) {
        if (existing->Window()) frame->client()->setActiveSubWindow(existing->Window());
        return existing;
    }
    auto* view = new BamView(frame, image, frame->ViewStyle());
    QMdiSubWindow* window = view->MakeWindow();
    view->SetWindowText(image.title() + ": BAM");
    frame->client()->addSubWindow(window);
    view->FitToImage();
    for (const auto& document : frame->openImages())
        if (&document->image() == &image) document->AddChildView(view);
    window->show();
    frame->KeepInsideClientArea(window);
    frame->client()->setActiveSubWindow(window);
    return view;
}

} // namespace tessarind
