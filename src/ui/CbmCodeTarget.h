#pragma once
// Whatever the CBM tool types into: a focused CbmEdit, or the sector editor while its
// character column is active. The program has one target at a time; the tools redraw when
// it changes and draw in grey while there is none. A CbmEdit registers itself when it gains
// the focus; a view such as the sector editor calls SetTarget(this, this) when its character
// column becomes active and Clear(this) when it stops being so.

#include <QObject>
#include <QPointer>
#include <cstdint>
#include <vector>

class QWidget;

namespace tessarind {

class CbmCodeTarget {
public:
    virtual ~CbmCodeTarget() = default;
    // A code clicked in the CBM tool, taken as it is (no conversion).
    virtual void TypeCbmCode(uint8_t code) = 0;
};

class CbmCodeTargets : public QObject {
    Q_OBJECT
public:
    static CbmCodeTargets& Instance();

    // The current target; null when there is none or its widget has gone.
    CbmCodeTarget* target() const { return owner_ ? target_ : nullptr; }
    // `owner` is the widget of the target; the target ends with it.
    void SetTarget(CbmCodeTarget* target, QObject* owner);
    // The target lost the focus: it stays the target only when the focus went to a tool.
    void FocusLost(CbmCodeTarget* target, bool toOtherWindow);
    void Clear(CbmCodeTarget* target);

    // The tool windows: focus moving into one of them keeps the target.
    void AddTool(QWidget* tool);
    bool IsTool(const QWidget* widget) const;

signals:
    void targetChanged();

private:
    CbmCodeTargets() = default;
    CbmCodeTarget* target_ = nullptr;
    QPointer<QObject> owner_;
    std::vector<QPointer<QWidget>> tools_;
};

} // namespace tessarind
