#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "core/machine.h"
#include "core/memory.h"
#include "core/rom_images.h"
#include "cpu/cpu.h"
#include "support/machine.h"
#include "support/picture.h"
#include "vic/frame_image.h"
#include "vic/sprites.h"
#include "vic/vic.h"

namespace quillon {
namespace {

using test::HiresHex;
using test::PictureRowHex;
using test::RenderLine;

TEST(VicRegisters, ReadBackRulesMirrorsAndTheRasterLine) {
  test::PowerOnMachine();
  EXPECT_EQ(MemRead(0xD019), 0x06);
  const struct { std::uint16_t Address; std::uint8_t Written, Read; } cases[] = {
      {0xD016, 0x08, 0xA8}, {0xD016, 0xC8, 0xE8}, {0xD018, 0x14, 0x15}, {0xD020, 0x0E, 0xFE},
      {0xD024, 0x03, 0xF3}, {0xD01A, 0x01, 0xF1}, {0xD027, 0x0E, 0x0E}, {0xD01E, 0x5A, 0x5A},
      {0xD01F, 0xA5, 0xA5}, {0xD02F, 0x00, 0xFF}, {0xD03F, 0x00, 0xFF}, {0xD3C1, 0x17, 0x17}};
  for (const auto& c : cases) {
    MemWrite(c.Address, c.Written);
    EXPECT_EQ(MemRead(c.Address), c.Read) << std::hex << c.Address;
  }
  EXPECT_EQ(MemRead(0xD001), 0x17) << "the registers repeat every 64 bytes";
  // The raster line reads back through $D012 and $D011 bit 7; writes set the compare line.
  MemWrite(0xD012, 0x10);
  MemWrite(0xD011, 0x9B);
  EXPECT_EQ(Vic.RasterCompare, 272);
  Vic.RasterLine = 300;
  EXPECT_EQ(MemRead(0xD012) << 8 | MemRead(0xD011), 0x2C9B);
  Vic.RasterLine = 44;
  EXPECT_EQ(MemRead(0xD012) << 8 | MemRead(0xD011), 0x2C1B);
}

TEST(VicInterrupts, RasterLatchMaskAndAcknowledge) {
  test::PowerOnMachine();
  const auto runLines = [](int lines) { for (int i = 0; i < lines; ++i) RasterLineStep(); };
  MemWrite(0xD012, 5);
  runLines(5);
  EXPECT_EQ(MemRead(0xD019), 0x07) << "latched but not enabled";
  MemWrite(0xD01A, 0x01);
  EXPECT_EQ(Cpu.IrqPending, 0) << "enabling a latched source raises nothing by itself";
  Cpu.IrqPending = 1;  // CIA1's line: a latch without bit 7 never releases it
  MemWrite(0xD019, 0x01);
  EXPECT_EQ(Cpu.IrqPending, 1);
  Cpu.IrqPending = 0;
  MemWrite(0xD012, 100);
  runLines(94);
  EXPECT_EQ(Cpu.IrqPending, 0);
  runLines(1);
  EXPECT_EQ(Cpu.IrqPending, 1) << "raised as line 100 begins";
  EXPECT_EQ(MemRead(0xD019), 0xF7) << "bits 4-6 read 1 since the first acknowledge";
  MemWrite(0xD019, 0x00);
  EXPECT_EQ(Cpu.IrqPending, 1);
  MemWrite(0xD019, 0xFF);
  EXPECT_EQ(Cpu.IrqPending, 0);
  EXPECT_EQ(MemRead(0xD019), 0x76);
  // Line 0 matches right after the wrap; a compare line past the frame never matches.
  MemWrite(0xD012, 0);
  runLines(211);
  EXPECT_EQ(Cpu.IrqPending, 0);
  runLines(1);
  EXPECT_EQ(Cpu.IrqPending, 1);
  MemWrite(0xD019, 0xFF);
  MemWrite(0xD012, 312 - 256);
  MemWrite(0xD011, 0x80);
  runLines(2 * 312);
  EXPECT_EQ(MemRead(0xD019), 0x76);
}

const std::string BorderRow(320, 'E');

// A pattern byte that differs for every code and every glyph line of a code.
std::uint8_t TestPattern(unsigned code, unsigned g) {
  return static_cast<std::uint8_t>(code * 13 + g * 71 + 1);
}

// Text at $0400 with a character set in RAM at $2000, border 14, background 6, 25 rows and
// 40 columns; screen and colour RAM hold varied bytes.
void SetUpRamText() {
  test::PowerOnMachine();
  const std::uint8_t registers[][2] = {{0x11, 0x1B}, {0x16, 0xC8}, {0x18, 0x18}, {0x20, 14},
                                       {0x21, 6},    {0x22, 2},    {0x23, 5},    {0x24, 7}};
  for (const auto& r : registers) VicWrite(r[0], r[1]);
  for (unsigned i = 0; i < 2048; ++i) MainRam[0x2000 + i] = TestPattern(i / 8, i % 8);
  for (unsigned i = 0; i < 1000; ++i) {
    MainRam[0x0400 + i] = static_cast<std::uint8_t>(i * 7 + 3);
    ColorRam[i] = static_cast<std::uint8_t>(i % 16);
  }
}

// Standard text: glyph line g of 40 cells with codes `codes` and colours `colors`, on 6.
std::string TextLine(const std::uint8_t* codes, const std::uint8_t* colors, unsigned g,
                     const std::uint8_t* patterns = nullptr) {
  std::string text;
  for (int i = 0; i < 40; ++i) {
    text += HiresHex(patterns ? patterns[codes[i] * 8 + g] : TestPattern(codes[i], g), colors[i], 6);
  }
  return text;
}

TEST(VicRender, BorderOnlyLinesAndBlankRows) {
  SetUpRamText();
  // Lines outside the window only record their border colour.
  std::memset(FrameImage.Picture, 0xAA, PictureBufferSize);
  for (int line : {0, 49, 250, 311}) {
    VicWrite(0x20, static_cast<std::uint8_t>(line));
    RenderLine(line);
    EXPECT_EQ(FrameImage.LineBorderColor[line], line & 0x0F);
  }
  for (std::size_t i = 0; i < PictureBufferSize; ++i) ASSERT_EQ(FrameImage.Picture[i], 0xAA);
  // Blank rows: display disabled, or the 4 rows at each end in 24-row mode.
  VicWrite(0x20, 14);
  for (std::uint8_t control1 : {0x0B, 0x13}) {
    VicWrite(0x11, control1);
    for (int line : {50, 53, 54, 246, 249}) {
      RenderLine(line);
      EXPECT_EQ(PictureRowHex(line - 50, 0, 320) == BorderRow, line != 54 || control1 == 0x0B);
    }
  }
}

TEST(VicRender, ExtendedColourMulticolourAndBitmapModes) {
  SetUpRamText();
  VicWrite(0x11, 0x5B);  // extended colour: the code's top two bits pick the background
  const std::uint8_t codes[] = {0x01, 0x41, 0x81, 0xC1};
  std::memcpy(&MainRam[0x0400], codes, 4);
  RenderLine(52);
  const std::uint8_t p = TestPattern(0x01, 2);
  EXPECT_EQ(PictureRowHex(2, 0, 32), HiresHex(p, 0, 6) + HiresHex(p, 1, 2) + HiresHex(p, 2, 5) + HiresHex(p, 3, 7));
  // Multicolour text: colour bit 3 clear draws a hires cell, set draws pairs 00 01 10 11.
  VicWrite(0x11, 0x1B);
  VicWrite(0x16, 0xD8);
  MainRam[0x0401] = 0x01;
  MainRam[0x2000 + 0x01 * 8 + 4] = 0x1B;
  ColorRam[0] = 3;
  ColorRam[1] = 8 + 7;
  RenderLine(54);
  EXPECT_EQ(PictureRowHex(4, 0, 16), HiresHex(0x1B, 3, 6) + "66225577");

  VicWrite(0x11, 0x3B);  // hires bitmap: colours from the screen byte's nibbles
  VicWrite(0x16, 0xC8);
  RenderLine(50 + 8 + 2);  // character row 1, glyph line 2
  std::string expected;
  for (unsigned i = 0; i < 40; ++i) {
    const std::uint8_t colors = MainRam[0x0400 + 40 + i];
    expected += HiresHex(MainRam[0x2000 + 320 + 8 * i + 2], colors >> 4, colors & 0x0F);
  }
  EXPECT_EQ(PictureRowHex(10, 0, 320), expected);
  VicWrite(0x16, 0xD8);  // multicolour bitmap: background, screen nibbles, colour RAM
  MainRam[0x0400 + 80] = 0x9A;
  ColorRam[80] = 4;
  MainRam[0x2000 + 640 + 7] = 0x1B;  // character row 2, glyph line 7
  RenderLine(50 + 16 + 7);
  EXPECT_EQ(PictureRowHex(23, 0, 8), "6699AA44");
}

TEST(VicRender, InvalidModesShowBorderAndNarrowColumnsCoverSevenPixelsEachSide) {
  for (std::uint8_t control1 : {0x7B, 0x5B, 0x3B, 0x1B}) {
    for (std::uint8_t control2 : {0xC8, 0xD8, 0xC5, 0xD2}) {
      SetUpRamText();
      VicWrite(0x11, control1);
      VicWrite(0x16, control2);
      RenderLine(100);
      const std::string row = PictureRowHex(50, 0, 320);
      const bool invalid = (control1 & 0x40) && ((control1 & 0x20) || (control2 & 0x10));
      EXPECT_EQ(row == BorderRow, invalid) << std::hex << +control1 << " " << +control2;
      if (control2 & 0x08) continue;
      EXPECT_EQ(row.substr(0, 7) + row.substr(313), "EEEEEEEEEEEEEE");
      VicWrite(0x16, control2 | 0x08);
      RenderLine(100);
      EXPECT_EQ(PictureRowHex(50, 7, 306), row.substr(7, 306)) << "the same pixels at 40 columns";
    }
  }
}

TEST(VicRender, FineScrollMovesCellsAndShowsRowsMinusOneAndTwentyFive) {
  SetUpRamText();
  VicWrite(0x16, 0xCB);
  RenderLine(50);
  EXPECT_EQ(PictureRowHex(0, 0, 320), "EEE" + TextLine(&MainRam[0x0400], ColorRam, 0).substr(0, 317));
  VicWrite(0x16, 0xC8);
  VicWrite(0x11, 0x18);  // YScroll 0: row 25 takes screen bytes 1000-1039, colours 1000-1023, 0-15
  RenderLine(50);
  EXPECT_EQ(PictureRowHex(0, 0, 320), TextLine(&MainRam[0x0400], ColorRam, 3));
  std::uint8_t colors[40];
  for (unsigned i = 0; i < 40; ++i) colors[i] = ColorRam[(1000 + i) % 1024];
  RenderLine(247);
  EXPECT_EQ(PictureRowHex(197, 0, 320), TextLine(&MainRam[0x0400 + 1000], colors, 0));
  VicWrite(0x11, 0x1F);  // YScroll 7: row -1 reads the 40 bytes below the screen, colours 984-
  RenderLine(53);
  EXPECT_EQ(PictureRowHex(3, 0, 320), TextLine(&MainRam[0x03D8], &ColorRam[984], 7));
  VicWrite(0x18, 0x08);  // a screen at $0000 has row -1 at $FFD8-$FFFF
  RenderLine(50);
  EXPECT_EQ(PictureRowHex(0, 0, 320), TextLine(&MainRam[0xFFD8], &ColorRam[984], 4));
}

TEST(VicRender, VicMemoryViewHasCharacterRomInBanksZeroAndTwoAndWraps) {
  SetUpRamText();
  VicWrite(0x18, 0x48);  // screen at $1000: codes from the character ROM
  RenderLine(51);
  EXPECT_EQ(PictureRowHex(1, 0, 320), TextLine(RomImages.Chargen, ColorRam, 1));
  VicWrite(0x18, 0x14);  // screen at bank + $0400, characters at bank + $1000
  for (std::uint16_t bank : {0x0000, 0x4000, 0x8000, 0xC000}) {
    Vic.BankBase = bank;
    for (unsigned i = 0; i < 2048; ++i) MainRam[bank + 0x1000 + i] = TestPattern(i / 8, i % 8);
    const bool rom = bank == 0x0000 || bank == 0x8000;
    RenderLine(51);
    EXPECT_EQ(PictureRowHex(1, 0, 320),
              TextLine(&MainRam[bank + 0x0400], ColorRam, 1, rom ? RomImages.Chargen : nullptr));
  }
  // Screen at $FC00: row 25 runs past $FFFF into $0000.
  VicWrite(0x18, 0xF8);
  VicWrite(0x11, 0x18);
  std::memcpy(&MainRam[0xE000], &MainRam[0x2000], 2048);
  std::uint8_t codes[40], colors[40];
  for (unsigned i = 0; i < 40; ++i) {
    codes[i] = MainRam[(0xFC00 + 1000 + i) & 0xFFFF];
    colors[i] = ColorRam[(1000 + i) % 1024];
  }
  RenderLine(247);
  EXPECT_EQ(PictureRowHex(197, 0, 320), TextLine(codes, colors, 0));
}

// Screen at $0400, a cleared picture, every sprite's data at $0340 (pointer $0D).
void SetUpSprites(std::uint8_t fill) {
  test::PowerOnMachine();
  VicWrite(0x18, 0x15);
  std::memset(FrameImage.Picture, 0, PictureBufferSize);
  std::memset(&MainRam[0x07F8], 0x0D, 8);
  std::memset(&MainRam[0x0340], fill, 63);
}

void PlaceSprite(int n, unsigned x, std::uint8_t y, std::uint8_t color) {
  const auto bit = static_cast<std::uint8_t>(1 << n);
  VicWrite(static_cast<std::uint8_t>(2 * n), static_cast<std::uint8_t>(x));
  VicWrite(static_cast<std::uint8_t>(2 * n + 1), y);
  VicWrite(0x10, static_cast<std::uint8_t>(x > 255 ? VicRead(0x10) | bit : VicRead(0x10) & ~bit));
  VicWrite(static_cast<std::uint8_t>(0x27 + n), color);
  VicWrite(0x15, VicRead(0x15) | bit);
}

// Set pixels in the whole buffer, so that a write past row 199 counts too.
int Redrawn() {
  std::memset(FrameImage.Picture, 0, PictureBufferSize);
  DrawSprites();
  int count = 0;
  for (std::size_t i = 0; i < PictureBufferSize; ++i) count += FrameImage.Picture[i] != 0;
  return count;
}

TEST(VicSprites, HiresAndMulticolourDotsWithBothExpansions) {
  SetUpSprites(0xFF);
  PlaceSprite(0, 24, 50, 0xF7);  // only the colour's low four bits count
  EXPECT_EQ(Redrawn(), 24 * 21);
  EXPECT_EQ(PictureRowHex(20, 0, 25), std::string(24, '7') + "0");

  SetUpSprites(0x00);
  MainRam[0x0340] = 0xA0;      // row 0: dots 0 and 2
  MainRam[0x0340 + 5] = 0x01;  // row 1: dot 23
  PlaceSprite(0, 24 + 100, 50 + 40, 3);
  EXPECT_EQ(Redrawn(), 3);
  EXPECT_EQ(PictureRowHex(40, 100, 4) + PictureRowHex(41, 122, 3), "3030" "030");
  VicWrite(0x1D, 0x01);
  VicWrite(0x17, 0x01);
  EXPECT_EQ(Redrawn(), 3 * 4);
  EXPECT_EQ(PictureRowHex(40, 100, 6) + PictureRowHex(41, 100, 6), "330033" "330033");
  EXPECT_EQ(PictureRowHex(43, 144, 4), "0033");

  // Multicolour pairs 00 01 10 11: transparent, $D025, the sprite's colour, $D026.
  MainRam[0x0340] = 0x1B;
  MainRam[0x0340 + 5] = 0x00;
  VicWrite(0x25, 0xF5);
  VicWrite(0x26, 0x0C);
  VicWrite(0x1C, 0x01);
  VicWrite(0x17, 0x00);
  PlaceSprite(0, 24, 50, 2);
  Redrawn();
  EXPECT_EQ(PictureRowHex(0, 0, 17), "000055552222CCCC0");
  VicWrite(0x1D, 0x00);
  Redrawn();
  EXPECT_EQ(PictureRowHex(0, 0, 9), "005522CC0");
}

TEST(VicSprites, EveryPixelIsClippedToTheWindow) {
  const struct { unsigned X; std::uint8_t Y, ExpandX, ExpandY; int Pixels, Row, First; } cases[] = {
      {0, 100, 0, 0, 0, 0, 0},          {0, 100, 1, 0, 24 * 21, 50, 0},  // left edge
      {8, 100, 0, 0, 8 * 21, 50, 0},    {0x158, 100, 0, 0, 0, 0, 0},     // left, right
      {0x150, 100, 0, 0, 8 * 21, 50, 312},                               // right edge
      {100, 240, 0, 1, 24 * 10, 190, 76}, {100, 40, 0, 0, 24 * 11, 0, 76}};  // bottom, top
  for (const auto& c : cases) {
    SetUpSprites(0xFF);
    VicWrite(0x1D, c.ExpandX);
    VicWrite(0x17, c.ExpandY);
    PlaceSprite(0, c.X, c.Y, 1);
    EXPECT_EQ(Redrawn(), c.Pixels) << "X " << c.X << " Y " << +c.Y;
    EXPECT_EQ(PictureRowHex(c.Row, c.First, 1), c.Pixels ? "1" : "0") << "X " << c.X;
  }
}

TEST(VicSprites, SpriteZeroIsInFrontAndPointersFollowBankAndScreen) {
  SetUpSprites(0x00);
  std::memset(&MainRam[0x0380], 0xFF, 63);
  MainRam[0x07F9] = 0x0E;  // sprite 1: solid, at $0380
  MainRam[0x0340] = 0xF0;  // sprite 0: four dots
  PlaceSprite(1, 24, 50, 5);
  PlaceSprite(0, 24, 50, 2);
  VicWrite(0x1B, 0x03);  // background priority does not hide sprites
  Redrawn();
  EXPECT_EQ(PictureRowHex(0, 0, 6) + PictureRowHex(1, 0, 2), "222255" "55");

  // Bank 1 with the screen at $0C00: sprite 0's pointer at $4FF8, data at $4000 + 64 x $40,
  // which is RAM, not the character ROM, in bank 0 at $1000 as well.
  for (std::uint16_t bank : {0x4000, 0x0000}) {
    SetUpSprites(0x00);
    Vic.BankBase = bank;
    VicWrite(0x18, bank ? 0x35 : 0x15);
    MainRam[bank + (bank ? 0x0FF8 : 0x07F8)] = 0x40;
    std::memset(&MainRam[bank + 0x1000], 0, 63);
    MainRam[bank + 0x1000 + 62] = 0x01;
    PlaceSprite(0, 24, 50, 1);
    EXPECT_EQ(Redrawn(), 1);
    EXPECT_EQ(PictureRowHex(20, 23, 1), "1");
  }
}

}  // namespace
}  // namespace quillon
