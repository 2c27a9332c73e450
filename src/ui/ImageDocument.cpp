#include "ui/ImageDocument.h"

#include <QMdiSubWindow>

#include "ui/ImageView.h"
#include "ui/ViewWindow.h"

namespace tessarind {

ImageDocument::~ImageDocument() {
    CloseViews();
}

void ImageDocument::CloseViews() {
    for (const QPointer<ImageView>& child : children_) {
        if (!child) continue;
        child->Detach();
        if (QMdiSubWindow* window = child->Window()) window->close();
    }
    children_.clear();
    if (!view_) return;
    ViewWindow* view = view_;
    view_ = nullptr;
    view->Detach();
    view->Window()->close();
}

} // namespace tessarind
