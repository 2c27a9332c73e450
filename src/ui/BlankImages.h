#pragma once
// Blank containers for the New menu, by format-registry id.

#include <memory>

#include "model/DiskImage.h"

namespace tessarind {

class BlankImages {
public:
    // A new, untitled, empty container of the kind; none when that kind cannot be made yet.
    static std::unique_ptr<DiskImage> Create(int formatId, Interaction* owner, Settings* settings);
    static bool CanCreate(int formatId);
};

} // namespace tessarind
