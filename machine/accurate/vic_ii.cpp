#include "accurate/vic_ii.h"

#include <algorithm>
#include <cstring>

#include "interface/picture.h"

namespace quillon::accurate {
namespace {

// Register numbers.
constexpr int SpriteY0 = 0x01;
constexpr int Control1 = 0x11;
constexpr int RasterRegister = 0x12;
constexpr int LightPenX = 0x13;
constexpr int LightPenY = 0x14;
constexpr int SpriteEnable = 0x15;
constexpr int Control2 = 0x16;
constexpr int SpriteExpandY = 0x17;
constexpr int MemoryPointers = 0x18;
constexpr int InterruptRegister = 0x19;
constexpr int InterruptEnableRegister = 0x1A;
constexpr int SpriteSpriteCollision = 0x1E;
constexpr int SpriteBackgroundCollision = 0x1F;
constexpr int BorderColor = 0x20;
constexpr int LastColor = 0x2E;

constexpr std::uint8_t Den = 0x10;
constexpr std::uint8_t Rsel = 0x08;

// Interrupt latch bits.
constexpr std::uint8_t RasterInterrupt = 0x01;
constexpr std::uint8_t BackgroundCollisionInterrupt = 0x02;
constexpr std::uint8_t SpriteCollisionInterrupt = 0x04;

// Fixed cycles of every line.
constexpr int LineZeroCompareCycle = 2;
constexpr int FirstBadLineBaCycle = 12;
constexpr int VideoCounterCycle = 14;
constexpr int SpriteBaseCycle = 16;
constexpr int SpriteDmaCycle = 55;
constexpr int SpriteDmaAgainCycle = 56;
constexpr int LastCAccessCycle = 54;
constexpr int FirstGAccessCycle = 16;
constexpr int LastGAccessCycle = 55;
constexpr int FirstRefreshCycle = 11;
constexpr int LastRefreshCycle = 15;

// Bad lines happen between these raster lines; the DEN bit is looked at in the first.
constexpr int FirstBadLine = 0x30;
constexpr int LastBadLine = 0xF7;

constexpr std::uint8_t SpriteRowEnd = 63;
constexpr std::uint8_t SpriteCounterMask = 0x3F;

}  // namespace

// --- Cycle masks -----------------------------------------------------------------------------

bool VicII::CycleMask::Test(int cycle) const {
  return cycle < 64 ? (Low >> cycle) & 1 : (High >> (cycle - 64)) & 1;
}

void VicII::CycleMask::Set(int cycle) {
  if (cycle < 64) {
    Low |= std::uint64_t{1} << cycle;
  } else {
    High |= std::uint64_t{1} << (cycle - 64);
  }
}

// --- Power and time ---------------------------------------------------------------------------

void VicII::PowerOn(bool pal, std::uint64_t clock) {
  S = State{};
  S.Pal = S.PendingPal = pal;
  S.LineStart = clock;
  S.Rc = 7;
  S.VerticalBorder = true;
  for (Sprite& sprite : S.Sprites) sprite.ExpandFlop = true;
  UpdateBadLine(0);
  Schedule(1);
}

std::uint16_t VicII::RasterAt(std::uint64_t clock) const {
  // RASTER moves to line 0 one cycle late.
  if (S.Line == 0 && LineCycle(clock) == 1) return static_cast<std::uint16_t>(LinesPerFrame() - 1);
  return S.Line;
}

bool VicII::BadLineCondition() const {
  return S.Line >= FirstBadLine && S.Line <= LastBadLine &&
         (S.Line & 7) == (S.Registers[Control1] & 7) && S.DenLatch;
}

// The condition as it stands from line cycle `cycle` + 1 on (the whole line for 0): a bad line
// enters display state, and one that comes before the last c-access makes the line's c-accesses.
void VicII::UpdateBadLine(int cycle) {
  S.BadLine = BadLineCondition();
  if (!S.BadLine) return;
  S.DisplayState = true;
  if (cycle < LastCAccessCycle) S.BadLineSeen = true;
}

bool VicII::BaLowAt(int cycle) const {
  return (S.BadLine && cycle >= FirstBadLineBaCycle && cycle <= LastCAccessCycle) ||
         S.SpriteBa.Test(cycle);
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

// After the work of `cycle`: how long BA stays low from it, and the next cycle with work, which
// is the next fixed event or the next cycle in which BA falls.
void VicII::Schedule(int cycle) {
  const int end = Timing().CyclesPerLine + 1;
  int run = cycle;
  while (run < end && BaLowAt(run)) ++run;
  S.BaLowUntil = run > cycle ? ClockOf(run) : 0;
  const int fixed = NextFixedEvent(cycle);
  int fall = std::max(run, cycle + 1);
  while (fall < fixed && !BaLowAt(fall)) ++fall;
  S.NextEventClock = ClockOf(std::min(fixed, fall));
}

LineEnd VicII::StartCycle(std::uint64_t clock) {
  LineEnd ended = LineEnd::None;
  int cycle = LineCycle(clock);
  if (cycle > Timing().CyclesPerLine) {
    S.LineStart += static_cast<unsigned>(Timing().CyclesPerLine);
    NewLine();
    ended = S.Line == 0 ? LineEnd::Frame : LineEnd::Line;
    cycle = 1;
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
  if (cycle == Timing().DisplayCheckCycle) {
    DrawLine();
    DisplayCheck();
  }
  Schedule(cycle);
  return ended;
}

// The counters move on to the next line, which may be the next frame's first: the video
// standard switches here, and a line past the new standard's last begins the next frame.
void VicII::NewLine() {
  S.Pal = S.PendingPal;
  ++S.Line;
  if (S.Line >= LinesPerFrame()) S.Line = 0;
  S.SpriteBa = S.NextSpriteBa;
  S.NextSpriteBa = CycleMask{};
  S.RasterIrqDone = false;
  S.BadLineSeen = false;
  if (S.Line == 0) S.VcBase = 0;
  if (S.Line == FirstBadLine) S.DenLatch = (S.Registers[Control1] & Den) != 0;
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

// Cycle 16: a sprite whose flip-flop is set has shown its row and moves on to the next; after
// the last row its DMA ends.
void VicII::SpriteCounters() {
  for (Sprite& sprite : S.Sprites) {
    if (!sprite.Dma || !sprite.ExpandFlop) continue;
    sprite.McBase = (sprite.McBase + 3) & SpriteCounterMask;
    if (sprite.McBase == SpriteRowEnd) sprite.Dma = false;
  }
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
// line is shown from the next line on, one without is no longer shown; the rows for the next
// line are fetched. The sequencer goes idle after a character's last pixel row, and counts rows
// while it shows them.
void VicII::DisplayCheck() {
  for (int n = 0; n < 8; ++n) {
    Sprite& sprite = S.Sprites[n];
    sprite.Mc = sprite.McBase;
    if (!sprite.Dma) {
      sprite.Display = false;
      continue;
    }
    if (S.Registers[SpriteY0 + 2 * n] == (S.Line & 0xFF)) sprite.Display = true;
    const unsigned pointer = Fetch(MatrixBase() + 0x3F8u + static_cast<unsigned>(n));
    std::uint32_t row = 0;
    for (int i = 0; i < 3; ++i) {
      row = (row << 8) | Fetch((pointer << 6) | sprite.Mc);
      sprite.Mc = (sprite.Mc + 1) & SpriteCounterMask;
    }
    sprite.Data = row;
  }
  if (S.Rc == 7) {
    S.DisplayState = false;
    S.VcBase = S.Vc;
  }
  if (S.BadLine) S.DisplayState = true;
  if (S.DisplayState) S.Rc = (S.Rc + 1) & 7;
}

// --- Drawing ---------------------------------------------------------------------------------

void VicII::DrawLine() {
  const std::uint8_t control = S.Registers[Control1];
  // The picture numbers its lines one behind RASTER: the display window's first line, RASTER 51
  // with 25 rows, is its line 50 (FirstPictureLine), as the classic model draws it.
  const int pictureLine = (S.Line + LinesPerFrame() - 1) % LinesPerFrame();
  if (Borders != nullptr && pictureLine < BorderTableLines) {
    Borders[pictureLine] = S.Registers[BorderColor] & 0x0F;
  }
  // The vertical border closes on the bottom line and opens on the top one while DEN is set.
  const int top = (control & Rsel) ? 51 : 55;
  const int bottom = (control & Rsel) ? 251 : 247;
  if (S.Line == bottom) {
    S.VerticalBorder = true;
  } else if (S.Line == top && (control & Den)) {
    S.VerticalBorder = false;
  }
  if (S.BadLineSeen) {
    // The line's 40 c-accesses, from VC on.
    for (unsigned i = 0; i < 40; ++i) {
      const unsigned offset = (S.Vc + i) & 0x3FF;
      S.MatrixLine[i] = Fetch(MatrixBase() | offset);
      S.ColorLine[i] = Memory.ColorRam[offset] & 0x0F;
    }
  }
  const int row = pictureLine - FirstPictureLine;
  if (Window != nullptr && row >= 0 && row < PictureHeight) {
    std::uint32_t data[8];
    std::uint8_t shown = 0;
    for (int n = 0; n < 8; ++n) {
      data[n] = S.Sprites[n].Data;
      if (S.Sprites[n].Display) shown |= static_cast<std::uint8_t>(1u << n);
    }
    const LineInput input = {&Memory, S.Registers, S.Bank, S.MatrixLine, S.ColorLine,
                             S.DisplayState, S.Vc, S.Rc, S.VerticalBorder, shown, data,
                             Timing().LeftmostX, Timing().XWrap};
    const LineCollisions hits = DrawWindowLine(input, Window + row * PictureWidth);
    // A collision register that was clear raises its interrupt with its first bits.
    if (hits.SpriteSprite != 0 && S.SpriteSprite == 0) Latch(SpriteCollisionInterrupt);
    if (hits.SpriteBackground != 0 && S.SpriteBackground == 0) {
      Latch(BackgroundCollisionInterrupt);
    }
    S.SpriteSprite |= hits.SpriteSprite;
    S.SpriteBackground |= hits.SpriteBackground;
  }
  if (S.DisplayState) S.Vc = (S.Vc + 40) & 0x3FF;
}

// --- Registers -------------------------------------------------------------------------------

std::uint8_t VicII::Peek(int reg, std::uint64_t clock) const {
  reg &= 0x3F;
  const std::uint8_t value = S.Registers[reg];
  switch (reg) {
    case Control1:
      return static_cast<std::uint8_t>((value & 0x7F) | ((RasterAt(clock) & 0x100) >> 1));
    case RasterRegister: return static_cast<std::uint8_t>(RasterAt(clock));
    case LightPenX:
    case LightPenY: return 0;
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

std::uint8_t VicII::Read(int reg, std::uint64_t clock) {
  const std::uint8_t value = Peek(reg, clock);
  if ((reg & 0x3F) == SpriteSpriteCollision) S.SpriteSprite = 0;
  if ((reg & 0x3F) == SpriteBackgroundCollision) S.SpriteBackground = 0;
  return value;
}

void VicII::Write(int reg, std::uint8_t value, std::uint64_t clock) {
  reg &= 0x3F;
  if (reg > LastColor) return;
  switch (reg) {
    case InterruptRegister:
      S.InterruptLatch &= static_cast<std::uint8_t>(~value & 0x0F);
      return;
    case InterruptEnableRegister:
      S.InterruptEnable = value & 0x0F;
      return;
    case SpriteSpriteCollision:
    case SpriteBackgroundCollision:
      return;
    default:
      break;
  }
  S.Registers[reg] = value;
  if (reg == SpriteExpandY) {
    // A sprite that is not Y-expanded keeps its flip-flop set.
    for (int n = 0; n < 8; ++n) {
      if (!((value >> n) & 1)) S.Sprites[n].ExpandFlop = true;
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
    UpdateBadLine(LineCycle(clock));
  }
  // The write counts from the next cycle on: the chip looks again there.
  S.NextEventClock = clock + 1;
}

std::uint16_t VicII::ScreenAddress() const {
  return static_cast<std::uint16_t>((S.Bank << 14) | MatrixBase());
}

std::uint8_t VicII::Phi1Byte(std::uint64_t clock) const {
  int cycle = LineCycle(clock);
  const int cycles = Timing().CyclesPerLine;
  if (cycle > cycles) cycle -= cycles;
  for (int n = 0; n < 8; ++n) {
    const int pointer = Timing().PointerCycle[n];
    if (cycle == pointer) return Fetch(MatrixBase() + 0x3F8u + static_cast<unsigned>(n));
    if (cycle == pointer % cycles + 1 && S.Sprites[n].Dma) {
      const unsigned data = Fetch(MatrixBase() + 0x3F8u + static_cast<unsigned>(n));
      return Fetch((data << 6) | S.Sprites[n].Mc);
    }
  }
  const bool ecm = (S.Registers[Control1] & 0x40) != 0;
  if (cycle >= FirstRefreshCycle && cycle <= LastRefreshCycle) {
    const unsigned refresh = (0xFFu - 5u * S.Line - static_cast<unsigned>(cycle - FirstRefreshCycle)) & 0xFF;
    return Fetch(0x3F00 | refresh);
  }
  if (cycle >= FirstGAccessCycle && cycle <= LastGAccessCycle && S.DisplayState) {
    const unsigned i = static_cast<unsigned>(cycle - FirstGAccessCycle);
    unsigned address;
    if (S.Registers[Control1] & 0x20) {
      address = ((S.Registers[MemoryPointers] & 0x08u) << 10) | (((S.Vc + i) & 0x3FF) << 3) | S.Rc;
    } else {
      address = ((S.Registers[MemoryPointers] & 0x0Eu) << 10) | (unsigned{S.MatrixLine[i]} << 3) | S.Rc;
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
  s.Flag(v.BadLineSeen);
  s.Flag(v.DisplayState);
  s.Flag(v.VerticalBorder);
  s.Field(v.Vc);
  s.Field(v.VcBase);
  s.Field(v.Rc);
  s.Raw(v.MatrixLine, sizeof v.MatrixLine);
  s.Raw(v.ColorLine, sizeof v.ColorLine);
  for (auto& sprite : v.Sprites) {
    s.Field(sprite.Mc);
    s.Field(sprite.McBase);
    s.Flag(sprite.ExpandFlop);
    s.Flag(sprite.Dma);
    s.Flag(sprite.Display);
    s.Field(sprite.Data);
  }
  s.Field(v.SpriteBa.Low);
  s.Field(v.SpriteBa.High);
  s.Field(v.NextSpriteBa.Low);
  s.Field(v.NextSpriteBa.High);
  s.Field(v.BaLowUntil);
  s.Field(v.NextEventClock);
}

void VicII::Save(SnapshotWriter& out) const { Fields(out, S); }

bool VicII::Load(SnapshotReader& in) {
  State loaded = S;
  Fields(in, loaded);
  const VicTiming& timing = loaded.Pal ? PalTiming : NtscTiming;
  bool valid = !in.Failed && loaded.Line < timing.LinesPerFrame && loaded.Bank <= 3 &&
               loaded.Rc <= 7 && loaded.Vc <= 0x3FF && loaded.VcBase <= 0x3FF &&
               loaded.Compare <= 0x1FF && loaded.InterruptLatch <= 0x0F &&
               loaded.InterruptEnable <= 0x0F && loaded.NextEventClock > loaded.LineStart &&
               loaded.NextEventClock - loaded.LineStart <= static_cast<unsigned>(timing.CyclesPerLine);
  for (const Sprite& sprite : loaded.Sprites) {
    valid = valid && sprite.Mc <= SpriteCounterMask && sprite.McBase <= SpriteCounterMask &&
            sprite.Data <= 0xFFFFFF;
  }
  if (!valid) return false;
  S = loaded;
  return true;
}

}  // namespace quillon::accurate
