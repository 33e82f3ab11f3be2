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

// The debug exit port at $D7FF, the last byte of the SID's mirrors. While Enabled, a write there
// ends the run after the writing instruction and its byte becomes the exit status, as test
// programs for C64 emulators expect; otherwise it is the SID register it always was.
inline constexpr std::uint16_t DebugExitPort = 0xD7FF;
struct DebugExitState {
  bool Enabled;
  std::int32_t Status;  // the byte written, -1 until a write
};
extern DebugExitState DebugExit;

// The map as page tables, one pair per banking configuration (the port's low three bits). A
// page reads or writes the host memory its entry points at; a null entry sends the access down
// the slow path: the I/O area, the port bytes at $00/$01 and the cartridge's write-protected
// ROM area. The pair in use is kept at hand, chosen for the port value CurrentPort, so that an
// access never waits for the port byte: the CPU's own port writes choose again at once, and
// every run of the machine starts by checking the port for writes from outside the CPU (the
// loaders write RAM directly, and may write $0001).
struct MemoryMapState {
  const std::uint8_t* ReadPages[8][256];
  std::uint8_t* WritePages[8][256];
  const std::uint8_t* const* CurrentReadPages;
  std::uint8_t* const* CurrentWritePages;
  std::uint8_t CurrentPort;
};
extern MemoryMapState MemoryMap;

// The processor's data accesses a monitor watches, page by page: while Active, the pair of
// tables in use is a copy of the map's with the watched pages null, so that only their accesses
// take the slow path, which hands each to Hook after doing it. Opcode and operand fetches read
// through MemReadCode and are never handed on. Unwatched, nothing costs more than before.
inline constexpr std::uint8_t MemoryWatchLoads = 1;
inline constexpr std::uint8_t MemoryWatchStores = 2;
struct MemoryWatchState {
  bool Active;
  std::uint8_t Pages[256];  // MemoryWatchLoads and MemoryWatchStores per page
  void (*Hook)(std::uint16_t address, std::uint8_t value, bool store);
  const std::uint8_t* ReadPages[8][256];
  std::uint8_t* WritePages[8][256];
};
extern MemoryWatchState MemoryWatch;

// Points the page tables at the machine's RAM and ROM images; EmulatorInit calls it.
void BuildMemoryMap();
// Chooses the pair of page tables for the port value in MainRam[1].
void SelectMemoryMap();
inline void FollowPortChanges() {
  if (MainRam[1] != MemoryMap.CurrentPort) [[unlikely]] SelectMemoryMap();
}
// Watches the pages marked in `pages` (256 entries of MemoryWatchLoads and MemoryWatchStores)
// through `hook`; a null hook or no marked page watches nothing.
void WatchMemory(const std::uint8_t* pages, void (*hook)(std::uint16_t, std::uint8_t, bool));

// The byte that MemRead returns at `address`, without the effects of a read: no interrupt
// flags acknowledged, no toggle moved. For observers of the machine such as the trace log.
std::uint8_t MemPeek(std::uint16_t address);

// The I/O area ($D000-$DFFF) whatever the banking: a read with its effects (interrupt flags
// acknowledged, the toggle moved) or without, and a write that reaches the chips.
std::uint8_t IoRead(std::uint16_t address, bool sideEffects);
void IoWrite(std::uint16_t address, std::uint8_t value);
// A read and a write as the processor makes them in the present banking, with every effect on
// the chips and the port, but never handed to a watch.
std::uint8_t MemReadUnwatched(std::uint16_t address);
void MemWriteUnwatched(std::uint16_t address, std::uint8_t value);

// Counts what makes the machine's course depend on more than the CPU's registers and memory as
// they stand: every write that changes a byte, every access to the I/O area, the port or the
// cartridge's area, and every interrupt, reset and trap that the service step takes. Between two
// moments with the same registers and the same count, a program has run as a pure function of
// memory that left it as it was, so it would run the same way again; the fast path passes the
// repeats of such a loop in one go.
extern std::uint32_t BusSideEffects;

// The slow halves of MemRead, MemReadCode and MemWrite.
std::uint8_t MemReadIo(std::uint16_t address);
std::uint8_t MemReadCodeSlow(std::uint16_t address);
void MemWriteSpecial(std::uint16_t address, std::uint8_t value);

template <std::uint8_t (*SlowPath)(std::uint16_t)>
[[gnu::always_inline]] inline std::uint8_t MemReadThrough(std::uint16_t address) {
  const std::uint8_t* page = MemoryMap.CurrentReadPages[address >> 8];
  if (page != nullptr) [[likely]] return page[address & 0xFF];
  return SlowPath(address);
}

// A data read.
[[gnu::always_inline]] inline std::uint8_t MemRead(std::uint16_t address) {
  return MemReadThrough<MemReadIo>(address);
}

// A read of the instruction stream: the opcode, its operand bytes, a branch's offset.
[[gnu::always_inline]] inline std::uint8_t MemReadCode(std::uint16_t address) {
  return MemReadThrough<MemReadCodeSlow>(address);
}

[[gnu::always_inline]] inline void MemWrite(std::uint16_t address, std::uint8_t value) {
  std::uint8_t* page = MemoryMap.CurrentWritePages[address >> 8];
  if (page != nullptr && address > 1) [[likely]] {
    std::uint8_t& byte = page[address & 0xFF];
    if (byte != value) {
      byte = value;
      ++BusSideEffects;
    }
    return;
  }
  MemWriteSpecial(address, value);
}

}  // namespace quillon
