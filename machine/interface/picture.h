// The picture every machine model shows: the display window in VIC-II colour numbers, the
// border around it, and the fixed palette that turns colour numbers into host colours.
#pragma once

#include <cstdint>

namespace quillon {

// The display window: 320 x 200 colour numbers 0-15, row r showing raster line r + 50, with one
// border colour per raster line around it.
inline constexpr int PictureWidth = 320;
inline constexpr int PictureHeight = 200;
inline constexpr int FirstPictureLine = 50;
inline constexpr int BorderTableLines = 312;

extern const std::uint32_t Palette[16];  // 0x00RRGGBB

}  // namespace quillon
