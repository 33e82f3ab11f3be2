#include "resources/canvas.h"

#include "core/rom_images.h"
#include "vic/frame_image.h"

namespace quillon {

void Canvas::Fill(int left, int top, int width, int height, std::uint8_t colour) {
  for (int y = top; y < top + height; ++y) {
    for (int x = left; x < left + width; ++x) Pixels[y * Width + x] = Palette[colour];
  }
}

void Canvas::Glyph(std::uint8_t code, int left, int top, int scale, std::uint8_t colour) {
  const std::uint8_t* glyph = RomImages.Chargen + code * GlyphSize;
  for (int row = 0; row < GlyphSize; ++row) {
    for (int bit = 0; bit < GlyphSize; ++bit) {
      if (glyph[row] & (0x80 >> bit)) {
        Fill(left + bit * scale, top + row * scale, scale, scale, colour);
      }
    }
  }
}

}  // namespace quillon
