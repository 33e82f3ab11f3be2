#include "vic/vic.h"

#include <cstring>

#include "core/machine.h"
#include "cpu/cpu.h"

namespace quillon {

VicState Vic = {};

namespace {

constexpr std::uint8_t RegControl1 = 0x11;
constexpr std::uint8_t RegRaster = 0x12;
constexpr std::uint8_t RegControl2 = 0x16;
constexpr std::uint8_t RegMemoryPointers = 0x18;
constexpr std::uint8_t RegInterruptLatch = 0x19;
constexpr std::uint8_t RegInterruptMask = 0x1A;
constexpr std::uint8_t RegBorderColor = 0x20;
constexpr std::uint8_t RegBackgroundColor0 = 0x21;
constexpr std::uint8_t RegBackgroundColor3 = 0x24;

constexpr std::uint8_t LatchRaster = 0x01;
constexpr std::uint8_t LatchIrq = 0x80;

// The compare line is nine bits: bit 8 comes from $D011 bit 7.
std::uint16_t ComposeRasterCompare(std::uint8_t control1, std::uint8_t raster) {
  return static_cast<std::uint16_t>(raster + ((control1 & 0x80) ? 256 : 0));
}

// Each 1 in bits 0-3 clears that latch bit. The IRQ line drops only once no latched source is
// enabled any more; bits 4-6 of the latch always read 1.
void AcknowledgeInterrupts(std::uint8_t value) {
  std::uint8_t latch =
      static_cast<std::uint8_t>(Vic.Registers[RegInterruptLatch] & ~(value & 0x0F));
  if ((latch & Vic.Registers[RegInterruptMask] & 0x0F) == 0 && (latch & LatchIrq)) {
    Cpu.IrqPending = 0;
    latch = static_cast<std::uint8_t>(latch & ~LatchIrq);
  }
  Vic.Registers[RegInterruptLatch] = static_cast<std::uint8_t>(latch | 0x70);
}

}  // namespace

std::uint8_t VicRead(std::uint8_t index) {
  if (index >= VicRegisterCount) return 0xFF;
  const std::uint8_t value = Vic.Registers[index];
  switch (index) {
    case RegControl1:
      return static_cast<std::uint8_t>((value & 0x7F) | ((Vic.RasterLine & 0x100) >> 1));
    case RegRaster:
      return static_cast<std::uint8_t>(Vic.RasterLine & 0xFF);
    case RegInterruptLatch:
      // Bits 1 and 2 (the collision sources, never raised here) read as 1.
      return static_cast<std::uint8_t>(value | 0x06);
    default:
      return value;
  }
}

void VicWrite(std::uint8_t index, std::uint8_t value) {
  if (index >= VicRegisterCount) return;
  std::uint8_t stored = value;
  switch (index) {
    case RegControl1:
      Vic.ExtendedColorMode = value & 0x40;
      Vic.BitmapMode = value & 0x20;
      Vic.DisplayEnable = value & 0x10;
      Vic.RowSelect = value & 0x08;
      Vic.YScroll = value & 0x07;
      Vic.RasterCompare = ComposeRasterCompare(value, Vic.Registers[RegRaster]);
      break;
    case RegRaster:
      Vic.RasterCompare = ComposeRasterCompare(Vic.Registers[RegControl1], value);
      break;
    case RegControl2:
      stored = value | 0xA0;
      Vic.MultiColorMode = stored & 0x10;
      Vic.ColumnSelect = stored & 0x08;
      Vic.XScroll = stored & 0x07;
      break;
    case RegMemoryPointers:
      stored = value | 0x01;
      Vic.ScreenBase = static_cast<std::uint16_t>((stored & 0xF0) * 64);
      Vic.CharBase = static_cast<std::uint16_t>((stored & 0x0E) * 1024);
      break;
    case RegInterruptLatch:
      AcknowledgeInterrupts(value);
      return;
    case RegInterruptMask:
      stored = value | 0xF0;
      break;
    case RegBorderColor:
      stored = value | 0xF0;
      Vic.BorderColor = value & 0x0F;
      break;
    default:
      if (index >= RegBackgroundColor0 && index <= RegBackgroundColor3) {
        stored = value | 0xF0;
        Vic.BackgroundColor[index - RegBackgroundColor0] = value & 0x0F;
      }
      break;
  }
  Vic.Registers[index] = stored;
}

bool VicStateIsValid(const VicState& vic) {
  bool colours = vic.BorderColor <= 15;
  for (std::uint8_t colour : vic.BackgroundColor) colours = colours && colour <= 15;
  return colours && vic.RasterLine < PalLinesPerFrame &&
         (vic.RasterCompare <= 0x1FF || vic.RasterCompare == NoRasterCompare) &&
         vic.YScroll <= 7 && vic.XScroll <= 7 && vic.ScreenBase % 0x400 == 0 &&
         vic.ScreenBase < 0x4000 && vic.CharBase % 0x800 == 0 && vic.CharBase < 0x4000 &&
         vic.BankBase % 0x4000 == 0;
}

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

void VicCheckRasterCompare() {
  if (Vic.RasterLine != Vic.RasterCompare) return;
  Vic.Registers[RegInterruptLatch] |= LatchRaster;
  if (Vic.Registers[RegInterruptMask] & 0x01) {
    Vic.Registers[RegInterruptLatch] |= LatchIrq;
    Cpu.IrqPending = 1;
  }
}

}  // namespace quillon
