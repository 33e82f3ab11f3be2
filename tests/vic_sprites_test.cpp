#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "core/machine.h"
#include "support/machine.h"
#include "support/picture.h"
#include "vic/frame_image.h"
#include "vic/sprites.h"
#include "vic/vic.h"

namespace quillon {
namespace {

using test::PictureRowHex;

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
