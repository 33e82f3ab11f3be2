// The cycle-exact CIA against measured facts: the tables of Lorenz's CIA programs and the 6526
// data sheet, each case a run of writes at given cycles and the values read at given cycles.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <initializer_list>
#include <random>
#include <string>
#include <vector>

#include "accurate/cia6526.h"

namespace quillon::accurate {
namespace {

constexpr CiaModel Old = CiaModel::Mos6526;
constexpr CiaModel New = CiaModel::Mos6526A;
constexpr std::uint64_t T = 100;                     // the cycle of the write a case measures from
constexpr std::uint64_t Tenth = 6 * PalMainsPeriod;  // six 50 Hz ticks with CRA7 clear

// One access of a case: a write, or a read and the value it must return.
struct Access {
  std::uint64_t Cycle;
  int Reg;
  std::uint8_t Value;
  bool IsRead = false;
};
Access W(std::uint64_t cycle, int reg, std::uint8_t value) { return {cycle, reg, value}; }
Access R(std::uint64_t cycle, int reg, std::uint8_t value) { return {cycle, reg, value, true}; }

void Play(Cia6526& cia, std::initializer_list<Access> accesses) {
  for (const Access& access : accesses) {
    if (access.IsRead) {
      EXPECT_EQ(cia.Read(access.Reg, access.Cycle), access.Value)
          << "reg " << access.Reg << " read in cycle " << access.Cycle;
    } else {
      cia.Write(access.Reg, access.Value, access.Cycle);
    }
  }
}

int Low(int timer) { return CiaTimerALow + 2 * timer; }
int Control(int timer) { return CiaControlA + timer; }

// A stopped timer whose counter and latch hold `counter` from cycle 4 on.
void LoadStopped(Cia6526& cia, int timer, std::uint16_t counter) {
  Play(cia, {W(1, Low(timer), static_cast<std::uint8_t>(counter)),
             W(2, Low(timer) + 1, static_cast<std::uint8_t>(counter >> 8))});
}

// The interrupt output from cycle `from` on, one character per cycle: L low, . high; `read`
// (if in range) is the cycle of an ICR read, whose value is returned.
std::string Line(Cia6526& cia, std::uint64_t from, int cycles, std::uint64_t read = 0,
                 std::uint8_t* value = nullptr) {
  std::string line;
  for (std::uint64_t cycle = from; cycle < from + cycles; ++cycle) {
    if (cycle == read) *value = cia.Read(CiaInterruptControl, cycle);
    cia.AdvanceTo(cycle);
    line += cia.IrqAsserted() ? 'L' : '.';
  }
  return line;
}

// --- Timers ---------------------------------------------------------------------------------

// Lorenz's CIA1TB123/CIA2TB123: the counter read in each of the four cycles after a control
// write: K keeps, C counts one down, L shows the latch.
TEST(AccurateCiaTimer, ControlWritesTakeEffectThroughTheirPipelines) {
  struct Case {
    std::uint8_t Before, Written;
    const char* Reads;
  } const cases[] = {{0x00, 0x01, "KKCC"}, {0x00, 0x10, "KLKK"}, {0x00, 0x11, "KLKC"},
                     {0x01, 0x11, "CLKC"}, {0x01, 0x10, "CLKK"}, {0x01, 0x00, "CCKK"}};
  for (int timer = 0; timer < 2; ++timer) {
    for (const Case& c : cases) {
      Cia6526 cia;
      LoadStopped(cia, timer, 0x0300);
      Play(cia, {W(5, Low(timer), 0x80), W(10, Control(timer), c.Before)});  // latch $0380
      int value = cia.Read(Low(timer), T - 1) - c.Before;  // what the counter holds in T
      cia.Write(Control(timer), c.Written, T);
      for (int n = 1; n <= 4; ++n) {
        value = c.Reads[n - 1] == 'L' ? 0x80 : c.Reads[n - 1] == 'C' ? (value - 1) & 0xFF : value;
        EXPECT_EQ(cia.Read(Low(timer), T + n), value)
            << "timer " << timer << ", " << c.Reads << " at T+" << n;
      }
    }
  }
}

// Lorenz's ONESHOT and FLIPOS: START reads 0 from the underflow cycle t on; RUNMODE set by t-1
// still stops the timer at t, cleared it must come by t-2. The counter, latch $FFFF, is read at
// T+8 and T+12 after the writes in T and T+4.
TEST(AccurateCiaTimer, OneShotStopsAtTheUnderflowAsFarAsItsBitArrivedInTime) {
  struct Case {
    std::uint16_t Counter;
    std::uint8_t First, Second, Low, High;
  } const cases[] = {{4, 0x01, 0x09, 0xFF, 0xFF},   // set at t-2: stops
                     {3, 0x01, 0x09, 0xFF, 0xFF},   // set at t-1: stops
                     {2, 0x01, 0x09, 0xFC, 0xFF},   // set at t: counts on
                     {4, 0x09, 0x01, 0xFE, 0xFF},   // cleared at t-2: counts on
                     {3, 0x09, 0x01, 0xFF, 0xFF}};  // cleared at t-1: stops
  for (const Case& c : cases) {
    SCOPED_TRACE(c.Counter);
    Cia6526 cia;
    LoadStopped(cia, 0, c.Counter);
    // A running timer counting the idle CNT keeps its counter while the latch is rewritten.
    Play(cia,
         {W(10, CiaControlA, 0x21), W(11, CiaTimerALow, 0xFF), W(12, CiaTimerAHigh, 0xFF),
          W(13, CiaControlA, 0x00), W(T, CiaControlA, c.First), W(T + 4, CiaControlA, c.Second),
          R(T + 8, CiaTimerALow, c.Low), R(T + 12, CiaTimerAHigh, c.High)});
  }
  Cia6526 cia;
  LoadStopped(cia, 0, 2);
  Play(cia, {W(T, CiaControlA, 0x09), R(T + 3, CiaControlA, 0x09), R(T + 4, CiaControlA, 0x08)});
}

// Lorenz's CIA1TA, the cases where the latch low byte ($14) is written at T+8 between a load at
// T and a second control write at T+12: the counter, the ICR and CRA read at T+16, T+20, T+24.
// A load takes the latch in two cycles; a forced load as the counter runs out still underflows.
TEST(AccurateCiaTimer, LoadsSpanTwoCyclesAndDoNotHideAnUnderflow) {
  struct Case {
    std::uint8_t Init, Second, Counter, Icr, Control;
  } const cases[] = {{0x0B, 0x11, 0x13, 0x81, 0x01},
                     {0x0B, 0x19, 0x14, 0x81, 0x08},
                     {0x05, 0x00, 0x0F, 0x81, 0x00},
                     {0x05, 0x01, 0x0D, 0x81, 0x01},
                     {0x05, 0x09, 0x0D, 0x81, 0x09}};
  for (const Case& c : cases) {
    SCOPED_TRACE(std::to_string(c.Init) + " " + std::to_string(c.Second));
    Cia6526 cia;
    Play(cia, {W(1, CiaInterruptControl, 0x81), W(2, CiaTimerAHigh, 0), W(3, CiaTimerALow, c.Init),
               W(4, CiaControlA, 0x10), W(T, CiaControlA, 0x11), W(T + 8, CiaTimerALow, 0x14),
               W(T + 12, CiaControlA, c.Second), R(T + 16, CiaTimerALow, c.Counter),
               R(T + 20, CiaInterruptControl, c.Icr), R(T + 24, CiaControlA, c.Control)});
  }
  // Lorenz's LOADTH: the high byte loads a stopped timer (seen two cycles later), never a
  // running one; the low byte never loads.
  Cia6526 cia;
  LoadStopped(cia, 1, 0x1234);
  Play(cia,
       {W(T, CiaTimerBLow, 0x99), R(T + 2, CiaTimerBLow, 0x34), W(T + 3, CiaTimerBHigh, 0x56),
        R(T + 4, CiaTimerBHigh, 0x12), R(T + 5, CiaTimerBHigh, 0x56), W(T + 6, CiaControlB, 0x21),
        W(T + 7, CiaTimerBHigh, 0x00), R(T + 20, CiaTimerBHigh, 0x56)});
}

// Lorenz's CIA1TAB: timer A (latch 2, PB6 pulse) counted by timer B (latch 2, PB7 toggle, its
// interrupt enabled), read in twelve consecutive cycles.
TEST(AccurateCiaTimer, TimerBCountsTimerAUnderflows) {
  const std::uint8_t ta[] = {1, 2, 2, 1, 2, 2, 1, 2, 2, 1, 2, 2};
  const std::uint8_t tb[] = {2, 2, 2, 1, 1, 1, 0, 0, 2, 2, 2, 2};
  const std::uint8_t pb[] = {0x80, 0xC0, 0x80, 0x80, 0xC0, 0x80,
                             0x80, 0xC0, 0x00, 0x00, 0x40, 0x00};
  const std::uint8_t icr[] = {0x00, 0x01, 0x01, 0x01, 0x01, 0x01,
                              0x01, 0x01, 0x03, 0x83, 0x83, 0x83};
  for (CiaModel model : {Old, New}) {
    Cia6526 cia(model);
    LoadStopped(cia, 0, 2);
    LoadStopped(cia, 1, 2);
    Play(cia, {W(5, CiaDirectionB, 0xFF), W(6, CiaInterruptControl, 0x82), W(7, CiaControlB, 0x47),
               W(T, CiaControlA, 0x03)});
    for (int n = 0; n < 12; ++n) {
      const std::uint64_t cycle = T + 3 + n;
      EXPECT_EQ(cia.Peek(CiaTimerALow, cycle), ta[n]) << n;
      EXPECT_EQ(cia.Peek(CiaTimerBLow, cycle), tb[n]) << n;
      EXPECT_EQ(cia.Peek(CiaPortB, cycle), pb[n]) << n;
      // The 6526A shows IR with timer B's flag, the old chip one cycle later.
      EXPECT_EQ(cia.Peek(CiaInterruptControl, cycle), model == New && n == 8 ? 0x83 : icr[n]) << n;
    }
    EXPECT_EQ(Line(cia, T + 3, 12), model == New ? "........LLLL" : ".........LLL");
  }
}

// --- Interrupts -----------------------------------------------------------------------------

// Lorenz's ICR01: the ICR read in cycle t-1, t or t+1 of timer A's underflow (one-shot, mask
// set), or not at all, and the output in cycles t-2 .. t+3: the old chip asserts it one cycle
// later, so that its read at t finds no IR and prevents the interrupt; a read releases the
// output from the next cycle on.
TEST(AccurateCiaInterrupt, ReadingTheFlagsAroundAnUnderflow) {
  struct Case {
    CiaModel Model;
    int Read;  // relative to t; 9 for none
    std::uint8_t Value;
    const char* Line;
  } const cases[] = {{Old, 9, 0x00, "...LLL"}, {Old, -1, 0x00, "...LLL"}, {Old, 0, 0x01, "......"},
                     {Old, 1, 0x81, "...L.."}, {New, 9, 0x00, "..LLLL"},  {New, -1, 0x00, "..LLLL"},
                     {New, 0, 0x81, "..L..."}, {New, 1, 0x81, "..LL.."}};
  for (const Case& c : cases) {
    Cia6526 cia(c.Model);
    LoadStopped(cia, 0, 3);
    Play(cia, {W(5, CiaInterruptControl, 0x81), W(T, CiaControlA, 0x09)});
    const std::uint64_t t = T + 3 + 2;
    std::uint8_t value = 0;
    EXPECT_EQ(Line(cia, t - 2, 6, t + c.Read, &value), c.Line) << "read at t" << c.Read;
    EXPECT_EQ(value, c.Value) << "read at t" << c.Read;
  }
}

// Lorenz's IMR: a mask bit set in W over a standing flag asserts the output from W+1 (6526A) or
// W+2 (6526); clearing the bit leaves it asserted, only a read clears IR.
TEST(AccurateCiaInterrupt, SettingAMaskBitOverAStandingFlag) {
  for (CiaModel model : {Old, New}) {
    Cia6526 cia(model);
    LoadStopped(cia, 0, 0);
    Play(cia, {W(5, CiaControlA, 0x09), W(T, CiaInterruptControl, 0x81)});
    EXPECT_EQ(Line(cia, T, 4), model == New ? ".LLL" : "..LL");
    Play(cia, {W(T + 6, CiaInterruptControl, 0x7F), R(T + 10, CiaInterruptControl, 0x81)});
  }
}

// The old chip's timer B bug: an ICR read in the cycle before timer B's underflow cycle t loses
// timer B's flag for good. And a falling /FLAG edge sets the FLAG bit, read the cycle after.
TEST(AccurateCiaInterrupt, TimerBBugAndTheFlagPin) {
  for (CiaModel model : {Old, New}) {
    Cia6526 cia(model);
    LoadStopped(cia, 1, 5);
    Play(cia, {W(5, CiaInterruptControl, 0x82), W(T, CiaControlB, 0x09),
               R(T + 6, CiaInterruptControl, 0),
               R(T + 10, CiaInterruptControl, model == Old ? 0 : 0x82)});
  }
  Cia6526 cia;
  cia.SetFlag(false, 20);
  Play(cia, {R(20, CiaInterruptControl, 0x00), R(21, CiaInterruptControl, 0x10)});
  cia.SetFlag(false, 30);
  cia.SetFlag(true, 40);
  Play(cia, {R(50, CiaInterruptControl, 0x00)});
}

// --- Ports ----------------------------------------------------------------------------------

// Lorenz's CIA1PB6/PB7 timing table, and LOAD+START ($13/$17): the pin read at T+8 after the
// control write in T, with the counter and latch at N; toggle output ($07) or pulse ($03).
TEST(AccurateCiaPorts, TimerOutputsPulseOrToggleAtEachUnderflow) {
  struct Case {
    std::uint8_t Control, Latch;
    bool High;
  } const cases[] = {{0x07, 7, true},  {0x07, 6, false}, {0x07, 3, false}, {0x07, 2, true},
                     {0x07, 1, false}, {0x07, 0, false}, {0x03, 7, false}, {0x03, 6, true},
                     {0x03, 5, false}, {0x03, 4, false}, {0x03, 3, false}, {0x03, 2, false},
                     {0x03, 1, false}, {0x03, 0, true},  {0x13, 5, true},  {0x13, 6, false},
                     {0x17, 5, false}, {0x17, 6, true}};
  for (int timer = 0; timer < 2; ++timer) {
    for (const Case& c : cases) {
      Cia6526 cia;
      LoadStopped(cia, timer, c.Latch);
      cia.Write(Control(timer), c.Control, T);
      EXPECT_EQ((cia.Read(CiaPortB, T + 8) >> (6 + timer)) & 1, c.High ? 1 : 0)
          << "timer " << timer << ", control " << int(c.Control) << ", latch " << int(c.Latch);
    }
  }
}

// Lorenz's CIA1PB6/PB7: the toggle flip-flop is set only by a rising START, not by a force load
// or other control bits; the underflow inverts it; the timer's output overrides DDRB and PRB.
TEST(AccurateCiaPorts, TheToggleFlipFlopIsSetOnlyByARisingStart) {
  for (int timer = 0; timer < 2; ++timer) {
    const auto bit = static_cast<std::uint8_t>(0x40 << timer);
    Cia6526 cia;
    LoadStopped(cia, timer, 100);
    Play(cia,
         {W(T, Control(timer), 0x0F), R(T + 1, CiaPortB, 0xFF), R(T + 200, CiaPortB, ~bit),
          W(T + 201, Control(timer), 0x1E), W(T + 202, Control(timer), 0x0A),
          W(T + 203, Control(timer), 0x0E), W(T + 204, CiaDirectionB, bit),
          W(T + 205, CiaPortB, bit), R(T + 206, CiaPortB, ~bit), W(T + 207, Control(timer), 0x00),
          R(T + 208, CiaPortB, 0xFF), W(T + 209, CiaPortB, 0x00), W(T + 210, Control(timer), 0x07),
          R(T + 211, CiaPortB, 0xFF)});
  }
}

// A key joins PA2 and PB5: a 0 driven on either side reads on the other; inputs read their
// pull-ups.
TEST(AccurateCiaPorts, PinsReadWhatBothSidesDrive) {
  Cia6526 cia;
  cia.SetPinFunction(
      [](void*, CiaPorts driven) {
        const bool joined = !(driven.A & 0x04) || !(driven.B & 0x20);
        return joined ? CiaPorts{0xFB, 0xDF} : CiaPorts{0xFF, 0xFF};
      },
      nullptr);
  Play(cia, {R(1, CiaPortB, 0xFF), W(3, CiaDirectionA, 0xFF), W(4, CiaPortA, 0xFB),
             R(5, CiaPortB, 0xDF), R(6, CiaPortA, 0xFB), W(7, CiaPortA, 0xFF), R(8, CiaPortB, 0xFF),
             W(9, CiaDirectionA, 0x00), W(10, CiaDirectionB, 0x20), R(11, CiaPortA, 0xFB)});
  EXPECT_EQ(cia.Outputs().B, 0xDF);
}

// --- TOD ------------------------------------------------------------------------------------

// Tenths step every fifth (CRA7 set) or sixth mains tick after the tenths write that started the
// clock; the mains ticks come every period from cycle 0.
TEST(AccurateCiaTod, CountsTenthsFromTheMainsFrequency) {
  struct Case {
    std::uint32_t Period;
    std::uint8_t ControlA;
    std::uint64_t Tenth;  // the cycle of the tick that moves the tenths
  } const cases[] = {{PalMainsPeriod, 0x80, 5 * PalMainsPeriod},
                     {PalMainsPeriod, 0x00, 6 * PalMainsPeriod},
                     {NtscMainsPeriod, 0x00, 6 * NtscMainsPeriod}};
  for (const Case& c : cases) {
    Cia6526 cia(Old, c.Period);
    Play(cia, {W(10, CiaControlA, c.ControlA), W(20, CiaTodTenths, 0)});
    EXPECT_EQ(cia.Peek(CiaTodTenths, c.Tenth), 0);
    EXPECT_EQ(cia.Peek(CiaTodTenths, c.Tenth + 1), 1);
    EXPECT_EQ(cia.Peek(CiaTodSeconds, 10 * c.Tenth + 1), 1);
  }
}

// Power-on at 1:00:00.0, stopped; reading the hours freezes all four registers until the tenths
// are read, the clock running on; writing the hours stops it until the tenths are written.
TEST(AccurateCiaTod, LatchesOnReadingAndStopsOnWritingTheHours) {
  Cia6526 cia;
  Play(cia, {R(Tenth, CiaTodHours, 0x01), R(Tenth + 1, CiaTodTenths, 0),
             W(Tenth + 2, CiaTodMinutes, 0x59), W(Tenth + 3, CiaTodSeconds, 0x59),
             W(Tenth + 4, CiaTodTenths, 0x08), R(3 * Tenth, CiaTodHours, 0x01),
             R(4 * Tenth, CiaTodSeconds, 0x59), R(4 * Tenth + 1, CiaTodTenths, 0x09),
             R(4 * Tenth + 2, CiaTodTenths, 0x01), R(4 * Tenth + 3, CiaTodSeconds, 0x00),
             W(4 * Tenth + 4, CiaTodHours, 0x05), R(6 * Tenth, CiaTodTenths, 0x01),
             W(6 * Tenth + 1, CiaTodTenths, 0x04), R(8 * Tenth + 1, CiaTodTenths, 0x06),
             R(8 * Tenth + 2, CiaTodHours, 0x05), R(8 * Tenth + 3, CiaTodTenths, 0x06)});
}

// The PM flag inverts whenever the hours become 12, counting or written.
TEST(AccurateCiaTod, PmFlagFlipsWhenTheHoursBecomeTwelve) {
  struct Case {
    std::uint8_t Written, Stored, Next;
  } const cases[] = {{0x11, 0x11, 0x92}, {0x12, 0x92, 0x81}, {0x91, 0x91, 0x12},
                     {0x92, 0x12, 0x01}, {0x09, 0x09, 0x10}, {0x89, 0x89, 0x90}};
  for (const Case& c : cases) {
    Cia6526 cia;
    Play(cia, {W(1, CiaTodHours, c.Written), R(2, CiaTodHours, c.Stored), R(3, CiaTodTenths, 0),
               W(4, CiaTodMinutes, 0x59), W(5, CiaTodSeconds, 0x59), W(6, CiaTodTenths, 0x09),
               R(Tenth + 1, CiaTodHours, c.Next), R(Tenth + 2, CiaTodMinutes, 0x00),
               R(Tenth + 3, CiaTodTenths, 0x00)});
  }
}

// The alarm (written with CRB7 set, which neither stops nor starts the clock) interrupts when
// the time becomes equal to it, counting or written.
TEST(AccurateCiaTod, AlarmInterruptsWhenTheTimeReachesIt) {
  Cia6526 cia(New);
  Play(cia, {W(1, CiaControlB, 0x80), W(2, CiaTodTenths, 0x02), W(3, CiaTodHours, 0x01),
             W(4, CiaControlB, 0x00), W(5, CiaInterruptControl, 0x84), W(6, CiaTodTenths, 0x00)});
  EXPECT_EQ(cia.NextEvent(), Tenth) << "the tick that moves the tenths next";
  Play(cia, {R(2 * Tenth, CiaInterruptControl, 0x00), R(2 * Tenth + 1, CiaInterruptControl, 0x84),
             W(2 * Tenth + 2, CiaTodHours, 0x01), R(2 * Tenth + 4, CiaInterruptControl, 0x00),
             W(2 * Tenth + 5, CiaTodTenths, 0x01), W(2 * Tenth + 7, CiaTodTenths, 0x02),
             R(2 * Tenth + 8, CiaInterruptControl, 0x84)});
}

// --- Serial port ----------------------------------------------------------------------------

// Output: each timer A underflow inverts CNT; a bit goes out, MSB first, at every falling edge;
// the flag comes with the sixteenth underflow, and a byte written meanwhile follows at once.
// Input: the SP level shifts in at each rising CNT edge; the eighth fills SDR and sets the flag.
TEST(AccurateCiaSerial, ShiftsOutAtHalfTheUnderflowRateAndInAtCntEdges) {
  Cia6526 out;
  LoadStopped(out, 0, 3);  // underflows, started in 5, at 10, 14, ... T+2, T+6, ...
  Play(out, {W(5, CiaControlA, 0x41), W(T, CiaSerialData, 0xA5)});
  std::vector<int> bits;
  std::vector<std::uint64_t> flags;
  for (std::uint64_t cycle = T; cycle < T + 200; ++cycle) {
    if (cycle == T + 10) out.Write(CiaSerialData, 0x3C, cycle);
    const bool cnt = out.CntOutput();
    out.AdvanceTo(cycle);
    if (out.CntOutput() && !cnt) bits.push_back(out.SpOutput());
    if (out.Read(CiaInterruptControl, cycle + 1) & 0x08) flags.push_back(cycle + 1 - T);
  }
  EXPECT_EQ(bits, (std::vector<int>{1, 0, 1, 0, 0, 1, 0, 1, 0, 0, 1, 1, 1, 1, 0, 0}));
  EXPECT_EQ(flags, (std::vector<std::uint64_t>{2 + 4 * 15, 2 + 4 * 31}));
  EXPECT_TRUE(out.CntOutput());

  Cia6526 in;
  for (int bit = 7; bit >= 0; --bit) {
    in.SetSp(((0x3C >> bit) & 1) != 0, 80 - 10 * bit);
    in.SetCnt(false, 81 - 10 * bit);
    in.SetCnt(true, 82 - 10 * bit);
  }
  Play(in, {R(82, CiaInterruptControl, 0x00), R(83, CiaInterruptControl, 0x08),
            R(84, CiaSerialData, 0x3C)});
}

// --- Reset, bulk counting, snapshots --------------------------------------------------------

TEST(AccurateCia, ResetClearsTheRegistersAndStopsTheTimers) {
  Cia6526 cia;
  Play(cia, {W(1, CiaDirectionA, 0xFF), W(2, CiaPortA, 0x00), W(3, CiaTimerBHigh, 0x00),
             W(4, CiaControlB, 0x01), W(5, CiaInterruptControl, 0x9F), W(6, CiaTodHours, 0x05)});
  cia.Reset(50);
  Play(cia, {R(60, CiaPortA, 0xFF), R(61, CiaDirectionA, 0x00), R(62, CiaControlB, 0x00),
             R(63, CiaInterruptControl, 0x00), R(64, CiaTodHours, 0x01), R(65, CiaTodTenths, 0x00),
             R(1000, CiaTimerBLow, 0xFF), R(1001, CiaTimerBHigh, 0xFF)});
  EXPECT_EQ(Line(cia, 1001, 1), ".");
}

// Random writes, reads and input changes at random cycles: the chip counting in bulk, advanced
// only to the cycles of the accesses and to what NextEvent names, against a copy run cycle by
// cycle through Step, whose observable outputs must not change before its NextEvent. Snapshots
// compare the whole states.
TEST(AccurateCia, BulkCountingMatchesThePerCyclePath) {
  const int regs[] = {CiaTimerALow, CiaTimerAHigh,       CiaTimerBLow, CiaTimerBHigh, CiaControlA,
                      CiaControlB,  CiaInterruptControl, CiaTodTenths, CiaTodHours,   CiaSerialData,
                      CiaPortB,     CiaDirectionB};
  const auto outputs = [](const Cia6526& cia) {
    return std::array<int, 5>{cia.IrqAsserted(), cia.Outputs().A, cia.Outputs().B, cia.CntOutput(),
                              cia.SpOutput()};
  };
  for (std::uint32_t seed = 1; seed <= 40; ++seed) {
    SCOPED_TRACE(seed);
    std::mt19937 random(seed);
    auto pick = [&](int n) { return static_cast<int>(random() % static_cast<std::uint32_t>(n)); };
    Cia6526 bulk(seed % 2 ? Old : New, 150 + seed);
    Cia6526 reference = bulk;
    std::uint64_t cycle = 0;
    std::uint64_t event = 0;
    for (int op = 0; op < 3000; ++op) {
      cycle += 1 + static_cast<std::uint64_t>(pick(4) == 0 ? pick(3000) : pick(12));
      const std::array<int, 5> before = outputs(reference);
      while (reference.NextCycle() < cycle) {
        reference.Step();
        ASSERT_TRUE(reference.NextCycle() - 1 >= event || outputs(reference) == before)
            << "changed in cycle " << reference.NextCycle() - 1 << " before NextEvent " << event;
      }
      if (pick(3) == 0 && event < cycle) bulk.AdvanceTo(std::max(event, cycle - 1));
      const int kind = pick(10);
      if (kind < 5) {
        const int reg = regs[pick(12)];
        std::uint8_t value = static_cast<std::uint8_t>(random());
        if (reg == CiaTimerALow || reg == CiaTimerBLow) value &= 0x0F;
        if ((reg == CiaTimerAHigh || reg == CiaTimerBHigh) && pick(4) != 0) value = 0;
        bulk.Write(reg, value, cycle);
        reference.Write(reg, value, cycle);
      } else if (kind < 8) {
        const int reg = pick(16);
        ASSERT_EQ(bulk.Read(reg, cycle), reference.Read(reg, cycle)) << "reg " << reg;
      } else {
        const bool high = pick(2) == 0;
        const int pin = pick(3);
        for (Cia6526* cia : {&bulk, &reference}) {
          if (pin == 0) cia->SetCnt(high, cycle);
          if (pin == 1) cia->SetSp(high, cycle);
          if (pin == 2) cia->SetFlag(high, cycle);
        }
      }
      SnapshotWriter a, b;
      bulk.Save(a);
      reference.Save(b);
      ASSERT_EQ(a.Bytes, b.Bytes) << "after operation " << op << " in cycle " << cycle;
      event = reference.NextEvent();
      ASSERT_EQ(bulk.NextEvent(), event);
    }
    // The state, saved and loaded into a chip of the other kind, is the same state.
    SnapshotWriter saved, loaded;
    bulk.Save(saved);
    Cia6526 restored(seed % 2 ? New : Old);
    SnapshotReader in{saved.Bytes.data(), saved.Bytes.size()};
    ASSERT_TRUE(restored.Load(in));
    restored.Save(loaded);
    EXPECT_EQ(loaded.Bytes, saved.Bytes);
  }
}

// Damaged snapshots (cut short, an unknown chip, a flag byte neither 0 nor 1) are refused and
// leave the chip as it was; the round trip of whole states is part of the test above.
TEST(AccurateCia, SnapshotsRefuseDamage) {
  Cia6526 cia(New, NtscMainsPeriod);
  SnapshotWriter saved;
  cia.Save(saved);
  std::vector<std::vector<std::uint8_t>> damaged(3, saved.Bytes);
  damaged[0].pop_back();
  damaged[1][0] = 7;
  damaged[2][1 + 8 + 4 + 8 + 2 + 2 + 1] = 2;  // past the chip, the times and timer A's counter,
                                              // latch and control: a pipeline flag
  Cia6526 other(Old, 99);
  LoadStopped(other, 0, 0x0123);
  SnapshotWriter before;
  other.Save(before);
  for (const auto& bytes : damaged) {
    SnapshotReader in{bytes.data(), bytes.size()};
    EXPECT_FALSE(other.Load(in));
    SnapshotWriter after;
    other.Save(after);
    EXPECT_EQ(after.Bytes, before.Bytes);
  }
}

}  // namespace
}  // namespace quillon::accurate
