// The accurate VIC-II's drawing, cycle by cycle, as a multiple of real time: whole frames of
// pictures that keep it busy in every slot. Beside accurate_machine_bench.cpp's idle BASIC, where
// most slots are border or a run of text.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <cstring>
#include <initializer_list>
#include <utility>

#include "interface/create_machine.h"

namespace {

using namespace quillon;

constexpr double PalCyclesPerSecond = 985248.0;
constexpr int PalCyclesPerFrame = 19656;
constexpr std::uint16_t Code = 0x1000;

// A booted machine that has written `registers` to the VIC-II and spins with interrupts masked;
// RAM from $2000 holds varied bytes (a bitmap, sprite rows) and the colour RAM stands as BASIC
// left it.
std::unique_ptr<Machine> Showing(std::initializer_list<std::pair<std::uint8_t, std::uint8_t>> registers) {
  auto machine = CreateMachine(MachineModel::Accurate);
  machine->PowerOn();
  machine->RunFrames(150);
  std::uint8_t* ram = machine->Ram();
  for (unsigned a = 0x2000; a < 0x4000; ++a) ram[a] = static_cast<std::uint8_t>(a * 29 + (a >> 7));
  for (unsigned i = 0; i < 8; ++i) ram[0x07F8 + i] = 0x80 + i;  // sprite rows at $2000
  unsigned at = Code;
  ram[at++] = 0x78;  // SEI
  for (const auto& [reg, value] : registers) {
    const std::uint8_t store[] = {0xA9, value, 0x8D, reg, 0xD0};  // LDA # / STA $D0xx
    std::memcpy(ram + at, store, sizeof store);
    at += sizeof store;
  }
  const std::uint8_t spin[] = {0x4C, static_cast<std::uint8_t>(at), static_cast<std::uint8_t>(at >> 8)};
  std::memcpy(ram + at, spin, sizeof spin);
  CpuRegisterFile cpu = machine->Registers();
  cpu.PC = Code;
  machine->SetRegisters(cpu);
  machine->RunFrames(2);
  return machine;
}

void RunFrames(benchmark::State& state, Machine& machine) {
  for (auto _ : state) machine.RunFrames(1);
  state.counters["x_realtime"] =
      benchmark::Counter(PalCyclesPerFrame / PalCyclesPerSecond,
                         benchmark::Counter::kIsIterationInvariantRate);
}

// A multicolour bitmap at $2000: every slot of the window is a g-access of its own.
void BM_AccurateBitmapFrame(benchmark::State& state) {
  auto machine = Showing({{0x11, 0x3B}, {0x16, 0xD8}, {0x18, 0x18}});
  RunFrames(state, *machine);
}
BENCHMARK(BM_AccurateBitmapFrame)->Unit(benchmark::kMicrosecond);

// Eight multicolour sprites, X-expanded, over the text screen down the whole window: every
// slot of their lines goes through the sprite shifters and the collision logic.
void BM_AccurateSpritesFrame(benchmark::State& state) {
  auto machine = Showing({{0x15, 0xFF}, {0x1C, 0xF0}, {0x1D, 0xAA}, {0x17, 0xFF},
                          {0x00, 24},   {0x02, 64},   {0x04, 104},  {0x06, 144},
                          {0x08, 184},  {0x0A, 224},  {0x0C, 8},    {0x0E, 48},
                          {0x10, 0xC0}, {0x01, 60},   {0x03, 70},   {0x05, 80},
                          {0x07, 90},   {0x09, 100},  {0x0B, 110},  {0x0D, 120},
                          {0x0F, 130}});
  RunFrames(state, *machine);
}
BENCHMARK(BM_AccurateSpritesFrame)->Unit(benchmark::kMicrosecond);

}  // namespace
