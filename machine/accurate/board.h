// The C64's board around the accurate 6510: RAM, colour RAM and the ROMs behind the PLA's
// banking, the VIC-II, the SID, both CIAs and the processor port, the lines between them, and
// the clock. It is the processor's bus (cpu6510.h): every access is one cycle.
//
// Time. Clock counts the cycles since power-on; an access is made in cycle Clock and moves it
// on. The chips are lazy: each names the next cycle at whose start it has work (NextEvent), and
// the bus looks at the smallest of those once per access, so a cycle in which no chip acts costs
// one comparison. At the start of a cycle the CIAs are brought up to the cycle before and tell
// their /IRQ level for this one, the VIC-II does its cycle's work (a new line, BA, its raster
// interrupt), and the interrupt lines are set as the processor samples them at the end of the
// cycle. After an access to a chip, the bus looks again at the next cycle.
//
// RDY. While the VIC-II holds BA low a read cannot be made: the cycles pass with the processor
// waiting, and the read comes in the first cycle with BA high. Writes are made whatever BA is.
//
// Sound. The SID runs only when it is accessed and at every frame's end, where its samples go
// on their way out (audio_out.h) and its clock follows the video standard.
#pragma once

#include <atomic>
#include <cstdint>
#include <string>

#include "accurate/audio_out.h"
#include "accurate/cia6526.h"
#include "accurate/memory_map.h"
#include "accurate/processor_port.h"
#include "accurate/sid.h"
#include "accurate/vic_ii.h"
#include "interface/machine.h"

namespace quillon::accurate {

// The debug exit port at $D7FF, the last byte of the SID's mirrors.
inline constexpr std::uint16_t DebugExitPort = 0xD7FF;

class Board {
 public:
  Board();
  Board(const Board&) = delete;
  Board& operator=(const Board&) = delete;

  // --- The processor's bus ---
  [[gnu::always_inline]] std::uint8_t Read(std::uint16_t address) {
    return ReadThrough<&Board::ReadSpecial>(address);
  }
  // A read of the instruction stream, which a watch never hears.
  [[gnu::always_inline]] std::uint8_t Fetch(std::uint16_t address) {
    return ReadThrough<&Board::ReadUnwatched>(address);
  }
  [[gnu::always_inline]] void Write(std::uint16_t address, std::uint8_t value) {
    if (Clock >= NextEvent) [[unlikely]] Events();
    Store(address, value);
    ++Clock;
  }
  // A write as the processor makes it in the present banking, without the cycle. The VIC-II
  // first draws what it fetched before, when it may have fetched the byte.
  [[gnu::always_inline]] void Store(std::uint16_t address, std::uint8_t value) {
    DrawBeforeWrite(address);
    std::uint8_t* page = Map.Writes[address >> 8];
    if (page != nullptr && address > 1) [[likely]] {
      page[address & 0xFF] = value;
    } else {
      WriteSpecial(address, value);
    }
  }
  // What a write to `address` needs first: the VIC-II draws what it fetched before, when it may
  // have fetched the byte.
  [[gnu::always_inline]] void DrawBeforeWrite(std::uint16_t address) {
    if (std::uint32_t{address} - Vic.WatchLow() < Vic.WatchSize()) [[unlikely]] {
      Vic.DrawThrough(Clock);
    }
  }
  bool IrqLine() const { return IrqLevel; }
  bool NmiLine() const { return NmiLevel; }
  bool LastReadWasStalled() const { return StalledReadAt + 1 == Clock; }

  // Runs the start of the cycle Clock, and lets the cycles pass in which BA is low: a read can
  // be made in Clock afterwards.
  void WaitForBus();

  // What a read at `address` would give, without acting on any chip.
  std::uint8_t Peek(std::uint16_t address) const;
  // The I/O area ($D000-$DFFF) whatever the banking: a read without acting on any chip, a read
  // and a write that do, in the cycle Clock, without its passing.
  std::uint8_t IoPeek(std::uint16_t address) const;
  std::uint8_t ReadIo(std::uint16_t address);
  void WriteIo(std::uint16_t address, std::uint8_t value);
  // A read and a write as the processor makes them in the present banking, acting on the chips
  // and the port, without the cycle, and never heard by a watch.
  std::uint8_t ReadUnwatched(std::uint16_t address);
  void WriteUnwatched(std::uint16_t address, std::uint8_t value);

  // --- A monitor's watch ---
  // The processor's data reads and writes in the pages marked in `pages` go to `hook`, after
  // they are made (see Machine::SetMemoryWatch); null for none.
  void WatchMemory(const std::uint8_t* pages, Machine::MemoryWatchHook hook);

  // --- Power and the video standard ---
  // The board as at power-on at cycle 0, RAM and chips included; the processor's reset is the
  // owner's.
  void PowerOn(bool pal, CiaModel cias, SidModel sid);
  // The reset line: RAM back to its power-on pattern, the CIAs, the SID and the processor port
  // reset, the cartridge placed again. The VIC-II has no reset and runs on.
  void HardReset();
  void SetPal(bool pal);
  bool Pal() const { return Vic.Pal(); }
  void SetCartridgeRom(bool present);
  // Another SID chip in the socket from the present cycle on.
  void SetSidModel(SidModel model);
  // The SID's samples up to the present into the queue, for a tick on the emulation's thread.
  void CollectSound();
  void SetSoundLive(bool live);

  // --- What the owner keeps track of ---
  // RESTORE: the key's circuit pulls /NMI low for a moment.
  void PressRestore();
  // The frames ended since the owner last cleared the count (every line, with LineFrames).
  std::int32_t FramesEnded = 0;
  bool LineFrames = false;
  Machine::LineObserver Observer = nullptr;
  // The cycles not yet handed to the speed reading, and the reading's count.
  std::atomic<std::int32_t> CycleCount{0};
  // The debug exit: enabled, the byte written (-1 for none), and the stop it asks for.
  bool DebugExitEnabled = false;
  std::int32_t DebugExitStatus = -1;
  bool StopRequested = false;

  std::uint64_t Clock = 0;
  std::uint8_t Ram[0x10000];
  std::uint8_t ColorRam[0x400];
  std::uint8_t KeyMatrix[8];
  std::uint8_t JoystickLines[2] = {0x1F, 0x1F};
  // What hardware on the user port presents on CIA 2's port B: $FF, pulled up, for nothing.
  std::uint8_t UserPortLines = 0xFF;
  KeyboardScans KeyboardReads{};
  std::uint64_t RestoreUntil = 0;
  MemoryMap Map;
  ProcessorPort Port;
  VicII Vic;
  // A peek runs the lazy chip up to the present, which changes nothing a program or the sound
  // could tell.
  mutable accurate::Sid Sid;
  AudioOut Audio{Sid};
  Cia6526 Cia1;
  Cia6526 Cia2;

  // After a change to the chips from outside the bus (a snapshot loaded), the lines and the
  // banking follow them and every chip is looked at again.
  void Resynchronise();
  // The VIC-II's light pen input follows CIA 1's PB4, the line of control port 1's fire button
  // and of a keyboard row: after a write to CIA 1 or a change to the joystick lines.
  void FollowLightPen();

 private:
  template <std::uint8_t (Board::*SlowPath)(std::uint16_t)>
  [[gnu::always_inline]] std::uint8_t ReadThrough(std::uint16_t address) {
    if (Clock >= NextEvent) [[unlikely]] {
      ReadAddress = address;
      WaitForBus();
    }
    const std::uint8_t* page = Map.Reads[address >> 8];
    const std::uint8_t value =
        page != nullptr && address > 1 ? page[address & 0xFF] : (this->*SlowPath)(address);
    ++Clock;
    return value;
  }
  void Events();
  std::uint8_t ReadSpecial(std::uint16_t address);
  void WriteSpecial(std::uint16_t address, std::uint8_t value);
  void FollowPort() { Map.Select(Port.MemoryLines()); }
  void FollowCia2Port();
  void CiaTouched(int cia);
  void LineEnded(bool frame);

  static CiaPorts Cia1Pins(void* board, CiaPorts driven);
  static CiaPorts Cia2Pins(void* board, CiaPorts driven);
  static std::uint8_t DataBus(const void* board);

  bool CartridgeRom = false;
  Machine::MemoryWatchHook WatchHook = nullptr;
  // The bus looks at the chips when Clock reaches NextEvent: the first cycle in which one of
  // them has work (ChipsDue), or every cycle while BA is low.
  std::uint64_t NextEvent = 0;
  std::uint64_t ChipsDue = 0;
  std::uint64_t CiaDue[2] = {0, 0};
  bool Cia1Irq = false;
  bool Cia2Irq = false;
  bool IrqLevel = false;
  bool NmiLevel = false;
  std::uint64_t StalledReadAt = ~std::uint64_t{0};
  // The address of the read the processor last waited with: what it holds on the data bus
  // while BA keeps it there.
  std::uint16_t ReadAddress = 0;
  std::uint64_t PublishedClock = 0;
};

}  // namespace quillon::accurate
