#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "cia/keyboard.h"
#include "core/machine.h"
#include "host/display.h"
#include "host/full_screen_surface.h"
#include "host/headless/headless_backend.h"
#include "host/host_state.h"
#include "support/machine.h"
#include "support/picture.h"
#include "vic/frame_image.h"
#include "vic/sprites.h"
#include "vic/vic.h"

namespace quillon {
namespace {

// The fake platform writes down what it was asked to do, in order.
std::string Calls;
DisplayMode LastMode;
bool AcquireSucceeds = true;
int PresentFailures = 0;

void UseRecordingPlatform() {
  DisplayPlatform = {
      .ResizeMainWindow = nullptr,
      .ShowMouseCursor = [](bool visible) { Calls += visible ? "show " : "hide "; },
      .ReadDesktopMode = [] { return DisplayMode{1920, 1080, 32}; },
      .ReadMainWindowRect = [] { return WindowRect{100, 50, 466, 334}; },
      .MoveMainWindow = [](const WindowRect& r) { Calls += "move" + std::to_string(r.Left) + " "; },
      .AcquireFullScreen = [] { return (Calls += "acquire "), AcquireSucceeds; },
      .ReleaseFullScreen = [] { Calls += "release "; },
      .SetDisplayMode = [](const DisplayMode& mode) { Calls += "mode "; LastMode = mode; },
      .PresentIndexedPicture = [](const std::uint8_t* pixels, std::int32_t, std::int32_t,
                                  const FullScreenPaletteEntry* palette) {
        EXPECT_TRUE(pixels == FullScreen.Surface && palette == FullScreen.PaletteEntries);
        Calls += "present ";
        return PresentFailures-- <= 0;
      }};
}

// The Full screen command's sequence.
void Enter() {
  ASSERT_TRUE(EnterFullScreen());
  CreateFlipChain();
  CreateFullScreenPalette();
  Host.FullScreenActive = 1;
}

TEST(FullScreen, EnterSwitchesTo320x200x8AndLeaveRestoresTheDesktop) {
  test::PowerOnMachine();
  UseRecordingPlatform();
  AcquireSucceeds = false;
  EXPECT_FALSE(EnterFullScreen());
  EXPECT_EQ(Calls, "hide acquire show ") << "a display that cannot be had shows the cursor again";
  Calls.clear();
  AcquireSucceeds = true;
  Enter();
  EXPECT_EQ(Calls, "hide acquire mode ");
  EXPECT_EQ(LastMode.Width * 10000 + LastMode.Height * 10 + LastMode.BitsPerPixel, 3202008);
  Calls.clear();
  PresentFailures = 1000000;
  PresentFullScreen();
  EXPECT_TRUE(Calls.starts_with("present present ") && Calls.size() < 100u)
      << "a failed presentation is retried, but never hangs";
  Calls.clear();
  Host.FullScreenActive = 0;
  LeaveFullScreen();
  EXPECT_EQ(Calls, "mode release move100 show ");
  EXPECT_EQ(LastMode.Width * 10000 + LastMode.Height * 10 + LastMode.BitsPerPixel, 19210832);
}

TEST(FullScreen, RowsAndSpritesGoToTheSurfaceAndOverlaysNever) {
  test::PowerOnMachine();
  UseHeadlessBackend(false);
  VicWrite(0x11, 0x13);  // 24 rows: line 50 is blank, line 100 shows text
  VicWrite(0x18, 0x15);
  VicWrite(0x20, 14);
  test::RenderLine(100);
  std::uint8_t textRow[PictureWidth];
  std::memcpy(textRow, FrameImage.Picture + 50 * PictureWidth, PictureWidth);
  std::memset(FrameImage.Picture, 0xAA, PictureBufferSize);
  Enter();
  test::RenderLine(100);
  test::RenderLine(50);
  std::memset(&MainRam[0x0340], 0xFF, 63);
  MainRam[0x07F8] = 0x0D;
  const std::uint8_t sprite[][2] = {{0x15, 0x01}, {0x00, 24 + 5}, {0x01, 50 + 10}, {0x27, 7}};
  for (const auto& r : sprite) VicWrite(r[0], r[1]);
  DrawSprites();
  EXPECT_EQ(std::memcmp(FullScreen.Surface + 50 * PictureWidth, textRow, PictureWidth), 0);
  EXPECT_EQ(FullScreen.Surface[0], 14);
  EXPECT_EQ(FullScreen.Surface[PictureWidth], 0) << "only the rendered rows are written";
  EXPECT_EQ(FullScreen.Surface[10 * PictureWidth + 5], 7);
  for (std::size_t i = 0; i < PictureBufferSize; ++i) ASSERT_EQ(FrameImage.Picture[i], 0xAA);

  // One drawing at a time: while the surface is locked, a row is lost but its border recorded.
  std::uint8_t* surface = LockFullScreenSurface();
  ASSERT_EQ(surface, FullScreen.Surface);
  EXPECT_EQ(LockFullScreenSurface(), nullptr);
  VicWrite(0x20, 2);
  test::RenderLine(51);
  EXPECT_EQ(FullScreen.Surface[PictureWidth], 0);
  EXPECT_EQ(FrameImage.LineBorderColor[51], 2);
  UnlockFullScreenSurface();

  // The trace view and status line go into the frame image, not the surface.
  std::uint8_t before[sizeof FullScreen.Surface];
  std::memcpy(before, FullScreen.Surface, sizeof before);
  HostKeyDown[VirtualKeyF12] = 1;
  CreateDisplayBuffer();
  ConvertFrame(Host.DisplayPixels);
  EXPECT_EQ(std::memcmp(before, FullScreen.Surface, sizeof before), 0);
}

}  // namespace
}  // namespace quillon
