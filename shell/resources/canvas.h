// Drawing with the palette's colours and the character ROM's glyphs into 0x00RRGGBB pixels,
// top row first: the pictures the program carries are made this way.
#pragma once

#include <cstdint>

namespace quillon {

struct Canvas {
  std::uint32_t* Pixels;
  int Width;

  // A rectangle in colour `colour` (0-15).
  void Fill(int left, int top, int width, int height, std::uint8_t colour);
  // Glyph `code` of the character ROM, each glyph pixel a `scale` x `scale` square, its set
  // bits in `colour`; the clear ones are left as they are.
  void Glyph(std::uint8_t code, int left, int top, int scale, std::uint8_t colour);
};

inline constexpr int GlyphSize = 8;

}  // namespace quillon
