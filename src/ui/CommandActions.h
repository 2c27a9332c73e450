#pragma once
// One QAction per command id, shared by the menu, the toolbar and the accelerators, so that
// enabling or checking a command updates every place it appears. Triggering routes the id.

#include <QObject>
#include <QString>
#include <functional>
#include <map>

#include "model/DiskImage.h"
#include "ui/CommandIds.h"

class QAction;

namespace tessarind {

class CommandActions : public QObject, public CommandStates {
    Q_OBJECT
public:
    CommandActions(QObject* parent, std::function<void(CommandId)> route);

    // The action of a command, made on first use. A checkable action changes its check
    // state only when told to, never by being triggered.
    QAction* Get(CommandId id);
    QAction* Find(CommandId id) const;
    QAction* Add(CommandId id, const QString& text, bool checkable = false);

    void Enable(int commandId, bool on) override;
    void Check(int commandId, bool on) override;
    void Enable(CommandId id, bool on) { Enable(cmd::Number(id), on); }
    void Check(CommandId id, bool on) { Check(cmd::Number(id), on); }
    bool IsEnabled(CommandId id) const;
    bool IsChecked(CommandId id) const;

private:
    std::map<int, QAction*> actions_;
    std::function<void(CommandId)> route_;
};

} // namespace tessarind
