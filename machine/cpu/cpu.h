// The 6510: registers, the cycle step and the service step between instructions.
#pragma once

#include <cstdint>

#include "core/memory.h"
#include "core/rom_images.h"
#include "interface/status_flags.h"

namespace quillon {

// Opcode value that means "the next call is the service step". A fetched $80 is stored as
// $82, which behaves the same.
inline constexpr std::uint8_t ServiceMarker = 0x80;

// The eight conditional branches, $10, $30 ... $F0: the only instructions whose work is split
// over two calls (a taken branch reads its offset in the second).
inline constexpr bool IsBranchOpcode(std::uint8_t opcode) { return (opcode & 0x1F) == 0x10; }

// The registers an instruction works on. The fast path keeps a copy of them in host registers
// while it runs instructions back to back, so the instructions are written against this part.
struct CpuRegisters {
  std::uint8_t A;
  std::uint8_t X;
  std::uint8_t Y;
  std::uint8_t SP;
  std::uint8_t P;
  std::uint16_t PC;
  std::uint16_t EffectiveAddress;
};

struct CpuState : CpuRegisters {
  std::uint8_t Opcode;
  std::uint8_t Cycle;
  std::uint8_t LastCycle;  // the value of Cycle in the instruction's final call
  std::uint8_t IrqPending;
  std::uint8_t NmiPending;
  int ResetRequest;
};

// The start values are constant-initialised, so the program counter holds the built-in
// KERNAL's reset vector before any other initialisation or ROM file can run.
inline constexpr CpuState CpuPowerOnState = {
    {.A = 0, .X = 0, .Y = 0, .SP = 0xFF, .P = 0x30, .PC = BuiltinKernalResetVector,
     .EffectiveAddress = 0},
    /* Opcode */ ServiceMarker,
    /* Cycle */ 0,
    /* LastCycle */ 0,
    /* IrqPending */ 0,
    /* NmiPending */ 0,
    /* ResetRequest */ 0};
extern CpuState Cpu;

// The processor's fields in a snapshot, in both directions (see interface/snapshot_stream.h).
template <class Stream>
void CpuStateFields(Stream& s, CpuState& cpu) {
  s.Field(cpu.A);
  s.Field(cpu.X);
  s.Field(cpu.Y);
  s.Field(cpu.SP);
  s.Field(cpu.P);
  s.Field(cpu.PC);
  s.Field(cpu.EffectiveAddress);
  s.Field(cpu.Opcode);
  s.Field(cpu.Cycle);
  s.Field(cpu.LastCycle);
  s.Flag(cpu.IrqPending);
  s.Flag(cpu.NmiPending);
  s.Flag(cpu.ResetRequest);
}

// Whether the processor stands where the per-step handlers can go on from: at a service step,
// at an instruction's main call, at a taken branch's second call, or among an instruction's
// idle calls, of which there are at most seven.
bool CpuStepIsValid(const CpuState& cpu);

// While set, called at every opcode fetch, right after it: the registers are as the fetched
// instruction finds them and CycleCounters.Clock is the fetch's step. The fast path then sends
// every service step through ServiceStep; unset, it costs one test of a value held in a host
// register per instruction.
using FetchObserverFunction = void (*)();
extern FetchObserverFunction FetchObserver;

// One clock cycle of the processor.
void CpuExecute();

// Little-endian word through the bus; the high byte is read first, address + 1 wraps at 64 KB.
[[gnu::always_inline]] inline std::uint16_t MemReadWord(std::uint16_t address) {
  const std::uint8_t high = MemRead(static_cast<std::uint16_t>(address + 1));
  const std::uint8_t low = MemRead(address);
  return static_cast<std::uint16_t>(low | (high << 8));
}

// The fast path's half of the processor: runs whole instructions from a service step on, each
// only while its service step and main call both come before `deadline`, which it reads again
// after every instruction (an instruction's timer write may move it). The idle calls of the
// last instruction are passed up to the deadline, so the CPU may stop in the middle of one.
// Advances CycleCounters.Clock by the steps it ran.
void CpuRunUntil(const std::uint64_t& deadline);
// Forgets the idle loop that CpuRunUntil watches for: the host calls it before every run, since
// between runs it may change memory and registers behind the bus's back.
void CpuForgetLoop();

}  // namespace quillon
