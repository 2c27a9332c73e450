#include "ui/CbmImage.h"

namespace tessarind {

QImage ToQImage(const Picture& picture) {
    if (picture.width <= 0 || picture.height <= 0) return {};
    QImage image(picture.width, picture.height, QImage::Format_RGB32);
    for (int y = 0; y < picture.height; ++y) {
        auto* line = reinterpret_cast<uint32_t*>(image.scanLine(y));
        const uint32_t* source =
            picture.pixels.data() + static_cast<size_t>(y) * static_cast<size_t>(picture.width);
        for (int x = 0; x < picture.width; ++x)
            line[x] = 0xFF000000u | source[x];
    }
    return image;
}

QImage CbmTextImage(std::span<const uint8_t> bytes, const CbmTextStyle& style) {
    const int cell = style.cellSize;
    Picture picture(static_cast<int>(bytes.size()) * cell, cell, style.background);
    for (size_t i = 0; i < bytes.size(); ++i)
        DrawCbmChar(picture, static_cast<int>(i) * cell, 0, bytes[i], false, style);
    return ToQImage(picture);
}

} // namespace tessarind
