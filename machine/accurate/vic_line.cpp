#include "accurate/vic_line.h"

#include <array>
#include <bit>
#include <cstring>

#include "interface/picture.h"

namespace quillon::accurate {
namespace {

constexpr int Cells = 40;
constexpr int MaxXScroll = 7;
constexpr int SpriteDots = 24;

// Register numbers.
constexpr int SpriteXHigh = 0x10;
constexpr int Control1 = 0x11;
constexpr int Control2 = 0x16;
constexpr int MemoryPointers = 0x18;
constexpr int SpritePriority = 0x1B;
constexpr int SpriteMulticolor = 0x1C;
constexpr int SpriteExpandX = 0x1D;
constexpr int BorderColor = 0x20;
constexpr int Background0 = 0x21;
constexpr int SpriteMulticolor0 = 0x25;
constexpr int SpriteColor0 = 0x27;

constexpr std::uint8_t Ecm = 0x40;
constexpr std::uint8_t Bmm = 0x20;
constexpr std::uint8_t Mcm = 0x10;
constexpr std::uint8_t Csel = 0x08;

// In 38-column mode the border covers X 24-30 on the left and 335-343 on the right.
constexpr int NarrowLeft = 7;
constexpr int NarrowRight = 9;

// A cell's eight pixels as one word, the leftmost pixel at the lowest address.
using CellPixels = std::uint64_t;

constexpr CellPixels Splat(unsigned color) { return (color & 0x0F) * 0x0101010101010101ull; }

constexpr CellPixels Select(CellPixels mask, CellPixels set, CellPixels clear) {
  return (set & mask) | (clear & ~mask);
}

// $FF in the pixels of each pattern byte whose bit is set (bit 7 leftmost), and, read as four
// bit pairs of two pixels each, in the pixels whose pair has its high or its low bit set.
struct PatternMasks {
  std::array<CellPixels, 256> Bits;
  std::array<CellPixels, 256> PairHigh;
  std::array<CellPixels, 256> PairLow;
};

constexpr PatternMasks MakePatternMasks() {
  PatternMasks masks{};
  for (unsigned pattern = 0; pattern < 256; ++pattern) {
    std::array<std::uint8_t, 8> bits{}, high{}, low{};
    for (unsigned j = 0; j < 8; ++j) {
      const unsigned pairShift = 6 - 2 * (j / 2);
      bits[j] = (pattern & (0x80u >> j)) ? 0xFF : 0;
      high[j] = (pattern >> (pairShift + 1)) & 1 ? 0xFF : 0;
      low[j] = (pattern >> pairShift) & 1 ? 0xFF : 0;
    }
    masks.Bits[pattern] = std::bit_cast<CellPixels>(bits);
    masks.PairHigh[pattern] = std::bit_cast<CellPixels>(high);
    masks.PairLow[pattern] = std::bit_cast<CellPixels>(low);
  }
  return masks;
}

constexpr PatternMasks Masks = MakePatternMasks();

CellPixels Pairs(std::uint8_t pattern, CellPixels c00, CellPixels c01, CellPixels c10,
                 CellPixels c11) {
  const CellPixels low = Masks.PairLow[pattern];
  return Select(Masks.PairHigh[pattern], Select(low, c11, c10), Select(low, c01, c00));
}

// The foreground pixels of a cell drawn as bit pairs: those whose pair is 10 or 11.
std::uint8_t PairForeground(std::uint8_t pattern) {
  const auto high = static_cast<std::uint8_t>(pattern & 0xAA);
  return static_cast<std::uint8_t>(high | (high >> 1));
}

struct Cell {
  CellPixels Pixels;
  std::uint8_t Foreground;  // bit 7 leftmost
};

// The graphics sequencer's eight pixels for one cell, from its c-data (code or colours, and the
// colour nibble) and its g-data, in the mode ECM | BMM | MCM.
Cell DrawCell(unsigned mode, std::uint8_t code, unsigned color, std::uint8_t pattern,
              const std::uint8_t* registers) {
  const CellPixels b0 = Splat(registers[Background0]);
  switch (mode) {
    case 0:  // standard text
      return {Select(Masks.Bits[pattern], Splat(color), b0), pattern};
    case 1:  // multicolour text: colour bit 3 chooses bit pairs for the cell
      if (color & 0x08) {
        return {Pairs(pattern, b0, Splat(registers[Background0 + 1]),
                      Splat(registers[Background0 + 2]), Splat(color & 7)),
                PairForeground(pattern)};
      }
      return {Select(Masks.Bits[pattern], Splat(color & 7), b0), pattern};
    case 2:  // hires bitmap: the code's nibbles are the colours of 1 and 0
      return {Select(Masks.Bits[pattern], Splat(code >> 4), Splat(code)), pattern};
    case 3:  // multicolour bitmap
      return {Pairs(pattern, b0, Splat(code >> 4), Splat(code), Splat(color)),
              PairForeground(pattern)};
    case 4:  // extended background colour text: the code's top bits choose the background
      return {Select(Masks.Bits[pattern], Splat(color), Splat(registers[Background0 + (code >> 6)])),
              pattern};
    case 5:  // the invalid modes are black, with the foreground of their multicolour shape
      return {0, (color & 0x08) ? PairForeground(pattern) : pattern};
    case 6:
      return {0, pattern};
    default:
      return {0, PairForeground(pattern)};
  }
}

// The g-access address of cell `i` in display state.
unsigned GraphicsAddress(const LineInput& in, int i, std::uint8_t code) {
  const std::uint8_t control = in.Registers[Control1];
  const std::uint8_t pointers = in.Registers[MemoryPointers];
  unsigned address;
  if (control & Bmm) {
    address = ((pointers & 0x08u) << 10) | (((in.Vc + i) & 0x3FFu) << 3) | in.Rc;
  } else {
    address = ((pointers & 0x0Eu) << 10) | (unsigned{code} << 3) | in.Rc;
  }
  return (control & Ecm) ? address & ~0x0600u : address;
}

// The window's pixels and foreground flags: 320 pixels plus the room a fine scroll pushes the
// last cell into.
struct GraphicsLine {
  std::uint8_t Pixels[PictureWidth + MaxXScroll + 1];
  std::uint8_t Foreground[PictureWidth + MaxXScroll + 1];
};

void DrawGraphics(const LineInput& in, GraphicsLine& line) {
  const std::uint8_t* registers = in.Registers;
  const unsigned mode =
      ((registers[Control1] & (Ecm | Bmm)) >> 4) | ((registers[Control2] & Mcm) >> 4);
  const int scroll = registers[Control2] & 7;
  // Left of the first cell the sequencer shows the background colour.
  std::memset(line.Pixels, registers[Background0] & 0x0F, static_cast<std::size_t>(scroll));
  std::memset(line.Foreground, 0, static_cast<std::size_t>(scroll));
  const std::uint8_t idlePattern =
      VicFetch(*in.Memory, in.Bank, (registers[Control1] & Ecm) ? 0x39FF : 0x3FFF);
  for (int i = 0; i < Cells; ++i) {
    std::uint8_t code = 0;
    unsigned color = 0;
    std::uint8_t pattern = idlePattern;
    if (in.DisplayState) {
      code = in.MatrixLine[i];
      color = in.ColorLine[i] & 0x0Fu;
      pattern = VicFetch(*in.Memory, in.Bank, GraphicsAddress(in, i, code));
    }
    const Cell cell = DrawCell(mode, code, color, pattern, registers);
    std::uint8_t* pixels = line.Pixels + scroll + 8 * i;
    std::memcpy(pixels, &cell.Pixels, sizeof cell.Pixels);
    const CellPixels foreground = Masks.Bits[cell.Foreground] & 0x0101010101010101ull;
    std::memcpy(line.Foreground + scroll + 8 * i, &foreground, sizeof foreground);
  }
}

// One sprite's pixels across the window: its colour where it is not transparent.
struct SpriteLine {
  std::uint8_t Present[PictureWidth];  // a bit for each sprite with a pixel here
  std::uint8_t Color[PictureWidth];    // the colour of the frontmost of them
};

void DrawSprite(const LineInput& in, int n, SpriteLine& sprites) {
  const std::uint8_t* registers = in.Registers;
  int x = registers[2 * n] | (((registers[SpriteXHigh] >> n) & 1) << 8);
  if (x >= in.XWrap) return;  // positions the X counter never reaches
  if (x >= in.LeftmostX) x -= in.XWrap;
  const int left = x - 24;
  const int widen = ((registers[SpriteExpandX] >> n) & 1) ? 2 : 1;
  const bool multicolor = (registers[SpriteMulticolor] >> n) & 1;
  const std::uint8_t colors[4] = {0, static_cast<std::uint8_t>(registers[SpriteMulticolor0] & 0x0F),
                                  static_cast<std::uint8_t>(registers[SpriteColor0 + n] & 0x0F),
                                  static_cast<std::uint8_t>(registers[SpriteMulticolor0 + 1] & 0x0F)};
  const std::uint32_t data = in.SpriteData[n];
  const auto bit = static_cast<std::uint8_t>(1u << n);
  for (int dot = 0; dot < SpriteDots * widen; ++dot) {
    const int column = left + dot;
    if (column < 0 || column >= PictureWidth) continue;
    const int index = dot / widen;
    const unsigned value = multicolor ? (data >> (22 - 2 * (index / 2))) & 3
                                      : ((data >> (23 - index)) & 1) << 1;
    if (value == 0) continue;
    // Sprites are drawn from 0 up: the first one here is the frontmost.
    if (sprites.Present[column] == 0) sprites.Color[column] = colors[value];
    sprites.Present[column] |= bit;
  }
}

}  // namespace

std::uint8_t VicFetch(const VicMemory& memory, std::uint8_t bank, unsigned address) {
  address &= 0x3FFF;
  if ((bank & 1) == 0 && (address & 0x3000) == 0x1000) return memory.CharacterRom[address & 0x0FFF];
  return memory.Ram[(unsigned{bank} << 14) | address];
}

LineCollisions DrawWindowLine(const LineInput& in, std::uint8_t* row) {
  const std::uint8_t* registers = in.Registers;
  const std::uint8_t border = registers[BorderColor] & 0x0F;
  GraphicsLine graphics;
  if (in.VerticalBorder) {
    // The sequencer is held at the background: nothing in front for the sprites to hit.
    std::memset(graphics.Pixels, border, PictureWidth);
    std::memset(graphics.Foreground, 0, PictureWidth);
  } else {
    DrawGraphics(in, graphics);
  }
  std::memcpy(row, graphics.Pixels, PictureWidth);

  LineCollisions collisions{0, 0};
  if (in.SpriteDisplay != 0) {
    SpriteLine sprites;
    std::memset(sprites.Present, 0, sizeof sprites.Present);
    for (int n = 0; n < 8; ++n) {
      if ((in.SpriteDisplay >> n) & 1) DrawSprite(in, n, sprites);
    }
    for (int x = 0; x < PictureWidth; ++x) {
      const std::uint8_t present = sprites.Present[x];
      if (present == 0) continue;
      if ((present & (present - 1)) != 0) collisions.SpriteSprite |= present;
      const bool foreground = graphics.Foreground[x] != 0;
      if (foreground) collisions.SpriteBackground |= present;
      const std::uint8_t front = present & static_cast<std::uint8_t>(-present);
      if (!(foreground && (registers[SpritePriority] & front))) row[x] = sprites.Color[x];
    }
  }
  if (in.VerticalBorder) {
    std::memset(row, border, PictureWidth);
  } else if (!(registers[Control2] & Csel)) {
    std::memset(row, border, NarrowLeft);
    std::memset(row + PictureWidth - NarrowRight, border, NarrowRight);
  }
  return collisions;
}

}  // namespace quillon::accurate
