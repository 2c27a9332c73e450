#include "ui/ClassIcons.h"

#include <QPainter>
#include <QPainterPath>

namespace tessarind {

namespace {

// Every icon is drawn on a 64 × 64 grid and scaled.
void FloppyDisk(QPainter& p) {
    p.setPen(QPen(QColor(20, 20, 60), 2));
    p.setBrush(QColor(40, 40, 120));
    p.drawRoundedRect(QRectF(6, 6, 52, 52), 3, 3);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(236, 236, 236));
    p.drawRect(QRectF(14, 8, 36, 12)); // label
    p.setBrush(QColor(84, 84, 252));
    for (int i = 0; i < 3; ++i) // the rainbow of a home computer, in its blues
        p.drawRect(QRectF(16, 10 + 3 * i, 32, 2));
    p.setBrush(QColor(10, 10, 30));
    p.drawEllipse(QPointF(32, 38), 9, 9); // hub hole
    p.setBrush(QColor(40, 40, 120));
    p.drawEllipse(QPointF(32, 38), 4, 4);
    p.setBrush(QColor(10, 10, 30));
    p.drawRoundedRect(QRectF(29, 48, 6, 9), 2, 2); // head slot
    p.drawEllipse(QPointF(20, 38), 1.8, 1.8);      // index hole
}

void HardDisk(QPainter& p) {
    p.setPen(QPen(QColor(30, 30, 30), 2));
    p.setBrush(QColor(60, 60, 66));
    QPainterPath body;
    body.moveTo(6, 6);
    body.lineTo(54, 6);
    body.lineTo(58, 10);
    body.lineTo(58, 58);
    body.lineTo(6, 58);
    body.closeSubpath();
    p.drawPath(body);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(190, 190, 198)); // shutter
    p.drawRect(QRectF(18, 6, 26, 18));
    p.setBrush(QColor(60, 60, 66));
    p.drawRect(QRectF(34, 9, 6, 12));
    p.setBrush(QColor(240, 240, 232)); // label
    p.drawRect(QRectF(12, 32, 40, 24));
    p.setBrush(QColor(200, 60, 40));
    p.drawRect(QRectF(12, 32, 40, 4));
}

void TextPage(QPainter& p) {
    p.setPen(QPen(QColor(70, 70, 70), 2));
    p.setBrush(QColor(250, 250, 244));
    QPainterPath page;
    page.moveTo(12, 4);
    page.lineTo(42, 4);
    page.lineTo(54, 16);
    page.lineTo(54, 60);
    page.lineTo(12, 60);
    page.closeSubpath();
    p.drawPath(page);
    p.setBrush(QColor(210, 210, 200));
    QPainterPath fold;
    fold.moveTo(42, 4);
    fold.lineTo(42, 16);
    fold.lineTo(54, 16);
    fold.closeSubpath();
    p.drawPath(fold);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(64, 64, 224));
    const int widths[] = {24, 30, 20, 32, 26, 14};
    for (int i = 0; i < 6; ++i)
        p.drawRect(QRectF(18, 22 + 6 * i, widths[i], 3));
}

void Cassette(QPainter& p) {
    p.setPen(QPen(QColor(20, 20, 20), 2));
    p.setBrush(QColor(50, 50, 50));
    p.drawRoundedRect(QRectF(4, 14, 56, 38), 3, 3);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(230, 200, 120)); // label
    p.drawRect(QRectF(10, 18, 44, 20));
    p.setBrush(QColor(30, 30, 30));
    p.drawRoundedRect(QRectF(18, 23, 28, 10), 5, 5); // window
    p.setBrush(QColor(240, 240, 240));
    p.drawEllipse(QPointF(24, 28), 3.5, 3.5);
    p.drawEllipse(QPointF(40, 28), 3.5, 3.5);
    p.setBrush(QColor(80, 80, 80));
    QPainterPath foot;
    foot.moveTo(16, 52);
    foot.lineTo(20, 42);
    foot.lineTo(44, 42);
    foot.lineTo(48, 52);
    foot.closeSubpath();
    p.drawPath(foot);
}

} // namespace

QImage DrawClassIcon(int viewClass, int size) {
    QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    p.scale(size / 64.0, size / 64.0);
    switch (viewClass) {
    case 1:
        HardDisk(p);
        break;
    case 2:
        TextPage(p);
        break;
    case 3:
        Cassette(p);
        break;
    default:
        FloppyDisk(p);
        break;
    }
    return image;
}

} // namespace tessarind
