#include <benchmark/benchmark.h>

#include "core/machine.h"
#include "cpu/cpu.h"

namespace {

// Emulated PAL clock of a real machine, cycles per second.
constexpr double PalCyclesPerSecond = 985248.0;
constexpr int PalStepsPerFrame = 19968;

// BASIC waiting at READY.: the KERNAL's 60 Hz interrupt scans the keyboard and blinks the
// cursor, and every raster line of the display window renders text.
void BM_BasicIdleFrame(benchmark::State& state) {
  using namespace quillon;
  Cpu = CpuPowerOnState;
  EmulatorInit();
  const std::int32_t booted = CycleCounters.FrameCounter + 150;
  while (CycleCounters.FrameCounter < booted) RunStep();
  for (auto _ : state) {
    for (int i = 0; i < PalStepsPerFrame; ++i) RunStep();
  }
  state.counters["x_realtime"] = benchmark::Counter(
      PalStepsPerFrame / PalCyclesPerSecond, benchmark::Counter::kIsIterationInvariantRate);
}
BENCHMARK(BM_BasicIdleFrame)->Unit(benchmark::kMicrosecond);

}  // namespace
