// The per-step handler of every opcode value; $80 is the service step between instructions.
#pragma once

#include <array>

namespace quillon {

using OpcodeHandler = void (*)();

extern const std::array<OpcodeHandler, 256> OpcodeTable;

// Reset, IRQ, the address traps and NMI, then the fetch of the next opcode.
void ServiceStep();

}  // namespace quillon
