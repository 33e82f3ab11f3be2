// The emulated picture in VIC-II colour numbers, the border colour of every raster line, and
// the fixed palette that turns colour numbers into host colours.
#pragma once

#include <cstdint>

namespace quillon {

inline constexpr int PictureWidth = 320;
inline constexpr int PictureHeight = 200;
inline constexpr int FirstPictureLine = 50;  // raster line shown by picture row 0
inline constexpr int BorderTableLines = 312;

struct FrameImageState {
  std::uint8_t* Picture;  // 320 x 200 colour numbers, top row first; allocated by EmulatorInit
  std::uint8_t LineBorderColor[BorderTableLines];
};
extern FrameImageState FrameImage;

extern const std::uint32_t Palette[16];  // 0x00RRGGBB

}  // namespace quillon
