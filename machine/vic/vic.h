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

// The chip's fields in a snapshot, in both directions (see interface/snapshot_stream.h).
template <class Stream>
void VicStateFields(Stream& s, VicState& vic) {
  s.Raw(vic.Registers, sizeof vic.Registers);
  s.Field(vic.RasterLine);
  s.Field(vic.RasterCompare);
  s.Field(vic.ExtendedColorMode);
  s.Field(vic.BitmapMode);
  s.Field(vic.DisplayEnable);
  s.Field(vic.RowSelect);
  s.Field(vic.YScroll);
  s.Field(vic.MultiColorMode);
  s.Field(vic.ColumnSelect);
  s.Field(vic.XScroll);
  s.Field(vic.ScreenBase);
  s.Field(vic.CharBase);
  s.Field(vic.BankBase);
  s.Field(vic.BorderColor);
  s.Raw(vic.BackgroundColor, sizeof vic.BackgroundColor);
}

// Whether the decoded fields hold values that their registers can give: the renderer indexes
// with them.
bool VicStateIsValid(const VicState& vic);

std::uint8_t VicRead(std::uint8_t index);
void VicWrite(std::uint8_t index, std::uint8_t value);

// The power-on condition of the chip's registers, raster position and colours.
void VicHardReset();

// Latches (and, when enabled, raises) the raster interrupt when RasterLine meets RasterCompare.
void VicCheckRasterCompare();

}  // namespace quillon
