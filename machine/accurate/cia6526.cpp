#include "accurate/cia6526.h"

#include <algorithm>

namespace quillon::accurate {

namespace {

constexpr std::uint64_t Never = UINT64_MAX;

// Control register bits (CRA and CRB alike unless named).
constexpr std::uint8_t ControlStart = 0x01;
constexpr std::uint8_t ControlPbOn = 0x02;
constexpr std::uint8_t ControlToggle = 0x04;
constexpr std::uint8_t ControlOneShot = 0x08;
constexpr std::uint8_t ControlLoad = 0x10;
constexpr std::uint8_t ControlCountCnt = 0x20;   // CRA; in CRB bits 5-6 choose the source
constexpr std::uint8_t ControlSerialOut = 0x40;  // CRA
constexpr std::uint8_t ControlTod50Hz = 0x80;    // CRA
constexpr std::uint8_t ControlAlarm = 0x80;      // CRB: TOD writes set the alarm

// Timer B's count sources, CRB bits 5-6.
constexpr int SourcePhi2 = 0;
constexpr int SourceCnt = 1;
constexpr int SourceTimerA = 2;
constexpr int SourceTimerAWithCnt = 3;

// Interrupt sources: ICR data and mask bits.
constexpr std::uint8_t FlagTimerA = 0x01;
constexpr std::uint8_t FlagTimerB = 0x02;
constexpr std::uint8_t FlagAlarm = 0x04;
constexpr std::uint8_t FlagSerial = 0x08;
constexpr std::uint8_t FlagPin = 0x10;
constexpr std::uint8_t FlagSources = 0x1F;
constexpr std::uint8_t FlagIr = 0x80;

// The TOD registers' bits, tenths to hours; the hours' bit 7 is the PM flag.
constexpr std::uint8_t TodMasks[4] = {0x0F, 0x7F, 0x7F, 0x9F};
constexpr int TodHoursIndex = 3;
constexpr std::uint8_t TodPm = 0x80;

// The mains ticks per tenth of a second, and the prescaler's width: it compares its count with
// the limit only when a tick arrives, so a limit lowered below the count is missed until the
// count wraps.
constexpr std::uint8_t TodTicks50Hz = 5;
constexpr std::uint8_t TodTicks60Hz = 6;
constexpr std::uint8_t PrescalerMask = 0x07;

// Eight bits take sixteen CNT edges in output mode: a falling edge puts a bit on SP, the rising
// one after it is when the receiver takes it.
constexpr std::uint8_t ShiftOutEdges = 16;
constexpr std::uint8_t ShiftInBits = 8;

// One BCD digit pair counting up to `last`: the low digit is a 4-bit counter that carries into
// the high one when it stands at 9, the high digit one of `highMask`'s width; the register
// returns to 0 and carries on from `last`. Values no clock would show still count within their
// bits, as each digit only compares itself with its end.
bool CountBcd(std::uint8_t& value, std::uint8_t last, std::uint8_t highMask) {
  if (value == last) {
    value = 0;
    return true;
  }
  const int low = value & 0x0F;
  const int high = value >> 4;
  value = low == 9 ? static_cast<std::uint8_t>(((high + 1) & highMask) << 4)
                   : static_cast<std::uint8_t>((high << 4) | ((low + 1) & 0x0F));
  return false;
}

// The PM flag inverts whenever the hours become 12, by counting or by a write.
std::uint8_t FlipAtTwelve(std::uint8_t hours) {
  return (hours & 0x1F) == 0x12 ? static_cast<std::uint8_t>(hours ^ TodPm) : hours;
}

void SetLowByte(std::uint16_t& word, std::uint8_t value) {
  word = static_cast<std::uint16_t>((word & 0xFF00) | value);
}

void SetHighByte(std::uint16_t& word, std::uint8_t value) {
  word = static_cast<std::uint16_t>((word & 0x00FF) | (value << 8));
}

}  // namespace

Cia6526::Cia6526(CiaModel model, std::uint32_t mainsPeriod) : s_{} {
  s_.Model = model;
  SetMainsPeriod(mainsPeriod);
  s_.NextMainsTick = s_.MainsPeriod;
  s_.CntIn = s_.SpIn = s_.FlagIn = true;
  ResetState();
}

// What /RES clears: every register, the timers' pipelines, the shift register and the TOD. The
// external pins, the mains phase and the chip's time stay.
void Cia6526::ResetState() {
  for (Timer& timer : s_.Timers) {
    timer = Timer{};
    timer.Counter = timer.Latch = 0xFFFF;
  }
  for (int port = 0; port < 2; ++port) s_.PortLatch[port] = s_.PortDirection[port] = 0;
  s_.InterruptFlags = s_.InterruptMask = s_.PendingFlags = 0;
  s_.Ir = s_.IrPending = s_.IcrReadNow = false;
  s_.SerialData = s_.ShiftRegister = s_.ShiftCount = 0;
  s_.SerialLoaded = false;
  s_.CntOut = s_.SpOut = true;
  s_.CntEdge = s_.CntSync = false;
  s_.Clock = Tod{};
  s_.Clock.Time[TodHoursIndex] = 0x01;
}

void Cia6526::Reset(std::uint64_t cycle) {
  RunBefore(cycle);
  ResetState();
}

// --- Time -----------------------------------------------------------------------------------

void Cia6526::AdvanceTo(std::uint64_t cycle) { RunBefore(cycle + 1); }

// Runs every cycle before `cycle`. Where nothing but the counters of running timers would change,
// it counts them down in one go, up to the cycle before an underflow or a mains tick, which it
// runs with Step as any other.
void Cia6526::RunBefore(std::uint64_t cycle) {
  while (s_.NextStep < cycle) {
    const std::uint64_t span = Quiet() ? std::min(QuietSpan(), cycle - s_.NextStep) : 0;
    if (span == 0) {
      Step();
      continue;
    }
    for (Timer& timer : s_.Timers) {
      if (timer.CountNow) timer.Counter = static_cast<std::uint16_t>(timer.Counter - span);
    }
    s_.NextStep += span;
  }
}

// A timer counting φ2 at full pace, every pipeline stage full.
bool Cia6526::TimerCounting(int timer) const {
  const std::uint8_t control = s_.Timers[timer].Control;
  const bool phi2 =
      timer == 0 ? (control & ControlCountCnt) == 0 : ((control >> 5) & 3) == SourcePhi2;
  return (control & ControlStart) && phi2;
}

// Whether the next cycle's Step would change nothing but decrement the counting timers: no load,
// start, stop or one-shot change on its way through a pipeline, no pulse to end, no edge or
// flag waiting, no interrupt about to be asserted.
bool Cia6526::Quiet() const {
  for (int t = 0; t < 2; ++t) {
    const Timer& timer = s_.Timers[t];
    const bool counting = TimerCounting(t);
    // An underflow's pulse lasts as long as its reload.
    if (timer.LoadRequest || timer.LoadArmed || timer.Reloading || timer.CountNext != counting ||
        timer.CountNow != counting ||
        timer.OneShotBefore != ((timer.Control & ControlOneShot) != 0)) {
      return false;
    }
  }
  const bool masked = (s_.InterruptFlags & s_.InterruptMask) != 0;
  return !s_.CntEdge && !s_.CntSync && s_.PendingFlags == 0 && !s_.IcrReadNow &&
         (s_.Ir || !masked) && s_.IrPending == masked && s_.LineNow == s_.Ir &&
         s_.LineNext == s_.Ir;
}

// How many quiet cycles lie ahead: a counter at n reaches 0 in its n-th cycle, and the mains tick
// has its own.
std::uint64_t Cia6526::QuietSpan() const {
  std::uint64_t span = s_.NextMainsTick - s_.NextStep;
  for (const Timer& timer : s_.Timers) {
    if (timer.CountNow) span = std::min<std::uint64_t>(span, timer.Counter - 1u);
  }
  return span;
}

void Cia6526::Step() {
  State& s = s_;
  const bool edge = s.CntEdge;
  const bool synchronisedEdge = s.CntSync;
  s.CntEdge = false;
  s.CntSync = edge;
  std::uint8_t flags = s.PendingFlags;
  s.PendingFlags = 0;

  Timer& a = s.Timers[0];
  Timer& b = s.Timers[1];
  const bool underflowA = StepTimer(a, (a.Control & ControlCountCnt) ? synchronisedEdge : true);
  bool sourceB = true;
  switch ((b.Control >> 5) & 3) {
    case SourceCnt: sourceB = synchronisedEdge; break;
    case SourceTimerA: sourceB = underflowA; break;
    case SourceTimerAWithCnt: sourceB = underflowA && CntPin(); break;
    default: break;
  }
  const bool underflowB = StepTimer(b, sourceB);
  if (underflowA) flags |= FlagTimerA;
  // The old chip's timer B bug: a flag read away in the cycle of the underflow is never set.
  if (underflowB && !(s.Model == CiaModel::Mos6526 && s.IcrReadNow)) flags |= FlagTimerB;

  if (SerialOut()) {
    if (underflowA) ShiftOut(flags);
  } else if (edge) {
    ShiftIn(flags);
  }

  if (s.NextStep == s.NextMainsTick) {
    s.NextMainsTick += s.MainsPeriod;
    if (s.Clock.Running) TickTod(flags);
  }

  // The 6526A sets IR in the cycle in which a flag and its mask bit meet; the old chip one cycle
  // later, unless the ICR is read in between.
  s.InterruptFlags |= flags;
  const bool masked = (s.InterruptFlags & s.InterruptMask) != 0;
  if (s.Model == CiaModel::Mos6526 ? s.IrPending && !s.IcrReadNow : masked) s.Ir = true;
  s.IrPending = masked;
  s.IcrReadNow = false;
  // The output follows IR one cycle later: the CPU samples during a cycle what IR was after the
  // previous one, before the cycle's own ICR read could clear it.
  s.LineNow = s.LineNext;
  s.LineNext = s.Ir;
  ++s.NextStep;
}

// One cycle of a timer. A count reaches the counter two cycles after its source (START for φ2),
// through CountNext and CountNow; a load (forced, or by a latch write while stopped) one cycle
// after it was written. A counter at 0 with a count arriving underflows, in the cycle of a forced
// load too, and a one-shot timer stops. Every load, by underflow or forced, lasts two cycles: the
// counter takes the latch again in the next cycle instead of counting, so a latch written in
// between is what it holds then.
bool Cia6526::StepTimer(Timer& timer, bool source) {
  if (timer.Reloading) {
    timer.Counter = timer.Latch;
  } else if (timer.CountNow) {
    --timer.Counter;
  }
  const bool underflow = timer.CountNext && timer.Counter == 0;
  timer.Pulse = underflow;
  if (underflow) {
    timer.Toggle = !timer.Toggle;
    // A one-shot bit set in this cycle, or cleared in it, still stops the timer.
    if ((timer.Control & ControlOneShot) || timer.OneShotBefore) {
      timer.Control &= static_cast<std::uint8_t>(~ControlStart);
    }
  }
  timer.Reloading = underflow || timer.LoadArmed;
  if (timer.Reloading) timer.Counter = timer.Latch;
  timer.LoadArmed = timer.LoadRequest;
  timer.LoadRequest = false;
  timer.CountNow = timer.CountNext;
  timer.CountNext = (timer.Control & ControlStart) && source;
  timer.OneShotBefore = (timer.Control & ControlOneShot) != 0;
  return underflow;
}

std::uint64_t Cia6526::NextEvent() const {
  if (!Quiet()) return s_.NextStep;
  const Timer& a = s_.Timers[0];
  const Timer& b = s_.Timers[1];
  const bool irqOpen = !s_.Ir;
  const bool cascaded = (b.Control & ControlStart) && ((b.Control >> 5) & 3) >= SourceTimerA;
  const bool shifting = SerialOut() && (s_.ShiftCount != 0 || s_.SerialLoaded);
  const bool aMatters = (irqOpen && (s_.InterruptMask & FlagTimerA)) || (a.Control & ControlPbOn) ||
                        shifting || cascaded;
  const bool bMatters = (irqOpen && (s_.InterruptMask & FlagTimerB)) || (b.Control & ControlPbOn);
  std::uint64_t next = Never;
  if (a.CountNow && aMatters) next = std::min(next, s_.NextStep + a.Counter - 1);
  if (b.CountNow && bMatters) next = std::min(next, s_.NextStep + b.Counter - 1);
  const Tod& tod = s_.Clock;
  if (tod.Running && irqOpen && (s_.InterruptMask & FlagAlarm)) {
    // The mains tick on which the prescaler reaches its limit moves the tenths.
    const std::uint64_t ticks = ((TodTicksPerTenth() - tod.Prescaler - 1) & PrescalerMask) + 1;
    next = std::min(next, s_.NextMainsTick + (ticks - 1) * s_.MainsPeriod);
  }
  return next;
}

// --- Serial port ----------------------------------------------------------------------------

// Output mode, at each timer A underflow: an idle register takes the byte written to SDR, then
// every underflow inverts CNT, a falling edge puts the next bit (MSB first) on SP; after the
// sixteenth CNT is high again and the SP interrupt is set. A byte written meanwhile follows at
// the next underflow, without a gap.
void Cia6526::ShiftOut(std::uint8_t& flags) {
  if (s_.ShiftCount == 0) {
    if (!s_.SerialLoaded) return;
    s_.ShiftRegister = s_.SerialData;
    s_.SerialLoaded = false;
    s_.ShiftCount = ShiftOutEdges;
  }
  s_.CntOut = !s_.CntOut;
  if (s_.CntOut) {
    s_.CntEdge = true;
  } else {
    s_.SpOut = (s_.ShiftRegister & 0x80) != 0;
    s_.ShiftRegister = static_cast<std::uint8_t>(s_.ShiftRegister << 1);
  }
  if (--s_.ShiftCount == 0) flags |= FlagSerial;
}

// Input mode, at each rising CNT edge: the SP level shifts in, MSB first; the eighth bit copies
// the register to SDR and sets the SP interrupt.
void Cia6526::ShiftIn(std::uint8_t& flags) {
  s_.ShiftRegister = static_cast<std::uint8_t>((s_.ShiftRegister << 1) | (s_.SpIn ? 1 : 0));
  if (++s_.ShiftCount == ShiftInBits) {
    s_.SerialData = s_.ShiftRegister;
    s_.ShiftCount = 0;
    flags |= FlagSerial;
  }
}

bool Cia6526::SerialOut() const { return (s_.Timers[0].Control & ControlSerialOut) != 0; }

// CNT is the chip's own output while the serial port sends, otherwise the outside's level.
bool Cia6526::CntPin() const { return SerialOut() ? s_.CntOut : s_.CntIn; }

// After a change of what drives CNT: a rising edge counts from the next cycle on.
void Cia6526::NoteCntRise(bool before) {
  if (!before && CntPin()) s_.CntEdge = true;
}

// --- TOD clock ------------------------------------------------------------------------------

// CRA bit 7 tells the chip the mains frequency: five ticks of 50 Hz or six of 60 Hz make a tenth.
std::uint8_t Cia6526::TodTicksPerTenth() const {
  return (s_.Timers[0].Control & ControlTod50Hz) ? TodTicks50Hz : TodTicks60Hz;
}

void Cia6526::TickTod(std::uint8_t& flags) {
  Tod& tod = s_.Clock;
  tod.Prescaler = (tod.Prescaler + 1) & PrescalerMask;
  if (tod.Prescaler != TodTicksPerTenth()) return;
  tod.Prescaler = 0;
  if (CountBcd(tod.Time[0], 0x09, 0x00) && CountBcd(tod.Time[1], 0x59, 0x07) &&
      CountBcd(tod.Time[2], 0x59, 0x07)) {
    std::uint8_t& hours = tod.Time[TodHoursIndex];
    const std::uint8_t pm = hours & TodPm;
    std::uint8_t hour = hours & 0x1F;
    // 12 is followed by 1; the hours carry into nothing else.
    if (hour == 0x12) {
      hour = 0x01;
    } else {
      CountBcd(hour, 0xFF, 0x01);
    }
    hours = FlipAtTwelve(static_cast<std::uint8_t>(pm | hour));
  }
  CheckAlarm(flags);
}

// The alarm interrupt comes when the time becomes equal to the alarm time, by counting or by a
// write to either.
void Cia6526::CheckAlarm(std::uint8_t& flags) {
  Tod& tod = s_.Clock;
  const bool match = std::equal(tod.Time, tod.Time + 4, tod.Alarm);
  if (match && !tod.AlarmMatch) flags |= FlagAlarm;
  tod.AlarmMatch = match;
}

// With CRB7 clear a write sets the clock: the hours stop it (so that the four registers can be
// set without a carry in between), the tenths start it again with the prescaler at 0. With CRB7
// set it sets the alarm.
void Cia6526::WriteTod(int index, std::uint8_t value) {
  Tod& tod = s_.Clock;
  value &= TodMasks[index];
  if (s_.Timers[1].Control & ControlAlarm) {
    tod.Alarm[index] = value;
  } else if (index == TodHoursIndex) {
    tod.Time[index] = FlipAtTwelve(value);
    tod.Running = false;
  } else {
    tod.Time[index] = value;
    if (index == 0 && !tod.Running) {
      tod.Running = true;
      tod.Prescaler = 0;
    }
  }
  CheckAlarm(s_.PendingFlags);
}

// --- Registers ------------------------------------------------------------------------------

CiaPorts Cia6526::Outputs() const {
  std::uint8_t a = static_cast<std::uint8_t>(s_.PortLatch[0] | ~s_.PortDirection[0]);
  std::uint8_t b = static_cast<std::uint8_t>(s_.PortLatch[1] | ~s_.PortDirection[1]);
  // An enabled timer output drives PB6 (timer A) or PB7 (timer B), whatever DDRB says.
  for (int t = 0; t < 2; ++t) {
    const Timer& timer = s_.Timers[t];
    if (!(timer.Control & ControlPbOn)) continue;
    const auto bit = static_cast<std::uint8_t>(0x40 << t);
    const bool level = (timer.Control & ControlToggle) ? timer.Toggle : timer.Pulse;
    b = level ? static_cast<std::uint8_t>(b | bit) : static_cast<std::uint8_t>(b & ~bit);
  }
  return {a, b};
}

bool Cia6526::CntOutput() const { return !SerialOut() || s_.CntOut; }

bool Cia6526::SpOutput() const { return !SerialOut() || s_.SpOut; }

std::uint8_t Cia6526::RegisterValue(int reg) const {
  const Tod& tod = s_.Clock;
  switch (reg) {
    case CiaPortA:
    case CiaPortB: {
      const CiaPorts driven = Outputs();
      const CiaPorts outside =
          pinFunction_ != nullptr ? pinFunction_(pinContext_, driven) : CiaPorts{0xFF, 0xFF};
      return reg == CiaPortA ? static_cast<std::uint8_t>(driven.A & outside.A)
                             : static_cast<std::uint8_t>(driven.B & outside.B);
    }
    case CiaDirectionA:
    case CiaDirectionB: return s_.PortDirection[reg - CiaDirectionA];
    case CiaTimerALow: return static_cast<std::uint8_t>(s_.Timers[0].Counter);
    case CiaTimerAHigh: return static_cast<std::uint8_t>(s_.Timers[0].Counter >> 8);
    case CiaTimerBLow: return static_cast<std::uint8_t>(s_.Timers[1].Counter);
    case CiaTimerBHigh: return static_cast<std::uint8_t>(s_.Timers[1].Counter >> 8);
    case CiaTodTenths:
    case CiaTodSeconds:
    case CiaTodMinutes:
    case CiaTodHours: return (tod.Latched ? tod.Frozen : tod.Time)[reg - CiaTodTenths];
    case CiaSerialData: return s_.SerialData;
    case CiaInterruptControl:
      return static_cast<std::uint8_t>(s_.InterruptFlags | (s_.Ir ? FlagIr : 0));
    case CiaControlA: return s_.Timers[0].Control;
    default: return s_.Timers[1].Control;
  }
}

std::uint8_t Cia6526::Read(int reg, std::uint64_t cycle) {
  RunBefore(cycle);
  const std::uint8_t value = RegisterValue(reg);
  Tod& tod = s_.Clock;
  switch (reg) {
    case CiaInterruptControl:
      s_.InterruptFlags = 0;
      s_.Ir = false;
      s_.IcrReadNow = true;
      break;
    // Reading the hours freezes what the four TOD registers read until the tenths are read, so
    // that a time read hours first cannot tear across a carry; the clock runs on meanwhile.
    case CiaTodHours:
      if (!tod.Latched) {
        std::copy(tod.Time, tod.Time + 4, tod.Frozen);
        tod.Latched = true;
      }
      break;
    case CiaTodTenths: tod.Latched = false; break;
    default: break;
  }
  return value;
}

std::uint8_t Cia6526::Peek(int reg, std::uint64_t cycle) const {
  Cia6526 copy = *this;
  copy.RunBefore(cycle);
  return copy.RegisterValue(reg);
}

void Cia6526::Write(int reg, std::uint8_t value, std::uint64_t cycle) {
  RunBefore(cycle);
  switch (reg) {
    case CiaPortA:
    case CiaPortB: s_.PortLatch[reg] = value; break;
    case CiaDirectionA:
    case CiaDirectionB: s_.PortDirection[reg - CiaDirectionA] = value; break;
    case CiaTimerALow:
    case CiaTimerBLow: SetLowByte(s_.Timers[(reg - CiaTimerALow) / 2].Latch, value); break;
    case CiaTimerAHigh:
    case CiaTimerBHigh: {
      // A stopped timer takes the whole latch at once, as a force load would.
      Timer& timer = s_.Timers[(reg - CiaTimerAHigh) / 2];
      SetHighByte(timer.Latch, value);
      if (!(timer.Control & ControlStart)) timer.LoadRequest = true;
      break;
    }
    case CiaTodTenths:
    case CiaTodSeconds:
    case CiaTodMinutes:
    case CiaTodHours: WriteTod(reg - CiaTodTenths, value); break;
    case CiaSerialData:
      s_.SerialData = value;
      if (SerialOut()) s_.SerialLoaded = true;
      break;
    case CiaInterruptControl:
      if (value & FlagIr) {
        s_.InterruptMask |= value & FlagSources;
      } else {
        s_.InterruptMask &= static_cast<std::uint8_t>(~value);
      }
      break;
    case CiaControlA: WriteControl(0, value); break;
    default: WriteControl(1, value); break;
  }
}

// START and LOAD take effect through the timer's pipeline; a START going from 0 to 1 sets the
// toggle flip-flop. Turning the serial port around abandons the byte in the shift register and
// lets CNT go high.
void Cia6526::WriteControl(int t, std::uint8_t value) {
  Timer& timer = s_.Timers[t];
  if ((value & ControlStart) && !(timer.Control & ControlStart)) timer.Toggle = true;
  if (value & ControlLoad) timer.LoadRequest = true;
  const bool serialTurned = t == 0 && ((value ^ timer.Control) & ControlSerialOut);
  const bool cntBefore = CntPin();
  timer.Control = static_cast<std::uint8_t>(value & ~ControlLoad);
  if (serialTurned) {
    s_.ShiftCount = 0;
    s_.SerialLoaded = false;
    s_.CntOut = true;
    NoteCntRise(cntBefore);
  }
}

// --- Inputs ---------------------------------------------------------------------------------

void Cia6526::SetPinFunction(CiaPinFunction function, void* context) {
  pinFunction_ = function;
  pinContext_ = context;
}

void Cia6526::SetCnt(bool high, std::uint64_t cycle) {
  RunBefore(cycle);
  const bool before = CntPin();
  s_.CntIn = high;
  NoteCntRise(before);
}

void Cia6526::SetSp(bool high, std::uint64_t cycle) {
  RunBefore(cycle);
  s_.SpIn = high;
}

void Cia6526::SetFlag(bool high, std::uint64_t cycle) {
  RunBefore(cycle);
  if (s_.FlagIn && !high) s_.PendingFlags |= FlagPin;
  s_.FlagIn = high;
}

void Cia6526::SetMainsPeriod(std::uint32_t cycles) {
  s_.MainsPeriod = std::max<std::uint32_t>(cycles, 1);
}

// --- Snapshots ------------------------------------------------------------------------------

// The model is a flag: 0 for the 6526, 1 for the 6526A.
template <class Stream, class Self>
void Cia6526::Fields(Stream& s, Self& state) {
  s.Flag(state.Model);
  s.Field(state.NextStep);
  s.Field(state.MainsPeriod);
  s.Field(state.NextMainsTick);
  for (auto& timer : state.Timers) {
    s.Field(timer.Counter);
    s.Field(timer.Latch);
    s.Field(timer.Control);
    s.Flag(timer.CountNext);
    s.Flag(timer.CountNow);
    s.Flag(timer.LoadRequest);
    s.Flag(timer.LoadArmed);
    s.Flag(timer.Reloading);
    s.Flag(timer.OneShotBefore);
    s.Flag(timer.Toggle);
    s.Flag(timer.Pulse);
  }
  for (int port = 0; port < 2; ++port) {
    s.Field(state.PortLatch[port]);
    s.Field(state.PortDirection[port]);
  }
  s.Field(state.InterruptFlags);
  s.Field(state.InterruptMask);
  s.Flag(state.Ir);
  s.Flag(state.IrPending);
  s.Flag(state.LineNow);
  s.Flag(state.LineNext);
  s.Field(state.PendingFlags);
  s.Flag(state.IcrReadNow);
  s.Field(state.SerialData);
  s.Field(state.ShiftRegister);
  s.Field(state.ShiftCount);
  s.Flag(state.SerialLoaded);
  s.Flag(state.CntOut);
  s.Flag(state.SpOut);
  s.Flag(state.CntIn);
  s.Flag(state.SpIn);
  s.Flag(state.FlagIn);
  s.Flag(state.CntEdge);
  s.Flag(state.CntSync);
  for (int i = 0; i < 4; ++i) {
    s.Field(state.Clock.Time[i]);
    s.Field(state.Clock.Alarm[i]);
    s.Field(state.Clock.Frozen[i]);
  }
  s.Flag(state.Clock.Latched);
  s.Flag(state.Clock.Running);
  s.Field(state.Clock.Prescaler);
  s.Flag(state.Clock.AlarmMatch);
}

void Cia6526::Save(SnapshotWriter& out) const { Fields(out, s_); }

bool Cia6526::Load(SnapshotReader& in) {
  State loaded{};
  Fields(in, loaded);
  bool valid = !in.Failed && loaded.Model <= CiaModel::Mos6526A && loaded.MainsPeriod != 0 &&
               loaded.NextMainsTick >= loaded.NextStep && loaded.InterruptFlags <= FlagSources &&
               loaded.InterruptMask <= FlagSources && loaded.PendingFlags <= FlagSources &&
               loaded.ShiftCount <= ShiftOutEdges && loaded.Clock.Prescaler <= PrescalerMask;
  for (const Timer& timer : loaded.Timers) valid = valid && !(timer.Control & ControlLoad);
  for (int i = 0; i < 4; ++i) {
    const std::uint8_t unused = static_cast<std::uint8_t>(~TodMasks[i]);
    valid = valid && !(loaded.Clock.Time[i] & unused) && !(loaded.Clock.Alarm[i] & unused) &&
            !(loaded.Clock.Frozen[i] & unused);
  }
  if (!valid) return false;
  s_ = loaded;
  return true;
}

}  // namespace quillon::accurate
