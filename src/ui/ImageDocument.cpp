#include "ui/ImageDocument.h"

#include <QMdiSubWindow>

#include "ui/ViewWindow.h"

namespace tessarind {

ImageDocument::~ImageDocument() {
    CloseViews();
}

void ImageDocument::CloseViews() {
    if (!view_) return;
    ViewWindow* view = view_;
    view_ = nullptr;
    view->Detach();
    view->Window()->close();
}

} // namespace tessarind
