// The accurate machine's speed as a multiple of real time: a real PAL machine runs 985,248
// cycles a second, 19,656 to a frame. Beside machine_bench.cpp's classic model, the same work.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <cstring>

#include "interface/create_machine.h"

namespace {

using namespace quillon;

constexpr double PalCyclesPerSecond = 985248.0;
constexpr int PalCyclesPerFrame = 19656;

void ReportFrames(benchmark::State& state) {
  state.counters["x_realtime"] =
      benchmark::Counter(PalCyclesPerFrame / PalCyclesPerSecond,
                         benchmark::Counter::kIsIterationInvariantRate);
}

std::unique_ptr<Machine> Booted() {
  auto machine = CreateMachine(MachineModel::Accurate);
  machine->PowerOn();
  machine->RunFrames(150);
  return machine;
}

// BASIC waiting at READY.: the KERNAL's interrupt scans the keyboard and blinks the cursor,
// every bad line holds the processor up and every line of the display window is drawn.
void BM_AccurateBasicIdleFrame(benchmark::State& state) {
  auto machine = Booted();
  for (auto _ : state) machine->RunFrames(1);
  ReportFrames(state);
}
BENCHMARK(BM_AccurateBasicIdleFrame)->Unit(benchmark::kMicrosecond);

// The classic bench's copy loop in RAM at $1000 with interrupts masked: LDY #$20; INX;
// LDA $2000,X; STA $2100,X; STA $FB; INC $FC; DEY; BNE back to INX; JMP $1000.
void BM_AccurateCopyLoop(benchmark::State& state) {
  constexpr std::uint8_t loop[] = {0xA0, 0x20, 0xE8, 0xBD, 0x00, 0x20, 0x9D, 0x00, 0x21, 0x85,
                                   0xFB, 0xE6, 0xFC, 0x88, 0xD0, 0xF3, 0x4C, 0x00, 0x10};
  auto machine = Booted();
  std::memcpy(machine->Ram() + 0x1000, loop, sizeof loop);
  CpuRegisterFile registers = machine->Registers();
  registers.PC = 0x1000;
  registers.P |= 0x04;
  machine->SetRegisters(registers);
  for (auto _ : state) machine->RunFrames(1);
  ReportFrames(state);
}
BENCHMARK(BM_AccurateCopyLoop)->Unit(benchmark::kMicrosecond);

}  // namespace
