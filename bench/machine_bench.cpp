// The emulated machine's speed as a multiple of real time: a real PAL machine runs 985,248
// cycles a second, and one RunStep is one cycle.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <cstring>

#include "core/machine.h"
#include "cpu/cpu.h"
#include "app/headless_run.h"

namespace {

using namespace quillon;

constexpr double PalCyclesPerSecond = 985248.0;
constexpr int PalStepsPerFrame = 19968;

void ReportFrames(benchmark::State& state, double framesPerIteration) {
  state.counters["x_realtime"] =
      benchmark::Counter(framesPerIteration * PalStepsPerFrame / PalCyclesPerSecond,
                         benchmark::Counter::kIsIterationInvariantRate);
}

// One frame through the per-step reference or through the fast path: the two are benchmarked
// side by side, as Reference and FastPath.
enum Path { Reference, FastPath };

void RunOneFrame(Path path) {
  if (path == FastPath) {
    RunUntilFrame(CycleCounters.FrameCounter + 1);
    return;
  }
  const std::int32_t target = CycleCounters.FrameCounter + 1;
  while (CycleCounters.FrameCounter < target) RunStep();
}

// A copy loop in RAM at $1000 with interrupts masked: LDY #$20; INX; LDA $2000,X;
// STA $2100,X; STA $FB; INC $FC; DEY; BNE back to INX; JMP $1000.
template <Path path>
void BM_CpuCopyLoop(benchmark::State& state) {
  constexpr std::uint8_t loop[] = {0xA0, 0x20, 0xE8, 0xBD, 0x00, 0x20, 0x9D, 0x00, 0x21, 0x85,
                                   0xFB, 0xE6, 0xFC, 0x88, 0xD0, 0xF3, 0x4C, 0x00, 0x10};
  EmulatorInit();
  std::memcpy(MainRam + 0x1000, loop, sizeof loop);
  Cpu = CpuPowerOnState;
  Cpu.PC = 0x1000;
  Cpu.P |= FlagI;
  for (auto _ : state) RunOneFrame(path);
  ReportFrames(state, 1);
}
BENCHMARK(BM_CpuCopyLoop<Reference>)->Name("BM_CpuCopyLoop/Reference")->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_CpuCopyLoop<FastPath>)->Name("BM_CpuCopyLoop/FastPath")->Unit(benchmark::kMicrosecond);

// BASIC waiting at READY.: the KERNAL's interrupt scans the keyboard and blinks the cursor,
// and every line of the display window renders text.
template <Path path>
void BM_BasicIdleFrame(benchmark::State& state) {
  Cpu = CpuPowerOnState;
  EmulatorInit();
  const std::int32_t booted = CycleCounters.FrameCounter + 150;
  while (CycleCounters.FrameCounter < booted) RunStep();
  for (auto _ : state) RunOneFrame(path);
  ReportFrames(state, 1);
}
BENCHMARK(BM_BasicIdleFrame<Reference>)->Name("BM_BasicIdleFrame/Reference")->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_BasicIdleFrame<FastPath>)->Name("BM_BasicIdleFrame/FastPath")->Unit(benchmark::kMicrosecond);

// A whole headless run as the command line makes it, through the fast path: start-up, boot,
// 1000 frames with the message queue drained between frames, one conversion at the end.
// Compare with the idle frame.
void BM_HeadlessRun(benchmark::State& state) {
  CommandLineOptions options;
  options.Headless = true;
  options.Frames = 1000;
  for (auto _ : state) {
    Cpu = CpuPowerOnState;
    benchmark::DoNotOptimize(RunHeadless(options));
  }
  ReportFrames(state, options.Frames);
}
BENCHMARK(BM_HeadlessRun)->Unit(benchmark::kMillisecond);

}  // namespace
