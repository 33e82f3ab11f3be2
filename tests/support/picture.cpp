#include "support/picture.h"

#include "core/rom_images.h"
#include "vic/frame_image.h"
#include "vic/render.h"
#include "vic/vic.h"

namespace quillon::test {

namespace {
char HexDigit(unsigned value) { return "0123456789ABCDEF"[value & 0x0F]; }
}  // namespace

void RenderLine(int rasterLine) {
  Vic.RasterLine = static_cast<std::uint16_t>(rasterLine);
  RenderRasterLine();
}

std::string PictureRowHex(int row, int first, int count) {
  std::string text;
  for (int column = first; column < first + count; ++column) {
    const std::uint8_t pixel = FrameImage.Picture[row * PictureWidth + column];
    text += pixel < 16 ? HexDigit(pixel) : '?';
  }
  return text;
}

std::string HiresHex(std::uint8_t pattern, std::uint8_t set, std::uint8_t clear) {
  std::string text;
  for (int bit = 7; bit >= 0; --bit) text += HexDigit((pattern >> bit) & 1 ? set : clear);
  return text;
}

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
