#pragma once
// Opening an archive: its members are unpacked into a new, unsaved disk image named after it.

#include <cstdint>
#include <memory>
#include <span>
#include <string>

namespace tessarind {

class DiskImage;
class Interaction;
class Settings;

// The reader of one archive kind: writes every member into `target`, true when all went well.
using ArchiveReader = bool (*)(DiskImage& target, std::span<const uint8_t> archive,
                               bool interactive, Interaction* ui);

// The reader of an archive kind by its format id; none for kinds that cannot be unpacked.
ArchiveReader ArchiveReaderFor(int kindId);

// The title an archive's image gets: the file-name part of `hostPath` without its last
// extension.
std::string ArchiveImageName(const std::string& hostPath);

// Unpacks `bytes`, an archive of the kind `kindId`, into a new 1541 image (a 1581 image for
// archives of a 1541 image's size or more, or when "Decompress To 81" is set). The image is
// untitled, named after `hostPath`, marked modified and has nothing to undo. None when the
// kind has no reader or the archive could not be read; a Lynx archive that breaks off still
// gives the members read before, after a message.
std::unique_ptr<DiskImage> UnpackArchive(std::span<const uint8_t> bytes,
                                         const std::string& hostPath, int kindId,
                                         Interaction* owner, bool interactive, Settings* settings);

} // namespace tessarind
