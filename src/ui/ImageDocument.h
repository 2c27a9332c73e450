#pragma once
// One open container: the image and the windows that show it, kept together in the frame's
// list of open images. Closing the directory window closes the whole document.

#include <QPointer>
#include <memory>
#include <vector>

#include "model/DiskImage.h"

namespace tessarind {

class ImageView;
class ViewWindow;

class ImageDocument {
public:
    explicit ImageDocument(std::unique_ptr<DiskImage> image) : image_(std::move(image)) {}
    ~ImageDocument();
    ImageDocument(const ImageDocument&) = delete;
    ImageDocument& operator=(const ImageDocument&) = delete;

    DiskImage& image() const { return *image_; }
    ViewWindow* directoryView() const { return view_; }
    void SetDirectoryView(ViewWindow* view) { view_ = view; }
    // A further window of the container (a text view of one of its files); it closes with
    // the container, or on its own before.
    void AddChildView(ImageView* view) { children_.emplace_back(view); }

    // Detaches every window from the image and closes it.
    void CloseViews();

private:
    std::unique_ptr<DiskImage> image_;
    ViewWindow* view_ = nullptr;
    std::vector<QPointer<ImageView>> children_;
};

} // namespace tessarind
