#include "vic/sprites.h"

#include "core/machine.h"
#include "vic/frame_image.h"
#include "vic/vic.h"

namespace quillon {
namespace {

constexpr int SpriteRows = 21;
constexpr int BytesPerSpriteRow = 3;
constexpr int SpriteCount = 8;

constexpr std::uint8_t RegXHighBits = 0x10;
constexpr std::uint8_t RegEnable = 0x15;
constexpr std::uint8_t RegExpandY = 0x17;
constexpr std::uint8_t RegMulticolor = 0x1C;
constexpr std::uint8_t RegExpandX = 0x1D;
constexpr std::uint8_t RegMulticolor0 = 0x25;
constexpr std::uint8_t RegMulticolor1 = 0x26;
constexpr std::uint8_t RegColor0 = 0x27;

// The sprite pointers are the last 8 bytes of the 1 KB video matrix.
constexpr unsigned SpritePointerOffset = 0x3F8;

// Where one sprite lands and how large its dots are.
struct SpritePlacement {
  std::uint8_t* Picture;
  int Left;
  int Top;
  int DotWidth;   // pixels per hires dot: 1, or 2 when expanded in X
  int DotHeight;  // 1, or 2 when expanded in Y
};

SpritePlacement PlaceSprite(std::uint8_t* picture, int expandX, int expandY, int xHigh, int x,
                            int y) {
  return {picture, x + (xHigh ? 256 : 0), y, expandX ? 2 : 1, expandY ? 2 : 1};
}

std::uint8_t SpriteByte(std::uint16_t dataAddress, int index) {
  return MainRam[(dataAddress + index) & 0xFFFF];
}

// Fills a dot of `width` x `height` pixels; each pixel is tested against the window on its
// own, so a sprite partly outside shows exactly its inside part and never wraps.
void FillDot(const SpritePlacement& place, int column, int row, int width, std::uint8_t color) {
  for (int r = row; r < row + place.DotHeight; ++r) {
    if (r < 0 || r >= PictureHeight) continue;
    std::uint8_t* line = place.Picture + r * PictureWidth;
    for (int c = column; c < column + width; ++c) {
      if (c >= 0 && c < PictureWidth) line[c] = color;
    }
  }
}

}  // namespace

void DrawHiresSprite(std::uint8_t color, std::uint16_t dataAddress, int expandX, int expandY,
                     int xHigh, int x, int y) {
  std::uint8_t* picture = FrameImage.Target;
  if (picture == nullptr) return;
  const SpritePlacement place = PlaceSprite(picture, expandX, expandY, xHigh, x, y);
  color &= 0x0F;
  for (int j = 0; j < SpriteRows; ++j) {
    const int row = place.Top + j * place.DotHeight;
    for (int b = 0; b < BytesPerSpriteRow; ++b) {
      const std::uint8_t data = SpriteByte(dataAddress, j * BytesPerSpriteRow + b);
      for (int k = 0; k < 8; ++k) {
        if (data & (0x80 >> k)) {
          FillDot(place, place.Left + (8 * b + k) * place.DotWidth, row, place.DotWidth, color);
        }
      }
    }
  }
}

void DrawMulticolorSprite(std::uint8_t color, std::uint8_t multicolor0, std::uint8_t multicolor1,
                          std::uint16_t dataAddress, int expandX, int expandY, int xHigh, int x,
                          int y) {
  std::uint8_t* picture = FrameImage.Target;
  if (picture == nullptr) return;
  const SpritePlacement place = PlaceSprite(picture, expandX, expandY, xHigh, x, y);
  // Pair values 1-3; 0 is transparent.
  const std::uint8_t pairColors[4] = {0, static_cast<std::uint8_t>(multicolor0 & 0x0F),
                                      static_cast<std::uint8_t>(color & 0x0F),
                                      static_cast<std::uint8_t>(multicolor1 & 0x0F)};
  const int dotWidth = 2 * place.DotWidth;
  for (int j = 0; j < SpriteRows; ++j) {
    const int row = place.Top + j * place.DotHeight;
    for (int b = 0; b < BytesPerSpriteRow; ++b) {
      const std::uint8_t data = SpriteByte(dataAddress, j * BytesPerSpriteRow + b);
      for (int p = 0; p < 4; ++p) {
        const unsigned pair = (data >> (6 - 2 * p)) & 3;
        if (pair != 0) {
          FillDot(place, place.Left + (4 * b + p) * dotWidth, row, dotWidth, pairColors[pair]);
        }
      }
    }
  }
}

void DrawSprites() {
  const std::uint8_t* registers = Vic.Registers;
  for (int n = SpriteCount - 1; n >= 0; --n) {
    if (((registers[RegEnable] >> n) & 1) == 0) continue;
    const std::uint8_t pointer =
        MainRam[(Vic.BankBase + Vic.ScreenBase + SpritePointerOffset + n) & 0xFFFF];
    const auto dataAddress = static_cast<std::uint16_t>((Vic.BankBase + 64 * pointer) & 0xFFFF);
    const int x = registers[2 * n] - 24;
    const int y = registers[2 * n + 1] - FirstPictureLine;
    const int xHigh = (registers[RegXHighBits] >> n) & 1;
    const int expandX = (registers[RegExpandX] >> n) & 1;
    const int expandY = (registers[RegExpandY] >> n) & 1;
    if ((registers[RegMulticolor] >> n) & 1) {
      DrawMulticolorSprite(registers[RegColor0 + n], registers[RegMulticolor0],
                           registers[RegMulticolor1], dataAddress, expandX, expandY, xHigh, x, y);
    } else {
      DrawHiresSprite(registers[RegColor0 + n], dataAddress, expandX, expandY, xHigh, x, y);
    }
  }
}

}  // namespace quillon
