// The accurate SID's own cost, in emulated seconds per second: a chip driven as a music player
// drives it, a frame at a time with a few writes at the frame's start, its samples drained.
#include <benchmark/benchmark.h>

#include <cstdint>

#include "accurate/sid.h"

namespace {

using namespace quillon::accurate;

constexpr std::uint64_t FrameCycles = 19705;  // a PAL frame: 312 lines of 63 cycles

enum class Load { Silence, ThreeVoices, ThreeVoicesFiltered };

void SetUp(Sid& sid, Load load) {
  sid.Write(SidModeVolume, 0x0F, 0);
  if (load == Load::Silence) return;
  // Sawtooth, pulse and triangle, each at its sustain level.
  const std::uint8_t controls[3] = {0x21, 0x41, 0x11};
  const std::uint16_t frequencies[3] = {0x1CD6, 0x0E6B, 0x2B3F};
  for (int v = 0; v < 3; ++v) {
    const int base = v * SidVoiceRegisters;
    sid.Write(base + SidFrequencyLow, static_cast<std::uint8_t>(frequencies[v]), 1);
    sid.Write(base + SidFrequencyHigh, static_cast<std::uint8_t>(frequencies[v] >> 8), 1);
    sid.Write(base + SidPulseHigh, 0x06, 1);
    sid.Write(base + SidAttackDecay, 0x22, 1);
    sid.Write(base + SidSustainRelease, 0xA8, 1);
    sid.Write(base + SidControl, controls[v], 1);
  }
  if (load == Load::ThreeVoicesFiltered) {
    sid.Write(SidCutoffHigh, 0x40, 2);
    sid.Write(SidResonanceRouting, 0x87, 2);
    sid.Write(SidModeVolume, 0x3F, 2);
  }
}

void BM_AccurateSid(benchmark::State& state, Load load) {
  Sid sid(static_cast<SidModel>(state.range(0)));
  SetUp(sid, load);
  std::uint64_t cycle = 3;
  std::int16_t samples[2048];
  std::uint64_t frames = 0;
  for (auto _ : state) {
    // A player's writes: a vibrato on voice 1 and a cutoff sweep.
    if (load != Load::Silence) {
      sid.Write(SidFrequencyLow, static_cast<std::uint8_t>(frames * 7), cycle);
      sid.Write(SidCutoffHigh, static_cast<std::uint8_t>(0x20 + frames % 64), cycle + 4);
    }
    cycle += FrameCycles;
    sid.AdvanceTo(cycle - 1);
    benchmark::DoNotOptimize(sid.TakeSamples(samples, std::size(samples)));
    ++frames;
  }
  state.counters["emulated_seconds_per_second"] = benchmark::Counter(
      static_cast<double>(frames * FrameCycles) / PalSidClock, benchmark::Counter::kIsRate);
  state.counters["cycles_per_second"] =
      benchmark::Counter(static_cast<double>(frames * FrameCycles), benchmark::Counter::kIsRate);
}
BENCHMARK_CAPTURE(BM_AccurateSid, Silence, Load::Silence)->Arg(0)->Arg(1);
BENCHMARK_CAPTURE(BM_AccurateSid, ThreeVoices, Load::ThreeVoices)->Arg(0)->Arg(1);
BENCHMARK_CAPTURE(BM_AccurateSid, ThreeVoicesFiltered, Load::ThreeVoicesFiltered)->Arg(0)->Arg(1);

}  // namespace
