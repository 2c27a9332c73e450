#include "ui/DirPreview.h"

#include <QFileInfo>
#include <QLabel>
#include <QStackedLayout>

#include "model/DiskImage.h"
#include "catalog/ImageOpener.h"
#include "ui/DirectoryView.h"

namespace tessarind {

DirPreview::DirPreview(Settings* settings, const ImageView::Style& style, QWidget* parent)
    : QWidget(parent), settings_(settings), style_(style),
      label_(new QLabel(QStringLiteral("No Preview Available"), this)),
      stack_(new QStackedLayout(this)) {
    setObjectName(QStringLiteral("DirPreview"));
    // The preview uses the normal cell so the dialog stays a sensible size.
    style_.largeFont = false;
    label_->setAlignment(Qt::AlignCenter);
    stack_->addWidget(label_);
    const int cell = kNormalCellSize;
    setMinimumSize(kListingColumns * cell + 24, 200);
}

DirPreview::~DirPreview() {
    Discard();
}

void DirPreview::Discard() {
    if (view_) {
        stack_->removeWidget(view_);
        delete view_;
        view_ = nullptr;
    }
    image_.reset();
    stack_->setCurrentWidget(label_);
}

void DirPreview::ShowPath(const QString& path) {
    Discard();
    if (path.isEmpty() || !QFileInfo(path).isFile()) return;
    // Quietly: no messages, and the file does not join the recent files.
    image_ = OpenContainer(nullptr, path.toStdString(), {}, 0, nullptr, false, settings_);
    if (!image_) return;
    view_ = new DirectoryView(nullptr, *image_, style_, this);
    stack_->addWidget(view_);
    stack_->setCurrentWidget(view_);
}

} // namespace tessarind
