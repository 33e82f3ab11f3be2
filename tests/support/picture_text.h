// Reading the emulator's own text back out of the frame image's picture, cell by cell, against
// the character ROM's glyphs.
#pragma once

#include <cstdint>
#include <string>

namespace quillon::test {

// True when text cell (column, row) shows glyph `code` exactly: foreground where the glyph's
// bits are set, background everywhere else.
bool CellShowsGlyph(int column, int row, int code, std::uint8_t foreground,
                    std::uint8_t background);

// Text row `row` of the picture read as characters: a cell that shows one of the glyphs 0-63
// in any colour on black reads as that screen code's character, any other cell as '~'.
std::string PictureRowText(int row);

}  // namespace quillon::test
