#include "ui/FrameDropTarget.h"

#include <QDropEvent>

#include "ui/EntryDrop.h"
#include "ui/MainFrame.h"

namespace tessarind {

FrameDropTarget::FrameDropTarget(MainFrame& frame) : QObject(&frame), frame_(frame) {
    frame.setAcceptDrops(true);
    frame.installEventFilter(this);
}

bool FrameDropTarget::eventFilter(QObject* watched, QEvent* event) {
    if (watched != &frame_) return false;
    switch (event->type()) {
    case QEvent::DragEnter:
    case QEvent::DragMove: {
        auto* drag = static_cast<QDragMoveEvent*>(event);
        if (ReadDrop(*drag->mimeData()).empty()) {
            drag->ignore();
        } else {
            drag->setDropAction(Qt::CopyAction);
            drag->accept();
        }
        return true;
    }
    case QEvent::Drop: {
        auto* drop = static_cast<QDropEvent*>(event);
        const DropItems items = ReadDrop(*drop->mimeData());
        if (items.empty()) {
            drop->ignore();
            return true;
        }
        drop->setDropAction(Qt::CopyAction);
        drop->accept();
        OpenDropped(frame_, items);
        return true;
    }
    default:
        return false;
    }
}

} // namespace tessarind
