// The VIC-II's picture, cycle by cycle: the fetches each cycle makes (g-, c- and s-accesses),
// the graphics sequencer's eight pixels of every slot in every mode (display and idle state),
// the sprites' shift registers, the priority multiplexer, the collisions, and the border unit's
// two flip-flops. The slot model and the catch-up that drives it are described in vic_ii.h.
#include <algorithm>
#include <array>
#include <cstring>

#include "accurate/vic_constants.h"
#include "accurate/vic_ii.h"
#include "interface/picture.h"

namespace quillon::accurate {

using namespace vic;

namespace {

// A slot's eight pixels as one word, the leftmost pixel at the lowest address.
using SlotPixels = std::uint64_t;

constexpr SlotPixels Splat(unsigned color) { return (color & 0x0F) * 0x0101010101010101ull; }

constexpr SlotPixels Select(SlotPixels mask, SlotPixels set, SlotPixels clear) {
  return (set & mask) | (clear & ~mask);
}

// Pixel masks are bytes whose bit j stands for the slot's pixel j, leftmost first: a pattern
// byte (bit 7 leftmost) is turned round, and a mask is spread into $FF bytes of a word.
struct MaskTables {
  std::array<std::uint8_t, 256> Reverse;
  std::array<SlotPixels, 256> Spread;
};

constexpr MaskTables MakeMaskTables() {
  MaskTables tables{};
  for (unsigned value = 0; value < 256; ++value) {
    unsigned reversed = 0;
    SlotPixels spread = 0;
    for (unsigned j = 0; j < 8; ++j) {
      if (value & (0x80u >> j)) reversed |= 1u << j;
      if (value & (1u << j)) spread |= SlotPixels{0xFF} << (8 * j);
    }
    tables.Reverse[value] = static_cast<std::uint8_t>(reversed);
    tables.Spread[value] = spread;
  }
  return tables;
}

constexpr MaskTables Tables = MakeMaskTables();

// Read as four pairs of two pixels each, the pixels whose pair has its first (high) or second
// (low) bit set, from a turned-round pattern.
constexpr std::uint8_t PairHigh(std::uint8_t bits) {
  const auto high = static_cast<std::uint8_t>(bits & 0x55);
  return static_cast<std::uint8_t>(high | (high << 1));
}
constexpr std::uint8_t PairLow(std::uint8_t bits) {
  const auto low = static_cast<std::uint8_t>((bits >> 1) & 0x55);
  return static_cast<std::uint8_t>(low | (low << 1));
}

// A graphics byte's eight pixels, and its foreground pixels (for priority and collisions).
struct Cell {
  SlotPixels Pixels;
  std::uint8_t Foreground;
};

// A byte's pixels in mode ECM | BMM | MCM, with the four background colours in `background`.
Cell MakeCell(unsigned mode, const SlotPixels* background, std::uint8_t pattern,
              std::uint8_t code, std::uint8_t color) {
  const std::uint8_t bits = Tables.Reverse[pattern];
  const SlotPixels b0 = background[0];
  switch (mode) {
    case 0:  // standard text
      return {Select(Tables.Spread[bits], Splat(color), b0), bits};
    case 1:  // multicolour text: colour bit 3 chooses bit pairs for the cell
      if (color & 0x08) {
        const SlotPixels low = Tables.Spread[PairLow(bits)];
        return {Select(Tables.Spread[PairHigh(bits)], Select(low, Splat(color & 7), background[2]),
                       Select(low, background[1], b0)),
                PairHigh(bits)};
      }
      return {Select(Tables.Spread[bits], Splat(color & 7), b0), bits};
    case 2:  // hires bitmap: the code's nibbles are the colours of 1 and 0
      return {Select(Tables.Spread[bits], Splat(code >> 4), Splat(code)), bits};
    case 3: {  // multicolour bitmap
      const SlotPixels low = Tables.Spread[PairLow(bits)];
      return {Select(Tables.Spread[PairHigh(bits)], Select(low, Splat(color), Splat(code)),
                     Select(low, Splat(code >> 4), b0)),
              PairHigh(bits)};
    }
    case 4:  // extended background colour text: the code's top bits choose the background
      return {Select(Tables.Spread[bits], Splat(color), background[code >> 6]), bits};
    case 5:  // the invalid modes are black, with the foreground of their multicolour shape
      return {0, (color & 0x08) ? PairHigh(bits) : bits};
    case 6:
      return {0, bits};
    default:
      return {0, PairHigh(bits)};
  }
}

// What each line cycle does besides putting out its slot: a g-access, a c-access (on a bad
// line), a border comparison, the line's last vertical comparison, a slot of the bordered
// picture; and which sprite fetches its row there (its pointer's cycle + 1), or -1.
enum CycleKind : std::uint8_t {
  GAccess = 1,
  CAccess = 2,
  BorderEdge = 4,
  LastCycle = 8,
  StoredSlot = 16,
};

// The border's comparisons fall into these slots, at these pixels of them.
constexpr int LeftWideSlot = 17;     // X 24, CSEL set: pixel 1
constexpr int LeftNarrowSlot = 18;   // X 31, CSEL clear: pixel 0
constexpr int RightNarrowSlot = 56;  // X 335, CSEL clear: pixel 0
constexpr int RightWideSlot = 57;    // X 344, CSEL set: pixel 1

// The slots that hold the bordered picture (X 4-363).
constexpr int FirstStoredSlot = 14;
constexpr int LastStoredSlot = 59;
// From here to the last g-access no slot has more to do than its graphics and fetches.
constexpr int FirstPlainCycle = LeftNarrowSlot + 1;

struct CycleTable {
  std::array<std::uint8_t, 66> Kind;
  std::array<std::int8_t, 66> Sprite;
};

constexpr CycleTable MakeCycleTable(const VicTiming& timing) {
  CycleTable table{};
  table.Sprite.fill(-1);
  for (int c = 1; c <= timing.CyclesPerLine; ++c) {
    unsigned kind = 0;
    if (c >= FirstGAccessCycle && c <= LastGAccessCycle) kind |= GAccess;
    if (c >= FirstCAccessCycle && c <= LastCAccessCycle) kind |= CAccess;
    if (c == LeftWideSlot || c == LeftNarrowSlot || c == RightNarrowSlot || c == RightWideSlot) {
      kind |= BorderEdge;
    }
    if (c == timing.CyclesPerLine) kind |= LastCycle;
    if (c >= FirstStoredSlot && c <= LastStoredSlot) kind |= StoredSlot;
    table.Kind[c] = static_cast<std::uint8_t>(kind);
  }
  for (int n = 0; n < 8; ++n) table.Sprite[timing.PointerCycle[n] + 1] = static_cast<std::int8_t>(n);
  return table;
}

constexpr CycleTable PalCycles = MakeCycleTable(PalTiming);
constexpr CycleTable NtscCycles = MakeCycleTable(NtscTiming);

// Line pixels: slot c holds pixels 8(c - 1) to 8c - 1. The first pixel of the line has X =
// FirstX - 5; X wraps to 0 after $1F7 (6569) or $1FF (6567R8), which holds X = $18C for eight
// more pixels near the line's end.
constexpr int NeverPixel = 0x7FFF;
constexpr int NtscHeldPixels = 8;
constexpr int NtscHeldX = 0x18C;

int SpritePixel(int x, const VicTiming& timing, bool pal) {
  const int first = timing.FirstX - 5;
  const int wrap = pal ? 0x1F8 : 0x200;
  if (x >= wrap) return NeverPixel;
  if (x >= first) return x - first;
  const int pixel = x + wrap - first;
  return !pal && x > NtscHeldX ? pixel + NtscHeldPixels : pixel;
}

// The bordered picture's first pixel (X = 4) in the line.
constexpr int FirstBorderedPixel = 109;

}  // namespace

bool VicII::CollisionInterruptDue() const {
  const bool armed =
      ((S.InterruptEnable & SpriteCollisionInterrupt) && S.SpriteSprite == 0) ||
      ((S.InterruptEnable & BackgroundCollisionInterrupt) && S.SpriteBackground == 0);
  return armed && std::any_of(std::begin(S.Sprites), std::end(S.Sprites),
                              [](const Sprite& s) { return s.Display || s.Shifting; });
}

void VicII::UpdateSetting() {
  const std::uint8_t* r = S.Registers;
  const std::uint8_t control = r[Control1];
  const std::uint8_t control2 = r[Control2];
  DrawSetting& set = Setting;
  set.Mode = ((control & (Ecm | Bmm)) >> 4) | ((control2 & Mcm) >> 4);
  set.Offset = (control2 & 7) + 1;
  for (int i = 0; i < 4; ++i) set.Background[i] = Splat(r[Background0 + i]);
  // Outside the column the sequencer shows the background colour; the invalid modes black.
  set.Outside = set.Mode >= 5 ? 0 : set.Background[0];
  set.Border = r[BorderColor] & 0x0F;
  set.BorderWord = Splat(set.Border);
  set.Csel = (control2 & Csel) != 0;
  set.Den = (control & Den) != 0;
  set.Top = (control & Rsel) ? 51 : 55;
  set.Bottom = (control & Rsel) ? 251 : 247;
  set.Matrix = MatrixBase();
  set.IdleAddress = (control & Ecm) ? 0x39FF : 0x3FFF;
  set.GraphicsBase = (control & Bmm) ? (r[MemoryPointers] & 0x08u) << 10
                                     : (r[MemoryPointers] & 0x0Eu) << 10;
  set.AddressMask = (control & Ecm) ? ~0x0600u : ~0u;
  for (int n = 0; n < 8; ++n) {
    const int x = r[SpriteX0 + 2 * n] | (((r[SpriteXHigh] >> n) & 1) << 8);
    set.StartPixel[n] = SpritePixel(x, Timing(), S.Pal);
  }
  SettingStale = false;
}

// The g-access in the first half of cycle c: the matrix line's entry and VC in display state,
// the idle byte otherwise; the sequencer shows it from the next slot on. The c-access in the
// second half of a bad line's cycle: in its first three cycles of BA the processor still holds
// the bus, and the chip reads $FF and the processor's colour nibble.
[[gnu::always_inline]] inline void VicII::Fetches(int c, unsigned kind) {
  const DrawSetting& set = Setting;
  GraphicsByte byte{0, 0, 0, false};
  if (kind & GAccess) {
    if (S.DisplayState && c >= S.DisplayFrom) {
      const unsigned i = std::min<unsigned>(S.Vmli, Columns - 1);
      byte.Code = S.MatrixLine[i];
      byte.Color = S.ColorLine[i];
      const unsigned index = (S.Registers[Control1] & Bmm) ? S.Vc : byte.Code;
      byte.Pattern = Fetch((set.GraphicsBase | (index << 3) | S.Rc) & set.AddressMask);
      S.Vc = (S.Vc + 1) & 0x3FF;
      ++S.Vmli;
    } else {
      byte.Pattern = Fetch(set.IdleAddress);
    }
    byte.Fetched = true;
  }
  S.Sequencer[0] = S.Sequencer[1];
  S.Sequencer[1] = byte;
  if ((kind & CAccess) && S.BadLine) {
    const unsigned i = std::min<unsigned>(S.Vmli, Columns - 1);
    if (c >= S.BadLineBa + BusTakeoverCycles) {
      S.MatrixLine[i] = Fetch(set.Matrix | S.Vc);
      S.ColorLine[i] = Memory.ColorRam[S.Vc] & 0x0F;
    } else {
      S.MatrixLine[i] = 0xFF;
      S.ColorLine[i] = Memory.DataBus != nullptr ? Memory.DataBus(Memory.Context) & 0x0F : 0x0F;
    }
  }
}

void VicII::DrawUpTo(int cycle) {
  const VicTiming& timing = Timing();
  // Never past a cycle whose start has work still to do.
  const int last = std::min({cycle, timing.CyclesPerLine, LineCycle(S.NextEventClock) - 1});
  if (last <= S.DrawnCycle) return;
  if (SettingStale) UpdateSetting();
  const DrawSetting& set = Setting;
  const std::uint8_t* r = S.Registers;
  const CycleTable& table = S.Pal ? PalCycles : NtscCycles;
  const int lines = timing.LinesPerFrame;
  const bool stored = (S.Line + lines - FirstBorderedLine - 1) % lines < BorderedHeight;

  // The sprites that may show in these cycles. With any, every slot is worked out for their
  // collisions; without, only the bordered picture's.
  std::uint8_t candidates = 0;
  for (int n = 0; n < 8; ++n) {
    if (S.Sprites[n].Display || S.Sprites[n].Shifting) candidates |= static_cast<std::uint8_t>(1u << n);
  }
  const unsigned drawnKinds = candidates != 0 ? 0xFF : stored ? StoredSlot : 0;

  Cell cells[2];
  bool cellReady[2] = {false, false};
  auto cellOf = [&](int i) -> const Cell& {
    if (!cellReady[i]) {
      const GraphicsByte& byte = S.Sequencer[i];
      cells[i] = byte.Fetched ? MakeCell(set.Mode, set.Background, byte.Pattern, byte.Code, byte.Color)
                              : Cell{set.Outside, 0};
      cellReady[i] = true;
    }
    return cells[i];
  };

  // The cycle's g- and c-access; the byte fetched moves into the sequencer.
  auto fetch = [&](int c, unsigned kind) {
    Fetches(c, kind);
    cells[0] = cells[1];
    cellReady[0] = cellReady[1];
    cellReady[1] = false;
  };

  // The slot's graphics: the end of the byte fetched two cycles before and the start of the
  // one fetched in the cycle before, as XSCROLL places them.
  auto sequencerSlot = [&]() -> Cell {
    const Cell& older = cellOf(0);
    if (set.Offset == 8) return older;
    const Cell& newer = cellOf(1);
    return {(older.Pixels >> (8 * (8 - set.Offset))) | (newer.Pixels << (8 * set.Offset)),
            static_cast<std::uint8_t>((older.Foreground >> (8 - set.Offset)) |
                                      (newer.Foreground << set.Offset))};
  };

  // The border's comparisons in slot c: a left edge sets the vertical flip-flop on the bottom
  // line and clears it on the top one while DEN is set, and opens the main one when the
  // vertical one is clear; a right edge closes the main one. Returns the pixel of the slot
  // where the main flip-flop takes its new state (8 for none).
  auto borderEdge = [&](int c) {
    const bool wide = c == LeftWideSlot || c == RightWideSlot;
    if (set.Csel != wide) return 8;
    if (c == LeftWideSlot || c == LeftNarrowSlot) {
      if (S.Line == set.Bottom) {
        S.VerticalBorder = true;
      } else if (S.Line == set.Top && set.Den) {
        S.VerticalBorder = false;
      }
      if (!S.VerticalBorder) S.MainBorder = false;
    } else {
      S.MainBorder = true;
    }
    return wide ? 1 : 0;
  };

  for (int c = S.DrawnCycle + 1; c <= last; ++c) {
    // Cycles 19-55 without sprites: no border comparison and no sprite fetch, so that the
    // flip-flops stand still and the slots are a run of graphics or of one colour.
    if (candidates == 0 && c >= FirstPlainCycle && c <= LastGAccessCycle) {
      const int to = std::min(last, LastGAccessCycle);
      const bool graphics = stored && !S.MainBorder && !S.VerticalBorder;
      if (stored && !graphics) {
        std::memset(S.LinePixels + 8 * (c - 1), S.MainBorder ? set.Border : set.Outside & 0x0F,
                    8u * static_cast<unsigned>(to - c + 1));
      }
      for (;; ++c) {
        if (graphics) {
          const SlotPixels word = sequencerSlot().Pixels;
          std::memcpy(S.LinePixels + 8 * (c - 1), &word, sizeof word);
        }
        fetch(c, table.Kind[c]);
        if (c == to) break;
        // In idle state every g-access reads the same byte: once the sequencer holds two of
        // them, the slots repeat to the run's end.
        const GraphicsByte& older = S.Sequencer[0];
        const GraphicsByte& newer = S.Sequencer[1];
        if (!S.DisplayState && older.Fetched && newer.Fetched && older.Pattern == newer.Pattern) {
          if (graphics) {
            const SlotPixels word = sequencerSlot().Pixels;
            for (int k = c + 1; k <= to; ++k) std::memcpy(S.LinePixels + 8 * (k - 1), &word, sizeof word);
          }
          c = to;
          break;
        }
      }
      continue;
    }
    const unsigned kind = table.Kind[c];
    const bool mainBefore = S.MainBorder;
    const int edgePixel = (kind & BorderEdge) ? borderEdge(c) : 8;

    // --- The slot's pixels ---
    if (kind & drawnKinds) {
      // The vertical flip-flop holds the sequencer at the background.
      const Cell shown = S.VerticalBorder ? Cell{set.Outside, 0} : sequencerSlot();
      const SlotPixels graphics = shown.Pixels;
      const std::uint8_t foreground = shown.Foreground;
      const auto before = static_cast<std::uint8_t>((1u << edgePixel) - 1);
      const auto border = static_cast<std::uint8_t>((mainBefore ? before : 0) |
                                                    (S.MainBorder ? ~before : 0));
      std::uint8_t* out = S.LinePixels + 8 * (c - 1);
      if (candidates == 0) {
        const SlotPixels word = border == 0      ? graphics
                                : border == 0xFF ? set.BorderWord
                                                 : Select(Tables.Spread[border], set.BorderWord, graphics);
        std::memcpy(out, &word, sizeof word);
      } else {
        std::memcpy(out, &graphics, sizeof graphics);
        // Each sprite's shift register puts out its row from the pixel where X meets it: one
        // bit a pixel (every other pixel X-expanded), or a pair of bits for two pixels in
        // multicolour. Sprite 0 is in front.
        std::uint8_t present[8] = {};
        std::uint8_t color[8] = {};
        for (int n = 0; n < 8; ++n) {
          if (!((candidates >> n) & 1)) continue;
          Sprite& sprite = S.Sprites[n];
          int j = 0;
          if (!sprite.Shifting) {
            const int start = set.StartPixel[n] - 8 * (c - 1);
            if (!sprite.Display || sprite.Shifted >= SpriteShiftEnd || start < 0 || start > 7) continue;
            sprite.Shifting = true;
            j = start;
          }
          const int step = ((r[SpriteExpandX] >> n) & 1) ? 1 : 2;
          const bool multicolor = (r[SpriteMulticolor] >> n) & 1;
          const std::uint8_t colors[4] = {0, r[SpriteMulticolor0], r[SpriteColor0 + n],
                                          r[SpriteMulticolor0 + 1]};
          const auto bit = static_cast<std::uint8_t>(1u << n);
          for (; j < 8; ++j) {
            const int index = sprite.Shifted >> 1;
            const unsigned value = multicolor ? (sprite.Data >> (22 - (index & ~1))) & 3
                                              : ((sprite.Data >> (23 - index)) & 1) << 1;
            if (value != 0) {
              if (present[j] == 0) color[j] = colors[value] & 0x0F;
              present[j] |= bit;
            }
            sprite.Shifted = static_cast<std::uint8_t>(sprite.Shifted + step);
            if (sprite.Shifted >= SpriteShiftEnd) {
              sprite.Shifting = false;
              break;
            }
          }
        }
        std::uint8_t spriteSprite = 0;
        std::uint8_t spriteBackground = 0;
        for (int j = 0; j < 8; ++j) {
          const std::uint8_t here = present[j];
          if (here != 0) {
            if ((here & (here - 1)) != 0) spriteSprite |= here;
            const bool front = (foreground >> j) & 1;
            if (front) spriteBackground |= here;
            // Only the frontmost sprite's priority bit is weighed against the graphics.
            const auto first = static_cast<std::uint8_t>(here & -here);
            if (!(front && (r[SpritePriority] & first))) out[j] = color[j];
          }
          if ((border >> j) & 1) out[j] = set.Border;
        }
        // A collision register that was clear raises its interrupt with its first bits.
        if (spriteSprite != 0) {
          if (S.SpriteSprite == 0) Latch(SpriteCollisionInterrupt);
          S.SpriteSprite |= spriteSprite;
        }
        if (spriteBackground != 0) {
          if (S.SpriteBackground == 0) Latch(BackgroundCollisionInterrupt);
          S.SpriteBackground |= spriteBackground;
        }
      }
    }

    // --- The cycle's fetches ---
    fetch(c, kind);
    // A sprite with DMA reads its pointer and its row's three bytes.
    const int n = table.Sprite[c];
    if (n >= 0 && S.Sprites[n].Dma) {
      Sprite& sprite = S.Sprites[n];
      const unsigned pointer = Fetch(set.Matrix + 0x3F8u + static_cast<unsigned>(n));
      std::uint32_t row = 0;
      for (int i = 0; i < 3; ++i) {
        row = (row << 8) | Fetch((pointer << 6) | sprite.Mc);
        sprite.Mc = (sprite.Mc + 1) & SpriteCounterMask;
      }
      sprite.Data = row;
      sprite.Shifted = 0;
    }
    // The line's last cycle compares RASTER with the top and bottom lines again.
    if (kind & LastCycle) {
      if (S.Line == set.Bottom) {
        S.VerticalBorder = true;
      } else if (S.Line == set.Top && set.Den) {
        S.VerticalBorder = false;
      }
    }
  }
  S.DrawnCycle = static_cast<std::uint8_t>(last);
}

// The finished line goes into the pictures, which number lines one behind RASTER: the display
// window's first line, RASTER 51 with 25 rows, is its line 50 (FirstPictureLine), as the classic
// model draws it. The border table keeps the border colour as the line ends.
void VicII::FinishLine() {
  const int lines = LinesPerFrame();
  const int pictureLine = (S.Line + lines - 1) % lines;
  if (Borders != nullptr && pictureLine < BorderTableLines) {
    Borders[pictureLine] = S.Registers[BorderColor] & 0x0F;
  }
  const int row = (S.Line + lines - FirstBorderedLine - 1) % lines;
  if (row >= BorderedHeight) return;
  const std::uint8_t* pixels = S.LinePixels + FirstBorderedPixel;
  if (Bordered != nullptr) std::memcpy(Bordered + row * BorderedWidth, pixels, BorderedWidth);
  const int windowRow = row - BorderSize;
  if (Window != nullptr && windowRow >= 0 && windowRow < PictureHeight) {
    std::memcpy(Window + windowRow * PictureWidth, pixels + BorderSize, PictureWidth);
  }
}

}  // namespace quillon::accurate
