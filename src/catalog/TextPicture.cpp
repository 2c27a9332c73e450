#include "catalog/TextPicture.h"

namespace tessarind {

Picture RenderTextScreen(const TextScreen& screen, const CbmTextStyle& style) {
    const int cell = style.cellSize > 0 ? style.cellSize : kNormalCellSize;
    Picture picture(screen.width * cell, screen.rows * cell, style.background);
    for (int row = 0; row < screen.rows; ++row) {
        for (int column = 0; column < screen.width; ++column) {
            const TextCell& drawn = screen.At(row, column);
            if (drawn.position == kNoPosition) continue;
            CbmTextStyle cellStyle = style;
            cellStyle.text = drawn.foreground;
            if (drawn.selected) {
                cellStyle.text = style.background;
                cellStyle.background = style.selection;
            }
            DrawCbmChar(picture, column * cell, row * cell, drawn.code, drawn.reverse, cellStyle);
        }
    }
    return picture;
}

} // namespace tessarind
