// Helpers that set up the VIC-II and look at the frame image's picture.
#pragma once

#include <cstdint>
#include <string>

namespace quillon::test {

// Renders raster line `rasterLine` on its own, as RasterLineStep does when the line ends.
void RenderLine(int rasterLine);

// The colour number at column `column` of picture row `row`.
std::uint8_t PicturePixel(int row, int column);

// Picture row `row`, columns `first` to `first + count - 1`, one hex digit per pixel.
std::string PictureRowHex(int row, int first, int count);

// One hex digit per pixel of a hires pattern byte: `set` for 1 bits, `clear` for 0 bits.
std::string HiresHex(std::uint8_t pattern, std::uint8_t set, std::uint8_t clear);

}  // namespace quillon::test
