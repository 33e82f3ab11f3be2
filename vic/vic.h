// The VIC-II's register file as the CPU sees it, its decoded fields, the raster counter and
// the raster interrupt.
#pragma once

#include <cstdint>

namespace quillon {

inline constexpr int VicRegisterCount = 0x2F;
inline constexpr std::uint16_t NoRasterCompare = 0xFFFF;

struct VicState {
  std::uint8_t Registers[VicRegisterCount];
  std::uint16_t RasterLine;
  std::uint16_t RasterCompare;
  // Decoded mode flags keep their bit in place; readers test them for zero only.
  std::uint8_t ExtendedColorMode;
  std::uint8_t BitmapMode;
  std::uint8_t DisplayEnable;
  std::uint8_t RowSelect;
  std::uint16_t YScroll;
  std::uint8_t MultiColorMode;
  std::uint8_t ColumnSelect;
  std::uint16_t XScroll;
  std::uint16_t ScreenBase;
  std::uint16_t CharBase;
  std::uint16_t BankBase;
  std::uint8_t BorderColor;
  std::uint8_t BackgroundColor[4];
};
extern VicState Vic;

std::uint8_t VicRead(std::uint8_t index);
void VicWrite(std::uint8_t index, std::uint8_t value);

// The power-on condition of the chip's registers, raster position and colours.
void VicHardReset();

// Latches (and, when enabled, raises) the raster interrupt when RasterLine meets RasterCompare.
void VicCheckRasterCompare();

}  // namespace quillon
