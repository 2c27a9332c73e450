#include "ui/CommandActions.h"

#include <QAction>

namespace tessarind {

CommandActions::CommandActions(QObject* parent, std::function<void(CommandId)> route)
    : QObject(parent), route_(std::move(route)) {}

QAction* CommandActions::Find(CommandId id) const {
    auto found = actions_.find(cmd::Number(id));
    return found == actions_.end() ? nullptr : found->second;
}

QAction* CommandActions::Get(CommandId id) {
    if (QAction* action = Find(id)) return action;
    auto* action = new QAction(this);
    action->setData(cmd::Number(id));
    connect(action, &QAction::triggered, this, [this, action, id](bool checked) {
        // Qt flips a checkable action before telling us; the command decides its state.
        if (action->isCheckable()) action->setChecked(!checked);
        route_(id);
    });
    actions_[cmd::Number(id)] = action;
    return action;
}

QAction* CommandActions::Add(CommandId id, const QString& text, bool checkable) {
    QAction* action = Get(id);
    action->setText(text);
    if (checkable) action->setCheckable(true);
    return action;
}

void CommandActions::Enable(int commandId, bool on) {
    Get(cmd::Id(commandId))->setEnabled(on);
}

void CommandActions::Check(int commandId, bool on) {
    QAction* action = Get(cmd::Id(commandId));
    action->setCheckable(true);
    action->setChecked(on);
}

bool CommandActions::IsEnabled(CommandId id) const {
    QAction* action = Find(id);
    return action && action->isEnabled();
}

bool CommandActions::IsChecked(CommandId id) const {
    QAction* action = Find(id);
    return action && action->isChecked();
}

} // namespace tessarind
