#include <gtest/gtest.h>

#include <cstring>

#include "core/machine.h"
#include "host/full_screen_surface.h"
#include "host/host_state.h"
#include "support/machine.h"
#include "support/picture.h"
#include "vic/frame_image.h"
#include "vic/sprites.h"
#include "vic/vic.h"

namespace quillon {
namespace {

using test::PowerOnMachine;
using test::RenderLine;

std::uint8_t Surface[PictureWidth * PictureHeight];
int Locks = 0;
int Unlocks = 0;
bool SurfaceAvailable = true;

std::uint8_t* LockTestSurface() {
  ++Locks;
  return SurfaceAvailable ? Surface : nullptr;
}
void UnlockTestSurface() { ++Unlocks; }

// Full-screen presentation onto a plain buffer standing in for the back buffer.
class VicFullScreen : public ::testing::Test {
 protected:
  void SetUp() override {
    PowerOnMachine();
    VicWrite(0x11, 0x1B);
    VicWrite(0x16, 0xC8);
    VicWrite(0x18, 0x15);
    VicWrite(0x20, 14);
    VicWrite(0x21, 6);
    for (unsigned i = 0; i < 1000; ++i) {
      MainRam[0x0400 + i] = static_cast<std::uint8_t>(i);
      ColorRam[i] = static_cast<std::uint8_t>(i % 16);
    }
    std::memset(Surface, 0xBB, sizeof Surface);
    Locks = Unlocks = 0;
    SurfaceAvailable = true;
    FullScreenSurfaceLock = LockTestSurface;
    FullScreenSurfaceUnlock = UnlockTestSurface;
  }
  void TearDown() override {
    Host.FullScreenActive = 0;
    FullScreenSurfaceLock = LockFullScreenSurface;
    FullScreenSurfaceUnlock = UnlockFullScreenSurface;
  }
};

TEST_F(VicFullScreen, RowsGoToTheSurfaceInsteadOfThePicture) {
  // The rows as the window shows them.
  RenderLine(100);
  VicWrite(0x11, 0x13);
  RenderLine(50);
  std::uint8_t textRow[PictureWidth];
  std::uint8_t blankRow[PictureWidth];
  std::memcpy(textRow, FrameImage.Picture + 50 * PictureWidth, PictureWidth);
  std::memcpy(blankRow, FrameImage.Picture, PictureWidth);
  ASSERT_EQ(blankRow[0], 14);

  std::memset(FrameImage.Picture, 0xAA, PictureBufferSize);
  Host.FullScreenActive = 1;
  VicWrite(0x11, 0x1B);
  RenderLine(100);
  VicWrite(0x11, 0x13);
  VicWrite(0x20, 3);
  RenderLine(50);
  RenderLine(30);  // outside the window: no surface access
  EXPECT_EQ(std::memcmp(Surface + 50 * PictureWidth, textRow, PictureWidth), 0);
  for (int c = 0; c < PictureWidth; ++c) ASSERT_EQ(Surface[c], 3);
  EXPECT_EQ(Surface[PictureWidth], 0xBB) << "only the rendered rows are written";
  for (std::size_t i = 0; i < PictureBufferSize; ++i) ASSERT_EQ(FrameImage.Picture[i], 0xAA);
  EXPECT_EQ(FrameImage.LineBorderColor[50], 3);
  EXPECT_EQ(FrameImage.LineBorderColor[30], 3);
  EXPECT_EQ(Locks, 2);
  EXPECT_EQ(Unlocks, 2);
}

TEST_F(VicFullScreen, EachSpriteLocksTheSurfaceOnce) {
  Host.FullScreenActive = 1;
  std::memset(&MainRam[0x07F8], 0x0D, 8);
  std::memset(&MainRam[0x0340], 0xFF, 63);
  VicWrite(0x15, 0x85);
  VicWrite(0x00, 24);
  VicWrite(0x01, 50);
  VicWrite(0x27, 1);
  VicWrite(0x04, 24 + 100);
  VicWrite(0x05, 50 + 100);
  VicWrite(0x29, 2);
  VicWrite(0x1C, 0x80);
  VicWrite(0x26, 5);  // solid data is all pairs 11
  VicWrite(0x0E, 24 + 200);
  VicWrite(0x0F, 50 + 150);
  DrawSprites();
  EXPECT_EQ(Locks, 3);
  EXPECT_EQ(Unlocks, 3);
  EXPECT_EQ(Surface[0], 1);
  EXPECT_EQ(Surface[100 * PictureWidth + 100], 2);
  EXPECT_EQ(Surface[150 * PictureWidth + 200], 5);
}

TEST_F(VicFullScreen, ASurfaceThatCannotBeLockedIsSkipped) {
  Host.FullScreenActive = 1;
  SurfaceAvailable = false;
  std::memset(FrameImage.Picture, 0xAA, PictureBufferSize);
  VicWrite(0x15, 0x01);
  for (int i = 0; i < 312; ++i) RasterLineStep();
  EXPECT_EQ(Locks, 200 + 1);
  EXPECT_EQ(Unlocks, 0);
  for (std::size_t i = 0; i < PictureBufferSize; ++i) ASSERT_EQ(FrameImage.Picture[i], 0xAA);
  EXPECT_EQ(FrameImage.LineBorderColor[311], 14);
}

}  // namespace
}  // namespace quillon
