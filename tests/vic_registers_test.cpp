#include <gtest/gtest.h>

#include "core/machine.h"
#include "core/memory.h"
#include "cpu/cpu.h"
#include "support/machine.h"
#include "vic/vic.h"

namespace quillon {
namespace {

using test::PowerOnMachine;

// Runs the raster forward line by line without the CPU, as RunStep does every 64 steps.
void RunRasterLines(int lines) {
  for (int i = 0; i < lines; ++i) RasterLineStep();
}

TEST(VicRegisters, FixedBitsReadBackAsTheChipDrivesThem) {
  PowerOnMachine();
  EXPECT_EQ(MemRead(0xD019), 0x06) << "after a hard reset only the collision bits read 1";

  MemWrite(0xD016, 0x08);
  EXPECT_EQ(MemRead(0xD016), 0xA8);
  MemWrite(0xD016, 0xC8);
  EXPECT_EQ(MemRead(0xD016), 0xE8);
  EXPECT_NE(Vic.ColumnSelect, 0);
  EXPECT_EQ(Vic.MultiColorMode, 0);

  MemWrite(0xD018, 0x14);
  EXPECT_EQ(MemRead(0xD018), 0x15);
  EXPECT_EQ(Vic.ScreenBase, 0x0400);
  EXPECT_EQ(Vic.CharBase, 0x1000);
  MemWrite(0xD018, 0xFE);
  EXPECT_EQ(Vic.ScreenBase, 0x3C00);
  EXPECT_EQ(Vic.CharBase, 0x3800);

  MemWrite(0xD020, 0x0E);
  EXPECT_EQ(MemRead(0xD020), 0xFE);
  EXPECT_EQ(Vic.BorderColor, 0x0E);
  for (std::uint16_t address = 0xD021; address <= 0xD024; ++address) {
    MemWrite(address, static_cast<std::uint8_t>(0xA0 + address - 0xD020));
    EXPECT_EQ(MemRead(address), 0xF0 + address - 0xD020);
    EXPECT_EQ(Vic.BackgroundColor[address - 0xD021], address - 0xD020);
  }
  MemWrite(0xD01A, 0x01);
  EXPECT_EQ(MemRead(0xD01A), 0xF1);

  // Sprite colours and the collision registers are plain storage.
  MemWrite(0xD027, 0x0E);
  EXPECT_EQ(MemRead(0xD027), 0x0E);
  EXPECT_EQ(MemRead(0xD01E), 0x00);
  MemWrite(0xD01E, 0x5A);
  MemWrite(0xD01F, 0xA5);
  EXPECT_EQ(MemRead(0xD01E), 0x5A);
  EXPECT_EQ(MemRead(0xD01F), 0xA5);
}

TEST(VicRegisters, UnusedIndicesReadFFAndTheFileRepeatsEverySixtyFourBytes) {
  PowerOnMachine();
  for (std::uint16_t address = 0xD02F; address <= 0xD03F; ++address) {
    MemWrite(address, 0x00);
    EXPECT_EQ(MemRead(address), 0xFF) << std::hex << address;
  }
  MemWrite(0xD000, 0x42);
  EXPECT_EQ(MemRead(0xD040), 0x42);
  MemWrite(0xD3C1, 0x17);  // mirror of $D001
  EXPECT_EQ(MemRead(0xD001), 0x17);
  EXPECT_EQ(MemRead(0xD3FF), 0xFF);
  EXPECT_EQ(VicRead(0x2F), 0xFF);
}

TEST(VicRegisters, RasterLineReadsBackThroughD011AndD012) {
  PowerOnMachine();
  MemWrite(0xD011, 0x1B);
  Vic.RasterLine = 300;
  EXPECT_EQ(MemRead(0xD012), 0x2C);
  EXPECT_EQ(MemRead(0xD011), 0x9B);
  Vic.RasterLine = 44;
  EXPECT_EQ(MemRead(0xD012), 0x2C);
  EXPECT_EQ(MemRead(0xD011), 0x1B);
  MemWrite(0xD011, 0x9B);  // the written bit 7 is the compare bit, not what reads back
  EXPECT_EQ(MemRead(0xD011), 0x1B);
}

TEST(VicRegisters, CompareLineTakesBitEightFromD011) {
  PowerOnMachine();
  EXPECT_EQ(Vic.RasterCompare, NoRasterCompare);
  MemWrite(0xD012, 0x10);
  EXPECT_EQ(Vic.RasterCompare, 16);
  MemWrite(0xD011, 0x9B);
  EXPECT_EQ(Vic.RasterCompare, 272);
  EXPECT_EQ(Vic.ExtendedColorMode, 0);
  EXPECT_EQ(Vic.BitmapMode, 0);
  EXPECT_NE(Vic.DisplayEnable, 0);
  EXPECT_NE(Vic.RowSelect, 0);
  EXPECT_EQ(Vic.YScroll, 3);
  MemWrite(0xD012, 0x20);
  EXPECT_EQ(Vic.RasterCompare, 0x120);
  MemWrite(0xD011, 0x67);
  EXPECT_EQ(Vic.RasterCompare, 0x20);
  EXPECT_NE(Vic.ExtendedColorMode, 0);
  EXPECT_NE(Vic.BitmapMode, 0);
  EXPECT_EQ(Vic.DisplayEnable, 0);
  EXPECT_EQ(Vic.RowSelect, 0);
  EXPECT_EQ(Vic.YScroll, 7);
}

TEST(VicInterrupts, RasterMatchLatchesRaisesAndIsAcknowledged) {
  PowerOnMachine();
  MemWrite(0xD01A, 0x01);
  MemWrite(0xD012, 100);
  RunRasterLines(99);
  EXPECT_EQ(Cpu.IrqPending, 0);
  EXPECT_EQ(MemRead(0xD019), 0x06);
  RunRasterLines(1);
  EXPECT_EQ(Vic.RasterLine, 100);
  EXPECT_EQ(Cpu.IrqPending, 1) << "raised as line 100 begins";
  EXPECT_EQ(MemRead(0xD019), 0x87);

  MemWrite(0xD019, 0xFF);
  EXPECT_EQ(Vic.Registers[0x19], 0x70);
  EXPECT_EQ(Cpu.IrqPending, 0);
  EXPECT_EQ(MemRead(0xD019), 0x76);

  // The next match comes a whole frame later.
  RunRasterLines(311);
  EXPECT_EQ(Cpu.IrqPending, 0);
  RunRasterLines(1);
  EXPECT_EQ(Cpu.IrqPending, 1);
}

TEST(VicInterrupts, AcknowledgeKeepsTheLineWhileALatchedSourceIsStillEnabled) {
  PowerOnMachine();
  MemWrite(0xD01A, 0x01);
  Vic.Registers[0x19] = 0x81;
  Cpu.IrqPending = 1;
  MemWrite(0xD019, 0x00);
  EXPECT_EQ(Vic.Registers[0x19], 0xF1);
  EXPECT_EQ(Cpu.IrqPending, 1);
  MemWrite(0xD019, 0xF0);  // the high bits acknowledge nothing
  EXPECT_EQ(Vic.Registers[0x19], 0xF1);
  EXPECT_EQ(Cpu.IrqPending, 1);
  MemWrite(0xD019, 0x01);
  EXPECT_EQ(Vic.Registers[0x19], 0x70);
  EXPECT_EQ(Cpu.IrqPending, 0);
}

TEST(VicInterrupts, MaskOnlyGatesNewMatches) {
  PowerOnMachine();
  MemWrite(0xD012, 5);
  RunRasterLines(5);
  EXPECT_EQ(MemRead(0xD019), 0x07) << "latched, not raised";
  EXPECT_EQ(Cpu.IrqPending, 0);

  MemWrite(0xD01A, 0x01);
  EXPECT_EQ(Cpu.IrqPending, 0) << "enabling a latched source raises nothing by itself";
  EXPECT_EQ(MemRead(0xD019), 0x07);

  // The acknowledge of a latch whose IRQ bit is clear leaves the shared line alone: it may
  // belong to CIA1.
  Cpu.IrqPending = 1;
  MemWrite(0xD019, 0x01);
  EXPECT_EQ(Cpu.IrqPending, 1);
  Cpu.IrqPending = 0;

  RunRasterLines(LinesPerFrame());
  EXPECT_EQ(Cpu.IrqPending, 1);
  MemWrite(0xD01A, 0x00);
  EXPECT_EQ(Cpu.IrqPending, 1) << "disabling the mask does not release the line";
}

TEST(VicInterrupts, CompareZeroMatchesAtTheWrapAndBeyondTheFrameNever) {
  PowerOnMachine();
  MemWrite(0xD01A, 0x01);
  MemWrite(0xD012, 0);
  MemWrite(0xD011, 0x1B);
  RunRasterLines(311);
  EXPECT_EQ(Cpu.IrqPending, 0);
  RunRasterLines(1);
  EXPECT_EQ(Vic.RasterLine, 0);
  EXPECT_EQ(Cpu.IrqPending, 1);

  MemWrite(0xD019, 0x0F);
  MemWrite(0xD012, 312 - 256);
  MemWrite(0xD011, 0x9B);
  ASSERT_EQ(Vic.RasterCompare, 312);
  RunRasterLines(2 * 312);
  EXPECT_EQ(Cpu.IrqPending, 0);
  EXPECT_EQ(MemRead(0xD019) & 0x01, 0);
}

}  // namespace
}  // namespace quillon
