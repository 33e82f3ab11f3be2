#include "resources/icon_picture.h"

#include <algorithm>

#include "resources/canvas.h"

namespace quillon {
namespace {

constexpr std::uint8_t Blue = 6;
constexpr std::uint8_t LightBlue = 14;
constexpr std::uint8_t White = 1;
constexpr std::uint8_t LetterQ = 17;  // screen code

}  // namespace

void DrawIconPicture(std::uint32_t* pixels, int size) {
  Canvas canvas{pixels, size};
  // The border a sixteenth of the size, the letter as large as whole glyph pixels allow inside.
  const int border = std::max(1, size / 16);
  const int scale = std::max(1, (size - 2 * border) / GlyphSize);
  const int offset = (size - GlyphSize * scale) / 2;
  canvas.Fill(0, 0, size, size, LightBlue);
  canvas.Fill(border, border, size - 2 * border, size - 2 * border, Blue);
  canvas.Glyph(LetterQ, offset, offset, scale, White);
}

}  // namespace quillon
