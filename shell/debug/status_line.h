// The emulator's own text over the picture, drawn with the character ROM's glyphs on the 40 x 25
// grid of 8 x 8 cells of the C64's text screen.
#pragma once

#include <cstdint>

namespace quillon {

inline constexpr int TextColumns = 40;
inline constexpr int TextRows = 25;
inline constexpr std::int32_t TextWhite = 1;
inline constexpr std::int32_t TextYellow = 7;
inline constexpr std::int32_t TextBlack = 0;

// Draws glyph `code` (0-255, the upper-case and graphics set) into text cell (column, row) of
// the frame image's picture; every pixel of the cell is written. Cells off the grid are skipped.
void DrawGlyph(std::int32_t code, std::int32_t column, std::int32_t row, std::int32_t foreground,
               std::int32_t background);
// Draws `text` from (column, row) onwards, each character as the glyph of its low six bits,
// which is its screen code for letters, digits, the blank and the usual punctuation.
void DrawTextAt(const char* text, std::int32_t column, std::int32_t row,
                std::int32_t foreground, std::int32_t background);
// Draws `value` as two hex digits in screen codes (0-9, then the letters A-F).
void DrawHexByte(std::uint8_t value, std::int32_t column, std::int32_t row,
                 std::int32_t foreground, std::int32_t background);

// Frame skip, video standard and speed at the right end of the bottom text row.
void DrawStatusLine(std::int32_t speedPercent, std::int32_t frameSkip);
// The raster compare value as three digits at the bottom right corner.
void DrawRasterMarker(std::uint16_t rasterCompare);

}  // namespace quillon
