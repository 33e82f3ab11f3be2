// The 6581/8580 Sound Interface Device, cycle for cycle: three voices (oscillator, waveform
// selector, envelope), the readable registers, the data bus that holds the last value, and the
// analog side (filter, volume) with its 44.1 kHz samples. One instance per chip.
//
// Time. The owner counts clock cycles; every access names its cycle and the chip catches up
// lazily to it. Within each cycle c:
//   1. the CPU's access of cycle c (Read, Write): a read sees the state the chip's work of
//      cycle c-1 left ($1B the waveform output of c-1, $1C its envelope level); a write takes
//      effect at once, so the chip's work of cycle c already uses it;
//   2. the chip's work of cycle c (Step): see sid_voice.h for the order within a voice. A gate
//      written in c reaches the envelope at the end of c, so the prescaler's first count with
//      the new rate is in c+1.
// AdvanceTo(c) runs up to the end of cycle c, so every access of cycle c must come before it.
//
// Cost. Between writes the chip runs in batches: a voice between two envelope steps is a tight
// loop specialised for its waveform, a synchronised voice follows its source's MSB in a loop of
// its own, a silent voice is counted forward in one step, and a chip that is silent throughout
// hands the analog side nothing to compute. Each write is followed by two cycles run one at a
// time, in which the gate and the pipelines settle; noise mixed with another waveform (whose
// zeros are written back into the noise register) and a synchronised voice that is itself the
// source of sync or ring modulation run cycle by cycle as well. Step() is the per-cycle
// reference the batches match exactly, samples included.
//
// Sound. TakeSamples returns 16-bit samples at 44,100 Hz, the chip's AUDIO OUT with its DC
// (the C64's coupling capacitor is the owner's). They lag the cycles run by at most three
// cycles plus the resampler's delay of about 0.4 ms; up to 16,384 wait for the owner, who
// should take them at least every 0.3 s.
#pragma once

#include <cstddef>
#include <cstdint>

#include "accurate/sid_output.h"
#include "accurate/sid_tables.h"
#include "accurate/sid_voice.h"
#include "interface/snapshot_stream.h"

namespace quillon::accurate {

// The φ2 clocks: 17,734,472 Hz / 18 on a PAL machine, 14,318,180 Hz / 14 on an NTSC one.
inline constexpr double PalSidClock = 17734472.0 / 18;
inline constexpr double NtscSidClock = 14318180.0 / 14;

// Register numbers (the chip decodes five address lines; the owner passes reg 0-31).
inline constexpr int SidVoiceRegisters = 7;  // voice n's registers start at 7n
inline constexpr int SidFrequencyLow = 0x00;
inline constexpr int SidFrequencyHigh = 0x01;
inline constexpr int SidPulseLow = 0x02;
inline constexpr int SidPulseHigh = 0x03;
inline constexpr int SidControl = 0x04;
inline constexpr int SidAttackDecay = 0x05;
inline constexpr int SidSustainRelease = 0x06;
inline constexpr int SidCutoffLow = 0x15;
inline constexpr int SidCutoffHigh = 0x16;
inline constexpr int SidResonanceRouting = 0x17;
inline constexpr int SidModeVolume = 0x18;
inline constexpr int SidPotX = 0x19;
inline constexpr int SidPotY = 0x1A;
inline constexpr int SidOscillator3 = 0x1B;
inline constexpr int SidEnvelope3 = 0x1C;

// How long the data bus holds its value after the last access, in cycles, before reads of
// write-only registers return 0.
inline constexpr std::uint64_t SidBusHold6581 = 7400;
inline constexpr std::uint64_t SidBusHold8580 = 660000;

class Sid {
 public:
  // The chip as after power-on, at cycle 0: its reset state, the accumulators at 0.
  explicit Sid(SidModel model = SidModel::Mos6581, double clock = PalSidClock);

  SidModel Model() const { return s_.Model; }
  // Both take effect from the current cycle on; the samples already made stay as they are. A
  // clock outside 100 kHz to 10 MHz is ignored.
  void SetModel(SidModel model);
  double Clock() const { return s_.Clock; }
  void SetClock(double cyclesPerSecond);

  // /RES held low in `cycle`: every register 0 (and so silence), the envelopes at 0, the noise
  // register at its reset value, the bus at 0. The accumulators keep running.
  void Reset(std::uint64_t cycle);

  // An access in `cycle` to register `reg` (only its low five bits count: the chip repeats
  // every 32 bytes), after the chip has run up to the cycle before.
  std::uint8_t Read(int reg, std::uint64_t cycle);
  void Write(int reg, std::uint8_t value, std::uint64_t cycle);
  // What a read in `cycle` would give, without its effect on the bus.
  std::uint8_t Peek(int reg, std::uint64_t cycle);

  // Runs the chip's work up to the end of `cycle`.
  void AdvanceTo(std::uint64_t cycle);
  // The chip's work of the next cycle alone.
  void Step();
  // The first cycle not yet run.
  std::uint64_t NextCycle() const { return s_.NextStep; }

  // The paddles at POTX and POTY from `cycle` on, as the values their conversion gives; the
  // registers take them at the next 512-cycle conversion. Nothing attached reads $FF.
  void SetPots(std::uint8_t x, std::uint8_t y, std::uint64_t cycle);

  // The samples made so far, oldest first: up to `max` of them into `out`; returns how many.
  std::size_t TakeSamples(std::int16_t* out, std::size_t max);
  // How many wait; those of the last few hundred cycles run join them at the next TakeSamples.
  std::size_t SamplesReady() const { return output_.Ready(); }

  void Save(SnapshotWriter& out) const;
  // False, with the chip unchanged, when the data are cut short or hold impossible values.
  bool Load(SnapshotReader& in);

 private:
  static constexpr int Chunk = 256;  // cycles staged before the analog side runs

  struct State {
    SidModel Model;
    double Clock;
    std::uint64_t NextStep;
    SidVoice Voices[3];
    std::uint8_t BusValue;
    std::uint64_t BusCycle;  // of the last access that set it
    std::uint8_t PotInput[2];
    std::uint8_t PotValue[2];
    std::uint8_t Settle;     // cycles still to run one at a time after a write
    std::uint16_t Staged;    // cycles staged for the analog side
    bool StagedSilent;       // and every one of them silent, with nothing in Levels
    float Levels[3][Chunk];  // each voice's level in each staged cycle
  };

  template <class Stream, class S>
  static void Fields(Stream& stream, S& state);

  void RunBefore(std::uint64_t cycle);
  bool NeedsSteps() const;
  bool Silent() const;
  void RunBatch(int cycles);
  void StageCycles(int cycles);
  void MakeStagedLoud();
  void Flush(int cycles);
  void FlushBlocks();
  void TakePots(std::uint64_t first, int cycles);
  std::uint8_t RegisterValue(int reg, std::uint64_t cycle) const;
  bool Late() const { return s_.Model == SidModel::Mos8580; }

  State s_;
  SidOutput output_;
  const SidModelTables* tables_;
};

}  // namespace quillon::accurate
