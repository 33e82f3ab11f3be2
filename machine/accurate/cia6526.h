// The 6526 Complex Interface Adapter, cycle for cycle: two 16-bit timers with their PB6/PB7
// outputs, the interrupt control register and its /IRQ output, the time-of-day clock, the serial
// shift register and the two 8-bit ports. One instance per chip; the old NMOS 6526 and the later
// 6526A (8521) differ in when IR and the interrupt output follow a flag, and in the old chip's
// timer B bug.
//
// Time. The owner counts clock cycles; the CPU makes one bus access per cycle. Every access and
// every input change names its cycle, and the chip catches up lazily to it: a chip whose timers
// stand still costs nothing, and a running timer is counted in one go up to the cycle before its
// next underflow. Within each cycle c the chip works in this order:
//   1. the CPU's access of cycle c (Read, Write) and the input changes of cycle c: a read sees
//      the state left by the chip's work of cycle c-1; a write takes effect at once;
//   2. the chip's own work of cycle c (Step): the timers, the shift register, the TOD clock,
//      the interrupt logic.
// AdvanceTo(c) runs both up to the end of cycle c, so every access of cycle c must come before
// AdvanceTo(c).
//
// What a read at T+n sees after a control-register write in cycle T (the timer counting φ2):
//   START from stopped:   the counter unchanged at T+1 and T+2, one less at T+3, then counting;
//   force load (LOAD):    the old counter at T+1, the latch at T+2 and at T+3, counting again
//                         at T+4 if the timer runs; a latch high-byte write to a stopped timer
//                         loads the same way;
//   stop (START cleared): the counter still moves at T+1 and T+2 and stands from T+3 on;
//   count source φ2/CNT:  switched for the counts read from T+3 on.
// A running counter reads ..., 2, 1, L, L, L-1, ...: the reload comes instead of the 0 and the
// period is L+1 (latch 0 underflows every cycle, latch 1 every other). A load, by underflow or
// forced, takes the latch in two consecutive cycles, so a latch written in the second of them is
// what the counter holds from then on; a forced load in the very cycle in which the counter runs
// out does not prevent the underflow. The first cycle that reads the reloaded L is the underflow
// cycle t: from t on a read shows the timer's flag in the ICR, the PB6/PB7 pulse (for this one
// cycle) or the toggled level, and a one-shot timer's cleared START bit. Setting RUNMODE as late
// as t-1 still stops the timer at t; clearing it has to come by t-2. With the counter at N when
// START is written in T, t = T+N+2; with LOAD and START written together, t = T+L+3. Counting
// timer A's underflows, timer B reads 0 until A's next underflow, which reloads it: B's own t is
// one cycle after A's.
//
// The interrupt output. IrqAsserted() after AdvanceTo(c) is the level of /IRQ during cycle c, as
// the CPU samples it at the end of c. It follows ICR bit 7 (IR) with one cycle's delay: it is IR
// as the chip's work of cycle c-1 left it, before an ICR read of cycle c could clear it. So, for a
// flag first read in cycle t (a timer's underflow cycle):
//   6526A: IR is read from t on (a read at t returns $81 for timer A); /IRQ is low during t;
//   6526:  IR is read from t+1 on; a read at t returns the flag alone ($01) and, having cleared
//          it, no interrupt follows; /IRQ is low during t+1.
// A mask bit set in cycle W whose flag already stands raises IR from W+1 on the 6526A and from
// W+2 on the 6526 (/IRQ low during those cycles); clearing a mask bit never releases the output,
// only an ICR read does, from the cycle after the read on. A CPU that takes an interrupt when the
// line was low during the next-to-last cycle of an instruction matches both chips' measured
// interrupt times. On the old chip an ICR read in the cycle before timer B's underflow cycle
// loses timer B's flag for good (the "timer B bug"). Alarm, serial and /FLAG interrupts follow
// the same rules as the timers': their flags are read from the cycle after the event.
#pragma once

#include <cstdint>

#include "interface/snapshot_stream.h"

namespace quillon::accurate {

enum class CiaModel : std::uint8_t {
  Mos6526 = 0,   // the original NMOS chip ("old")
  Mos6526A = 1,  // 6526A, 8521 and late 6526s ("new")
};

// Register numbers (the chip decodes four address lines; the owner passes reg 0-15).
inline constexpr int CiaPortA = 0x0;
inline constexpr int CiaPortB = 0x1;
inline constexpr int CiaDirectionA = 0x2;
inline constexpr int CiaDirectionB = 0x3;
inline constexpr int CiaTimerALow = 0x4;
inline constexpr int CiaTimerAHigh = 0x5;
inline constexpr int CiaTimerBLow = 0x6;
inline constexpr int CiaTimerBHigh = 0x7;
inline constexpr int CiaTodTenths = 0x8;
inline constexpr int CiaTodSeconds = 0x9;
inline constexpr int CiaTodMinutes = 0xA;
inline constexpr int CiaTodHours = 0xB;
inline constexpr int CiaSerialData = 0xC;
inline constexpr int CiaInterruptControl = 0xD;
inline constexpr int CiaControlA = 0xE;
inline constexpr int CiaControlB = 0xF;

// The mains periods that drive the TOD clock: 50 Hz on a PAL machine, 60 Hz on an NTSC one.
inline constexpr std::uint32_t PalMainsPeriod = 19705;
inline constexpr std::uint32_t NtscMainsPeriod = 17045;

// A level for each pin of the two ports, bit n for pin n.
struct CiaPorts {
  std::uint8_t A;
  std::uint8_t B;
};

// What the world outside does to the port pins, given the levels the chip drives on both ports
// (the output latch on output pins, 1 through the pull-up on inputs, PB6/PB7 from the timers
// when enabled): a 0 bit for each pin that something pulls low. A pin reads as the chip's level
// AND the outside's, so a key that joins PAi and PBj pulls either low when the other is low.
// Called before every port read; it must not change anything.
using CiaPinFunction = CiaPorts (*)(void* context, CiaPorts driven);

class Cia6526 {
 public:
  // The chip as after power-on: its reset state, at cycle 0, with a mains period of
  // `mainsPeriod` cycles at its TOD pin (the first tick comes one period after cycle 0).
  explicit Cia6526(CiaModel model = CiaModel::Mos6526, std::uint32_t mainsPeriod = PalMainsPeriod);

  CiaModel Model() const { return s_.Model; }
  void SetModel(CiaModel model) { s_.Model = model; }

  // /RES held low in `cycle`: ports inputs, timers stopped with latches and counters $FFFF,
  // interrupts masked and cleared, the TOD stopped at 1:00:00.0 AM.
  void Reset(std::uint64_t cycle);

  std::uint8_t Read(int reg, std::uint64_t cycle);
  // What Read would return, without its effects (no flags cleared, no TOD latch moved).
  std::uint8_t Peek(int reg, std::uint64_t cycle) const;
  void Write(int reg, std::uint8_t value, std::uint64_t cycle);

  // Runs the chip's work up to the end of `cycle`.
  void AdvanceTo(std::uint64_t cycle);
  // The chip's work of the next cycle, one cycle at a time: the reference that the counting in
  // bulk of AdvanceTo and the accesses must match.
  void Step();
  // The first cycle not yet run.
  std::uint64_t NextCycle() const { return s_.NextStep; }

  // The /IRQ output (true = low) as of the last cycle run; see the timing above.
  bool IrqAsserted() const { return s_.LineNow; }
  // The level during the next cycle: the work up to cycle c fixes the output of cycle c+1, which
  // no access in c+1 changes. An owner that looks at the line before each cycle's access reads
  // it here after AdvanceTo(c).
  bool IrqAssertedNext() const { return s_.LineNext; }
  // The earliest cycle after whose AdvanceTo the interrupt output, PB6/PB7 or the serial lines
  // may have changed without an access, or UINT64_MAX when they stay as they are until the next
  // access or input change. Between now and then the chip needs no AdvanceTo.
  std::uint64_t NextEvent() const;

  // Inputs. The pin function is the owner's wiring; unset, every pin reads its pull-up.
  void SetPinFunction(CiaPinFunction function, void* context);
  // The CNT, SP and /FLAG pins as driven from outside from `cycle` on. CNT and SP float high.
  // A rising CNT edge counts for a timer in CNT mode and shifts a bit in when the serial port is
  // an input; a falling /FLAG edge sets the FLAG interrupt.
  void SetCnt(bool high, std::uint64_t cycle);
  void SetSp(bool high, std::uint64_t cycle);
  void SetFlag(bool high, std::uint64_t cycle);
  // The cycles of one mains period at the TOD pin; takes effect from the next mains tick on.
  void SetMainsPeriod(std::uint32_t cycles);

  // Outputs as of the last cycle run: the levels the chip drives on the ports' pins (the owner
  // adds what pulls them down outside), and the serial lines, high while the chip does not
  // drive them low.
  CiaPorts Outputs() const;
  bool CntOutput() const;
  bool SpOutput() const;

  // The whole state but the owner's wiring (the pin function).
  void Save(SnapshotWriter& out) const;
  // False, with the chip unchanged, when the data are cut short or hold impossible values.
  bool Load(SnapshotReader& in);

 private:
  struct Timer {
    std::uint16_t Counter;
    std::uint16_t Latch;
    std::uint8_t Control;  // the control register as read: the LOAD strobe is never kept
    bool CountNext;        // a count that reaches the counter in the next cycle
    bool CountNow;         // a count that decrements the counter in this cycle
    bool LoadRequest;      // a load written in this cycle ...
    bool LoadArmed;        // ... that reaches the counter in the next one
    bool Reloading;        // the counter was loaded in the last cycle and takes the latch again
    bool OneShotBefore;    // RUNMODE as it stood in the previous cycle
    bool Toggle;           // the PB6/PB7 toggle flip-flop
    bool Pulse;            // the one-cycle PB6/PB7 pulse of an underflow
  };

  struct Tod {
    std::uint8_t Time[4];  // tenths, seconds, minutes, hours (bit 7 PM), in BCD
    std::uint8_t Alarm[4];
    std::uint8_t Frozen[4];  // what reads return while latched
    bool Latched;
    bool Running;
    std::uint8_t Prescaler;  // mains ticks since the last tenth
    bool AlarmMatch;         // the time equalled the alarm after the last change of either
  };

  struct State {
    CiaModel Model;
    std::uint64_t NextStep;
    std::uint32_t MainsPeriod;
    std::uint64_t NextMainsTick;
    Timer Timers[2];
    std::uint8_t PortLatch[2];
    std::uint8_t PortDirection[2];
    std::uint8_t InterruptFlags;
    std::uint8_t InterruptMask;
    bool Ir;                    // ICR bit 7
    bool IrPending;             // a flag met its mask bit: the old chip sets IR in the next cycle
    bool LineNow;               // the output during the last cycle run
    bool LineNext;              // and during the next one
    std::uint8_t PendingFlags;  // raised by an access or an input in this cycle
    bool IcrReadNow;            // the ICR was read in this cycle
    std::uint8_t SerialData;
    std::uint8_t ShiftRegister;
    std::uint8_t ShiftCount;  // output: underflows left in the byte; input: bits received
    bool SerialLoaded;        // output: a byte written waits for the shift register
    bool CntOut;
    bool SpOut;
    bool CntIn;
    bool SpIn;
    bool FlagIn;
    bool CntEdge;  // a rising CNT edge in this cycle ...
    bool CntSync;  // ... and in the previous one, which the timers count in this one
    Tod Clock;
  };

  template <class Stream, class Self>
  static void Fields(Stream& s, Self& state);

  void ResetState();
  void RunBefore(std::uint64_t cycle);
  bool Quiet() const;
  std::uint64_t QuietSpan() const;
  bool TimerCounting(int timer) const;
  bool StepTimer(Timer& timer, bool source);
  void ShiftOut(std::uint8_t& flags);
  void ShiftIn(std::uint8_t& flags);
  void TickTod(std::uint8_t& flags);
  void CheckAlarm(std::uint8_t& flags);
  void WriteControl(int timer, std::uint8_t value);
  void WriteTod(int index, std::uint8_t value);
  bool SerialOut() const;
  bool CntPin() const;
  std::uint8_t TodTicksPerTenth() const;
  void NoteCntRise(bool before);
  std::uint8_t RegisterValue(int reg) const;

  State s_;
  CiaPinFunction pinFunction_ = nullptr;
  void* pinContext_ = nullptr;
};

}  // namespace quillon::accurate
