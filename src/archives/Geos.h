#pragma once
// GEOS files as archives: a Convert file opened on its own, and Wraptor archives, whose
// files, GEOS or plain, are packed with a dictionary coder.

#include <cstdint>
#include <span>

namespace tessarind {

class DiskImage;
class Interaction;

// Writes the GEOS file of a Convert file into `target`, listed after its entries.
bool UnpackConvert(DiskImage& target, std::span<const uint8_t> archive, bool interactive,
                   Interaction* ui);

// Writes every file of a Wraptor archive into `target`, listed after its entries. False,
// after "Error decompressing" (interactive only) for a wrong signature or a stream that does
// not decode, or quietly for a file too short for its kind or a disk without room; the files
// before stay in the image.
bool UnpackWraptor(DiskImage& target, std::span<const uint8_t> archive, bool interactive,
                   Interaction* ui);

} // namespace tessarind
