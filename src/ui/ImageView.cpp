#include "ui/ImageView.h"

#include <QAction>
#include <QCloseEvent>
#include <QKeyEvent>
#include <QMdiSubWindow>
#include <QPainter>
#include <QScrollBar>
#include <vector>

#include "model/DiskImage.h"
#include "ui/CbmImage.h"
#include "ui/CommandActions.h"
#include "ui/CrossLinkDialog.h"
#include "ui/InPlaceEditor.h"
#include "ui/MainFrame.h"
#include "ui/SectorEditorView.h"
#include "ui/ToolbarIcons.h"

namespace tessarind {

using namespace cmd;

namespace {

// The child window of a view: closing it closes the container, unless the user keeps it to
// save it.
class ViewSubWindow : public QMdiSubWindow {
public:
    explicit ViewSubWindow(ImageView& view) : view_(view) {
        setAttribute(Qt::WA_DeleteOnClose);
        setWindowIcon(ToolbarIcons::ProgramIcon());
        // No maximise box: the width belongs to the cells.
        setWindowFlags(Qt::SubWindow | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                       Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint);
    }

protected:
    void closeEvent(QCloseEvent* event) override {
        // An edit in progress belongs to the container before it is asked to save.
        if (view_.frame()) view_.frame()->inPlaceEditor().Finish(true);
        if (view_.Image() && view_.frame() && !view_.frame()->ReleaseView(view_)) {
            event->ignore();
            return;
        }
        QMdiSubWindow::closeEvent(event);
    }

private:
    ImageView& view_;
};

} // namespace

ImageView::ImageView(MainFrame* frame, DiskImage& image, const Style& style, QWidget* parent)
    : QAbstractScrollArea(parent), frame_(frame), image_(&image), text_(style.text),
      background_(style.background), selection_(style.selection), upperCase_(style.upperCase),
      largeFont_(style.largeFont) {
    setFrameShape(QFrame::NoFrame);
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setFocusPolicy(Qt::StrongFocus);
    viewport()->setAttribute(Qt::WA_OpaquePaintEvent);
    viewport()->setAutoFillBackground(false);
}

ImageView::~ImageView() {
    if (image_) image_->DetachView(this);
}

QMdiSubWindow* ImageView::MakeWindow() {
    if (window_) return window_;
    window_ = new ViewSubWindow(*this);
    window_->setWidget(this);
    if (image_) SetWindowText(image_->title() + (image_->modified() ? " *" : ""));
    FitWindow(true);
    return window_;
}

void ImageView::Detach() {
    if (image_) image_->DetachView(this);
    image_ = nullptr;
}

// ---- Look -------------------------------------------------------------------------------------

CbmTextStyle ImageView::TextStyle() const {
    CbmTextStyle style;
    style.caseTable = &caseTable();
    style.cellSize = cellSize();
    style.text = text_;
    style.background = background_;
    style.selection = selection_;
    return style;
}

QSize ImageView::sizeHint() const {
    const int cell = cellSize();
    return {Columns() * cell + verticalScrollBar()->sizeHint().width() + 2 * frameWidth(),
            kOpenRows * cell + 2 * frameWidth()};
}

void ImageView::FitWindow(bool resetHeight) {
    const int width = sizeHint().width();
    setMinimumWidth(width);
    setMaximumWidth(width);
    if (!window_) {
        if (resetHeight) resize(sizeHint());
        return;
    }
    window_->setMinimumSize(0, 0);
    window_->setMaximumWidth(QWIDGETSIZE_MAX);
    const QSize before = window_->size();
    window_->adjustSize();
    const int windowWidth = window_->width();
    if (!resetHeight) window_->resize(windowWidth, before.height());
    window_->setMinimumWidth(windowWidth);
    window_->setMaximumWidth(windowWidth);
    window_->setMinimumHeight(kMinimumHeight);
}

QImage ImageView::Snapshot() {
    return ToQImage(RenderPicture(viewport()->size()));
}

void ImageView::paintEvent(QPaintEvent*) {
    const QSize area = viewport()->size();
    Picture picture = RenderPicture(area);
    QPainter painter(viewport());
    // The picture holds the cells; whatever lies right of or below them is background.
    painter.fillRect(QRect(QPoint(0, 0), area), QColor::fromRgb(background_));
    painter.drawImage(0, 0, ToQImage(picture));
}

uint32_t ImageView::Colour(CommandId which) const {
    return which == BackgroundColour ? background_ : text_;
}

void ImageView::SetColour(CommandId which, uint32_t rgb) {
    (which == BackgroundColour ? background_ : text_) = rgb;
    Redraw();
}

// ---- Image observer ---------------------------------------------------------------------------

void ImageView::Redraw() {
    viewport()->update();
}

void ImageView::SetWindowText(const std::string& text) {
    const QString title = QString::fromStdString(text);
    setWindowTitle(title);
    if (window_) window_->setWindowTitle(title);
}

bool ImageView::IsActiveView() const {
    return frame_ && frame_->activeView() == this;
}

void ImageView::EnableCommand(int commandId, bool on) {
    if (frame_) frame_->ViewEnables(*this, commandId, on);
}

void ImageView::CheckCommand(int commandId, bool on) {
    if (frame_) frame_->ViewChecks(*this, commandId, on);
}

void ImageView::SetUndoText(const std::string& text, bool enabled) {
    if (frame_) frame_->ViewUndoText(*this, text, enabled);
}

void ImageView::SetItemText(CommandId id, const QString& text) {
    if (IsActiveView()) frame_->actions().Get(id)->setText(text);
}

void ImageView::Dispatch(CommandId id) {
    emit commandSent(id);
    if (HandleCommand(id)) return;
    if (frame_) frame_->ExecuteCommand(id);
}

// ---- Commands ---------------------------------------------------------------------------------

bool ImageView::HandleCommand(CommandId id) {
    if (!image_) return false;
    DiskImage& image = *image_;
    // The format's own commands come first.
    if (image.HandleCommand(Number(id))) {
        Redraw();
        return true;
    }
    if (id == ToggleCase) {
        upperCase_ = !upperCase_;
        CheckCommand(Number(ToggleCase), upperCase_);
        LookChanged();
        Redraw();
    } else if (id == ToggleFontSize) {
        largeFont_ = !largeFont_;
        CheckCommand(Number(ToggleFontSize), largeFont_);
        FitWindow(true);
        LookChanged();
        Redraw();
    } else if (id == CrossLinks) {
        CheckCrossLinks();
    } else if (id == Save) {
        image.Save(false);
    } else if (id == SaveAs) {
        image.Save(true);
    } else if (id == Close) {
        if (window_) window_->close();
    } else if (id == Undo) {
        image.UndoCommand();
        Redraw();
    } else if (id == Validate) {
        image.Validate();
        Redraw();
    } else if (id == Compact) {
        image.CompactDirectory();
        Redraw();
    } else if (id == SortNameAscending || id == SortNameDescending || id == SortSizeAscending ||
               id == SortSizeDescending) {
        image.Sort(id == SortNameAscending || id == SortSizeAscending,
                   id == SortSizeAscending || id == SortSizeDescending);
        Redraw();
    } else if (id == FillFreeSectors) {
        image.FillFreeSectors();
        Redraw();
    } else {
        return false;
    }
    return true;
}

void ImageView::CheckCrossLinks() {
    std::vector<CrossLink> links;
    image_->CheckCrossLinks(links);
    if (links.empty()) {
        if (Interaction* ui = image_->owner())
            ui->Message("No Cross Linked Files", "Cross Link Check");
        return;
    }
    QWidget* owner = frame_ ? static_cast<QWidget*>(frame_) : this;
    auto* dialog =
        new CrossLinkDialog(QString::fromStdString(image_->title()), links, TextStyle(), owner);
    // A click on a row opens the sector editor there.
    connect(dialog, &CrossLinkDialog::blockChosen, this, [this](int track, int sector) {
        if (image_) ShowSectorEditor(frame_, *image_, track, sector);
    });
    dialog->show();
}

void ImageView::keyReleaseEvent(QKeyEvent* event) {
    // Letting go of Ctrl while Shift is held, or of Shift while Ctrl is held, toggles the case
    // as the Commodore keyboard switches its character set.
    const Qt::KeyboardModifiers held = event->modifiers();
    if (!event->isAutoRepeat() &&
        ((event->key() == Qt::Key_Control && (held & Qt::ShiftModifier)) ||
         (event->key() == Qt::Key_Shift && (held & Qt::ControlModifier)))) {
        Dispatch(ToggleCase);
        return;
    }
    QAbstractScrollArea::keyReleaseEvent(event);
}

} // namespace tessarind
