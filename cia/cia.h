// The two 6526 CIAs: timers, interrupt registers, the keyboard scan, the joystick and the
// VIC-II bank selection.
#pragma once

#include <cstdint>

namespace quillon {

struct CiaState {
  std::uint8_t Registers[16];
  std::uint16_t TimerACounter;
  std::uint16_t TimerBCounter;
  std::uint16_t TimerALatch;
  std::uint16_t TimerBLatch;
  std::uint8_t TimerARunning;
  std::uint8_t TimerBRunning;
  std::uint8_t InterruptMask;
};
extern CiaState Cia1;  // $DC00: keyboard, joystick, IRQ
extern CiaState Cia2;  // $DD00: VIC-II bank, NMI

// Counts every running timer of both chips once.
void CiaStep();
std::uint8_t CiaRead(CiaState& cia, std::uint8_t index);
void CiaWrite(CiaState& cia, std::uint8_t index, std::uint8_t value);

// Zeroes both register files and stops all four timers; counters, latches and masks stay.
void CiaHardReset();

}  // namespace quillon
