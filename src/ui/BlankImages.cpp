#include "ui/BlankImages.h"

#include "model/ImageOpener.h"

namespace tessarind {

bool BlankImages::CanCreate(int formatId) {
    return MakeDiskImage(formatId, nullptr) != nullptr;
}

std::unique_ptr<DiskImage> BlankImages::Create(int formatId, Interaction* owner,
                                               Settings* settings) {
    std::unique_ptr<DiskImage> image = MakeDiskImage(formatId, settings);
    if (!image || !image->Open(owner, std::string(), false, true)) return nullptr;
    return image;
}

} // namespace tessarind
