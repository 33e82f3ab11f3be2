// The cycle-exact SID measured from the outside: writes at given cycles, its 44.1 kHz output
// analysed by its spectrum and loudness, and its readable registers read at given cycles.
#include <gtest/gtest.h>

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstdint>
#include <random>
#include <vector>

#include "accurate/sid.h"
#include "support/sound.h"

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
  // In steps of at most a tenth of a second, draining the samples as an owner must.
  void Run(std::uint64_t cycles) {
    while (cycles > 0) {
      const std::uint64_t step = std::min<std::uint64_t>(cycles, 100000);
      Cycle += step;
      cycles -= step;
      Sid.AdvanceTo(Cycle - 1);
      Drain();
    }
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

// --- Oscillators and waveforms --------------------------------------------------------------

// Two waveforms at once pull bits down: OSC3 never shows a bit that the plain AND of the two
// lacks, and the 6581 keeps fewer bits than the 8580.
TEST(AccurateSidWaveform, CombinedWaveformsPullBitsDown) {
  const auto osc3 = [](SidModel model, std::uint8_t control) {
    Chip chip(model);
    chip.Voice(2, 0x0400, static_cast<std::uint8_t>(control | 0x08), 0, 0, 0x600);
    chip.Run(10);
    chip.W(SidControl + 2 * SidVoiceRegisters, control);
    std::vector<int> reads;
    for (int i = 0; i < 4096; ++i) {
      chip.Run(16);
      reads.push_back(chip.R(SidOscillator3));
    }
    return reads;
  };
  struct Case {
    std::uint8_t Combined, First, Second;
  } const cases[] = {{0x50, 0x10, 0x40}, {0x60, 0x20, 0x40}, {0x70, 0x30, 0x40}};
  for (const Case& c : cases) {
    int bits[2] = {};
    for (const SidModel model : {M6581, M8580}) {
      const auto combined = osc3(model, c.Combined);
      const auto first = osc3(model, c.First);
      const auto second = osc3(model, c.Second);
      for (std::size_t i = 0; i < combined.size(); ++i) {
        ASSERT_EQ(combined[i] & ~(first[i] & second[i]), 0)
            << "control $" << std::hex << int{c.Combined} << " read " << std::dec << i;
        bits[static_cast<int>(model)] += std::popcount(static_cast<unsigned>(combined[i]));
      }
    }
    EXPECT_LT(bits[0], bits[1]) << "control $" << std::hex << int{c.Combined};
    EXPECT_GT(bits[0], 0) << "control $" << std::hex << int{c.Combined};
  }
}

// --- The filter -----------------------------------------------------------------------------

// The filter's modes on a 500 Hz sawtooth with the cutoff near 2 kHz, and voice 3 leaving the
// direct path only.
TEST(AccurateSidFilter, ModesAndRoutingChooseWhatIsHeard) {
  for (const SidModel model : {M6581, M8580}) {
    const std::uint8_t cutoff = model == M6581 ? 0x60 : 0x2A;
    const auto play = [&](std::uint8_t routing, std::uint8_t mode, int voice) {
      Chip chip(model);
      chip.W(SidCutoffHigh, cutoff);
      chip.W(SidResonanceRouting, routing);
      chip.W(SidModeVolume, mode);
      chip.Voice(voice, FrequencyFor(500, PalSidClock), 0x21);
      chip.RunSeconds(0.4);
      return Slice(chip.Samples, 0.1, 0.4);
    };
    const auto highShare = [](const std::vector<std::int16_t>& samples) {
      const test::Spectrum spectrum(samples, Rate);
      return spectrum.Band(2500, 20000) / spectrum.Total();
    };
    const auto loudness = [](const std::vector<std::int16_t>& samples) {
      return test::Loudness(test::Centred(samples), 0, samples.size());
    };
    const double direct = highShare(play(0x00, 0x0F, 0));
    EXPECT_LT(highShare(play(0x01, 0x1F, 0)), direct / 4) << "low-pass, model " << int(model);
    EXPECT_GT(highShare(play(0x01, 0x4F, 0)), direct * 2) << "high-pass, model " << int(model);
    EXPECT_LT(loudness(play(0x01, 0x0F, 0)), 20) << "routed with no mode, model " << int(model);
    EXPECT_LT(loudness(play(0x00, 0x8F, 2)), 20) << "3OFF, model " << int(model);
    EXPECT_GT(loudness(play(0x04, 0x9F, 2)), 500) << "3OFF leaves the filter, model " << int(model);
  }
}

// --- The envelope ---------------------------------------------------------------------------

// ENV3 read cycle by cycle: the attack's steps every 9 cycles, the stop at the sustain level,
// the release's exponential steps, the hold at 0.
TEST(AccurateSidEnvelope, Env3FollowsTheEnvelopeCycleByCycle) {
  Chip chip;
  chip.Voice(2, 0x1000, 0x11, 0x00, 0xA0);
  std::vector<std::pair<std::uint64_t, int>> changes;  // cycle, level
  int level = 0;
  const auto watch = [&](std::uint64_t cycles) {
    for (std::uint64_t i = 0; i < cycles; ++i) {
      const int read = chip.R(SidEnvelope3);
      if (read != level) changes.emplace_back(chip.Cycle, read);
      level = read;
      chip.Run(1);
    }
  };
  watch(10000);
  ASSERT_EQ(changes.size(), 255u + (0xFF - 0xAA));
  for (std::size_t i = 1; i < 255; ++i) {
    EXPECT_EQ(changes[i].second, static_cast<int>(i) + 1);
    EXPECT_EQ(changes[i].first - changes[i - 1].first, 9u) << "attack step " << i;
  }
  EXPECT_EQ(level, 0xAA) << "decay stops at the sustain level";
  changes.clear();
  chip.W(SidControl + 2 * SidVoiceRegisters, 0x10);
  watch(20000);
  // Release rate 0 from $AA: a step every 9 cycles, then every 18 from $5D on, 36 from $36,
  // 72 from $1A, 144 from $0E and 270 from $06.
  const auto interval = [](int from) {
    return from > 0x5D   ? 9
           : from > 0x36 ? 18
           : from > 0x1A ? 36
           : from > 0x0E ? 72
           : from > 0x06 ? 144
                         : 270;
  };
  ASSERT_EQ(changes.size(), 0xAAu);
  for (std::size_t i = 1; i < changes.size(); ++i) {
    const int from = changes[i - 1].second;
    EXPECT_EQ(changes[i].first - changes[i - 1].first, static_cast<std::uint64_t>(interval(from)))
        << "release from " << from;
  }
  EXPECT_EQ(level, 0);
  watch(50000);
  EXPECT_EQ(level, 0) << "held at 0 until the next gate";
}

// A rate lowered after the prescaler has passed the new period's end waits for the prescaler
// to come round its 32,767 states; a rate raised, or lowered early enough, does not. The
// prescaler starts at power-on with release rate 0 (9 cycles), so it is at the start of its
// sequence in cycle 18, where the release rate is written; `Wait` cycles later the attack's
// gate is written, and the prescaler stands at p = Wait + 1 when the attack's rate takes over.
TEST(AccurateSidEnvelope, TheAdsrDelayBug) {
  struct Case {
    std::uint8_t Release;
    std::uint64_t Wait;
    std::uint8_t Attack;
  } const cases[] = {{0xF, 20000, 0x0}, {0x8, 300, 0x2}, {0x8, 30, 0x2},
                     {0x2, 40, 0x3},    {0x0, 5, 0x0},   {0xC, 3000, 0xB}};
  for (const SidModel model : {M6581, M8580}) {
    for (const Case& c : cases) {
      Chip chip(model);
      chip.Run(18);
      chip.W(SidSustainRelease + 2 * SidVoiceRegisters, c.Release);
      chip.Run(c.Wait);
      chip.W(SidAttackDecay + 2 * SidVoiceRegisters, static_cast<std::uint8_t>(c.Attack << 4));
      chip.W(SidControl + 2 * SidVoiceRegisters, 0x11);
      const std::uint64_t gate = chip.Cycle;
      while (chip.R(SidEnvelope3) == 0) chip.Run(1);
      const std::uint64_t p = c.Wait + 1;
      const std::uint64_t period = SidRatePeriods[c.Attack];
      const std::uint64_t expected = p < period ? period - p : SidRateCycle - p + period;
      EXPECT_NEAR(static_cast<double>(chip.Cycle - gate), static_cast<double>(expected), 2)
          << "release " << int{c.Release} << ", " << c.Wait << " cycles, attack " << int{c.Attack};
    }
  }
}

// --- Readable registers ---------------------------------------------------------------------

// OSC3 read at T+k after TEST is cleared in cycle T (F = $1000, noise $8000): the sawtooth
// steps every 16 cycles, the triangle every 8, the noise shows $FE until bit 19's second rise
// ($180000, in cycle T+47) has shifted the register in T+48. The 8580's triangle and sawtooth
// come one cycle later; its pulse and noise do not.
TEST(AccurateSidRegisters, Osc3ReadsTheWaveformCycleByCycle) {
  constexpr std::uint64_t at[6] = {1, 16, 32, 48, 49, 81};
  struct Case {
    std::uint8_t Control;
    std::uint16_t Frequency, Width;
    int Before;
    int Reads[6];
  } const cases[] = {
      {0x20, 0x1000, 0x800, 0x00, {0x00, 0x01, 0x02, 0x03, 0x03, 0x05}},
      {0x10, 0x1000, 0x800, 0x00, {0x00, 0x02, 0x04, 0x06, 0x06, 0x0A}},
      {0x40, 0x1000, 0x000, 0xFF, {0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF}},
      {0x40, 0x1000, 0x010, 0xFF, {0x00, 0x00, 0xFF, 0xFF, 0xFF, 0xFF}},
      {0x80, 0x8000, 0x800, 0xFE, {0xFE, 0xFE, 0xFE, 0xFE, 0xFC, 0xFC}},
  };
  for (const Case& c : cases) {
    int reads[2][100];
    for (const SidModel model : {M6581, M8580}) {
      Chip chip(model);
      chip.Voice(2, c.Frequency, static_cast<std::uint8_t>(c.Control | 0x08), 0, 0, c.Width);
      chip.Run(100);
      EXPECT_EQ(chip.R(SidOscillator3), c.Before);
      chip.W(SidControl + 2 * SidVoiceRegisters, c.Control);
      for (int& read : reads[static_cast<int>(model)]) {
        read = chip.R(SidOscillator3);
        chip.Run(1);
      }
    }
    for (int i = 0; i < 6; ++i) {
      EXPECT_EQ(reads[0][at[i]], c.Reads[i])
          << "control $" << std::hex << int{c.Control} << std::dec << " at T+" << at[i];
    }
    const int late = (c.Control & 0x30) ? 1 : 0;
    for (int k = 1; k < 100; ++k) {
      EXPECT_EQ(reads[1][k], reads[0][k - late])
          << "8580, control $" << std::hex << int{c.Control} << std::dec << " at T+" << k;
    }
  }
}

// Noise and pulse together drain the noise register to 0, which only TEST undoes.
TEST(AccurateSidRegisters, NoiseCombinedWithPulseLocksUp) {
  for (const SidModel model : {M6581, M8580}) {
    Chip chip(model);
    chip.Voice(2, 0x4000, 0xC0, 0, 0, 0x800);
    chip.Run(100000);
    chip.W(SidControl + 2 * SidVoiceRegisters, 0x80);
    int highest = 0;
    for (int i = 0; i < 200; ++i) {
      chip.Run(101);
      highest = std::max<int>(highest, chip.R(SidOscillator3));
    }
    EXPECT_EQ(highest, 0) << int(model);
    chip.W(SidControl + 2 * SidVoiceRegisters, 0x88);
    chip.Run(10);
    chip.W(SidControl + 2 * SidVoiceRegisters, 0x80);
    chip.Run(5000);
    EXPECT_NE(chip.R(SidOscillator3), 0) << int(model);
  }
}

TEST(AccurateSidRegisters, WriteOnlyRegistersReadTheFadingBusAndPotsReadFF) {
  struct Case {
    SidModel Model;
    std::uint64_t Held;
  } const cases[] = {{M6581, SidBusHold6581}, {M8580, SidBusHold8580}};
  for (const Case& c : cases) {
    Chip chip(c.Model);
    chip.W(SidFrequencyLow, 0x5A);
    chip.Run(1);
    EXPECT_EQ(chip.R(SidAttackDecay), 0x5A);
    EXPECT_EQ(chip.R(0x1F), 0x5A) << "the unused registers too";
    chip.Run(c.Held - 10);
    EXPECT_EQ(chip.R(SidModeVolume), 0x5A) << "still there before the fade";
    chip.Run(c.Held + 1);
    EXPECT_EQ(chip.R(SidModeVolume), 0x00) << "faded";
    EXPECT_EQ(chip.R(SidPotX), 0xFF);
    EXPECT_EQ(chip.R(SidPotY), 0xFF);
    EXPECT_EQ(chip.R(SidControl), 0xFF) << "a read of $19-$1C puts its value on the bus";
    chip.Sid.SetPots(0x40, 0x80, chip.Cycle);
    chip.Run(512);
    EXPECT_EQ(chip.R(SidPotX), 0x40);
    EXPECT_EQ(chip.R(SidPotY), 0x80);
    // A read-modify-write of a write-only register reads the bus.
    chip.W(SidFrequencyLow + SidVoiceRegisters, 0x33);
    EXPECT_EQ(chip.R(SidSustainRelease), 0x33);
  }
}

// --- Output stage ---------------------------------------------------------------------------

// A sawtooth of exactly 512 cycles (1.92 kHz) has harmonics far above 22.05 kHz; folded back,
// the 12th to the 100th would stand 21 to 40 dB below the fundamental between the harmonics
// below 18 kHz, where only the window's skirts (45 dB down) may be. The period is a whole
// number of cycles so that the chip's own staircase, mirrored in its clock, falls on the
// harmonics too.
TEST(AccurateSidOutput, HarmonicsAboveTheBandDoNotFoldBack) {
  for (const SidModel model : {M6581, M8580}) {
    Chip chip(model);
    chip.W(SidModeVolume, 0x0F);
    chip.Voice(0, 0x8000, 0x21);
    chip.RunSeconds(0.5);
    const test::Spectrum spectrum(Slice(chip.Samples, 0.1, 0.5), Rate);
    const double f = HzOf(0x8000, PalSidClock);
    double between = spectrum.Band(20, 18000);
    for (int n = 1; n * f < 18000; ++n) between -= spectrum.At(n * f);
    EXPECT_LT(between, 1e-4 * spectrum.Total()) << int(model);
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

// Plays the accesses of cycles [from, to), each at its cycle, running the chip in between either
// in batches or cycle by cycle, then runs it to the end of `to` - 1; appends the samples and
// every value read.
void Replay(Sid& sid, const std::vector<Access>& program, std::uint64_t from, std::uint64_t to,
            bool perCycle, std::vector<std::int16_t>& samples, std::vector<int>& reads) {
  const auto drain = [&] {
    std::int16_t buffer[4096];
    while (std::size_t n = sid.TakeSamples(buffer, std::size(buffer))) {
      samples.insert(samples.end(), buffer, buffer + n);
    }
  };
  for (const Access& access : program) {
    if (access.Cycle < from || access.Cycle >= to) continue;
    if (perCycle) {
      while (sid.NextCycle() < access.Cycle) sid.Step();
    }
    if (access.Reg >= SidPotX) {
      reads.push_back(sid.Read(access.Reg, access.Cycle));
    } else {
      sid.Write(access.Reg, access.Value, access.Cycle);
    }
    drain();
  }
  sid.AdvanceTo(to - 1);
  drain();
}

std::vector<std::int16_t> Play(SidModel model, const std::vector<Access>& program,
                               std::uint64_t cycles, bool perCycle, std::vector<int>& reads) {
  Sid sid(model);
  std::vector<std::int16_t> samples;
  Replay(sid, program, 0, cycles, perCycle, samples, reads);
  return samples;
}

TEST(AccurateSidPaths, BatchesGiveTheSameSamplesAndReadsAsCycleByCycle) {
  constexpr std::uint64_t cycles = 2'000'000;
  for (const SidModel model : {M6581, M8580}) {
    for (const unsigned seed : {1u, 2u, 3u}) {
      const std::vector<Access> program = RandomProgram(seed, cycles);
      std::vector<int> batchReads;
      std::vector<int> stepReads;
      const auto batched = Play(model, program, cycles, false, batchReads);
      const auto stepped = Play(model, program, cycles, true, stepReads);
      ASSERT_GT(batched.size(), 40000u);
      EXPECT_EQ(batched, stepped) << "seed " << seed;
      EXPECT_EQ(batchReads, stepReads) << "seed " << seed;
      std::vector<int> againReads;
      EXPECT_EQ(Play(model, program, cycles, false, againReads), batched) << "seed " << seed;
      EXPECT_EQ(againReads, batchReads) << "seed " << seed;
    }
  }
}

// A snapshot taken halfway, loaded into a chip of the other model and clock, goes on exactly as
// the chip it was taken from; damaged snapshots are refused and change nothing.
TEST(AccurateSidPaths, SnapshotsRoundTripAndDamagedOnesChangeNothing) {
  constexpr std::uint64_t half = 600'000;
  for (const SidModel model : {M6581, M8580}) {
    const std::vector<Access> program = RandomProgram(7, 2 * half);
    Sid original(model);
    std::vector<std::int16_t> before;
    std::vector<int> reads;
    Replay(original, program, 0, half, false, before, reads);
    original.Write(SidModeVolume, 0x1F, half);  // leave a few samples queued
    original.AdvanceTo(half + 3000);
    ASSERT_GT(original.SamplesReady(), 100u);
    SnapshotWriter snapshot;
    original.Save(snapshot);

    Sid restored(model == M6581 ? M8580 : M6581, NtscSidClock);
    SnapshotReader reader{snapshot.Bytes.data(), snapshot.Bytes.size()};
    ASSERT_TRUE(restored.Load(reader));
    EXPECT_EQ(reader.Position, snapshot.Bytes.size());
    EXPECT_EQ(restored.Model(), model);
    std::vector<std::int16_t> afterOriginal;
    std::vector<std::int16_t> afterRestored;
    std::vector<int> readsOriginal;
    std::vector<int> readsRestored;
    Replay(original, program, half + 3001, 2 * half, false, afterOriginal, readsOriginal);
    Replay(restored, program, half + 3001, 2 * half, false, afterRestored, readsRestored);
    ASSERT_GT(afterOriginal.size(), 20000u);
    EXPECT_EQ(afterRestored, afterOriginal);
    EXPECT_EQ(readsRestored, readsOriginal);

    // Cut short anywhere, or with an impossible value, a snapshot leaves the chip as it was.
    SnapshotWriter unchanged;
    restored.Save(unchanged);
    std::vector<std::vector<std::uint8_t>> damaged;
    for (const std::size_t size :
         {std::size_t{0}, std::size_t{5}, snapshot.Bytes.size() / 2, snapshot.Bytes.size() - 1}) {
      damaged.emplace_back(snapshot.Bytes.begin(),
                           snapshot.Bytes.begin() + static_cast<std::ptrdiff_t>(size));
    }
    damaged.push_back(snapshot.Bytes);
    damaged.back()[0] = 2;  // no such model
    damaged.push_back(snapshot.Bytes);
    // The top byte of voice 1's accumulator, after the model, clock, cycle and its registers.
    damaged.back()[17 + 10] = 0xFF;
    for (const auto& bytes : damaged) {
      SnapshotReader bad{bytes.data(), bytes.size()};
      EXPECT_FALSE(restored.Load(bad)) << bytes.size() << " bytes";
      SnapshotWriter after;
      restored.Save(after);
      EXPECT_EQ(after.Bytes, unchanged.Bytes) << bytes.size() << " bytes";
    }
  }
}

}  // namespace
}  // namespace quillon::accurate
