#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "core/machine.h"
#include "core/rom_images.h"
#include "support/machine.h"
#include "support/picture.h"
#include "vic/frame_image.h"
#include "vic/vic.h"

namespace quillon {
namespace {

using test::HiresHex;
using test::PictureRowHex;
using test::RenderLine;

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

}  // namespace
}  // namespace quillon
