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

// The registers a catch-up draws with: they stand still while it runs.
struct DrawSetting {
  unsigned Mode;           // ECM | BMM | MCM
  int Offset;              // where a byte's first pixel lies in the slot after its fetch: 1-8
  SlotPixels Background[4];
  SlotPixels Outside;      // what the sequencer shows without a byte: background, black when invalid
  SlotPixels BorderWord;
  std::uint8_t Border;
};

Cell MakeCell(const DrawSetting& set, std::uint8_t pattern, std::uint8_t code,
              std::uint8_t color) {
  const std::uint8_t bits = Tables.Reverse[pattern];
  const SlotPixels b0 = set.Background[0];
  switch (set.Mode) {
    case 0:  // standard text
      return {Select(Tables.Spread[bits], Splat(color), b0), bits};
    case 1:  // multicolour text: colour bit 3 chooses bit pairs for the cell
      if (color & 0x08) {
        const SlotPixels low = Tables.Spread[PairLow(bits)];
        return {Select(Tables.Spread[PairHigh(bits)], Select(low, Splat(color & 7), set.Background[2]),
                       Select(low, set.Background[1], b0)),
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
      return {Select(Tables.Spread[bits], Splat(color), set.Background[code >> 6]), bits};
    case 5:  // the invalid modes are black, with the foreground of their multicolour shape
      return {0, (color & 0x08) ? PairHigh(bits) : bits};
    case 6:
      return {0, bits};
    default:
      return {0, PairHigh(bits)};
  }
}

// Which sprite fetches its row in a line cycle (its pointer's cycle + 1), or -1.
struct SpriteFetchTable {
  std::array<std::int8_t, 66> Sprite;
};

constexpr SpriteFetchTable MakeSpriteFetchTable(const VicTiming& timing) {
  SpriteFetchTable table{};
  table.Sprite.fill(-1);
  for (int n = 0; n < 8; ++n) table.Sprite[timing.PointerCycle[n] + 1] = static_cast<std::int8_t>(n);
  return table;
}

constexpr SpriteFetchTable PalSpriteFetches = MakeSpriteFetchTable(PalTiming);
constexpr SpriteFetchTable NtscSpriteFetches = MakeSpriteFetchTable(NtscTiming);

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

// The bordered picture's first pixel (X = 4) in the line, and the stored slots around it.
constexpr int FirstBorderedPixel = 109;
constexpr int FirstStoredSlot = 14;
constexpr int LastStoredSlot = 59;

// The border's comparisons fall into these slots, at these pixels of them.
constexpr int LeftWideSlot = 17;    // X 24, CSEL set
constexpr int LeftNarrowSlot = 18;  // X 31, CSEL clear
constexpr int RightNarrowSlot = 56; // X 335, CSEL clear
constexpr int RightWideSlot = 57;   // X 344, CSEL set

}  // namespace

bool VicII::CollisionInterruptDue() const {
  const bool sprites = std::any_of(std::begin(S.Sprites), std::end(S.Sprites),
                                   [](const Sprite& s) { return s.Display || s.Shifting; });
  return sprites && (((S.InterruptEnable & SpriteCollisionInterrupt) && S.SpriteSprite == 0) ||
                     ((S.InterruptEnable & BackgroundCollisionInterrupt) &&
                      S.SpriteBackground == 0));
}

void VicII::DrawUpTo(int cycle) {
  const VicTiming& timing = Timing();
  // Never past a cycle whose start has work still to do.
  const int last = std::min({cycle, timing.CyclesPerLine, LineCycle(S.NextEventClock) - 1});
  if (last <= S.DrawnCycle) return;
  const std::uint8_t* r = S.Registers;
  const std::uint8_t control = r[Control1];
  const std::uint8_t control2 = r[Control2];
  DrawSetting set;
  set.Mode = ((control & (Ecm | Bmm)) >> 4) | ((control2 & Mcm) >> 4);
  set.Offset = (control2 & 7) + 1;
  for (int i = 0; i < 4; ++i) set.Background[i] = Splat(r[Background0 + i]);
  set.Outside = set.Mode >= 5 ? 0 : set.Background[0];
  set.Border = r[BorderColor] & 0x0F;
  set.BorderWord = Splat(set.Border);
  const bool csel = (control2 & Csel) != 0;
  const int top = (control & Rsel) ? 51 : 55;
  const int bottom = (control & Rsel) ? 251 : 247;
  const bool den = (control & Den) != 0;
  const unsigned matrix = MatrixBase();
  const unsigned idleAddress = (control & Ecm) ? 0x39FF : 0x3FFF;
  const unsigned graphicsBase = (control & Bmm) ? (r[MemoryPointers] & 0x08u) << 10
                                                : (r[MemoryPointers] & 0x0Eu) << 10;
  const unsigned addressMask = (control & Ecm) ? ~0x0600u : ~0u;
  const SpriteFetchTable& fetches = S.Pal ? PalSpriteFetches : NtscSpriteFetches;
  const int lines = timing.LinesPerFrame;
  const bool stored = (S.Line + lines - FirstBorderedLine - 1) % lines < BorderedHeight;

  // The sprites that may show in these cycles, and where the X counter meets each.
  std::uint8_t candidates = 0;
  int startPixel[8];
  for (int n = 0; n < 8; ++n) {
    if (S.Sprites[n].Display || S.Sprites[n].Shifting) candidates |= static_cast<std::uint8_t>(1u << n);
    startPixel[n] = SpritePixel(r[SpriteX0 + 2 * n] | (((r[SpriteXHigh] >> n) & 1) << 8), timing, S.Pal);
  }

  Cell cells[2];
  bool cellReady[2] = {false, false};
  auto cellOf = [&](int i) -> const Cell& {
    if (!cellReady[i]) {
      const GraphicsByte& byte = S.Sequencer[i];
      cells[i] = byte.Fetched ? MakeCell(set, byte.Pattern, byte.Code, byte.Color)
                              : Cell{set.Outside, 0};
      cellReady[i] = true;
    }
    return cells[i];
  };

  // A left edge: the vertical flip-flop is set on the bottom line and cleared on the top one
  // while DEN is set; the main one opens when the vertical one is clear.
  auto leftEdge = [&] {
    if (S.Line == bottom) {
      S.VerticalBorder = true;
    } else if (S.Line == top && den) {
      S.VerticalBorder = false;
    }
    if (!S.VerticalBorder) S.MainBorder = false;
  };

  for (int c = S.DrawnCycle + 1; c <= last; ++c) {
    // --- The border unit's comparisons in this slot ---
    const bool mainBefore = S.MainBorder;
    int edgePixel = 8;
    if (c == LeftWideSlot && csel) {
      leftEdge();
      edgePixel = 1;
    } else if (c == LeftNarrowSlot && !csel) {
      leftEdge();
      edgePixel = 0;
    } else if (c == RightNarrowSlot && !csel) {
      S.MainBorder = true;
      edgePixel = 0;
    } else if (c == RightWideSlot && csel) {
      S.MainBorder = true;
      edgePixel = 1;
    }

    // --- The slot's pixels ---
    if (candidates != 0 || (stored && c >= FirstStoredSlot && c <= LastStoredSlot)) {
      SlotPixels graphics = set.Outside;
      std::uint8_t foreground = 0;
      if (!S.VerticalBorder) {
        const Cell& older = cellOf(0);
        if (set.Offset == 8) {
          graphics = older.Pixels;
          foreground = older.Foreground;
        } else {
          const Cell& newer = cellOf(1);
          graphics = (older.Pixels >> (8 * (8 - set.Offset))) | (newer.Pixels << (8 * set.Offset));
          foreground = static_cast<std::uint8_t>((older.Foreground >> (8 - set.Offset)) |
                                                 (newer.Foreground << set.Offset));
        }
      }
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
            const int start = startPixel[n] - 8 * (c - 1);
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
    // The g-access in the first half: the matrix line's entry and VC in display state, the idle
    // byte otherwise. The sequencer shows it from the next slot on.
    GraphicsByte byte{0, 0, 0, false};
    if (c >= FirstGAccessCycle && c <= LastGAccessCycle) {
      if (S.DisplayState && c >= S.DisplayFrom) {
        const unsigned i = std::min<unsigned>(S.Vmli, Columns - 1);
        byte.Code = S.MatrixLine[i];
        byte.Color = S.ColorLine[i];
        const unsigned address = (control & Bmm) ? graphicsBase | (unsigned{S.Vc} << 3) | S.Rc
                                                 : graphicsBase | (unsigned{byte.Code} << 3) | S.Rc;
        byte.Pattern = Fetch(address & addressMask);
        S.Vc = (S.Vc + 1) & 0x3FF;
        ++S.Vmli;
      } else {
        byte.Pattern = Fetch(idleAddress);
      }
      byte.Fetched = true;
    }
    S.Sequencer[0] = S.Sequencer[1];
    S.Sequencer[1] = byte;
    cells[0] = cells[1];
    cellReady[0] = cellReady[1];
    cellReady[1] = false;
    // The c-access in the second half of a bad line's cycle. In its first three cycles of BA
    // the processor still holds the bus: the chip reads $FF and the processor's colour nibble.
    if (S.BadLine && c >= FirstCAccessCycle && c <= LastCAccessCycle) {
      const unsigned i = std::min<unsigned>(S.Vmli, Columns - 1);
      if (c >= S.BadLineBa + BusTakeoverCycles) {
        S.MatrixLine[i] = Fetch(matrix | S.Vc);
        S.ColorLine[i] = Memory.ColorRam[S.Vc] & 0x0F;
      } else {
        S.MatrixLine[i] = 0xFF;
        S.ColorLine[i] = Memory.DataBus != nullptr ? Memory.DataBus(Memory.Context) & 0x0F : 0x0F;
      }
    }
    // A sprite with DMA reads its pointer and its row's three bytes.
    const int n = fetches.Sprite[c];
    if (n >= 0 && S.Sprites[n].Dma) {
      Sprite& sprite = S.Sprites[n];
      const unsigned pointer = Fetch(matrix + 0x3F8u + static_cast<unsigned>(n));
      std::uint32_t row = 0;
      for (int i = 0; i < 3; ++i) {
        row = (row << 8) | Fetch((pointer << 6) | sprite.Mc);
        sprite.Mc = (sprite.Mc + 1) & SpriteCounterMask;
      }
      sprite.Data = row;
      sprite.Shifted = 0;
    }
    // The line's last cycle compares RASTER with the top and bottom lines again.
    if (c == timing.CyclesPerLine) {
      if (S.Line == bottom) {
        S.VerticalBorder = true;
      } else if (S.Line == top && den) {
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
