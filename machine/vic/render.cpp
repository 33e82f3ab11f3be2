#include "vic/render.h"

#include <array>
#include <bit>
#include <cstdint>
#include <cstring>

#include "core/machine.h"
#include "core/rom_images.h"
#include "vic/frame_image.h"
#include "vic/vic.h"

namespace quillon {
namespace {

constexpr int CellsPerRow = 40;
constexpr int CellWidth = 8;
constexpr int MaxXScroll = 7;
// In 38-column mode the border covers 7 pixels on each side.
constexpr int NarrowBorderWidth = 7;
// In 24-row mode the top and bottom 4 rows of the window show the border.
constexpr int ShortBorderHeight = 4;
// Pattern bytes a text line can reach: code 0 to code 255, 8 bytes apart.
constexpr unsigned CharacterPatternSpan = 255 * 8 + 1;
// Bitmap bytes one line reaches: cell 0 to cell 39, 8 bytes apart.
constexpr unsigned BitmapLineSpan = (CellsPerRow - 1) * 8 + 1;

// A cell's eight pixels as one word, the leftmost pixel at the lowest address, so that a cell
// is written with one 8-byte store.
using CellPixels = std::uint64_t;

constexpr CellPixels Splat(unsigned color) { return color * 0x0101010101010101ull; }

constexpr CellPixels Select(CellPixels mask, CellPixels set, CellPixels clear) {
  return (set & mask) | (clear & ~mask);
}

// For each pattern byte: $FF in the pixels whose bit is set (bit 7 is the leftmost pixel).
constexpr std::array<CellPixels, 256> MakeHiresMasks() {
  std::array<CellPixels, 256> masks{};
  for (unsigned pattern = 0; pattern < 256; ++pattern) {
    std::array<std::uint8_t, 8> pixels{};
    for (unsigned j = 0; j < 8; ++j) pixels[j] = (pattern & (0x80u >> j)) ? 0xFF : 0x00;
    masks[pattern] = std::bit_cast<CellPixels>(pixels);
  }
  return masks;
}

// For each pattern byte read as four bit pairs (bits 7-6 first), each giving two equal pixels:
// $FF in the pixels whose pair has bit `bitInPair` (1 = high, 0 = low) set.
constexpr std::array<CellPixels, 256> MakePairMasks(unsigned bitInPair) {
  std::array<CellPixels, 256> masks{};
  for (unsigned pattern = 0; pattern < 256; ++pattern) {
    std::array<std::uint8_t, 8> pixels{};
    for (unsigned pair = 0; pair < 4; ++pair) {
      const bool set = (pattern >> (6 - 2 * pair + bitInPair)) & 1;
      pixels[2 * pair] = pixels[2 * pair + 1] = set ? 0xFF : 0x00;
    }
    masks[pattern] = std::bit_cast<CellPixels>(pixels);
  }
  return masks;
}

constexpr std::array<CellPixels, 256> HiresMasks = MakeHiresMasks();
constexpr std::array<CellPixels, 256> PairHighMasks = MakePairMasks(1);
constexpr std::array<CellPixels, 256> PairLowMasks = MakePairMasks(0);

CellPixels HiresCell(std::uint8_t pattern, CellPixels set, CellPixels clear) {
  return Select(HiresMasks[pattern], set, clear);
}

CellPixels MulticolorCell(std::uint8_t pattern, CellPixels pair00, CellPixels pair01,
                          CellPixels pair10, CellPixels pair11) {
  const CellPixels low = PairLowMasks[pattern];
  return Select(PairHighMasks[pattern], Select(low, pair11, pair10), Select(low, pair01, pair00));
}

void StoreCell(std::uint8_t* cell, CellPixels pixels) { std::memcpy(cell, &pixels, CellWidth); }

// A finely scrolled line before it is copied into the picture: 320 pixels plus the room that a
// fine scroll of up to 7 pushes the last cell into.
std::uint8_t LineBuffer[PictureWidth + MaxXScroll + 1];

// Copies of sources whose bytes wrap around the end of their memory.
std::uint8_t ScreenScratch[CellsPerRow];
std::uint8_t ColorScratch[CellsPerRow];
std::uint8_t PatternScratch[CharacterPatternSpan];

// A place in one of the memories the VIC-II reads.
struct MemoryRun {
  const std::uint8_t* Memory;
  unsigned Size;
  unsigned Start;
};

// The VIC-II sees the character ROM at $1000-$1FFF and $9000-$9FFF (of banks 0 and 2) and RAM
// everywhere else.
MemoryRun VicMemoryAt(unsigned address) {
  address &= 0xFFFF;
  if ((address & 0x7000) == 0x1000) {
    return {RomImages.Chargen, static_cast<unsigned>(CharRomSize), address & 0x0FFF};
  }
  return {MainRam, static_cast<unsigned>(MainRamSize), address};
}

// `length` bytes of the run's memory from its start, wrapping at the memory's end: a pointer
// into the memory when they lie in one piece, else a copy in `scratch`.
const std::uint8_t* Consecutive(MemoryRun run, unsigned length, std::uint8_t* scratch) {
  if (run.Start + length <= run.Size) return run.Memory + run.Start;
  const unsigned first = run.Size - run.Start;
  std::memcpy(scratch, run.Memory + run.Start, first);
  std::memcpy(scratch + first, run.Memory, length - first);
  return scratch;
}

// What one line of cells is drawn from. Text modes: Pattern points at code 0's byte for the
// line's glyph line. Bitmap modes: Pattern points at cell 0's bitmap byte, the others follow
// 8 bytes apart.
struct LineSources {
  const std::uint8_t* Screen;
  const std::uint8_t* Color;
  const std::uint8_t* Pattern;
};

void DrawStandardText(const LineSources& source, std::uint8_t* cell) {
  const CellPixels background = Splat(Vic.BackgroundColor[0]);
  for (int i = 0; i < CellsPerRow; ++i, cell += CellWidth) {
    const std::uint8_t pattern = source.Pattern[source.Screen[i] * 8u];
    StoreCell(cell, HiresCell(pattern, Splat(source.Color[i] & 0x0Fu), background));
  }
}

// Codes share the first 64 patterns; the top two bits of the code choose the background.
void DrawExtendedColorText(const LineSources& source, std::uint8_t* cell) {
  const CellPixels backgrounds[4] = {
      Splat(Vic.BackgroundColor[0]), Splat(Vic.BackgroundColor[1]),
      Splat(Vic.BackgroundColor[2]), Splat(Vic.BackgroundColor[3])};
  for (int i = 0; i < CellsPerRow; ++i, cell += CellWidth) {
    const unsigned code = source.Screen[i];
    const std::uint8_t pattern = source.Pattern[(code & 0x3F) * 8u];
    StoreCell(cell, HiresCell(pattern, Splat(source.Color[i] & 0x0Fu), backgrounds[code >> 6]));
  }
}

// Colour bit 3 chooses per cell: clear draws a hires cell in colours 0-7, set draws pairs.
void DrawMulticolorText(const LineSources& source, std::uint8_t* cell) {
  const CellPixels background0 = Splat(Vic.BackgroundColor[0]);
  const CellPixels background1 = Splat(Vic.BackgroundColor[1]);
  const CellPixels background2 = Splat(Vic.BackgroundColor[2]);
  for (int i = 0; i < CellsPerRow; ++i, cell += CellWidth) {
    const unsigned color = source.Color[i] & 0x0Fu;
    const std::uint8_t pattern = source.Pattern[source.Screen[i] * 8u];
    StoreCell(cell, (color & 0x08)
                        ? MulticolorCell(pattern, background0, background1, background2,
                                         Splat(color & 0x07))
                        : HiresCell(pattern, Splat(color), background0));
  }
}

// The screen byte holds the cell's two colours: bits 4-7 for set bits, bits 0-3 for clear.
void DrawHiresBitmap(const LineSources& source, std::uint8_t* cell) {
  const std::uint8_t* bitmap = source.Pattern;
  for (int i = 0; i < CellsPerRow; ++i, cell += CellWidth, bitmap += 8) {
    const unsigned colors = source.Screen[i];
    StoreCell(cell, HiresCell(*bitmap, Splat(colors >> 4), Splat(colors & 0x0F)));
  }
}

void DrawMulticolorBitmap(const LineSources& source, std::uint8_t* cell) {
  const CellPixels background = Splat(Vic.BackgroundColor[0]);
  const std::uint8_t* bitmap = source.Pattern;
  for (int i = 0; i < CellsPerRow; ++i, cell += CellWidth, bitmap += 8) {
    const unsigned colors = source.Screen[i];
    StoreCell(cell, MulticolorCell(*bitmap, background, Splat(colors >> 4), Splat(colors & 0x0F),
                                   Splat(source.Color[i] & 0x0Fu)));
  }
}

// Extended background colour together with bitmap or multicolour draws nothing.
bool InvalidMode() { return Vic.ExtendedColorMode && (Vic.BitmapMode || Vic.MultiColorMode); }

bool LineShowsGraphics(int row) {
  if (!Vic.DisplayEnable || InvalidMode()) return false;
  return Vic.RowSelect || (row >= ShortBorderHeight && row < PictureHeight - ShortBorderHeight);
}

// Draws the 40 cells of picture row `row` into `line`, shifted right by the fine scroll; with a
// fine scroll the last cell runs past the window's right edge into the room `line` must have.
void DrawCells(int row, std::uint8_t* line) {
  // The vertical fine scroll moves the character grid: with 3 the rows start at picture rows
  // 0, 8, 16...; rows -1 and 25 show partly at the window's edges.
  const int t = row - Vic.YScroll + 3;
  const int characterRow = t >> 3;  // floor, so t = -1 is row -1
  const unsigned glyphLine = static_cast<unsigned>(t) & 7;
  const unsigned offset = (40u * static_cast<unsigned>(characterRow)) & 0xFFFF;
  const unsigned base = Vic.BankBase;

  LineSources source;
  source.Screen =
      Consecutive(VicMemoryAt(base + Vic.ScreenBase + offset), CellsPerRow, ScreenScratch);
  source.Color = Consecutive({ColorRam, static_cast<unsigned>(ColorRamSize), offset & 0x3FF},
                             CellsPerRow, ColorScratch);
  if (Vic.BitmapMode) {
    const unsigned rowOffset = (320u * static_cast<unsigned>(characterRow)) & 0xFFFF;
    source.Pattern = Consecutive(VicMemoryAt(base + Vic.CharBase + rowOffset + glyphLine),
                                 BitmapLineSpan, PatternScratch);
  } else {
    source.Pattern = Consecutive(VicMemoryAt(base + Vic.CharBase + glyphLine),
                                 CharacterPatternSpan, PatternScratch);
  }

  // The pixels uncovered by the fine scroll keep the border colour.
  std::memset(line, Vic.BorderColor, Vic.XScroll);
  std::uint8_t* cells = line + Vic.XScroll;
  if (Vic.ExtendedColorMode) {
    DrawExtendedColorText(source, cells);
  } else if (Vic.BitmapMode) {
    if (Vic.MultiColorMode) DrawMulticolorBitmap(source, cells);
    else DrawHiresBitmap(source, cells);
  } else {
    if (Vic.MultiColorMode) DrawMulticolorText(source, cells);
    else DrawStandardText(source, cells);
  }
}

}  // namespace

void RenderRasterLine() {
  const std::uint8_t border = Vic.BorderColor;
  FrameImage.LineBorderColor[Vic.RasterLine] = border;
  const int row = Vic.RasterLine - FirstPictureLine;
  if (row < 0 || row >= PictureHeight) return;

  std::uint8_t* picture = FrameImage.Target;
  if (picture == nullptr) return;
  std::uint8_t* out = picture + row * PictureWidth;
  if (!LineShowsGraphics(row)) {
    std::memset(out, border, PictureWidth);
  } else {
    // Without fine scroll the cells fill the row exactly and go straight into it; with one, the
    // line is drawn aside, where the last cell has room to spill.
    if (Vic.XScroll == 0) {
      DrawCells(row, out);
    } else {
      DrawCells(row, LineBuffer);
      std::memcpy(out, LineBuffer, PictureWidth);
    }
    if (!Vic.ColumnSelect) {
      std::memset(out, border, NarrowBorderWidth);
      std::memset(out + PictureWidth - NarrowBorderWidth, border, NarrowBorderWidth);
    }
  }
}

}  // namespace quillon
