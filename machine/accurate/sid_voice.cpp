#include "accurate/sid_voice.h"

#include <algorithm>
#include <array>
#include <bit>
#include <utility>

namespace quillon::accurate {

namespace {

constexpr std::uint32_t NoiseClockBit = 0x080000;
constexpr std::uint32_t MsbBit = 0x800000;

// The selector's output for a set of waveforms (control bits 4-7): each selected waveform
// drives the twelve lines, a 0 pulls a line low, and with two or more the low lines drag their
// neighbours down as the model's table says. `ring` is the ring source's MSB where ring
// modulation is on. With the sawtooth selected too the triangle's fold is disabled, so its
// lines carry the ramp one bit up.
template <int Waves>
std::uint16_t WaveOf(std::uint32_t phase, std::uint32_t ring, bool pulse, std::uint16_t noise,
                     std::uint16_t held, const SidModelTables& tables) {
  if constexpr (Waves == 0) {
    return held;
  } else {
    std::uint32_t lines = 0xFFF;
    if constexpr (Waves & 1) {
      const std::uint32_t ramp = (phase >> 11) & 0xFFE;
      if constexpr (Waves & 2) {
        lines &= ramp;
      } else {
        lines &= ((phase ^ ring) & MsbBit) ? ramp ^ 0xFFE : ramp;
      }
    }
    if constexpr (Waves & 2) lines &= phase >> 12;
    if constexpr (Waves & 4) lines &= pulse ? 0xFFF : 0;
    if constexpr (Waves & 8) lines &= noise;
    if constexpr (std::popcount(static_cast<unsigned>(Waves)) > 1) {
      return tables.Combined[lines];
    } else {
      return static_cast<std::uint16_t>(lines);
    }
  }
}

using WaveFunction = std::uint16_t (*)(std::uint32_t, std::uint32_t, bool, std::uint16_t,
                                       std::uint16_t, const SidModelTables&);

template <std::size_t... Waves>
constexpr std::array<WaveFunction, 16> MakeWaveFunctions(std::index_sequence<Waves...>) {
  return {&WaveOf<static_cast<int>(Waves)>...};
}
constexpr std::array<WaveFunction, 16> WaveFunctions =
    MakeWaveFunctions(std::make_index_sequence<16>{});

// The prescaler at `position` matches on the returned cycle from now (1 = the next).
int CyclesToTick(std::uint16_t position, std::uint16_t period) {
  return position < period ? period - position : SidRateCycle - position + period;
}

// `cycles` cycles of the prescaler that hold no match.
std::uint16_t AdvancedQuietly(std::uint16_t position, int cycles) {
  const int next = position + cycles;
  return static_cast<std::uint16_t>(next >= SidRateCycle ? next - SidRateCycle : next);
}

// How many times bit 19 has risen on the way from 0 to `value`, which counts on past 2^24
// without wrapping: the odd multiples of 2^19 up to it.
std::uint64_t NoiseClocksUpTo(std::uint64_t value) { return ((value >> 19) + 1) >> 1; }

}  // namespace

void SidVoice::Reset() {
  Frequency = PulseWidth = 0;
  Control = AttackDecay = SustainRelease = 0;
  Previous = Accumulator;
  Noise = SidNoiseReset;
  NoiseClock = PulseHigh = false;
  Wave = 0;
  Level = 0;
  Phase = SidRelease;
  RatePosition = 0;
  ExponentialCount = 0;
  ExponentialDivider = 1;
  HoldZero = true;
  Gate = false;
}

std::uint16_t SidVoice::RatePeriod() const {
  switch (Phase) {
    case SidAttack: return SidRatePeriods[AttackDecay >> 4];
    case SidDecaySustain: return SidRatePeriods[AttackDecay & 0x0F];
    default: return SidRatePeriods[SustainRelease & 0x0F];
  }
}

// A rate tick: attack steps up on every tick; decay and release step down on every n-th, n set
// by the last of the divider's levels that the counter passed, and decay stops at the sustain
// level (S in both nibbles). A counter gated on and off again before its first tick starts
// the release from 0 and wraps to $FF.
void SidVoice::Tick() {
  if (Phase == SidAttack) {
    ++Level;
    ExponentialCount = 0;
    if (Level == 0xFF) Phase = SidDecaySustain;
  } else if (!HoldZero) {
    if (++ExponentialCount >= ExponentialDivider) {
      ExponentialCount = 0;
      if (Phase == SidRelease || Level != (SustainRelease >> 4) * 0x11) --Level;
    }
  }
  for (int step = 0; step < SidExponentialSteps; ++step) {
    if (Level == SidExponentialLevels[step]) ExponentialDivider = SidExponentialDividers[step];
  }
  if (Level == 0 && Phase != SidAttack) HoldZero = true;
}

// The prescaler counts every cycle and compares with the current rate's period only: a period
// lowered below the count is met again after the whole sequence (the ADSR delay). The attack
// ends whenever the counter stands at $FF, which a gate taken at $FF meets one cycle late, so a
// tick in that cycle still counts up and wraps to 0.
void SidVoice::ClockEnvelope() {
  if (++RatePosition == RatePeriod()) {
    RatePosition = 0;
    Tick();
  } else if (RatePosition == SidRateCycle) {
    RatePosition = 0;
  }
  if (Phase == SidAttack && Level == 0xFF) Phase = SidDecaySustain;
}

bool SidVoice::ClockOscillator() {
  const bool test = (Control & SidTest) != 0;
  if (NoiseClock) Noise = NextNoise(Noise);
  if (test) Noise = SidNoiseReset;
  PulseHigh = test || (Accumulator >> 12) >= PulseWidth;
  Previous = Accumulator;
  Accumulator = test ? 0 : (Accumulator + Frequency) & SidAccumulatorMask;
  const std::uint32_t rose = Accumulator & ~Previous;
  NoiseClock = (rose & NoiseClockBit) != 0;
  return (rose & MsbBit) != 0;
}

// A combined waveform's zeros are written back into the noise register when it shifts and
// while TEST holds it, so that noise mixed with another waveform drains to silence.
void SidVoice::SelectWave(const SidVoice& source, bool late, bool shifted,
                          const SidModelTables& tables) {
  const std::uint32_t phase = late ? Previous : Accumulator;
  const std::uint32_t ring =
      (Control & SidRing) ? (late ? source.Previous : source.Accumulator) & MsbBit : 0;
  Wave = WaveFunctions[Control >> 4](phase, ring, PulseHigh, NoiseWave(Noise), Wave, tables);
  if (NoiseCombined() && (shifted || (Control & SidTest))) Noise = NoiseWrittenBack(Noise, Wave);
}

void SidVoice::TakeGate() {
  const bool gate = (Control & SidGate) != 0;
  if (gate == Gate) return;
  Gate = gate;
  if (gate) {
    Phase = SidAttack;
    HoldZero = false;
  } else {
    Phase = SidRelease;
  }
}

// The envelope over `cycles` cycles: `span(from, to, gain)` for each stretch of cycles with one
// level, the rate ticks' cycles included (the tick comes first in its cycle).
template <class Span>
void SidVoice::RunEnvelope(int cycles, const SidModelTables& tables, Span&& span) {
  int done = 0;
  while (done < cycles) {
    const int quiet = std::min(CyclesToTick(RatePosition, RatePeriod()) - 1, cycles - done);
    span(done, done + quiet, tables.Envelope[Level]);
    done += quiet;
    RatePosition = AdvancedQuietly(RatePosition, quiet);
    if (done == cycles) break;
    RatePosition = 0;
    Tick();
    span(done, done + 1, tables.Envelope[Level]);
    ++done;
  }
}

// The oscillator `cycles` cycles on in one step, as nothing synchronises it: the accumulator,
// the noise register's shifts (one for each rise of bit 19, a cycle after it), the comparator's
// latch and the selector's output in the last cycle.
void SidVoice::AdvanceOscillator(int cycles, const SidVoice& source, bool late,
                                 const SidModelTables& tables) {
  const bool test = (Control & SidTest) != 0;
  const std::uint64_t step = test ? 0 : Frequency;
  const std::uint64_t start = Accumulator;
  const std::uint64_t beforeLast = start + step * static_cast<std::uint64_t>(cycles - 1);
  const std::uint64_t last = beforeLast + step;
  std::uint64_t shifts =
      (NoiseClock ? 1 : 0) + NoiseClocksUpTo(beforeLast) - NoiseClocksUpTo(start);
  for (; shifts != 0; --shifts) Noise = NextNoise(Noise);
  NoiseClock = NoiseClocksUpTo(last) != NoiseClocksUpTo(beforeLast);
  Previous = static_cast<std::uint32_t>(beforeLast) & SidAccumulatorMask;
  Accumulator = static_cast<std::uint32_t>(last) & SidAccumulatorMask;
  PulseHigh = test || (Previous >> 12) >= PulseWidth;

  const std::uint32_t sourceStep = (source.Control & SidTest) ? 0 : source.Frequency;
  const std::uint32_t sourcePrevious =
      (source.Accumulator + sourceStep * static_cast<std::uint32_t>(cycles - 1)) &
      SidAccumulatorMask;
  const std::uint32_t sourceLast = (sourcePrevious + sourceStep) & SidAccumulatorMask;
  const std::uint32_t ring =
      (Control & SidRing) ? (late ? sourcePrevious : sourceLast) & MsbBit : 0;
  Wave = WaveFunctions[Control >> 4](late ? Previous : Accumulator, ring, PulseHigh,
                                     NoiseWave(Noise), Wave, tables);
}

// Without noise a cycle's output is a function of its place in the batch alone: the
// accumulator before and after the cycle's addition, the ring source's likewise. The loop has
// no state to carry and the compiler can run it several cycles at a time.
template <int Waves, bool Late>
void SidVoice::RunWaves(int cycles, const SidVoice& source, const SidModelTables& tables,
                        float* out) {
  const bool test = (Control & SidTest) != 0;
  const std::uint32_t start = Accumulator;
  const std::uint32_t step = test ? 0 : Frequency;
  const std::uint32_t sourceStart = source.Accumulator;
  const std::uint32_t sourceStep = (source.Control & SidTest) ? 0 : source.Frequency;
  const std::uint32_t ringMask = (Control & SidRing) ? MsbBit : 0;
  const std::uint32_t width = PulseWidth;
  const std::uint16_t held = Wave;
  RunEnvelope(cycles, tables, [&](int from, int to, float gain) {
    for (int i = from; i < to; ++i) {
      const auto n = static_cast<std::uint32_t>(i);
      const std::uint32_t previous = (start + n * step) & SidAccumulatorMask;
      const std::uint32_t accumulator = (previous + step) & SidAccumulatorMask;
      std::uint32_t ring = 0;
      if constexpr ((Waves & 1) != 0) {
        const std::uint32_t sourcePrevious = (sourceStart + n * sourceStep) & SidAccumulatorMask;
        ring =
            (Late ? sourcePrevious : (sourcePrevious + sourceStep) & SidAccumulatorMask) & ringMask;
      }
      const bool pulse = test || (previous >> 12) >= width;
      const std::uint16_t wave =
          WaveOf<Waves>(Late ? previous : accumulator, ring, pulse, 0, held, tables);
      out[i] = tables.Wave[wave] * gain;
    }
  });
  AdvanceOscillator(cycles, source, Late, tables);
}

// Hard sync: the accumulator restarts whenever the source's MSB rises, so it is counted cycle by
// cycle, the noise register with it; the source is not synchronised itself.
template <int Waves>
void SidVoice::RunSyncedWaves(int cycles, const SidVoice& source, bool late,
                              const SidModelTables& tables, float* out) {
  const bool test = (Control & SidTest) != 0;
  const std::uint32_t step = test ? 0 : Frequency;
  const std::uint32_t sourceStep = (source.Control & SidTest) ? 0 : source.Frequency;
  const std::uint32_t ringMask = (Control & SidRing) ? MsbBit : 0;
  std::uint32_t sourceAccumulator = source.Accumulator;
  std::uint16_t noiseWave = NoiseWave(Noise);
  RunEnvelope(cycles, tables, [&](int from, int to, float gain) {
    for (int i = from; i < to; ++i) {
      if (NoiseClock) {
        Noise = NextNoise(Noise);
        noiseWave = NoiseWave(Noise);
      }
      PulseHigh = test || (Accumulator >> 12) >= PulseWidth;
      Previous = Accumulator;
      Accumulator = (Accumulator + step) & SidAccumulatorMask;
      NoiseClock = (Accumulator & ~Previous & NoiseClockBit) != 0;
      const std::uint32_t sourcePrevious = sourceAccumulator;
      sourceAccumulator = (sourceAccumulator + sourceStep) & SidAccumulatorMask;
      if (sourceAccumulator & ~sourcePrevious & MsbBit) Accumulator = 0;
      const std::uint32_t ring = (late ? sourcePrevious : sourceAccumulator) & ringMask;
      Wave = WaveOf<Waves>(late ? Previous : Accumulator, ring, PulseHigh, noiseWave, Wave, tables);
      out[i] = tables.Wave[Wave] * gain;
    }
  });
}

void SidVoice::RunSynced(int cycles, const SidVoice& source, bool late,
                         const SidModelTables& tables, float* out) {
  using SyncedFunction =
      void (SidVoice::*)(int, const SidVoice&, bool, const SidModelTables&, float*);
  static constexpr auto functions = []<std::size_t... Waves>(std::index_sequence<Waves...>) {
    return std::array<SyncedFunction, 16>{&SidVoice::RunSyncedWaves<static_cast<int>(Waves)>...};
  }
  (std::make_index_sequence<16>{});
  (this->*functions[Control >> 4])(cycles, source, late, tables, out);
}

// Noise alone: the register shifts between cycles and each shift changes the output.
void SidVoice::RunNoise(int cycles, const SidVoice& source, bool late, const SidModelTables& tables,
                        float* out) {
  const std::uint32_t step = (Control & SidTest) ? 0 : Frequency;
  std::uint32_t accumulator = Accumulator;
  std::uint32_t noise = Noise;
  bool clock = NoiseClock;
  std::uint16_t wave = NoiseWave(noise);
  RunEnvelope(cycles, tables, [&](int from, int to, float gain) {
    for (int i = from; i < to; ++i) {
      if (clock) {
        noise = NextNoise(noise);
        wave = NoiseWave(noise);
      }
      const std::uint32_t previous = accumulator;
      accumulator = (accumulator + step) & SidAccumulatorMask;
      clock = (accumulator & ~previous & NoiseClockBit) != 0;
      out[i] = tables.Wave[wave] * gain;
    }
  });
  AdvanceOscillator(cycles, source, late, tables);
}

namespace {

using RunFunction = void (SidVoice::*)(int, const SidVoice&, const SidModelTables&, float*);

}  // namespace

void SidVoice::Run(int cycles, const SidVoice& source, bool late, const SidModelTables& tables,
                   float* out) {
  static constexpr auto functions = []<std::size_t... Waves>(std::index_sequence<Waves...>) {
    return std::array<std::array<RunFunction, 2>, 8>{
        {{&SidVoice::RunWaves<static_cast<int>(Waves), false>,
          &SidVoice::RunWaves<static_cast<int>(Waves), true>}...}};
  }
  (std::make_index_sequence<8>{});
  if (Control & SidNoise) {
    RunNoise(cycles, source, late, tables, out);
  } else {
    (this->*functions[Control >> 4][late ? 1 : 0])(cycles, source, tables, out);
  }
}

// A silent voice's envelope, held at 0, only moves its prescaler.
void SidVoice::RunSilent(int cycles, const SidVoice& source, bool late,
                         const SidModelTables& tables) {
  AdvanceOscillator(cycles, source, late, tables);
  const std::uint16_t period = RatePeriod();
  const int toTick = CyclesToTick(RatePosition, period);
  RatePosition = cycles < toTick ? AdvancedQuietly(RatePosition, cycles)
                                 : static_cast<std::uint16_t>((cycles - toTick) % period);
}

}  // namespace quillon::accurate
