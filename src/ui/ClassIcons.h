#pragma once
// The icons of the four association classes, drawn for this program: a 5.25" disk for most
// kinds, a 3.5" disk for the kinds with partitions, a page of text, a tape cassette.

#include <QImage>

namespace tessarind {

inline constexpr int kClassIconCount = 4;

// The icon of a view class (0 to 3) at size × size pixels on a transparent ground.
QImage DrawClassIcon(int viewClass, int size);

} // namespace tessarind
