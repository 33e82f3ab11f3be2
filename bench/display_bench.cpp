#include <benchmark/benchmark.h>

#include "core/machine.h"
#include "host/display.h"
#include "host/host_state.h"

namespace {

// One conversion of the bordered picture into the 360 x 240 display buffer, as the main loop
// does on every pass.
void BM_ConvertFrameWithBorder(benchmark::State& state) {
  quillon::EmulatorInit();
  quillon::Host.ShowBorder = 1;
  quillon::CreateDisplayBuffer();
  for (auto _ : state) {
    quillon::ConvertFrame(quillon::Host.DisplayPixels);
    benchmark::DoNotOptimize(quillon::Host.DisplayPixels[0]);
    benchmark::ClobberMemory();
  }
  quillon::FreeDisplayBuffer();
}
BENCHMARK(BM_ConvertFrameWithBorder)->Unit(benchmark::kMicrosecond);

}  // namespace
