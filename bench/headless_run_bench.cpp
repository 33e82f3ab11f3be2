#include <benchmark/benchmark.h>

#include "cpu/cpu.h"
#include "host/headless/headless_run.h"

namespace {

// Emulated PAL clock of a real machine, cycles per second.
constexpr double PalCyclesPerSecond = 985248.0;
constexpr int PalStepsPerFrame = 19968;
constexpr int Frames = 1000;

// A whole headless run as the command line makes it: start-up, boot, 1000 frames with the
// message queue drained between frames, one conversion at the end, shutdown. Compare its
// x_realtime with BM_BasicIdleFrame's.
void BM_HeadlessRun(benchmark::State& state) {
  using namespace quillon;
  CommandLineOptions options;
  options.Headless = true;
  options.Frames = Frames;
  for (auto _ : state) {
    Cpu = CpuPowerOnState;
    benchmark::DoNotOptimize(RunHeadless(options));
  }
  state.counters["x_realtime"] =
      benchmark::Counter(Frames * PalStepsPerFrame / PalCyclesPerSecond,
                         benchmark::Counter::kIsIterationInvariantRate);
}
BENCHMARK(BM_HeadlessRun)->Unit(benchmark::kMillisecond);

}  // namespace
