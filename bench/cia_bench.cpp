#include <benchmark/benchmark.h>

#include "cia/cia.h"
#include "core/machine.h"

namespace {

using namespace quillon;

void StartTimer(CiaState& cia, int control, std::uint16_t latch) {
  const auto low = static_cast<std::uint8_t>(control == CiaControlA ? CiaTimerALow : CiaTimerBLow);
  CiaWrite(cia, low, static_cast<std::uint8_t>(latch));
  CiaWrite(cia, static_cast<std::uint8_t>(low + 1), static_cast<std::uint8_t>(latch >> 8));
  CiaWrite(cia, static_cast<std::uint8_t>(control), CiaControlForceLoad | CiaControlStart);
}

// The BASIC idle loop's case: CIA1 timer A runs the 60 Hz interrupt, everything else stands.
void BM_CiaStepKernalTimer(benchmark::State& state) {
  EmulatorInit();
  StartTimer(Cia1, CiaControlA, 0x4025);
  for (auto _ : state) {
    for (int i = 0; i < 19968; ++i) CiaStep();
  }
  state.SetItemsProcessed(state.iterations() * 19968);
}
BENCHMARK(BM_CiaStepKernalTimer)->Unit(benchmark::kMicrosecond);

// All four timers running with short latches, so underflows are frequent.
void BM_CiaStepAllTimers(benchmark::State& state) {
  EmulatorInit();
  StartTimer(Cia1, CiaControlA, 100);
  StartTimer(Cia1, CiaControlB, 150);
  StartTimer(Cia2, CiaControlA, 200);
  StartTimer(Cia2, CiaControlB, 250);
  for (auto _ : state) {
    for (int i = 0; i < 19968; ++i) CiaStep();
  }
  state.SetItemsProcessed(state.iterations() * 19968);
}
BENCHMARK(BM_CiaStepAllTimers)->Unit(benchmark::kMicrosecond);

}  // namespace
