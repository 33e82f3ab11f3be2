#include "support/sound.h"

#include <algorithm>
#include <cmath>
#include <complex>
#include <fstream>
#include <iterator>
#include <numbers>

#include "support/files.h"

namespace quillon::test {
namespace {

std::uint32_t LittleEndian(const std::vector<std::uint8_t>& bytes, std::size_t at, int size) {
  std::uint32_t value = 0;
  for (int i = size - 1; i >= 0; --i) value = (value << 8) | bytes[at + i];
  return value;
}

}  // namespace

WavContents ReadWav(const std::string& path) {
  WavContents wav;
  std::ifstream file(path, std::ios::binary);
  const std::vector<std::uint8_t> bytes{std::istreambuf_iterator<char>(file), {}};
  if (bytes.size() < 44) {
    wav.Error = "shorter than a WAV header: " + std::to_string(bytes.size()) + " bytes";
    return wav;
  }
  const auto tag = [&](std::size_t at, std::size_t size) {
    return std::string(bytes.begin() + at, bytes.begin() + at + size);
  };
  const std::uint32_t data = LittleEndian(bytes, 40, 4);
  if (tag(0, 4) != "RIFF" || tag(8, 8) != "WAVEfmt " || tag(36, 4) != "data") {
    wav.Error = "not a RIFF WAVE file with fmt and data chunks";
  } else if (LittleEndian(bytes, 20, 2) != 1 || LittleEndian(bytes, 22, 2) != 1 ||
             LittleEndian(bytes, 34, 2) != 16 || LittleEndian(bytes, 32, 2) != 2) {
    wav.Error = "not 16-bit mono PCM";
  } else if (LittleEndian(bytes, 4, 4) != bytes.size() - 8 || data != bytes.size() - 44) {
    wav.Error =
        "the header's sizes do not match the file's " + std::to_string(bytes.size()) + " bytes";
  } else if (LittleEndian(bytes, 28, 4) != 2 * LittleEndian(bytes, 24, 4)) {
    wav.Error = "bytes a second do not match the sample rate";
  }
  if (!wav.Error.empty()) return wav;
  wav.SampleRate = LittleEndian(bytes, 24, 4);
  for (std::size_t at = 44; at + 1 < bytes.size(); at += 2) {
    wav.Samples.push_back(static_cast<std::int16_t>(LittleEndian(bytes, at, 2)));
  }
  return wav;
}

double Pitch(const std::vector<std::int16_t>& samples, std::uint32_t sampleRate, std::size_t from,
             std::size_t to) {
  std::vector<double> periods;
  double previous = -1;
  for (std::size_t i = from + 1; i < to && i < samples.size(); ++i) {
    if (samples[i - 1] >= 0 || samples[i] < 0) continue;
    // Where the line between the two samples meets zero.
    const double at = static_cast<double>(i - 1) +
                      static_cast<double>(-samples[i - 1]) / (samples[i] - samples[i - 1]);
    if (previous >= 0) periods.push_back(at - previous);
    previous = at;
  }
  if (periods.empty()) return 0;
  // A gap in a recording, or the ringing of a resampler where the sound stops and starts
  // again, makes a few periods of any length; the periods near the median are the tone's.
  std::vector<double> sorted = periods;
  std::nth_element(sorted.begin(), sorted.begin() + sorted.size() / 2, sorted.end());
  const double median = sorted[sorted.size() / 2];
  double sum = 0;
  int count = 0;
  for (const double period : periods) {
    if (std::abs(period - median) > median / 10) continue;
    sum += period;
    ++count;
  }
  return sampleRate * count / sum;
}

double Loudness(const std::vector<std::int16_t>& samples, std::size_t from, std::size_t to) {
  double sum = 0;
  for (std::size_t i = from; i < to; ++i) sum += static_cast<double>(samples[i]) * samples[i];
  return to > from ? std::sqrt(sum / static_cast<double>(to - from)) : 0;
}

std::vector<std::int16_t> Centred(const std::vector<std::int16_t>& samples) {
  double mean = 0;
  for (const std::int16_t s : samples) mean += s;
  mean /= static_cast<double>(samples.size());
  std::vector<std::int16_t> centred;
  for (const std::int16_t s : samples) {
    centred.push_back(static_cast<std::int16_t>(std::lround(s - mean)));
  }
  return centred;
}

double ToneFrequency(const std::vector<std::int16_t>& samples, double sampleRate) {
  const std::vector<std::int16_t> centred = Centred(samples);
  const int peak = *std::max_element(centred.begin(), centred.end());
  double first = -1;
  double last = -1;
  int periods = -1;
  bool armed = false;
  for (std::size_t i = 1; i < centred.size(); ++i) {
    armed = armed || centred[i] > peak / 4;
    if (!armed || centred[i - 1] < 0 || centred[i] >= 0) continue;
    const double at = static_cast<double>(i - 1) +
                      static_cast<double>(centred[i - 1]) / (centred[i - 1] - centred[i]);
    if (first < 0) first = at;
    last = at;
    ++periods;
    armed = false;
  }
  return periods > 0 ? sampleRate * periods / (last - first) : 0;
}

Spectrum::Spectrum(const std::vector<std::int16_t>& samples, double sampleRate)
    : Rate(sampleRate) {
  std::size_t n = 1;
  while (n * 2 <= samples.size()) n *= 2;
  double mean = 0;
  for (std::size_t i = 0; i < n; ++i) mean += samples[i];
  mean /= static_cast<double>(n);
  std::vector<std::complex<double>> x(n);
  for (std::size_t i = 0; i < n; ++i) {
    const double phase = 2 * std::numbers::pi * static_cast<double>(i) / static_cast<double>(n);
    const double hann = 0.5 - 0.5 * std::cos(phase);
    x[i] = (samples[i] - mean) * hann;
  }
  for (std::size_t i = 1, j = 0; i < n; ++i) {
    std::size_t bit = n >> 1;
    for (; j & bit; bit >>= 1) j ^= bit;
    j ^= bit;
    if (i < j) std::swap(x[i], x[j]);
  }
  for (std::size_t len = 2; len <= n; len <<= 1) {
    const std::complex<double> root =
        std::polar(1.0, -2 * std::numbers::pi / static_cast<double>(len));
    for (std::size_t i = 0; i < n; i += len) {
      std::complex<double> w = 1;
      for (std::size_t k = 0; k < len / 2; ++k, w *= root) {
        const std::complex<double> a = x[i + k];
        const std::complex<double> b = x[i + k + len / 2] * w;
        x[i + k] = a + b;
        x[i + k + len / 2] = a - b;
      }
    }
  }
  Bins = n;
  for (std::size_t i = 0; i < n / 2; ++i) Power.push_back(std::norm(x[i]));
}

double Spectrum::Band(double low, double high) const {
  double sum = 0;
  for (std::size_t i = 1; i < Power.size(); ++i) {
    const double hz = static_cast<double>(i) * Rate / static_cast<double>(Bins);
    if (hz >= low && hz <= high) sum += Power[i];
  }
  return sum;
}

double Spectrum::At(double hz) const {
  const double width = 3 * Rate / static_cast<double>(Bins);
  return Band(hz - width, hz + width);
}

std::vector<std::uint8_t> ToneProgramFile() {
  return BasicProgramFile({"10 POKE 54296,15:POKE 54272,69:POKE 54273,29:POKE 54277,0",
                           "20 POKE 54278,244:POKE 54276,17:FOR I=1 TO 500:NEXT:POKE 54276,16",
                           "30 GOTO 30"});
}

}  // namespace quillon::test
