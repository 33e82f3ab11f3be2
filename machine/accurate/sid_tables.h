// The SID's fixed data: the envelope's rate periods and exponential steps, the noise register's
// wiring, and for each chip model the waveform and envelope DACs and the pull-down of combined
// waveforms, built once from the models below.
#pragma once

#include <cstdint>

namespace quillon::accurate {

enum class SidModel : std::uint8_t {
  Mos6581 = 0,  // NMOS, C64 until about 1987: non-linear DACs, DC in the mix, a soft filter
  Mos8580 = 1,  // HMOS-II, C64C: linear DACs, no DC to speak of, a clean filter
};

// Cycles per rate tick of the 15-bit prescaler for each attack, decay or release value. The
// prescaler is a maximal-length LFSR, so a compare state already passed is met again only after
// the whole sequence of 32,767 states.
inline constexpr std::uint16_t SidRatePeriods[16] = {
    9, 32, 63, 95, 149, 220, 267, 313, 392, 977, 1954, 3126, 3907, 11720, 19532, 31251};
inline constexpr std::uint16_t SidRateCycle = 32767;

// The exponential divider that slows decay and release as the level falls: the levels at which
// it switches (in either direction, and it stays switched) and the rate ticks per step from there.
inline constexpr int SidExponentialSteps = 7;
inline constexpr std::uint8_t SidExponentialLevels[SidExponentialSteps] = {0xFF, 0x5D, 0x36, 0x1A,
                                                                           0x0E, 0x06, 0x00};
inline constexpr std::uint8_t SidExponentialDividers[SidExponentialSteps] = {1, 2, 4, 8, 16, 30, 1};

// The 23-bit noise register: taps 22 and 17, and the eight bits that drive waveform bits 11-4.
inline constexpr std::uint32_t SidNoiseMask = 0x7FFFFF;
inline constexpr std::uint32_t SidNoiseReset = 0x7FFFF8;
inline constexpr int SidNoiseOutputBits[8] = {2, 4, 7, 11, 13, 16, 20, 22};  // for bits 4-11

inline std::uint32_t NextNoise(std::uint32_t noise) {
  return ((noise << 1) | (((noise >> 22) ^ (noise >> 17)) & 1)) & SidNoiseMask;
}

inline std::uint16_t NoiseWave(std::uint32_t noise) {
  std::uint32_t wave = 0;
  for (int bit = 0; bit < 8; ++bit) wave |= ((noise >> SidNoiseOutputBits[bit]) & 1) << (bit + 4);
  return static_cast<std::uint16_t>(wave);
}

// What a combined waveform's zeros do to the noise register: the bits behind the output's
// zeros are cleared.
inline std::uint32_t NoiseWrittenBack(std::uint32_t noise, std::uint16_t wave) {
  for (int bit = 0; bit < 8; ++bit) {
    if (!((wave >> (bit + 4)) & 1)) noise &= ~(std::uint32_t{1} << SidNoiseOutputBits[bit]);
  }
  return noise;
}

struct SidModelTables {
  // A waveform value's level at the voice output, full scale 1, centred on the DAC's middle,
  // with the voice's DC offset; the envelope DAC multiplies it.
  float Wave[4096];
  float Envelope[256];
  // What the 12 waveform lines read when two or more waveforms drive them, indexed by the AND
  // of the selected waveforms.
  std::uint16_t Combined[4096];
  // The DC that reaches the master volume with every voice silent.
  float MixerDc;
};

const SidModelTables& TablesFor(SidModel model);

}  // namespace quillon::accurate
