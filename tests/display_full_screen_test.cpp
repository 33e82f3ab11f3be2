#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "cia/keyboard.h"
#include "host/display.h"
#include "host/full_screen_surface.h"
#include "host/host_state.h"
#include "support/machine.h"
#include "vic/frame_image.h"

namespace quillon {
namespace {

// What the fake platform was asked to do, in order.
struct PlatformLog {
  std::string Calls;
  bool AcquireSucceeds = true;
  int PresentFailures = 0;
  DisplayMode Mode = {};
  WindowRect Window = {};
  const std::uint8_t* Presented = nullptr;
  FullScreenPaletteEntry PresentedColour9 = {};
};
PlatformLog Log;

void InstallFakePlatform() {
  Log = {};
  DisplayPlatform = {};
  DisplayPlatform.ShowMouseCursor = [](bool visible) { Log.Calls += visible ? "show " : "hide "; };
  DisplayPlatform.ReadDesktopMode = [] {
    Log.Calls += "read-mode ";
    return DisplayMode{1920, 1080, 32};
  };
  DisplayPlatform.ReadMainWindowRect = [] {
    Log.Calls += "read-rect ";
    return WindowRect{100, 50, 466, 334};
  };
  DisplayPlatform.MoveMainWindow = [](const WindowRect& rect) {
    Log.Calls += "move ";
    Log.Window = rect;
  };
  DisplayPlatform.AcquireFullScreen = [] {
    Log.Calls += "acquire ";
    return Log.AcquireSucceeds;
  };
  DisplayPlatform.ReleaseFullScreen = [] { Log.Calls += "release "; };
  DisplayPlatform.SetDisplayMode = [](const DisplayMode& mode) {
    Log.Calls += "set-mode ";
    Log.Mode = mode;
  };
  DisplayPlatform.PresentIndexedPicture = [](const std::uint8_t* pixels, std::int32_t width,
                                             std::int32_t height,
                                             const FullScreenPaletteEntry* palette) {
    Log.Calls += "present ";
    EXPECT_EQ(width, 320);
    EXPECT_EQ(height, 200);
    Log.Presented = pixels;
    Log.PresentedColour9 = palette[9];
    return Log.PresentFailures-- <= 0;
  };
}

class FullScreenTest : public ::testing::Test {
 protected:
  void SetUp() override {
    test::PowerOnMachine();
    Host.FullScreenActive = 0;
    InstallFakePlatform();
  }
  // The full-screen command's sequence.
  static void EnterAll() {
    ASSERT_TRUE(EnterFullScreen());
    CreateFlipChain();
    CreateFullScreenPalette();
    Host.FullScreenActive = 1;
  }
};

TEST_F(FullScreenTest, EnteringAndLeavingSavesAndRestoresTheDesktop) {
  EnterAll();
  EXPECT_EQ(Log.Calls, "hide read-mode read-rect acquire set-mode ");
  EXPECT_EQ(Log.Mode.Width, 320);
  EXPECT_EQ(Log.Mode.Height, 200);
  EXPECT_EQ(Log.Mode.BitsPerPixel, 8);

  Log.Calls.clear();
  Host.FullScreenActive = 0;
  LeaveFullScreen();
  EXPECT_EQ(Log.Calls, "set-mode release move show ");
  EXPECT_EQ(Log.Mode.Width, 1920);
  EXPECT_EQ(Log.Mode.Height, 1080);
  EXPECT_EQ(Log.Mode.BitsPerPixel, 32);
  EXPECT_EQ(Log.Window.Left, 100);
  EXPECT_EQ(Log.Window.Bottom, 334);
}

TEST_F(FullScreenTest, DisplayThatCannotBeTakenLeavesFullScreenOffWithTheCursorShown) {
  Log.AcquireSucceeds = false;
  EXPECT_FALSE(EnterFullScreen());
  EXPECT_EQ(Log.Calls, "hide read-mode read-rect acquire show ");
  // A platform without full screen at all.
  DisplayPlatform = {};
  EXPECT_FALSE(EnterFullScreen());
  EXPECT_EQ(LockFullScreenSurface(), nullptr);
}

TEST_F(FullScreenTest, SurfaceIsLockedOneDrawingAtATimeWhileFullScreenIsActive) {
  EXPECT_EQ(LockFullScreenSurface(), nullptr);
  EnterAll();
  std::uint8_t* surface = LockFullScreenSurface();
  ASSERT_NE(surface, nullptr);
  EXPECT_EQ(LockFullScreenSurface(), nullptr);
  surface[199 * 320 + 319] = 9;
  UnlockFullScreenSurface();
  EXPECT_EQ(LockFullScreenSurface(), surface);
  UnlockFullScreenSurface();

  PresentFullScreen();
  EXPECT_EQ(Log.Presented, surface);
  EXPECT_EQ(Log.Presented[199 * 320 + 319], 9);
  EXPECT_EQ(Log.PresentedColour9.Red, 156);
  EXPECT_EQ(Log.PresentedColour9.Green, 116);
  EXPECT_EQ(Log.PresentedColour9.Blue, 72);
  for (int i = 0; i < 256; ++i) {
    const std::uint32_t colour = i < 16 ? Palette[i] : 0;
    const FullScreenPaletteEntry& entry = FullScreen.PaletteEntries[i];
    ASSERT_EQ((entry.Red << 16) | (entry.Green << 8) | entry.Blue, colour) << i;
    ASSERT_EQ(entry.Flags, 0) << i;
  }
}

TEST_F(FullScreenTest, FailedPresentationIsRetriedButNeverHangs) {
  EnterAll();
  Log.Calls.clear();
  Log.PresentFailures = 1;
  PresentFullScreen();
  EXPECT_EQ(Log.Calls, "present present ");
  Log.Calls.clear();
  Log.PresentFailures = 1000000;
  PresentFullScreen();
  EXPECT_LE(Log.Calls.size(), std::string("present ").size() * 8);
}

TEST_F(FullScreenTest, OverlaysNeverReachTheSurface) {
  EnterAll();
  std::uint8_t before[sizeof FullScreen.Surface];
  std::memcpy(before, FullScreen.Surface, sizeof before);
  HostKeyDown[VirtualKeyF12] = 1;
  Host.ShowBorder = 1;
  CreateDisplayBuffer();
  ConvertFrame(Host.DisplayPixels);
  PresentFullScreen();
  EXPECT_EQ(std::memcmp(before, FullScreen.Surface, sizeof before), 0);
  FreeDisplayBuffer();
}

}  // namespace
}  // namespace quillon
