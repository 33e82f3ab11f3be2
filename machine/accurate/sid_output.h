// The SID's analog side and what turns it into 44.1 kHz samples: the routing of the three voices
// into the filter or past it, the state-variable filter with its cutoff and resonance, the
// master volume with the mix's DC (which makes $D418 writes audible), and a two-stage
// decimator without aliasing down to 44,100 Hz.
//
// The voices' levels arrive one per cycle in blocks of four cycles, counted from the chip's
// construction. The filter runs on each cycle, four at a time in closed form, and the volume and
// filter registers apply from the start of the block in which they were written. The first
// stage averages each block with a fourth-order comb (zeros on every multiple of a quarter of
// the clock), the second is a windowed-sinc polyphase filter from that rate to 44.1 kHz.
// Samples wait in a bounded queue for the owner; when the owner lets it fill up, the oldest go.
//
// A chip whose output stands still (every voice silent, the filter at rest) costs next to
// nothing: both stages notice that their inputs have not changed for their whole length and
// reuse what they computed for them, which is exactly what they would compute again.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "accurate/sid_tables.h"
#include "interface/snapshot_stream.h"

namespace quillon::accurate {

inline constexpr std::uint32_t SidSampleRate = 44100;

// The four cycles of a block side by side, in one SSE register where there is one.
typedef float SidBlock __attribute__((vector_size(16)));

class SidOutput {
 public:
  static constexpr int BlockCycles = 4;
  static constexpr std::size_t QueueCapacity = 16384;

  SidOutput(SidModel model, double clock);

  // The chip's model and clock (cycles per second), which the cutoff curve, the DC and the
  // resampler's rate depend on.
  void Configure(SidModel model, double clock);
  // $15-$18: cutoff, resonance and routing, mode and volume.
  void WriteRegister(int reg, std::uint8_t value);

  // `cycles` (a multiple of four) cycles of the three voices' levels.
  void Process(const float* const voices[3], int cycles);
  // `cycles` (a multiple of four) cycles in which every voice's level is 0.
  void ProcessSilence(int cycles);

  std::size_t Ready() const { return s_.Count; }
  std::size_t Take(std::int16_t* out, std::size_t max);

  // The state, with the registers but not the model and clock, which the owner saves.
  void Save(SnapshotWriter& out) const;
  // False, with nothing changed, when the data are cut short or impossible.
  bool Load(SnapshotReader& in);

 private:
  static constexpr int CombBlocks = 4;  // the blocks a comb output reaches back over
  static constexpr std::uint32_t CombSteady = (CombBlocks + 1) * BlockCycles;
  static constexpr int SincTaps = 176;
  static constexpr int SincRing = 256;
  static constexpr int Phases = 256;

  struct State {
    std::uint8_t Registers[4];  // $15-$18
    double Bandpass;
    double Lowpass;
    SidBlock CombPending;  // the next three outputs' sums so far, and a 0
    float CombNewest;
    std::uint32_t CombRun;  // how many of the newest inputs equal the newest, by blocks
    float CombOut;
    float Sinc[2 * SincRing];
    std::uint16_t SincIndex;
    std::uint32_t SincRun;
    std::uint32_t Wait;      // inputs to the second stage until the next sample is due
    std::uint32_t Fraction;  // and where between two inputs it falls, in 2^-32
    std::int16_t Queue[QueueCapacity];
    std::uint16_t Head;
    std::uint16_t Count;
  };

  template <class Stream, class S>
  static void Fields(Stream& stream, S& state);
  void Derive();
  [[gnu::always_inline]] inline void Block(const SidBlock& x, const SidBlock& direct);
  [[gnu::always_inline]] inline void PushBlock(const SidBlock& values);
  void PushSinc(float value);
  void SkipSinc(std::uint32_t inputs);
  void Emit();
  float SincAt(std::uint32_t phase) const;
  std::int16_t SampleAt(std::uint32_t phase) const;
  float SteadyLevel() const;

  State s_;
  SidModel model_;
  double clock_;
  // Derived from the registers, the model and the clock.
  bool saturate_ = false;
  bool unrouted_ = true;  // no voice goes through the filter
  float route_[3] = {};
  float direct_[3] = {};
  SidBlock mixerDc_ = {};
  SidBlock volume_ = {};
  double filterState_[2][2] = {};  // the state after four cycles from the state before them
  SidBlock filterInput_[2] = {};   // and from each cycle's input
  SidBlock outputState_[2] = {};   // each cycle's output from the state before the block
  SidBlock outputInput_[4] = {};   // and from each input of the block so far
  std::uint64_t sincStep_ = 0;     // second-stage inputs per sample, in 2^-32
  std::vector<float> sincTaps_;
  // What the second stage gives for each phase on an input that has stood at cacheValue for
  // its whole length.
  float cacheValue_ = 0;
  bool cacheValid_[Phases] = {};
  std::int16_t cache_[Phases] = {};
};

}  // namespace quillon::accurate
