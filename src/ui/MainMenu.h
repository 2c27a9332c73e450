#pragma once
// The frame's main menu: "&Disk", "&File", "&Edit", "&View", "&Windows" and, at the right,
// "&Help". Every item is the shared action of its command id.

#include <QString>
#include <map>

#include "ui/CommandIds.h"

class QAction;
class QMainWindow;
class QMenu;
class QMenuBar;

namespace tessarind {

class CommandActions;
class Settings;

class MainMenu {
public:
    MainMenu(QMainWindow& frame, CommandActions& actions);

    QMenu* diskMenu() const { return disk_; }
    QMenu* windowsMenu() const { return windows_; }
    QMenu* helpMenu() const { return help_; }
    // The separator above "E&xit"; recently used files go above it.
    QAction* exitSeparator() const { return exitSeparator_; }

    // The Run In items: the entry's name (a blank when empty), a tab, "CTRL+" and the number.
    void SetRunInTexts(const Settings& settings);
    static QString RunInText(const Settings& settings, int entry);

    // Gives an item back the text it was built with (the Run In items: the text they were
    // given last) and takes its check away, so nothing of a closed container stays on it.
    void ResetItem(CommandId id);

private:
    QMenu* disk_ = nullptr;
    QMenu* windows_ = nullptr;
    QMenu* help_ = nullptr;
    QAction* exitSeparator_ = nullptr;
    CommandActions& actions_;
    std::map<int, QString> builtTexts_;
};

} // namespace tessarind
