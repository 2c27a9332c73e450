#pragma once
// C64 ARC archives (and self-dissolving ones, an ARC behind a BASIC stub): every member is
// unpacked into the target image in archive order.

#include <cstdint>
#include <span>

namespace tessarind {

class DiskImage;
class Interaction;

// Stored, run-length packed, squeezed and crunched members and their combinations. True when
// at least one member was written; a damaged header ends the walk with what was unpacked.
bool UnpackArc(DiskImage& target, std::span<const uint8_t> archive, bool interactive,
               Interaction* ui);

// Skips the self-dissolving stub, whose BASIC line number tells how many blocks it takes,
// then reads the ARC behind it.
bool UnpackSda(DiskImage& target, std::span<const uint8_t> archive, bool interactive,
               Interaction* ui);

} // namespace tessarind
