#pragma once
// The pictures of the toolbar buttons and the program's icon, drawn here in code: a normal
// and a hot (pointed at) image for each button.

#include <QIcon>

#include "ui/CommandIds.h"

namespace tessarind {

class ToolbarIcons {
public:
    static constexpr int kSize = 32;

    static QIcon ForCommand(CommandId id);
    static QIcon ProgramIcon();
};

} // namespace tessarind
