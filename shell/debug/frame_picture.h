// The picture with its border as the window and the screenshots show it: raster lines 30-269,
// the display window with 20 pixels of border on either side, in colour numbers.
#pragma once

#include <cstdint>

#include "interface/machine.h"

namespace quillon {

inline constexpr std::int32_t BorderSize = 20;
inline constexpr std::int32_t BorderedWidth = PictureWidth + 2 * BorderSize;
inline constexpr std::int32_t BorderedHeight = PictureHeight + 2 * BorderSize;
inline constexpr int FirstBorderedLine = FirstPictureLine - BorderSize;

// BorderedWidth x BorderedHeight colour numbers 0-15 into `out`, top row first.
void BorderedFrame(Machine& machine, std::uint8_t* out);

}  // namespace quillon
