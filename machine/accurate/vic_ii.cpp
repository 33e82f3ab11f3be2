#include "accurate/vic_ii.h"

#include <algorithm>
#include <bit>

#include "accurate/vic_constants.h"

namespace quillon::accurate {

using namespace vic;

namespace {

constexpr int LineZeroCompareCycle = 2;
constexpr int SpriteDmaCycle = 55;
constexpr int SpriteDmaAgainCycle = 56;
constexpr int FirstRefreshCycle = 11;
constexpr int LastRefreshCycle = 15;

// Bad lines happen between these raster lines; the DEN bit is looked at in the first.
constexpr int FirstBadLine = 0x30;
constexpr int LastBadLine = 0xF7;

constexpr std::uint8_t SpriteRowEnd = 63;

// Where the X counter stands in the 6567R8's cycles 64 and 65.
constexpr int NtscHeldX = 0x18C;
constexpr int NtscLastX = 0x194;

}  // namespace

// --- Cycle masks -----------------------------------------------------------------------------

void VicII::CycleMask::Set(int cycle) {
  if (cycle < 64) {
    Low |= std::uint64_t{1} << cycle;
  } else {
    High |= std::uint64_t{1} << (cycle - 64);
  }
}

int VicII::CycleMask::Next(int cycle, bool set) const {
  for (int word = cycle >> 6; word < 2; ++word) {
    std::uint64_t bits = word == 0 ? Low : High;
    if (!set) bits = ~bits;
    if (word == cycle >> 6) bits &= ~std::uint64_t{0} << (cycle & 63);
    if (bits != 0) return 64 * word + std::countr_zero(bits);
  }
  return 128;
}

// --- Power and time ---------------------------------------------------------------------------

void VicII::PowerOn(bool pal, std::uint64_t clock) {
  S = State{};
  SettingStale = true;
  S.Pal = S.PendingPal = pal;
  S.LineStart = clock;
  S.Rc = 7;
  S.VerticalBorder = S.MainBorder = true;
  for (Sprite& sprite : S.Sprites) {
    sprite.ExpandFlop = true;
    sprite.Shifted = SpriteShiftEnd;
  }
  UpdateBadLine(0);
  UpdateWatch();
  Schedule(1);
}

std::uint16_t VicII::RasterAt(std::uint64_t clock) const {
  // RASTER moves to line 0 one cycle late.
  if (S.Line == 0 && LineCycle(clock) == 1) return static_cast<std::uint16_t>(LinesPerFrame() - 1);
  return S.Line;
}

// The X counter at the start of line cycle `cycle`. The 6567R8 holds it for a cycle near the
// line's end to fit 512 values into 65 cycles.
int VicII::CycleX(int cycle) const {
  if (cycle < VideoCounterCycle) return Timing().FirstX + 8 * (cycle - 1);
  if (!S.Pal && cycle > 63) return cycle == 64 ? NtscHeldX : NtscLastX;
  return 8 * cycle - 108;
}

bool VicII::BadLineCondition() const {
  return S.Line >= FirstBadLine && S.Line <= LastBadLine &&
         (S.Line & 7) == (S.Registers[Control1] & 7) && S.DenLatch;
}

// The condition as it stands from line cycle `cycle` + 1 on (the whole line for 0). A bad line
// that comes up pulls BA low, at cycle 12 at the earliest; the sequencer enters display state
// and counts its g-accesses as display-state ones from the cycle after.
void VicII::UpdateBadLine(int cycle) {
  const bool was = S.BadLine;
  S.BadLine = BadLineCondition();
  if (!S.BadLine) return;
  if (!was) S.BadLineBa = static_cast<std::uint8_t>(std::max(cycle + 1, FirstBadLineBaCycle));
  if (!S.DisplayState) {
    S.DisplayState = true;
    S.DisplayFrom = static_cast<std::uint8_t>(cycle + 2);
  }
}

int VicII::NextFixedEvent(int cycle) const {
  const int fixed[] = {S.Line == 0 ? LineZeroCompareCycle : 0, VideoCounterCycle,
                       SpriteBaseCycle, SpriteDmaCycle, SpriteDmaAgainCycle,
                       Timing().DisplayCheckCycle};
  int next = Timing().CyclesPerLine + 1;
  for (int event : fixed) {
    if (event > cycle) next = std::min(next, event);
  }
  return next;
}

// After the work of `cycle`: how long BA stays low from it, and the next cycle with work: the
// next fixed event, the next cycle in which BA falls, or, while it is low, the one in which it
// rises, so that what the chip fetched meanwhile is drawn before the processor runs again. While
// a sprite collision could raise an interrupt, every cycle is drawn as it ends.
void VicII::Schedule(int cycle) {
  CycleMask low = S.SpriteBa;
  if (S.BadLine) {
    low.Low |= (~std::uint64_t{0} << FirstBadLineBaCycle) &
               (~std::uint64_t{0} >> (63 - LastCAccessCycle));
  }
  const int run = std::min(low.Next(cycle, false), Timing().CyclesPerLine + 1);
  S.BaLowUntil = run > cycle ? ClockOf(run) : 0;
  int next = NextFixedEvent(cycle);
  next = std::min(next, run > cycle ? run : low.Next(cycle + 1, true));
  if (CollisionInterruptDue()) next = std::min(next, cycle + 1);
  S.NextEventClock = ClockOf(next);
}

// The RAM that the g-accesses not yet drawn may read: the character generator or the bitmap in
// display state (nothing when the character ROM stands there), the idle byte in idle state. The
// other fetches are made while BA holds the processor.
void VicII::UpdateWatch() {
  S.WatchSize = 0;
  if (S.DrawnCycle >= LastGAccessCycle) return;
  const std::uint8_t control = S.Registers[Control1];
  const std::uint8_t pointers = S.Registers[MemoryPointers];
  unsigned base;
  unsigned size;
  if (!S.DisplayState && !S.BadLine) {
    base = (control & Ecm) ? 0x39FF : 0x3FFF;
    size = 1;
  } else if (control & Bmm) {
    base = (pointers & 0x08u) << 10;
    size = 0x2000;
  } else {
    base = (pointers & 0x0Eu) << 10;
    size = (S.Bank & 1) == 0 && (base & 0x3000) == 0x1000 ? 0 : 0x800;
  }
  S.WatchLow = (unsigned{S.Bank} << 14) | base;
  S.WatchSize = size;
}

LineEnd VicII::StartCycle(std::uint64_t clock) {
  LineEnd ended = LineEnd::None;
  int cycle = LineCycle(clock);
  if (cycle > Timing().CyclesPerLine) {
    DrawUpTo(Timing().CyclesPerLine);
    FinishLine();
    S.LineStart += static_cast<unsigned>(Timing().CyclesPerLine);
    NewLine();
    ended = S.Line == 0 ? LineEnd::Frame : LineEnd::Line;
    cycle = 1;
  } else {
    DrawUpTo(cycle - 1);
  }
  switch (cycle) {
    case 1:
      if (S.Line != 0) CompareRaster();
      break;
    case LineZeroCompareCycle:
      if (S.Line == 0) CompareRaster();
      break;
    case VideoCounterCycle:
      S.Vc = S.VcBase;
      S.Vmli = 0;
      if (S.BadLine) S.Rc = 0;
      break;
    case SpriteBaseCycle:
      SpriteCounters();
      break;
    case SpriteDmaCycle:
      SpriteDmaCheck(true);
      break;
    case SpriteDmaAgainCycle:
      SpriteDmaCheck(false);
      break;
    default:
      break;
  }
  if (cycle == Timing().DisplayCheckCycle) DisplayCheck();
  UpdateWatch();
  Schedule(cycle);
  return ended;
}

// The counters move on to the next line, which may be the next frame's first: the video
// standard switches here, and a line past the new standard's last begins the next frame. The
// light pen may fire again in a new frame.
void VicII::NewLine() {
  if (S.Pal != S.PendingPal) SettingStale = true;
  S.Pal = S.PendingPal;
  ++S.Line;
  if (S.Line >= LinesPerFrame()) S.Line = 0;
  S.SpriteBa = S.NextSpriteBa;
  S.NextSpriteBa = CycleMask{};
  S.RasterIrqDone = false;
  S.DrawnCycle = 0;
  S.DisplayFrom = 0;
  if (S.Line == 0) {
    S.VcBase = 0;
    S.LightPenDone = false;
  }
  if (S.Line == FirstBadLine) S.DenLatch = (S.Registers[Control1] & Den) != 0;
  S.BadLine = false;
  UpdateBadLine(0);
}

// The raster interrupt comes when RASTER becomes equal to the compare value, by counting or by a
// write to the compare value, at most once a line.
void VicII::CompareRaster() {
  const bool match = S.Line == S.Compare;
  if (match && !S.CompareMatch && !S.RasterIrqDone) {
    Latch(RasterInterrupt);
    S.RasterIrqDone = true;
  }
  S.CompareMatch = match;
}

// --- Sprites ---------------------------------------------------------------------------------

// Cycles 15 and 16: a sprite whose flip-flop is set has shown its row and moves on to the next
// (MCBASE + 2, then + 1: MCBASE <- MC); after the last row its DMA ends. A sprite whose MCBASE a
// $D017 write in cycle 15 already mixed (Write) keeps that value.
void VicII::SpriteCounters() {
  for (int n = 0; n < 8; ++n) {
    Sprite& sprite = S.Sprites[n];
    if (!sprite.Dma || !sprite.ExpandFlop) continue;
    if (!((S.CrunchedBase >> n) & 1)) sprite.McBase = (sprite.McBase + 3) & SpriteCounterMask;
    if (sprite.McBase == SpriteRowEnd) sprite.Dma = false;
  }
  S.CrunchedBase = 0;
}

// Cycles 55 and 56: the Y-expanded sprites' flip-flops turn over (55 only), and an enabled
// sprite whose Y is the raster line starts its DMA. The sprites with DMA then take the bus for
// their fetches: BA falls three cycles before a sprite's pointer fetch and rises after its
// second data cycle, in this line for sprites 0-2 and partly in the next for the others.
void VicII::SpriteDmaCheck(bool toggleFlops) {
  const std::uint8_t expand = S.Registers[SpriteExpandY];
  const std::uint8_t enable = S.Registers[SpriteEnable];
  const int cycles = Timing().CyclesPerLine;
  S.SpriteBa = CycleMask{};
  S.NextSpriteBa = CycleMask{};
  for (int n = 0; n < 8; ++n) {
    Sprite& sprite = S.Sprites[n];
    const bool expanded = (expand >> n) & 1;
    if (toggleFlops && expanded) sprite.ExpandFlop = !sprite.ExpandFlop;
    if (((enable >> n) & 1) && S.Registers[SpriteY0 + 2 * n] == (S.Line & 0xFF) && !sprite.Dma) {
      sprite.Dma = true;
      sprite.McBase = 0;
      if (expanded) sprite.ExpandFlop = false;
    }
    if (!sprite.Dma) continue;
    const int pointer = Timing().PointerCycle[n];
    for (int k = pointer - 3; k <= pointer + 1; ++k) {
      if (n < 3) {
        S.SpriteBa.Set(k);
      } else if (k <= 0) {
        S.SpriteBa.Set(cycles + k);
      } else {
        S.NextSpriteBa.Set(k);
      }
    }
  }
}

// Cycle 58: each sprite's data counter starts its row; a sprite with DMA whose Y is the raster
// line is shown from here on, one without is no longer shown. The sequencer goes idle after a
// character's last pixel row, and counts rows while it shows them.
void VicII::DisplayCheck() {
  for (int n = 0; n < 8; ++n) {
    Sprite& sprite = S.Sprites[n];
    sprite.Mc = sprite.McBase;
    if (!sprite.Dma) {
      sprite.Display = false;
    } else if (S.Registers[SpriteY0 + 2 * n] == (S.Line & 0xFF)) {
      sprite.Display = true;
    }
  }
  if (S.Rc == 7) {
    S.DisplayState = false;
    S.VcBase = S.Vc;
  }
  if (S.BadLine) S.DisplayState = true;
  if (S.DisplayState) S.Rc = (S.Rc + 1) & 7;
}

// --- Registers -------------------------------------------------------------------------------

std::uint8_t VicII::Peek(int reg, std::uint64_t clock) const {
  reg &= 0x3F;
  const std::uint8_t value = S.Registers[reg];
  switch (reg) {
    case Control1:
      return static_cast<std::uint8_t>((value & 0x7F) | ((RasterAt(clock) & 0x100) >> 1));
    case RasterRegister: return static_cast<std::uint8_t>(RasterAt(clock));
    case LightPenX: return S.LightPenX;
    case LightPenY: return S.LightPenY;
    case Control2: return value | 0xC0;
    case MemoryPointers: return value | 0x01;
    case InterruptRegister:
      return static_cast<std::uint8_t>(S.InterruptLatch | 0x70 | (IrqAsserted() ? 0x80 : 0));
    case InterruptEnableRegister: return S.InterruptEnable | 0xF0;
    case SpriteSpriteCollision: return S.SpriteSprite;
    case SpriteBackgroundCollision: return S.SpriteBackground;
    default:
      if (reg >= BorderColor && reg <= LastColor) return value | 0xF0;
      return reg > LastColor ? 0xFF : value;
  }
}

// The collision registers and the latch show the pixels drawn up to the cycle before the read.
std::uint8_t VicII::Read(int reg, std::uint64_t clock) {
  reg &= 0x3F;
  if (reg == InterruptRegister || reg == SpriteSpriteCollision ||
      reg == SpriteBackgroundCollision) {
    DrawUpTo(LineCycle(clock) - 1);
  }
  const std::uint8_t value = Peek(reg, clock);
  if (reg == SpriteSpriteCollision) S.SpriteSprite = 0;
  if (reg == SpriteBackgroundCollision) S.SpriteBackground = 0;
  return value;
}

// A write in cycle c counts from cycle c + 1: the chip draws up to c with what it replaces.
void VicII::Write(int reg, std::uint8_t value, std::uint64_t clock) {
  reg &= 0x3F;
  if (reg > LastColor) return;
  const int cycle = LineCycle(clock);
  DrawUpTo(cycle);
  // The chip looks again in the next cycle.
  S.NextEventClock = clock + 1;
  switch (reg) {
    case InterruptRegister:
      S.InterruptLatch &= static_cast<std::uint8_t>(~value & 0x0F);
      return;
    case InterruptEnableRegister:
      S.InterruptEnable = value & 0x0F;
      return;
    case LightPenX:
    case LightPenY:
    case SpriteSpriteCollision:
    case SpriteBackgroundCollision:
      return;
    default:
      break;
  }
  S.Registers[reg] = value;
  SettingStale = true;
  if (reg == SpriteExpandY) {
    // A sprite that is not Y-expanded keeps its flip-flop set. Set in cycle 15, while the chip
    // moves MCBASE on, it mixes MCBASE with MC: OR in bits 0, 2 and 4, AND in bits 1, 3 and 5.
    for (int n = 0; n < 8; ++n) {
      Sprite& sprite = S.Sprites[n];
      if ((value >> n) & 1) continue;
      if (cycle == SpriteCrunchCycle && sprite.Dma && !sprite.ExpandFlop) {
        sprite.McBase = static_cast<std::uint8_t>(((sprite.Mc | sprite.McBase) & 0x15) |
                                                  (sprite.Mc & sprite.McBase & 0x2A));
        S.CrunchedBase |= static_cast<std::uint8_t>(1u << n);
      }
      sprite.ExpandFlop = true;
    }
  }
  if (reg == Control1 || reg == RasterRegister) {
    S.Compare = static_cast<std::uint16_t>(((S.Registers[Control1] & 0x80) << 1) |
                                           S.Registers[RasterRegister]);
    const bool match = RasterAt(clock) == S.Compare;
    if (match && !S.CompareMatch && !S.RasterIrqDone) {
      Latch(RasterInterrupt);
      S.RasterIrqDone = true;
    }
    S.CompareMatch = match;
  }
  if (reg == Control1) {
    if (S.Line == FirstBadLine && (value & Den)) S.DenLatch = true;
    UpdateBadLine(cycle);
  }
  UpdateWatch();
}

void VicII::SetBank(std::uint8_t bank, std::uint64_t clock) {
  bank &= 3;
  if (bank == S.Bank) return;
  DrawUpTo(LineCycle(clock));
  S.Bank = bank;
  UpdateWatch();
}

// The latch takes X at the end of the cycle the input fell in, halved, and RASTER's low byte.
void VicII::SetLightPen(bool low, std::uint64_t clock) {
  const bool falling = low && !S.LightPenLow;
  S.LightPenLow = low;
  if (!falling || S.LightPenDone) return;
  S.LightPenDone = true;
  const int cycle = std::min(LineCycle(clock), Timing().CyclesPerLine);
  S.LightPenX = static_cast<std::uint8_t>(CycleX(cycle % Timing().CyclesPerLine + 1) >> 1);
  S.LightPenY = static_cast<std::uint8_t>(RasterAt(clock));
  Latch(LightPenInterrupt);
  S.NextEventClock = std::min(S.NextEventClock, clock + 1);
}

std::uint16_t VicII::ScreenAddress() const {
  return static_cast<std::uint16_t>((S.Bank << 14) | MatrixBase());
}

// The g-access of a cycle not yet drawn is found by counting the display-state accesses between
// the last one drawn and it.
std::uint8_t VicII::Phi1Byte(std::uint64_t clock) const {
  int cycle = LineCycle(clock);
  const int cycles = Timing().CyclesPerLine;
  if (cycle > cycles) cycle -= cycles;
  for (int n = 0; n < 8; ++n) {
    const int pointer = Timing().PointerCycle[n];
    if (cycle == pointer) return Fetch(MatrixBase() + 0x3F8u + static_cast<unsigned>(n));
    if (cycle == pointer % cycles + 1 && S.Sprites[n].Dma) {
      const unsigned data = Fetch(MatrixBase() + 0x3F8u + static_cast<unsigned>(n));
      return Fetch((data << 6) | ((S.Sprites[n].McBase + 1u) & SpriteCounterMask));
    }
  }
  const bool ecm = (S.Registers[Control1] & Ecm) != 0;
  if (cycle >= FirstRefreshCycle && cycle <= LastRefreshCycle) {
    const unsigned refresh = (0xFFu - 5u * S.Line - static_cast<unsigned>(cycle - FirstRefreshCycle)) & 0xFF;
    return Fetch(0x3F00 | refresh);
  }
  const int displayFrom = std::max({S.DrawnCycle + 1, FirstGAccessCycle, int{S.DisplayFrom}});
  if (cycle >= FirstGAccessCycle && cycle <= LastGAccessCycle && S.DisplayState &&
      cycle >= S.DisplayFrom) {
    const unsigned ahead = static_cast<unsigned>(std::max(cycle - displayFrom, 0));
    const unsigned vc = (S.Vc + ahead) & 0x3FF;
    const unsigned vmli = std::min(S.Vmli + ahead, unsigned{Columns - 1});
    unsigned address;
    if (S.Registers[Control1] & Bmm) {
      address = ((S.Registers[MemoryPointers] & 0x08u) << 10) | (vc << 3) | S.Rc;
    } else {
      address = ((S.Registers[MemoryPointers] & 0x0Eu) << 10) | (unsigned{S.MatrixLine[vmli]} << 3) | S.Rc;
    }
    return Fetch(ecm ? address & ~0x0600u : address);
  }
  return Fetch(ecm ? 0x39FF : 0x3FFF);
}

// --- Snapshots -------------------------------------------------------------------------------

template <class Stream, class Self>
void VicII::Fields(Stream& s, Self& v) {
  s.Flag(v.Pal);
  s.Flag(v.PendingPal);
  s.Raw(v.Registers, sizeof v.Registers);
  s.Field(v.Line);
  s.Field(v.LineStart);
  s.Field(v.Compare);
  s.Flag(v.CompareMatch);
  s.Flag(v.RasterIrqDone);
  s.Field(v.InterruptLatch);
  s.Field(v.InterruptEnable);
  s.Field(v.SpriteSprite);
  s.Field(v.SpriteBackground);
  s.Field(v.Bank);
  s.Flag(v.DenLatch);
  s.Flag(v.BadLine);
  s.Field(v.BadLineBa);
  s.Flag(v.DisplayState);
  s.Field(v.DisplayFrom);
  s.Field(v.Vc);
  s.Field(v.VcBase);
  s.Field(v.Rc);
  s.Field(v.Vmli);
  s.Raw(v.MatrixLine, sizeof v.MatrixLine);
  s.Raw(v.ColorLine, sizeof v.ColorLine);
  for (auto& sprite : v.Sprites) {
    s.Field(sprite.Mc);
    s.Field(sprite.McBase);
    s.Flag(sprite.ExpandFlop);
    s.Flag(sprite.Dma);
    s.Flag(sprite.Display);
    s.Field(sprite.Data);
    s.Field(sprite.Shifted);
    s.Flag(sprite.Shifting);
  }
  s.Field(v.CrunchedBase);
  s.Field(v.SpriteBa.Low);
  s.Field(v.SpriteBa.High);
  s.Field(v.NextSpriteBa.Low);
  s.Field(v.NextSpriteBa.High);
  s.Field(v.BaLowUntil);
  s.Field(v.NextEventClock);
  s.Field(v.DrawnCycle);
  s.Flag(v.MainBorder);
  s.Flag(v.VerticalBorder);
  for (auto& byte : v.Sequencer) {
    s.Field(byte.Pattern);
    s.Field(byte.Code);
    s.Field(byte.Color);
    s.Flag(byte.Fetched);
  }
  s.Raw(v.LinePixels, sizeof v.LinePixels);
  s.Flag(v.LightPenLow);
  s.Flag(v.LightPenDone);
  s.Field(v.LightPenX);
  s.Field(v.LightPenY);
}

void VicII::Save(SnapshotWriter& out) const { Fields(out, S); }

bool VicII::Load(SnapshotReader& in) {
  State loaded = S;
  Fields(in, loaded);
  const VicTiming& timing = loaded.Pal ? PalTiming : NtscTiming;
  bool valid = !in.Failed && loaded.Line < timing.LinesPerFrame && loaded.Bank <= 3 &&
               loaded.Rc <= 7 && loaded.Vc <= 0x3FF && loaded.VcBase <= 0x3FF &&
               loaded.Vmli <= Columns && loaded.Compare <= 0x1FF &&
               loaded.InterruptLatch <= 0x0F && loaded.InterruptEnable <= 0x0F &&
               loaded.DrawnCycle <= timing.CyclesPerLine &&
               loaded.NextEventClock > loaded.LineStart &&
               loaded.NextEventClock - loaded.LineStart <= static_cast<unsigned>(timing.CyclesPerLine);
  for (const Sprite& sprite : loaded.Sprites) {
    valid = valid && sprite.Mc <= SpriteCounterMask && sprite.McBase <= SpriteCounterMask &&
            sprite.Data <= 0xFFFFFF && sprite.Shifted <= SpriteShiftEnd;
  }
  if (!valid) return false;
  S = loaded;
  SettingStale = true;
  UpdateWatch();
  return true;
}

}  // namespace quillon::accurate
