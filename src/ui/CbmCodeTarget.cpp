#include "ui/CbmCodeTarget.h"

#include <QApplication>
#include <QWidget>
#include <algorithm>

namespace tessarind {

CbmCodeTargets& CbmCodeTargets::Instance() {
    static CbmCodeTargets* targets = new CbmCodeTargets; // lives as long as the process
    return *targets;
}

void CbmCodeTargets::SetTarget(CbmCodeTarget* target, QObject* owner) {
    if (target == target_ && owner == owner_) return;
    if (owner_) disconnect(owner_, nullptr, this, nullptr);
    target_ = owner ? target : nullptr;
    owner_ = owner;
    // The owner may go without losing the focus first (a dialog closing).
    if (owner) connect(owner, &QObject::destroyed, this, [this] { emit targetChanged(); });
    emit targetChanged();
}

void CbmCodeTargets::FocusLost(CbmCodeTarget* target, bool toOtherWindow) {
    if (target != this->target()) return;
    if (toOtherWindow && IsTool(QApplication::activeWindow())) return;
    if (IsTool(QApplication::focusWidget())) return;
    SetTarget(nullptr, nullptr);
}

void CbmCodeTargets::Clear(CbmCodeTarget* target) {
    if (target == target_) SetTarget(nullptr, nullptr);
}

void CbmCodeTargets::AddTool(QWidget* tool) {
    std::erase_if(tools_, [](const QPointer<QWidget>& t) { return t.isNull(); });
    tools_.emplace_back(tool);
}

bool CbmCodeTargets::IsTool(const QWidget* widget) const {
    if (!widget) return false;
    const QWidget* window = widget->window();
    return std::any_of(tools_.begin(), tools_.end(),
                       [&](const QPointer<QWidget>& t) { return t && t->window() == window; });
}

} // namespace tessarind
