// The instruction handlers, built from an addressing mode and an operation. A handler's first
// call performs the whole instruction (every bus access, the register and flag changes, the new
// PC) and learns its cycle count; the later calls only count until the instruction's last cycle.
#pragma once

#include <cstdint>

#include "core/memory.h"
#include "cpu/addressing.h"
#include "cpu/alu.h"
#include "cpu/cpu.h"
#include "cpu/stack.h"

namespace quillon::cpu_internal {

// A work function performs the instruction and returns its cycle count, fetch cycle included.
using InstructionWork = std::uint8_t (*)();

template <InstructionWork Work>
void Instruction() {
  if (Cpu.Cycle != 1) {
    if (Cpu.Cycle++ == Cpu.LastCycle) Cpu.Opcode = ServiceMarker;
    return;
  }
  const std::uint8_t cycles = Work();
  if (cycles == 2) {
    Cpu.Opcode = ServiceMarker;
    return;
  }
  Cpu.LastCycle = static_cast<std::uint8_t>(cycles - 1);
  Cpu.Cycle = 2;
}

inline void AdvancePC(std::uint16_t length) {
  Cpu.PC = static_cast<std::uint16_t>(Cpu.PC + length);
}

// --- Operations on a data operand -------------------------------------------------------------

template <class Mode, void (*Operation)(std::uint8_t), std::uint8_t Cycles,
          bool PageCrossCosts = Mode::PageCrossCosts>
std::uint8_t ReadWork() {
  const bool crossed = Mode::Resolve();
  Operation(MemRead(Cpu.EffectiveAddress));
  AdvancePC(Mode::Length);
  return static_cast<std::uint8_t>(Cycles + (PageCrossCosts && crossed ? 1 : 0));
}

template <std::uint8_t CpuState::*Register>
std::uint8_t RegisterValue() {
  return Cpu.*Register;
}

inline std::uint8_t AndOfAX() { return Cpu.A & Cpu.X; }

// Stores never read their target.
template <class Mode, std::uint8_t (*Value)(), std::uint8_t Cycles>
std::uint8_t StoreWork() {
  Mode::Resolve();
  MemWrite(Cpu.EffectiveAddress, Value());
  AdvancePC(Mode::Length);
  return Cycles;
}

// --- Read-modify-write ------------------------------------------------------------------------

template <class Mode, class Modify>
void ModifyMemory() {
  Mode::Resolve();
  const std::uint16_t address = Cpu.EffectiveAddress;
  const std::uint8_t first = MemRead(address);
  const std::uint8_t second = Modify::ReadsTwice ? MemRead(address) : first;
  MemWrite(address, Modify::Apply(first, second));
}

template <class Mode, class Modify, std::uint8_t Cycles>
std::uint8_t ModifyWork() {
  ModifyMemory<Mode, Modify>();
  AdvancePC(Mode::Length);
  return Cycles;
}

// The combined undocumented operations read their target once more after writing it and feed
// the byte read back to a second operation.
template <class Mode, class Modify, void (*Operation)(std::uint8_t), std::uint8_t Cycles>
std::uint8_t ModifyThenOperateWork() {
  ModifyMemory<Mode, Modify>();
  Operation(MemRead(Cpu.EffectiveAddress));
  AdvancePC(Mode::Length);
  return Cycles;
}

template <class Modify>
std::uint8_t AccumulatorWork() {
  Cpu.A = Modify::Apply(Cpu.A, Cpu.A);
  AdvancePC(1);
  return 2;
}

// --- Implied operations -----------------------------------------------------------------------

template <void (*Operation)()>
std::uint8_t ImpliedWork() {
  Operation();
  AdvancePC(1);
  return 2;
}

template <std::uint8_t Flag, bool On>
void ChangeFlag() {
  SetFlag(Flag, On);
}

template <std::uint8_t CpuState::*Source, std::uint8_t CpuState::*Destination>
void Transfer() {
  Load<Destination>(Cpu.*Source);
}

inline void TransferXToSP() { Cpu.SP = Cpu.X; }

template <std::uint8_t CpuState::*Register, std::uint8_t Delta>
void Step() {
  Load<Register>(static_cast<std::uint8_t>(Cpu.*Register + Delta));
}

// No access besides the fetch, no register or flag change; only the length differs.
template <std::uint16_t Length>
std::uint8_t NopWork() {
  AdvancePC(Length);
  return 2;
}

// --- Stack and control flow -------------------------------------------------------------------

inline std::uint8_t PushAWork() {
  Push(Cpu.A);
  AdvancePC(1);
  return 3;
}

inline std::uint8_t PushPWork() {
  Push(Cpu.P);
  AdvancePC(1);
  return 3;
}

inline std::uint8_t PullAWork() {
  Load<&CpuState::A>(Pull());
  AdvancePC(1);
  return 4;
}

// Bits 5 and 4 of the live status register are always set.
inline std::uint8_t PullPWork() {
  Cpu.P = Pull() | FlagUnused | FlagB;
  AdvancePC(1);
  return 4;
}

// The return address pushed is that of the JSR's last byte; the stack is written before the
// target is read.
inline std::uint8_t JsrWork() {
  const auto last = static_cast<std::uint16_t>(Cpu.PC + 2);
  Push(static_cast<std::uint8_t>(last >> 8));
  Push(static_cast<std::uint8_t>(last));
  Cpu.PC = OperandWord();
  return 6;
}

inline std::uint8_t RtsWork() {
  Cpu.PC = static_cast<std::uint16_t>(PullWord() + 1);
  return 6;
}

inline std::uint8_t RtiWork() {
  Cpu.P = Pull() | FlagUnused | FlagB;
  Cpu.PC = PullWord();
  return 6;
}

// BRK skips a padding byte and pushes the live status, B set.
inline std::uint8_t BrkWork() {
  EnterHandler(static_cast<std::uint16_t>(Cpu.PC + 2), Cpu.P, IrqVector);
  return 7;
}

inline std::uint8_t JmpAbsoluteWork() {
  Cpu.PC = OperandWord();
  return 3;
}

// The pointer's high byte comes from the same page: a pointer at $xxFF wraps to $xx00.
inline std::uint8_t JmpIndirectWork() {
  const std::uint16_t pointer = OperandWord();
  const std::uint8_t low = MemRead(pointer);
  const std::uint8_t high =
      MemRead(static_cast<std::uint16_t>((pointer & 0xFF00) | ((pointer + 1) & 0x00FF)));
  Cpu.PC = static_cast<std::uint16_t>(low | (high << 8));
  return 5;
}

// A branch steps over itself in its first call; when taken, its second call reads the offset
// and jumps. Three cycles for a taken branch, whatever page the target lies in.
template <std::uint8_t Flag, bool TakenWhenSet>
void Branch() {
  if (Cpu.Cycle == 1) {
    AdvancePC(2);
    if (((Cpu.P & Flag) != 0) != TakenWhenSet) {
      Cpu.Opcode = ServiceMarker;
      return;
    }
    Cpu.Cycle = 2;
    return;
  }
  const auto offset =
      static_cast<std::int8_t>(MemRead(static_cast<std::uint16_t>(Cpu.PC - 1)));
  AdvancePC(static_cast<std::uint16_t>(offset));
  Cpu.Opcode = ServiceMarker;
}

}  // namespace quillon::cpu_internal
