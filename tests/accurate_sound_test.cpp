// The accurate machine's sound as programs make it: 6502 programs of the tests' own, recorded by
// headless runs with --model accurate --wav and measured from the recordings; the SID's
// registers as a program reads them back; and the samples' way from the emulation's thread to
// the one that ticks the sound.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <fstream>
#include <iterator>
#include <numbers>
#include <numeric>
#include <thread>
#include <vector>

#include "accurate/sample_queue.h"
#include "accurate/sid.h"
#include "accurate/vic_ii.h"
#include "app/command_line.h"
#include "app/headless_run.h"
#include "interface/create_machine.h"
#include "session/session.h"
#include "sound/sound_output.h"
#include "support/accurate.h"
#include "support/files.h"
#include "support/machine.h"
#include "support/sound.h"

namespace quillon {
namespace {

using accurate::SidSampleRate;
using test::Assembler;

constexpr double Rate = SidSampleRate;
constexpr std::size_t TickSamples = SidSampleRate / 20;
constexpr std::size_t FrameSamples = SidSampleRate / LiveFramesPerSecond;

// A video standard as a recording sees it: the chip's clock and the cycles of a frame.
struct Standard {
  bool Ntsc;
  double Clock;
  int FrameCycles;
};
constexpr Standard Pal = {false, accurate::PalSidClock,
                          accurate::PalTiming.CyclesPerLine* accurate::PalTiming.LinesPerFrame};
constexpr Standard Ntsc = {true, accurate::NtscSidClock,
                           accurate::NtscTiming.CyclesPerLine* accurate::NtscTiming.LinesPerFrame};

std::uint16_t FrequencyFor(double hz, double clock) {
  return static_cast<std::uint16_t>(std::lround(hz * 16777216.0 / clock));
}
double HzOf(std::uint16_t frequency, double clock) { return frequency * clock / 16777216.0; }

// The opcode the programs branch with.
constexpr std::uint8_t Bne = 0xD0;

// A sound test's program, started by RUN: interrupts off and the screen blanked, so that nothing
// takes cycles from it; register writes between waits of whole frames counted on the raster;
// and the end of the run through the debug exit port. A recording's last sample is that end,
// so each wait's part of the recording is found by counting back from it.
class SoundProgram {
 public:
  SoundProgram() {
    Code.Bytes({0x78});  // SEI
    Code.Poke({0xD011}, 0x0B);
  }
  SoundProgram& Poke(std::uint16_t address, std::uint8_t value) {
    Code.Poke({address}, value);
    return *this;
  }
  // Voice v's frequency, pulse width, envelope and control, the control last.
  SoundProgram& Voice(int v, std::uint16_t frequency, std::uint8_t control, std::uint8_t ad = 0x00,
                      std::uint8_t sr = 0xF0, std::uint16_t pulse = 0x800) {
    const auto base = static_cast<std::uint16_t>(0xD400 + 7 * v);
    Poke(base, static_cast<std::uint8_t>(frequency));
    Poke(base + 1, static_cast<std::uint8_t>(frequency >> 8));
    Poke(base + 2, static_cast<std::uint8_t>(pulse));
    Poke(base + 3, static_cast<std::uint8_t>(pulse >> 8));
    Poke(base + 5, ad);
    Poke(base + 6, sr);
    return Poke(base + 4, control);
  }
  // Waits `frames` frames (raster line 128, then 129, that many times): a part of the
  // recording.
  SoundProgram& Hold(int frames) {
    Parts.push_back({frames, 0});
    for (int left = frames; left > 0; left -= 255) {
      Code.Bytes({0xA2, static_cast<std::uint8_t>(std::min(left, 255))});  // LDX
      const std::uint16_t loop = Code.Here();
      Code.WaitRaster(0x80).WaitRaster(0x81).Bytes({0xCA});  // DEX
      Code.Branch(Bne, loop, false);
    }
    return *this;
  }
  // Plays 4-bit samples through the volume register, one every `period` cycles from CIA 1's
  // timer A, `count` of them, going round the 16 of `table`: a part of the recording.
  SoundProgram& VolumeSamples(const std::uint8_t (&table)[16], int period, int count) {
    Parts.push_back({0, static_cast<std::uint64_t>(period) * static_cast<std::uint64_t>(count)});
    for (int i = 0; i < 16; ++i) Poke(static_cast<std::uint16_t>(0xC000 + i), table[i]);
    Poke(0x00FB, static_cast<std::uint8_t>(count))
        .Poke(0x00FC, static_cast<std::uint8_t>(count >> 8));
    Poke(0xDC04, static_cast<std::uint8_t>(period - 1)).Poke(0xDC05, 0x00);
    Poke(0xDC0E, 0x11);                    // force load, continuous
    Code.Lda(0xDC0D).Bytes({0xA2, 0x00});  // the flag cleared; LDX #0
    const std::uint16_t loop = Code.Here();
    Code.WaitBit(0xDC0D, 0x01);
    Code.Bytes({0xBD, 0x00, 0xC0}).Sta(0xD418);                    // LDA $C000,X
    Code.Bytes({0xE8, 0x8A, 0x29, 0x0F, 0xAA});                    // INX TXA AND #$0F TAX
    Code.Bytes({0xA5, 0xFB, 0xD0, 0x02, 0xC6, 0xFC, 0xC6, 0xFB});  // the count down by one
    Code.Bytes({0xA5, 0xFB, 0x05, 0xFC});                          // LDA $FB ORA $FC
    Code.Branch(Bne, loop, false);
    return *this;
  }
  std::vector<std::uint8_t> File() const {
    Assembler code = Code;
    code.Poke({0xD7FF}, 0x00).Stop();
    return code.ProgramFile();
  }

  struct Part {
    int Frames;
    std::uint64_t Cycles;
  };
  std::vector<Part> Parts;

 private:
  Assembler Code{Assembler::ProgramOrigin};
};

// A headless run of the program on the accurate machine, recorded.
struct Recording {
  std::string Path;
  std::vector<std::int16_t> Samples;
  Standard Std;
  std::vector<SoundProgram::Part> Parts;
  std::uint64_t Cycles;  // run in all

  double SamplesOf(const SoundProgram::Part& part) const {
    return static_cast<double>(part.Frames * Std.FrameCycles + part.Cycles) * Rate / Std.Clock;
  }
  // Part k's samples, its first `settle` seconds left out.
  std::vector<std::int16_t> Part(std::size_t k, double settle = 0.1) const {
    double end = static_cast<double>(Samples.size());
    for (std::size_t j = k + 1; j < Parts.size(); ++j) end -= SamplesOf(Parts[j]);
    const double start = end - SamplesOf(Parts[k]) + settle * Rate;
    return {Samples.begin() + std::lround(start), Samples.begin() + std::lround(end)};
  }
};

Recording Record(const SoundProgram& program, const Standard& standard,
                 SidChip chip = SidChip::Mos6581) {
  test::PowerOnMachine();
  CommandLineOptions options;
  options.Headless = true;
  options.Model = MachineModel::Accurate;
  options.Sid = chip;
  options.Ntsc = standard.Ntsc;
  options.DebugExit = true;
  options.Frames = 100000;
  options.File = test::WriteTempFile("sound.prg", program.File());
  options.WavPath = test::WriteTempFile(chip == SidChip::Mos6581 ? "6581.wav" : "8580.wav", {});
  EXPECT_EQ(RunHeadless(options).ExitCode, 0) << "the program did not reach its end";
  test::WavContents wav = test::ReadWav(options.WavPath);
  EXPECT_EQ(wav.Error, "");
  EXPECT_EQ(wav.SampleRate, SidSampleRate);
  return {options.WavPath, std::move(wav.Samples), standard, program.Parts,
          CurrentMachine().Clock()};
}

const char* Name(SidChip chip) { return chip == SidChip::Mos6581 ? "6581" : "8580"; }

// --- Pitch, waveforms, the output's DC -------------------------------------------------------

TEST(AccurateSoundPitch, EveryWaveformOnPalAndNtscAndTheRecordingIsCentred) {
  struct Wave {
    std::uint8_t Control;
    std::uint16_t Frequency;
  } const waves[] = {{0x11, 0x1D45}, {0x21, 0x4000}, {0x41, 0x0F00}};
  for (const Standard& standard : {Pal, Ntsc}) {
    for (const SidChip chip : {SidChip::Mos6581, SidChip::Mos8580}) {
      SoundProgram program;
      program.Poke(0xD418, 0x0F);
      for (const Wave& wave : waves) program.Voice(0, wave.Frequency, wave.Control).Hold(25);
      const Recording recording = Record(program, standard, chip);
      for (std::size_t k = 0; k < std::size(waves); ++k) {
        const std::vector<std::int16_t> part = recording.Part(k);
        const double expected = HzOf(waves[k].Frequency, standard.Clock);
        EXPECT_NEAR(test::ToneFrequency(part, Rate), expected, expected * 0.005)
            << Name(chip) << (standard.Ntsc ? " NTSC" : " PAL") << " control $" << std::hex
            << int{waves[k].Control};
        // The 6581's output rides thousands of steps above 0; the coupling takes it away.
        const double mean =
            std::accumulate(part.begin(), part.end(), 0.0) / static_cast<double>(part.size());
        EXPECT_LT(std::abs(mean), test::Loudness(part, 0, part.size()) * 0.01) << Name(chip);
      }
    }
  }
}

// A recording holds every cycle run, at the chip's own clock, and every sample once: the
// periods of a triangle are all alike, where a sample lost or doubled at one of the ticks (every
// two and a half frames) would make one of them a sample short or long.
TEST(AccurateSoundPitch, TheRecordingHoldsEveryCycleRunAtTheChipsClockOnce) {
  for (const Standard& standard : {Pal, Ntsc}) {
    SoundProgram program;
    program.Poke(0xD418, 0x0F).Voice(0, FrequencyFor(441, standard.Clock), 0x11).Hold(60);
    const Recording recording = Record(program, standard, SidChip::Mos8580);
    const double expected = static_cast<double>(recording.Cycles) * Rate / standard.Clock;
    EXPECT_NEAR(static_cast<double>(recording.Samples.size()), expected, 2) << standard.Ntsc;
    const std::vector<std::int16_t> part = test::Centred(recording.Part(0));
    std::vector<double> crossings;
    for (std::size_t i = 1; i < part.size(); ++i) {
      if (part[i - 1] < 0 || part[i] >= 0) continue;
      crossings.push_back(static_cast<double>(i - 1) +
                          static_cast<double>(part[i - 1]) / (part[i - 1] - part[i]));
    }
    ASSERT_GT(crossings.size(), 350u);
    const double period =
        (crossings.back() - crossings.front()) / static_cast<double>(crossings.size() - 1);
    for (std::size_t i = 1; i < crossings.size(); ++i) {
      ASSERT_NEAR(crossings[i] - crossings[i - 1], period, 0.2) << "period " << i;
    }
  }
}

TEST(AccurateSoundPitch, TwoRunsWriteTheSameFile) {
  SoundProgram program;
  program.Poke(0xD417, 0xF3).Poke(0xD416, 0x40).Poke(0xD418, 0x3F);
  program.Voice(0, 0x2000, 0x41, 0x2A, 0x8C, 0x300).Voice(1, 0x7000, 0x81, 0x05, 0xF9);
  program.Voice(2, 0x0800, 0x17).Hold(20).Voice(0, 0x2400, 0x40).Hold(20);
  const auto bytes = [](const Recording& recording) {
    std::ifstream file(recording.Path, std::ios::binary);
    return std::vector<char>(std::istreambuf_iterator<char>(file), {});
  };
  const std::vector<char> first = bytes(Record(program, Pal));
  EXPECT_GT(first.size(), 44u + 2 * 44100);
  EXPECT_EQ(bytes(Record(program, Pal)), first);
}

// --- Waveforms --------------------------------------------------------------------------------

// A pulse high for a fraction d of the period has harmonics |sin(n pi d)| / n, whatever the two
// levels are: the 6581's uneven DAC does not change them.
TEST(AccurateSoundWaveform, APulseWidthSweepShapesTheHarmonicsAsARealPulseWave) {
  const std::uint16_t widths[] = {0x800, 0x400, 0xC00, 0x555, 0x200};
  const std::uint16_t frequency = FrequencyFor(441, Pal.Clock);
  const double f = HzOf(frequency, Pal.Clock);
  for (const SidChip chip : {SidChip::Mos6581, SidChip::Mos8580}) {
    SoundProgram program;
    program.Poke(0xD418, 0x0F);
    for (const std::uint16_t width : widths)
      program.Voice(0, frequency, 0x41, 0, 0xF0, width).Hold(20);
    const Recording recording = Record(program, Pal, chip);
    for (std::size_t k = 0; k < std::size(widths); ++k) {
      const test::Spectrum spectrum(recording.Part(k), Rate);
      const double d = (4096.0 - widths[k]) / 4096.0;
      const double first = std::sqrt(spectrum.At(f));
      for (const int n : {2, 3, 4}) {
        const double expected =
            std::abs(std::sin(n * std::numbers::pi * d)) / (n * std::sin(std::numbers::pi * d));
        EXPECT_NEAR(std::sqrt(spectrum.At(n * f)) / first, expected, 0.03)
            << Name(chip) << " width $" << std::hex << widths[k] << std::dec << " harmonic " << n;
      }
    }
  }
}

// Voice 1 at 1 kHz against oscillator 3 at 150 Hz, which is silent: its triangle folded by
// oscillator 3's MSB (ring) has the sidebands f1 +- f3 and little of f1; its sawtooth
// restarted by it (sync) has every component on a harmonic of 150 Hz.
TEST(AccurateSoundWaveform, RingModulationAndSyncMakeTheirSidebands) {
  const std::uint16_t voice1 = FrequencyFor(1000, Pal.Clock);
  const std::uint16_t voice3 = FrequencyFor(150, Pal.Clock);
  const double f1 = HzOf(voice1, Pal.Clock);
  const double f3 = HzOf(voice3, Pal.Clock);
  for (const SidChip chip : {SidChip::Mos6581, SidChip::Mos8580}) {
    SoundProgram program;
    program.Poke(0xD418, 0x0F).Voice(2, voice3, 0x10, 0x00, 0x00);
    for (const std::uint8_t control : {0x11, 0x15, 0x21, 0x23}) {
      program.Voice(0, voice1, control).Hold(20);
    }
    const Recording recording = Record(program, Pal, chip);
    const test::Spectrum plain(recording.Part(0), Rate);
    const test::Spectrum ring(recording.Part(1), Rate);
    EXPECT_LT(plain.At(f1 - f3) + plain.At(f1 + f3), 1e-4 * plain.Total()) << Name(chip);
    EXPECT_GT(ring.At(f1 - f3) + ring.At(f1 + f3), 0.5 * ring.Total()) << Name(chip);
    EXPECT_LT(ring.At(f1), 0.01 * ring.Total()) << Name(chip);
    const auto harmonics = [&](const test::Spectrum& spectrum) {
      double sum = 0;
      for (int n = 1; n * f3 < 15000; ++n) sum += spectrum.At(n * f3);
      return sum / spectrum.Total();
    };
    EXPECT_LT(harmonics(test::Spectrum(recording.Part(2), Rate)), 0.5) << Name(chip);
    EXPECT_GT(harmonics(test::Spectrum(recording.Part(3), Rate)), 0.97) << Name(chip);
  }
}

// Noise through the low-pass, its cutoff stepped down: less and less of it above 3 kHz.
TEST(AccurateSoundFilter, ALowPassSweepMovesTheCutoff) {
  const std::uint8_t cutoffs[] = {0xFF, 0xA0, 0x60, 0x30, 0x10};
  for (const SidChip chip : {SidChip::Mos6581, SidChip::Mos8580}) {
    SoundProgram program;
    program.Poke(0xD417, 0x01).Poke(0xD418, 0x1F).Voice(0, 0xFFFF, 0x81);
    for (const std::uint8_t cutoff : cutoffs) program.Poke(0xD416, cutoff).Hold(15);
    const Recording recording = Record(program, Pal, chip);
    double previous = 2;
    for (std::size_t k = 0; k < std::size(cutoffs); ++k) {
      const test::Spectrum spectrum(recording.Part(k), Rate);
      const double high = spectrum.Band(3000, 20000) / spectrum.Total();
      EXPECT_LT(high, previous * 0.8)
          << Name(chip) << " FC $" << std::hex << int{cutoffs[k]} << "0";
      previous = high;
    }
    EXPECT_LT(previous, 0.05) << Name(chip);
  }
}

// --- Envelopes ----------------------------------------------------------------------------

// The datasheet's times in ms, for a 1 MHz clock. Rate 0 is the exception: the prescaler's
// period of 9 cycles makes 2.3 ms and 6.8 ms where the datasheet rounds to 2 and 6.
constexpr double AttackMs[16] = {2.3, 8,   16,  24,  38,   56,   68,   80,
                                 100, 250, 500, 800, 1000, 3000, 5000, 8000};
constexpr double DecayMs[16] = {6.8, 24,  48,   72,   114,  168,  204,   240,
                                300, 750, 1500, 2400, 3000, 9000, 15000, 24000};

// The loudness at each sample: the RMS over the `period` samples around it.
std::vector<double> LoudnessTrack(const std::vector<std::int16_t>& samples, std::size_t period) {
  std::vector<double> sums(samples.size() + 1, 0.0);
  for (std::size_t i = 0; i < samples.size(); ++i) {
    sums[i + 1] = sums[i] + static_cast<double>(samples[i]) * samples[i];
  }
  std::vector<double> track(samples.size(), 0.0);
  for (std::size_t i = period / 2; i + period / 2 < samples.size(); ++i) {
    track[i] =
        std::sqrt((sums[i + period / 2] - sums[i - period / 2]) / static_cast<double>(period));
  }
  return track;
}

// Where the track first crosses `level` after `from`, in seconds, between samples.
double Crossing(const std::vector<double>& track, double level, bool rising, std::size_t from = 0) {
  for (std::size_t i = std::max<std::size_t>(from, 1); i < track.size(); ++i) {
    const double a = track[i - 1] - level;
    const double b = track[i] - level;
    if (rising ? (a < 0 && b >= 0) : (a > 0 && b <= 0)) {
      return (static_cast<double>(i - 1) + a / (a - b)) / Rate;
    }
  }
  return -1;
}

// A triangle of exactly 20 samples a period, so that the loudness over 20 samples is the
// envelope's level times the full triangle's. The 8580's envelope DAC is linear.
TEST(AccurateSoundEnvelope, AttackDecayAndReleaseTakeTheDatasheetTimes) {
  const std::uint16_t tone = FrequencyFor(Rate / 20, Pal.Clock);
  const auto frames = [](double ms) { return static_cast<int>(std::ceil(ms * 1.3 / 20)) + 2; };
  const int attacks[] = {2, 5, 8, 11, 15};
  const int decays[] = {3, 6, 9, 12};
  const int releases[] = {1, 4, 7, 10};
  SoundProgram program;
  program.Poke(0xD418, 0x0F);
  // Each note waits for the release of the one before to end (rate 0, after the prescaler has
  // come round once from a slow rate: within 40 ms).
  for (const int rate : attacks) {
    program.Voice(0, tone, 0x11, static_cast<std::uint8_t>(rate << 4), 0xF0)
        .Hold(frames(AttackMs[rate]));
    program.Voice(0, tone, 0x10).Hold(3);
  }
  for (const int rate : decays) {
    program.Voice(0, tone, 0x11, static_cast<std::uint8_t>(rate), 0x00).Hold(frames(DecayMs[rate]));
    program.Voice(0, tone, 0x10).Hold(3);
  }
  for (const int rate : releases) {
    program.Voice(0, tone, 0x11, 0x00, static_cast<std::uint8_t>(0xF0 | rate)).Hold(3);
    program.Poke(0xD404, 0x10).Hold(frames(DecayMs[rate]));
  }
  const Recording recording = Record(program, Pal, SidChip::Mos8580);
  const double scale = 1e6 / Pal.Clock / 1000;  // datasheet ms to seconds at this clock
  std::size_t part = 0;
  double full = 0;
  for (const int rate : attacks) {
    const std::vector<double> track = LoudnessTrack(recording.Part(part, 0), 20);
    full = *std::max_element(track.begin(), track.end());
    // The level rises in a straight line: timed from 10% to 90% of the way.
    const double measured =
        (Crossing(track, 0.9 * full, true) - Crossing(track, 0.1 * full, true)) / 0.8;
    EXPECT_NEAR(measured, AttackMs[rate] * scale, AttackMs[rate] * scale * 0.05)
        << "attack " << rate;
    part += 2;
  }
  // Decay and release end at the last step, from level 1 to 0.
  const double lastStep = 0.5 / 255 * full;
  for (const int rate : decays) {
    const std::vector<double> track = LoudnessTrack(recording.Part(part, 0), 20);
    const auto top =
        static_cast<std::size_t>(std::max_element(track.begin(), track.end()) - track.begin());
    const double measured = Crossing(track, lastStep, false, top) - static_cast<double>(top) / Rate;
    EXPECT_NEAR(measured, DecayMs[rate] * scale, DecayMs[rate] * scale * 0.05) << "decay " << rate;
    part += 2;
  }
  for (const int rate : releases) {
    const std::vector<double> track = LoudnessTrack(recording.Part(part + 1, 0), 20);
    const double start = Crossing(track, full * 254.5 / 255, false);
    const double measured = Crossing(track, lastStep, false) - start;
    EXPECT_NEAR(measured, DecayMs[rate] * scale, DecayMs[rate] * scale * 0.05)
        << "release " << rate;
    part += 2;
  }
}

// --- The volume register ------------------------------------------------------------------

// Four-bit samples of a sine, 16 to its period, written to $D418 every 123 cycles: the 6581's
// DC makes them a tone at the sample rate's sixteenth, which the coupling lets through; the
// 8580's mix has next to no DC for the volume to scale.
TEST(AccurateSoundVolume, FourBitSamplesPlayedThroughD418AreHeardAtTheirPitch) {
  std::uint8_t sine[16];
  for (int i = 0; i < 16; ++i) {
    sine[i] =
        static_cast<std::uint8_t>(std::lround(7.5 + 7.5 * std::sin(2 * std::numbers::pi * i / 16)));
  }
  double loudness[2];
  for (const SidChip chip : {SidChip::Mos6581, SidChip::Mos8580}) {
    SoundProgram program;
    program.VolumeSamples(sine, 123, 8000 * 6 / 10);
    const Recording recording = Record(program, Pal, chip);
    const std::vector<std::int16_t> part = recording.Part(0);
    loudness[static_cast<int>(chip)] = test::Loudness(part, 0, part.size());
    if (chip == SidChip::Mos6581) {
      const double expected = Pal.Clock / 123 / 16;
      EXPECT_NEAR(test::ToneFrequency(part, Rate), expected, expected * 0.005);
    }
  }
  EXPECT_GT(loudness[0], 1000);
  EXPECT_LT(loudness[1], loudness[0] / 20);
}

// --- Registers read back by a program -------------------------------------------------------

// Runs `code` (assembled at $C000) on a booted machine, with the screen blanked, to its end;
// returns what it stored at $2000 on.
std::vector<std::uint8_t> RunReads(Assembler& code, std::size_t count,
                                   SidChip chip = SidChip::Mos6581) {
  auto machine = test::BootAccurate();
  machine->SetSidChip(chip);
  code.Stop();
  code.LoadInto(*machine);
  EXPECT_TRUE(test::RunUntil(*machine, 0xC000, {code.End()}, 20'000'000));
  const std::uint8_t* ram = machine->Ram();
  return {ram + 0x2000, ram + 0x2000 + count};
}

// Stores the accumulator at ($FB),Y and goes back to `loop` until `pages` pages from $2000 on
// are full.
void StoreAndLoop(Assembler& code, std::uint16_t loop, int pages) {
  code.Bytes({0x91, 0xFB, 0xC8});  // STA ($FB),Y  INY
  code.Branch(Bne, loop);
  code.Bytes({0xE6, 0xFC, 0xA5, 0xFC, 0xC9, static_cast<std::uint8_t>(0x20 + pages)});
  code.Branch(Bne, loop);
}

Assembler ReadingProgram() {
  Assembler code(0xC000);
  code.Poke({0xD011}, 0x0B).Poke({0x00FB}, 0x00).Poke({0x00FC}, 0x20).Bytes({0xA0, 0x00});
  return code;
}

// Noise read 400 cycles apart, 25 shifts of its register: as random as a simple check can tell.
TEST(AccurateSoundRegisters, D41BNoiseLooksRandom) {
  Assembler code = ReadingProgram();
  code.Poke({0xD40E, 0xD40F}, 0xFF).Poke({0xD412}, 0x80);
  const std::uint16_t loop = code.Here();
  code.Bytes({0xA2, 0x4C, 0xCA});  // LDX #76, DEX ...
  code.Branch(Bne, static_cast<std::uint16_t>(code.Here() - 1));
  code.Lda(0xD41B);
  StoreAndLoop(code, loop, 8);
  const std::vector<std::uint8_t> values = RunReads(code, 2048);
  const double mean =
      std::accumulate(values.begin(), values.end(), 0.0) / static_cast<double>(values.size());
  EXPECT_NEAR(mean, 127, 10);
  for (int bit = 0; bit < 8; ++bit) {
    const auto ones =
        std::count_if(values.begin(), values.end(), [bit](int v) { return (v >> bit) & 1; });
    EXPECT_NEAR(static_cast<double>(ones) / static_cast<double>(values.size()), 0.5, 0.06)
        << "bit " << bit;
  }
  double covariance = 0;
  double variance = 0;
  for (std::size_t i = 1; i < values.size(); ++i) {
    covariance += (values[i] - mean) * (values[i - 1] - mean);
    variance += (values[i] - mean) * (values[i] - mean);
  }
  EXPECT_LT(std::abs(covariance / variance), 0.1) << "neighbouring reads are unrelated";
  std::vector<std::uint8_t> sorted = values;
  std::sort(sorted.begin(), sorted.end());
  EXPECT_GT(std::unique(sorted.begin(), sorted.end()) - sorted.begin(), 200);
}

// Oscillator 3's triangle, started from 0 by TEST and read every 32 cycles over its period of
// 32,768: up to $FF, then down to 0.
TEST(AccurateSoundRegisters, D41BTriangleRisesAndFalls) {
  Assembler code = ReadingProgram();
  code.Poke({0xD40F}, 0x02).Poke({0xD412}, 0x18).Poke({0xD412}, 0x10);
  const std::uint16_t loop = code.Here();
  code.Nops(7).Bytes({0x24, 0xFB}).Lda(0xD41B);  // 17 cycles, then 15 to read and store
  StoreAndLoop(code, loop, 4);
  const std::vector<std::uint8_t> values = RunReads(code, 1024);
  const auto top = std::max_element(values.begin(), values.end());
  const auto end = values.begin() + 1000;
  EXPECT_EQ(*top, 0xFF);
  EXPECT_LT(values.front(), 4);
  EXPECT_TRUE(std::is_sorted(values.begin(), top));
  EXPECT_TRUE(std::is_sorted(top, end, std::greater<>()));
  EXPECT_LT(*end, 16);
  EXPECT_NEAR(static_cast<double>(top - values.begin()), 512, 16) << "half the period up";
}

// ENV3 read every 101 cycles: attack 2 up to $FF in 16,065 cycles, decay 4 down to sustain $A,
// held; then, the gate let go half way, release 6 down to 0.
TEST(AccurateSoundRegisters, D41CFollowsTheEnvelope) {
  for (const SidChip chip : {SidChip::Mos6581, SidChip::Mos8580}) {
    Assembler code = ReadingProgram();
    code.Poke({0xD413}, 0x24).Poke({0xD414}, 0xA6).Poke({0xD412}, 0x01);
    for (const int pages : {16, 32}) {
      const std::uint16_t loop = code.Here();
      code.Bytes({0xA2, 0x11, 0xCA});  // LDX #17, DEX ...
      code.Branch(Bne, static_cast<std::uint16_t>(code.Here() - 1));
      code.Lda(0xD41C);
      StoreAndLoop(code, loop, pages);
      code.Poke({0xD412}, 0x00);
    }
    const std::vector<std::uint8_t> values = RunReads(code, 0x2000, chip);
    const auto peak = std::find(values.begin(), values.end(), 0xFF);
    ASSERT_NE(peak, values.end()) << Name(chip);
    EXPECT_TRUE(std::is_sorted(values.begin(), peak)) << Name(chip);
    EXPECT_NEAR(static_cast<double>(peak - values.begin()), 255 * 63 / 101.0, 3) << Name(chip);
    const auto held = std::find(peak, values.end(), 0xAA);
    ASSERT_NE(held, values.end()) << Name(chip);
    EXPECT_TRUE(std::is_sorted(peak, held, std::greater<>())) << Name(chip);
    const auto gateOff = values.begin() + 0x1000;
    EXPECT_TRUE(std::all_of(held, gateOff, [](std::uint8_t v) { return v == 0xAA; })) << Name(chip);
    EXPECT_TRUE(std::is_sorted(gateOff, values.end(), std::greater<>())) << Name(chip);
    EXPECT_EQ(values.back(), 0) << Name(chip);
  }
}

// --- Snapshots ----------------------------------------------------------------------------

constexpr SnapshotKeyboardPart NoKeyboard = {[](SnapshotWriter&) {},
                                             [](SnapshotReader&, bool) { return true; }};

// Eight ticks of three frames, as a recording takes them.
std::vector<std::int16_t> RecordTicks(Machine& machine) {
  std::vector<std::int16_t> samples;
  for (int tick = 0; tick < 8; ++tick) {
    machine.RunFrames(3);
    const std::span<std::int16_t> taken = machine.SoundTick(true);
    samples.insert(samples.end(), taken.begin(), taken.end());
  }
  return samples;
}

// A snapshot keeps the chip, its model and the charge of the output's coupling: loaded into a
// machine with the other chip, it goes on sample for sample as the machine it was taken from.
TEST(AccurateSoundSnapshot, TheChipGoesOnSampleForSampleWithItsModel) {
  auto machine = test::BootAccurate();
  machine->SetSidChip(SidChip::Mos8580);
  Assembler code(0xC000);
  code.Poke({0xD416}, 0x30).Poke({0xD417}, 0xF1).Poke({0xD418}, 0x1F);
  code.Poke({0xD400, 0xD40E}, 0x31).Poke({0xD401, 0xD40F}, 0x0B).Poke({0xD406, 0xD414}, 0xC8);
  code.Poke({0xD412}, 0x41).Poke({0xD405}, 0x59).Poke({0xD404}, 0x21).Stop();
  code.LoadInto(*machine);
  ASSERT_TRUE(test::RunUntil(*machine, 0xC000, {code.End()}));
  machine->RunFrames(2);
  machine->SoundTick(true);
  SnapshotWriter out;
  machine->SaveState(out, NoKeyboard);
  const std::vector<std::int16_t> uninterrupted = RecordTicks(*machine);
  EXPECT_GT(test::Loudness(uninterrupted, 0, uninterrupted.size()), 1000);

  auto resumed = CreateMachine(MachineModel::Accurate, {.Sid = SidChip::Mos6581});
  ASSERT_TRUE(resumed->PowerOn());
  SnapshotReader in{out.Bytes.data(), out.Bytes.size()};
  ASSERT_EQ(resumed->LoadState(in, NoKeyboard), "");
  EXPECT_EQ(resumed->SidChipInUse(), SidChip::Mos8580);
  EXPECT_TRUE(RecordTicks(*resumed) == uninterrupted);
}

// --- Live: the handover to the window's sound timer --------------------------------------------

// A booted machine of the standard whose sound plays live, voice 1 sounding a sawtooth of
// frequency value $1D45: the program that set it waits in a loop.
std::unique_ptr<Machine> LiveMachine(bool pal) {
  auto machine = test::BootAccurate();
  machine->SetPal(pal);
  machine->RunFrames(2);  // the new standard comes with a frame
  Assembler code(0xC000);
  code.Poke({0xD418}, 0x0F).Poke({0xD400}, 0x45).Poke({0xD401}, 0x1D).Poke({0xD406}, 0xF0);
  code.Poke({0xD404}, 0x21).Stop();
  code.LoadInto(*machine);
  EXPECT_TRUE(test::RunUntil(*machine, 0xC000, {code.End()}));
  machine->SetSoundLive(true);
  machine->SoundTick(true);  // what came before
  return machine;
}

bool Silent(std::span<const std::int16_t> samples) {
  return std::all_of(samples.begin(), samples.end(), [](std::int16_t s) { return s == 0; });
}

// The window runs fifty frames a second, PAL and NTSC alike, and ticks every twentieth: two or
// three frames to a tick. The chip is clocked at that pace, so a frame makes the same 882
// samples on both standards, exactly as many as the device plays in its time, and the tone
// sounds as the machine running at that pace would play it.
TEST(AccurateSoundLive, TicksHandOverEveryFrameAtTheWindowsPace) {
  for (const Standard& standard : {Pal, Ntsc}) {
    auto machine = LiveMachine(!standard.Ntsc);
    std::vector<std::int16_t> played;
    for (int tick = 0; tick < 40; ++tick) {
      machine->RunFrames(tick % 2 == 0 ? 2 : 3);
      const std::span<std::int16_t> samples = machine->SoundTick(true);
      ASSERT_LE(samples.size(), SoundTickMaxSamples);
      played.insert(played.end(), samples.begin(), samples.end());
    }
    EXPECT_NEAR(static_cast<double>(played.size()), 100.0 * FrameSamples, 2) << standard.Ntsc;
    const double paced =
        0x1D45 * static_cast<double>(standard.FrameCycles) * LiveFramesPerSecond / 16777216.0;
    EXPECT_NEAR(test::ToneFrequency(played, Rate), paced, paced * 0.005) << standard.Ntsc;
  }
}

// Paused, a tick is silence and takes nothing; a tick with nothing made (a stall) is silence;
// the catch-up after a stall hands over only the newest tick's worth; a queue that overflowed
// (warp) is let go for a tick of silence. Nothing waits to be heard late or twice.
TEST(AccurateSoundLive, PauseStallAndWarpLeaveNothingToPileUpOrRepeat) {
  auto machine = LiveMachine(true);
  machine->RunFrames(2);
  std::span<std::int16_t> tick = machine->SoundTick(false);
  EXPECT_EQ(tick.size(), TickSamples);
  EXPECT_TRUE(Silent(tick)) << "paused";
  tick = machine->SoundTick(true);
  EXPECT_NEAR(static_cast<double>(tick.size()), 2 * FrameSamples, 1)
      << "the frames before the pause, once";
  EXPECT_FALSE(Silent(tick));
  tick = machine->SoundTick(true);
  EXPECT_EQ(tick.size(), TickSamples);
  EXPECT_TRUE(Silent(tick)) << "nothing made";
  machine->RunFrames(7);
  EXPECT_EQ(machine->SoundTick(true).size(), TickSamples) << "a stall's catch-up";
  machine->RunFrames(2);
  EXPECT_NEAR(static_cast<double>(machine->SoundTick(true).size()), 2 * FrameSamples, 1)
      << "nothing left behind";
  machine->RunFrames(25);
  tick = machine->SoundTick(true);
  EXPECT_EQ(tick.size(), TickSamples);
  EXPECT_TRUE(Silent(tick)) << "after an overflow";
  machine->RunFrames(3);
  tick = machine->SoundTick(true);
  EXPECT_NEAR(static_cast<double>(tick.size()), 3 * FrameSamples, 1);
  EXPECT_FALSE(Silent(tick));
}

// --- Threads (ThreadSanitizer runs these: label tsan) ----------------------------------------

// Numbered samples put in chunks of every size and taken as they come, each side now faster,
// now slower than the other: every sample arrives once and in order, but for those a put
// dropped when it found the queue full, which the taker hears of.
TEST(AccurateSoundThreads, TheQueueHandsOverEverySampleInOrderOrSaysItDroppedSome) {
  static accurate::SampleQueue queue;
  constexpr std::uint32_t Total = 400000;
  struct Drop {
    std::uint32_t First, Count;
  };
  std::vector<Drop> drops;
  std::atomic<bool> done{false};
  std::thread putter([&] {
    std::int16_t chunk[900];
    std::uint32_t next = 0;
    for (std::uint32_t size = 1; next < Total; size = size % 860 + 37) {
      const std::uint32_t count = std::min(size, Total - next);
      for (std::uint32_t i = 0; i < count; ++i) chunk[i] = static_cast<std::int16_t>(next + i);
      const auto fitted = static_cast<std::uint32_t>(queue.Put(chunk, count));
      if (fitted < count) drops.push_back({next + fitted, count - fitted});
      next += count;
      if (size % 7 == 0) std::this_thread::sleep_for(std::chrono::microseconds(200));
    }
    done = true;
  });
  static std::int16_t taken[accurate::SampleQueue::Capacity];
  std::vector<std::int16_t> received;
  int overflows = 0;
  for (int round = 0; !done || queue.Ready() > 0; ++round) {
    const std::size_t count = queue.Take(taken, std::size(taken));
    received.insert(received.end(), taken, taken + count);
    overflows += queue.TakeOverflow();
    if (round % 3 == 0) {
      std::this_thread::sleep_for(std::chrono::microseconds(round % 2 ? 50 : 1500));
    }
  }
  putter.join();
  overflows += queue.TakeOverflow();
  ASSERT_FALSE(drops.empty()) << "the taker was never slow enough to fill the queue";
  EXPECT_GE(overflows, 1);
  EXPECT_LE(overflows, static_cast<int>(drops.size()));
  std::vector<std::int16_t> expected;
  std::size_t drop = 0;
  for (std::uint32_t i = 0; i < Total; ++i) {
    while (drop < drops.size() && i == drops[drop].First) i += drops[drop++].Count;
    if (i < Total) expected.push_back(static_cast<std::int16_t>(i));
  }
  ASSERT_EQ(received.size(), expected.size());
  EXPECT_TRUE(received == expected);
}

}  // namespace
}  // namespace quillon
