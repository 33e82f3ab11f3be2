// The CPU's view of the 64 KB address space: RAM with the ROMs and the I/O area banked over it
// by the processor port at $00/$01, and the I/O dispatch to the chips.
#pragma once

#include <cstdint>

#include "core/machine.h"

namespace quillon {

// The last byte the CPU wrote to $0001; MainRam[1] is what the port reads back.
extern std::uint8_t ProcessorPortLatch;
// What $DFFF returns next; every read of $DFFF complements it.
extern std::uint8_t IdToggle;

// The map as page tables, one pair per banking configuration (the port's low three bits), so
// that an access is a table look-up whatever wrote the port. A page reads or writes the host
// memory its entry points at; a null entry sends the access down the slow path: the I/O area,
// the port bytes at $00/$01 and the cartridge's write-protected ROM area.
struct MemoryMapState {
  const std::uint8_t* ReadPages[8][256];
  std::uint8_t* WritePages[8][256];
};
extern MemoryMapState MemoryMap;

// Points the page tables at the machine's RAM and ROM images; EmulatorInit calls it.
void BuildMemoryMap();

// The slow halves of MemRead and MemWrite.
std::uint8_t MemReadIo(std::uint16_t address);
void MemWriteSpecial(std::uint16_t address, std::uint8_t value);

inline std::uint8_t MemRead(std::uint16_t address) {
  const std::uint8_t* page = MemoryMap.ReadPages[MainRam[1] & 7][address >> 8];
  if (page != nullptr) [[likely]] return page[address & 0xFF];
  return MemReadIo(address);
}

inline void MemWrite(std::uint16_t address, std::uint8_t value) {
  std::uint8_t* page = MemoryMap.WritePages[MainRam[1] & 7][address >> 8];
  if (page != nullptr && address > 1) [[likely]] {
    page[address & 0xFF] = value;
    return;
  }
  MemWriteSpecial(address, value);
}

}  // namespace quillon
