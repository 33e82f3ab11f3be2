// Waveform tables and the timer-driven sample mixer.
#pragma once

#include <cstddef>
#include <cstdint>

namespace quillon {

// One cycle of a waveform; Samples is null when its allocation failed.
struct WaveTable {
  std::uint32_t Length;
  std::int16_t* Samples;
};

// Table i sums the base waveforms whose bits are set in i: bit 0 triangle, bit 1 sawtooth,
// bit 2 pulse, bit 3 noise, as in bits 4-7 of a voice's control register.
inline constexpr int WaveTableCount = 16;
inline constexpr std::uint32_t WaveTableLength = 64;
// A voice's phase counts table entries with this many bits of fraction below them.
inline constexpr int PhaseFractionBits = 14;
extern WaveTable WaveTables[WaveTableCount];

extern std::uint32_t SampleRate;
extern std::int32_t SamplesPerTick;
// One tick of mixed samples; null when it could not be allocated, and then ticks only step the
// envelopes.
extern std::int16_t* MixBuffer;
extern int SoundStarted;

// Where the mixer gets its buffer and tables; replaceable so that a failing allocation can be
// exercised. Blocks are released with std::free.
using SoundBlockAllocator = void* (*)(std::size_t size);
extern SoundBlockAllocator AllocateSoundBlock;

// Fixes the sample rate and tick length, scales the envelope rates, builds the wave tables.
// Returns 1 when a wave table could not be allocated, else 0.
std::int32_t SidInit(std::uint32_t sampleRate, std::uint32_t ticksPerSecond);
std::int32_t SoundStart();

// The sound timer's callback, every 50 ms on the timer's thread: mixes unless paused.
void SoundTimerTick();
// Takes the speed reading, then steps the active voices' envelopes and mixes one tick.
void SidMix();
// Frees the buffer and tables; the timer must be stopped first.
void SoundShutdown();

}  // namespace quillon
