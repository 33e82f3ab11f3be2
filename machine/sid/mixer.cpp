#include "sid/mixer.h"

#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <mutex>

#include "core/machine.h"
#include "sid/sid.h"

namespace quillon {

WaveTable WaveTables[WaveTableCount];
std::uint32_t SampleRate = 0;
std::int32_t SamplesPerTick = 0;
std::int16_t* MixBuffer = nullptr;
SoundBlockAllocator AllocateSoundBlock = std::malloc;

namespace {

constexpr int Half = WaveTableLength / 2;
constexpr std::int32_t SampleMax = 32767;
constexpr std::int32_t SampleMin = -32767;

// The part of a sample that the ticks so far have owed the stream, in twentieths.
std::uint32_t TickSampleCarry = 0;

// The clock of the video standard in force. The menu switches the standard on the emulation
// thread while the timer thread mixes, so both go through an atomic view of it.
std::uint64_t SidClockHz() {
  return std::atomic_ref<std::uint32_t>(VideoStandard).load(std::memory_order_relaxed)
             ? PalClockHz
             : NtscClockHz;
}

struct BaseWaveforms {
  std::int32_t Triangle[WaveTableLength];
  std::int32_t Sawtooth[WaveTableLength];
  std::int32_t Pulse[WaveTableLength];
  std::int32_t Noise[WaveTableLength];
};

BaseWaveforms MakeBaseWaveforms() {
  BaseWaveforms base{};
  for (int k = 0; k < static_cast<int>(WaveTableLength); ++k) {
    base.Triangle[k] = k < Half ? -8192 + 512 * (k + 1) : 8192 - 512 * (k - 31);
    base.Sawtooth[k] = -8192 + 256 * (k + 1);
    base.Pulse[k] = k < Half ? -8192 : 8192;
    // The generator is never seeded, so every start draws the same noise. Bit 13 of the draw
    // gives the sign, the low 13 bits the magnitude.
    const int draw = std::rand();
    base.Noise[k] = (draw & 0x2000) ? -(draw & 0x1FFF) : (draw & 0x1FFF);
  }
  return base;
}

// Builds all sixteen tables; returns 1 when one of them could not be allocated.
std::int32_t BuildWaveTables() {
  const BaseWaveforms base = MakeBaseWaveforms();
  std::int32_t result = 0;
  for (int i = 0; i < WaveTableCount; ++i) {
    WaveTable& table = WaveTables[i];
    table.Length = WaveTableLength;
    table.Samples =
        static_cast<std::int16_t*>(AllocateSoundBlock(WaveTableLength * sizeof(std::int16_t)));
    if (table.Samples == nullptr) {
      result = 1;
      continue;
    }
    for (std::uint32_t k = 0; k < WaveTableLength; ++k) {
      const std::int32_t sum = ((i & 1) ? base.Triangle[k] : 0) + ((i & 2) ? base.Sawtooth[k] : 0) +
                               ((i & 4) ? base.Pulse[k] : 0) + ((i & 8) ? base.Noise[k] : 0);
      table.Samples[k] = static_cast<std::int16_t>(sum - 1);
    }
  }
  return result;
}

void FreeSoundBlocks() {
  std::free(MixBuffer);
  MixBuffer = nullptr;
  for (WaveTable& table : WaveTables) {
    std::free(table.Samples);
    table.Samples = nullptr;
  }
}

// Adds one tick of the voice's wave at the given amplitude into MixBuffer, clamping after the
// addition.
void MixVoice(SidVoice& v, std::uint32_t frequency, std::int32_t amp) {
  if (MixBuffer == nullptr || v.Wave == nullptr || v.Wave->Samples == nullptr) return;
  const WaveTable& wave = *v.Wave;
  const std::uint32_t wrap = wave.Length << PhaseFractionBits;
  // The oscillator adds f to a 24-bit accumulator every clock cycle, so the wave repeats
  // f x clock / 2^24 times a second; one cycle of the table is 2^20 phase units. Below 4096
  // samples per second a high frequency would step past a whole cycle; the remainder keeps
  // one subtraction enough and the index inside the table.
  const std::uint32_t inc = static_cast<std::uint32_t>(
      (std::uint64_t{frequency} * SidClockHz() / (16 * std::uint64_t{SampleRate})) % wrap);
  std::uint32_t phase = v.Phase;
  for (std::int32_t i = 0; i < SamplesPerTick; ++i) {
    const std::int32_t s = wave.Samples[phase >> PhaseFractionBits];
    const std::int32_t m = MixBuffer[i] + ((s * amp) >> 8);
    MixBuffer[i] = static_cast<std::int16_t>(std::clamp(m, SampleMin, SampleMax));
    phase += inc;
    if (phase >= wrap) phase -= wrap;
  }
  v.Phase = phase;
}

// Mixes SamplesPerTick samples of the active voices, each at the level its envelope reaches with
// this tick's step, or at its present level.
void MixVoices(bool stepEnvelopes) {
  if (MixBuffer != nullptr) std::fill_n(MixBuffer, SamplesPerTick, std::int16_t{0});
  for (int voice = 0; voice < SidVoiceCount; ++voice) {
    // The whole of a voice's work happens under the lock, so a gate event lands before or
    // after it, never inside.
    const std::lock_guard<std::mutex> lock(Sid.VoiceLock);
    if ((ActiveVoices.load() & (1u << voice)) == 0) continue;
    const std::int32_t level = stepEnvelopes
                                   ? EnvelopeStep(voice)
                                   : Sid.Voices[voice].Level.load(std::memory_order_relaxed);
    MixVoice(Sid.Voices[voice], SidVoiceFrequency(voice), level >> 23);
  }
}

}  // namespace

std::int32_t SidInit(std::uint32_t sampleRate, std::uint32_t ticksPerSecond) {
  // A second start-up (tests power the machine on again) begins from nothing, as the first.
  FreeSoundBlocks();
  SampleRate = sampleRate;
  SamplesPerTick = static_cast<std::int32_t>(sampleRate / SoundTicksPerSecond);
  TickSampleCarry = 0;
  ActiveVoices.store(0);
  const std::size_t longestTick = (sampleRate + SoundTicksPerSecond - 1) / SoundTicksPerSecond;
  MixBuffer = static_cast<std::int16_t*>(AllocateSoundBlock(longestTick * sizeof(std::int16_t)));
  ScaleEnvelopeRates(1000 / ticksPerSecond);
  if (BuildWaveTables() != 0) return 1;
  for (SidVoice& v : Sid.Voices) v.Level.store(0, std::memory_order_relaxed);
  return 0;
}

std::span<std::int16_t> SidSoundTick(bool mix) {
  const std::uint32_t owed = SampleRate + TickSampleCarry;
  SamplesPerTick = static_cast<std::int32_t>(owed / SoundTicksPerSecond);
  TickSampleCarry = owed % SoundTicksPerSecond;
  if (mix) SidMix();
  if (MixBuffer == nullptr) return {};
  return {MixBuffer, static_cast<std::size_t>(SamplesPerTick)};
}

void SidMix() { MixVoices(true); }

std::span<std::int16_t> SidSoundTail(std::int32_t count) {
  SamplesPerTick = std::clamp(count, 0, static_cast<std::int32_t>(SampleRate / SoundTicksPerSecond));
  MixVoices(false);
  if (MixBuffer == nullptr) return {};
  return {MixBuffer, static_cast<std::size_t>(SamplesPerTick)};
}

}  // namespace quillon
