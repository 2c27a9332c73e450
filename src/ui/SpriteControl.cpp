#include "ui/SpriteControl.h"

#include <QPainter>
#include <algorithm>

namespace tessarind {

SpriteControl::SpriteControl(QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("SPRITE"));
    setFixedSize(sizeHint());
}

void SpriteControl::SetIcon(std::span<const uint8_t> bytes) {
    if (bytes.size() < static_cast<size_t>(kIconBytes)) {
        Clear();
        return;
    }
    icon_.emplace();
    std::copy_n(bytes.begin(), kIconBytes, icon_->begin());
    update();
}

void SpriteControl::Clear() {
    icon_.reset();
    update();
}

bool SpriteControl::IconPixel(int x, int y) const {
    if (!icon_ || x < 0 || y < 0 || x >= kIconWidth || y >= kIconHeight) return false;
    const uint8_t byte = (*icon_)[static_cast<size_t>(y * (kIconWidth / 8) + x / 8)];
    return (byte & (0x80 >> (x % 8))) != 0;
}

void SpriteControl::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.fillRect(rect(), palette().color(QPalette::Button));
    const QColor ink = palette().color(QPalette::ButtonText);
    for (int y = 0; y < kIconHeight; ++y)
        for (int x = 0; x < kIconWidth; ++x)
            if (IconPixel(x, y)) painter.fillRect(x * kScale, y * kScale, kScale, kScale, ink);
}

} // namespace tessarind
