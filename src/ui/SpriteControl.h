#pragma once
// The GEOS icon of the File Property window: 24 x 21 pixels, 3 bytes a row with the most
// significant bit leftmost, every pixel doubled to 48 x 42. Set pixels are drawn in the
// button text colour on the button face; without an icon the control is blank.

#include <QWidget>
#include <array>
#include <cstdint>
#include <optional>
#include <span>

namespace tessarind {

class SpriteControl : public QWidget {
    Q_OBJECT
public:
    static constexpr int kIconWidth = 24;
    static constexpr int kIconHeight = 21;
    static constexpr int kIconBytes = kIconWidth / 8 * kIconHeight;
    static constexpr int kScale = 2;

    explicit SpriteControl(QWidget* parent = nullptr);

    // Shows the icon of 63 bytes; anything shorter leaves the control blank.
    void SetIcon(std::span<const uint8_t> bytes);
    void Clear();
    bool blank() const { return !icon_; }
    // Whether pixel (x, y) of the 24 x 21 icon is set.
    bool IconPixel(int x, int y) const;

    QSize sizeHint() const override { return {kIconWidth * kScale, kIconHeight * kScale}; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    std::optional<std::array<uint8_t, kIconBytes>> icon_;
};

} // namespace tessarind
