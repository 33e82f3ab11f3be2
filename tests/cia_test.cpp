#include <gtest/gtest.h>

#include "platform/messages.h"
#include "keyboard/host_keys.h"
#include "cia/cia.h"
#include "cia/keyboard.h"
#include "core/machine.h"
#include "core/memory.h"
#include "cpu/cpu.h"
#include "support/machine.h"
#include "vic/vic.h"

namespace quillon {
namespace {

void StartTimer(CiaState& cia, int control, std::uint16_t latch, std::uint8_t mode = 0) {
  const int low = control == CiaControlA ? CiaTimerALow : CiaTimerBLow;
  CiaWrite(cia, static_cast<std::uint8_t>(low), static_cast<std::uint8_t>(latch));
  CiaWrite(cia, static_cast<std::uint8_t>(low + 1), static_cast<std::uint8_t>(latch >> 8));
  CiaWrite(cia, static_cast<std::uint8_t>(control), mode | CiaControlForceLoad | CiaControlStart);
}

// Steps until `flag` shows in the chip's interrupt register, then reads (clears) it.
// Returns the steps taken, or -1 after `limit` steps.
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

TEST(CiaTimer, PeriodsReloadsAndTheLatchHighByte) {
  test::PowerOnMachine();
  StartTimer(Cia1, CiaControlA, 0x1205);
  EXPECT_EQ(StepsToUnderflow(Cia1, CiaInterruptTimerA, 0x1300), 0x1206);
  EXPECT_EQ(Cia1.TimerACounter, 0x1204) << "reloaded and counted in the underflow step";
  EXPECT_EQ(MemRead(0xDC04), 0x04);
  EXPECT_EQ(MemRead(0xDC05), 0x12) << "the high byte reads the latch's, not the counter's";
  CiaWrite(Cia1, CiaTimerALow, 0x00);
  EXPECT_EQ(Cia1.TimerACounter, 0x1204) << "writing the latch does not load the counter";
  EXPECT_EQ(StepsToUnderflow(Cia1, CiaInterruptTimerA, 0x1300), 0x1205);
  EXPECT_EQ(StepsToUnderflow(Cia1, CiaInterruptTimerA, 0x1300), 0x1200);

  // Timer B takes one step more than timer A with the same latch; a zero latch makes it
  // underflow on every step, and timer A once every 65536 steps.
  StartTimer(Cia1, CiaControlB, 5);
  EXPECT_EQ(StepsToUnderflow(Cia1, CiaInterruptTimerB, 10), 6);
  EXPECT_EQ(StepsToUnderflow(Cia1, CiaInterruptTimerB, 10), 6);
  StartTimer(Cia1, CiaControlB, 0);
  EXPECT_EQ(StepsToUnderflow(Cia1, CiaInterruptTimerB, 2), 1);
  EXPECT_EQ(StepsToUnderflow(Cia1, CiaInterruptTimerB, 2), 1);
  CiaWrite(Cia1, CiaControlB, 0);
  StartTimer(Cia1, CiaControlA, 0);
  EXPECT_EQ(StepsToUnderflow(Cia1, CiaInterruptTimerA, 70000), 1);
  EXPECT_EQ(StepsToUnderflow(Cia1, CiaInterruptTimerA, 70000), 65536);
}

TEST(CiaTimer, OneShotStopsAtItsUnderflowAndRestartsWhenStartedAgain) {
  test::PowerOnMachine();
  StartTimer(Cia2, CiaControlA, 3, CiaControlOneShot);
  EXPECT_EQ(StepsToUnderflow(Cia2, CiaInterruptTimerA, 10), 4);
  EXPECT_EQ(MemRead(0xDD0E), CiaControlOneShot | CiaControlForceLoad) << "start bit cleared";
  EXPECT_EQ(StepsToUnderflow(Cia2, CiaInterruptTimerA, 100), -1);
  CiaWrite(Cia2, CiaControlA, CiaControlOneShot | CiaControlStart);
  EXPECT_EQ(StepsToUnderflow(Cia2, CiaInterruptTimerA, 10), 3);
  EXPECT_EQ(Cia2.TimerARunning, 0);
}

TEST(CiaTimer, TimerBCountsTimerAUnderflowsButUnderflowsOnlyWhileRunning) {
  test::PowerOnMachine();
  CiaWrite(Cia1, CiaInterruptControl, 0x83);
  CiaRead(Cia1, CiaInterruptControl);
  StartTimer(Cia1, CiaControlB, 3, CiaSourceTimerA);
  CiaWrite(Cia1, CiaControlB, CiaSourceTimerA);  // stopped, still counting timer A
  StartTimer(Cia1, CiaControlA, 2);
  for (int underflows = 1; underflows <= 4; ++underflows) {
    ASSERT_EQ(StepsToUnderflow(Cia1, CiaInterruptTimerA, 10), underflows == 1 ? 3 : 2);
    EXPECT_EQ(MemRead(0xDC06), static_cast<std::uint8_t>(3 - underflows));
  }
  EXPECT_EQ(Cia1.TimerBCounter, 0xFFFF);
  EXPECT_EQ(Cpu.IrqPending, 0) << "timer A's interrupts were acknowledged; B never fired";

  // Running, it underflows in the very step of every third timer A underflow.
  StartTimer(Cia1, CiaControlB, 3, CiaSourceTimerA);
  EXPECT_EQ(StepsToUnderflow(Cia1, CiaInterruptTimerB, 20), 6);
  EXPECT_EQ(StepsToUnderflow(Cia1, CiaInterruptTimerB, 20), 6);
  // Counting the unconnected CNT pin, it never moves.
  StartTimer(Cia1, CiaControlB, 3, 0x20);
  EXPECT_EQ(StepsToUnderflow(Cia1, CiaInterruptTimerB, 100), -1);
}

TEST(CiaTimer, InterruptFlagsMaskAndTheTwoInterruptLines) {
  test::PowerOnMachine();
  MemWrite(0xDC0D, 0x81);
  EXPECT_EQ(MemRead(0xDC1D), 0x81) << "written byte stands until read; registers repeat";
  EXPECT_EQ(MemRead(0xDC0D), 0x00);
  // A disabled underflow only adds its bit; an enabled one raises the IRQ and drops the rest.
  StartTimer(Cia1, CiaControlB, 0, CiaControlOneShot);
  CiaStep();
  EXPECT_EQ(Cia1.Registers[CiaInterruptControl], 0x02);
  StartTimer(Cia1, CiaControlA, 0, CiaControlOneShot);
  CiaStep();
  EXPECT_EQ(Cpu.IrqPending, 1);
  EXPECT_EQ(MemRead(0xDC0D), 0x81);
  EXPECT_EQ(Cpu.IrqPending, 0);
  Cpu.IrqPending = 1;  // the raster interrupt's; a flag read releases it all the same
  MemRead(0xDC0D);
  EXPECT_EQ(Cpu.IrqPending, 0);

  // Mask writes change only the sources written as 1; CIA2 drives the NMI instead.
  CiaWrite(Cia2, CiaInterruptControl, 0x9F);
  CiaWrite(Cia2, CiaInterruptControl, 0x7D);
  EXPECT_EQ(Cia2.InterruptMask, 0x02);
  StartTimer(Cia2, CiaControlB, 0, CiaControlOneShot);
  CiaStep();
  EXPECT_EQ(Cpu.NmiPending, 1);
  EXPECT_EQ(Cpu.IrqPending, 0);
  EXPECT_EQ(MemRead(0xDD0D), 0x82);
  EXPECT_EQ(Cpu.NmiPending, 0);
}

TEST(CiaPorts, KeyboardScanCombinesTheHeldKeysOfEverySelectedColumn) {
  test::PowerOnMachine();
  // RETURN (column 0, row 1), A (1, 2), D (2, 2) and SPACE (7, 4) held.
  KeyMatrix[0] = 0xFD;
  KeyMatrix[1] = KeyMatrix[2] = 0xFB;
  KeyMatrix[7] = 0xEF;
  MemWrite(0xDC01, 0x00);  // a byte written to port B plays no part
  const std::pair<std::uint8_t, std::uint8_t> scans[] = {
      {0xFE, 0xFD}, {0xFD, 0xFB}, {0xF9, 0xFB}, {0xFC, 0xF9},
      {0x7F, 0xEF}, {0x00, 0xE9}, {0xFF, 0xFF}, {0xF7, 0xFF}};
  for (auto [columns, rows] : scans) {
    MemWrite(0xDC00, columns);
    EXPECT_EQ(MemRead(0xDC01), rows) << "columns " << int(columns);
  }
  EXPECT_EQ(MemRead(0xDC01 + 0x30), 0xFF) << "the scan repeats through the page";
}

TEST(CiaPorts, JoystickShowsInPortABitsZeroToFourAndNotInTheKeyboardScan) {
  test::PowerOnMachine();
  HostKeyDown[VirtualKeyNumpad8] = HostKeyDown[VirtualKeyNumpad6] = HostKeyDown[VirtualKeyNumpad0] = 1;
  FollowHostKeys();
  EXPECT_EQ(JoystickRead(), 0x06) << "up, right and fire";
  MemWrite(0xDC00, 0x7F);
  EXPECT_EQ(MemRead(0xDC00), 0x66);
  EXPECT_EQ(Cia1.Registers[CiaPortA], 0x7F) << "the joystick is not stored";
  MemWrite(0xDC00, 0x00);
  EXPECT_EQ(MemRead(0xDC01), 0xFF);
}

TEST(CiaPorts, Cia2PortASelectsTheVideoBankAndReadsTheSerialLinesHigh) {
  test::PowerOnMachine();
  const std::pair<std::uint8_t, std::uint16_t> banks[] = {
      {0x03, 0x0000}, {0x02, 0x4000}, {0x01, 0x8000}, {0x00, 0xC000}, {0x97, 0x0000}};
  for (auto [value, bank] : banks) {
    MemWrite(0xDD00, value);
    EXPECT_EQ(Vic.BankBase, bank) << "port A " << int(value);
    EXPECT_EQ(MemRead(0xDD00), value | 0xC0);
  }
  MemWrite(0xDC00, 0x00);
  EXPECT_EQ(Vic.BankBase, 0x0000) << "CIA1's port A selects no bank";
}

}  // namespace
}  // namespace quillon
