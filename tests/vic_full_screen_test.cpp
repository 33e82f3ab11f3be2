#include <gtest/gtest.h>

#include <cstring>

#include "core/machine.h"
#include "host/display.h"
#include "host/host_state.h"
#include "support/machine.h"
#include "support/picture.h"
#include "vic/frame_image.h"
#include "vic/sprites.h"
#include "vic/vic.h"

namespace quillon {
namespace {

TEST(VicFullScreen, RowsAndSpritesGoToTheSurfaceAndALockedSurfaceIsSkipped) {
  test::PowerOnMachine();
  VicWrite(0x11, 0x13);  // 24 rows: line 50 is blank, line 100 shows text
  VicWrite(0x18, 0x15);
  VicWrite(0x20, 14);
  test::RenderLine(100);
  std::uint8_t textRow[PictureWidth];
  std::memcpy(textRow, FrameImage.Picture + 50 * PictureWidth, PictureWidth);
  std::memset(FrameImage.Picture, 0xAA, PictureBufferSize);
  std::memset(FullScreen.Surface, 0xBB, sizeof FullScreen.Surface);

  Host.FullScreenActive = 1;
  test::RenderLine(100);
  test::RenderLine(50);
  std::memset(&MainRam[0x0340], 0xFF, 63);
  MainRam[0x07F8] = 0x0D;
  VicWrite(0x15, 0x01);
  VicWrite(0x00, 24 + 5);
  VicWrite(0x01, 50 + 10);
  VicWrite(0x27, 7);
  DrawSprites();
  EXPECT_EQ(FullScreen.SurfaceLocked, 0) << "every lock is followed by its unlock";
  EXPECT_EQ(std::memcmp(FullScreen.Surface + 50 * PictureWidth, textRow, PictureWidth), 0);
  EXPECT_EQ(FullScreen.Surface[0], 14);
  EXPECT_EQ(FullScreen.Surface[PictureWidth], 0xBB) << "only the rendered rows are written";
  EXPECT_EQ(FullScreen.Surface[10 * PictureWidth + 5], 7);
  for (std::size_t i = 0; i < PictureBufferSize; ++i) ASSERT_EQ(FrameImage.Picture[i], 0xAA);

  // A surface that cannot be locked loses the row; the border colour is still recorded.
  FullScreen.SurfaceLocked = 1;
  VicWrite(0x20, 2);
  test::RenderLine(51);
  DrawSprites();
  EXPECT_EQ(FullScreen.Surface[PictureWidth], 0xBB);
  EXPECT_EQ(FullScreen.Surface[10 * PictureWidth + 5], 7);
  EXPECT_EQ(FrameImage.LineBorderColor[51], 2);
  Host.FullScreenActive = 0;
  FullScreen.SurfaceLocked = 0;
}

}  // namespace
}  // namespace quillon
