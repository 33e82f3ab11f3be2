// The machine's part of a monitor, for each model through the machine interface alone: the
// processor's data accesses handed to a watch (and never its fetches), stops before and after
// an instruction from the fetch observer, memory by bank with and without side effects, and the
// user port's lines.
#include <gtest/gtest.h>

#include <cstdint>
#include <memory>
#include <vector>

#include "core/machine.h"
#include "cpu/cpu.h"
#include "interface/create_machine.h"
#include "interface/machine.h"
#include "support/differential.h"
#include "support/machine.h"

namespace quillon {
namespace {

struct Access {
  std::uint16_t Address;
  std::uint8_t Value;
  bool Store;
  bool operator==(const Access&) const = default;
};
std::vector<Access> Accesses;
Machine* Current = nullptr;

void NoteAccess(std::uint16_t address, std::uint8_t value, bool store) {
  Accesses.push_back({address, value, store});
}

// At $C000: LDA #$07, STA $D020, LDA $C100, PHA, LDA ($FB),Y (through $C100, Y = 1), JMP
// $C00C (itself). $C100 holds $42, $C101 $10, the pointer at $FB/$FC $C100.
constexpr std::uint8_t Program[] = {0xA9, 0x07, 0x8D, 0x20, 0xD0, 0xAD, 0x00,
                                    0xC1, 0x48, 0xB1, 0xFB, 0x4C, 0x0B, 0xC0};

std::unique_ptr<Machine> BootedMachine(MachineModel model) {
  std::unique_ptr<Machine> machine = CreateMachine(model);
  if (machine == nullptr || !machine->PowerOn()) return nullptr;
  for (int frame = 0; frame < 300 && !BasicWaitsForInput(*machine); ++frame) machine->RunFrames(1);
  return machine;
}

class MachineMonitor : public testing::TestWithParam<MachineModel> {
 protected:
  void SetUp() override {
    if (GetParam() == MachineModel::Classic) test::PowerOnMachine();
    Machine = BootedMachine(GetParam());
    ASSERT_NE(Machine, nullptr);
    Current = Machine.get();
    Accesses.clear();
  }

  // The program ready to run at $C000 with interrupts masked and a known stack. The registers
  // are set between two instructions.
  void StartProgram() {
    Machine->FinishInstruction();
    for (std::size_t i = 0; i < sizeof Program; ++i) {
      Machine->WriteMemory(MemoryBank::Ram, static_cast<std::uint16_t>(0xC000 + i), Program[i],
                           false);
    }
    for (const auto& [address, value] : {std::pair{0xC100, 0x42},
                                         {0xC101, 0x10},
                                         {0x00FB, 0x00},
                                         {0x00FC, 0xC1},
                                         {0xD020, 0x00}}) {
      Machine->WriteMemory(MemoryBank::CpuView, static_cast<std::uint16_t>(address),
                           static_cast<std::uint8_t>(value), true);
    }
    CpuRegisterFile r = Machine->Registers();
    r.PC = 0xC000;
    r.Y = 1;
    r.SP = 0xF0;
    r.P |= 0x04;
    Machine->SetRegisters(r);
  }

  std::uint8_t Border() { return Machine->ReadMemory(MemoryBank::Io, 0xD020, false) & 0x0F; }

  std::unique_ptr<quillon::Machine> Machine;
};

std::vector<std::uint8_t> Watching(std::initializer_list<std::pair<int, std::uint8_t>> pages) {
  std::vector<std::uint8_t> table(256, 0);
  for (const auto& [page, what] : pages) table[page] = what;
  return table;
}

TEST_P(MachineMonitor, AWatchHearsTheDataAccessesOfItsPagesOnly) {
  struct Case {
    std::vector<std::uint8_t> Pages;
    std::vector<Access> Heard;
  };
  const Case cases[] = {
      // The program's own pages for loads: its opcodes, operands, the immediate $07 and the
      // reads of the next byte are no loads; LDA $C100 and the indirect read are.
      {Watching({{0xC0, WatchLoads}, {0xC1, WatchLoads}}),
       {{0xC100, 0x42, false}, {0xC101, 0x10, false}}},
      {Watching({{0xC1, WatchLoads | WatchStores}, {0xD0, WatchStores}, {0x01, WatchStores}}),
       {{0xD020, 0x07, true}, {0xC100, 0x42, false}, {0x01F0, 0x42, true}, {0xC101, 0x10, false}}},
      {Watching({{0xD0, WatchLoads}}), {}},
  };
  for (const bool stepped : {false, true}) {
    for (const Case& c : cases) {
      StartProgram();
      Accesses.clear();
      Machine->SetMemoryWatch(c.Pages.data(), NoteAccess);
      if (stepped) {
        for (int i = 0; i < 7; ++i) Machine->StepInstruction();
      } else {
        Machine->RunFrames(1);
      }
      Machine->SetMemoryWatch(nullptr, nullptr);
      EXPECT_EQ(Accesses, c.Heard) << (stepped ? "stepped" : "run");
      EXPECT_EQ(Border(), 0x07) << "the watched write still lands";
    }
  }
}

// A hook that stops the run at its first store.
void StopAtStore(std::uint16_t, std::uint8_t, bool store) {
  if (store) Current->RequestStop();
}

TEST_P(MachineMonitor, AStopFromAWatchLandsAfterTheAccessingInstruction) {
  StartProgram();
  const std::vector<std::uint8_t> pages = Watching({{0xD0, WatchStores}});
  Machine->SetMemoryWatch(pages.data(), StopAtStore);
  EXPECT_EQ(Machine->RunFrames(3), 0);
  EXPECT_TRUE(Machine->StopRequested());
  EXPECT_EQ(Machine->Registers().PC, 0xC005) << "right after STA $D020";
  Machine->FinishInstruction();
  EXPECT_EQ(Machine->Registers().PC, 0xC005) << "nothing was left to finish";
  EXPECT_EQ(Machine->RunFrames(1), 0) << "the request stands";
  Machine->ClearStopRequest();
  Machine->SetMemoryWatch(nullptr, nullptr);
  EXPECT_EQ(Machine->RunFrames(1), 1);
}

std::uint16_t StopAt = 0;
int Fetches = 0;
bool StopBefore = true;

void StopAtAddress() {
  ++Fetches;
  if (Current->Registers().PC != StopAt) return;
  if (StopBefore) {
    Current->StopBeforeInstruction();
  } else {
    Current->RequestStop();
  }
}

TEST_P(MachineMonitor, TheFetchObserverStopsBeforeOrAfterTheFetchedInstruction) {
  struct Case {
    bool Before;
    bool Stepped;
    std::uint16_t PC;
    std::uint8_t Border;  // STA $D020 at $C002 has run or not
  };
  const Case cases[] = {
      {true, false, 0xC002, 0x00},
      {true, true, 0xC002, 0x00},
      {false, false, 0xC005, 0x07},
      {false, true, 0xC005, 0x07},
  };
  for (const Case& c : cases) {
    StartProgram();
    StopAt = 0xC002;
    StopBefore = c.Before;
    Fetches = 0;
    Machine->SetFetchObserver(StopAtAddress);
    if (c.Stepped) {
      Machine->StepInstruction();
      Machine->StepInstruction();
    } else {
      Machine->RunFrames(1);
    }
    EXPECT_TRUE(Machine->StopRequested());
    EXPECT_EQ(Machine->Registers().PC, c.PC) << c.Before << c.Stepped;
    EXPECT_EQ(Border(), c.Border);
    EXPECT_EQ(Fetches, 2);
    // Going on, a stopped-before instruction is fetched again, and runs.
    Machine->ClearStopRequest();
    StopAt = 0;
    Machine->StepInstruction();
    EXPECT_EQ(Fetches, 3);
    EXPECT_EQ(Border(), 0x07);
    Machine->SetFetchObserver(nullptr);
  }
}

TEST_P(MachineMonitor, BanksShowTheirMemoryAndSideEffectsAreAskedFor) {
  Machine->WriteMemory(MemoryBank::Ram, 0xA000, 0x11, false);
  Machine->WriteMemory(MemoryBank::Ram, 0xD020, 0x22, false);
  Machine->WriteMemory(MemoryBank::Ram, 0xE000, 0x33, false);
  Machine->WriteMemory(MemoryBank::Ram, 0x1000, 0x44, false);
  struct Read {
    MemoryBank Bank;
    std::uint16_t Address;
    std::uint8_t Value;
    std::uint8_t Mask;
  };
  const Read reads[] = {
      {MemoryBank::CpuView, 0xA000, 0x94, 0xFF},  // BASIC's first byte
      {MemoryBank::Ram, 0xA000, 0x11, 0xFF},
      {MemoryBank::Rom, 0xA000, 0x94, 0xFF},
      {MemoryBank::Io, 0xA000, 0x94, 0xFF},
      {MemoryBank::CpuView, 0xD020, 0x0E, 0x0F},  // the border, light blue
      {MemoryBank::Ram, 0xD020, 0x22, 0xFF},
      {MemoryBank::Rom, 0xD020, 0x78, 0xFF},  // the character generator
      {MemoryBank::Io, 0xD020, 0x0E, 0x0F},
      {MemoryBank::Rom, 0xE000, 0x85, 0xFF},  // the KERNAL
      {MemoryBank::Ram, 0xE000, 0x33, 0xFF},
      {MemoryBank::Rom, 0x1000, 0x44, 0xFF},
  };
  for (const Read& r : reads) {
    EXPECT_EQ(Machine->ReadMemory(r.Bank, r.Address, false) & r.Mask, r.Value)
        << int(r.Bank) << " " << std::hex << r.Address;
  }
  // With only RAM banked in, the processor sees the RAM; the Io and Rom banks stay.
  Machine->WriteMemory(MemoryBank::CpuView, 0x0001, 0x34, true);
  EXPECT_EQ(Machine->ReadMemory(MemoryBank::CpuView, 0xD020, false), 0x22);
  EXPECT_EQ(Machine->ReadMemory(MemoryBank::Io, 0xD020, false) & 0x0F, 0x0E);
  EXPECT_EQ(Machine->ReadMemory(MemoryBank::Rom, 0xA000, false), 0x94);
  Machine->WriteMemory(MemoryBank::CpuView, 0x0001, 0x37, true);

  // Writes: the processor's reach the chips; the quiet ones leave the chips' registers alone.
  Machine->WriteMemory(MemoryBank::CpuView, 0xD020, 0x02, false);
  EXPECT_EQ(Machine->ReadMemory(MemoryBank::Io, 0xD020, false) & 0x0F, 0x0E);
  EXPECT_EQ(Machine->ReadMemory(MemoryBank::Ram, 0xD020, false), 0x22);
  Machine->WriteMemory(MemoryBank::Io, 0xD020, 0x02, true);
  EXPECT_EQ(Machine->ReadMemory(MemoryBank::Io, 0xD020, false) & 0x0F, 0x02);
  Machine->WriteMemory(MemoryBank::CpuView, 0xD800, 0xF5, false);
  EXPECT_EQ(Machine->ReadMemory(MemoryBank::Io, 0xD800, false) & 0x0F, 0x05) << "colour RAM";
  Machine->WriteMemory(MemoryBank::Rom, 0xE000, 0x77, false);
  EXPECT_EQ(Machine->ReadMemory(MemoryBank::Ram, 0xE000, false), 0x77);
  EXPECT_EQ(Machine->ReadMemory(MemoryBank::Rom, 0xE000, false), 0x85);
  Machine->WriteMemory(MemoryBank::CpuView, 0xA000, 0x55, true);
  EXPECT_EQ(Machine->ReadMemory(MemoryBank::Ram, 0xA000, false), 0x55) << "the RAM beneath BASIC";
  Machine->WriteMemory(MemoryBank::CpuView, 0x0001, 0x30, false);
  EXPECT_EQ(Machine->ReadMemory(MemoryBank::CpuView, 0xA000, false), 0x94)
      << "a quiet write leaves the port alone";

  // CIA 1's interrupt flags, raised by timer A with its interrupt masked, are acknowledged
  // only by the processor's read.
  Machine->WriteMemory(MemoryBank::Io, 0xDC0D, 0x7F, true);
  Machine->RunFrames(2);
  const std::uint8_t flags = Machine->ReadMemory(MemoryBank::Io, 0xDC0D, false);
  EXPECT_EQ(flags & 0x01, 0x01);
  EXPECT_EQ(Machine->ReadMemory(MemoryBank::CpuView, 0xDC0D, false), flags);
  EXPECT_EQ(Machine->ReadMemory(MemoryBank::CpuView, 0xDC0D, true), flags);
  EXPECT_EQ(Machine->ReadMemory(MemoryBank::CpuView, 0xDC0D, false) & 0x01, 0x00);
}

TEST_P(MachineMonitor, TheUserPortsLinesReadOnCia2sInputBits) {
  Machine->WriteMemory(MemoryBank::Io, 0xDD03, 0x0F, true);
  Machine->WriteMemory(MemoryBank::Io, 0xDD01, 0x03, true);
  EXPECT_EQ(Machine->ReadMemory(MemoryBank::Io, 0xDD01, false), 0xF3) << "pulled up";
  Machine->SetUserPortLines(0x5F);
  EXPECT_EQ(Machine->ReadMemory(MemoryBank::Io, 0xDD01, false), 0x53);
  Machine->SetUserPortLines(0xFF);
  EXPECT_FALSE(Machine->Jammed());
}

INSTANTIATE_TEST_SUITE_P(Models, MachineMonitor,
                         testing::Values(MachineModel::Classic, MachineModel::Accurate),
                         [](const testing::TestParamInfo<MachineModel>& model) {
                           return test::ModelName(model.param);
                         });

// The classic model may end a run inside an instruction, at the cycle that ended the frame;
// FinishInstruction runs the rest of it, and nothing more.
TEST(ClassicMachineMonitor, FinishInstructionEndsTheInstructionAFrameCut) {
  test::PowerOnMachine();
  std::unique_ptr<Machine> machine = CreateMachine(MachineModel::Classic);
  int cut = 0;
  for (int frame = 0; frame < 200 && cut < 5; ++frame) {
    machine->RunFrames(1);
    if (Cpu.Opcode == ServiceMarker) continue;
    ++cut;
    const std::uint64_t clock = machine->Clock();
    machine->FinishInstruction();
    EXPECT_EQ(Cpu.Opcode, ServiceMarker);
    const std::uint64_t cycles = machine->Clock() - clock;
    EXPECT_TRUE(cycles >= 1 && cycles <= 8) << cycles;
    machine->FinishInstruction();
    EXPECT_EQ(machine->Clock() - clock, cycles) << "nothing more";
  }
  EXPECT_GT(cut, 0) << "some frame ended inside an instruction";
}

// Pages left unwatched run as they always did: the same machine after the same frames.
TEST(ClassicMachineMonitor, AWatchElsewhereChangesNothing) {
  test::StartProgram(0xC000, {0xEE, 0x20, 0xD0, 0x4C, 0x00, 0xC0});
  RunUntilFrame(CycleCounters.FrameCounter + 5);
  const test::MachineFingerprint plain = test::TakeFingerprint();
  test::StartProgram(0xC000, {0xEE, 0x20, 0xD0, 0x4C, 0x00, 0xC0});
  const std::vector<std::uint8_t> pages = Watching({{0x80, WatchLoads | WatchStores}});
  std::unique_ptr<Machine> machine = CreateMachine(MachineModel::Classic);
  machine->SetMemoryWatch(pages.data(), NoteAccess);
  RunUntilFrame(CycleCounters.FrameCounter + 5);
  machine->SetMemoryWatch(nullptr, nullptr);
  EXPECT_TRUE(test::TakeFingerprint() == plain);
}

}  // namespace
}  // namespace quillon
