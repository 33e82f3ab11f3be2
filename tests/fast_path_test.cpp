// The fast path gives exactly what the per-step reference gives: the same RAM, colour RAM,
// picture, border colours, chip registers, CPU state and interrupt lines at every frame end,
// for programs chosen to stress what it skips (idle cycles, timers counted in batches, raster
// lines between instructions) and for random ones. The long runs are in the `long` label.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <memory>
#include <random>
#include <vector>

#include "cia/keyboard.h"
#include "core/machine.h"
#include "core/memory.h"
#include "cpu/cpu.h"
#include "media/cartridge.h"
#include "support/differential.h"
#include "support/files.h"
#include "support/machine.h"

namespace quillon {
namespace {

using Bytes = std::vector<std::uint8_t>;
using test::Scenario;

// Machine code put together in a test, with branches to labels already placed.
struct Code {
  std::uint16_t Origin;
  Bytes Bytes_;
  std::uint16_t Here() const { return static_cast<std::uint16_t>(Origin + Bytes_.size()); }
  Code& operator()(std::initializer_list<std::uint8_t> bytes) {
    Bytes_.insert(Bytes_.end(), bytes);
    return *this;
  }
  Code& Branch(std::uint8_t opcode, std::uint16_t target) {
    return (*this)({opcode, static_cast<std::uint8_t>(target - (Here() + 2))});
  }
  // STA absolute of an immediate value: LDA #value, STA address.
  Code& Poke(std::uint16_t address, std::uint8_t value) {
    return (*this)({0xA9, value, 0x8D, static_cast<std::uint8_t>(address),
                    static_cast<std::uint8_t>(address >> 8)});
  }
  void Store() const {
    for (std::size_t i = 0; i < Bytes_.size(); ++i) MainRam[(Origin + i) & 0xFFFF] = Bytes_[i];
  }
};

// Everything that interrupts at once: a raster interrupt that moves its own line, CIA1's timer A
// with timer B counting its underflows, a one-shot CIA2 timer whose NMI starts it again, and a
// free-running CIA2 timer B. The main loop samples timer and raster registers into RAM, so any
// step out of place shows there.
void InterruptProgram() {
  test::PowerOnMachine();
  test::RunFrames(2);
  Code irq{0xC100, {}};
  irq({0x48, 0xAD, 0x19, 0xD0, 0x8D, 0x19, 0xD0,  // PHA; LDA $D019; STA $D019
       0xAD, 0x0D, 0xDC,                          // LDA $DC0D
       0xEE, 0x20, 0xD0,                          // INC $D020
       0xAD, 0x12, 0xD0, 0x69, 0x25, 0x8D, 0x12, 0xD0,  // next raster line 37 on
       0x68, 0x40});                                      // PLA; RTI
  Code nmi{0xC180, {}};
  nmi({0x48, 0xAD, 0x0D, 0xDD, 0xEE, 0x21, 0xD0}).Poke(0xDD0E, 0x19)({0x68, 0x40});
  Code setup{0xC000, {}};
  setup({0x78}).Poke(0xDC0D, 0x7F).Poke(0xDD0D, 0x7F).Poke(0x0001, 0x35);
  setup.Poke(0xFFFE, 0x00).Poke(0xFFFF, 0xC1).Poke(0xFFFA, 0x80).Poke(0xFFFB, 0xC1);
  setup.Poke(0xD012, 0x40).Poke(0xD011, 0x1B).Poke(0xD01A, 0x01);
  setup.Poke(0xDC04, 0xD2).Poke(0xDC05, 0x04).Poke(0xDC0D, 0x81).Poke(0xDC0E, 0x11);
  setup.Poke(0xDC06, 0x03).Poke(0xDC07, 0x00).Poke(0xDC0D, 0x82).Poke(0xDC0F, 0x51);
  setup.Poke(0xDD04, 0x8B).Poke(0xDD05, 0x13).Poke(0xDD0D, 0x81).Poke(0xDD0E, 0x19);
  setup.Poke(0xDD06, 0x09).Poke(0xDD07, 0x03).Poke(0xDD0F, 0x11);
  setup({0xA9, 0x40, 0x85, 0xFC, 0xA0, 0x00, 0x84, 0xFB, 0x58});  // $FB/$FC = $4000; CLI
  const std::uint16_t loop = setup.Here();
  setup({0xAD, 0x04, 0xDC, 0x91, 0xFB, 0xC8,   // LDA $DC04; STA ($FB),Y; INY
         0xAD, 0x12, 0xD0, 0x91, 0xFB, 0xC8,   // LDA $D012; ...
         0xAD, 0x06, 0xDD, 0x91, 0xFB, 0xC8})  // LDA $DD06; ...
      .Branch(0xD0, loop)
      ({0xE6, 0xFC, 0xA5, 0xFC, 0xC9, 0x80})    // INC $FC; LDA $FC; CMP #$80
      .Branch(0xD0, loop)
      ({0xA9, 0x40, 0x85, 0xFC, 0x4C, static_cast<std::uint8_t>(loop),
        static_cast<std::uint8_t>(loop >> 8)});
  for (const Code* code : {&irq, &nmi, &setup}) code->Store();
  Cpu.PC = 0xC000;
}

// Idle loops of the kinds the fast path passes in one go, left by the interrupts that change
// what they wait for: a loop on a flag that the raster interrupt sets, a loop whose rounds call
// a subroutine with a loop of its own, and a loop with interrupts masked while the raster
// interrupt stands raised, which only an NMI ends.
void IdleLoopProgram() {
  test::PowerOnMachine();
  test::RunFrames(2);
  Code irq{0xC100, {}};
  irq({0x48, 0xAD, 0x19, 0xD0, 0x8D, 0x19, 0xD0, 0xE6, 0xFB,  // PHA; ack $D019; INC $FB
       0xEE, 0x20, 0xD0, 0x68, 0x40});                        // INC $D020; PLA; RTI
  Code nmi{0xC180, {}};
  nmi({0x48, 0xAD, 0x0D, 0xDD, 0xE6, 0xFC, 0x68, 0x40});  // PHA; LDA $DD0D; INC $FC; PLA; RTI
  Code sub{0xC1C0, {}};
  sub({0xA2, 0x04, 0xCA, 0xD0, 0xFD, 0x86, 0xFD, 0x60});  // LDX #4; DEX; BNE; STX $FD; RTS
  Code setup{0xC000, {}};
  setup({0x78}).Poke(0xDC0D, 0x7F).Poke(0xDD0D, 0x7F).Poke(0x0001, 0x35);
  setup.Poke(0xFFFE, 0x00).Poke(0xFFFF, 0xC1).Poke(0xFFFA, 0x80).Poke(0xFFFB, 0xC1);
  setup.Poke(0xD012, 0x80).Poke(0xD011, 0x1B).Poke(0xD01A, 0x01);
  setup.Poke(0xDD04, 0x61).Poke(0xDD05, 0x1E).Poke(0xDD0D, 0x81).Poke(0xDD0E, 0x11);
  setup.Poke(0x00FB, 0x00).Poke(0x00FC, 0x00).Poke(0x00FE, 0x00)({0x58});  // CLI
  const std::uint16_t flagLoop = setup.Here();
  setup({0xA5, 0xFB}).Branch(0xF0, flagLoop)({0xA9, 0x00, 0x85, 0xFB});  // wait for $FB; clear
  const std::uint16_t callLoop = setup.Here();
  setup({0x20, 0xC0, 0xC1, 0xA5, 0xFC, 0xC9, 0x03}).Branch(0x90, callLoop);  // JSR; $FC < 3?
  setup({0xA9, 0x00, 0x85, 0xFC, 0x78});  // clear $FC; SEI
  const std::uint16_t maskedLoop = setup.Here();
  setup({0xA5, 0xFC}).Branch(0xF0, maskedLoop);  // wait for the NMI with interrupts masked
  setup({0x58, 0xE6, 0xFE, 0x4C, static_cast<std::uint8_t>(flagLoop),  // CLI; INC $FE; JMP
         static_cast<std::uint8_t>(flagLoop >> 8)});
  for (const Code* code : {&irq, &nmi, &sub, &setup}) code->Store();
  Cpu.PC = 0xC000;
}

// Random code in RAM, started with random timers and raster interrupts armed, and between
// frames random writes to the chips' registers, resets, NMIs, a held F11 and standard changes.
Scenario RandomScenario(unsigned seed, int frames) {
  auto random = std::make_shared<std::mt19937>();
  Scenario scenario;
  scenario.Name = "random program " + std::to_string(seed);
  scenario.Frames = frames;
  scenario.Setup = [random, seed] {
    *random = std::mt19937(seed);
    test::PowerOnMachine();
    test::RunFrames(1);
    for (unsigned a = 0x0800; a < 0x1000; ++a) MainRam[a] = static_cast<std::uint8_t>((*random)());
    Cpu.PC = 0x0800;
    Cpu.P = static_cast<std::uint8_t>(((*random)() & 0xCF) | 0x30);
  };
  scenario.BeforeFrame = [random](int) {
    std::mt19937& r = *random;
    static constexpr std::uint16_t Chips[] = {0xD000, 0xD400, 0xDC00, 0xDD00};
    for (unsigned writes = r() % 4; writes > 0; --writes) {
      const std::uint16_t chip = Chips[r() % 4];
      MemWrite(static_cast<std::uint16_t>(chip + r() % (chip == 0xD000 ? 0x30 : 0x20)),
               static_cast<std::uint8_t>(r()));
    }
    switch (r() % 32) {
      case 0: Cpu.ResetRequest = 1; break;
      case 1: Cpu.NmiPending = 1; break;
      case 2: RasterLineEnd.LineFrames = !RasterLineEnd.LineFrames; break;
      case 3: VideoStandard = !VideoStandard; break;
      case 4: KeyMatrix[r() % 8] ^= static_cast<std::uint8_t>(1u << (r() % 8)); break;
      default: break;
    }
    // Slow motion makes every raster line a frame: keep those stretches short.
    if (r() % 4 == 0) RasterLineEnd.LineFrames = false;
  };
  return scenario;
}

void LoadExerciser() {
  test::PowerOnMachine();
  std::FILE* file = std::fopen(QUILLON_TESTDATA_DIR "/6502_functional_test.bin", "rb");
  ASSERT_NE(file, nullptr);
  ASSERT_EQ(std::fread(MainRam, 1, MainRamSize, file), MainRamSize);
  std::fclose(file);
  Cpu.PC = 0x0400;
}

// An autostart cartridge whose code loops over writes to its own protected area and the
// border, reset twice from the menu and finally removed.
Scenario CartridgeScenario() {
  Bytes rom(0x2000, 0xEA);
  const Bytes start = {0x09, 0x80, 0x09, 0x80, 0xC3, 0xC2, 0xCD, 0x38, 0x30,
                       0xEE, 0x20, 0xD0, 0x8D, 0x00, 0x90, 0xAD, 0x04, 0xDC,
                       0x99, 0x00, 0x04, 0xC8, 0x4C, 0x09, 0x80};
  std::copy(start.begin(), start.end(), rom.begin());
  const std::string path = test::WriteTempFile("loop.crt", test::CrtImage(0, {{0x8000, rom}}));
  Scenario scenario;
  scenario.Name = "cartridge";
  scenario.Frames = 160;
  scenario.Setup = [path] {
    test::PowerOnMachine();
    CartridgePath = path;
    CartridgeAttached = 1;
    Cpu.ResetRequest = 1;
  };
  scenario.BeforeFrame = [](int frame) {
    if (frame == 40) Cpu.ResetRequest = 1;
    if (frame == 90) {
      CartridgeAttached = 0;
      Cpu.ResetRequest = 1;
    }
  };
  return scenario;
}

Scenario TypedBasicScenario(int frames) {
  Scenario scenario;
  scenario.Name = "typed BASIC";
  scenario.Frames = frames;
  scenario.Setup = [] { test::PowerOnMachine(); };
  scenario.BeforeFrame = [](int frame) {
    test::TypeAt("10 POKE53280,PEEK(53266):POKE1024+I,PEEK(56324):I=I+1AND255:GOTO10\nRUN\n",
                 150, frame);
  };
  return scenario;
}

TEST(FastPath, BootAndTypedBasicMatchTheReference) {
  EXPECT_EQ(test::CompareFastPathWithReference(TypedBasicScenario(560)), "");
}

TEST(FastPath, InterruptsAndNmisMatchTheReference) {
  EXPECT_EQ(test::CompareFastPathWithReference({"interrupts", InterruptProgram, nullptr, 150}),
            "");
  EXPECT_EQ(test::CompareFastPathWithReference({"idle loops", IdleLoopProgram, nullptr, 150}), "");
  EXPECT_GT(MainRam[0xFE], 10) << "rounds through all three loops";
}

TEST(FastPath, CpuExerciserAndCartridgeMatchTheReference) {
  EXPECT_EQ(test::CompareFastPathWithReference({"exerciser", LoadExerciser, nullptr, 250}), "");
  EXPECT_EQ(test::CompareFastPathWithReference(CartridgeScenario()), "");
}

TEST(FastPath, RandomProgramsMatchTheReference) {
  for (unsigned seed = 1; seed <= 12; ++seed) {
    EXPECT_EQ(test::CompareFastPathWithReference(RandomScenario(seed, 40)), "");
  }
}

// Every fetch seen by an observer, as the trace log sees them: the step, the address and the
// registers, mixed into one value per run.
std::vector<std::uint64_t> ObservedRuns;

void ObserveFetch() {
  std::uint64_t& seen = ObservedRuns.back();
  for (std::uint64_t value : {CycleCounters.Clock, std::uint64_t{Cpu.PC}, std::uint64_t{Cpu.A},
                              std::uint64_t{Cpu.X}, std::uint64_t{Cpu.Y}, std::uint64_t{Cpu.P},
                              std::uint64_t{Cpu.SP}, std::uint64_t{Cpu.Opcode}}) {
    seen = (seen ^ value) * 0x9E3779B97F4A7C15ull;
  }
}

// With an observer of the fetches, as the trace log sets one, the fast path sends every
// service step through the reference's: both paths see the same fetches at the same steps and
// the machine does exactly what it does unobserved.
TEST(FastPath, AnObserverOfTheFetchesSeesTheSameOnBothPathsAndChangesNothing) {
  for (Scenario scenario : {Scenario{"interrupts", InterruptProgram, nullptr, 60},
                            RandomScenario(7, 30), CartridgeScenario()}) {
    ObservedRuns.clear();
    const std::function<void()> setup = scenario.Setup;
    scenario.Setup = [setup] {
      setup();
      ObservedRuns.push_back(0);
      FetchObserver = ObserveFetch;
    };
    scenario.Frames = std::min(scenario.Frames, 60);
    EXPECT_EQ(test::CompareFastPathWithReference(scenario), "");
    ASSERT_EQ(ObservedRuns.size(), 2u);
    EXPECT_NE(ObservedRuns[0], 0u);
    EXPECT_EQ(ObservedRuns[0], ObservedRuns[1]) << scenario.Name;
    FetchObserver = nullptr;
  }
}

// Thousands of frames: run by the `long` label.
TEST(FastPathLong, DISABLED_ThousandsOfFramesMatchTheReference) {
  EXPECT_EQ(test::CompareFastPathWithReference(TypedBasicScenario(3000)), "");
  EXPECT_EQ(test::CompareFastPathWithReference({"interrupts", InterruptProgram, nullptr, 3000}),
            "");
  // The exerciser reaches its success loop after about 4,800 frames, on the fast path too.
  EXPECT_EQ(test::CompareFastPathWithReference({"exerciser", LoadExerciser, nullptr, 5000}), "");
  EXPECT_EQ(Cpu.PC, 0x3469);
  for (unsigned seed = 100; seed < 140; ++seed) {
    EXPECT_EQ(test::CompareFastPathWithReference(RandomScenario(seed, 250)), "");
  }
}

}  // namespace
}  // namespace quillon
