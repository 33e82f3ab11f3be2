#include "support/sound.h"

#include <algorithm>
#include <cmath>
#include <fstream>
#include <iterator>

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

std::vector<std::uint8_t> ToneProgramFile() {
  return BasicProgramFile({"10 POKE 54296,15:POKE 54272,69:POKE 54273,29:POKE 54277,0",
                           "20 POKE 54278,244:POKE 54276,17:FOR I=1 TO 500:NEXT:POKE 54276,16",
                           "30 GOTO 30"});
}

}  // namespace quillon::test
