#include "accurate/audio_out.h"

#include <algorithm>
#include <cmath>
#include <numbers>

#include "accurate/vic_ii.h"

namespace quillon::accurate {
namespace {

// The output stage's 10 uF coupling capacitor into about 1 kOhm: a high-pass at 16 Hz, whose
// one-pole recursion y = a (y + x - x') keeps a = RC / (RC + T) of the charge per sample.
constexpr double CouplingHz = 16;
constexpr float CouplingKeep = static_cast<float>(
    1 / (1 + 2 * std::numbers::pi * CouplingHz / static_cast<double>(SidSampleRate)));

// Live, more than a tick and two frames waiting means the emulation caught up after a stall.
constexpr std::size_t LiveBacklog = AudioOut::TickSamples + 2 * AudioOut::FrameSamples;
static_assert(LiveBacklog <= SoundTickMaxSamples);

// A frame of the window's pace, in cycles of each standard.
constexpr double PacedClock(const VicTiming& timing) {
  return static_cast<double>(timing.CyclesPerLine) * timing.LinesPerFrame * LiveFramesPerSecond;
}

}  // namespace

void AudioOut::PowerOn() { Capacitor = {}; }

double AudioOut::ClockFor(bool pal) const {
  if (IsLive) return PacedClock(pal ? PalTiming : NtscTiming);
  return pal ? PalSidClock : NtscSidClock;
}

void AudioOut::FollowStandard(bool pal) {
  const double clock = ClockFor(pal);
  if (Chip.Clock() != clock) Chip.SetClock(clock);
}

void AudioOut::Collect(std::uint64_t cycle) {
  Chip.AdvanceTo(cycle);
  std::int16_t block[1024];
  while (const std::size_t count = Chip.TakeSamples(block, std::size(block))) {
    Couple(block, count);
    Queue.Put(block, count);
  }
}

void AudioOut::Couple(std::int16_t* samples, std::size_t count) {
  Coupling c = Capacitor;
  for (std::size_t i = 0; i < count; ++i) {
    const std::int16_t input = samples[i];
    c.Output = CouplingKeep * (c.Output + static_cast<float>(input - c.Input));
    c.Input = input;
    samples[i] = static_cast<std::int16_t>(std::lrint(std::clamp(c.Output, -32768.0f, 32767.0f)));
  }
  Capacitor = c;
}

std::span<std::int16_t> AudioOut::Silence() {
  std::fill_n(Handed, TickSamples, std::int16_t{0});
  return {Handed, TickSamples};
}

std::span<std::int16_t> AudioOut::TakeAll() {
  return {Handed, Queue.Take(Handed, std::size(Handed))};
}

std::span<std::int16_t> AudioOut::Tick(bool mix) {
  if (!mix) return Silence();
  if (!IsLive) return TakeAll();
  if (Queue.TakeOverflow()) {
    Queue.Skip(Queue.Ready());
    return Silence();
  }
  std::size_t ready = Queue.Ready();
  if (ready == 0) return Silence();
  if (ready > LiveBacklog) {
    Queue.Skip(ready - TickSamples);
    ready = TickSamples;
  }
  return {Handed, Queue.Take(Handed, ready)};
}

std::span<std::int16_t> AudioOut::Tail() { return TakeAll(); }

template <class Stream, class S>
void AudioOut::Fields(Stream& stream, S& coupling) {
  stream.Raw(&coupling.Input, sizeof coupling.Input);
  stream.Raw(&coupling.Output, sizeof coupling.Output);
}

void AudioOut::Save(SnapshotWriter& out) const { Fields(out, Capacitor); }

bool AudioOut::Load(SnapshotReader& in) {
  Coupling loaded{};
  Fields(in, loaded);
  // The capacitor holds no more than a full swing each way.
  if (in.Failed || !(std::abs(loaded.Output) <= 65536.0f)) return false;
  Capacitor = loaded;
  return true;
}

}  // namespace quillon::accurate
