#include "ui/ListingView.h"

#include <QCloseEvent>
#include <QFontDatabase>
#include <QPlainTextEdit>
#include <QScrollBar>
#include <QTextCharFormat>
#include <QTextCursor>

#include "model/DiskImage.h"
#include "text/DirectoryListing.h"
#include "ui/MainFrame.h"
#include "ui/ToolbarIcons.h"

namespace tessarind {

using namespace cmd;

ListingView::ListingView(MainFrame& frame, DiskImage& image, const Style& style)
    : frame_(frame), image_(&image), text_(new QPlainTextEdit(this)), textColour_(style.text),
      backgroundColour_(style.background), upperCase_(style.upperCase),
      largeFont_(style.largeFont) {
    setAttribute(Qt::WA_DeleteOnClose);
    text_->setReadOnly(true);
    text_->setLineWrapMode(QPlainTextEdit::NoWrap);
    text_->setFrameShape(QFrame::NoFrame);
    setWidget(text_);
    setWindowIcon(ToolbarIcons::ProgramIcon());
    ApplyColours();
    image.AttachDirectoryView(this);
    SetWindowText(image.title() + (image.modified() ? " *" : ""));
    Redraw();
    ApplyFont();
}

void ListingView::ApplyFont() {
    QFont font = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    if (largeFont_) font.setPixelSize(16);
    text_->setFont(font);
    // Wide enough for the listing's 28 columns, 25 rows high, as the directory view opens.
    QFontMetrics metrics(font);
    int margin = 2 * static_cast<int>(text_->document()->documentMargin());
    int width = metrics.horizontalAdvance(QString(kListingColumns + 1, QLatin1Char('0'))) +
                text_->verticalScrollBar()->sizeHint().width() + margin;
    int height = metrics.lineSpacing() * 25 + margin;
    // The window takes its size from what its contents need at least; afterwards the user
    // may make it shorter.
    text_->setMinimumSize(width, height);
    adjustSize();
    text_->setMinimumSize(width, metrics.lineSpacing() * 4);
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
    // The header is in reverse video after its "0 ", as the listing draws it.
    QTextCursor header(text_->document());
    header.movePosition(QTextCursor::Right, QTextCursor::MoveAnchor, 2);
    header.movePosition(QTextCursor::EndOfBlock, QTextCursor::KeepAnchor);
    QTextCharFormat reverse;
    reverse.setForeground(QColor::fromRgb(backgroundColour_));
    reverse.setBackground(QColor::fromRgb(textColour_));
    header.mergeCharFormat(reverse);
    text_->verticalScrollBar()->setValue(position);
}

QString ListingView::listingText() const {
    return text_->toPlainText();
}

void ListingView::SetWindowText(const std::string& text) {
    setWindowTitle(QString::fromStdString(text));
}

void ListingView::EnableCommand(int commandId, bool on) {
    frame_.ViewEnables(*this, commandId, on);
}
void ListingView::CheckCommand(int commandId, bool on) {
    frame_.ViewChecks(*this, commandId, on);
}
void ListingView::SetUndoText(const std::string& text, bool enabled) {
    frame_.ViewUndoText(*this, text, enabled);
}

uint32_t ListingView::Colour(CommandId which) const {
    return which == BackgroundColour ? backgroundColour_ : textColour_;
}

void ListingView::SetColour(CommandId which, uint32_t rgb) {
    (which == BackgroundColour ? backgroundColour_ : textColour_) = rgb;
    ApplyColours();
    Redraw();
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
    } else if (id == ToggleFontSize) {
        largeFont_ = !largeFont_;
        ApplyFont();
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
