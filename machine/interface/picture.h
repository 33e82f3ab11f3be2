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

// The bordered picture: the display window and BorderSize pixels of border on every side, 360 x
// 240 colour numbers, row r showing raster line r + FirstBorderedLine in the display window's
// numbering and column c the pixel at X = 4 + c in sprite coordinates (the window's first
// column is X = 24). Rows and columns BorderSize on, PictureHeight and PictureWidth of them,
// are the display window.
inline constexpr int BorderSize = 20;
inline constexpr int BorderedWidth = PictureWidth + 2 * BorderSize;
inline constexpr int BorderedHeight = PictureHeight + 2 * BorderSize;
inline constexpr int FirstBorderedLine = FirstPictureLine - BorderSize;

extern const std::uint32_t Palette[16];  // 0x00RRGGBB

}  // namespace quillon
