// The 6510's own I/O port at $00 (data direction) and $01 (data), as the C64 wires it: bits 0-2
// select the memory map, bits 3-5 drive and sense the datasette, bits 6 and 7 are not bonded
// out. The machine's bus sends addresses 0 and 1 here; what happens to the RAM underneath is
// the bus's business.
//
// A line switched to input reads what the board puts on it: the memory lines and the cassette
// sense line have pull-ups (a pressed datasette key grounds the sense line), the motor line is
// held low by its driver transistor. The cassette write line and bits 6 and 7 have nothing on
// them: they keep the level they last drove until the charge is gone.
#pragma once

#include <cstdint>

#include "interface/snapshot_stream.h"

namespace quillon::accurate {

// How long an undriven line keeps the level it last drove before it reads 0: the charge on the
// pins of an NMOS 6510 lasts about a third of a second.
inline constexpr std::uint64_t PortBitFadeCycles = 350'000;

// The memory map's lines as MemoryLines() gives them.
inline constexpr std::uint8_t PortLoram = 0x01;
inline constexpr std::uint8_t PortHiram = 0x02;
inline constexpr std::uint8_t PortCharen = 0x04;

struct ProcessorPortState {
  std::uint8_t Direction = 0;  // 1 = output
  std::uint8_t Latch = 0;      // the data register, all eight bits
  // Bits 3, 6 and 7 as they were last driven, and the cycle from which each reads 0 undriven.
  std::uint8_t Floating = 0;
  std::uint64_t FadesAt[3] = {};
  bool CassetteKeyDown = false;  // a datasette key (PLAY, RECORD, F.FWD, REW) is pressed

  // The fields of a snapshot, in both directions (see interface/snapshot_stream.h).
  template <class Stream, class Self>
  static void Fields(Stream& s, Self& state) {
    s.Field(state.Direction);
    s.Field(state.Latch);
    s.Field(state.Floating);
    for (auto& cycle : state.FadesAt) s.Field(cycle);
    s.Flag(state.CassetteKeyDown);
  }
};

class ProcessorPort {
 public:
  // `address` is 0 (direction) or 1 (data); `cycle` is the machine's cycle count.
  std::uint8_t Read(std::uint16_t address, std::uint64_t cycle) const;
  void Write(std::uint16_t address, std::uint8_t value, std::uint64_t cycle);

  // RESET makes every line an input; the data register is cleared.
  void Reset(std::uint64_t cycle);

  // CHAREN, HIRAM and LORAM as the PLA sees them (PortCharen | PortHiram | PortLoram): an output
  // gives its latch bit, an input is pulled up to 1.
  std::uint8_t MemoryLines() const { return Lines() & (PortCharen | PortHiram | PortLoram); }

  // The datasette's lines: the write line driven high, the motor (on while its line is low) and
  // the sense line's input.
  bool CassetteWriteHigh() const { return (State.Direction & State.Latch & 0x08) != 0; }
  bool CassetteMotorOn() const { return (Lines() & 0x20) == 0; }
  void SetCassetteKeyDown(bool down) { State.CassetteKeyDown = down; }

  void Save(SnapshotWriter& out) const { ProcessorPortState::Fields(out, State); }
  // False for damaged data, which leave the port as it was.
  bool Load(SnapshotReader& in) {
    ProcessorPortState loaded = State;
    ProcessorPortState::Fields(in, loaded);
    if (in.Failed) return false;
    State = loaded;
    return true;
  }

 private:
  // The levels of the lines that are driven or pulled: an output's latch bit, or what the board
  // puts on an input.
  std::uint8_t Lines() const;

  ProcessorPortState State;
};

}  // namespace quillon::accurate
