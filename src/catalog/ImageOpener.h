#pragma once
// Opens whatever a path or a buffer holds as a container: the kind is found by the file's
// extension (or, for data in memory, by a given format id) and built by that kind's factory.

#include <cstdint>
#include <memory>
#include <span>
#include <string>

#include "model/DiskImage.h"

namespace tessarind {

class FormatCatalog;

// An empty object of an image kind of the built-in catalog by format id; none for other
// kinds. Open it with create set to make a blank disk.
std::unique_ptr<DiskImage> MakeDiskImage(int formatId, Settings* settings);

// Opens `hostPath`, or `data` when it is not empty (then `formatId`, when not 0, names the
// kind should the path's extension not). With reportErrors, failures are shown through
// `owner` and the opened path joins the recent files of `settings`. None on failure.
std::unique_ptr<DiskImage> OpenContainer(Interaction* owner, const std::string& hostPath,
                                         std::span<const uint8_t> data, int formatId,
                                         DiskImage* parent, bool reportErrors, Settings* settings);

// The same with a catalog of one's own (a kind added to the built-in ones).
std::unique_ptr<DiskImage> OpenContainer(const FormatCatalog& catalog, Interaction* owner,
                                         const std::string& hostPath,
                                         std::span<const uint8_t> data, int formatId,
                                         DiskImage* parent, bool reportErrors, Settings* settings);

} // namespace tessarind
