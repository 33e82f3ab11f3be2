#include "accurate/memory_map.h"

#include "accurate/processor_port.h"
#include "interface/machine.h"

namespace quillon::accurate {

// BASIC needs LORAM and HIRAM, the KERNAL HIRAM; $D000-$DFFF holds the character ROM, or with
// CHAREN the I/O area, when either of LORAM and HIRAM is set, and RAM otherwise. Writes to a ROM
// go to the RAM beneath.
void MemoryMap::Build(std::uint8_t* ram, const RomSet& roms, bool cartridgeRom) {
  for (unsigned lines = 0; lines < 8; ++lines) {
    const std::uint8_t** read = ReadPages[lines];
    std::uint8_t** write = WritePages[lines];
    const bool loram = (lines & PortLoram) != 0;
    const bool hiram = (lines & PortHiram) != 0;
    const bool charen = (lines & PortCharen) != 0;
    for (unsigned page = 0; page < 256; ++page) {
      read[page] = ram + page * 256;
      write[page] = ram + page * 256;
    }
    for (unsigned page = 0xA0; page < 0xC0 && loram && hiram; ++page) {
      read[page] = roms.Basic + (page - 0xA0) * 256;
    }
    for (unsigned page = 0xE0; page < 0x100 && hiram; ++page) {
      read[page] = roms.Kernal + (page - 0xE0) * 256;
    }
    for (unsigned page = 0xD0; page < 0xE0 && (loram || hiram); ++page) {
      read[page] = charen ? nullptr : roms.Chargen + (page - 0xD0) * 256;
      if (charen) write[page] = nullptr;
    }
    for (unsigned page = 0x80; page < 0xA0 && cartridgeRom; ++page) write[page] = nullptr;
  }
  BuildWatched();
  Select(Lines);
}

void MemoryMap::Watch(const std::uint8_t* pages) {
  Watching = false;
  for (unsigned page = 0; page < 256; ++page) {
    WatchPages[page] = pages != nullptr ? pages[page] : 0;
    Watching = Watching || WatchPages[page] != 0;
  }
  BuildWatched();
  Select(Lines);
}

void MemoryMap::BuildWatched() {
  for (unsigned lines = 0; lines < 8; ++lines) {
    for (unsigned page = 0; page < 256; ++page) {
      const std::uint8_t watch = WatchPages[page];
      WatchedReadPages[lines][page] = (watch & WatchLoads) ? nullptr : ReadPages[lines][page];
      WatchedWritePages[lines][page] = (watch & WatchStores) ? nullptr : WritePages[lines][page];
    }
  }
}

}  // namespace quillon::accurate
