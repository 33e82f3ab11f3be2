// The instructions, built from an addressing mode and an operation. An instruction's work
// performs the whole instruction at once on the registers it is given (every bus access, the
// register and flag changes, the new PC) and returns its cycle count, fetch cycle included.
// The per-step handlers spread that count over their calls; the fast path adds it to the clock.
#pragma once

#include <cstdint>
#include <type_traits>

#include "core/memory.h"
#include "cpu/addressing.h"
#include "cpu/alu.h"
#include "cpu/cpu.h"
#include "cpu/stack.h"

namespace quillon::cpu_internal {

using InstructionWork = std::uint8_t (*)(CpuRegisters& r);

inline void AdvancePC(CpuRegisters& r, std::uint16_t length) {
  r.PC = static_cast<std::uint16_t>(r.PC + length);
}

// --- Operations on a data operand -------------------------------------------------------------

// An immediate operand is part of the instruction stream; every other operand is data.
template <class Mode, void (*Operation)(CpuRegisters&, std::uint8_t), std::uint8_t Cycles,
          bool PageCrossCosts = Mode::PageCrossCosts>
std::uint8_t ReadWork(CpuRegisters& r) {
  const bool crossed = Mode::Resolve(r);
  Operation(r, std::is_same_v<Mode, Immediate> ? MemReadCode(r.EffectiveAddress)
                                                : MemRead(r.EffectiveAddress));
  AdvancePC(r, Mode::Length);
  return static_cast<std::uint8_t>(Cycles + (PageCrossCosts && crossed ? 1 : 0));
}

template <std::uint8_t CpuRegisters::*Register>
std::uint8_t RegisterValue(const CpuRegisters& r) {
  return r.*Register;
}

inline std::uint8_t AndOfAX(const CpuRegisters& r) { return r.A & r.X; }

// Stores never read their target.
template <class Mode, std::uint8_t (*Value)(const CpuRegisters&), std::uint8_t Cycles>
std::uint8_t StoreWork(CpuRegisters& r) {
  Mode::Resolve(r);
  MemWrite(r.EffectiveAddress, Value(r));
  AdvancePC(r, Mode::Length);
  return Cycles;
}

// --- Read-modify-write ------------------------------------------------------------------------

template <class Mode, class Modify>
void ModifyMemory(CpuRegisters& r) {
  Mode::Resolve(r);
  const std::uint16_t address = r.EffectiveAddress;
  const std::uint8_t first = MemRead(address);
  const std::uint8_t second = Modify::ReadsTwice ? MemRead(address) : first;
  MemWrite(address, Modify::Apply(r, first, second));
}

template <class Mode, class Modify, std::uint8_t Cycles>
std::uint8_t ModifyWork(CpuRegisters& r) {
  ModifyMemory<Mode, Modify>(r);
  AdvancePC(r, Mode::Length);
  return Cycles;
}

// The combined undocumented operations read their target once more after writing it and feed
// the byte read back to a second operation.
template <class Mode, class Modify, void (*Operation)(CpuRegisters&, std::uint8_t),
          std::uint8_t Cycles>
std::uint8_t ModifyThenOperateWork(CpuRegisters& r) {
  ModifyMemory<Mode, Modify>(r);
  Operation(r, MemRead(r.EffectiveAddress));
  AdvancePC(r, Mode::Length);
  return Cycles;
}

template <class Modify>
std::uint8_t AccumulatorWork(CpuRegisters& r) {
  r.A = Modify::Apply(r, r.A, r.A);
  AdvancePC(r, 1);
  return 2;
}

// --- Implied operations -----------------------------------------------------------------------

template <void (*Operation)(CpuRegisters&)>
std::uint8_t ImpliedWork(CpuRegisters& r) {
  Operation(r);
  AdvancePC(r, 1);
  return 2;
}

template <std::uint8_t Flag, bool On>
void ChangeFlag(CpuRegisters& r) {
  SetFlag(r, Flag, On);
}

template <std::uint8_t CpuRegisters::*Source, std::uint8_t CpuRegisters::*Destination>
void Transfer(CpuRegisters& r) {
  Load<Destination>(r, r.*Source);
}

inline void TransferXToSP(CpuRegisters& r) { r.SP = r.X; }

template <std::uint8_t CpuRegisters::*Register, std::uint8_t Delta>
void Step(CpuRegisters& r) {
  Load<Register>(r, static_cast<std::uint8_t>(r.*Register + Delta));
}

// No access besides the fetch, no register or flag change; only the length differs.
template <std::uint16_t Length>
std::uint8_t NopWork(CpuRegisters& r) {
  AdvancePC(r, Length);
  return 2;
}

// --- Stack and control flow -------------------------------------------------------------------

inline std::uint8_t PushAWork(CpuRegisters& r) {
  Push(r, r.A);
  AdvancePC(r, 1);
  return 3;
}

inline std::uint8_t PushPWork(CpuRegisters& r) {
  Push(r, r.P);
  AdvancePC(r, 1);
  return 3;
}

inline std::uint8_t PullAWork(CpuRegisters& r) {
  Load<&CpuRegisters::A>(r, Pull(r));
  AdvancePC(r, 1);
  return 4;
}

// Bits 5 and 4 of the live status register are always set.
inline std::uint8_t PullPWork(CpuRegisters& r) {
  r.P = Pull(r) | FlagUnused | FlagB;
  AdvancePC(r, 1);
  return 4;
}

// The return address pushed is that of the JSR's last byte; the stack is written before the
// target is read.
inline std::uint8_t JsrWork(CpuRegisters& r) {
  const auto last = static_cast<std::uint16_t>(r.PC + 2);
  Push(r, static_cast<std::uint8_t>(last >> 8));
  Push(r, static_cast<std::uint8_t>(last));
  r.PC = OperandWord(r);
  return 6;
}

inline std::uint8_t RtsWork(CpuRegisters& r) {
  r.PC = static_cast<std::uint16_t>(PullWord(r) + 1);
  return 6;
}

inline std::uint8_t RtiWork(CpuRegisters& r) {
  r.P = Pull(r) | FlagUnused | FlagB;
  r.PC = PullWord(r);
  return 6;
}

// BRK skips a padding byte and pushes the live status, B set.
inline std::uint8_t BrkWork(CpuRegisters& r) {
  EnterHandler(r, static_cast<std::uint16_t>(r.PC + 2), r.P, IrqVector);
  return 7;
}

inline std::uint8_t JmpAbsoluteWork(CpuRegisters& r) {
  r.PC = OperandWord(r);
  return 3;
}

// The pointer's high byte comes from the same page: a pointer at $xxFF wraps to $xx00.
inline std::uint8_t JmpIndirectWork(CpuRegisters& r) {
  const std::uint16_t pointer = OperandWord(r);
  const std::uint8_t low = MemRead(pointer);
  const std::uint8_t high =
      MemRead(static_cast<std::uint16_t>((pointer & 0xFF00) | ((pointer + 1) & 0x00FF)));
  r.PC = static_cast<std::uint16_t>(low | (high << 8));
  return 5;
}

// A branch steps over itself in its first call and ends there when not taken (2 cycles). A
// taken branch reads its offset and jumps in its second call: 3 cycles, whatever page the
// target lies in.
inline constexpr std::uint8_t TakenBranchCycles = 3;

template <std::uint8_t Flag, bool TakenWhenSet>
std::uint8_t BranchWork(CpuRegisters& r) {
  AdvancePC(r, 2);
  return ((r.P & Flag) != 0) == TakenWhenSet ? TakenBranchCycles : 2;
}

inline void TakeBranch(CpuRegisters& r) {
  const auto offset = static_cast<std::int8_t>(MemReadCode(static_cast<std::uint16_t>(r.PC - 1)));
  AdvancePC(r, static_cast<std::uint16_t>(offset));
}

}  // namespace quillon::cpu_internal
