#include "core/memory.h"

#include "cia/cia.h"
#include "core/machine.h"
#include "core/rom_images.h"
#include "media/cartridge.h"
#include "sid/sid.h"
#include "vic/vic.h"

namespace quillon {

std::uint8_t ProcessorPortLatch = 0;
std::uint8_t IdToggle = 0xAA;
DebugExitState DebugExit = {false, -1};

namespace {

// The identification block at $DFA0: two lines of ASCII text ended by a zero byte, zeros up to
// $DFFB, then the version bytes. $DFFF is the toggle and is answered separately.
constexpr char IdentificationText[] =
    "QUILLON, V0.98\r"
    "A C64 EMULATOR WRITTEN FROM SCRATCH. WIN 32 PORT THIRD BETA ";
static_assert(sizeof IdentificationText <= 0xDFFC - 0xDFA0, "text must end before $DFFC");

std::uint8_t ReadIdentificationBlock(std::uint16_t address) {
  const unsigned offset = address - 0xDFA0u;
  if (offset < sizeof IdentificationText) return static_cast<std::uint8_t>(IdentificationText[offset]);
  switch (address) {
    case 0xDFFC: return 0x98;  // version 0.98
    case 0xDFFD: return 0x00;
    case 0xDFFE: return 0x57;  // 'W'
    case 0xDFFF: {
      const std::uint8_t value = IdToggle;
      IdToggle = static_cast<std::uint8_t>(~IdToggle);
      return value;
    }
    default: return 0x00;
  }
}

std::uint8_t ReadIoArea(std::uint16_t address) {
  switch (address >> 8) {
    case 0xD0: case 0xD1: case 0xD2: case 0xD3:
      return VicRead(address & 0x3F);
    case 0xD4: case 0xD5: case 0xD6: case 0xD7:
      return SidRead(address & 0x1F);
    case 0xD8: case 0xD9: case 0xDA: case 0xDB:
      // Colour RAM has four data lines; the CPU reaches bytes 0-999 and the rest answer nothing.
      if (address <= 0xDBE7) return ColorRam[address & 0x3FF] & 0x0F;
      return 0xFF;
    case 0xDC:
      return CiaRead(Cia1, address & 0x0F);
    case 0xDD:
      return CiaRead(Cia2, address & 0x0F);
    default:
      if (address >= 0xDFA0) return ReadIdentificationBlock(address);
      return 0xFF;  // I/O 1 and the start of I/O 2 answer nothing
  }
}

void WriteIoArea(std::uint16_t address, std::uint8_t value) {
  switch (address >> 8) {
    case 0xD0: case 0xD1: case 0xD2: case 0xD3:
      VicWrite(address & 0x3F, value);
      return;
    case 0xD4: case 0xD5: case 0xD6: case 0xD7:
      if (address == DebugExitPort && DebugExit.Enabled) {
        DebugExit.Status = value;
        RequestRunStop();
      }
      SidWrite(address & 0x1F, value);
      return;
    case 0xD8: case 0xD9: case 0xDA: case 0xDB:
      if (address <= 0xDBE7) ColorRam[address & 0x3FF] = value & 0x0F;
      return;
    case 0xDC:
      CiaWrite(Cia1, address & 0x0F, value);
      return;
    case 0xDD:
      CiaWrite(Cia2, address & 0x0F, value);
      return;
    default:
      return;  // $DE00-$DFFF, the identification block included, take no writes
  }
}

// Output bits take the latch; input bits 0, 1, 2 and 4 are pulled up, input bit 5 (cassette
// motor) reads 0, and input bits 3, 6 and 7 keep what they had.
void UpdateProcessorPort() {
  const unsigned direction = MainRam[0];
  const unsigned previous = MainRam[1];
  MainRam[1] = static_cast<std::uint8_t>((previous & ~(direction | 0x20u)) |
                                         (ProcessorPortLatch & direction) |
                                         (~direction & 0x17u));
  SelectMemoryMap();
}

}  // namespace

MemoryMapState MemoryMap = {};
MemoryWatchState MemoryWatch = {};

namespace {

// The watched copy of every pair of tables: the map's entries, null in the watched pages.
void BuildWatchedTables() {
  for (unsigned port = 0; port < 8; ++port) {
    for (unsigned page = 0; page < 256; ++page) {
      const std::uint8_t watch = MemoryWatch.Pages[page];
      MemoryWatch.ReadPages[port][page] =
          (watch & MemoryWatchLoads) ? nullptr : MemoryMap.ReadPages[port][page];
      MemoryWatch.WritePages[port][page] =
          (watch & MemoryWatchStores) ? nullptr : MemoryMap.WritePages[port][page];
    }
  }
}

// The slow half of a write, after the watch.
void WriteSpecial(std::uint16_t address, std::uint8_t value) {
  ++BusSideEffects;
  if (CartridgeAttached && address >= 0x8000 && address <= 0x9FFF) return;
  if (address == 0x0000) {
    MainRam[0] = value;
    UpdateProcessorPort();
  } else if (address == 0x0001) {
    ProcessorPortLatch = value;
    UpdateProcessorPort();
  } else if ((address >> 12) == 0xD && (MainRam[1] & 7) > 4) {
    WriteIoArea(address, value);
  } else {
    MainRam[address] = value;
  }
}

// What the map's own table reads at `address`, through the I/O area when it has no page there.
std::uint8_t ReadMapped(std::uint16_t address, bool sideEffects) {
  const std::uint8_t* page = MemoryMap.ReadPages[MemoryMap.CurrentPort & 7][address >> 8];
  if (page != nullptr) return page[address & 0xFF];
  return IoRead(address, sideEffects);
}

}  // namespace

void BuildMemoryMap() {
  for (unsigned port = 0; port < 8; ++port) {
    const std::uint8_t** read = MemoryMap.ReadPages[port];
    std::uint8_t** write = MemoryMap.WritePages[port];
    for (unsigned page = 0; page < 256; ++page) {
      read[page] = MainRam + page * 256;
      write[page] = MainRam + page * 256;
    }
    for (unsigned page = 0xA0; page < 0xC0 && (port & 3) == 3; ++page) {
      read[page] = RomImages.Basic + (page - 0xA0) * 256;
    }
    for (unsigned page = 0xE0; page < 0x100 && (port & 2); ++page) {
      read[page] = RomImages.Kernal + (page - 0xE0) * 256;
    }
    for (unsigned page = 0xD0; page < 0xE0; ++page) {
      // The character ROM needs one of LORAM and HIRAM; the I/O area also needs CHAREN, and
      // only then do writes reach the chips instead of the RAM beneath.
      if ((port & 3) != 0) read[page] = (port & 4) ? nullptr : RomImages.Chargen + (page - 0xD0) * 256;
      if (port > 4) write[page] = nullptr;
    }
    // Whether a cartridge protects $8000-$9FFF is decided at each write.
    for (unsigned page = 0x80; page < 0xA0; ++page) write[page] = nullptr;
  }
  BuildWatchedTables();
  SelectMemoryMap();
}

void SelectMemoryMap() {
  const unsigned port = MainRam[1] & 7;
  MemoryMap.CurrentPort = MainRam[1];
  MemoryMap.CurrentReadPages =
      MemoryWatch.Active ? MemoryWatch.ReadPages[port] : MemoryMap.ReadPages[port];
  MemoryMap.CurrentWritePages =
      MemoryWatch.Active ? MemoryWatch.WritePages[port] : MemoryMap.WritePages[port];
}

void WatchMemory(const std::uint8_t* pages, void (*hook)(std::uint16_t, std::uint8_t, bool)) {
  bool any = false;
  for (unsigned page = 0; page < 256; ++page) {
    MemoryWatch.Pages[page] = pages != nullptr && hook != nullptr ? pages[page] : 0;
    any = any || MemoryWatch.Pages[page] != 0;
  }
  MemoryWatch.Active = any;
  MemoryWatch.Hook = any ? hook : nullptr;
  BuildWatchedTables();
  // Before the first power-on there is no map to choose from yet.
  if (MainRam != nullptr) SelectMemoryMap();
}

std::uint32_t BusSideEffects = 0;

std::uint8_t IoRead(std::uint16_t address, bool sideEffects) {
  if (sideEffects) return ReadIoArea(address);
  if (address == 0xDFFF) return IdToggle;
  switch (address >> 8) {
    case 0xDC: return CiaPeek(Cia1, address & 0x0F);
    case 0xDD: return CiaPeek(Cia2, address & 0x0F);
    default: return ReadIoArea(address);  // the other chips' reads change nothing
  }
}

void IoWrite(std::uint16_t address, std::uint8_t value) { WriteIoArea(address, value); }

std::uint8_t MemReadIo(std::uint16_t address) {
  ++BusSideEffects;
  if (!MemoryWatch.Active) [[likely]] return ReadIoArea(address);
  const std::uint8_t value = ReadMapped(address, true);
  if (MemoryWatch.Pages[address >> 8] & MemoryWatchLoads) MemoryWatch.Hook(address, value, false);
  return value;
}

std::uint8_t MemReadCodeSlow(std::uint16_t address) {
  ++BusSideEffects;
  return ReadMapped(address, true);
}

std::uint8_t MemPeek(std::uint16_t address) { return ReadMapped(address, false); }

std::uint8_t MemReadUnwatched(std::uint16_t address) {
  if (MemoryMap.ReadPages[MemoryMap.CurrentPort & 7][address >> 8] == nullptr) ++BusSideEffects;
  return ReadMapped(address, true);
}

void MemWriteUnwatched(std::uint16_t address, std::uint8_t value) {
  std::uint8_t* page = MemoryMap.WritePages[MemoryMap.CurrentPort & 7][address >> 8];
  if (page != nullptr && address > 1) {
    if (page[address & 0xFF] != value) ++BusSideEffects;
    page[address & 0xFF] = value;
    return;
  }
  WriteSpecial(address, value);
}

void MemWriteSpecial(std::uint16_t address, std::uint8_t value) {
  WriteSpecial(address, value);
  if (MemoryWatch.Active && (MemoryWatch.Pages[address >> 8] & MemoryWatchStores)) [[unlikely]] {
    MemoryWatch.Hook(address, value, true);
  }
}

}  // namespace quillon
