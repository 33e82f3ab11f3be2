#include "support/picture.h"

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

std::uint8_t PicturePixel(int row, int column) {
  return FrameImage.Picture[row * PictureWidth + column];
}

std::string PictureRowHex(int row, int first, int count) {
  std::string text;
  for (int column = first; column < first + count; ++column) {
    const std::uint8_t pixel = PicturePixel(row, column);
    text += pixel < 16 ? HexDigit(pixel) : '?';
  }
  return text;
}

std::string HiresHex(std::uint8_t pattern, std::uint8_t set, std::uint8_t clear) {
  std::string text;
  for (int bit = 7; bit >= 0; --bit) text += HexDigit((pattern >> bit) & 1 ? set : clear);
  return text;
}

}  // namespace quillon::test
