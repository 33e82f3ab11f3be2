#include "support/cpu_program.h"

#include "core/machine.h"
#include "cpu/cpu.h"
#include "support/machine.h"

namespace quillon::test {

void StartProgram(std::uint16_t address, std::initializer_list<std::uint8_t> code) {
  PowerOnMachine();
  for (std::uint8_t byte : code) MainRam[address++] = byte;
  Cpu.PC = static_cast<std::uint16_t>(address - code.size());
}

int RunInstruction() {
  int cycles = 0;
  do {
    CpuExecute();
    ++cycles;
  } while (Cpu.Opcode != ServiceMarker);
  return cycles;
}

}  // namespace quillon::test
