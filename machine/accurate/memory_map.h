// The PLA's banking as the processor sees it, as page tables: one pair for each state of the
// processor port's LORAM, HIRAM and CHAREN lines (with no cartridge lines low, the only other
// inputs). A page reads or writes the host memory its entry points at; a null entry is the I/O
// area, or a write that a cartridge's ROM area drops. Page zero holds the port at $00/$01, which
// the bus tests for itself.
#pragma once

#include <cstdint>

namespace quillon::accurate {

struct RomSet {
  const std::uint8_t* Basic;    // 8 KB at $A000
  const std::uint8_t* Kernal;   // 8 KB at $E000
  const std::uint8_t* Chargen;  // 4 KB at $D000
};

class MemoryMap {
 public:
  // Points the tables at `ram` and the ROMs; while `cartridgeRom` the writes to $8000-$9FFF
  // are dropped.
  void Build(std::uint8_t* ram, const RomSet& roms, bool cartridgeRom);
  // The port's memory lines (CHAREN | HIRAM | LORAM) choose the tables in use.
  void Select(std::uint8_t lines) {
    Reads = ReadPages[lines & 7];
    Writes = WritePages[lines & 7];
  }

  const std::uint8_t* const* Reads = nullptr;
  std::uint8_t* const* Writes = nullptr;

 private:
  const std::uint8_t* ReadPages[8][256] = {};
  std::uint8_t* WritePages[8][256] = {};
};

}  // namespace quillon::accurate
