#pragma once
// The recently used files at the foot of the "&Disk" menu, refreshed each time the menu opens.

#include <QList>
#include <QString>
#include <functional>
#include <string>

#include "ui/CommandIds.h"

class QAction;
class QMenu;

namespace tessarind {

class Settings;

class RecentFileMenu {
public:
    // Items go above `before` (the separator over "E&xit"); a triggered item routes its id.
    RecentFileMenu(QMenu& menu, QAction* before, std::function<void(CommandId)> route);

    // Replaces the items by the filled FileMRU slots; does nothing while slot 0 is empty.
    void Refresh(const Settings& settings);
    const QList<QAction*>& items() const { return items_; }

    // A path as the menu shows it: whole below 50 characters, otherwise at most 50 with
    // "..." where it was cut, keeping the file name when it fits.
    static std::string Shorten(const std::string& path);
    // "&%d %s": the slot number counted from 1 and the shortened path.
    static QString ItemText(int slot, const std::string& path);

private:
    QMenu& menu_;
    QAction* before_;
    QAction* separator_ = nullptr;
    QList<QAction*> items_;
    std::function<void(CommandId)> route_;
};

} // namespace tessarind
