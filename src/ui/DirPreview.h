#pragma once
// The directory preview of the open dialog: the container selected in the dialog, opened
// quietly and shown in a directory view of its own, or "No Preview Available".

#include <QWidget>
#include <memory>

#include "ui/ImageView.h"

class QLabel;
class QStackedLayout;

namespace tessarind {

class DirectoryView;
class DiskImage;
class Settings;

class DirPreview : public QWidget {
    Q_OBJECT
public:
    DirPreview(Settings* settings, const ImageView::Style& style, QWidget* parent = nullptr);
    ~DirPreview() override;

    // Discards what was shown and shows the container at `path`, if it opens.
    void ShowPath(const QString& path);
    DirectoryView* view() const { return view_; }
    DiskImage* image() const { return image_.get(); }
    QLabel* label() const { return label_; }

private:
    void Discard();

    Settings* settings_;
    ImageView::Style style_;
    std::unique_ptr<DiskImage> image_;
    DirectoryView* view_ = nullptr;
    QLabel* label_;
    QStackedLayout* stack_;
};

} // namespace tessarind
