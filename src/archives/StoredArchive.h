#pragma once
// Archives kept as files inside an open image: a Zipcode part rebuilds its set from the
// image's files, any other archive unpacks into an image of its own.

#include <memory>

namespace tessarind {

class DiskImage;
class Interaction;
class Settings;

// Opens what entry `index` holds as a new, unsaved image: the Zipcode set of a part named
// "1!" to "5!" (its other parts found by name in the same directory), or the archive its
// name's extension marks. None when the name marks neither or nothing could be read.
std::unique_ptr<DiskImage> OpenStoredArchive(DiskImage& image, int index, Interaction* owner,
                                             Settings* settings);

} // namespace tessarind
