#include <benchmark/benchmark.h>

#include "core/machine.h"

namespace {

// Emulated PAL clock of a real machine, cycles per second.
constexpr double PalCyclesPerSecond = 985248.0;

void BM_IdleMachineFrame(benchmark::State& state) {
  quillon::EmulatorInit();
  for (auto _ : state) {
    for (int i = 0; i < 19968; ++i) quillon::RunStep();
  }
  state.counters["x_realtime"] = benchmark::Counter(
      19968.0 / PalCyclesPerSecond, benchmark::Counter::kIsIterationInvariantRate);
}
BENCHMARK(BM_IdleMachineFrame)->Unit(benchmark::kMicrosecond);

}  // namespace
