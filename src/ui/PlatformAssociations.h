#pragma once
// The file associations of the system the program runs on: the class registry on Windows,
// the XDG desktop files elsewhere. Both offer kinds(), CurrentProgram, IsOurs, AssociateAll
// and Apply.

#ifdef _WIN32
#include "ui/WindowsAssociations.h"
namespace tessarind {
using PlatformAssociations = WindowsAssociations;
}
#else
#include "catalog/DesktopAssociations.h"
namespace tessarind {
using PlatformAssociations = DesktopAssociations;
}
#endif
