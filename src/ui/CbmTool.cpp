#include "ui/CbmTool.h"

#include <QMouseEvent>
#include <QPainter>

#include "catalog/DirectoryPicture.h"
#include "ui/CbmCodeTarget.h"
#include "ui/CbmImage.h"
#include "ui/MainFrame.h"
#include "ui/ViewWindow.h"

namespace tessarind {

namespace {

void FillRect(Picture& picture, const QRect& rect, uint32_t colour) {
    const QRect clipped = rect.intersected(QRect(0, 0, picture.width, picture.height));
    for (int y = clipped.top(); y <= clipped.bottom(); ++y)
        for (int x = clipped.left(); x <= clipped.right(); ++x)
            picture.pixels[static_cast<size_t>(y) * static_cast<size_t>(picture.width) +
                           static_cast<size_t>(x)] = colour;
}

// The colours of the tool windows: the frame's scheme, or the plain one without a frame.
ColourScheme ToolColours(const MainFrame* frame) {
    return frame ? frame->colourScheme() : MakeColourScheme(false, kPlainSystemColours);
}

} // namespace

CbmTool::CbmTool(MainFrame* frame, QWidget* owner)
    : QWidget(owner ? owner : frame,
              Qt::Tool | Qt::WindowCloseButtonHint | Qt::WindowDoesNotAcceptFocus),
      frame_(frame) {
    setObjectName(QStringLiteral("CBMTool"));
    setWindowTitle(QStringLiteral("CBM Charset"));
    // Clicking the tool must leave the focus (and the in-place edit) where it is.
    setAttribute(Qt::WA_ShowWithoutActivating);
    setFocusPolicy(Qt::NoFocus);
    setMouseTracking(true);
    setFixedSize(sizeHint());
    CbmCodeTargets::Instance().AddTool(this);
    connect(&CbmCodeTargets::Instance(), &CbmCodeTargets::targetChanged, this,
            qOverload<>(&QWidget::update));
}

QSize CbmTool::sizeHint() const {
    return {kColumns * kPitch + kGap, kRows * kPitch + kGap};
}

void CbmTool::SetFixedTarget(CbmCodeTarget* target) {
    fixed_ = target;
    update();
}

CbmCodeTarget* CbmTool::target() const {
    return fixed_ ? fixed_ : CbmCodeTargets::Instance().target();
}

int CbmTool::CodeAt(const QPoint& point) {
    if (point.x() < 0 || point.y() < 0) return -1;
    const int column = point.x() / kPitch, row = point.y() / kPitch;
    if (column >= kColumns || row >= kRows) return -1;
    return column + kColumns * row;
}

QRect CbmTool::CellRect(int code) {
    return {(code % kColumns) * kPitch, (code / kColumns) * kPitch, kPitch + kGap, kPitch + kGap};
}

const CaseTable& CbmTool::caseTable() const {
    const ViewWindow* view = frame_ ? frame_->activeView() : nullptr;
    return !view || view->ShowsUpperCase() ? kUpperCaseSet : kLowerCaseSet;
}

QImage CbmTool::Render() const {
    const ColourScheme colours = ToolColours(frame_);
    const bool live = target() != nullptr;
    const QSize size = sizeHint();
    Picture picture(size.width(), size.height(), colours.face);
    CbmTextStyle style;
    style.caseTable = &caseTable();
    style.cellSize = kLargeCellSize;
    style.background = colours.face;
    for (int code = 0; code < kCodes; ++code) {
        const QRect cell = CellRect(code);
        style.text = live ? colours.faceText : colours.grayText;
        bool reverse = false;
        if (live && code == pressed_ && code == hover_) {
            // Pressed: the cell filled, the glyph in reverse one pixel down and right.
            FillRect(picture, cell, colours.selection);
            style.text = colours.selection;
            reverse = true;
            DrawCbmChar(picture, cell.x() + kGap + 1, cell.y() + kGap + 1,
                        static_cast<uint8_t>(code), reverse, style);
            continue;
        }
        if (live && code == hover_) {
            FillRect(picture, cell, colours.selection);
            FillRect(picture, cell.adjusted(kGap, kGap, -kGap, -kGap), colours.face);
            style.text = colours.selection;
        }
        DrawCbmChar(picture, cell.x() + kGap, cell.y() + kGap, static_cast<uint8_t>(code), reverse,
                    style);
    }
    return ToQImage(picture);
}

void CbmTool::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.drawImage(0, 0, Render());
}

void CbmTool::mouseMoveEvent(QMouseEvent* event) {
    const int code = CodeAt(event->position().toPoint());
    if (code != hover_) {
        hover_ = code;
        update();
    }
}

void CbmTool::mousePressEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) return;
    hover_ = pressed_ = CodeAt(event->position().toPoint());
    update();
}

void CbmTool::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) return;
    const int code = CodeAt(event->position().toPoint());
    const int pressed = pressed_;
    pressed_ = -1;
    update();
    if (code < 0 || code != pressed) return;
    if (CbmCodeTarget* to = target()) to->TypeCbmCode(static_cast<uint8_t>(code));
}

void CbmTool::leaveEvent(QEvent*) {
    hover_ = -1;
    update();
}

void CbmTool::showEvent(QShowEvent*) {
    emit visibilityChanged(true);
}

void CbmTool::hideEvent(QHideEvent*) {
    emit visibilityChanged(false);
}

} // namespace tessarind
