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

// A monitor's watch of the processor's data accesses makes the pages it watches null in the
// tables in use, so that only their accesses take the bus's slow path; the map's own tables stay
// at hand as PlainReads and PlainWrites.
class MemoryMap {
 public:
  // Points the tables at `ram` and the ROMs; while `cartridgeRom` the writes to $8000-$9FFF
  // are dropped.
  void Build(std::uint8_t* ram, const RomSet& roms, bool cartridgeRom);
  // The port's memory lines (CHAREN | HIRAM | LORAM) choose the tables in use.
  void Select(std::uint8_t lines) {
    Lines = lines & 7;
    PlainReads = ReadPages[Lines];
    PlainWrites = WritePages[Lines];
    Reads = Watching ? WatchedReadPages[Lines] : PlainReads;
    Writes = Watching ? WatchedWritePages[Lines] : PlainWrites;
  }
  // Watches the pages marked in `pages` (256 entries of WatchLoads and WatchStores); null
  // watches none.
  void Watch(const std::uint8_t* pages);
  // What the watch asks of a page.
  std::uint8_t Watched(std::uint16_t address) const { return WatchPages[address >> 8]; }

  const std::uint8_t* const* Reads = nullptr;
  std::uint8_t* const* Writes = nullptr;
  const std::uint8_t* const* PlainReads = nullptr;
  std::uint8_t* const* PlainWrites = nullptr;

 private:
  void BuildWatched();

  const std::uint8_t* ReadPages[8][256] = {};
  std::uint8_t* WritePages[8][256] = {};
  bool Watching = false;
  std::uint8_t Lines = 0;
  std::uint8_t WatchPages[256] = {};
  const std::uint8_t* WatchedReadPages[8][256] = {};
  std::uint8_t* WatchedWritePages[8][256] = {};
};

}  // namespace quillon::accurate
