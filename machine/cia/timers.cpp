// Timers A and B of both CIAs: counted once per emulation step, or over many steps at once
// with each underflow still in its own step.
#include "cia/cia.h"

#include <algorithm>
#include <cstdint>

#include "core/machine.h"
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

constexpr std::uint64_t Never = UINT64_MAX;

// Steps up to and including the one in which a timer underflows, for a timer that counts
// steps; Never for one that stands or waits for timer A.
std::uint64_t StepsToUnderflowA(const CiaState& cia) {
  return cia.TimerARunning ? std::uint64_t{cia.TimerACounter} + 1 : Never;
}

std::uint64_t StepsToUnderflowB(const CiaState& cia) {
  if (!cia.TimerBRunning) return Never;
  // A running timer B at 0 underflows in its next step, whatever it counts.
  if (cia.TimerBCounter == 0) return 1;
  if ((cia.Registers[CiaControlB] & CiaControlBSource) == 0) {
    return std::uint64_t{cia.TimerBCounter} + 1;
  }
  // Counting timer A's underflows, it can only reach 0 in one of their steps.
  return Never;
}

std::uint64_t StepsToUnderflow(const CiaState& cia) {
  return std::min(StepsToUnderflowA(cia), StepsToUnderflowB(cia));
}

// Counts steps in which neither timer underflows: the counters only go down.
void CountQuietSteps(CiaState& cia, std::uint64_t steps) {
  if (steps == 0) return;
  if (cia.TimerARunning) {
    cia.TimerACounter = static_cast<std::uint16_t>(cia.TimerACounter - steps);
    cia.Registers[CiaTimerALow] = static_cast<std::uint8_t>(cia.TimerACounter);
  }
  if (cia.TimerBRunning && (cia.Registers[CiaControlB] & CiaControlBSource) == 0) {
    cia.TimerBCounter = static_cast<std::uint16_t>(cia.TimerBCounter - steps);
    cia.Registers[CiaTimerBLow] = static_cast<std::uint8_t>(cia.TimerBCounter);
  }
}

void StepChip(CiaState& cia, std::uint8_t& line) {
  CountTimerA(cia, line);
  CountTimerB(cia, line);
}

// Runs up to each underflow in one go and through its step one count at a time.
void AdvanceChip(CiaState& cia, std::uint8_t& line, std::uint64_t steps) {
  while (steps > 0) {
    const std::uint64_t next = std::min(StepsToUnderflow(cia), steps);
    CountQuietSteps(cia, next - 1);
    StepChip(cia, line);
    steps -= next;
  }
}

}  // namespace

std::uint64_t CiaClock = 0;

void CiaStep() {
  StepChip(Cia1, Cpu.IrqPending);
  StepChip(Cia2, Cpu.NmiPending);
}

void CiaAdvance(std::uint64_t steps) {
  // The chips drive different lines and never meet, so each can run its stretch alone.
  AdvanceChip(Cia1, Cpu.IrqPending, steps);
  AdvanceChip(Cia2, Cpu.NmiPending, steps);
}

void CiaCatchUp() {
  if (CiaClock >= CycleCounters.Clock) return;
  CiaAdvance(CycleCounters.Clock - CiaClock);
  CiaClock = CycleCounters.Clock;
}

std::uint64_t CiaNextEventStep() {
  const std::uint64_t steps = std::min(StepsToUnderflow(Cia1), StepsToUnderflow(Cia2));
  // The underflow happens in step CiaClock + steps - 1; the CPU sees it from the next step on.
  return steps == Never ? Never : CiaClock + steps;
}

}  // namespace quillon
