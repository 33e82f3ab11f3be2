#include <gtest/gtest.h>

#include "core/machine.h"
#include "core/memory.h"
#include "cpu/cpu.h"
#include "support/machine.h"
#include "vic/vic.h"

namespace quillon {
namespace {

TEST(VicRegisters, ReadBackRulesDecodedFieldsAndMirrors) {
  test::PowerOnMachine();
  EXPECT_EQ(MemRead(0xD019), 0x06);
  const struct { std::uint16_t Address; std::uint8_t Written, Read; } cases[] = {
      {0xD016, 0x08, 0xA8}, {0xD016, 0xC8, 0xE8}, {0xD018, 0x14, 0x15}, {0xD020, 0x0E, 0xFE},
      {0xD024, 0x03, 0xF3}, {0xD01A, 0x01, 0xF1}, {0xD027, 0x0E, 0x0E}, {0xD01E, 0x5A, 0x5A},
      {0xD01F, 0xA5, 0xA5}, {0xD02F, 0x00, 0xFF}, {0xD03F, 0x00, 0xFF}, {0xD3C1, 0x17, 0x17}};
  for (const auto& c : cases) {
    MemWrite(c.Address, c.Written);
    EXPECT_EQ(MemRead(c.Address), c.Read) << std::hex << c.Address;
  }
  EXPECT_EQ(MemRead(0xD001), 0x17) << "the registers repeat every 64 bytes";
  EXPECT_TRUE(Vic.ScreenBase == 0x0400 && Vic.CharBase == 0x1000 && Vic.BackgroundColor[3] == 3);
  EXPECT_TRUE(Vic.ColumnSelect && !Vic.MultiColorMode && Vic.XScroll == 0);
  // The raster line reads back through $D012 and $D011 bit 7; writes set the compare line.
  MemWrite(0xD012, 0x10);
  MemWrite(0xD011, 0x9B);
  EXPECT_EQ(Vic.RasterCompare, 272);
  EXPECT_TRUE(!Vic.ExtendedColorMode && !Vic.BitmapMode && Vic.DisplayEnable && Vic.RowSelect);
  EXPECT_EQ(Vic.YScroll, 3);
  Vic.RasterLine = 300;
  EXPECT_EQ(MemRead(0xD012) << 8 | MemRead(0xD011), 0x2C9B);
  Vic.RasterLine = 44;
  EXPECT_EQ(MemRead(0xD012) << 8 | MemRead(0xD011), 0x2C1B);
}

TEST(VicInterrupts, RasterLatchMaskAndAcknowledge) {
  test::PowerOnMachine();
  const auto runLines = [](int lines) { for (int i = 0; i < lines; ++i) RasterLineStep(); };
  MemWrite(0xD012, 5);
  runLines(5);
  EXPECT_EQ(MemRead(0xD019), 0x07) << "latched but not enabled";
  MemWrite(0xD01A, 0x01);
  EXPECT_EQ(Cpu.IrqPending, 0) << "enabling a latched source raises nothing by itself";
  Cpu.IrqPending = 1;  // CIA1's line: a latch without bit 7 never releases it
  MemWrite(0xD019, 0x01);
  EXPECT_EQ(Cpu.IrqPending, 1);
  Cpu.IrqPending = 0;
  MemWrite(0xD012, 100);
  runLines(94);
  EXPECT_EQ(Cpu.IrqPending, 0);
  runLines(1);
  EXPECT_EQ(Cpu.IrqPending, 1) << "raised as line 100 begins";
  EXPECT_EQ(MemRead(0xD019), 0xF7) << "bits 4-6 read 1 since the first acknowledge";
  MemWrite(0xD019, 0x00);
  EXPECT_EQ(Cpu.IrqPending, 1);
  MemWrite(0xD019, 0xFF);
  EXPECT_EQ(Cpu.IrqPending, 0);
  EXPECT_EQ(MemRead(0xD019), 0x76);
  // Line 0 matches right after the wrap; a compare line past the frame never matches.
  MemWrite(0xD012, 0);
  runLines(211);
  EXPECT_EQ(Cpu.IrqPending, 0);
  runLines(1);
  EXPECT_EQ(Cpu.IrqPending, 1);
  MemWrite(0xD019, 0xFF);
  MemWrite(0xD012, 312 - 256);
  MemWrite(0xD011, 0x80);
  runLines(2 * 312);
  EXPECT_EQ(MemRead(0xD019), 0x76);
}

}  // namespace
}  // namespace quillon
