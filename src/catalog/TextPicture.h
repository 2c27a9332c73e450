#pragma once
// Laid-out CBM text as pixels: each cell of a text screen drawn in the CBM font with its own
// colour, reverse video and selection, as the text view paints it.

#include "catalog/DirectoryPicture.h"
#include "text/PetsciiLayout.h"

namespace tessarind {

// A picture of screen.width by screen.rows cells. The style gives the case set, the cell size,
// the background and the selection colour; each cell brings its own text colour. Selected
// cells are drawn in the background colour on the selection colour.
Picture RenderTextScreen(const TextScreen& screen, const CbmTextStyle& style);

} // namespace tessarind
