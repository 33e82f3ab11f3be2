#include <gtest/gtest.h>

#include "cia/cia.h"
#include "core/machine.h"
#include "core/memory.h"
#include "cpu/cpu.h"
#include "support/machine.h"

namespace quillon {
namespace {

// Starts timer `control` of `cia` with a one-step latch, so it underflows at the next step.
void UnderflowNextStep(CiaState& cia, int control) {
  const int low = control == CiaControlA ? CiaTimerALow : CiaTimerBLow;
  CiaWrite(cia, static_cast<std::uint8_t>(low), 0);
  CiaWrite(cia, static_cast<std::uint8_t>(low + 1), 0);
  CiaWrite(cia, static_cast<std::uint8_t>(control), CiaControlForceLoad | CiaControlStart);
  CiaStep();
  CiaWrite(cia, static_cast<std::uint8_t>(control), 0);
}

TEST(CiaInterrupt, FlagByteReadClearsItAndReleasesTheIrqWhoeverRaisedIt) {
  test::PowerOnMachine();
  MemWrite(0xDC0D, 0x81);
  EXPECT_EQ(MemRead(0xDC0D), 0x81) << "the written byte stands until an underflow or a read";
  EXPECT_EQ(MemRead(0xDC0D), 0x00);

  Cpu.IrqPending = 1;  // as the raster interrupt leaves it
  EXPECT_EQ(MemRead(0xDC1D), 0x00) << "the registers repeat every 16 bytes";
  EXPECT_EQ(Cpu.IrqPending, 0);
}

TEST(CiaInterrupt, EnabledUnderflowDropsEarlierFlagsAndDisabledOneOnlyAddsItsBit) {
  test::PowerOnMachine();
  CiaWrite(Cia1, CiaInterruptControl, 0x81);  // timer A enabled, timer B not
  UnderflowNextStep(Cia1, CiaControlB);
  EXPECT_EQ(Cia1.Registers[CiaInterruptControl], 0x83) << "ORed into the written byte";
  EXPECT_EQ(Cpu.IrqPending, 0);
  UnderflowNextStep(Cia1, CiaControlA);
  EXPECT_EQ(Cpu.IrqPending, 1);
  EXPECT_EQ(CiaRead(Cia1, CiaInterruptControl), 0x81) << "the timer B flag is lost";
  UnderflowNextStep(Cia1, CiaControlB);
  EXPECT_EQ(CiaRead(Cia1, CiaInterruptControl), 0x02);
  EXPECT_EQ(Cpu.IrqPending, 0);
}

TEST(CiaInterrupt, MaskWritesSetOrClearOnlyTheSourcesWrittenAsOne) {
  test::PowerOnMachine();
  CiaWrite(Cia2, CiaInterruptControl, 0x9F);
  EXPECT_EQ(Cia2.InterruptMask, 0x1F);
  CiaWrite(Cia2, CiaInterruptControl, 0x01);
  EXPECT_EQ(Cia2.InterruptMask, 0x1E);
  CiaWrite(Cia2, CiaInterruptControl, 0x7C);
  EXPECT_EQ(Cia2.InterruptMask, 0x02) << "bits 5 and 6 are not sources";

  // CIA2 drives the NMI; its flag read leaves the IRQ alone.
  Cpu.IrqPending = 1;
  UnderflowNextStep(Cia2, CiaControlB);
  EXPECT_EQ(Cpu.NmiPending, 1);
  EXPECT_EQ(CiaRead(Cia2, CiaInterruptControl), 0x82);
  EXPECT_EQ(Cpu.NmiPending, 0);
  EXPECT_EQ(Cpu.IrqPending, 1);
}

TEST(CiaInterrupt, HardResetClearsRegistersAndStopsTimersButKeepsCountersLatchesMasks) {
  test::PowerOnMachine();
  for (CiaState* cia : {&Cia1, &Cia2}) {
    CiaWrite(*cia, CiaTimerALow, 0x34);
    CiaWrite(*cia, CiaTimerBHigh, 0x12);
    CiaWrite(*cia, CiaInterruptControl, 0x83);
    CiaWrite(*cia, CiaControlA, CiaControlForceLoad | CiaControlStart);
    CiaWrite(*cia, CiaControlB, CiaControlForceLoad | CiaControlStart);
  }
  CiaStep();
  HardReset();
  for (const CiaState* cia : {&Cia1, &Cia2}) {
    for (std::uint8_t value : cia->Registers) EXPECT_EQ(value, 0);
    EXPECT_EQ(cia->TimerARunning, 0);
    EXPECT_EQ(cia->TimerBRunning, 0);
    EXPECT_EQ(cia->TimerACounter, 0x33);
    EXPECT_EQ(cia->TimerBCounter, 0x11FF);
    EXPECT_EQ(cia->TimerALatch, 0x34);
    EXPECT_EQ(cia->TimerBLatch, 0x1200);
    EXPECT_EQ(cia->InterruptMask, 0x03);
  }
}

}  // namespace
}  // namespace quillon
