// The cycle-exact CIA against measured facts: the tables of Lorenz's CIA programs and the 6526
// data sheet, each case a run of writes at given cycles and the values read at given cycles.
#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <initializer_list>
#include <random>
#include <string>
#include <vector>

#include "accurate/cia6526.h"

namespace quillon::accurate {
namespace {

constexpr CiaModel Models[] = {CiaModel::Mos6526, CiaModel::Mos6526A};
constexpr std::uint64_t T = 100;  // the cycle of the write a case measures from

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
int High(int timer) { return CiaTimerAHigh + 2 * timer; }
int Control(int timer) { return CiaControlA + timer; }

// A stopped timer whose counter holds `counter` (loaded through the latch) by cycle 10.
void LoadStopped(Cia6526& cia, int timer, std::uint16_t counter) {
  Play(cia, {W(1, Low(timer), static_cast<std::uint8_t>(counter)),
             W(2, High(timer), static_cast<std::uint8_t>(counter >> 8))});
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
      SCOPED_TRACE(std::to_string(timer) + ": " + std::to_string(c.Before) + " -> " +
                   std::to_string(c.Written));
      Cia6526 cia;
      LoadStopped(cia, timer, 0x0300);
      Play(cia, {W(5, Low(timer), 0x80), W(10, Control(timer), c.Before)});  // latch $0380
      int value = cia.Read(Low(timer), T - 1);
      if (c.Before) --value;  // what the counter holds in T
      cia.Write(Control(timer), c.Written, T);
      for (int n = 1; n <= 4; ++n) {
        value = c.Reads[n - 1] == 'L' ? 0x80 : c.Reads[n - 1] == 'C' ? (value - 1) & 0xFF : value;
        EXPECT_EQ(cia.Read(Low(timer), T + n), value) << "T+" << n;
      }
    }
  }
}

// The underflow cycles, seen as the one-cycle pulse on PB6/PB7: the period is latch + 1, the
// first underflow comes at T+N+2 after a START and at T+L+3 after LOAD+START.
TEST(AccurateCiaTimer, UnderflowsComeEveryLatchPlusOneCycles) {
  struct Case {
    std::uint16_t Counter, Latch;
    std::uint8_t Control;
    std::vector<int> Underflows;  // relative to T, within T+1 .. T+12
  } const cases[] = {{2, 2, 0x01, {4, 7, 10}},
                     {0, 0, 0x01, {2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12}},
                     {1, 1, 0x01, {3, 5, 7, 9, 11}},
                     {9, 3, 0x01, {11}},
                     {7, 5, 0x11, {8}},
                     {9, 2, 0x11, {5, 8, 11}}};
  for (CiaModel model : Models) {
    for (int timer = 0; timer < 2; ++timer) {
      for (const Case& c : cases) {
        Cia6526 cia(model);
        LoadStopped(cia, timer, c.Counter);
        cia.Write(Low(timer), static_cast<std::uint8_t>(c.Latch), 5);
        cia.Write(Control(timer), c.Control | 0x02, T);
        std::vector<int> underflows;
        for (int n = 1; n <= 12; ++n) {
          if (cia.Read(CiaPortB, T + n) & (0x40 << timer)) underflows.push_back(n);
        }
        EXPECT_EQ(underflows, c.Underflows) << "timer " << timer << ", counter " << c.Counter;
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
    // A running CNT-counting timer keeps its counter while the latch is rewritten.
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
}

// Lorenz's LOADTH: the latch high byte loads a stopped timer (seen two cycles later), never a
// running one; the low byte never loads.
TEST(AccurateCiaTimer, LatchHighByteLoadsOnlyAStoppedTimer) {
  Cia6526 cia;
  LoadStopped(cia, 1, 0x1234);
  Play(cia,
       {W(T, CiaTimerBLow, 0x99), R(T + 2, CiaTimerBLow, 0x34), W(T + 3, CiaTimerBHigh, 0x56),
        R(T + 4, CiaTimerBHigh, 0x12), R(T + 5, CiaTimerBHigh, 0x56), W(T + 6, CiaControlB, 0x21),
        W(T + 7, CiaTimerBHigh, 0x00), R(T + 20, CiaTimerBHigh, 0x56)});
}

// Lorenz's CIA1TAB: timer A (latch 2, PB6 pulse) counted by timer B (latch 2, PB7 toggle), read
// in twelve consecutive cycles; the old chip shows IR one cycle after timer B's flag.
TEST(AccurateCiaTimer, TimerBCountsTimerAUnderflows) {
  const std::uint8_t ta[] = {1, 2, 2, 1, 2, 2, 1, 2, 2, 1, 2, 2};
  const std::uint8_t tb[] = {2, 2, 2, 1, 1, 1, 0, 0, 2, 2, 2, 2};
  const std::uint8_t pb[] = {0x80, 0xC0, 0x80, 0x80, 0xC0, 0x80,
                             0x80, 0xC0, 0x00, 0x00, 0x40, 0x00};
  const std::uint8_t icr[] = {0x00, 0x01, 0x01, 0x01, 0x01, 0x01,
                              0x01, 0x01, 0x03, 0x83, 0x83, 0x83};
  for (CiaModel model : Models) {
    Cia6526 cia(model);
    LoadStopped(cia, 0, 2);
    LoadStopped(cia, 1, 2);
    Play(cia, {W(5, CiaDirectionB, 0xFF), W(6, CiaInterruptControl, 0x82), W(7, CiaControlB, 0x47),
               W(T, CiaControlA, 0x03)});
    const std::uint64_t zero = T + 3;
    for (int n = 0; n < 12; ++n) {
      SCOPED_TRACE("cycle " + std::to_string(n));
      EXPECT_EQ(cia.Peek(CiaTimerALow, zero + n), ta[n]);
      EXPECT_EQ(cia.Peek(CiaTimerBLow, zero + n), tb[n]);
      EXPECT_EQ(cia.Peek(CiaPortB, zero + n), pb[n]);
      const bool early = model == CiaModel::Mos6526A && n == 8;
      EXPECT_EQ(cia.Peek(CiaInterruptControl, zero + n), early ? 0x83 : icr[n]);
      cia.AdvanceTo(zero + n);
      EXPECT_EQ(cia.IrqAsserted(), n >= (model == CiaModel::Mos6526A ? 8 : 9));
    }
  }
}

// --- Interrupts -----------------------------------------------------------------------------

// Lorenz's ICR01: the ICR read in cycle t-1, t or t+1 around timer A's underflow (one-shot,
// mask set), and whether the interrupt output goes low at all.
TEST(AccurateCiaInterrupt, ReadingTheFlagsAroundAnUnderflow) {
  struct Case {
    CiaModel Model;
    int Offset;
    std::uint8_t Value;
    bool Interrupt;
  } const cases[] = {{CiaModel::Mos6526, -1, 0x00, true}, {CiaModel::Mos6526, 0, 0x01, false},
                     {CiaModel::Mos6526, 1, 0x81, true},  {CiaModel::Mos6526A, -1, 0x00, true},
                     {CiaModel::Mos6526A, 0, 0x81, true}, {CiaModel::Mos6526A, 1, 0x81, true}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.Offset);
    Cia6526 cia(c.Model);
    LoadStopped(cia, 0, 3);
    const std::uint64_t t = T + 3 + 2;
    Play(cia, {W(5, CiaInterruptControl, 0x81), W(T, CiaControlA, 0x09)});
    bool interrupt = false;
    for (std::uint64_t cycle = t - 2; cycle < t + 6; ++cycle) {
      if (cycle == t + c.Offset) {
        EXPECT_EQ(cia.Read(CiaInterruptControl, cycle), c.Value);
      }
      cia.AdvanceTo(cycle);
      interrupt = interrupt || cia.IrqAsserted();
    }
    EXPECT_EQ(interrupt, c.Interrupt);
  }
}

// The output during each cycle around an underflow at t and after a mask write in W (Lorenz's
// IMR): low from t (6526A) or t+1 (6526), from W+1 or W+2; a cleared mask bit leaves it low,
// an ICR read releases it from the next cycle on.
TEST(AccurateCiaInterrupt, TheOutputFollowsIrOneCycleLate) {
  for (CiaModel model : Models) {
    const std::uint64_t delay = model == CiaModel::Mos6526A ? 0 : 1;
    Cia6526 cia(model);
    LoadStopped(cia, 0, 4);
    Play(cia, {W(5, CiaInterruptControl, 0x81), W(T, CiaControlA, 0x09)});
    const std::uint64_t t = T + 4 + 2;
    for (std::uint64_t cycle = t - 3; cycle <= t + 3; ++cycle) {
      cia.AdvanceTo(cycle);
      EXPECT_EQ(cia.IrqAsserted(), cycle >= t + delay) << "cycle t" << int(cycle - t);
    }
    const std::uint64_t read = t + 10;
    EXPECT_EQ(cia.Read(CiaInterruptControl, read), 0x81);
    cia.AdvanceTo(read);
    EXPECT_TRUE(cia.IrqAsserted()) << "released only after the reading cycle";
    cia.AdvanceTo(read + 1);
    EXPECT_FALSE(cia.IrqAsserted());

    // The flag of a masked underflow stands; setting its mask bit asserts the output.
    Cia6526 masked(model);
    LoadStopped(masked, 0, 0);
    Play(masked, {W(5, CiaInterruptControl, 0x7F), W(6, CiaControlA, 0x09),
                  W(T, CiaInterruptControl, 0x81)});
    for (std::uint64_t cycle = T; cycle <= T + 3; ++cycle) {
      masked.AdvanceTo(cycle);
      EXPECT_EQ(masked.IrqAsserted(), cycle >= T + 1 + delay) << "cycle W+" << int(cycle - T);
    }
    Play(masked, {W(T + 6, CiaInterruptControl, 0x7F), R(T + 10, CiaInterruptControl, 0x81)});
  }
}

// The old chip's timer B bug: an ICR read in the cycle before timer B's underflow cycle t
// clears the flags before timer B's is set, and timer B's is then never set.
TEST(AccurateCiaInterrupt, OldChipLosesTimerBFlagReadAtItsUnderflow) {
  for (CiaModel model : Models) {
    Cia6526 cia(model);
    LoadStopped(cia, 1, 5);
    const std::uint64_t t = T + 5 + 2;
    Play(cia, {W(5, CiaInterruptControl, 0x82), W(T, CiaControlB, 0x09),
               R(t - 1, CiaInterruptControl, 0)});
    EXPECT_EQ(cia.Peek(CiaInterruptControl, t + 3), model == CiaModel::Mos6526 ? 0x00 : 0x82);
  }
}

TEST(AccurateCiaInterrupt, FlagPinFallingEdgesSetTheFlagBit) {
  Cia6526 cia;
  cia.SetFlag(true, 10);
  cia.SetFlag(false, 20);
  EXPECT_EQ(cia.Peek(CiaInterruptControl, 20), 0x00);
  EXPECT_EQ(cia.Read(CiaInterruptControl, 21), 0x10);
  cia.SetFlag(false, 30);
  cia.SetFlag(true, 40);
  EXPECT_EQ(cia.Read(CiaInterruptControl, 50), 0x00) << "a rising edge, and no edge, set nothing";
}

// --- PB6/PB7 --------------------------------------------------------------------------------

// Lorenz's CIA1PB6/PB7 timing table: the pin read at T+8 after starting from a counter of N
// (latch N), toggle ($07) or pulse ($03) output.
TEST(AccurateCiaPorts, TimerOutputsPulseOrToggleAtEachUnderflow) {
  struct Case {
    std::uint8_t Control, Latch;
    bool High;
  } const cases[] = {{0x07, 7, true},  {0x07, 6, false}, {0x07, 3, false}, {0x07, 2, true},
                     {0x07, 1, false}, {0x07, 0, false}, {0x03, 7, false}, {0x03, 6, true},
                     {0x03, 5, false}, {0x03, 4, false}, {0x03, 3, false}, {0x03, 2, false},
                     {0x03, 1, false}, {0x03, 0, true}};
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

// Lorenz's CIA1PB6/PB7: the toggle flip-flop is set only by a rising START; a force load or a
// change of the output bits leaves it, the underflow inverts it whatever they say; with the
// output enabled the pin is the timer's whatever DDRB and PRB say.
TEST(AccurateCiaPorts, TheToggleFlipFlopIsSetOnlyByARisingStart) {
  for (int timer = 0; timer < 2; ++timer) {
    const int bit = 6 + timer;
    Cia6526 cia;
    LoadStopped(cia, timer, 100);
    auto pin = [&](std::uint64_t cycle) { return (cia.Read(CiaPortB, cycle) >> bit) & 1; };
    cia.Write(Control(timer), 0x0F, T);  // started one-shot, toggle output
    EXPECT_EQ(pin(T + 1), 1);
    EXPECT_EQ(pin(T + 200), 0) << "inverted by the underflow";
    const std::uint8_t writes[] = {0x0E, 0x1E, 0x0A, 0x0E, 0x0C, 0x0E};
    for (int i = 0; i < 6; ++i) {
      cia.Write(Control(timer), writes[i], T + 210 + 10 * i);
      if (writes[i] & 0x02) {
        EXPECT_EQ(pin(T + 215 + 10 * i), 0) << "after writing " << int(writes[i]);
      }
    }
    cia.Write(CiaDirectionB, static_cast<std::uint8_t>(1 << bit), T + 300);
    cia.Write(CiaPortB, static_cast<std::uint8_t>(1 << bit), T + 301);
    EXPECT_EQ(pin(T + 302), 0) << "the timer drives the pin, not PRB";
    cia.Write(Control(timer), 0x00, T + 303);
    EXPECT_EQ(pin(T + 304), 1) << "disabled, it is PRB's again";
    cia.Write(Control(timer), 0x07, T + 305);
    EXPECT_EQ(pin(T + 306), 1);
  }
}

// A key joins PA2 and PB5; a 0 driven on either side reads on the other. Port pins that are
// inputs read their pull-ups.
TEST(AccurateCiaPorts, PinsReadWhatBothSidesDrive) {
  Cia6526 cia;
  cia.SetPinFunction(
      [](void*, CiaPorts driven) {
        const bool joined = !(driven.A & 0x04) || !(driven.B & 0x20);
        return joined ? CiaPorts{0xFB, 0xDF} : CiaPorts{0xFF, 0xFF};
      },
      nullptr);
  Play(cia, {R(1, CiaPortA, 0xFF), R(2, CiaPortB, 0xFF), W(3, CiaDirectionA, 0xFF),
             W(4, CiaPortA, 0xFB), R(5, CiaPortB, 0xDF), R(6, CiaPortA, 0xFB), W(7, CiaPortA, 0xFF),
             R(8, CiaPortB, 0xFF), W(9, CiaDirectionA, 0x00), W(10, CiaDirectionB, 0x20),
             R(11, CiaPortA, 0xFB), W(12, CiaPortB, 0x20), R(13, CiaPortA, 0xFF)});
  EXPECT_EQ(cia.Outputs().A, 0xFF);
  EXPECT_EQ(cia.Outputs().B, 0xFF);
}

// --- TOD ------------------------------------------------------------------------------------

// Tenths step every fifth (CRA7 set, 50 Hz) or sixth mains tick after the tenths write that
// started the clock; ticks come every mains period from cycle 0.
TEST(AccurateCiaTod, CountsTenthsFromTheMainsFrequency) {
  struct Case {
    std::uint32_t Period;
    std::uint8_t ControlA;
    std::uint64_t Tenth;  // the cycle of the tick that moves the tenths
  } const cases[] = {{PalMainsPeriod, 0x80, 5 * PalMainsPeriod},
                     {PalMainsPeriod, 0x00, 6 * PalMainsPeriod},
                     {NtscMainsPeriod, 0x00, 6 * NtscMainsPeriod}};
  for (const Case& c : cases) {
    Cia6526 cia(CiaModel::Mos6526, c.Period);
    Play(cia, {W(10, CiaControlA, c.ControlA), W(20, CiaTodTenths, 0)});
    EXPECT_EQ(cia.Peek(CiaTodTenths, c.Tenth), 0);
    EXPECT_EQ(cia.Peek(CiaTodTenths, c.Tenth + 1), 1);
    EXPECT_EQ(cia.Peek(CiaTodSeconds, 10 * c.Tenth + 1), 1);
  }
}

TEST(AccurateCiaTod, PowersOnStoppedAtOneAndStopsWhileTheHoursAreWritten) {
  const std::uint64_t tenth = 6 * PalMainsPeriod;
  Cia6526 cia;
  Play(cia, {R(3 * tenth, CiaTodHours, 0x01), R(3 * tenth + 1, CiaTodMinutes, 0),
             R(3 * tenth + 2, CiaTodSeconds, 0), R(3 * tenth + 3, CiaTodTenths, 0),
             W(3 * tenth + 4, CiaTodTenths, 0), R(5 * tenth + 1, CiaTodTenths, 2),
             W(5 * tenth + 2, CiaTodHours, 0x05), R(9 * tenth, CiaTodTenths, 2),
             W(9 * tenth + 1, CiaTodSeconds, 0x30), W(9 * tenth + 3, CiaTodTenths, 0x04)});
  EXPECT_EQ(cia.Peek(CiaTodTenths, 11 * tenth), 0x05);
  EXPECT_EQ(cia.Peek(CiaTodTenths, 11 * tenth + 1), 0x06);
  EXPECT_EQ(cia.Peek(CiaTodSeconds, 11 * tenth + 1), 0x30);
  EXPECT_EQ(cia.Peek(CiaTodHours, 11 * tenth + 1), 0x05);
}

// Reading the hours freezes all four registers until the tenths are read; the clock runs on.
TEST(AccurateCiaTod, ReadingTheHoursLatchesTheTimeUntilTheTenths) {
  const std::uint64_t tenth = 6 * PalMainsPeriod;
  Cia6526 cia;
  Play(cia, {W(1, CiaTodHours, 0x03), W(2, CiaTodMinutes, 0x59), W(3, CiaTodSeconds, 0x59),
             W(4, CiaTodTenths, 0x08), R(tenth, CiaTodHours, 0x03), R(3 * tenth, CiaTodHours, 0x03),
             R(3 * tenth + 1, CiaTodMinutes, 0x59), R(3 * tenth + 2, CiaTodTenths, 0x08),
             R(3 * tenth + 3, CiaTodTenths, 0x01), R(3 * tenth + 4, CiaTodHours, 0x04),
             R(3 * tenth + 5, CiaTodSeconds, 0x00), R(3 * tenth + 6, CiaTodTenths, 0x01)});
}

// The PM flag inverts whenever the hours become 12, counting or written.
TEST(AccurateCiaTod, PmFlagFlipsWhenTheHoursBecomeTwelve) {
  struct Case {
    std::uint8_t Written, Stored, Next;
  } const cases[] = {{0x11, 0x11, 0x92}, {0x12, 0x92, 0x81}, {0x91, 0x91, 0x12},
                     {0x92, 0x12, 0x01}, {0x09, 0x09, 0x10}, {0x89, 0x89, 0x90}};
  const std::uint64_t tenth = 6 * PalMainsPeriod;
  for (const Case& c : cases) {
    SCOPED_TRACE(int(c.Written));
    Cia6526 cia;
    Play(cia, {W(1, CiaTodHours, c.Written), R(2, CiaTodHours, c.Stored), R(3, CiaTodTenths, 0),
               W(4, CiaTodMinutes, 0x59), W(5, CiaTodSeconds, 0x59), W(6, CiaTodTenths, 0x09),
               R(tenth + 1, CiaTodHours, c.Next), R(tenth + 2, CiaTodMinutes, 0x00),
               R(tenth + 3, CiaTodTenths, 0x00)});
  }
}

// The alarm (written with CRB7 set, which neither stops nor starts the clock) interrupts when
// the time reaches it, counting or written.
TEST(AccurateCiaTod, AlarmInterruptsWhenTheTimeReachesIt) {
  const std::uint64_t tenth = 6 * PalMainsPeriod;
  Cia6526 cia(CiaModel::Mos6526A);
  Play(cia, {W(1, CiaControlB, 0x80), W(2, CiaTodTenths, 0x02), W(3, CiaTodHours, 0x01),
             W(4, CiaControlB, 0x00), W(5, CiaInterruptControl, 0x84), W(6, CiaTodTenths, 0x00)});
  EXPECT_EQ(cia.NextEvent(), tenth) << "the tick that moves the tenths next";
  EXPECT_EQ(cia.Peek(CiaInterruptControl, 2 * tenth), 0x00);
  EXPECT_EQ(cia.Read(CiaInterruptControl, 2 * tenth + 1), 0x84);
  Play(cia, {W(2 * tenth + 2, CiaTodHours, 0x01), R(2 * tenth + 4, CiaInterruptControl, 0x00),
             W(2 * tenth + 5, CiaTodTenths, 0x01), R(2 * tenth + 6, CiaInterruptControl, 0x00),
             W(2 * tenth + 7, CiaTodTenths, 0x02), R(2 * tenth + 8, CiaInterruptControl, 0x84)});
}

// --- Serial port ----------------------------------------------------------------------------

// Output: each timer A underflow inverts CNT; a bit goes out, MSB first, at every falling edge;
// the flag comes with the sixteenth underflow, and a byte written meanwhile follows at once.
TEST(AccurateCiaSerial, ShiftsOutTwoBytesAtHalfTheUnderflowRate) {
  Cia6526 cia;
  LoadStopped(cia, 0, 3);
  Play(cia, {W(5, CiaControlA, 0x41), W(T, CiaSerialData, 0xA5)});
  std::vector<int> bits;
  std::vector<std::uint64_t> flags;
  bool cnt = true;
  for (std::uint64_t cycle = T + 1; cycle < T + 200; ++cycle) {
    if (cycle == T + 10) cia.Write(CiaSerialData, 0x3C, cycle);
    cia.AdvanceTo(cycle);
    if (cia.CntOutput() && !cnt) bits.push_back(cia.SpOutput());
    cnt = cia.CntOutput();
    if (cia.Read(CiaInterruptControl, cycle + 1) & 0x08) flags.push_back(cycle + 1);
  }
  EXPECT_EQ(bits, (std::vector<int>{1, 0, 1, 0, 0, 1, 0, 1, 0, 0, 1, 1, 1, 1, 0, 0}));
  // Timer A, started in cycle 5 at 3, underflows in cycles 10, 14, ...: T+2 is the first after
  // the write, and the 16th and 32nd from there end the two bytes.
  const std::uint64_t first = T + 2;
  ASSERT_EQ(flags.size(), 2u);
  EXPECT_EQ(flags[0], first + 4 * 15);
  EXPECT_EQ(flags[1], first + 4 * 31);
  EXPECT_TRUE(cnt) << "CNT high when idle";
}

// Input: the SP level shifts in at each rising CNT edge; the eighth fills SDR and sets the flag.
TEST(AccurateCiaSerial, ShiftsInAtRisingCntEdges) {
  Cia6526 cia;
  std::uint64_t cycle = 10;
  for (int bit = 7; bit >= 0; --bit) {
    cia.SetSp(((0x3C >> bit) & 1) != 0, cycle);
    cia.SetCnt(false, cycle + 1);
    cia.SetCnt(true, cycle + 2);
    cycle += 10;
  }
  EXPECT_EQ(cia.Peek(CiaInterruptControl, cycle - 8), 0x00);
  EXPECT_EQ(cia.Read(CiaInterruptControl, cycle - 7), 0x08);
  EXPECT_EQ(cia.Read(CiaSerialData, cycle), 0x3C);
}

// --- Reset, bulk counting, snapshots --------------------------------------------------------

TEST(AccurateCia, ResetClearsTheRegistersAndStopsTheTimers) {
  Cia6526 cia;
  Play(cia, {W(1, CiaDirectionA, 0xFF), W(2, CiaPortA, 0x00), W(3, CiaTimerBHigh, 0x00),
             W(4, CiaControlB, 0x01), W(5, CiaInterruptControl, 0x9F), W(6, CiaTodHours, 0x05)});
  cia.Reset(50);
  Play(cia, {R(60, CiaPortA, 0xFF), R(61, CiaDirectionA, 0x00), R(62, CiaTimerBLow, 0xFF),
             R(63, CiaTimerBHigh, 0xFF), R(64, CiaControlB, 0x00), R(65, CiaInterruptControl, 0x00),
             R(66, CiaTodHours, 0x01), R(67, CiaTodTenths, 0x00), R(1000, CiaTimerBLow, 0xFF)});
  cia.AdvanceTo(1000);
  EXPECT_FALSE(cia.IrqAsserted());
}

// Random writes, reads and input changes at random cycles: the chip counting in bulk, advanced
// only to the cycles of the accesses and to what NextEvent names, against a copy run cycle by
// cycle through Step, whose observable outputs must not change before its NextEvent.
TEST(AccurateCia, BulkCountingMatchesThePerCyclePath) {
  const int regs[] = {CiaTimerALow, CiaTimerAHigh,       CiaTimerBLow, CiaTimerBHigh, CiaControlA,
                      CiaControlB,  CiaInterruptControl, CiaTodTenths, CiaTodHours,   CiaSerialData,
                      CiaPortB,     CiaDirectionB};
  for (std::uint32_t seed = 1; seed <= 40; ++seed) {
    SCOPED_TRACE(seed);
    std::mt19937 random(seed);
    auto pick = [&](int n) { return static_cast<int>(random() % static_cast<std::uint32_t>(n)); };
    const CiaModel model = Models[seed % 2];
    const std::uint32_t period = 150 + seed;
    Cia6526 bulk(model, period);
    Cia6526 reference(model, period);
    std::uint64_t cycle = 0;
    std::uint64_t event = 0;
    for (int op = 0; op < 3000; ++op) {
      const int gap = pick(4) == 0 ? pick(3000) : pick(12);
      cycle += 1 + static_cast<std::uint64_t>(gap);
      // The reference runs every cycle up to this one; until its NextEvent nothing it shows moves.
      const auto outputs = [](const Cia6526& cia) {
        return std::array<int, 5>{cia.IrqAsserted(), cia.Outputs().A, cia.Outputs().B,
                                  cia.CntOutput(), cia.SpOutput()};
      };
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
        if (reg == CiaTimerAHigh || reg == CiaTimerBHigh) value = pick(4) == 0 ? value : 0;
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
  }
}

TEST(AccurateCia, SnapshotsRestoreEverythingAndRefuseDamage) {
  Cia6526 cia(CiaModel::Mos6526A, NtscMainsPeriod);
  LoadStopped(cia, 0, 0x0123);
  Play(cia, {W(5, CiaControlA, 0x53), W(6, CiaSerialData, 0x99), W(7, CiaInterruptControl, 0x8B),
             W(8, CiaTodTenths, 0x03), R(9, CiaTodHours, 0x01)});
  cia.AdvanceTo(150);
  SnapshotWriter saved;
  cia.Save(saved);

  Cia6526 restored;
  SnapshotReader in{saved.Bytes.data(), saved.Bytes.size()};
  ASSERT_TRUE(restored.Load(in));
  EXPECT_EQ(restored.Model(), CiaModel::Mos6526A);
  for (std::uint64_t cycle = 151; cycle < 400000; cycle += 997) {
    for (int reg : {CiaTimerALow, CiaInterruptControl, CiaTodTenths, CiaSerialData}) {
      ASSERT_EQ(restored.Read(reg, cycle), cia.Read(reg, cycle)) << "reg " << reg;
    }
  }

  // Cut short, or a flag byte that is neither 0 nor 1, or an unknown chip: refused, unchanged.
  SnapshotWriter before;
  restored.Save(before);
  std::vector<std::vector<std::uint8_t>> damaged(3, saved.Bytes);
  damaged[0].pop_back();
  damaged[1][0] = 7;
  damaged[2][1 + 8 + 4 + 8 + 2 + 2 + 1] = 2;  // after the model, the times and timer A's
                                              // counter, latch and control: a pipeline flag
  for (const auto& bytes : damaged) {
    SnapshotReader bad{bytes.data(), bytes.size()};
    EXPECT_FALSE(restored.Load(bad));
    SnapshotWriter after;
    restored.Save(after);
    EXPECT_EQ(after.Bytes, before.Bytes);
  }
}

}  // namespace
}  // namespace quillon::accurate
