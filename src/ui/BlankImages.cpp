#include "ui/BlankImages.h"

#include "catalog/FormatCatalog.h"

namespace tessarind {

bool BlankImages::CanCreate(int formatId) {
    return FormatCatalog::Builtin().MakesBlank(formatId);
}

std::unique_ptr<DiskImage> BlankImages::Create(int formatId, Interaction* owner,
                                               Settings* settings) {
    if (!CanCreate(formatId)) return nullptr;
    std::unique_ptr<DiskImage> image = FormatCatalog::Builtin().Make(formatId, settings);
    if (!image || !image->Open(owner, std::string(), false, true)) return nullptr;
    return image;
}

} // namespace tessarind
