// Helpers that render lines and read the frame image's picture back: as colour digits, or as
// the emulator's own text against the character ROM's glyphs.
#pragma once

#include <cstdint>
#include <string>

namespace quillon::test {

// Renders raster line `rasterLine` on its own, as RasterLineStep does when the line ends.
void RenderLine(int rasterLine);

// Picture row `row`, columns `first` to `first + count - 1`, one hex digit per pixel.
std::string PictureRowHex(int row, int first, int count);

// One hex digit per pixel of a hires pattern byte: `set` for 1 bits, `clear` for 0 bits.
std::string HiresHex(std::uint8_t pattern, std::uint8_t set, std::uint8_t clear);

// True when text cell (column, row) shows glyph `code` exactly: foreground where the glyph's
// bits are set, background everywhere else.
bool CellShowsGlyph(int column, int row, int code, std::uint8_t foreground,
                    std::uint8_t background);

// Text row `row` of the picture read as characters: a cell that shows one of the glyphs 0-63
// in any colour on black reads as that screen code's character, any other cell as '~'.
std::string PictureRowText(int row);

}  // namespace quillon::test
