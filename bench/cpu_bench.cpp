#include <benchmark/benchmark.h>

#include <cstdint>
#include <cstring>

#include "core/machine.h"
#include "cpu/cpu.h"

namespace {

// Emulated PAL clock of a real machine, cycles per second.
constexpr double PalCyclesPerSecond = 985248.0;
constexpr int StepsPerPalFrame = 19968;

// A copy loop as programs run it: loads, indexed loads and stores, register steps and a branch
// back, in RAM at $1000, with interrupts masked.
constexpr std::uint8_t CopyLoop[] = {
    0xA0, 0x20,              // start: LDY #$20
    0xE8,                    // inner: INX
    0xBD, 0x00, 0x20,        //        LDA $2000,X
    0x9D, 0x00, 0x21,        //        STA $2100,X
    0x85, 0xFB,              //        STA $FB
    0xE6, 0xFC,              //        INC $FC
    0x88,                    //        DEY
    0xD0, 0xF3,              //        BNE inner
    0x4C, 0x00, 0x10,        //        JMP start
};

void BM_CpuCopyLoop(benchmark::State& state) {
  quillon::EmulatorInit();
  std::memcpy(quillon::MainRam + 0x1000, CopyLoop, sizeof CopyLoop);
  quillon::Cpu = quillon::CpuPowerOnState;
  quillon::Cpu.PC = 0x1000;
  quillon::Cpu.P |= quillon::FlagI;
  for (auto _ : state) {
    for (int i = 0; i < StepsPerPalFrame; ++i) quillon::RunStep();
  }
  state.counters["x_realtime"] = benchmark::Counter(
      StepsPerPalFrame / PalCyclesPerSecond, benchmark::Counter::kIsIterationInvariantRate);
}
BENCHMARK(BM_CpuCopyLoop)->Unit(benchmark::kMicrosecond);

}  // namespace
