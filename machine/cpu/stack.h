// The stack in page one, and the entry into a handler shared by BRK, IRQ and NMI.
#pragma once

#include <cstdint>

#include "core/memory.h"
#include "cpu/cpu.h"

namespace quillon::cpu_internal {

inline void Push(CpuRegisters& r, std::uint8_t value) {
  MemWrite(static_cast<std::uint16_t>(0x0100 | r.SP), value);
  --r.SP;
}

inline std::uint8_t Pull(CpuRegisters& r) {
  ++r.SP;
  return MemRead(static_cast<std::uint16_t>(0x0100 | r.SP));
}

inline std::uint16_t PullWord(CpuRegisters& r) {
  const std::uint8_t low = Pull(r);
  const std::uint8_t high = Pull(r);
  return static_cast<std::uint16_t>(low | (high << 8));
}

// Pushes the return address (high byte first) and the status copy, sets I (D stays) and
// continues at the vector's target, read through the bus.
inline void EnterHandler(CpuRegisters& r, std::uint16_t returnAddress,
                         std::uint8_t pushedStatus, std::uint16_t vector) {
  Push(r, static_cast<std::uint8_t>(returnAddress >> 8));
  Push(r, static_cast<std::uint8_t>(returnAddress));
  Push(r, pushedStatus);
  r.P |= FlagI;
  r.PC = MemReadWord(vector);
}

inline constexpr std::uint16_t NmiVector = 0xFFFA;
inline constexpr std::uint16_t IrqVector = 0xFFFE;

}  // namespace quillon::cpu_internal
