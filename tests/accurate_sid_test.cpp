// The cycle-exact SID measured from the outside: writes at given cycles, its 44.1 kHz output
// analysed by zero crossings and spectra, and its readable registers read at given cycles.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <complex>
#include <cstdint>
#include <numbers>
#include <random>
#include <vector>

#include "accurate/sid.h"

namespace quillon::accurate {
namespace {

constexpr double Rate = SidSampleRate;
constexpr SidModel M6581 = SidModel::Mos6581;
constexpr SidModel M8580 = SidModel::Mos8580;

// A chip and its owner's cycle counter: writes and reads happen at `Cycle`, the first cycle
// not yet run, and Run moves it on, collecting the samples.
struct Chip {
  explicit Chip(SidModel model = M6581, double clock = PalSidClock) : Sid(model, clock) {}

  void W(int reg, std::uint8_t value) { Sid.Write(reg, value, Cycle); }
  std::uint8_t R(int reg) { return Sid.Read(reg, Cycle); }
  void Run(std::uint64_t cycles) {
    Cycle += cycles;
    Sid.AdvanceTo(Cycle - 1);
    Drain();
  }
  void RunSeconds(double seconds) { Run(static_cast<std::uint64_t>(seconds * Sid.Clock())); }
  void Drain() {
    std::int16_t buffer[4096];
    while (std::size_t n = Sid.TakeSamples(buffer, std::size(buffer))) {
      Samples.insert(Samples.end(), buffer, buffer + n);
    }
  }
  // Voice v's frequency, pulse width, ADSR and control in one go.
  void Voice(int v, std::uint16_t frequency, std::uint8_t control, std::uint8_t ad = 0x00,
             std::uint8_t sr = 0xF0, std::uint16_t pulse = 0x800) {
    const int base = v * SidVoiceRegisters;
    W(base + SidFrequencyLow, static_cast<std::uint8_t>(frequency));
    W(base + SidFrequencyHigh, static_cast<std::uint8_t>(frequency >> 8));
    W(base + SidPulseLow, static_cast<std::uint8_t>(pulse));
    W(base + SidPulseHigh, static_cast<std::uint8_t>(pulse >> 8));
    W(base + SidAttackDecay, ad);
    W(base + SidSustainRelease, sr);
    W(base + SidControl, control);
  }

  accurate::Sid Sid;
  std::uint64_t Cycle = 0;
  std::vector<std::int16_t> Samples;
};

// The frequency value that plays `hz` at `clock`.
std::uint16_t FrequencyFor(double hz, double clock) {
  return static_cast<std::uint16_t>(std::lround(hz * 16777216.0 / clock));
}
double HzOf(std::uint16_t frequency, double clock) { return frequency * clock / 16777216.0; }

std::vector<std::int16_t> Slice(const std::vector<std::int16_t>& samples, double from, double to) {
  const auto first = static_cast<std::size_t>(from * Rate);
  const auto last = std::min(samples.size(), static_cast<std::size_t>(to * Rate));
  return {samples.begin() + static_cast<std::ptrdiff_t>(first),
          samples.begin() + static_cast<std::ptrdiff_t>(last)};
}

// The samples with their mean taken away, so that the chip's DC does not hide zero crossings.
std::vector<std::int16_t> Centred(const std::vector<std::int16_t>& samples) {
  double mean = 0;
  for (const std::int16_t s : samples) mean += s;
  mean /= static_cast<double>(samples.size());
  std::vector<std::int16_t> centred;
  for (const std::int16_t s : samples) centred.push_back(static_cast<std::int16_t>(std::lround(s - mean)));
  return centred;
}

// The frequency from falling zero crossings (mean removed), each counted only once the wave has
// risen above a quarter of its peak since the last: the 6581's uneven DAC can make a ramp
// dip across the mean halfway up.
double PitchOf(const std::vector<std::int16_t>& samples) {
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
  return periods > 0 ? Rate * periods / (last - first) : 0;
}

// The power spectrum of the first 2^k samples (Hann window, mean removed), bin i at i * Rate / n.
struct Spectrum {
  explicit Spectrum(const std::vector<std::int16_t>& samples) {
    std::size_t n = 1;
    while (n * 2 <= samples.size()) n *= 2;
    double mean = 0;
    for (std::size_t i = 0; i < n; ++i) mean += samples[i];
    mean /= static_cast<double>(n);
    std::vector<std::complex<double>> x(n);
    for (std::size_t i = 0; i < n; ++i) {
      const double hann = 0.5 - 0.5 * std::cos(2 * std::numbers::pi * static_cast<double>(i) / n);
      x[i] = (samples[i] - mean) * hann;
    }
    for (std::size_t i = 1, j = 0; i < n; ++i) {
      std::size_t bit = n >> 1;
      for (; j & bit; bit >>= 1) j ^= bit;
      j ^= bit;
      if (i < j) std::swap(x[i], x[j]);
    }
    for (std::size_t len = 2; len <= n; len <<= 1) {
      const std::complex<double> root = std::polar(1.0, -2 * std::numbers::pi / static_cast<double>(len));
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
  // The power between two frequencies.
  double Band(double low, double high) const {
    double sum = 0;
    for (std::size_t i = 1; i < Power.size(); ++i) {
      const double hz = static_cast<double>(i) * Rate / static_cast<double>(Bins);
      if (hz >= low && hz <= high) sum += Power[i];
    }
    return sum;
  }
  // The power of a tone: its bin and the two beside it, where the window spreads it.
  double At(double hz) const {
    const double width = 1.5 * Rate / static_cast<double>(Bins);
    return Band(hz - width, hz + width);
  }
  double Total() const { return Band(1, Rate / 2); }

  std::size_t Bins = 0;
  std::vector<double> Power;
};

// --- Oscillators and waveforms --------------------------------------------------------------

TEST(AccurateSidPitch, EveryWaveformAtThePalAndNtscClocks) {
  struct Case {
    std::uint8_t Control;
    double Hz;
  } const cases[] = {{0x11, 440}, {0x21, 1000}, {0x41, 261.6}, {0x11, 3000}, {0x21, 110},
                     {0x41, 2500}};
  for (const double clock : {PalSidClock, NtscSidClock}) {
    for (const SidModel model : {M6581, M8580}) {
      for (const Case& c : cases) {
        Chip chip(model, clock);
        chip.W(SidModeVolume, 0x0F);
        const std::uint16_t frequency = FrequencyFor(c.Hz, clock);
        chip.Voice(0, frequency, c.Control);
        chip.RunSeconds(0.5);
        const double expected = HzOf(frequency, clock);
        EXPECT_NEAR(PitchOf(Slice(chip.Samples, 0.1, 0.5)), expected, expected * 0.005)
            << "control $" << std::hex << int{c.Control} << std::dec << " at " << c.Hz
            << " Hz, clock " << clock << ", model " << int(model);
      }
    }
  }
}

// --- The two paths and snapshots -------------------------------------------------------------

// A busy program: every register written at random cycles, sync, ring, combined and noise
// waveforms, TEST, the filter and volume included; reads of $1B and $1C along the way.
struct Access {
  std::uint64_t Cycle;
  int Reg;
  std::uint8_t Value;
};
std::vector<Access> RandomProgram(unsigned seed, std::uint64_t cycles) {
  std::mt19937 random(seed);
  std::vector<Access> program;
  std::uint64_t cycle = 10;
  while (cycle < cycles) {
    cycle += random() % 3000;
    const int reg = static_cast<int>(random() % 0x1D);
    std::uint8_t value = static_cast<std::uint8_t>(random());
    if (reg % SidVoiceRegisters == SidControl && reg < SidCutoffLow && random() % 4 != 0) {
      value &= 0xF7;  // TEST mostly off, so that voices sound
    }
    if (reg == SidModeVolume) value |= 0x08;
    program.push_back({cycle, reg, value});
  }
  return program;
}

// Plays the program, each access at its cycle, running the chip in between either in batches
// or cycle by cycle; returns the samples and every value read.
std::vector<std::int16_t> Play(SidModel model, const std::vector<Access>& program,
                               std::uint64_t cycles, bool perCycle, std::vector<int>* reads) {
  Sid sid(model);
  std::vector<std::int16_t> samples(cycles / 20);
  std::size_t got = 0;
  for (const Access& access : program) {
    if (perCycle) {
      while (sid.NextCycle() < access.Cycle) sid.Step();
    }
    if (access.Reg >= SidPotX) {
      reads->push_back(sid.Read(access.Reg, access.Cycle));
    } else {
      sid.Write(access.Reg, access.Value, access.Cycle);
    }
    got += sid.TakeSamples(samples.data() + got, samples.size() - got);
  }
  sid.AdvanceTo(cycles);
  got += sid.TakeSamples(samples.data() + got, samples.size() - got);
  samples.resize(got);
  return samples;
}

TEST(AccurateSidPaths, BatchesGiveTheSameSamplesAndReadsAsCycleByCycle) {
  constexpr std::uint64_t cycles = 2'000'000;
  for (const SidModel model : {M6581, M8580}) {
    for (const unsigned seed : {1u, 2u, 3u}) {
      const std::vector<Access> program = RandomProgram(seed, cycles);
      std::vector<int> batchReads;
      std::vector<int> stepReads;
      const auto batched = Play(model, program, cycles, false, &batchReads);
      const auto stepped = Play(model, program, cycles, true, &stepReads);
      ASSERT_GT(batched.size(), 40000u);
      EXPECT_EQ(batched, stepped) << "seed " << seed;
      EXPECT_EQ(batchReads, stepReads) << "seed " << seed;
      std::vector<int> againReads;
      EXPECT_EQ(Play(model, program, cycles, false, &againReads), batched) << "seed " << seed;
    }
  }
}

}  // namespace
}  // namespace quillon::accurate
