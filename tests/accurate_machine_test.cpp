// The accurate machine through the machine interface: booting in either standard, running by
// frames and lines with the observers, the debug exit, peeking, and snapshots that resume
// exactly where the machine stood.
#include <gtest/gtest.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "interface/create_machine.h"
#include "support/accurate.h"
#include "support/disk_images.h"
#include "support/files.h"

namespace quillon {
namespace {

using test::Assembler;

constexpr std::uint16_t Origin = 0xC000;

TEST(AccurateMachine, BootsToReadyInEitherStandard) {
  struct Case {
    bool Pal;
    int Lines;
    std::uint8_t KernalPalFlag;  // $02A6, from the KERNAL's own raster check
    std::uint64_t CyclesPerFrame;
  } const cases[] = {{true, 312, 1, 63 * 312}, {false, 263, 0, 65 * 263}};
  for (const Case& c : cases) {
    auto machine = CreateMachine(MachineModel::Accurate);
    machine->SetPal(c.Pal);
    ASSERT_TRUE(machine->PowerOn());
    for (int frame = 0; frame < 300 && !BasicWaitsForInput(*machine); ++frame) {
      machine->RunFrames(1);
    }
    EXPECT_EQ(test::ScreenRow(*machine, 1), "    **** COMMODORE 64 BASIC V2 ****");
    EXPECT_EQ(test::ScreenRow(*machine, 3), " 64K RAM SYSTEM  38911 BASIC BYTES FREE");
    EXPECT_EQ(test::ScreenRow(*machine, 5), "READY.");
    EXPECT_EQ(machine->LinesPerFrame(), c.Lines);
    EXPECT_EQ(machine->Ram()[0x02A6], c.KernalPalFlag);
    // A frame's cycles, to the instruction boundary after its end.
    const std::uint64_t before = machine->Clock();
    machine->RunFrames(10);
    EXPECT_NEAR(static_cast<double>(machine->Clock() - before), 10.0 * c.CyclesPerFrame, 8);
    // Light blue on blue, a border colour for every line.
    EXPECT_EQ(machine->Peek(0xD020), 0xFE);
    EXPECT_EQ(machine->LineBorderColors()[100], 14);
    EXPECT_EQ(machine->Picture()[10 * PictureWidth + 10], 6);
  }
}

// A switch to NTSC below its last line ends the frame at the next line.
TEST(AccurateMachine, SwitchingToNtscPastItsLastLineEndsTheFrameThere) {
  auto machine = test::BootAccurate();
  machine->SetLineFrames(true);
  machine->RunFrames(280);
  machine->SetLineFrames(false);
  machine->SetPal(false);
  const std::uint64_t before = machine->Clock();
  EXPECT_EQ(machine->RunFrames(1), 1);
  EXPECT_LT(machine->Clock() - before, 2u * 63 + 8);
  EXPECT_EQ(machine->LinesPerFrame(), 263);
}

int LinesSeen = 0;
int FramesSeen = 0;
void CountLine(bool frameEnded) {
  ++LinesSeen;
  if (frameEnded) ++FramesSeen;
}

// The observer hears every line's end; with LineFrames every line counts as a frame.
TEST(AccurateMachine, TheLineObserverHearsEveryLineAndSlowMotionCountsThemAsFrames) {
  auto machine = test::BootAccurate();
  machine->SetLineObserver(CountLine);
  LinesSeen = FramesSeen = 0;
  EXPECT_EQ(machine->RunFrames(3), 3);
  EXPECT_EQ(FramesSeen, 3);
  EXPECT_NEAR(LinesSeen, 3 * 312, 1);
  machine->SetLineFrames(true);
  LinesSeen = 0;
  EXPECT_EQ(machine->RunFrames(5), 5);
  EXPECT_EQ(LinesSeen, 5);
  // The speed reading's count, taken from the lines' ends.
  EXPECT_GT(machine->TakeCycleCount(), 3 * 19000);
  EXPECT_EQ(machine->TakeCycleCount(), 0);
}

// The debug exit port ends the run after the writing instruction; its byte is the status.
// Disabled, $D7FF is a SID register again.
TEST(AccurateMachine, TheDebugExitEndsTheRunAfterTheWritingInstruction) {
  for (const bool enabled : {true, false}) {
    auto machine = test::BootAccurate();
    Assembler code(Origin);
    code.Bytes({0x78}).Poke({0xD7FF}, 7);
    const std::uint16_t after = code.Here();
    code.Bytes({0xE8}).Stop();  // INX
    code.LoadInto(*machine);
    machine->EnableDebugExit(enabled);
    CpuRegisterFile registers = machine->Registers();
    registers.PC = Origin;
    registers.X = 0;
    machine->SetRegisters(registers);
    const std::int32_t frames = machine->RunFrames(5);
    EXPECT_EQ(machine->StopRequested(), enabled);
    EXPECT_EQ(machine->DebugExitStatus(), enabled ? 7 : -1);
    if (enabled) {
      EXPECT_EQ(frames, 0);
      EXPECT_EQ(machine->Registers().PC, after);
      EXPECT_EQ(machine->RunFrames(1), 0) << "the request stands until taken back";
      machine->ClearStopRequest();
      EXPECT_EQ(machine->RunFrames(1), 1);
    } else {
      EXPECT_EQ(frames, 5);
      EXPECT_EQ(machine->Registers().X, 1);
    }
  }
}

std::vector<std::pair<std::uint16_t, std::uint64_t>> Fetches;
const Machine* Observed = nullptr;
void NoteFetch() { Fetches.emplace_back(Observed->Registers().PC, Observed->Clock()); }

// The fetch observer sees each instruction at its opcode fetch's cycle.
TEST(AccurateMachine, TheFetchObserverSeesEachInstructionAtItsFetch) {
  auto machine = test::BootAccurate();
  Assembler code(Origin);
  code.Bytes({0x78, 0xEA, 0xA9, 0x01}).Sta(0x0400).Bytes({0xE6, 0x02}).Stop();  // SEI NOP LDA STA INC
  code.LoadInto(*machine);
  Observed = machine.get();
  Fetches.clear();
  machine->SetFetchObserver(NoteFetch);
  ASSERT_TRUE(test::RunUntil(*machine, Origin, {code.End()}));
  machine->SetFetchObserver(nullptr);
  // An interrupt that was due may come first.
  std::size_t first = 0;
  while (first < Fetches.size() && Fetches[first].first != Origin) ++first;
  ASSERT_GE(Fetches.size(), first + 5);
  const std::uint16_t addresses[] = {Origin, Origin + 1, Origin + 2, Origin + 4, Origin + 7};
  const std::uint64_t cycles[] = {2, 2, 2, 4};
  for (std::size_t i = 0; i < 5; ++i) {
    EXPECT_EQ(Fetches[first + i].first, addresses[i]);
    // A bad line may hold a fetch up, never bring it forward.
    if (i < 4) {
      EXPECT_GE(Fetches[first + i + 1].second - Fetches[first + i].second, cycles[i]);
    }
  }
}

// Peek reads what the processor would without acting on the chips: CIA 1's interrupt flags stay.
TEST(AccurateMachine, PeekLeavesTheChipsAsTheyWere) {
  auto machine = test::BootAccurate();
  Assembler code(Origin);
  code.Bytes({0x78}).Poke({0xDC0D}, 0x7F).Poke({0xDC0E}, 0x00).Poke({0xDC04}, 5).Poke({0xDC05}, 0);
  code.Lda(0xDC0D).Poke({0xDC0E}, 0x19).Nops(10).Stop();
  code.LoadInto(*machine);
  ASSERT_TRUE(test::RunUntil(*machine, Origin, {code.End()}));
  EXPECT_EQ(machine->Peek(0xDC0D), 0x01);
  EXPECT_EQ(machine->Peek(0xDC0D), 0x01);
  EXPECT_EQ(machine->Peek(0xA000), 0x94) << "BASIC ROM";
  EXPECT_EQ(machine->Peek(0x0001) & 0x07, 0x07) << "the processor port";
}

// --- Media ----------------------------------------------------------------------------------

// Puts `text` (at most ten characters, \r for RETURN) into the KERNAL's keyboard buffer.
void TypeIntoBuffer(Machine& machine, const std::string& text) {
  std::uint8_t* ram = machine.Ram();
  for (std::size_t i = 0; i < text.size(); ++i) ram[0x0277 + i] = static_cast<std::uint8_t>(text[i]);
  ram[0xC6] = static_cast<std::uint8_t>(text.size());
}

void RunUntilReady(Machine& machine) {
  machine.RunFrames(5);
  for (int frame = 0; frame < 300 && !BasicWaitsForInput(machine); ++frame) machine.RunFrames(1);
}

// A program file, a disk's program loaded through the KERNAL's LOAD (drive 8's traps), and a
// cartridge that starts itself each reach the accurate machine; the cartridge's ROM area keeps
// its bytes against the processor's writes.
TEST(AccurateMedia, ProgramsDisksAndCartridgesRun) {
  const std::vector<std::uint8_t> program = test::BasicProgramFile({"10 POKE 1024,42"});
  {
    auto machine = test::BootAccurate();
    ASSERT_TRUE(machine->LoadProgram(test::WriteTempFile("poke.prg", program)));
    RunUntilReady(*machine);
    EXPECT_EQ(machine->Ram()[0x0400], 42) << "program file";
  }
  {
    std::vector<std::uint8_t> disk = test::BlankD64("ACCURATE", "AC");
    test::AddD64File(disk, "POKE", program);
    auto machine = test::BootAccurate();
    ASSERT_EQ(machine->AttachDisk(test::WriteTempFile("poke.d64", disk)), "");
    TypeIntoBuffer(*machine, "LOAD\"*\",8\r");
    RunUntilReady(*machine);
    TypeIntoBuffer(*machine, "RUN\r");
    RunUntilReady(*machine);
    EXPECT_EQ(machine->Ram()[0x0400], 42) << "disk";
  }
  {
    // CBM80 at $8004: the KERNAL's reset jumps through $8000 into the cartridge.
    std::vector<std::uint8_t> rom = {0x09, 0x80, 0x09, 0x80, 0xC3, 0xC2, 0xCD, 0x38, 0x30,
                                     0xA9, 0x2A, 0x8D, 0x00, 0x04,   // LDA #42, STA $0400
                                     0x8D, 0x00, 0x81,               // STA $8100
                                     0x4C, 0x11, 0x80};              // JMP *
    rom.resize(0x2000, 0x55);
    auto machine = test::BootAccurate();
    machine->AttachCartridge(test::WriteTempFile("start.crt", test::CrtImage(0, {{0x8000, rom}})));
    machine->RunFrames(5);
    EXPECT_EQ(machine->Registers().PC, 0x8011) << "the cartridge runs";
    EXPECT_EQ(machine->Ram()[0x0400], 42);
    EXPECT_EQ(machine->Ram()[0x8100], 0x55) << "a write to the cartridge's ROM";
    machine->DetachCartridge();
    machine->RunFrames(150);
    EXPECT_EQ(test::ScreenRow(*machine, 5), "READY.") << "the reset without it";
  }
}

// --- Snapshots ------------------------------------------------------------------------------

constexpr SnapshotKeyboardPart NoKeyboard = {[](SnapshotWriter&) {},
                                             [](SnapshotReader&, bool) { return true; }};

// Raster bars moving the border colour every 8 lines, with sprites over the text, run by a
// raster interrupt: the snapshot stands somewhere in the middle of it.
std::unique_ptr<Machine> BarsAndSprites(bool newCias = false) {
  auto machine = test::BootAccurate(newCias);
  Assembler handler(0xC100);
  handler.Bytes({0xEE, 0x20, 0xD0})                 // INC $D020
      .Lda(0xD012).Bytes({0x18, 0x69, 0x08})        // CLC, ADC #8
      .Sta(0xD012).Poke({0xD019}, 0x01)
      .Bytes({0x4C, 0x81, 0xEA});                   // JMP $EA81: the KERNAL's return
  handler.LoadInto(*machine);
  Assembler code(Origin);
  code.Bytes({0x78}).Poke({0x0314}, 0x00).Poke({0x0315}, 0xC1).Poke({0xDC0D}, 0x7F)
      .Poke({0xD015}, 0xA5).Poke({0xD000, 0xD001, 0xD004, 0xD005, 0xD00A, 0xD00B}, 120)
      .Poke({0xD00E, 0xD00F, 0xD017, 0xD01D}, 0x55).Poke({0x07F8, 0x07FA, 0x07FD, 0x07FF}, 0x0D)
      .Poke({0xD012}, 40).Poke({0xD01A}, 0x01).Bytes({0x58});
  const std::uint16_t loop = code.Here();
  code.Bytes({0xEE, 0x00, 0x04, 0x4C, static_cast<std::uint8_t>(loop), 0xC0});  // INC $0400
  code.LoadInto(*machine);
  for (int i = 0; i < 63; ++i) machine->Ram()[0x0340 + i] = static_cast<std::uint8_t>(i * 37);
  test::RunUntil(*machine, Origin, {loop});
  return machine;
}

struct Ending {
  std::vector<std::uint8_t> Ram;
  std::vector<std::uint8_t> Picture;
  std::vector<std::uint8_t> Borders;
  std::vector<std::uint8_t> Bordered;
  std::uint64_t Clock;
  std::uint16_t Pc;
  bool operator==(const Ending&) const = default;
};

Ending End(Machine& m) {
  return {std::vector<std::uint8_t>(m.Ram(), m.Ram() + 0x10000),
          std::vector<std::uint8_t>(m.Picture(), m.Picture() + PictureWidth * PictureHeight),
          std::vector<std::uint8_t>(m.LineBorderColors(), m.LineBorderColors() + BorderTableLines),
          std::vector<std::uint8_t>(m.BorderedPicture(),
                                    m.BorderedPicture() + BorderedWidth * BorderedHeight),
          m.Clock(), m.Registers().PC};
}

TEST(AccurateSnapshot, AResumedMachineEndsAsTheOneThatNeverStopped) {
  for (const bool newCias : {false, true}) {
    auto machine = BarsAndSprites(newCias);
    machine->RunFrames(37);
    SnapshotWriter out;
    machine->SaveState(out, NoKeyboard);
    machine->RunFrames(23);
    const Ending uninterrupted = End(*machine);

    auto resumed = CreateMachine(MachineModel::Accurate, {.NewCias = !newCias});
    ASSERT_TRUE(resumed->PowerOn());
    SnapshotReader in{out.Bytes.data(), out.Bytes.size()};
    ASSERT_EQ(resumed->LoadState(in, NoKeyboard), "");
    EXPECT_EQ(SnapshotBodyModel(out.Bytes.data(), out.Bytes.size()), MachineModel::Accurate);
    resumed->RunFrames(23);
    EXPECT_TRUE(End(*resumed) == uninterrupted);
    EXPECT_NE(uninterrupted.Borders[60], uninterrupted.Borders[70]) << "the bars ran";
  }
}

// A damaged or cut-short snapshot is refused whole: the machine goes on as it was.
TEST(AccurateSnapshot, DamageIsRefusedAndLeavesTheMachineAsItWas) {
  auto machine = BarsAndSprites();
  SnapshotWriter out;
  machine->SaveState(out, NoKeyboard);
  machine->RunFrames(3);
  const Ending before = End(*machine);
  struct Case {
    const char* Name;
    std::size_t Size;
    std::size_t Flipped;  // a byte set to $FF, or past the end for none
  } const cases[] = {
      {"cut short", out.Bytes.size() - 10, out.Bytes.size()},
      {"the model's name", out.Bytes.size(), 9},
      {"a flag of the processor", out.Bytes.size(), 8 + 8 + 8 + 8},
      {"the last byte of the counters", out.Bytes.size(), out.Bytes.size() - 1},
  };
  for (const Case& c : cases) {
    std::vector<std::uint8_t> bytes(out.Bytes.begin(), out.Bytes.begin() + c.Size);
    if (c.Flipped < bytes.size()) bytes[c.Flipped] = 0xFF;
    SnapshotReader in{bytes.data(), bytes.size()};
    EXPECT_NE(machine->LoadState(in, NoKeyboard), "") << c.Name;
    EXPECT_TRUE(End(*machine) == before) << c.Name;
  }
}

}  // namespace
}  // namespace quillon
