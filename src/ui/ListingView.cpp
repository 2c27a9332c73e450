#include "ui/ListingView.h"

#include <QCloseEvent>
#include <QFontDatabase>
#include <QPlainTextEdit>
#include <QScrollBar>

#include "model/DiskImage.h"
#include "text/DirectoryListing.h"
#include "ui/MainFrame.h"
#include "ui/ToolbarIcons.h"

namespace tessarind {

using namespace cmd;

ListingView::ListingView(MainFrame& frame, DiskImage& image, const Style& style)
    : frame_(frame), image_(&image), text_(new QPlainTextEdit(this)), textColour_(style.text),
      backgroundColour_(style.background), upperCase_(style.upperCase) {
    setAttribute(Qt::WA_DeleteOnClose);
    text_->setReadOnly(true);
    text_->setLineWrapMode(QPlainTextEdit::NoWrap);
    text_->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    text_->setFrameShape(QFrame::NoFrame);
    setWidget(text_);
    setWindowIcon(ToolbarIcons::ProgramIcon());
    ApplyColours();
    image.AttachDirectoryView(this);
    SetWindowText(image.title() + (image.modified() ? " *" : ""));
    Redraw();

    // Wide enough for the listing's 28 columns, 25 rows high, as the directory view opens.
    QFontMetrics metrics(text_->font());
    int width = metrics.horizontalAdvance(QString(kListingColumns + 2, QLatin1Char('0'))) +
                text_->verticalScrollBar()->sizeHint().width() +
                2 * static_cast<int>(text_->document()->documentMargin());
    int height = metrics.lineSpacing() * 25 + 2 * static_cast<int>(text_->document()->documentMargin());
    text_->setMinimumSize(width, metrics.lineSpacing() * 4);
    resize(width + 16, height + 40);
}

ListingView::~ListingView() {
    if (image_) image_->DetachView(this);
}

void ListingView::Detach() {
    if (image_) image_->DetachView(this);
    image_ = nullptr;
}

void ListingView::Redraw() {
    if (!image_) return;
    std::vector<uint8_t> listing = ListDirectory(*image_, ListingForm::Ascii, !upperCase_);
    int position = text_->verticalScrollBar()->value();
    text_->setPlainText(QString::fromLatin1(reinterpret_cast<const char*>(listing.data()),
                                            static_cast<qsizetype>(listing.size())));
    text_->verticalScrollBar()->setValue(position);
}

QString ListingView::listingText() const { return text_->toPlainText(); }

void ListingView::SetWindowText(const std::string& text) { setWindowTitle(QString::fromStdString(text)); }

void ListingView::EnableCommand(int commandId, bool on) { frame_.ViewEnables(*this, commandId, on); }
void ListingView::CheckCommand(int commandId, bool on) { frame_.ViewChecks(*this, commandId, on); }
void ListingView::SetUndoText(const std::string& text, bool enabled) {
    frame_.ViewUndoText(*this, text, enabled);
}

uint32_t ListingView::Colour(CommandId which) const {
    return which == BackgroundColour ? backgroundColour_ : textColour_;
}

void ListingView::SetColour(CommandId which, uint32_t rgb) {
    (which == BackgroundColour ? backgroundColour_ : textColour_) = rgb;
    ApplyColours();
}

void ListingView::ApplyColours() {
    QPalette palette = text_->palette();
    palette.setColor(QPalette::Base, QColor::fromRgb(backgroundColour_));
    palette.setColor(QPalette::Text, QColor::fromRgb(textColour_));
    text_->setPalette(palette);
}

bool ListingView::HandleCommand(CommandId id) {
    if (!image_) return false;
    // The format's own commands come first.
    if (image_->HandleCommand(Number(id))) {
        Redraw();
        return true;
    }
    DiskImage& image = *image_;
    if (id == Save) {
        image.Save(false);
    } else if (id == SaveAs) {
        image.Save(true);
    } else if (id == Close) {
        close();
    } else if (id == ToggleCase) {
        upperCase_ = !upperCase_;
        frame_.ViewChecks(*this, Number(ToggleCase), upperCase_);
        Redraw();
    } else if (id == ShowDeletedFiles) {
        image.SetShowDeleted(!image.showDeleted());
        image.Refresh();
        frame_.ViewChecks(*this, Number(ShowDeletedFiles), image.showDeleted());
        Redraw();
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

void ListingView::closeEvent(QCloseEvent* event) {
    // Closing the window closes the container, unless the user keeps it to save.
    if (image_ && !frame_.ReleaseView(*this)) {
        event->ignore();
        return;
    }
    QMdiSubWindow::closeEvent(event);
}

} // namespace tessarind
