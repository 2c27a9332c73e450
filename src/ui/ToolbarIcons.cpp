#include "ui/ToolbarIcons.h"

#include <QPainter>
#include <QPainterPath>
#include <QPixmap>

namespace tessarind {

using namespace cmd;

namespace {

// The colours of the pictures; the hot image swaps the ink for a brighter one.
struct Ink {
    QColor line;
    QColor fill;
    QColor accent;
};

const Ink kNormal{QColor(40, 48, 96), QColor(200, 208, 236), QColor(84, 84, 252)};
const Ink kHot{QColor(20, 24, 140), QColor(224, 232, 255), QColor(252, 84, 84)};

void Disk(QPainter& p, const Ink& ink, QRectF r) {
    // A floppy: body, shutter and label.
    QPainterPath body;
    body.moveTo(r.left(), r.top());
    body.lineTo(r.right() - r.width() * 0.18, r.top());
    body.lineTo(r.right(), r.top() + r.height() * 0.18);
    body.lineTo(r.right(), r.bottom());
    body.lineTo(r.left(), r.bottom());
    body.closeSubpath();
    p.setPen(QPen(ink.line, 1.5));
    p.setBrush(ink.accent);
    p.drawPath(body);
    p.setBrush(ink.fill);
    p.drawRect(QRectF(r.left() + r.width() * 0.25, r.top(), r.width() * 0.45, r.height() * 0.32));
    p.setBrush(Qt::white);
    p.drawRect(QRectF(r.left() + r.width() * 0.15, r.top() + r.height() * 0.55, r.width() * 0.7,
                      r.height() * 0.4));
}

void Folder(QPainter& p, const Ink& ink, QRectF r) {
    QPainterPath path;
    path.moveTo(r.left(), r.top() + 4);
    path.lineTo(r.left() + r.width() * 0.4, r.top() + 4);
    path.lineTo(r.left() + r.width() * 0.5, r.top() + 8);
    path.lineTo(r.right(), r.top() + 8);
    path.lineTo(r.right(), r.bottom());
    path.lineTo(r.left(), r.bottom());
    path.closeSubpath();
    p.setPen(QPen(ink.line, 1.5));
    p.setBrush(QColor(236, 200, 96));
    p.drawPath(path);
    p.setBrush(QColor(252, 224, 128));
    p.drawRect(QRectF(r.left(), r.top() + 12, r.width(), r.height() - 12));
}

void Arrow(QPainter& p, const Ink& ink, QPointF from, QPointF to) {
    p.setPen(QPen(ink.accent, 3, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(from, to);
    QLineF line(to, from);
    QLineF left = line;
    left.setLength(7);
    left.setAngle(line.angle() + 35);
    QLineF right = line;
    right.setLength(7);
    right.setAngle(line.angle() - 35);
    p.drawLine(left);
    p.drawLine(right);
}

void Letters(QPainter& p, const Ink& ink, const QString& text, QRectF r, int pixelSize,
             bool bold = true) {
    QFont font;
    font.setPixelSize(pixelSize);
    font.setBold(bold);
    p.setFont(font);
    p.setPen(ink.line);
    p.drawText(r, Qt::AlignCenter, text);
}

void Grid(QPainter& p, const Ink& ink, QRectF r, int columns, int rows, bool checker) {
    p.setPen(QPen(ink.line, 1));
    double w = r.width() / columns, h = r.height() / rows;
    for (int y = 0; y < rows; ++y)
        for (int x = 0; x < columns; ++x) {
            bool dark = checker ? ((x * 7 + y * 3) % 5 < 2) : ((x + y) % 2 == 0);
            p.setBrush(dark ? ink.accent : ink.fill);
            p.drawRect(QRectF(r.left() + x * w, r.top() + y * h, w, h));
        }
}

void Page(QPainter& p, const Ink& ink, QRectF r) {
    p.setPen(QPen(ink.line, 1.5));
    p.setBrush(Qt::white);
    p.drawRect(r);
    p.setPen(QPen(ink.fill.darker(130), 1));
    for (double y = r.top() + 6; y < r.bottom() - 3; y += 4)
        p.drawLine(QPointF(r.left() + 4, y), QPointF(r.right() - 4, y));
}

void Draw(QPainter& p, CommandId id, const Ink& ink) {
    const QRectF full(3, 3, 26, 26);
    if (id == Open) {
        Folder(p, ink, QRectF(2, 6, 26, 22));
        Arrow(p, ink, QPointF(22, 20), QPointF(22, 4));
    } else if (id == Save) {
        Disk(p, ink, full);
    } else if (id == FindInDisks) {
        Disk(p, ink, QRectF(2, 2, 20, 20));
        p.setPen(QPen(ink.line, 3));
        p.setBrush(QColor(255, 255, 255, 160));
        p.drawEllipse(QPointF(19, 19), 7, 7);
        p.drawLine(QPointF(24, 24), QPointF(30, 30));
    } else if (id == ShowCbmTool) {
        p.setPen(QPen(ink.line, 1.5));
        p.setBrush(QColor(0, 0, 168));
        p.drawRect(full);
        Letters(p, Ink{QColor(84, 84, 252), {}, {}}, QStringLiteral("A\u2660"), full, 13);
    } else if (id == ShowSeparatorTool) {
        Page(p, ink, full);
        p.setPen(QPen(ink.accent, 2, Qt::DashLine));
        for (double y : {10.0, 16.0, 22.0})
            p.drawLine(QPointF(6, y), QPointF(26, y));
    } else if (id == ToggleCase) {
        Letters(p, ink, QStringLiteral("Aa"), full, 18);
    } else if (id == ShowFileProperties) {
        Page(p, ink, QRectF(5, 2, 22, 28));
        p.setPen(Qt::NoPen);
        p.setBrush(ink.accent);
        p.drawEllipse(QPointF(16, 16), 8, 8);
        Letters(p, Ink{Qt::white, {}, {}}, QStringLiteral("i"), QRectF(8, 8, 16, 16), 13);
    } else if (id == BamEditor) {
        Grid(p, ink, full, 6, 6, true);
    } else if (id == MoveFileDown) {
        Page(p, ink, QRectF(3, 3, 16, 26));
        Arrow(p, ink, QPointF(24, 5), QPointF(24, 27));
    } else if (id == MoveFileUp) {
        Page(p, ink, QRectF(3, 3, 16, 26));
        Arrow(p, ink, QPointF(24, 27), QPointF(24, 5));
    } else if (id == JumpToSector) {
        Grid(p, ink, QRectF(12, 12, 18, 18), 3, 3, false);
        Arrow(p, ink, QPointF(3, 3), QPointF(18, 18));
    } else if (id == ParentDirectory) {
        Folder(p, ink, QRectF(2, 8, 28, 22));
        Arrow(p, ink, QPointF(16, 26), QPointF(16, 4));
    } else if (id == ToggleFontSize) {
        Letters(p, ink, QStringLiteral("A"), QRectF(1, 2, 20, 28), 24);
        Letters(p, ink, QStringLiteral("A"), QRectF(17, 12, 14, 18), 12);
    } else if (id == ToggleHiddenCharacters) {
        p.setPen(Qt::NoPen);
        p.setBrush(ink.line);
        p.drawRect(QRectF(5, 5, 22, 22));
        Letters(p, Ink{ink.fill, {}, {}}, QStringLiteral("\u00b6"), full, 20);
    } else if (id == ShowDeletedFiles) {
        Page(p, ink, QRectF(4, 3, 24, 26));
        Letters(p, Ink{QColor(168, 0, 0), {}, {}}, QStringLiteral("DEL"), full, 10);
    }
}

QPixmap Picture(CommandId id, const Ink& ink) {
    QPixmap pixmap(ToolbarIcons::kSize, ToolbarIcons::kSize);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    Draw(p, id, ink);
    return pixmap;
}

} // namespace

QIcon ToolbarIcons::ForCommand(CommandId id) {
    QIcon icon;
    icon.addPixmap(Picture(id, kNormal), QIcon::Normal);
    icon.addPixmap(Picture(id, kHot), QIcon::Active);
    return icon;
}

QIcon ToolbarIcons::ProgramIcon() {
    QIcon icon;
    for (int size : {16, 32, 48}) {
        QPixmap pixmap(size, size);
        pixmap.fill(Qt::transparent);
        QPainter p(&pixmap);
        p.setRenderHint(QPainter::Antialiasing);
        p.scale(size / 32.0, size / 32.0);
        Disk(p, Ink{QColor(20, 20, 60), QColor(84, 84, 252), QColor(0, 0, 168)},
             QRectF(2, 2, 28, 28));
        icon.addPixmap(pixmap);
    }
    return icon;
}

} // namespace tessarind
