#include "ui/PetsciiTextView.h"

#include <QApplication>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QKeyEvent>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenu>
#include <QMouseEvent>
#include <QScrollBar>

#include "catalog/TextPicture.h"
#include "model/DiskImage.h"
#include "model/FormatRegistry.h"
#include "model/SafeFile.h"
#include "text/Petscii.h"
#include "ui/ImageDocument.h"
#include "ui/MainFrame.h"

namespace tessarind {

using namespace cmd;

PetsciiTextView::PetsciiTextView(MainFrame* frame, DiskImage& image, std::vector<uint8_t> text,
                                 const QString& title, const std::array<uint8_t, 16>& cbmName,
                                 const TextSwitches& switches, const Style& style, QWidget* parent)
    : ImageView(frame, image, style, parent), text_(std::move(text)), title_(title),
      cbmName_(cbmName), switches_(switches), openingWordWrap_(switches.wordWrap) {
    setWindowTitle(title_);
    verticalScrollBar()->setSingleStep(1);
    connect(verticalScrollBar(), &QScrollBar::valueChanged, this, [this] { Redraw(); });
    scrollTimer_.setInterval(kAutoScrollMs);
    connect(&scrollTimer_, &QTimer::timeout, this, [this] { AutoScroll(); });
    Relayout();
}

// ---- Layout -----------------------------------------------------------------------------------

TextLayoutOptions PetsciiTextView::LayoutOptions() const {
    TextLayoutOptions options;
    options.switches = switches_;
    options.width = columns_;
    options.foreground = Colour(TextColour);
    options.selectionFirst = selectionFirst();
    options.selectionLast = selectionLast();
    return options;
}

int PetsciiTextView::VisibleRows() const {
    return std::max(1, viewport()->height() / cellSize());
}

int PetsciiTextView::firstLine() const {
    return verticalScrollBar()->value();
}

void PetsciiTextView::Relayout() {
    lineCount_ = LayoutText(text_, LayoutOptions(), nullptr);
    verticalScrollBar()->setPageStep(VisibleRows());
    verticalScrollBar()->setRange(0, std::max(0, lineCount_ - VisibleRows()));
    Redraw();
}

Picture PetsciiTextView::RenderPicture(QSize size) {
    const int rows = std::max(1, (size.height() + cellSize() - 1) / cellSize());
    const TextScreen screen = LayoutScreen(text_, LayoutOptions(), firstLine(), rows);
    return RenderTextScreen(screen, TextStyle());
}

void PetsciiTextView::LookChanged() {
    Relayout();
}

void PetsciiTextView::resizeEvent(QResizeEvent* event) {
    ImageView::resizeEvent(event);
    Relayout();
}

// ---- Commands ---------------------------------------------------------------------------------

void PetsciiTextView::Activated() {
    CheckCommand(Number(ToggleHiddenCharacters), switches_.interpretCodes);
    CheckCommand(Number(ToggleFontSize), largeFont());
}

bool PetsciiTextView::HandleCommand(CommandId id) {
    if (id == ToggleCase || id == Close) return ImageView::HandleCommand(id);
    if (id == ToggleFontSize) {
        // The window becomes 40 x 25 characters of the new font.
        columns_ = 40;
        return ImageView::HandleCommand(id);
    }
    if (id == ToggleHiddenCharacters) {
        ToggleCodes();
    } else if (id == Export) {
        ExportText();
    } else if (id == SelectAll) {
        SelectAllText();
    } else {
        return false;
    }
    return true;
}

void PetsciiTextView::SetColumns(int columns) {
    columns_ = columns;
    FitWindow(false);
    Relayout();
}

void PetsciiTextView::ToggleCodes() {
    switches_.interpretCodes = !switches_.interpretCodes;
    // Codes that act move the cursor about: words are no longer wrapped as prose.
    switches_.wordWrap = switches_.interpretCodes ? false : openingWordWrap_;
    CheckCommand(Number(ToggleHiddenCharacters), switches_.interpretCodes);
    Relayout();
}

void PetsciiTextView::SelectAllText() {
    anchor_ = 0;
    caret_ = text_.size();
    Redraw();
}

QString PetsciiTextView::SelectedText() const {
    if (!HasSelection()) return {};
    const std::span<const uint8_t> bytes(text_.data() + selectionFirst(),
                                         selectionLast() - selectionFirst());
    const Settings& settings = image_ ? image_->settings() : Settings::Defaults();
    return QString::fromLatin1(PetsciiToAscii(bytes, false, false, ShowsUpperCase(), settings));
}

void PetsciiTextView::CopySelection() {
    if (!HasSelection()) return;
    QApplication::clipboard()->setText(SelectedText());
}

QString PetsciiTextView::ProposedName() const {
    QString name = title_;
    for (const QString& ending : {QStringLiteral(": DIR"), QStringLiteral(".seq")})
        if (name.endsWith(ending, Qt::CaseInsensitive)) {
            name.chop(ending.size());
            break;
        }
    return QString::fromStdString(DiskImage::FileNamePart(name.toStdString()));
}

void PetsciiTextView::ExportText() {
    Interaction* ui = frame_ ? frame_->interaction() : nullptr;
    if (!ui) return;
    SaveRequest request;
    request.proposedName = ProposedName().toStdString();
    request.defaultExtension = "seq";
    request.filters = {{"Seq File", ".seq"}};
    bool dialogFailed = false;
    std::optional<SaveChoice> choice = ui->ChooseSaveFile(request, dialogFailed);
    if (!choice) return;
    if (WriteWholeFile(choice->path, text_) != WriteResult::Ok)
        ui->Message("Unable to Save File " + choice->path, "Error");
}

// ---- Keys and mouse ---------------------------------------------------------------------------

void PetsciiTextView::keyPressEvent(QKeyEvent* event) {
    const bool control = (event->modifiers() & Qt::ControlModifier) != 0;
    if (control && event->key() == Qt::Key_C) {
        CopySelection();
    } else if (control && event->key() == Qt::Key_A) {
        SelectAllText();
    } else if (!control && event->key() == Qt::Key_4) {
        SetColumns(40);
    } else if (!control && event->key() == Qt::Key_8) {
        SetColumns(80);
    } else if (event->key() == Qt::Key_PageDown) {
        verticalScrollBar()->triggerAction(QAbstractSlider::SliderPageStepAdd);
    } else if (event->key() == Qt::Key_PageUp) {
        verticalScrollBar()->triggerAction(QAbstractSlider::SliderPageStepSub);
    } else if (event->key() == Qt::Key_Down) {
        verticalScrollBar()->triggerAction(QAbstractSlider::SliderSingleStepAdd);
    } else if (event->key() == Qt::Key_Up) {
        verticalScrollBar()->triggerAction(QAbstractSlider::SliderSingleStepSub);
    } else if (event->key() == Qt::Key_Home && control) {
        verticalScrollBar()->setValue(0);
    } else if (event->key() == Qt::Key_End && control) {
        verticalScrollBar()->setValue(verticalScrollBar()->maximum());
    } else {
        ImageView::keyPressEvent(event);
    }
}

size_t PetsciiTextView::PositionAtPoint(QPoint point) const {
    const int cell = cellSize();
    const int line = firstLine() + (point.y() < 0 ? -1 : point.y() / cell);
    const int column = std::clamp(point.x() / cell, 0, columns_ - 1);
    if (line < 0) return 0;
    return PositionAt(text_, LayoutOptions(), line, column);
}

void PetsciiTextView::ExtendTo(QPoint point) {
    const size_t at = PositionAtPoint(point);
    // The character under the pointer belongs to the selection in either direction.
    caret_ = at >= anchor_ ? std::min(at + 1, text_.size()) : at;
    Redraw();
}

void PetsciiTextView::mousePressEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) {
        ImageView::mousePressEvent(event);
        return;
    }
    anchor_ = caret_ = PositionAtPoint(event->position().toPoint());
    selecting_ = true;
    lastPointer_ = event->position().toPoint();
    Redraw();
}

void PetsciiTextView::mouseMoveEvent(QMouseEvent* event) {
    if (!selecting_) return;
    lastPointer_ = event->position().toPoint();
    ExtendTo(lastPointer_);
    // Above or below the window the text scrolls while the button is held.
    const bool outside = lastPointer_.y() < 0 || lastPointer_.y() >= viewport()->height();
    if (outside && !scrollTimer_.isActive()) scrollTimer_.start();
    if (!outside) scrollTimer_.stop();
}

void PetsciiTextView::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton || !selecting_) return;
    selecting_ = false;
    scrollTimer_.stop();
}

void PetsciiTextView::AutoScroll() {
    if (!selecting_) {
        scrollTimer_.stop();
        return;
    }
    QScrollBar* bar = verticalScrollBar();
    if (lastPointer_.y() < 0)
        bar->setValue(bar->value() - 1);
    else if (lastPointer_.y() >= viewport()->height())
        bar->setValue(bar->value() + 1);
    ExtendTo(lastPointer_);
}

void PetsciiTextView::contextMenuEvent(QContextMenuEvent* event) {
    QMenu menu(this);
    QAction* copy =
        menu.addAction(QStringLiteral("&Copy\tCtrl+C"), this, [this] { CopySelection(); });
    copy->setEnabled(HasSelection());
    menu.addAction(QStringLiteral("&Export"), this, [this] { ExportText(); });
    menu.addSeparator();
    menu.addAction(QStringLiteral("&40 Columns\t4"), this, [this] { SetColumns(40); });
    menu.addAction(QStringLiteral("&80 Columns\t8"), this, [this] { SetColumns(80); });
    menu.addAction(QStringLiteral("&Toggle Case"), this, [this] { Dispatch(ToggleCase); });
    QAction* codes =
        menu.addAction(QStringLiteral("Control &Characters"), this, [this] { ToggleCodes(); });
    codes->setCheckable(true);
    codes->setChecked(switches_.interpretCodes);
    QAction* font =
        menu.addAction(QStringLiteral("&Large Font"), this, [this] { Dispatch(ToggleFontSize); });
    font->setCheckable(true);
    font->setChecked(largeFont());
    menu.exec(event->globalPos());
}

// ---- Opening ----------------------------------------------------------------------------------

PetsciiTextView* ShowTextWindow(MainFrame* frame, DiskImage& owner, std::vector<uint8_t> text,
                                const QString& title, const TextSwitches& switches) {
    if (!frame) return nullptr;
    auto* view = new PetsciiTextView(frame, owner, std::move(text), title, PetsciiName(""),
                                     switches, frame->ViewStyle());
    owner.AddChildWindow(view);
    QMdiSubWindow* window = view->MakeWindow();
    view->SetWindowText(title.toStdString());
    frame->client()->addSubWindow(window);
    view->FitWindow(true);
    for (const auto& document : frame->openImages())
        if (&document->image() == &owner) document->AddChildView(view);
    window->show();
    frame->client()->setActiveSubWindow(window);
    return view;
}

} // namespace tessarind
