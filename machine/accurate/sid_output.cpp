#include "accurate/sid_output.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <memory>
#include <numbers>

namespace quillon::accurate {

namespace {

// (1 + z^-1 + z^-2 + z^-3)^4 / 256: four running sums over a block, so that everything near a
// multiple of a quarter of the clock, which would fold into the audio band, is cut by 74 dB or
// more, while 20 kHz loses 0.4 dB.
// Arranged by the input's place in its block (newest first) and the output it goes to (this
// block's, the next one's, ...).
constexpr SidBlock CombWeights[4] = {{1 / 256.f, 31 / 256.f, 31 / 256.f, 1 / 256.f},
                                     {4 / 256.f, 40 / 256.f, 20 / 256.f, 0},
                                     {10 / 256.f, 44 / 256.f, 10 / 256.f, 0},
                                     {20 / 256.f, 40 / 256.f, 4 / 256.f, 0}};

// The second stage passes up to 18 kHz and stops by 24.1 kHz, where anything that folds over
// 22.05 kHz would land back on 20 kHz; its Kaiser window keeps the stop band 70 dB down.
constexpr double SincCutoffHz = 21050;
constexpr double KaiserBeta = 6.76;

// The 16-bit sample of a full-scale level: three voices at full swing, with room for the DC and
// the filter's resonance.
constexpr float OutputScale = 13107;

// Below this the filter's state is worth nothing in 16 bits; dropping it lets a filter that
// has rung out come to rest exactly, instead of creeping through denormal numbers.
constexpr double FilterRest = 1e-9;

// Resonance: the filter's Q from RES = 0 to RES = 15, weak on the 6581, strong on the 8580.
constexpr double QMinimum = 0.707;
constexpr double QMaximum6581 = 1.9;
constexpr double QMaximum8580 = 3.8;

// The 6581's filter input stage runs out of range softly: unity gain near 0, bending over
// like tanh to about ±SaturationLevel at three times that input, and only creeping on above.
constexpr float SaturationLevel = 1.0f;

// Vectors go by reference: by value they would change the calling convention where a 32-bit
// build has no SSE registers to pass them in.
void Saturate(SidBlock& x) {
  const SidBlock u = x * (1.0f / SaturationLevel);
  const SidBlock square = u * u;
  x = SaturationLevel * u * (27.0f + square) / (27.0f + 9.0f * square);
}

// The cutoff frequency for an 11-bit FC. The 8580's follows FC in a straight line. The 6581's
// FETs conduct only above a threshold of the cutoff DAC's voltage and then as its square, on top
// of the leak that never lets the filter close: flat near 200 Hz at the bottom, rising steeply
// from about $200, near 19 kHz at the top.
double CutoffHz(SidModel model, int cutoff) {
  if (model == SidModel::Mos8580) return 30 + 5.85 * cutoff;
  const double x = cutoff / 2047.0;
  const double drive = 0.03 * std::log1p(std::exp((x - 0.1) / 0.03));
  return 200 + 23800 * drive * drive;
}

double BesselI0(double x) {
  double sum = 1;
  double term = 1;
  for (int k = 1; k < 40; ++k) {
    term *= (x / (2 * k)) * (x / (2 * k));
    sum += term;
  }
  return sum;
}

using Matrix = double[2][2];

void Multiply(const Matrix a, const Matrix b, Matrix out) {
  for (int r = 0; r < 2; ++r) {
    for (int c = 0; c < 2; ++c) out[r][c] = a[r][0] * b[0][c] + a[r][1] * b[1][c];
  }
}

}  // namespace

SidOutput::SidOutput(SidModel model, double clock) : s_{}, model_(model), clock_(0) {
  s_.Wait = 1;
  sincTaps_.resize(static_cast<std::size_t>(Phases) * SincTaps);
  Configure(model, clock);
}

void SidOutput::Configure(SidModel model, double clock) {
  model_ = model;
  if (clock != clock_) {
    clock_ = clock;
    // Each phase's taps, for the window of inputs in the order they came: the last input is
    // the nearest to the sample's time, which lies `phase` / Phases of an input before it.
    const double rate = clock / BlockCycles;
    const double cutoff = SincCutoffHz / rate;
    const double center = (SincTaps - 1) / 2.0;
    const double half = SincTaps / 2.0;
    for (int phase = 0; phase < Phases; ++phase) {
      float* taps = &sincTaps_[static_cast<std::size_t>(phase) * SincTaps];
      double sum = 0;
      for (int j = 0; j < SincTaps; ++j) {
        const double t = center - j - static_cast<double>(phase) / Phases;
        const double arg = std::numbers::pi * 2 * cutoff * t;
        const double sinc = t == 0 ? 1 : std::sin(arg) / arg;
        const double edge = t / half;
        const double window =
            BesselI0(KaiserBeta * std::sqrt(std::max(0.0, 1 - edge * edge))) / BesselI0(KaiserBeta);
        taps[j] = static_cast<float>(sinc * window);
        sum += taps[j];
      }
      for (int j = 0; j < SincTaps; ++j) taps[j] = static_cast<float>(taps[j] / sum);
    }
    sincStep_ = static_cast<std::uint64_t>(std::llround(rate / SidSampleRate * 4294967296.0));
    std::fill(std::begin(cacheValid_), std::end(cacheValid_), false);
  }
  Derive();
}

void SidOutput::WriteRegister(int reg, std::uint8_t value) {
  s_.Registers[reg - 0x15] = value;
  Derive();
}

// The Chamberlin state-variable filter, one step per cycle:
//   hp = x - lp - bp/Q;  bp += w hp;  lp += w bp
// which is linear in (bp, lp) and x, so four steps fold into one: the state after a block and
// each cycle's selected outputs (LP, BP, HP as the mode bits add them) from the state before
// it and the block's inputs. The cycle-by-cycle recursion would be a chain of dependent
// multiplications; the folded form costs the same arithmetic without waiting on it.
void SidOutput::Derive() {
  const std::uint8_t* r = s_.Registers;
  const SidModelTables& tables = TablesFor(model_);
  saturate_ = model_ == SidModel::Mos6581;
  mixerDc_ = SidBlock{} + tables.MixerDc;
  for (int voice = 0; voice < 3; ++voice) {
    route_[voice] = ((r[2] >> voice) & 1) ? 1.0f : 0.0f;
    direct_[voice] = 1.0f - route_[voice];
  }
  unrouted_ = (r[2] & 0x07) == 0;
  if (r[3] & 0x80) direct_[2] = 0;  // 3OFF: voice 3 leaves the direct path only
  volume_ = SidBlock{} + static_cast<float>(r[3] & 0x0F) / 15.0f;

  const int cutoff = (r[1] << 3) | (r[0] & 7);
  const double frequency = std::min(CutoffHz(model_, cutoff), clock_ / 8);
  const double w = 2 * std::sin(std::numbers::pi * frequency / clock_);
  const double qMax = model_ == SidModel::Mos6581 ? QMaximum6581 : QMaximum8580;
  const double q = 1 / (QMinimum + (qMax - QMinimum) * (r[2] >> 4) / 15.0);
  const double lp = (r[3] & 0x10) ? 1 : 0;
  const double bp = (r[3] & 0x20) ? 1 : 0;
  const double hp = (r[3] & 0x40) ? 1 : 0;

  const Matrix step = {{1 - w * q, -w}, {w * (1 - w * q), 1 - w * w}};
  const double input[2] = {w, w * w};
  const double output[2] = {-hp * q + bp * (1 - w * q) + lp * w * (1 - w * q),
                            -hp - bp * w + lp * (1 - w * w)};
  const double through = hp + bp * w + lp * w * w;

  Matrix powers[5] = {{{1, 0}, {0, 1}}};
  for (int k = 1; k <= 4; ++k) Multiply(step, powers[k - 1], powers[k]);
  double outputState[4][2];  // output . step^k
  double outputInput[3];     // output . step^k . input
  for (int k = 0; k < 4; ++k) {
    filterState_[k / 2][k % 2] = powers[4][k / 2][k % 2];
    for (int c = 0; c < 2; ++c) {
      outputState[k][c] = output[0] * powers[k][0][c] + output[1] * powers[k][1][c];
      outputState_[c][k] = static_cast<float>(outputState[k][c]);
      filterInput_[c][k] =
          static_cast<float>(powers[3 - k][c][0] * input[0] + powers[3 - k][c][1] * input[1]);
    }
    if (k < 3) outputInput[k] = outputState[k][0] * input[0] + outputState[k][1] * input[1];
  }
  for (int k = 0; k < 4; ++k) {
    for (int j = 0; j < 4; ++j) {
      outputInput_[j][k] = static_cast<float>(j == k  ? through
                                              : j < k ? outputInput[k - 1 - j]
                                                      : 0);
    }
  }
}

void SidOutput::Process(const float* const voices[3], int cycles) {
  for (int block = 0; block < cycles; block += BlockCycles) {
    SidBlock a;
    SidBlock b;
    SidBlock c;
    std::memcpy(&a, voices[0] + block, sizeof a);
    std::memcpy(&b, voices[1] + block, sizeof b);
    std::memcpy(&c, voices[2] + block, sizeof c);
    SidBlock x = route_[0] * a + route_[1] * b + route_[2] * c;
    if (saturate_ && !unrouted_) Saturate(x);
    Block(x, direct_[0] * a + direct_[1] * b + direct_[2] * c);
  }
}

// With no voice routed into it and its state at rest, the filter stays at rest and gives 0,
// which is what the arithmetic would give too.
void SidOutput::Block(const SidBlock& x, const SidBlock& direct) {
  const double bp = s_.Bandpass;
  const double lp = s_.Lowpass;
  if (unrouted_ && bp == 0 && lp == 0) {
    PushBlock((direct + 0.0f + mixerDc_) * volume_);
    return;
  }
  // The outputs need less precision than the state, and the four go side by side.
  SidBlock y = outputState_[0] * static_cast<float>(bp) + outputState_[1] * static_cast<float>(lp);
  for (int j = 0; j < BlockCycles; ++j) y += outputInput_[j] * x[j];
  // The inputs' part first, apart from the chain from one block's state to the next; a state
  // too small to matter counts as 0.
  const SidBlock toBandpass = filterInput_[0] * x;
  const SidBlock toLowpass = filterInput_[1] * x;
  const bool rest = std::abs(bp) < FilterRest && std::abs(lp) < FilterRest;
  s_.Bandpass = (rest ? 0 : filterState_[0][0] * bp + filterState_[0][1] * lp) +
                ((toBandpass[0] + toBandpass[1]) + (toBandpass[2] + toBandpass[3]));
  s_.Lowpass = (rest ? 0 : filterState_[1][0] * bp + filterState_[1][1] * lp) +
               ((toLowpass[0] + toLowpass[1]) + (toLowpass[2] + toLowpass[3]));
  PushBlock((direct + y + mixerDc_) * volume_);
}

// What Block gives for a silent block on a filter at rest.
float SidOutput::SteadyLevel() const { return ((SidBlock{} + 0.0f + mixerDc_) * volume_)[0]; }

void SidOutput::ProcessSilence(int cycles) {
  int blocks = cycles / BlockCycles;
  for (; blocks > 0 && (s_.Bandpass != 0 || s_.Lowpass != 0); --blocks)
    Block(SidBlock{}, SidBlock{});
  const float level = SteadyLevel();
  for (; blocks > 0 && !(s_.CombRun >= CombSteady && s_.CombNewest == level); --blocks) {
    PushBlock(SidBlock{} + level);
  }
  // The first stage stands still: its output repeats.
  s_.CombRun = std::min<std::uint32_t>(s_.CombRun + BlockCycles * blocks, 1u << 30);
  // Skipping needs the whole ring at the value, not only the window.
  for (; blocks > 0 && !(s_.SincRun >= SincRing &&
                         s_.Sinc[(s_.SincIndex + SincRing - 1) % SincRing] == s_.CombOut);
       --blocks) {
    PushSinc(s_.CombOut);
  }
  SkipSinc(static_cast<std::uint32_t>(blocks));
}

// A block's four inputs into the first stage, and its output on to the second. The comb spans
// four blocks, so each block adds its part to this output and to the next three, which wait in
// CombPending. Once the inputs have stood at one value for five blocks, every part and every
// pending sum is what it was a block before, and so is the output.
void SidOutput::PushBlock(const SidBlock& values) {
  // Runs are counted in whole blocks.
  const float newest = values[BlockCycles - 1];
  const bool same = values[0] == newest && values[1] == newest && values[2] == newest;
  s_.CombRun = !same ? 0
               : s_.CombNewest == newest
                   ? std::min<std::uint32_t>(s_.CombRun + BlockCycles, 1u << 30)
                   : BlockCycles;
  s_.CombNewest = newest;
  if (s_.CombRun < CombSteady) {
    const SidBlock sums = s_.CombPending + CombWeights[0] * values[3] + CombWeights[1] * values[2] +
                          CombWeights[2] * values[1] + CombWeights[3] * values[0];
    s_.CombOut = sums[0];
    // The lanes one place down, a 0 into the last: the compilers make one shuffle of it.
    s_.CombPending = SidBlock{sums[1], sums[2], sums[3], 0.0f};
  }
  PushSinc(s_.CombOut);
}

void SidOutput::PushSinc(float value) {
  const int index = s_.SincIndex;
  s_.SincRun = value == s_.Sinc[(index + SincRing - 1) % SincRing]
                   ? std::min<std::uint32_t>(s_.SincRun + 1, 1u << 30)
                   : 1;
  s_.Sinc[index] = s_.Sinc[index + SincRing] = value;
  s_.SincIndex = static_cast<std::uint16_t>((index + 1) % SincRing);
  if (--s_.Wait == 0) Emit();
}

// `inputs` more of the value that fills the second stage's whole ring: the ring would not
// change, so only the count moves.
void SidOutput::SkipSinc(std::uint32_t inputs) {
  const auto skip = [this](std::uint32_t count) {
    s_.SincIndex = static_cast<std::uint16_t>((s_.SincIndex + count) % SincRing);
    s_.SincRun = static_cast<std::uint32_t>(std::min<std::uint64_t>(s_.SincRun + count, 1u << 30));
    s_.Wait -= count;
  };
  while (inputs >= s_.Wait) {
    inputs -= s_.Wait;
    skip(s_.Wait);
    Emit();
  }
  skip(inputs);
}

float SidOutput::SincAt(std::uint32_t phase) const {
  const float* window = &s_.Sinc[(s_.SincIndex + SincRing - SincTaps) % SincRing];
  const float* taps = &sincTaps_[static_cast<std::size_t>(phase) * SincTaps];
  float partial[8] = {};
  for (int i = 0; i < SincTaps; i += 8) {
    for (int k = 0; k < 8; ++k) partial[k] += taps[i + k] * window[i + k];
  }
  return ((partial[0] + partial[1]) + (partial[2] + partial[3])) +
         ((partial[4] + partial[5]) + (partial[6] + partial[7]));
}

std::int16_t SidOutput::SampleAt(std::uint32_t phase) const {
  const float level = SincAt(phase) * OutputScale;
  return static_cast<std::int16_t>(std::lrint(std::clamp(level, -32768.0f, 32767.0f)));
}

void SidOutput::Emit() {
  const std::uint32_t phase = s_.Fraction >> 24;
  std::int16_t sample;
  if (s_.SincRun >= SincTaps) {
    const float value = s_.Sinc[(s_.SincIndex + SincRing - 1) % SincRing];
    if (value != cacheValue_) {
      cacheValue_ = value;
      std::fill(std::begin(cacheValid_), std::end(cacheValid_), false);
    }
    if (!cacheValid_[phase]) {
      cache_[phase] = SampleAt(phase);
      cacheValid_[phase] = true;
    }
    sample = cache_[phase];
  } else {
    sample = SampleAt(phase);
  }
  if (s_.Count == QueueCapacity) {
    s_.Head = static_cast<std::uint16_t>((s_.Head + 1) % QueueCapacity);
    --s_.Count;
  }
  s_.Queue[(s_.Head + s_.Count) % QueueCapacity] = sample;
  ++s_.Count;
  // The next sample lies sincStep_ after this one: so many inputs on, at the fraction left.
  const std::uint64_t ahead = sincStep_ - s_.Fraction;
  const std::uint64_t wait = (ahead + 0xFFFFFFFFu) >> 32;
  s_.Wait = static_cast<std::uint32_t>(wait);
  s_.Fraction = static_cast<std::uint32_t>((wait << 32) - ahead);
}

std::size_t SidOutput::Take(std::int16_t* out, std::size_t max) {
  const std::size_t count = std::min<std::size_t>(max, s_.Count);
  for (std::size_t i = 0; i < count; ++i) out[i] = s_.Queue[(s_.Head + i) % QueueCapacity];
  s_.Head = static_cast<std::uint16_t>((s_.Head + count) % QueueCapacity);
  s_.Count = static_cast<std::uint16_t>(s_.Count - count);
  return count;
}

// --- Snapshots ------------------------------------------------------------------------------

template <class Stream, class S>
void SidOutput::Fields(Stream& stream, S& s) {
  for (auto& reg : s.Registers) stream.Field(reg);
  stream.Raw(&s.Bandpass, sizeof s.Bandpass);
  stream.Raw(&s.Lowpass, sizeof s.Lowpass);
  stream.Raw(&s.CombPending, sizeof s.CombPending);
  stream.Raw(&s.CombNewest, sizeof s.CombNewest);
  stream.Field(s.CombRun);
  stream.Raw(&s.CombOut, sizeof s.CombOut);
  stream.Raw(s.Sinc, sizeof s.Sinc);
  stream.Field(s.SincIndex);
  stream.Field(s.SincRun);
  stream.Field(s.Wait);
  stream.Field(s.Fraction);
  stream.Field(s.Head);
  stream.Field(s.Count);
  // The queued samples only, oldest first.
  for (std::size_t i = 0; i < std::min<std::size_t>(s.Count, QueueCapacity); ++i) {
    stream.Raw(&s.Queue[(s.Head + i) % QueueCapacity], sizeof(std::int16_t));
  }
}

void SidOutput::Save(SnapshotWriter& out) const { Fields(out, s_); }

bool SidOutput::Load(SnapshotReader& in) {
  auto loaded = std::make_unique_for_overwrite<State>();
  *loaded = s_;
  Fields(in, *loaded);
  const State& s = *loaded;
  bool valid = !in.Failed && std::isfinite(s.Bandpass) && std::isfinite(s.Lowpass) &&
               std::isfinite(s.CombOut) && std::isfinite(s.CombNewest) && s.SincIndex < SincRing &&
               s.Wait >= 1 && s.Wait <= 64 && s.Head < QueueCapacity && s.Count <= QueueCapacity;
  for (int i = 0; valid && i < CombBlocks; ++i) valid = std::isfinite(s.CombPending[i]);
  for (int i = 0; valid && i < SincRing; ++i) {
    valid = std::isfinite(s.Sinc[i]) && s.Sinc[i] == s.Sinc[i + SincRing];
  }
  if (!valid) return false;
  s_ = *loaded;
  std::fill(std::begin(cacheValid_), std::end(cacheValid_), false);
  Derive();
  return true;
}

}  // namespace quillon::accurate
