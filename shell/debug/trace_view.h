// The trace view: two text rows over the top of the picture with the instruction at the
// program counter, its disassembly, the status flags, the stack pointer and the registers.
#pragma once

#include "interface/machine.h"

namespace quillon {

// Reads the instruction bytes from the machine without side effects.
void DrawTraceView(const CpuRegisterFile& registers);

}  // namespace quillon
