#include "model/BasicListing.h"

#include "model/DiskImage.h"
#include "text/BasicDetokenizer.h"

namespace tessarind {

std::optional<std::vector<uint8_t>> Detokenize(DiskImage& image, int index) {
    DirEntry entry = image.EntryAt(index);
    if (!entry || entry.typeCode() == kDel || entry.typeCode() == kCbm) return std::nullopt;
    std::optional<std::vector<uint8_t>> data = image.ReadFileData(index);
    if (!data) return std::nullopt;
    return DetokenizeProgram(*data, image.settings().On(SettingId::UseBasText));
}

} // namespace tessarind
