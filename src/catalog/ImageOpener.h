#pragma once
// Opens whatever a path or a buffer holds as a container: the kind is found by the file's
// extension (or, for data in memory, by a given format id) and built by that kind's factory.
// A ".gz" file opens as the kind its name names without ".gz"; a zip archive opens the one
// container it holds, and "archive.zip/member" opens that member (saved only beside it).

#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <vector>

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

// The containers a zip archive holds, as "archive.zip/member" paths that OpenContainer opens:
// every member whose extension names a kind the catalog opens, in archive order. False with
// the reason when the archive cannot be read.
bool ZipContainerPaths(const FormatCatalog& catalog, const std::string& zipPath,
                       std::vector<std::string>& paths, std::string& reason);
bool ZipContainerPaths(const std::string& zipPath, std::vector<std::string>& paths,
                       std::string& reason);
// What a walk over host files opens for one file: the containers of a zip archive (none when
// it cannot be read), the file itself otherwise.
std::vector<std::string> ContainersOfHostFile(const std::string& path);

} // namespace tessarind
