// The trace view: two text rows over the top of the picture with the instruction at the
// program counter, its disassembly, the status flags, the stack pointer and the registers.
#pragma once

#include <cstdint>

namespace quillon {

// Reads the instruction bytes through the CPU's own read path.
void DrawTraceView(std::uint16_t pc, std::uint8_t a, std::uint8_t x, std::uint8_t y,
                   std::uint8_t p, std::uint8_t sp);

}  // namespace quillon
