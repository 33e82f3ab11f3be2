// Waveform tables and the sample mixer, one sound tick at a time.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

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

// The sound ticks twenty times a second, every 50 ms. Each tick mixes the samples of its own
// length, a twentieth of a second, so that the stream holds SampleRate samples a second; the
// ticks per second given to SidInit fix the envelope step only.
inline constexpr std::uint32_t SoundTicksPerSecond = 20;

// The 6510's clock in cycles a second, which the SID's oscillators count: frequency value f
// sounds at f x clock / 2^24 Hz.
inline constexpr std::uint64_t PalClockHz = 985248;
inline constexpr std::uint64_t NtscClockHz = 1022727;

extern std::uint32_t SampleRate;
// The samples of the tick under way: SampleRate / 20, one more on the ticks that carry the
// remainder.
extern std::int32_t SamplesPerTick;
// One tick of mixed samples, room for the longest tick; null when it could not be allocated,
// and then ticks only step the envelopes.
extern std::int16_t* MixBuffer;

// Where the mixer gets its buffer and tables; replaceable so that a failing allocation can be
// exercised. Blocks are released with std::free.
using SoundBlockAllocator = void* (*)(std::size_t size);
extern SoundBlockAllocator AllocateSoundBlock;

// Fixes the sample rate, scales the envelope rates for ticksPerSecond, builds the wave tables.
// Returns 1 when a wave table could not be allocated, else 0.
std::int32_t SidInit(std::uint32_t sampleRate, std::uint32_t ticksPerSecond);

// One sound tick, every 50 ms of real or emulated time: fixes the tick's length and, with `mix`,
// steps the envelopes and mixes (paused, the envelopes stand still). Returns the tick's samples
// in MixBuffer; empty when there is no buffer.
std::span<std::int16_t> SidSoundTick(bool mix);
// Steps the active voices' envelopes and mixes one tick.
void SidMix();
// The samples of a tick cut short, `count` of them (a tick's at most), mixed at the voices'
// present levels without a step of their envelopes: the end of a recording that stops between
// two ticks.
std::span<std::int16_t> SidSoundTail(std::int32_t count);

}  // namespace quillon
