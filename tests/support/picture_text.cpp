#include "support/picture_text.h"

#include "core/rom_images.h"
#include "vic/frame_image.h"

namespace quillon::test {

namespace {

std::uint8_t CellInk(int column, int row) {
  std::uint8_t ink = 0;
  for (int k = 0; k < 8; ++k) {
    for (int x = 0; x < 8; ++x) {
      const std::uint8_t pixel = FrameImage.Picture[(row * 8 + k) * PictureWidth + column * 8 + x];
      if (pixel != 0) ink = pixel;
    }
  }
  return ink;
}

}  // namespace

bool CellShowsGlyph(int column, int row, int code, std::uint8_t foreground,
                    std::uint8_t background) {
  for (int k = 0; k < 8; ++k) {
    const std::uint8_t bits = RomImages.Chargen[code * 8 + k];
    for (int x = 0; x < 8; ++x) {
      const std::uint8_t pixel = FrameImage.Picture[(row * 8 + k) * PictureWidth + column * 8 + x];
      if (pixel != ((bits & (0x80 >> x)) ? foreground : background)) return false;
    }
  }
  return true;
}

std::string PictureRowText(int row) {
  std::string text;
  for (int column = 0; column < 40; ++column) {
    const std::uint8_t ink = CellInk(column, row);
    // An all-black cell is the blank, whatever its foreground colour was.
    char shown = ink == 0 ? ' ' : '~';
    for (int code = 0; code < 64 && shown == '~'; ++code) {
      if (CellShowsGlyph(column, row, code, ink, 0)) {
        // Screen codes 0-31 are "@", the letters and "[\]^_"; 32-63 match ASCII.
        shown = static_cast<char>(code < 32 ? code + 0x40 : code);
      }
    }
    text += shown;
  }
  return text;
}

}  // namespace quillon::test
