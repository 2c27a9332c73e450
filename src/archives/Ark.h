#pragma once
// Arkive files: a directory of 29-byte records in whole blocks, then each member's blocks
// unpacked, REL members followed by their side sectors.

#include <cstdint>
#include <span>

namespace tessarind {

class DiskImage;
class Interaction;

// True when every member was written; a member running past the end fails the archive.
bool UnpackArk(DiskImage& target, std::span<const uint8_t> archive, bool interactive,
               Interaction* ui);

} // namespace tessarind
