// A monitor's views of memory (MemoryBank) on either model, over the machine's own ways to reach
// it, so that both map the views alike. `Bus` gives:
//   std::uint8_t* Ram()                         the 64 KB of RAM
//   std::uint8_t* ColorRam(), ColorRamBytes     colour RAM, and how much of it $D800 on reaches
//   Peek(a), ReadUnwatched(a)                   the processor's view, without and with effects
//   WriteUnwatched(a, v)                        a write as the processor makes it
//   IoPeek(a), IoRead(a), IoWrite(a, v)         the I/O area whatever the banking
//   CpuSeesIo(a)                                whether the processor's view shows the I/O
//                                               area at a now
// Accesses with effects are never heard by a monitor's watch: the monitor makes them itself.
#pragma once

#include <cstdint>

#include "core/rom_images.h"
#include "interface/machine.h"

namespace quillon {

inline bool InIoArea(std::uint16_t address) { return address >= 0xD000 && address < 0xE000; }

template <class Bus>
std::uint8_t ReadBank(const Bus& bus, MemoryBank bank, std::uint16_t address, bool sideEffects) {
  switch (bank) {
    case MemoryBank::Ram:
      return bus.Ram()[address];
    case MemoryBank::Rom: {
      const std::uint8_t* rom = RomImageAt(address);
      return rom != nullptr ? *rom : bus.Ram()[address];
    }
    case MemoryBank::Io:
      if (InIoArea(address)) return sideEffects ? bus.IoRead(address) : bus.IoPeek(address);
      break;
    case MemoryBank::CpuView:
      break;
  }
  return sideEffects ? bus.ReadUnwatched(address) : bus.Peek(address);
}

template <class Bus>
void WriteBank(const Bus& bus, MemoryBank bank, std::uint16_t address, std::uint8_t value,
               bool sideEffects) {
  constexpr std::uint16_t ColorRamStart = 0xD800;
  const bool io = bank == MemoryBank::Io ? InIoArea(address)
                                         : bank == MemoryBank::CpuView && bus.CpuSeesIo(address);
  if (bank == MemoryBank::Io && io && sideEffects) {
    bus.IoWrite(address, value);
  } else if ((bank == MemoryBank::CpuView || bank == MemoryBank::Io) && sideEffects) {
    bus.WriteUnwatched(address, value);
  } else if (io) {
    // Without side effects the chips' registers take nothing; colour RAM is memory.
    if (address >= ColorRamStart && address < ColorRamStart + Bus::ColorRamBytes) {
      bus.ColorRam()[address & 0x3FF] = value & 0x0F;
    }
  } else if (bank == MemoryBank::Ram || address > 1) {
    // The processor port at 0 and 1 takes no write without its effects: only the Ram bank
    // writes the bytes there.
    bus.Ram()[address] = value;
  }
}

}  // namespace quillon
