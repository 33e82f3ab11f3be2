#include "support/picture_text.h"

#include "core/rom_images.h"
#include "vic/frame_image.h"

namespace quillon::test {

bool CellShowsGlyph(int column, int row, int code, std::uint8_t foreground,
                    std::uint8_t background) {
  for (int k = 0; k < 8; ++k) {
    for (int x = 0; x < 8; ++x) {
      const bool ink = RomImages.Chargen[code * 8 + k] & (0x80 >> x);
      if (FrameImage.Picture[(row * 8 + k) * PictureWidth + column * 8 + x] !=
          (ink ? foreground : background)) {
        return false;
      }
    }
  }
  return true;
}

std::string PictureRowText(int row) {
  std::string text;
  for (int column = 0; column < 40; ++column) {
    // The glyph's colour is that of any pixel that is not black; an all-black cell is a blank.
    std::uint8_t ink = 0;
    for (int k = 0; k < 64; ++k) {
      const std::uint8_t pixel = FrameImage.Picture[(row * 8 + k / 8) * PictureWidth +
                                                    column * 8 + k % 8];
      if (pixel != 0) ink = pixel;
    }
    char shown = ink == 0 ? ' ' : '~';
    for (int code = 0; code < 64 && shown == '~'; ++code) {
      // Screen codes 0-31 are "@", the letters and "[\]^_"; 32-63 match ASCII.
      if (CellShowsGlyph(column, row, code, ink, 0)) {
        shown = static_cast<char>(code < 32 ? code + 64 : code);
      }
    }
    text += shown;
  }
  return text;
}

}  // namespace quillon::test
