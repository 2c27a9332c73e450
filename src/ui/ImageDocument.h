#pragma once
// One open container: the image and the windows that show it, kept together in the frame's
// list of open images. Closing the directory window closes the whole document.

#include <memory>

#include "model/DiskImage.h"

namespace tessarind {

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

    // Detaches every window from the image and closes it.
    void CloseViews();

private:
    std::unique_ptr<DiskImage> image_;
    ViewWindow* view_ = nullptr;
};

} // namespace tessarind
