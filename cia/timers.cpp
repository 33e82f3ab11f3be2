// Timers A and B of both CIAs, counted once per emulation step.
#include "cia/cia.h"

#include "cpu/cpu.h"

namespace quillon {

namespace {

// An underflow flags its source in the interrupt register; an enabled source also raises the
// chip's line and leaves only bit 7 set before its own bit, so earlier flags are dropped.
void SignalUnderflow(CiaState& cia, std::uint8_t& line, std::uint8_t source) {
  if (cia.InterruptMask & source) {
    line = 1;
    cia.Registers[CiaInterruptControl] = CiaInterruptFired;
  }
  cia.Registers[CiaInterruptControl] |= source;
}

// A one-shot timer stops at its underflow and clears its start bit.
void StopIfOneShot(CiaState& cia, int control, std::uint8_t& running) {
  if (cia.Registers[control] & CiaControlOneShot) {
    cia.Registers[control] &= static_cast<std::uint8_t>(~CiaControlStart);
    running = 0;
  }
}

[[gnu::noinline]] void UnderflowTimerA(CiaState& cia, std::uint8_t& line) {
  cia.TimerACounter = cia.TimerALatch;
  cia.Registers[CiaTimerALow] = static_cast<std::uint8_t>(cia.TimerALatch);
  cia.Registers[CiaTimerAHigh] = static_cast<std::uint8_t>(cia.TimerALatch >> 8);
  StopIfOneShot(cia, CiaControlA, cia.TimerARunning);
  SignalUnderflow(cia, line, CiaInterruptTimerA);
  // Timer B in cascade mode counts this underflow, running or not.
  if ((cia.Registers[CiaControlB] & CiaControlBSource) == CiaSourceTimerA) {
    --cia.TimerBCounter;
    cia.Registers[CiaTimerBLow] = static_cast<std::uint8_t>(cia.TimerBCounter);
  }
}

[[gnu::noinline]] void UnderflowTimerB(CiaState& cia, std::uint8_t& line) {
  cia.TimerBCounter = cia.TimerBLatch;
  cia.Registers[CiaTimerBLow] = static_cast<std::uint8_t>(cia.TimerBLatch);
  cia.Registers[CiaTimerBHigh] = static_cast<std::uint8_t>(cia.TimerBLatch >> 8);
  StopIfOneShot(cia, CiaControlB, cia.TimerBRunning);
  SignalUnderflow(cia, line, CiaInterruptTimerB);
}

// Timer A decrements in the step of its underflow too, so it holds latch - 1 afterwards and
// underflows once every latch steps.
inline void CountTimerA(CiaState& cia, std::uint8_t& line) {
  if (!cia.TimerARunning) return;
  if (cia.TimerACounter == 0) [[unlikely]] UnderflowTimerA(cia, line);
  --cia.TimerACounter;
  cia.Registers[CiaTimerALow] = static_cast<std::uint8_t>(cia.TimerACounter);
}

// Timer B reloads instead of decrementing in its underflow step, so counting steps it
// underflows once every latch + 1 steps. Counting timer A underflows (or the CNT pin, which
// is not connected), it does not move here.
inline void CountTimerB(CiaState& cia, std::uint8_t& line) {
  if (!cia.TimerBRunning) return;
  if (cia.TimerBCounter == 0) [[unlikely]] {
    UnderflowTimerB(cia, line);
  } else if ((cia.Registers[CiaControlB] & CiaControlBSource) == 0) {
    --cia.TimerBCounter;
    cia.Registers[CiaTimerBLow] = static_cast<std::uint8_t>(cia.TimerBCounter);
  }
}

}  // namespace

void CiaStep() {
  CountTimerA(Cia1, Cpu.IrqPending);
  CountTimerB(Cia1, Cpu.IrqPending);
  CountTimerA(Cia2, Cpu.NmiPending);
  CountTimerB(Cia2, Cpu.NmiPending);
}

}  // namespace quillon
