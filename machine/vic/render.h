// Text and bitmap graphics of one raster line, rendered as the line ends.
#pragma once

namespace quillon {

// Records the border colour of the ending raster line and renders it inside the display window.
void RenderRasterLine();

}  // namespace quillon
