#pragma once
// Core pictures on the screen, and CBM text as a small image for lists and labels.

#include <QImage>
#include <cstdint>
#include <span>

#include "catalog/DirectoryPicture.h"

namespace tessarind {

// The picture as an opaque 32-bit image of the same size.
QImage ToQImage(const Picture& picture);

// PETSCII bytes drawn one cell each, as the views draw them.
QImage CbmTextImage(std::span<const uint8_t> bytes, const CbmTextStyle& style);

} // namespace tessarind
