// The accurate machine's timing as programs see it: 6502 code on the booted machine measures the
// interrupts, the CIAs and the cycles the VIC-II takes from the processor.
#include <gtest/gtest.h>

#include <cstdint>
#include <initializer_list>
#include <memory>
#include <vector>

#include "support/accurate.h"

namespace quillon {
namespace {

using test::Assembler;

constexpr std::uint16_t Origin = 0xC000;
constexpr std::uint16_t Handler = 0xC800;
constexpr std::uint16_t IrqVector = 0x0314;  // where the KERNAL's IRQ entry jumps
constexpr std::uint16_t NmiVector = 0x0318;

// Results go to $02 on.
constexpr std::uint16_t Result = 0x02;

std::uint8_t Low(std::uint16_t word) { return static_cast<std::uint8_t>(word); }
std::uint8_t High(std::uint16_t word) { return static_cast<std::uint8_t>(word >> 8); }

// Interrupts masked, no bad lines from the next frame's line $30 on, CIA 1 quiet, and the
// KERNAL's interrupt vector pointing at `handler`: a program's cycles are its own.
Assembler QuietStart(std::uint16_t vector = IrqVector, std::uint16_t handler = Handler) {
  Assembler code(Origin);
  code.Bytes({0x78})  // SEI
      .Poke({0xDC0D, 0xDD0D}, 0x7F)
      .Lda(0xDC0D)
      .Lda(0xDD0D)
      .Poke({vector}, Low(handler))
      .Poke({static_cast<std::uint16_t>(vector + 1)}, High(handler))
      .Poke({0xD011}, 0x0B)
      .WaitNewFrame()
      .WaitRaster(0x40);
  return code;
}

// A handler that stores Y at $02 and stops.
std::uint16_t StoreYHandler(Machine& machine) {
  Assembler handler(Handler);
  handler.Sty(Result).Lda(0xDC0D).Stop();
  handler.LoadInto(machine);
  return handler.End();
}

// --- Interrupts -----------------------------------------------------------------------------

// CIA 1's timer A, one-shot with latch `latch`, raises an IRQ soon after it starts: the counts of
// INY before the handler tell after which instruction it came.
std::uint8_t InstructionsBeforeIrq(std::uint8_t latch, std::initializer_list<std::uint8_t> middle,
                                   bool cliFirst) {
  auto machine = test::BootAccurate();
  const std::uint16_t handlerEnd = StoreYHandler(*machine);
  Assembler code = QuietStart();
  // The KERNAL's timer stops and its flag goes before the interrupt is enabled.
  code.Poke({0xDC0E}, 0).Poke({0xDC04}, latch).Poke({0xDC05}, 0).Lda(0xDC0D);
  code.Poke({0xDC0D}, 0x81).Bytes({0xA0, 0x00});  // LDY #0
  if (cliFirst) {
    // The timer runs out while I is set; CLI lets one more instruction run first.
    code.Poke({0xDC0E}, 0x19).Nops(40).Bytes({0x58});  // CLI
  } else {
    code.Bytes({0x58}).Poke({0xDC0E}, 0x19);
  }
  code.Bytes({0xC8, 0xC8, 0xC8, 0xC8}).Bytes(middle);  // INY x 4
  for (int i = 0; i < 12; ++i) code.Bytes({0xC8});
  code.Stop();
  code.LoadInto(*machine);
  machine->Ram()[Result] = 0xEE;
  EXPECT_TRUE(test::RunUntil(*machine, Origin, {handlerEnd, code.End()}));
  return machine->Ram()[Result];
}

TEST(AccurateInterrupts, CliLetsOneMoreInstructionRunBeforeAPendingIrq) {
  EXPECT_EQ(InstructionsBeforeIrq(20, {}, true), 1);
}

// A taken branch that stays in its page polls only in its first cycle: an IRQ that comes in its
// second waits for the next instruction, where BIT (three cycles too) takes it at once. For one
// timer latch, and one only, the branch lets one more INY run.
TEST(AccurateInterrupts, ATakenBranchDelaysAnIrqThatArrivesInItsSecondCycle) {
  int differences = 0;
  for (std::uint8_t latch = 0; latch < 14; ++latch) {
    const std::uint8_t branch = InstructionsBeforeIrq(latch, {0xD0, 0x00}, false);  // BNE +0
    const std::uint8_t bit = InstructionsBeforeIrq(latch, {0x24, 0x02}, false);     // BIT $02
    ASSERT_NE(bit, 0xEE) << "no interrupt for latch " << +latch;
    if (branch != bit) {
      EXPECT_EQ(branch, bit + 1) << "latch " << +latch;
      ++differences;
    }
  }
  EXPECT_EQ(differences, 1);
}

// RESTORE and CIA 2 share /NMI, which is edge-triggered: while CIA 2 holds it low (its handler
// returned without reading the ICR), RESTORE gives no interrupt.
TEST(AccurateInterrupts, RestoreRaisesAnNmiUnlessCia2HoldsTheLine) {
  for (const bool cia2Holds : {false, true}) {
    auto machine = test::BootAccurate();
    Assembler handler(Handler);
    handler.Bytes({0xE6, Result, 0x40});  // INC $02, RTI
    handler.LoadInto(*machine);
    Assembler code = QuietStart(NmiVector);
    if (cia2Holds) code.Poke({0xDD04, 0xDD05}, 0).Poke({0xDD0D}, 0x81).Poke({0xDD0E}, 0x19);
    code.Nops(20);
    const std::uint16_t wait = code.Here();
    code.Nops(200).Stop();
    code.LoadInto(*machine);
    machine->Ram()[Result] = 0;
    ASSERT_TRUE(test::RunUntil(*machine, Origin, {wait}));
    EXPECT_EQ(machine->Ram()[Result] != 0, cia2Holds) << "CIA 2's own interrupt";
    machine->Ram()[Result] = 0;
    machine->PressRestore();
    ASSERT_TRUE(test::RunUntil(*machine, wait, {code.End()}));
    EXPECT_EQ(machine->Ram()[Result], cia2Holds ? 0 : 1) << "CIA 2 holds /NMI: " << cia2Holds;
  }
}

// The raster interrupt: the handler runs on the compare line with the latch bit set, and
// writing the bit back clears it.
TEST(AccurateInterrupts, TheRasterInterruptComesOnItsLine) {
  auto machine = test::BootAccurate();
  Assembler handler(Handler);
  handler.Lda(0xD012).Sta(Result).Lda(0xD019).Sta(Result + 1).Poke({0xD019}, 0x01);
  handler.Lda(0xD019).Sta(Result + 2).Stop();
  handler.LoadInto(*machine);
  Assembler code = QuietStart();
  code.Poke({0xD012}, 100).Poke({0xD019}, 0x0F).Poke({0xD01A}, 0x01).Bytes({0x58});  // CLI
  const std::uint16_t loop = code.Here();
  code.Bytes({0x4C, Low(loop), High(loop)});
  code.LoadInto(*machine);
  ASSERT_TRUE(test::RunUntil(*machine, Origin, {handler.End()}));
  const std::uint8_t* ram = machine->Ram();
  EXPECT_EQ(ram[Result], 100);
  EXPECT_EQ(ram[Result + 1], 0xF1) << "IRQ, the raster bit and the unused bits";
  EXPECT_EQ(ram[Result + 2], 0x70);
}

// --- CIAs -----------------------------------------------------------------------------------

// An indexed read that crosses a page first reads the address with the uncorrected high byte:
// at $DC0D that read takes CIA 1's interrupt flags away.
TEST(AccurateCia, ADummyReadOfTheIcrClearsIt) {
  struct Case {
    const char* Name;
    std::initializer_list<std::uint8_t> Read;
    std::uint8_t FlagsAfter;
  } const cases[] = {
      {"LDA $DCFD,X reads $DC0D first", {0xA2, 0x10, 0xBD, 0xFD, 0xDC}, 0x00},
      {"LDA ($FB),Y reads $DC0D first", {0xA0, 0x10, 0xB1, 0xFB}, 0x00},
      {"LDA $DCF0,X reads $DC00 first", {0xA2, 0x10, 0xBD, 0xF0, 0xDC}, 0x01},
      {"LDA $DD0D makes no dummy read", {0xAD, 0x0D, 0xDD}, 0x01},
  };
  for (const Case& c : cases) {
    auto machine = test::BootAccurate();
    machine->Ram()[0xFB] = 0xFD;
    machine->Ram()[0xFC] = 0xDC;
    Assembler code = QuietStart();
    code.Poke({0xDC04}, 10).Poke({0xDC05}, 0).Poke({0xDC0E}, 0x19).Nops(30);
    code.Bytes(c.Read).Lda(0xDC0D).Sta(Result).Stop();
    code.LoadInto(*machine);
    ASSERT_TRUE(test::RunUntil(*machine, Origin, {code.End()}));
    EXPECT_EQ(machine->Ram()[Result], c.FlagsAfter) << c.Name;
  }
}

// The TOD alarm: the flag comes when the clock, counting tenths from the 50 Hz mains, reaches
// the alarm time.
TEST(AccurateCia, TheTodAlarmComesAtItsTime) {
  auto machine = test::BootAccurate();
  Assembler code = QuietStart();
  code.Poke({0xDC0E}, 0x80)                          // 50 Hz
      .Poke({0xDC0F}, 0x00)                          // writes set the time
      .Poke({0xDC0B}, 0x01).Poke({0xDC0A, 0xDC09, 0xDC08}, 0x00)
      .Poke({0xDC0F}, 0x80)                          // writes set the alarm
      .Poke({0xDC0B}, 0x01).Poke({0xDC0A, 0xDC09}, 0x00).Poke({0xDC08}, 0x02)
      .Lda(0xDC0D);
  const std::uint16_t started = code.Here();
  code.WaitBit(0xDC0D, 0x04).Lda(0xDC0B).Lda(0xDC09).Sta(Result + 1).Lda(0xDC08).Sta(Result);
  code.Stop();
  code.LoadInto(*machine);
  ASSERT_TRUE(test::RunUntil(*machine, Origin, {started}));
  const std::uint64_t start = machine->Clock();
  ASSERT_TRUE(test::RunUntil(*machine, started, {code.End()}));
  EXPECT_EQ(machine->Ram()[Result], 2) << "tenths";
  EXPECT_EQ(machine->Ram()[Result + 1], 0) << "seconds";
  // The first tenth comes within one tenth of the start, after up to a mains period.
  const double seconds = static_cast<double>(machine->Clock() - start) / 985248.0;
  EXPECT_GT(seconds, 0.17);
  EXPECT_LT(seconds, 0.21);
}

// PB6 shows timer A's toggle flip-flop: high when the timer starts, inverted by the underflow,
// and set again only by the next start.
TEST(AccurateCia, Pb6TogglesAtTheUnderflowAndIsSetByAStart) {
  auto machine = test::BootAccurate();
  Assembler code = QuietStart();
  code.Poke({0xDD04}, 100).Poke({0xDD05}, 0)
      .Poke({0xDD0E}, 0x1F)  // start, PB6 on, toggle, one-shot, load
      .Lda(0xDD01).Sta(Result)
      .Nops(100)
      .Lda(0xDD01).Sta(Result + 1)
      .Poke({0xDD0E}, 0x1F)
      .Lda(0xDD01).Sta(Result + 2)
      .Stop();
  code.LoadInto(*machine);
  ASSERT_TRUE(test::RunUntil(*machine, Origin, {code.End()}));
  const std::uint8_t* ram = machine->Ram();
  EXPECT_EQ(ram[Result] & 0x40, 0x40) << "at the start";
  EXPECT_EQ(ram[Result + 1] & 0x40, 0x00) << "after the underflow";
  EXPECT_EQ(ram[Result + 2] & 0x40, 0x40) << "started again";
}

// The serial port as an output sends a byte in sixteen underflows of timer A (here every 16
// cycles) and then raises its flag; as an input it waits for CNT, which nothing drives.
TEST(AccurateCia, TheShiftRegisterSendsAByteInSixteenUnderflows) {
  for (const bool output : {true, false}) {
    auto machine = test::BootAccurate();
    Assembler code = QuietStart();
    code.Poke({0xDD04}, 15).Poke({0xDD05}, 0)
        .Poke({0xDD06, 0xDD07}, 0xFF)
        .Poke({0xDD0E}, output ? 0x51 : 0x11)  // serial out (or in), load, start
        .Lda(0xDD0D)
        .Poke({0xDD0F}, 0x11)                   // timer B counts cycles from here
        .Poke({0xDD0C}, 0x5A);
    if (output) {
      code.WaitBit(0xDD0D, 0x08);
    } else {
      code.Nops(500).Lda(0xDD0D).Sta(Result + 2);
    }
    code.Poke({0xDD0F}, 0x00).Lda(0xDD06).Sta(Result).Lda(0xDD07).Sta(Result + 1).Stop();
    code.LoadInto(*machine);
    ASSERT_TRUE(test::RunUntil(*machine, Origin, {code.End()}));
    const std::uint8_t* ram = machine->Ram();
    if (output) {
      const int cycles = 0xFFFF - (ram[Result] | ram[Result + 1] << 8);
      EXPECT_GE(cycles, 16 * 16);
      EXPECT_LE(cycles, 16 * 16 + 16 + 12);
    } else {
      EXPECT_EQ(ram[Result + 2] & 0x08, 0) << "an input with no clock receives nothing";
    }
  }
}

// --- The VIC-II's cycles --------------------------------------------------------------------

// The cycles a run of `nops` NOPs takes from raster line `line` on, measured with CIA 2's timer
// A, with `control` in $D011 for the frame and the sprites of `sprites` (Y-expanded, at Y = 100)
// fetching their data.
int MeasuredCycles(std::uint8_t control, std::uint8_t sprites, std::uint8_t line, int nops) {
  auto machine = test::BootAccurate();
  Assembler code(Origin);
  code.Bytes({0x78})
      .Poke({0xDD0D}, 0x7F)
      .Poke({0xDD04, 0xDD05}, 0xFF)
      .Poke({0xD011}, control)
      .Poke({0xD017}, 0xFF)
      .Poke({0xD001, 0xD003, 0xD005, 0xD007, 0xD009, 0xD00B, 0xD00D, 0xD00F}, 100)
      .Poke({0xD015}, sprites)
      .WaitNewFrame()
      .WaitRaster(line)
      .Poke({0xDD0E}, 0x11)
      .Nops(nops)
      .Poke({0xDD0E}, 0x00)
      .Lda(0xDD04).Sta(Result).Lda(0xDD05).Sta(Result + 1)
      .Stop();
  code.LoadInto(*machine);
  EXPECT_TRUE(test::RunUntil(*machine, Origin, {code.End()}));
  return 0xFFFF - (machine->Ram()[Result] | machine->Ram()[Result + 1] << 8);
}

constexpr std::uint8_t DisplayOn = 0x1B;   // DEN, 25 rows, YSCROLL 3: bad lines at $33, $3B ...
constexpr std::uint8_t DisplayOff = 0x0B;  // no bad lines

// A bad line holds BA low from cycle 12 to 54: a processor that only reads loses all 43.
TEST(AccurateVic, ABadLineTakesFortyThreeCyclesFromReads) {
  const int plain = MeasuredCycles(DisplayOff, 0, 0x32, 100);
  EXPECT_EQ(MeasuredCycles(DisplayOn, 0, 0x32, 100) - plain, 43) << "across line $33";
  EXPECT_EQ(MeasuredCycles(DisplayOn, 0, 0x33, 100) - plain, 0) << "from the end of line $33";
}

// Each sprite's DMA holds BA low from three cycles before its pointer fetch to one cycle after
// its data; the windows of neighbouring sprites merge. The run covers the windows of twenty
// lines exactly.
TEST(AccurateVic, SpriteDmaTakesItsCyclesPerLine) {
  struct Case {
    std::uint8_t Sprites;
    int CyclesPerLine;
  } const cases[] = {
      {0x01, 5},   // sprite 0: cycles 55-59
      {0x04, 5},   // sprite 2: 59-63
      {0x05, 9},   // sprites 0 and 2: 55-63, as with sprite 1 between them
      {0x07, 9},
      {0x08, 5},   // sprite 3: 61-63 and 1-2 of the next line
      {0x81, 10},  // sprites 0 and 7 (6-10 of the next line)
      {0xFF, 19},  // all eight: 55-10
  };
  const int overhead = MeasuredCycles(DisplayOff, 0, 101, 630) - 2 * 630;
  for (const Case& c : cases) {
    const int nops = 630 - 10 * c.CyclesPerLine;
    const int stolen = MeasuredCycles(DisplayOff, c.Sprites, 101, nops) - 2 * nops - overhead;
    EXPECT_EQ(stolen, 20 * c.CyclesPerLine) << "sprites $" << std::hex << +c.Sprites;
  }
}

}  // namespace
}  // namespace quillon
