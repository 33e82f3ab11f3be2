// Sound read back in a test: WAV files of 16-bit mono samples, and the pitch and loudness of a
// stretch of samples.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace quillon::test {

struct WavContents {
  // Empty when the file is missing or not a whole 16-bit mono PCM WAV whose header counts
  // exactly the bytes that follow it.
  std::string Error;
  std::uint32_t SampleRate = 0;
  std::vector<std::int16_t> Samples;
};
WavContents ReadWav(const std::string& path);

// The frequency of samples [from, to) in Hz: the mean length of the periods between falling
// zero crossings, leaving out those more than a tenth away from the median; 0 when there are
// fewer than two crossings.
double Pitch(const std::vector<std::int16_t>& samples, std::uint32_t sampleRate, std::size_t from,
             std::size_t to);

// The root mean square of samples [from, to).
double Loudness(const std::vector<std::int16_t>& samples, std::size_t from, std::size_t to);

// The samples with their mean taken away.
std::vector<std::int16_t> Centred(const std::vector<std::int16_t>& samples);

// The frequency of a tone in Hz from its falling zero crossings (mean removed), each counted
// only once the wave has risen above a quarter of its peak since the last: the 6581's uneven
// DAC can make a ramp dip across the mean halfway up.
double ToneFrequency(const std::vector<std::int16_t>& samples, double sampleRate);

// The power spectrum of the first 2^k samples (Hann window, mean removed), bin i at
// i * rate / n.
struct Spectrum {
  Spectrum(const std::vector<std::int16_t>& samples, double sampleRate);
  // The power between two frequencies.
  double Band(double low, double high) const;
  // The power of a tone: its bin and the window's main lobe around it.
  double At(double hz) const;
  double Total() const { return Band(1, Rate / 2); }

  double Rate;
  std::size_t Bins = 0;
  std::vector<double> Power;
};

// The tone program: voice 1 plays a triangle at frequency value $1D45 (440 Hz on a PAL
// machine), attack 0, sustain 15, release 4; the gate opens, a FOR loop holds it for about
// 0.6 s, then the gate closes and the program waits.
std::vector<std::uint8_t> ToneProgramFile();

}  // namespace quillon::test
