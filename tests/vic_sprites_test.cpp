#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <utility>

#include "core/machine.h"
#include "support/machine.h"
#include "support/picture.h"
#include "vic/frame_image.h"
#include "vic/sprites.h"
#include "vic/vic.h"

namespace quillon {
namespace {

using test::PicturePixel;
using test::PictureRowHex;
using test::PowerOnMachine;

// Screen at $0400 in bank 0, a cleared picture, and the data of every sprite at $0340
// (pointer $0D) filled with `fill`.
void SetUpSprites(std::uint8_t fill) {
  PowerOnMachine();
  VicWrite(0x18, 0x15);
  std::memset(FrameImage.Picture, 0, PictureBufferSize);
  std::memset(&MainRam[0x07F8], 0x0D, 8);
  std::memset(&MainRam[0x0340], fill, 63);
}

void PlaceSprite(int n, unsigned x, std::uint8_t y, std::uint8_t color) {
  VicWrite(static_cast<std::uint8_t>(2 * n), static_cast<std::uint8_t>(x & 0xFF));
  VicWrite(static_cast<std::uint8_t>(2 * n + 1), y);
  std::uint8_t high = VicRead(0x10);
  high = static_cast<std::uint8_t>((x & 0x100) ? high | (1 << n) : high & ~(1 << n));
  VicWrite(0x10, high);
  VicWrite(static_cast<std::uint8_t>(0x27 + n), color);
  VicWrite(0x15, static_cast<std::uint8_t>(VicRead(0x15) | (1 << n)));
}

// The columns of picture row `row` that are not 0, as the first and one past the last;
// (0, 0) when there are none.
std::pair<int, int> SetSpan(int row) {
  int first = -1, last = -1;
  for (int c = 0; c < PictureWidth; ++c) {
    if (PicturePixel(row, c) != 0) {
      if (first < 0) first = c;
      last = c;
    }
  }
  return first < 0 ? std::make_pair(0, 0) : std::make_pair(first, last + 1);
}

// Counted over the whole picture buffer, so that a write past row 199 shows too.
int CountSetPixels() {
  int count = 0;
  for (std::size_t i = 0; i < PictureBufferSize; ++i) count += FrameImage.Picture[i] != 0;
  return count;
}

TEST(VicSprites, HiresSpriteAtTheTopLeftCornerCoversTwentyFourByTwentyOne) {
  SetUpSprites(0xFF);
  PlaceSprite(0, 24, 50, 0xF7);  // only the low four bits of the colour count
  DrawSprites();
  for (int row = 0; row < 21; ++row) EXPECT_EQ(PictureRowHex(row, 0, 25), std::string(24, '7') + "0");
  EXPECT_EQ(PictureRowHex(21, 0, 25), std::string(25, '0'));
  EXPECT_EQ(CountSetPixels(), 24 * 21);
}

TEST(VicSprites, DotsFollowTheBitsAndTheExpansionDoublesThem) {
  SetUpSprites(0x00);
  MainRam[0x0340] = 0xA0;      // row 0: dots 0 and 2
  MainRam[0x0340 + 5] = 0x01;  // row 1: dot 23
  PlaceSprite(0, 24 + 100, 50 + 40, 3);
  DrawSprites();
  EXPECT_EQ(PictureRowHex(40, 100, 24), "303" + std::string(21, '0'));
  EXPECT_EQ(PictureRowHex(41, 100, 24), std::string(23, '0') + "3");
  EXPECT_EQ(CountSetPixels(), 3);

  std::memset(FrameImage.Picture, 0, PictureBufferSize);
  VicWrite(0x1D, 0x01);
  VicWrite(0x17, 0x01);
  DrawSprites();
  for (int row : {40, 41}) EXPECT_EQ(PictureRowHex(row, 100, 8), "33003300");
  for (int row : {42, 43}) EXPECT_EQ(PictureRowHex(row, 100 + 44, 4), "0033");
  EXPECT_EQ(CountSetPixels(), 3 * 4);
}

TEST(VicSprites, MulticolourPairsTakeTheSharedColoursAndTheSpriteColour) {
  SetUpSprites(0x00);
  MainRam[0x0340] = 0x1B;  // pairs 00 01 10 11
  MainRam[0x0340 + 2] = 0xC0;
  VicWrite(0x25, 0xF5);
  VicWrite(0x26, 0x0C);
  VicWrite(0x1C, 0x01);
  PlaceSprite(0, 24, 50, 2);
  DrawSprites();
  EXPECT_EQ(PictureRowHex(0, 0, 24), "005522CC" "00000000" "CC000000");
  EXPECT_EQ(CountSetPixels(), 8);

  std::memset(FrameImage.Picture, 0, PictureBufferSize);
  VicWrite(0x1D, 0x01);
  DrawSprites();
  EXPECT_EQ(PictureRowHex(0, 0, 16), "000055552222CCCC");
  EXPECT_EQ(PictureRowHex(0, 32, 16), "CCCC000000000000");
}

TEST(VicSprites, PixelsOutsideTheWindowAreClippedOneByOne) {
  // Left edge: X = 0 is entirely outside unless expanded; X = 8 shows the last 8 columns.
  SetUpSprites(0xFF);
  PlaceSprite(0, 0, 100, 1);
  DrawSprites();
  EXPECT_EQ(CountSetPixels(), 0);
  VicWrite(0x1D, 0x01);
  DrawSprites();
  EXPECT_EQ(SetSpan(50), std::make_pair(0, 24));
  EXPECT_EQ(CountSetPixels(), 24 * 21);

  SetUpSprites(0xFF);
  PlaceSprite(0, 8, 100, 1);
  DrawSprites();
  EXPECT_EQ(SetSpan(50), std::make_pair(0, 8));

  // Right edge: x = 320 draws nothing; x = 312 shows the first 8 columns.
  SetUpSprites(0xFF);
  PlaceSprite(0, 0x158, 100, 1);
  DrawSprites();
  EXPECT_EQ(CountSetPixels(), 0);
  PlaceSprite(0, 0x150, 100, 1);
  DrawSprites();
  EXPECT_EQ(SetSpan(50), std::make_pair(312, 320));
  EXPECT_EQ(CountSetPixels(), 8 * 21);

  // Bottom edge: a Y-expanded sprite at Y = 240 shows rows 190-199 and nothing wraps.
  SetUpSprites(0xFF);
  VicWrite(0x17, 0x01);
  PlaceSprite(0, 100, 240, 1);
  DrawSprites();
  EXPECT_EQ(CountSetPixels(), 24 * 10);
  EXPECT_EQ(SetSpan(190), std::make_pair(76, 100));
  EXPECT_EQ(SetSpan(0), std::make_pair(0, 0));

  // Top edge: Y = 40 starts ten rows above the window.
  SetUpSprites(0xFF);
  PlaceSprite(0, 100, 40, 1);
  DrawSprites();
  EXPECT_EQ(CountSetPixels(), 24 * 11);
  EXPECT_EQ(SetSpan(10), std::make_pair(76, 100));
  EXPECT_EQ(SetSpan(11), std::make_pair(0, 0));
}

TEST(VicSprites, LowerNumberedSpritesAreInFront) {
  SetUpSprites(0x00);
  std::memset(&MainRam[0x0380], 0xFF, 63);  // pointer $0E: solid
  MainRam[0x07F9] = 0x0E;
  MainRam[0x0340] = 0xF0;  // sprite 0: left half of its first byte
  PlaceSprite(1, 24, 50, 5);
  PlaceSprite(0, 24, 50, 2);
  VicWrite(0x1B, 0x03);  // background priority does not hide sprites
  DrawSprites();
  EXPECT_EQ(PictureRowHex(0, 0, 12), "222255555555");
  EXPECT_EQ(PictureRowHex(1, 0, 4), "5555");
}

TEST(VicSprites, PointersAndDataFollowTheBankAndScreenBaseAndComeFromRam) {
  SetUpSprites(0x00);
  MainRam[0x07FA] = 0x0D;
  MainRam[0x0340] = 0x80;
  PlaceSprite(2, 24, 50, 1);
  DrawSprites();
  EXPECT_EQ(PicturePixel(0, 0), 1);

  // Bank 1 with the screen at $0C00: the pointer is at $4FFA and data at $4000 + 64 x pointer.
  std::memset(FrameImage.Picture, 0, PictureBufferSize);
  Vic.BankBase = 0x4000;
  VicWrite(0x18, 0x35);
  MainRam[0x4FFA] = 0x10;
  std::memset(&MainRam[0x4400], 0x00, 63);
  MainRam[0x4400 + 3] = 0x40;
  DrawSprites();
  EXPECT_EQ(CountSetPixels(), 1);
  EXPECT_EQ(PicturePixel(1, 1), 1);

  // Data at $1000 in bank 0 is RAM to the sprites, not the character ROM.
  std::memset(FrameImage.Picture, 0, PictureBufferSize);
  Vic.BankBase = 0;
  VicWrite(0x18, 0x15);
  MainRam[0x07FA] = 0x40;
  std::memset(&MainRam[0x1000], 0x00, 63);
  MainRam[0x1000 + 62] = 0x01;
  DrawSprites();
  EXPECT_EQ(CountSetPixels(), 1);
  EXPECT_EQ(PicturePixel(20, 23), 1);
}

TEST(VicSprites, FrameEndDrawsSpritesOverTheRenderedPicture) {
  SetUpSprites(0xFF);
  VicWrite(0x11, 0x1B);
  VicWrite(0x20, 6);
  PlaceSprite(0, 24 + 10, 50 + 10, 1);
  for (int i = 0; i < 312; ++i) RasterLineStep();
  EXPECT_EQ(PicturePixel(10, 10), 1);
  EXPECT_EQ(PicturePixel(30, 33), 1);
  EXPECT_EQ(PicturePixel(31, 33), 0) << "below the sprite: background colour 0";
}

}  // namespace
}  // namespace quillon
