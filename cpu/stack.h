// The stack in page one, and the entry into a handler shared by BRK, IRQ and NMI.
#pragma once

#include <cstdint>

#include "core/memory.h"
#include "cpu/cpu.h"

namespace quillon::cpu_internal {

inline void Push(std::uint8_t value) {
  MemWrite(static_cast<std::uint16_t>(0x0100 | Cpu.SP), value);
  --Cpu.SP;
}

inline std::uint8_t Pull() {
  ++Cpu.SP;
  return MemRead(static_cast<std::uint16_t>(0x0100 | Cpu.SP));
}

inline std::uint16_t PullWord() {
  const std::uint8_t low = Pull();
  const std::uint8_t high = Pull();
  return static_cast<std::uint16_t>(low | (high << 8));
}

// Pushes the return address (high byte first) and the status copy, sets I (D stays) and
// continues at the vector's target, read through the bus.
inline void EnterHandler(std::uint16_t returnAddress, std::uint8_t pushedStatus,
                         std::uint16_t vector) {
  Push(static_cast<std::uint8_t>(returnAddress >> 8));
  Push(static_cast<std::uint8_t>(returnAddress));
  Push(pushedStatus);
  Cpu.P |= FlagI;
  Cpu.PC = MemReadWord(vector);
}

inline constexpr std::uint16_t NmiVector = 0xFFFA;
inline constexpr std::uint16_t IrqVector = 0xFFFE;

}  // namespace quillon::cpu_internal
