// The handler of every opcode value; $80 is the service step between instructions.
#pragma once

namespace quillon {

using OpcodeHandler = void (*)();

extern const OpcodeHandler OpcodeTable[256];

// Reset, IRQ, the $FCE2 trap and NMI, then the fetch of the next opcode.
void ServiceStep();

}  // namespace quillon
