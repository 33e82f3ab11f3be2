// One SID voice: the 24-bit oscillator with its pulse comparator and noise register, the
// waveform selector, and the envelope generator with its rate prescaler and exponential divider.
//
// A cycle of a voice, in the order the chip's logic settles:
//   1. the envelope: the prescaler counts; on its match the level steps (a rate tick);
//   2. the oscillator: a pending noise shift, the pulse comparator latching the accumulator as
//      it stood, the accumulator adding the frequency (held at 0 by TEST);
//   3. (the chip) hard sync clears the accumulators whose source's MSB rose in step 2;
//   4. the waveform selector's output for this cycle, and the noise write-back;
//   5. (the chip) a gate written in this cycle reaches the envelope logic for the next one.
// The 6581's selector sees the accumulator of this cycle for triangle and sawtooth; the 8580's
// passes them through a latch and sees the one before. The pulse is one cycle late on both.
#pragma once

#include <cstdint>

#include "accurate/sid_tables.h"

namespace quillon::accurate {

// Control register bits.
inline constexpr std::uint8_t SidGate = 0x01;
inline constexpr std::uint8_t SidSync = 0x02;
inline constexpr std::uint8_t SidRing = 0x04;
inline constexpr std::uint8_t SidTest = 0x08;
inline constexpr std::uint8_t SidTriangle = 0x10;
inline constexpr std::uint8_t SidSawtooth = 0x20;
inline constexpr std::uint8_t SidPulse = 0x40;
inline constexpr std::uint8_t SidNoise = 0x80;

inline constexpr std::uint32_t SidAccumulatorMask = 0xFFFFFF;

enum SidEnvelopePhase : std::uint8_t {
  SidAttack = 0,
  SidDecaySustain = 1,
  SidRelease = 2,
};

struct SidVoice {
  // Registers.
  std::uint16_t Frequency;
  std::uint16_t PulseWidth;  // 12 bits
  std::uint8_t Control;
  std::uint8_t AttackDecay;
  std::uint8_t SustainRelease;
  // Oscillator.
  std::uint32_t Accumulator;
  std::uint32_t Previous;  // the accumulator before the last cycle's addition
  std::uint32_t Noise;
  bool NoiseClock;     // bit 19 rose in the last addition: the noise register shifts next cycle
  bool PulseHigh;      // the comparator's latch
  std::uint16_t Wave;  // the selector's output in the last cycle, held while nothing drives it
  // Envelope.
  std::uint8_t Level;
  std::uint8_t Phase;
  std::uint16_t RatePosition;  // cycles since the prescaler last matched, 0-32766
  std::uint8_t ExponentialCount;
  std::uint8_t ExponentialDivider;
  bool HoldZero;  // the level reached 0 outside attack and stays there until the next gate
  bool Gate;      // the gate as the envelope logic has taken it

  // Power-on and /RES: registers and envelope cleared, the noise register at its reset value;
  // the accumulator is not on the reset line.
  void Reset();

  std::uint16_t RatePeriod() const;
  bool Silent() const { return Level == 0 && HoldZero; }
  bool NoiseCombined() const { return (Control & SidNoise) && (Control & 0x70); }

  // Steps 1, 2, 4 and 5 of a cycle. ClockOscillator returns whether the MSB rose.
  void ClockEnvelope();
  bool ClockOscillator();
  void SelectWave(const SidVoice& source, bool late, bool shifted, const SidModelTables& tables);
  void TakeGate();

  // `cycles` cycles in one go, the same as cycle by cycle for a voice whose gate has been taken,
  // that is not synchronised and whose noise is not combined: the level at the output of each
  // cycle into `out`. `source` is the ring modulation source as it stood before the first of
  // them (not synchronised either).
  void Run(int cycles, const SidVoice& source, bool late, const SidModelTables& tables, float* out);
  // The same for a silent voice, whose output is 0 throughout.
  void RunSilent(int cycles, const SidVoice& source, bool late, const SidModelTables& tables);
  // The same for a synchronised voice whose source is not.
  void RunSynced(int cycles, const SidVoice& source, bool late, const SidModelTables& tables,
                 float* out);

 private:
  void Tick();
  template <class Span>
  void RunEnvelope(int cycles, const SidModelTables& tables, Span&& span);
  void AdvanceOscillator(int cycles, const SidVoice& source, bool late,
                         const SidModelTables& tables);
  template <int Waves, bool Late>
  void RunWaves(int cycles, const SidVoice& source, const SidModelTables& tables, float* out);
  void RunNoise(int cycles, const SidVoice& source, bool late, const SidModelTables& tables,
                float* out);
  template <int Waves>
  void RunSyncedWaves(int cycles, const SidVoice& source, bool late, const SidModelTables& tables,
                      float* out);
};

}  // namespace quillon::accurate
