// The accurate 6510's own cost: the core on a bus that is nothing but 64 KB of RAM and a cycle
// counter, so that what is measured is the core's work per cycle.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <cstring>

#include "accurate/cpu6510.h"

namespace {

using namespace quillon;

struct RamBus {
  std::uint8_t Ram[0x10000];
  std::uint64_t Cycle = 0;

  std::uint8_t Read(std::uint16_t address) {
    ++Cycle;
    return Ram[address];
  }
  void Write(std::uint16_t address, std::uint8_t value) {
    ++Cycle;
    Ram[address] = value;
  }
  bool IrqLine() const { return false; }
  bool NmiLine() const { return false; }
};

// A loop at $1000 with a mix of addressing modes, a read-modify-write, a subroutine and a
// branch: LDY #$20; INX; LDA $2000,X; ADC #$07; STA $2100,X; STA $FB; INC $FC; JSR $1030;
// DEY; BNE back to INX; JMP $1000; at $1030 RTS.
void BM_AccurateCpuLoop(benchmark::State& state) {
  constexpr std::uint8_t loop[] = {0xA0, 0x20, 0xE8, 0xBD, 0x00, 0x20, 0x69, 0x07, 0x9D,
                                   0x00, 0x21, 0x85, 0xFB, 0xE6, 0xFC, 0x20, 0x30, 0x10,
                                   0x88, 0xD0, 0xED, 0x4C, 0x00, 0x10};
  static RamBus bus;
  std::memset(bus.Ram, 0, sizeof bus.Ram);
  std::memcpy(bus.Ram + 0x1000, loop, sizeof loop);
  bus.Ram[0x1030] = 0x60;
  bus.Ram[0xFFFD] = 0x10;
  accurate::Cpu6510<RamBus> cpu(bus);
  cpu.Step();
  const std::uint64_t start = bus.Cycle;
  for (auto _ : state) {
    for (int i = 0; i < 10'000; ++i) cpu.Step();
  }
  state.counters["cycles_per_second"] =
      benchmark::Counter(static_cast<double>(bus.Cycle - start), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_AccurateCpuLoop)->Unit(benchmark::kMicrosecond);

}  // namespace
