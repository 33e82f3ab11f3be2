// The machine's part of a monitor, through the machine interface: the processor's data accesses
// handed to a watch (and nothing else), stops before and after an instruction from the fetch
// observer, finishing an instruction a frame's end cut in two, memory by bank with and without
// side effects, and the user port's lines.
#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "cia/cia.h"
#include "core/machine.h"
#include "core/memory.h"
#include "cpu/cpu.h"
#include "session/session.h"
#include "support/differential.h"
#include "support/machine.h"
#include "vic/vic.h"

namespace quillon {
namespace {

struct Access {
  std::uint16_t Address;
  std::uint8_t Value;
  bool Store;
  bool operator==(const Access&) const = default;
};
std::vector<Access> Accesses;

void NoteAccess(std::uint16_t address, std::uint8_t value, bool store) {
  Accesses.push_back({address, value, store});
}

// At $C000: LDA #$07, STA $D020, LDA $C100, INC $C101, PHA, LDA ($FB),Y (through $C100),
// JMP $C00F (itself). $C100 holds $42, $C101 $10, the pointer at $FB/$FC $C100 with Y 1.
constexpr std::uint8_t Program[] = {0xA9, 0x07, 0x8D, 0x20, 0xD0, 0xAD, 0x00, 0xC1, 0xEE,
                                    0x01, 0xC1, 0x48, 0xB1, 0xFB, 0x4C, 0x0E, 0xC0};

void StartWatchedProgram() {
  test::StartProgram(0xC000, {});
  for (std::size_t i = 0; i < sizeof Program; ++i) MainRam[0xC000 + i] = Program[i];
  MainRam[0xC100] = 0x42;
  MainRam[0xC101] = 0x10;
  MainRam[0xFB] = 0x00;
  MainRam[0xFC] = 0xC1;
  Cpu.PC = 0xC000;
  Cpu.Y = 1;
  Cpu.P |= FlagI;  // no interrupt handler's accesses in between
  Accesses.clear();
}

std::vector<std::uint8_t> Watching(std::initializer_list<std::pair<int, std::uint8_t>> pages) {
  std::vector<std::uint8_t> table(256, 0);
  for (const auto& [page, what] : pages) table[page] = what;
  return table;
}

TEST(MachineMonitor, AWatchHearsTheDataAccessesOfItsPagesOnly) {
  struct Case {
    std::vector<std::uint8_t> Pages;
    std::vector<Access> Heard;
  };
  const Case cases[] = {
      // The program's own page for loads: its opcodes, operands and the immediate $07 are no
      // loads; LDA $C100, INC's read and the indirect read through $C100 are.
      {Watching({{0xC0, WatchLoads}, {0xC1, WatchLoads}}),
       {{0xC100, 0x42, false}, {0xC101, 0x10, false}, {0xC101, 0x11, false}}},
      {Watching({{0xC1, WatchLoads | WatchStores}, {0xD0, WatchStores}, {0x01, WatchStores}}),
       {{0xD020, 0x07, true},
        {0xC100, 0x42, false},
        {0xC101, 0x10, false},
        {0xC101, 0x11, true},
        {0x01FF, 0x42, true},
        {0xC101, 0x11, false}}},
      {Watching({{0xD0, WatchLoads}}), {}},
  };
  for (const bool fastPath : {true, false}) {
    for (const Case& c : cases) {
      StartWatchedProgram();
      Machine& machine = CurrentMachine();
      machine.SetMemoryWatch(c.Pages.data(), NoteAccess);
      if (fastPath) {
        machine.RunFrames(1);
      } else {
        for (int i = 0; i < 8; ++i) machine.StepInstruction();
      }
      EXPECT_EQ(Accesses, c.Heard) << (fastPath ? "fast path" : "per step");
      EXPECT_EQ(Vic.BorderColor, 0x07) << "the watched write still lands";
      machine.SetMemoryWatch(nullptr, nullptr);
    }
  }
}

TEST(MachineMonitor, UnwatchedPagesRunAsFastAsEverAndGiveTheSameMachine) {
  // The same frames with a watch on a page the program never touches, and without.
  StartWatchedProgram();
  CurrentMachine().RunFrames(5);
  const test::MachineFingerprint plain = test::TakeFingerprint();
  StartWatchedProgram();
  const std::vector<std::uint8_t> pages = Watching({{0x80, WatchLoads | WatchStores}});
  CurrentMachine().SetMemoryWatch(pages.data(), NoteAccess);
  CurrentMachine().RunFrames(5);
  CurrentMachine().SetMemoryWatch(nullptr, nullptr);
  EXPECT_TRUE(test::TakeFingerprint() == plain);
  EXPECT_TRUE(Accesses.empty());
}

// A hook that stops the run at its first store.
void StopAtStore(std::uint16_t, std::uint8_t, bool store) {
  if (store) CurrentMachine().RequestStop();
}

TEST(MachineMonitor, AStopFromAWatchLandsAfterTheAccessingInstruction) {
  StartWatchedProgram();
  Machine& machine = CurrentMachine();
  const std::vector<std::uint8_t> pages = Watching({{0xD0, WatchStores}});
  machine.SetMemoryWatch(pages.data(), StopAtStore);
  EXPECT_EQ(machine.RunFrames(3), 0);
  EXPECT_TRUE(machine.StopRequested());
  EXPECT_EQ(machine.Registers().PC, 0xC005) << "right after STA $D020";
  EXPECT_EQ(Cpu.Opcode, ServiceMarker);
  EXPECT_EQ(machine.RunFrames(1), 0) << "the request stands";
  machine.ClearStopRequest();
  machine.SetMemoryWatch(nullptr, nullptr);
  EXPECT_EQ(machine.RunFrames(1), 1);
}

std::uint16_t StopAt = 0;
int Fetches = 0;
bool StopBefore = true;

void StopAtAddress() {
  ++Fetches;
  if (CurrentMachine().Registers().PC != StopAt) return;
  if (StopBefore) {
    CurrentMachine().StopBeforeInstruction();
  } else {
    CurrentMachine().RequestStop();
  }
}

TEST(MachineMonitor, TheFetchObserverStopsBeforeOrAfterTheFetchedInstruction) {
  struct Case {
    bool Before;
    bool Stepped;
    std::uint16_t PC;
    std::uint8_t Border;  // STA $D020 at $C002 has run or not
  };
  const Case cases[] = {
      {true, false, 0xC002, 0x00}, {true, true, 0xC002, 0x00},
      {false, false, 0xC005, 0x07}, {false, true, 0xC005, 0x07},
  };
  for (const Case& c : cases) {
    StartWatchedProgram();
    Vic.BorderColor = 0;
    Machine& machine = CurrentMachine();
    StopAt = 0xC002;
    StopBefore = c.Before;
    Fetches = 0;
    machine.SetFetchObserver(StopAtAddress);
    if (c.Stepped) {
      machine.StepInstruction();
      machine.StepInstruction();
    } else {
      machine.RunFrames(1);
    }
    EXPECT_TRUE(machine.StopRequested());
    EXPECT_EQ(machine.Registers().PC, c.PC) << c.Before << c.Stepped;
    EXPECT_EQ(Vic.BorderColor, c.Border);
    EXPECT_EQ(Fetches, 2);
    EXPECT_EQ(Cpu.Opcode, ServiceMarker) << "between two instructions";
    // Going on, the stopped-before instruction is fetched again, and runs.
    machine.ClearStopRequest();
    StopAt = 0;
    machine.StepInstruction();
    EXPECT_EQ(Fetches, 3);
    EXPECT_EQ(Vic.BorderColor, 0x07);
    machine.SetFetchObserver(nullptr);
  }
}

TEST(MachineMonitor, FinishInstructionEndsTheInstructionAFrameCut) {
  test::PowerOnMachine();
  Machine& machine = CurrentMachine();
  int cut = 0;
  for (int frame = 0; frame < 200 && cut < 5; ++frame) {
    machine.RunFrames(1);
    if (Cpu.Opcode == ServiceMarker) continue;
    ++cut;
    const std::uint64_t clock = machine.Clock();
    machine.FinishInstruction();
    EXPECT_EQ(Cpu.Opcode, ServiceMarker);
    const std::uint64_t cycles = machine.Clock() - clock;
    EXPECT_TRUE(cycles >= 1 && cycles <= 8) << cycles;
    machine.FinishInstruction();
    EXPECT_EQ(machine.Clock() - clock, cycles) << "nothing more";
  }
  EXPECT_GT(cut, 0) << "some frame ended inside an instruction";
}

TEST(MachineMonitor, BanksShowTheirMemoryAndSideEffectsAreAskedFor) {
  test::PowerOnMachine();
  Machine& machine = CurrentMachine();
  machine.RunFrames(120);
  MainRam[0xA000] = 0x11;
  MainRam[0xD020] = 0x22;
  MainRam[0xE000] = 0x33;
  MainRam[0x1000] = 0x44;
  struct Read {
    MemoryBank Bank;
    std::uint16_t Address;
    std::uint8_t Value;
  };
  const Read reads[] = {
      {MemoryBank::CpuView, 0xA000, 0x94},  // BASIC's first byte
      {MemoryBank::Ram, 0xA000, 0x11},
      {MemoryBank::Rom, 0xA000, 0x94},
      {MemoryBank::Io, 0xA000, 0x94},
      {MemoryBank::CpuView, 0xD020, 0xFE},  // the border, light blue, unused bits high
      {MemoryBank::Ram, 0xD020, 0x22},
      {MemoryBank::Rom, 0xD020, 0x78},  // the character generator
      {MemoryBank::Io, 0xD020, 0xFE},
      {MemoryBank::Rom, 0xE000, 0x85},  // the KERNAL
      {MemoryBank::Ram, 0xE000, 0x33},
      {MemoryBank::Rom, 0x1000, 0x44},
  };
  for (const Read& r : reads) {
    EXPECT_EQ(machine.ReadMemory(r.Bank, r.Address, false), r.Value)
        << int(r.Bank) << " " << std::hex << r.Address;
  }
  // With only RAM banked in, the processor sees the RAM; the Io and Rom banks stay.
  machine.WriteMemory(MemoryBank::CpuView, 0x0001, 0x34, true);
  EXPECT_EQ(machine.ReadMemory(MemoryBank::CpuView, 0xD020, false), 0x22);
  EXPECT_EQ(machine.ReadMemory(MemoryBank::Io, 0xD020, false), 0xFE);
  EXPECT_EQ(machine.ReadMemory(MemoryBank::Rom, 0xA000, false), 0x94);
  machine.WriteMemory(MemoryBank::CpuView, 0x0001, 0x37, true);

  // Reading CIA 1's interrupt flags acknowledges them only as the processor's read.
  Cia1.Registers[CiaInterruptControl] = 0x81;
  Cpu.IrqPending = 1;
  EXPECT_EQ(machine.ReadMemory(MemoryBank::CpuView, 0xDC0D, false), 0x81);
  EXPECT_EQ(machine.ReadMemory(MemoryBank::Io, 0xDC0D, false), 0x81);
  EXPECT_EQ(machine.ReadMemory(MemoryBank::CpuView, 0xDC0D, true), 0x81);
  EXPECT_EQ(machine.ReadMemory(MemoryBank::CpuView, 0xDC0D, false), 0x00);
  EXPECT_EQ(Cpu.IrqPending, 0);

  // Writes: the processor's reach the chips; the quiet ones leave the chips' registers alone.
  machine.WriteMemory(MemoryBank::CpuView, 0xD020, 0x02, false);
  EXPECT_EQ(Vic.BorderColor & 0x0F, 0x0E);
  EXPECT_EQ(MainRam[0xD020], 0x22);
  machine.WriteMemory(MemoryBank::Io, 0xD020, 0x02, true);
  EXPECT_EQ(Vic.BorderColor & 0x0F, 0x02);
  machine.WriteMemory(MemoryBank::CpuView, 0xD800, 0xF5, false);
  EXPECT_EQ(ColorRam[0], 0x05);
  machine.WriteMemory(MemoryBank::Ram, 0xD800, 0x66, false);
  EXPECT_EQ(MainRam[0xD800], 0x66);
  machine.WriteMemory(MemoryBank::Rom, 0xE000, 0x77, false);
  EXPECT_EQ(MainRam[0xE000], 0x77);
  EXPECT_EQ(machine.ReadMemory(MemoryBank::Rom, 0xE000, false), 0x85);
  machine.WriteMemory(MemoryBank::CpuView, 0xA000, 0x55, true);
  EXPECT_EQ(MainRam[0xA000], 0x55) << "the RAM beneath BASIC";
}

TEST(MachineMonitor, TheUserPortsLinesReadOnCia2sInputBits) {
  test::PowerOnMachine();
  Machine& machine = CurrentMachine();
  machine.WriteMemory(MemoryBank::Io, 0xDD03, 0x0F, true);
  machine.WriteMemory(MemoryBank::Io, 0xDD01, 0x03, true);
  EXPECT_EQ(machine.ReadMemory(MemoryBank::Io, 0xDD01, false), 0xF3) << "pulled up";
  machine.SetUserPortLines(0x5A);
  EXPECT_EQ(machine.ReadMemory(MemoryBank::Io, 0xDD01, false), 0x53);
  machine.SetUserPortLines(0xFF);
}

}  // namespace
}  // namespace quillon
