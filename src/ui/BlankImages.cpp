#include "ui/BlankImages.h"

#include <array>

#include "formats/D64Image.h"
#include "formats/D71Image.h"
#include "formats/D80Image.h"
#include "formats/D81Image.h"

namespace tessarind {

namespace {

using Maker = std::unique_ptr<DiskImage> (*)(Settings*);

template <class Image> std::unique_ptr<DiskImage> Make(Settings* settings) {
    return std::make_unique<Image>(settings);
}

struct MakerRow {
    int formatId;
    Maker make;
};

constexpr std::array<MakerRow, 5> kMakers = {{
    {1, Make<D64Image>},
    {2, Make<D71Image>},
    {3, Make<D81Image>},
    {16, Make<D80Image>},
    {17, Make<D82Image>},
}};

Maker MakerFor(int formatId) {
    for (const MakerRow& row : kMakers)
        if (row.formatId == formatId) return row.make;
    return nullptr;
}

} // namespace

bool BlankImages::CanCreate(int formatId) {
    return MakerFor(formatId) != nullptr;
}

std::unique_ptr<DiskImage> BlankImages::Create(int formatId, Interaction* owner,
                                               Settings* settings) {
    Maker make = MakerFor(formatId);
    if (!make) return nullptr;
    std::unique_ptr<DiskImage> image = make(settings);
    if (!image->Open(owner, std::string(), false, true)) return nullptr;
    return image;
}

} // namespace tessarind
