// The emulated picture as the classic VIC-II draws it: the display window's colour numbers and
// the border colour of every raster line.
#pragma once

#include <cstdint>

#include "interface/picture.h"

namespace quillon {

struct FrameImageState {
  std::uint8_t* Picture;  // 320 x 200 colour numbers, top row first; allocated by EmulatorInit
  std::uint8_t LineBorderColor[BorderTableLines];
  // Where the line renderer and the sprite drawers write the display window: Picture, or a
  // surface of the same layout that the display installs while it shows one directly.
  std::uint8_t* Target;
};
extern FrameImageState FrameImage;

}  // namespace quillon
