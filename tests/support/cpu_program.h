// Helpers that run small machine-code programs instruction by instruction on the real CPU.
#pragma once

#include <cstdint>
#include <initializer_list>

namespace quillon::test {

// Powers the machine on, puts `code` into RAM at `address` and leaves the CPU at its service
// step, about to fetch the first byte.
void StartProgram(std::uint16_t address, std::initializer_list<std::uint8_t> code);

// Runs one instruction through CpuExecute, from its service step (interrupt entry and fetch) to
// its last cycle; returns the number of calls, which is its cycle count.
int RunInstruction();

}  // namespace quillon::test
