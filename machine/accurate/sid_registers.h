// The SID of the accurate machine as it stands for now: its register file and what the
// processor reads back from it, with the sound left silent. The SID chip class (sid.h) takes
// this one's place in the board (board.h), which calls Read, Write and Reset at their cycles;
// SoundTick and SoundTail become the chip's samples, taken on the thread that ticks the sound
// while the emulation runs on its own, and Save and Load its snapshot fields.
#pragma once

#include <algorithm>
#include <array>
#include <cstdint>
#include <span>

#include "interface/snapshot_stream.h"

namespace quillon::accurate {

// The sound's sample rate, and the samples of one tick, a twentieth of a second.
inline constexpr std::uint32_t SidSampleRate = 44100;
inline constexpr std::size_t SidTickSamples = SidSampleRate / 20;

class SidRegisters {
 public:
  // Reads see voice 3's oscillator ($D41B) and envelope ($D41C) as plausible values, no paddles
  // on the POT lines, and the last byte written on the bus at the write-only registers.
  std::uint8_t Read(int reg, std::uint64_t clock) const;
  void Write(int reg, std::uint8_t value, std::uint64_t clock);
  void Reset(std::uint64_t clock);

  // One tick of samples, or the first `count` of one: silence until the SID chip plugs in here.
  std::span<std::int16_t> SoundTick() { return Samples; }
  std::span<std::int16_t> SoundTail(std::size_t count) {
    return std::span<std::int16_t>(Samples).first(std::min(count, Samples.size()));
  }

  void Save(SnapshotWriter& out) const;
  bool Load(SnapshotReader& in);

 private:
  struct State {
    std::uint8_t Registers[32];
    std::uint8_t LastWritten;
    // Voice 3's phase accumulator: its value at a cycle, from which it runs at the frequency.
    std::uint32_t Phase;
    std::uint64_t PhaseCycle;
  };

  template <class Stream, class Self>
  static void Fields(Stream& s, Self& state);

  std::uint32_t PhaseAt(std::uint64_t clock) const;

  State S{};
  std::array<std::int16_t, SidTickSamples> Samples{};
};

}  // namespace quillon::accurate
