// The CPU's view of the 64 KB address space: RAM with the ROMs and the I/O area banked over it
// by the processor port at $00/$01, and the I/O dispatch to the chips.
#pragma once

#include <cstdint>

namespace quillon {

// The last byte the CPU wrote to $0001; MainRam[1] is what the port reads back.
extern std::uint8_t ProcessorPortLatch;
// What $DFFF returns next; every read of $DFFF complements it.
extern std::uint8_t IdToggle;

std::uint8_t MemRead(std::uint16_t address);
void MemWrite(std::uint16_t address, std::uint8_t value);

}  // namespace quillon
