#pragma once
// The CBM character tool ("CBM Charset"): codes 0 to 191 in a 16 x 12 grid in the large CBM
// font, drawn through the active view's case table. A click (press and release on one cell)
// types the code into the current target: a focused CbmEdit or the sector editor's character
// column. Without a target the grid is grey and clicks do nothing.

#include <QImage>
#include <QWidget>
#include <cstdint>

#include "text/CbmCharset.h"

namespace tessarind {

class CbmCodeTarget;
class MainFrame;

class CbmTool : public QWidget {
    Q_OBJECT
public:
    static constexpr int kColumns = 16;
    static constexpr int kRows = 12;
    static constexpr int kCodes = kColumns * kRows;
    static constexpr int kGap = 2; // the glyph's offset in its cell, and the hover frame's width
    static constexpr int kPitch = kLargeCellSize + kGap;

    // A tool window of `frame` (or of `owner` when given: a dialog's own tool).
    explicit CbmTool(MainFrame* frame, QWidget* owner = nullptr);

    // A tool that types into `target` alone, whatever has the focus.
    void SetFixedTarget(CbmCodeTarget* target);
    CbmCodeTarget* target() const;

    // The code of the cell under a point; -1 outside the grid.
    static int CodeAt(const QPoint& point);
    // The cell of a code: the glyph at (kGap, kGap) inside it.
    static QRect CellRect(int code);

    int hoverCode() const { return hover_; }
    int pressedCode() const { return pressed_; }
    // The grid as it is painted now.
    QImage Render() const;

    QSize sizeHint() const override;

signals:
    // Shown or hidden (closing hides it).
    void visibilityChanged(bool visible);

protected:
    void paintEvent(QPaintEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void leaveEvent(QEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    const CaseTable& caseTable() const;

    MainFrame* frame_;
    CbmCodeTarget* fixed_ = nullptr;
    int hover_ = -1;
    int pressed_ = -1;
};

} // namespace tessarind
