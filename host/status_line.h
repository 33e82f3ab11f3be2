// The emulator's own text over the picture, drawn with the character ROM's glyphs.
#pragma once

#include <cstdint>

namespace quillon {

void DrawStatusLine(std::int32_t speedPercent, std::int32_t frameSkip);
void DrawRasterMarker(std::uint16_t rasterCompare);

}  // namespace quillon
