#include "cpu/cpu.h"

#include "core/memory.h"

namespace quillon {

CpuState Cpu = CpuPowerOnState;

std::uint16_t MemReadWord(std::uint16_t address) {
  const std::uint8_t high = MemRead(static_cast<std::uint16_t>(address + 1));
  const std::uint8_t low = MemRead(address);
  return static_cast<std::uint16_t>(low | (high << 8));
}

void CpuExecute() {}

}  // namespace quillon
