// The 6510: registers, the cycle step and the service step between instructions.
#pragma once

#include <cstdint>

#include "core/rom_images.h"

namespace quillon {

// Opcode value that means "the next call is the service step". A fetched $80 is stored as
// $82, which behaves the same.
inline constexpr std::uint8_t ServiceMarker = 0x80;

inline constexpr std::uint8_t FlagN = 0x80;
inline constexpr std::uint8_t FlagV = 0x40;
inline constexpr std::uint8_t FlagUnused = 0x20;
inline constexpr std::uint8_t FlagB = 0x10;
inline constexpr std::uint8_t FlagD = 0x08;
inline constexpr std::uint8_t FlagI = 0x04;
inline constexpr std::uint8_t FlagZ = 0x02;
inline constexpr std::uint8_t FlagC = 0x01;

struct CpuState {
  std::uint8_t A;
  std::uint8_t X;
  std::uint8_t Y;
  std::uint8_t SP;
  std::uint8_t P;
  std::uint16_t PC;
  std::uint8_t Opcode;
  std::uint8_t Cycle;
  std::uint16_t EffectiveAddress;
  std::uint8_t LastCycle;  // the value of Cycle in the instruction's final call
  std::uint8_t IrqPending;
  std::uint8_t NmiPending;
  int ResetRequest;
};

// The start values are constant-initialised, so the program counter holds the built-in
// KERNAL's reset vector before any other initialisation or ROM file can run.
inline constexpr CpuState CpuPowerOnState = {
    .A = 0, .X = 0, .Y = 0, .SP = 0xFF, .P = 0x30, .PC = BuiltinKernalResetVector,
    .Opcode = ServiceMarker, .Cycle = 0, .EffectiveAddress = 0, .LastCycle = 0,
    .IrqPending = 0, .NmiPending = 0, .ResetRequest = 0};
extern CpuState Cpu;

// One clock cycle of the processor.
void CpuExecute();

// Little-endian word through the bus; the high byte is read first, address + 1 wraps at 64 KB.
std::uint16_t MemReadWord(std::uint16_t address);

}  // namespace quillon
