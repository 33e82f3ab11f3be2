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
using test::PowerOnMachine;
using test::RenderLine;

constexpr std::uint8_t Border = 14;
constexpr std::uint8_t Background = 6;

// A pattern byte that differs for every code and for every glyph line of a code.
std::uint8_t TestPattern(unsigned code, unsigned glyphLine) {
  return static_cast<std::uint8_t>(code * 13 + glyphLine * 71 + 1);
}

// 40 x 25 text at $0400 with a character set in RAM at $2000 (code n, glyph line g holds
// TestPattern(n, g)), border 14, background 6, 25 rows, 40 columns, no fine scroll offsets
// beyond the usual vertical 3.
void SetUpRamText() {
  PowerOnMachine();
  VicWrite(0x11, 0x1B);
  VicWrite(0x16, 0xC8);
  VicWrite(0x18, 0x18);
  VicWrite(0x20, Border);
  VicWrite(0x21, Background);
  for (unsigned code = 0; code < 256; ++code) {
    for (unsigned g = 0; g < 8; ++g) MainRam[0x2000 + code * 8 + g] = TestPattern(code, g);
  }
  for (unsigned i = 0; i < 1000; ++i) {
    MainRam[0x0400 + i] = static_cast<std::uint8_t>(i * 7 + 3);
    ColorRam[i] = static_cast<std::uint8_t>(i % 16);
  }
}

// What a standard text row shows for glyph line g when cell i holds `codes[i]` in colour
// `colors[i]`.
std::string ExpectedTextLine(const std::uint8_t* codes, const std::uint8_t* colors, unsigned g,
                             const std::uint8_t* patterns = nullptr) {
  std::string text;
  for (int i = 0; i < 40; ++i) {
    const std::uint8_t pattern = patterns ? patterns[codes[i] * 8 + g] : TestPattern(codes[i], g);
    text += HiresHex(pattern, colors[i], Background);
  }
  return text;
}

std::string Repeat(char digit, int count) { return std::string(static_cast<std::size_t>(count), digit); }

TEST(VicRender, KernalTextSettingsShowCharacterRomGlyphsInColourRamColours) {
  PowerOnMachine();
  VicWrite(0x11, 0x1B);
  VicWrite(0x16, 0xC8);
  VicWrite(0x18, 0x15);
  VicWrite(0x20, Border);
  VicWrite(0x21, Background);
  for (unsigned i = 0; i < 40; ++i) {
    MainRam[0x0400 + i] = static_cast<std::uint8_t>(i + 1);
    ColorRam[i] = static_cast<std::uint8_t>(15 - i % 16);
  }
  for (unsigned g = 0; g < 8; ++g) {
    RenderLine(50 + static_cast<int>(g));
    EXPECT_EQ(PictureRowHex(static_cast<int>(g), 0, 320),
              ExpectedTextLine(&MainRam[0x0400], ColorRam, g, RomImages.Chargen))
        << "glyph line " << g;
  }
  EXPECT_EQ(FrameImage.LineBorderColor[50], Border);
}

TEST(VicRender, LinesOutsideTheWindowOnlyRecordTheirBorderColour) {
  SetUpRamText();
  std::memset(FrameImage.Picture, 0xAA, PictureBufferSize);
  for (int line = 0; line < 312; ++line) {
    if (line == 50) line = 250;
    VicWrite(0x20, static_cast<std::uint8_t>(line));
    RenderLine(line);
    EXPECT_EQ(FrameImage.LineBorderColor[line], line & 0x0F);
  }
  for (std::size_t i = 0; i < PictureBufferSize; ++i) ASSERT_EQ(FrameImage.Picture[i], 0xAA);
}

TEST(VicRender, DisabledDisplayFillsTheFrameWithTheBorderColour) {
  PowerOnMachine();
  VicWrite(0x20, 6);
  for (int i = 0; i < 312; ++i) RasterLineStep();
  for (int i = 0; i < PictureWidth * PictureHeight; ++i) ASSERT_EQ(FrameImage.Picture[i], 6);
  for (std::uint8_t color : FrameImage.LineBorderColor) ASSERT_EQ(color, 6);

  // A border change mid-frame shows from the next rendered line; earlier rows keep the old
  // colour.
  for (int i = 0; i < 120; ++i) RasterLineStep();
  VicWrite(0x20, 2);
  for (int i = 120; i < 312; ++i) RasterLineStep();
  EXPECT_EQ(FrameImage.LineBorderColor[119], 6);
  EXPECT_EQ(FrameImage.LineBorderColor[120], 2);
  EXPECT_EQ(PictureRowHex(69, 0, 4), "6666");
  EXPECT_EQ(PictureRowHex(70, 0, 4), "2222");

  // Under NTSC the lines past 261 are never rendered, so their entries stay.
  VideoStandard = VideoStandardNtsc;
  VicWrite(0x20, 5);
  for (int i = 0; i < 262; ++i) RasterLineStep();
  EXPECT_EQ(FrameImage.LineBorderColor[261], 5);
  EXPECT_EQ(FrameImage.LineBorderColor[262], 2);
  EXPECT_EQ(FrameImage.LineBorderColor[311], 2);
}

TEST(VicRender, StandardTextFromRamCharacterSet) {
  SetUpRamText();
  for (int row = 0; row < 200; row += 13) {
    RenderLine(50 + row);
    const int k = row / 8;
    EXPECT_EQ(PictureRowHex(row, 0, 320),
              ExpectedTextLine(&MainRam[0x0400 + 40 * k], &ColorRam[40 * k], row % 8))
        << "picture row " << row;
  }
}

TEST(VicRender, ExtendedBackgroundColourTextPicksTheBackgroundByTheTopTwoBits) {
  SetUpRamText();
  VicWrite(0x11, 0x5B);
  VicWrite(0x22, 2);
  VicWrite(0x23, 5);
  VicWrite(0x24, 7);
  const std::uint8_t codes[4] = {0x01, 0x41, 0x81, 0xC1};
  std::memcpy(&MainRam[0x0400], codes, 4);
  std::memset(ColorRam, 1, 4);
  RenderLine(52);
  const std::uint8_t pattern = TestPattern(0x01, 2);
  EXPECT_EQ(PictureRowHex(2, 0, 32), HiresHex(pattern, 1, Background) + HiresHex(pattern, 1, 2) +
                                         HiresHex(pattern, 1, 5) + HiresHex(pattern, 1, 7));
}

TEST(VicRender, MulticolourTextDrawsPairsOnlyWhereColourBitThreeIsSet) {
  SetUpRamText();
  VicWrite(0x16, 0xD8);
  VicWrite(0x22, 2);
  VicWrite(0x23, 5);
  MainRam[0x0400] = 0x10;
  MainRam[0x0401] = 0x10;
  MainRam[0x2000 + 0x10 * 8 + 4] = 0x1B;  // pairs 00 01 10 11
  ColorRam[0] = 3;
  ColorRam[1] = 8 + 7;
  RenderLine(54);
  EXPECT_EQ(PictureRowHex(4, 0, 16), HiresHex(0x1B, 3, Background) + "66225577");
}

// Bitmap at $2000, colours in the screen at $0400.
void SetUpBitmap(std::uint8_t control1, std::uint8_t control2) {
  SetUpRamText();
  VicWrite(0x11, control1);
  VicWrite(0x16, control2);
  for (unsigned i = 0; i < 8000; ++i) MainRam[0x2000 + i] = static_cast<std::uint8_t>(i * 29 + i / 320);
}

TEST(VicRender, HiresBitmapTakesBothColoursFromTheScreenByte) {
  SetUpBitmap(0x3B, 0xC8);
  for (unsigned i = 0; i < 40; ++i) MainRam[0x0400 + 40 + i] = static_cast<std::uint8_t>(i * 37);
  RenderLine(50 + 8 + 2);  // character row 1, glyph line 2
  std::string expected;
  for (unsigned i = 0; i < 40; ++i) {
    const std::uint8_t colors = MainRam[0x0400 + 40 + i];
    expected += HiresHex(MainRam[0x2000 + 320 + 8 * i + 2], colors >> 4, colors & 0x0F);
  }
  EXPECT_EQ(PictureRowHex(10, 0, 320), expected);
}

TEST(VicRender, MulticolourBitmapPairsTakeBackgroundScreenNibblesAndColourRam) {
  SetUpBitmap(0x3B, 0xD8);
  MainRam[0x0400 + 80] = 0x9A;
  ColorRam[80] = 4;
  MainRam[0x2000 + 640 + 7] = 0x1B;  // character row 2, glyph line 7, pairs 00 01 10 11
  MainRam[0x2000 + 640 + 8 + 7] = 0xE4;  // 11 10 01 00 in cell 1
  MainRam[0x0400 + 81] = 0x12;
  ColorRam[81] = 3;
  RenderLine(50 + 16 + 7);
  EXPECT_EQ(PictureRowHex(23, 0, 16), "6699AA44" "33221166");
}

TEST(VicRender, InvalidModeCombinationsShowOnlyTheBorder) {
  for (std::uint8_t control2 : {0xC8, 0xD8, 0xC0}) {
    for (std::uint8_t control1 : {0x7B, 0x5B, 0x3B}) {
      SetUpRamText();
      VicWrite(0x11, control1);
      VicWrite(0x16, control2);
      RenderLine(100);
      const bool invalid = (control1 & 0x40) && ((control1 & 0x20) || (control2 & 0x10));
      if (invalid) {
        EXPECT_EQ(PictureRowHex(50, 0, 320), Repeat('E', 320))
            << std::hex << int{control1} << " " << int{control2};
      } else {
        EXPECT_NE(PictureRowHex(50, 8, 304), Repeat('E', 304));
      }
    }
  }
}

TEST(VicRender, HorizontalFineScrollShiftsTheCellsRightOverTheBorderColour) {
  SetUpRamText();
  VicWrite(0x16, 0xCB);
  RenderLine(50);
  const std::string unscrolled = ExpectedTextLine(&MainRam[0x0400], ColorRam, 0);
  EXPECT_EQ(PictureRowHex(0, 0, 320), "EEE" + unscrolled.substr(0, 317));
}

TEST(VicRender, ThirtyEightColumnsCoverSevenPixelsOnEachSideInEveryMode) {
  for (std::uint8_t control1 : {0x1B, 0x3B}) {
    for (std::uint8_t control2 : {0xC0, 0xC5, 0xD0, 0xD7}) {
      SetUpBitmap(control1, control2);
      VicWrite(0x21, 0);
      RenderLine(120);
      const std::string row = PictureRowHex(70, 0, 320);
      EXPECT_EQ(row.substr(0, 7), "EEEEEEE");
      EXPECT_EQ(row.substr(313), "EEEEEEE");
      // With the columns at 40 the same line shows graphics there.
      VicWrite(0x16, control2 | 0x08);
      RenderLine(120);
      const std::string wide = PictureRowHex(70, 0, 320);
      EXPECT_EQ(row.substr(7, 306), wide.substr(7, 306));
      EXPECT_NE(wide.substr(313), "EEEEEEE");
    }
  }
}

TEST(VicRender, VerticalFineScrollShowsRowsMinusOneAndTwentyFive) {
  SetUpRamText();
  VicWrite(0x11, 0x18);  // YScroll 0
  RenderLine(50);
  EXPECT_EQ(PictureRowHex(0, 0, 320), ExpectedTextLine(&MainRam[0x0400], ColorRam, 3));
  // Row 25 reads screen bytes 1000-1039 and colour bytes 1000-1023, then 0-15.
  for (unsigned i = 1000; i < 1024; ++i) ColorRam[i] = static_cast<std::uint8_t>(i % 13);
  std::uint8_t colors[40];
  for (unsigned i = 0; i < 40; ++i) colors[i] = ColorRam[(1000 + i) % 1024];
  RenderLine(247);
  EXPECT_EQ(PictureRowHex(197, 0, 320), ExpectedTextLine(&MainRam[0x0400 + 1000], colors, 0));

  // Row -1 reads the 40 screen bytes below the screen and colour bytes 984-1023.
  VicWrite(0x11, 0x1F);  // YScroll 7
  for (int line = 50; line < 54; ++line) {
    RenderLine(line);
    EXPECT_EQ(PictureRowHex(line - 50, 0, 320),
              ExpectedTextLine(&MainRam[0x0400 - 40], &ColorRam[984],
                               static_cast<unsigned>(line - 50 + 4)));
  }
  RenderLine(54);
  EXPECT_EQ(PictureRowHex(4, 0, 320), ExpectedTextLine(&MainRam[0x0400], ColorRam, 0));
}

TEST(VicRender, VideoMatrixWrapsAtTheTopOfMemory) {
  SetUpRamText();
  Vic.BankBase = 0xC000;
  VicWrite(0x18, 0xF8);  // screen $FC00, characters $E000
  for (unsigned code = 0; code < 256; ++code) {
    for (unsigned g = 0; g < 8; ++g) MainRam[0xE000 + code * 8 + g] = TestPattern(code, g);
  }
  VicWrite(0x11, 0x18);
  std::uint8_t codes[40];
  for (unsigned i = 0; i < 40; ++i) codes[i] = MainRam[(0xFC00 + 1000 + i) & 0xFFFF];
  std::uint8_t colors[40];
  for (unsigned i = 0; i < 40; ++i) colors[i] = ColorRam[(1000 + i) % 1024];
  RenderLine(247);
  EXPECT_EQ(PictureRowHex(197, 0, 320), ExpectedTextLine(codes, colors, 0));

  // Row -1 of a screen at $0000 lies at $FFD8-$FFFF.
  Vic.BankBase = 0;
  VicWrite(0x18, 0x08);
  VicWrite(0x11, 0x1F);
  RenderLine(50);
  EXPECT_EQ(PictureRowHex(0, 0, 320), ExpectedTextLine(&MainRam[0xFFD8], &ColorRam[984], 4));
}

TEST(VicRender, TwentyFourRowsBorderFourRowsAtTheTopAndBottom) {
  SetUpRamText();
  VicWrite(0x11, 0x13);
  for (int line : {50, 53, 246, 249}) {
    RenderLine(line);
    EXPECT_EQ(PictureRowHex(line - 50, 0, 320), Repeat('E', 320)) << "line " << line;
  }
  for (int line : {54, 245}) {
    RenderLine(line);
    EXPECT_NE(PictureRowHex(line - 50, 0, 320), Repeat('E', 320)) << "line " << line;
  }
}

TEST(VicRender, CharacterRomShowsAtOneAndNineThousandHexInBanksZeroAndTwo) {
  SetUpRamText();
  // A screen at $1000 in bank 0 takes its codes from the character ROM.
  VicWrite(0x18, 0x48);
  RenderLine(50);
  EXPECT_EQ(PictureRowHex(0, 0, 320), ExpectedTextLine(&RomImages.Chargen[0], ColorRam, 0));

  // A screen at $1C00: row 25 wraps within the 4 KB character image.
  VicWrite(0x18, 0x78);
  VicWrite(0x11, 0x18);
  std::uint8_t codes[40];
  for (unsigned i = 0; i < 40; ++i) codes[i] = RomImages.Chargen[(0xC00 + 1000 + i) % 4096];
  std::uint8_t colors[40];
  for (unsigned i = 0; i < 40; ++i) colors[i] = ColorRam[(1000 + i) % 1024];
  RenderLine(247);
  EXPECT_EQ(PictureRowHex(197, 0, 320), ExpectedTextLine(codes, colors, 0));

  // Characters at $1000 come from the ROM in banks 0 and 2 and from RAM in banks 1 and 3.
  VicWrite(0x11, 0x1B);
  for (std::uint16_t bank : {0x0000, 0x4000, 0x8000, 0xC000}) {
    Vic.BankBase = bank;
    VicWrite(0x18, 0x14);  // screen at bank + $0400, characters at bank + $1000
    for (unsigned i = 0; i < 40; ++i) MainRam[bank + 0x0400 + i] = static_cast<std::uint8_t>(i + 1);
    for (unsigned code = 0; code < 256; ++code) MainRam[bank + 0x1000 + code * 8 + 1] = TestPattern(code, 1);
    const bool rom = bank == 0x0000 || bank == 0x8000;
    RenderLine(51);
    EXPECT_EQ(PictureRowHex(1, 0, 320),
              ExpectedTextLine(&MainRam[bank + 0x0400], ColorRam, 1, rom ? RomImages.Chargen : nullptr))
        << "bank " << std::hex << bank;
  }
}

TEST(VicRender, BitmapRowMinusOneReadsBelowTheBitmapBase) {
  SetUpBitmap(0x3F, 0xC8);  // YScroll 7
  VicWrite(0x18, 0x08);     // bitmap $0000, colours $0000
  RenderLine(51);           // row -1, glyph line 5: bytes from $FEC5 on
  std::string expected;
  for (unsigned i = 0; i < 40; ++i) {
    const std::uint8_t colors = MainRam[0xFFD8 + i];
    expected += HiresHex(MainRam[0xFEC0 + 8 * i + 5], colors >> 4, colors & 0x0F);
  }
  EXPECT_EQ(PictureRowHex(1, 0, 320), expected);
}

}  // namespace
}  // namespace quillon
