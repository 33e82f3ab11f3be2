#include "debug/frame_picture.h"

#include <algorithm>

namespace quillon {

void BorderedFrame(Machine& machine, std::uint8_t* out) {
  constexpr std::uint8_t ColourMask = 0x0F;
  const std::uint8_t* picture = machine.Picture();
  for (int r = 0; r < BorderedHeight; ++r) {
    std::uint8_t* row = out + r * BorderedWidth;
    const std::uint8_t border = machine.LineBorderColors()[r + FirstBorderedLine] & ColourMask;
    const int y = r - BorderSize;
    std::fill_n(row, BorderedWidth, border);
    if (y < 0 || y >= PictureHeight) continue;
    for (int x = 0; x < PictureWidth; ++x) {
      row[BorderSize + x] = picture[y * PictureWidth + x] & ColourMask;
    }
  }
}

}  // namespace quillon
