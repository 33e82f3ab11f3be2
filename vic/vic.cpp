#include "vic/vic.h"

#include <cstring>

namespace quillon {

VicState Vic = {};

std::uint8_t VicRead(std::uint8_t) { return 0xFF; }
void VicWrite(std::uint8_t, std::uint8_t) {}

void VicHardReset() {
  std::memset(Vic.Registers, 0, sizeof Vic.Registers);
  // A compare value that no raster line reaches: no raster interrupt until $D011/$D012 are set.
  Vic.RasterCompare = NoRasterCompare;
  // Every display-window line shows the border until $D011 is written.
  Vic.DisplayEnable = 0;
  Vic.BorderColor = 0;
  Vic.BackgroundColor[0] = 0;
  Vic.RasterLine = 0;
}

void VicCheckRasterCompare() {}

}  // namespace quillon
