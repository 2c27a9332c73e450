#include "ui/SectorEditorView.h"

#include <QAction>
#include <QCloseEvent>
#include <QContextMenuEvent>
#include <QFocusEvent>
#include <QFontDatabase>
#include <QFontMetrics>
#include <QKeyEvent>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenu>
#include <QMouseEvent>
#include <QPainter>
#include <QPixmap>
#include <QToolBar>

#include "model/DiskImage.h"
#include "ui/BamView.h"
#include "ui/ImageDocument.h"
#include "ui/MainFrame.h"
#include "ui/ToolbarIcons.h"

namespace tessarind {

using namespace cmd;

namespace {

constexpr CommandId kGoToSideSector = Id(2042);
constexpr CommandId kGoBack = Id(2163);
constexpr CommandId kPreviousTrack = Id(2164);
constexpr CommandId kNextTrack = Id(2165);
constexpr CommandId kPreviousSector = Id(2166);
constexpr CommandId kNextSector = Id(2167);
constexpr CommandId kLinkedSector = Id(2045);
constexpr int kHexColumns = 53;
constexpr int kRows = 19;
constexpr int kToolBarX = 220;
constexpr int kToolBarWidth = 274;
const QColor kCursorColour(255, 0, 64);

struct ToolButton {
    CommandId id;
    const char* tip;
    const char* mark; // drawn on the buttons the main toolbar has no picture for
};
constexpr ToolButton kButtons[] = {
    {kPreviousTrack, "Previous Track", "T-"},      {kNextTrack, "Next Track", "T+"},
    {kPreviousSector, "Previous Sector", "S-"},    {kNextSector, "Next Sector", "S+"},
    {kLinkedSector, "Jump to Next Sector", ">>"},  {kGoBack, "Jump to Previous Sector", "<<"},
    {kGoToSideSector, "Go to Side Sector", "G"},
};

QIcon ButtonIcon(CommandId id, const char* mark) {
    if (id == kLinkedSector) return ToolbarIcons::ForCommand(JumpToSector);
    QPixmap picture(ToolbarIcons::kSize, ToolbarIcons::kSize);
    picture.fill(Qt::transparent);
    QPainter painter(&picture);
    QFont font(QStringLiteral("Arial Black"));
    font.setPixelSize(14);
    font.setWeight(QFont::Black);
    painter.setFont(font);
    painter.setPen(QColor(0, 0, 128));
    painter.drawText(picture.rect(), Qt::AlignCenter, QString::fromLatin1(mark));
    return QIcon(picture);
}

QFont HeadFont() {
    QFont font(QStringLiteral("Arial Black"));
    font.setPixelSize(12);
    font.setWeight(QFont::Black);
    return font;
}

uint32_t Rgb(const QColor& colour) {
    return static_cast<uint32_t>(colour.rgb()) & 0xFFFFFFu;
}

} // namespace

SectorEditorView::SectorEditorView(MainFrame* frame, DiskImage& image, const Style& style,
                                   QWidget* parent)
    : ImageView(frame, image, style, parent), editor_(std::make_unique<SectorEditor>(image)) {
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    viewport()->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    image.AttachSectorEditor(this);

    toolBar_ = new QToolBar(QStringLiteral("TBParent"), viewport());
    toolBar_->setObjectName(QStringLiteral("TBParent"));
    toolBar_->setIconSize(QSize(ToolbarIcons::kSize, ToolbarIcons::kSize));
    toolBar_->setGeometry(kToolBarX, 2, kToolBarWidth, 40);
    toolBar_->setToolButtonStyle(Qt::ToolButtonIconOnly);
    toolBar_->setMovable(false);
    toolBar_->setContentsMargins(0, 0, 0, 0);
    toolBar_->setStyleSheet(QStringLiteral("QToolBar { spacing: 0px; padding: 0px; border: 0px; }"
                                           "QToolButton { padding: 0px; margin: 0px; }"));
    for (const ToolButton& button : kButtons) {
        QAction* action = toolBar_->addAction(ButtonIcon(button.id, button.mark),
                                              QString::fromLatin1(button.tip));
        action->setToolTip(QString::fromLatin1(button.tip));
        action->setData(Number(button.id));
        connect(action, &QAction::triggered, this, [this, id = button.id] { Dispatch(id); });
    }

    blink_.setInterval(kBlinkMs);
    connect(&blink_, &QTimer::timeout, this, [this] {
        caretOn_ = !caretOn_;
        viewport()->update();
    });
    blink_.start();
    UpdateButtons();
}

SectorEditorView::~SectorEditorView() {
    CbmCodeTargets::Instance().Clear(this);
    // The edit is journalled while the image is still there.
    editor_.reset();
}

void SectorEditorView::Detach() {
    CbmCodeTargets::Instance().Clear(this);
    editor_.reset();
    ImageView::Detach();
}

void SectorEditorView::TypeCbmCode(uint8_t code) {
    if (!editor_ || editor_->column() != SectorEditor::Column::Character) return;
    editor_->StoreByte(code);
    Changed();
}

void SectorEditorView::UpdateCbmTarget() {
    CbmCodeTargets& targets = CbmCodeTargets::Instance();
    if (editor_ && editor_->column() == SectorEditor::Column::Character)
        targets.SetTarget(this, this);
    else
        targets.Clear(this);
}

void SectorEditorView::focusInEvent(QFocusEvent* event) {
    UpdateCbmTarget();
    ImageView::focusInEvent(event);
}

void SectorEditorView::focusOutEvent(QFocusEvent* event) {
    CbmCodeTargets::Instance().FocusLost(this, event->reason() == Qt::ActiveWindowFocusReason);
    ImageView::focusOutEvent(event);
}

int SectorEditorView::CharWidth() const {
    return QFontMetrics(viewport()->font()).horizontalAdvance(QLatin1Char('0'));
}

int SectorEditorView::RowHeight() const {
    return std::max(QFontMetrics(viewport()->font()).height(), cellSize());
}

int SectorEditorView::CharacterAreaX() const {
    return kHexColumns * CharWidth() + 20;
}

QSize SectorEditorView::sizeHint() const {
    return {kHexColumns * CharWidth() + 16 * cellSize() + 40, kRows * RowHeight()};
}

bool SectorEditorView::ShowBlock(int track, int sector) {
    if (!editor_ || !editor_->Show(track, sector)) return false;
    Changed();
    return true;
}

void SectorEditorView::BlockChanged(int track, int sector, int offset) {
    if (editor_ && editor_->track() == track && editor_->sector() == sector)
        editor_->Place(offset, editor_->column(), false);
    Changed();
}

void SectorEditorView::Changed() {
    if (editor_ && image_) SetWindowText(image_->title() + ": Sector Editor");
    UpdateButtons();
    if (hasFocus()) UpdateCbmTarget();
    caretOn_ = true;
    viewport()->update();
}

void SectorEditorView::UpdateButtons() {
    if (!toolBar_) return;
    const bool link = editor_ && editor_->LinkedBlock().has_value();
    const bool atCursor = editor_ && editor_->BlockAtCursor().has_value();
    for (QAction* action : toolBar_->actions()) {
        const CommandId id = Id(action->data().toInt());
        if (id == kGoBack)
            action->setEnabled(editor_ && !editor_->history().empty());
        else if (id == kLinkedSector)
            action->setEnabled(link);
        else if (id == kGoToSideSector)
            action->setEnabled(atCursor);
        else
            action->setEnabled(editor_ != nullptr);
    }
    EnableCommand(Number(JumpToSideSector), atCursor);
    if (editor_) SetUndoText(editor_->UndoItemText(), editor_->UndoEnabled());
}

// ---- Painting -----------------------------------------------------------------------------

Picture SectorEditorView::RenderPicture(QSize size) {
    if (size.width() <= 0 || size.height() <= 0) return {};
    const CbmTextStyle base = TextStyle();
    const QColor face = palette().color(QPalette::Button);
    const QColor faceText = palette().color(QPalette::ButtonText);
    const QColor text = QColor::fromRgb(base.text);
    const QColor background = QColor::fromRgb(base.background);
    const int cw = CharWidth();
    const int row = RowHeight();
    const int charX = CharacterAreaX();
    const bool hexActive = editor_ && editor_->column() == SectorEditor::Column::Hex;

    QImage canvas(size, QImage::Format_RGB32);
    canvas.fill(background);
    QPainter painter(&canvas);
    painter.fillRect(0, 0, size.width(), 3 * row - 3, face);
    painter.setPen(palette().color(QPalette::Dark));
    painter.drawLine(0, 3 * row - 3, size.width(), 3 * row - 3);
    const uint8_t* block = editor_ ? editor_->Block() : nullptr;
    QRect cursorRect;
    if (block) {
        painter.setFont(HeadFont());
        const QFontMetrics head(painter.font());
        painter.setPen(faceText);
        painter.drawText(
            3 * cw, head.ascent(),
            QString::asprintf("Track: %2d   Sector: %2d", editor_->track(), editor_->sector()));
        if (auto link = editor_->LinkedBlock())
            painter.drawText(
                kNormalCellSize + charX, head.ascent(),
                QString::asprintf("Next Track: %2d  Sector: %2d", link->first, link->second));
        const int cursor = editor_->cursor();
        const QString byteText = QString::asprintf("BYTE %02X: %02X", cursor, block[cursor]);
        painter.drawText(3 * cw, row + row / 2 + head.ascent(), byteText);

        painter.setFont(viewport()->font());
        const QFontMetrics fixed(painter.font());
        for (int r = 0; r < 16; ++r) {
            const int y = (3 + r) * row;
            painter.setPen(text);
            painter.drawText(0, y + fixed.ascent(), QString::asprintf("%X0:", r));
            for (int c = 0; c < 16; ++c) {
                const int offset = r * 16 + c;
                const bool here = offset == cursor;
                painter.setPen(here && hexActive ? kCursorColour : text);
                const int x = (5 + 3 * c) * cw;
                painter.drawText(x, y + fixed.ascent(), QString::asprintf("%02X", block[offset]));
                if (here)
                    cursorRect = hexActive ? QRect(x + (editor_->lowNibble() ? cw : 0), y, cw, row)
                                           : QRect(charX + c * kNormalCellSize, y, kNormalCellSize,
                                                   kNormalCellSize);
            }
        }
        // The caret is the cursor cell inverted, every other blink.
        if (!caretOn_ && !cursorRect.isEmpty()) {
            painter.end();
            painter.begin(&canvas);
            painter.setCompositionMode(QPainter::RasterOp_SourceXorDestination);
            painter.fillRect(cursorRect, Qt::white);
        }
    }
    painter.end();

    Picture picture(size.width(), size.height(), 0);
    for (int y = 0; y < size.height(); ++y) {
        const auto* line = reinterpret_cast<const QRgb*>(canvas.constScanLine(y));
        for (int x = 0; x < size.width(); ++x)
            picture.pixels[static_cast<size_t>(y) * static_cast<size_t>(size.width()) +
                           static_cast<size_t>(x)] = static_cast<uint32_t>(line[x]) & 0xFFFFFFu;
    }
    if (block) {
        CbmTextStyle style = base;
        style.cellSize = cellSize();
        const int cursor = editor_->cursor();
        for (int offset = 0; offset < 256; ++offset) {
            CbmTextStyle cell = style;
            if (offset == cursor && !hexActive && caretOn_) cell.text = Rgb(kCursorColour);
            DrawCbmChar(picture, charX + (offset % 16) * cellSize(), (3 + offset / 16) * row,
                        block[offset], false, cell);
        }
        // The cursor byte beside its value in the head.
        CbmTextStyle head = style;
        head.text = Rgb(faceText);
        head.background = Rgb(face);
        head.cellSize = kNormalCellSize;
        const int x = 3 * CharWidth() +
                      QFontMetrics(HeadFont()).horizontalAdvance(QStringLiteral("BYTE 00: 00 "));
        DrawCbmChar(picture, x, row + row / 2, block[cursor], false, head);
    }
    return picture;
}

// ---- Input --------------------------------------------------------------------------------

void SectorEditorView::keyPressEvent(QKeyEvent* event) {
    if (!editor_) return;
    SectorEditor& e = *editor_;
    const Qt::KeyboardModifiers mods = event->modifiers();
    const bool ctrl = mods & Qt::ControlModifier;
    const bool alt = mods & Qt::AltModifier;
    const bool shift = mods & Qt::ShiftModifier;
    switch (event->key()) {
    case Qt::Key_Left:
        if (alt)
            e.SetColumn(SectorEditor::Column::Hex);
        else if (ctrl)
            Dispatch(kPreviousSector);
        else
            e.Left();
        break;
    case Qt::Key_Right:
        if (alt)
            e.SetColumn(SectorEditor::Column::Character);
        else if (ctrl)
            Dispatch(kNextSector);
        else
            e.Right();
        break;
    case Qt::Key_Up:
        if (ctrl)
            Dispatch(kPreviousTrack);
        else
            e.Up();
        break;
    case Qt::Key_Down:
        if (alt)
            Dispatch(kLinkedSector);
        else if (ctrl)
            Dispatch(kNextTrack);
        else
            e.Down();
        break;
    case Qt::Key_Home:
        e.Home(ctrl);
        break;
    case Qt::Key_End:
        e.End(ctrl);
        break;
    case Qt::Key_PageUp:
        e.PageUp();
        break;
    case Qt::Key_PageDown:
        e.PageDown();
        break;
    case Qt::Key_F2:
        if (frame_ && image_)
            for (const auto& document : frame_->openImages())
                if (&document->image() == image_ && document->directoryView())
                    frame_->client()->setActiveSubWindow(document->directoryView()->Window());
        return;
    case Qt::Key_F3:
        if (image_) ShowBamWindow(frame_, *image_);
        return;
    case Qt::Key_Z:
        if (ctrl) {
            Dispatch(Undo);
            return;
        }
        [[fallthrough]];
    default: {
        const QString typed = event->text();
        if (ctrl || alt || typed.size() != 1 || typed[0].unicode() > 0xFF) {
            ImageView::keyPressEvent(event);
            return;
        }
        e.Type(static_cast<uint8_t>(typed[0].unicode()), shift);
    }
    }
    Changed();
}

void SectorEditorView::mousePressEvent(QMouseEvent* event) {
    if (!editor_ || event->button() != Qt::LeftButton) {
        ImageView::mousePressEvent(event);
        return;
    }
    editor_->Commit();
    const QPoint p = event->position().toPoint();
    const int row = RowHeight(), cw = CharWidth();
    const int line = (p.y() - 3 * row) / row;
    if (p.y() >= 3 * row && line < 16) {
        if (p.x() >= CharacterAreaX()) {
            const int column = (p.x() - CharacterAreaX()) / cellSize();
            if (column < 16) editor_->Place(line * 16 + column, SectorEditor::Column::Character);
        } else if (p.x() >= 5 * cw) {
            const int cell = (p.x() / cw) - 5; // three characters a byte: two digits, a gap
            const int column = std::min(cell / 3, 15);
            editor_->Place(line * 16 + column, SectorEditor::Column::Hex, cell % 3 >= 1);
        }
    }
    Changed();
}

QMenu* SectorEditorView::BuildPopup() {
    delete popup_;
    popup_ = new QMenu(QStringLiteral("Sector Edit"), this);
    QAction* jump = popup_->addAction(QStringLiteral("&Jump To Next Sector"), this,
                                      [this] { Dispatch(kGoToSideSector); });
    jump->setEnabled(editor_ && editor_->LinkedBlock().has_value());
    popup_->addAction(QStringLiteral("&Fill Sector"), this, [this] { Dispatch(FillSector); });
    return popup_;
}

void SectorEditorView::contextMenuEvent(QContextMenuEvent* event) {
    BuildPopup()->exec(event->globalPos());
}

void SectorEditorView::closeEvent(QCloseEvent* event) {
    if (editor_) editor_->Commit();
    ImageView::closeEvent(event);
}

bool SectorEditorView::HandleCommand(CommandId id) {
    if (!image_ || !editor_) return false;
    SectorEditor& e = *editor_;
    if (id == FillSector) {
        e.Fill(static_cast<uint8_t>(image_->settings().Get(SettingId::FillByte)));
    } else if (id == kGoToSideSector || id == kLinkedSector) {
        e.FollowLink();
    } else if (id == JumpToSideSector) {
        e.FollowCursor();
    } else if (id == kGoBack) {
        e.Back();
    } else if (id == kPreviousTrack) {
        e.PreviousTrack();
    } else if (id == kNextTrack) {
        e.NextTrack();
    } else if (id == kPreviousSector) {
        e.PreviousSector();
    } else if (id == kNextSector) {
        e.NextSector();
    } else if (id == Undo) {
        e.Undo();
        image_->RedrawViews();
    } else {
        return ImageView::HandleCommand(id);
    }
    Changed();
    return true;
}

// ---- Opening ----------------------------------------------------------------------------------

SectorEditorView* ShowSectorEditor(MainFrame* frame, DiskImage& image, int track, int sector) {
    // A jump to a block the image does not have (a link of 0/0) opens nothing.
    if (!frame || track < 1 || track > image.trackCount() || sector < 0 ||
        !image.SectorPointer(track, sector))
        return nullptr;
    auto* view = dynamic_cast<SectorEditorView*>(image.sectorEditor());
    if (!view) {
        view = new SectorEditorView(frame, image, frame->ViewStyle());
        QMdiSubWindow* window = view->MakeWindow();
        frame->client()->addSubWindow(window);
        for (const auto& document : frame->openImages())
            if (&document->image() == &image) document->AddChildView(view);
        window->show();
        // The whole block shows at once: 19 rows and both columns.
        window->resize(view->sizeHint() + (window->size() - view->size()));
        frame->KeepInsideClientArea(window);
    }
    view->ShowBlock(track, sector);
    view->SetWindowText(image.title() + ": Sector Editor");
    if (view->Window()) frame->client()->setActiveSubWindow(view->Window());
    view->setFocus();
    return view;
}

} // namespace tessarind
