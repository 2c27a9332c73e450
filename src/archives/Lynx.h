#pragma once
// Lynx archives: a C64 program whose BASIC stub is followed by a PETSCII text directory and
// the members' data in 254-byte blocks.

#include <cstdint>
#include <span>

namespace tessarind {

class DiskImage;
class Interaction;

// Writes every member of the archive into `target`, listed from its current end in archive
// order. False when the directory cannot be read or a member could not be written whole;
// the members that could be written stay in the image either way.
bool UnpackLynx(DiskImage& target, std::span<const uint8_t> archive, bool interactive,
                Interaction* ui);

} // namespace tessarind
