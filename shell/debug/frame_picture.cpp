#include "debug/frame_picture.h"

#include <algorithm>

namespace quillon {

void BorderedFrame(Machine& machine, std::uint8_t* out) {
  constexpr std::uint8_t ColourMask = 0x0F;
  const std::uint8_t* picture = machine.Picture();
  const std::uint8_t* bordered = machine.BorderedPicture();
  for (int r = 0; r < BorderedHeight; ++r) {
    std::uint8_t* row = out + r * BorderedWidth;
    if (bordered != nullptr) {
      std::copy_n(bordered + r * BorderedWidth, BorderedWidth, row);
    } else {
      std::fill_n(row, BorderedWidth, machine.LineBorderColors()[r + FirstBorderedLine]);
    }
    const int y = r - BorderSize;
    if (y >= 0 && y < PictureHeight)
      std::copy_n(picture + y * PictureWidth, PictureWidth, row + BorderSize);
    for (int x = 0; x < BorderedWidth; ++x) row[x] &= ColourMask;
  }
}

}  // namespace quillon
