#include <gtest/gtest.h>

#include "cia/cia.h"
#include "cpu/cpu.h"
#include "support/machine.h"

namespace quillon {
namespace {

void SetTimerALatch(CiaState& cia, std::uint16_t latch) {
  CiaWrite(cia, CiaTimerALow, static_cast<std::uint8_t>(latch));
  CiaWrite(cia, CiaTimerAHigh, static_cast<std::uint8_t>(latch >> 8));
}

void SetTimerBLatch(CiaState& cia, std::uint16_t latch) {
  CiaWrite(cia, CiaTimerBLow, static_cast<std::uint8_t>(latch));
  CiaWrite(cia, CiaTimerBHigh, static_cast<std::uint8_t>(latch >> 8));
}

// Steps until timer A or B of `cia` flags an underflow; returns the number of steps taken.
long StepsToUnderflow(CiaState& cia, std::uint8_t flag, long limit) {
  for (long steps = 1; steps <= limit; ++steps) {
    CiaStep();
    if (cia.Registers[CiaInterruptControl] & flag) {
      CiaRead(cia, CiaInterruptControl);
      return steps;
    }
  }
  return -1;
}

TEST(CiaTimer, TimerACountsDownReloadsFromTheLatchAndRaisesTheIrq) {
  test::PowerOnMachine();
  SetTimerALatch(Cia1, 0x1203);
  EXPECT_EQ(Cia1.TimerACounter, 0) << "writing the latch never loads the counter";
  CiaWrite(Cia1, CiaInterruptControl, 0x81);
  CiaRead(Cia1, CiaInterruptControl);
  CiaWrite(Cia1, CiaControlA, CiaControlForceLoad | CiaControlStart);
  EXPECT_EQ(Cia1.TimerACounter, 0x1203);
  EXPECT_EQ(CiaRead(Cia1, CiaControlA), 0x11) << "the force-load bit reads back as written";

  // The low byte follows the counter; the high byte keeps the latch's.
  CiaStep();
  EXPECT_EQ(CiaRead(Cia1, CiaTimerALow), 0x02);
  EXPECT_EQ(CiaRead(Cia1, CiaTimerAHigh), 0x12);
  Cia1.TimerACounter = 1;
  CiaStep();
  EXPECT_EQ(Cpu.IrqPending, 0);
  CiaStep();
  EXPECT_EQ(Cpu.IrqPending, 1);
  EXPECT_EQ(Cia1.TimerACounter, 0x1202) << "reloaded and counted in the same step";
  EXPECT_EQ(CiaRead(Cia1, CiaInterruptControl), 0x81);
  EXPECT_EQ(Cpu.IrqPending, 0);
  EXPECT_EQ(CiaRead(Cia1, CiaInterruptControl), 0x00);

  // From then on one underflow every latch steps.
  SetTimerALatch(Cia1, 5);
  Cia1.TimerACounter = 0;
  EXPECT_EQ(StepsToUnderflow(Cia1, CiaInterruptTimerA, 10), 1);
  EXPECT_EQ(StepsToUnderflow(Cia1, CiaInterruptTimerA, 10), 5);
  EXPECT_EQ(StepsToUnderflow(Cia1, CiaInterruptTimerA, 10), 5);
}

TEST(CiaTimer, PeriodsOfTimerBAndOfTheZeroLatch) {
  test::PowerOnMachine();
  // Timer B counting steps takes one step more than timer A with the same latch.
  SetTimerBLatch(Cia1, 5);
  CiaWrite(Cia1, CiaControlB, CiaControlForceLoad | CiaControlStart);
  EXPECT_EQ(StepsToUnderflow(Cia1, CiaInterruptTimerB, 10), 6);
  EXPECT_EQ(StepsToUnderflow(Cia1, CiaInterruptTimerB, 10), 6);

  // A zero latch: timer B underflows on every step, timer A once every 65536 steps.
  SetTimerBLatch(Cia1, 0);
  SetTimerALatch(Cia1, 0);
  CiaWrite(Cia1, CiaControlB, CiaControlForceLoad | CiaControlStart);
  CiaWrite(Cia1, CiaControlA, CiaControlForceLoad | CiaControlStart);
  for (int i = 0; i < 3; ++i) EXPECT_EQ(StepsToUnderflow(Cia1, CiaInterruptTimerB, 2), 1);
  CiaWrite(Cia1, CiaControlB, 0);
  CiaWrite(Cia1, CiaControlA, CiaControlForceLoad | CiaControlStart);
  EXPECT_EQ(StepsToUnderflow(Cia1, CiaInterruptTimerA, 70000), 1);
  EXPECT_EQ(StepsToUnderflow(Cia1, CiaInterruptTimerA, 70000), 65536);
}

TEST(CiaTimer, OneShotStopsAfterItsUnderflowAndRestartsOnAWrite) {
  test::PowerOnMachine();
  SetTimerALatch(Cia2, 3);
  CiaWrite(Cia2, CiaControlA, CiaControlOneShot | CiaControlForceLoad | CiaControlStart);
  EXPECT_EQ(StepsToUnderflow(Cia2, CiaInterruptTimerA, 10), 4);
  EXPECT_EQ(Cia2.TimerARunning, 0);
  EXPECT_EQ(CiaRead(Cia2, CiaControlA), CiaControlOneShot | CiaControlForceLoad);
  const std::uint16_t stoppedAt = Cia2.TimerACounter;
  EXPECT_EQ(StepsToUnderflow(Cia2, CiaInterruptTimerA, 100), -1);
  EXPECT_EQ(Cia2.TimerACounter, stoppedAt);

  CiaWrite(Cia2, CiaControlA, CiaControlOneShot | CiaControlStart);
  EXPECT_EQ(StepsToUnderflow(Cia2, CiaInterruptTimerA, 10), 3);
  EXPECT_EQ(Cia2.TimerARunning, 0);
}

TEST(CiaTimer, TimerBCountsTimerAUnderflowsButOnlyUnderflowsWhileRunning) {
  test::PowerOnMachine();
  SetTimerALatch(Cia1, 2);
  SetTimerBLatch(Cia1, 3);
  CiaWrite(Cia1, CiaInterruptControl, 0x83);
  CiaRead(Cia1, CiaInterruptControl);
  // Stopped, in cascade mode: decremented by every timer A underflow, wrapping, never
  // underflowing or interrupting.
  CiaWrite(Cia1, CiaControlB, CiaSourceTimerA | CiaControlForceLoad);
  CiaWrite(Cia1, CiaControlA, CiaControlForceLoad | CiaControlStart);
  for (int underflows = 1; underflows <= 4; ++underflows) {
    ASSERT_EQ(StepsToUnderflow(Cia1, CiaInterruptTimerA, 10), underflows == 1 ? 3 : 2);
    EXPECT_EQ(Cia1.TimerBCounter, static_cast<std::uint16_t>(3 - underflows));
    EXPECT_EQ(CiaRead(Cia1, CiaTimerBLow), static_cast<std::uint8_t>(3 - underflows));
  }
  EXPECT_EQ(Cia1.Registers[CiaInterruptControl] & CiaInterruptTimerB, 0);

  // Running: it underflows in the very step of every third timer A underflow, and counts
  // no steps of its own.
  CiaWrite(Cia1, CiaControlB, CiaSourceTimerA | CiaControlForceLoad | CiaControlStart);
  EXPECT_EQ(StepsToUnderflow(Cia1, CiaInterruptTimerB, 20), 6);
  EXPECT_EQ(StepsToUnderflow(Cia1, CiaInterruptTimerB, 20), 6);

  // Counting the unconnected CNT pin, it never moves.
  CiaWrite(Cia1, CiaControlB, 0x20 | CiaControlForceLoad | CiaControlStart);
  EXPECT_EQ(StepsToUnderflow(Cia1, CiaInterruptTimerB, 100), -1);
  EXPECT_EQ(Cia1.TimerBCounter, 3);
}

}  // namespace
}  // namespace quillon
