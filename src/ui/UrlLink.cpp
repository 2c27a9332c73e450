#include "ui/UrlLink.h"

#include <QDesktopServices>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QUrl>

namespace tessarind {

UrlLink::UrlLink(const QString& url, QWidget* parent) : QWidget(parent), url_(url) {
    setObjectName(QStringLiteral("UrlClass"));
    setCursor(Qt::PointingHandCursor);
    setFocusPolicy(Qt::TabFocus);
    setToolTip(url);
}

QSize UrlLink::sizeHint() const {
    return fontMetrics().size(Qt::TextSingleLine, url_) + QSize(4, 4);
}

void UrlLink::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.fillRect(rect(), palette().color(QPalette::Button));
    painter.setPen(QColor(0, 0, 255));
    painter.drawText(rect(), Qt::AlignCenter, url_);
    if (hasFocus()) {
        painter.setPen(QPen(QColor(0, 0, 255), 1, Qt::DotLine));
        painter.drawRect(rect().adjusted(0, 0, -1, -1));
    }
}

void UrlLink::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton && rect().contains(event->position().toPoint())) Open();
}

void UrlLink::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Space || event->key() == Qt::Key_Return)
        Open();
    else
        QWidget::keyPressEvent(event);
}

void UrlLink::Open() {
    emit opened(QDesktopServices::openUrl(QUrl(url_)));
}

} // namespace tessarind
