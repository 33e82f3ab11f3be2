#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "cia/keyboard.h"
#include "host/display.h"
#include "host/full_screen_surface.h"
#include "host/host_state.h"
#include "support/machine.h"

namespace quillon {
namespace {

// The fake platform writes down what it was asked to do, in order.
std::string Calls;
DisplayMode LastMode;
bool AcquireSucceeds;
int PresentFailures;

class FullScreenTest : public ::testing::Test {
 protected:
  void SetUp() override {
    test::PowerOnMachine();
    Calls.clear();
    AcquireSucceeds = true;
    PresentFailures = 0;
    DisplayPlatform = {
        .ResizeMainWindow = nullptr,
        .ShowMouseCursor = [](bool visible) { Calls += visible ? "show " : "hide "; },
        .ReadDesktopMode = [] { return DisplayMode{1920, 1080, 32}; },
        .ReadMainWindowRect = [] { return WindowRect{100, 50, 466, 334}; },
        .MoveMainWindow = [](const WindowRect& r) { Calls += "move" + std::to_string(r.Left); },
        .AcquireFullScreen = [] { return (Calls += "acquire "), AcquireSucceeds; },
        .ReleaseFullScreen = [] { Calls += "release "; },
        .SetDisplayMode = [](const DisplayMode& mode) { Calls += "mode "; LastMode = mode; },
        .PresentIndexedPicture = [](const std::uint8_t* pixels, std::int32_t, std::int32_t,
                                    const FullScreenPaletteEntry* palette) {
          EXPECT_EQ(pixels, FullScreen.Surface);
          EXPECT_EQ(palette, FullScreen.PaletteEntries);
          Calls += "present ";
          return PresentFailures-- <= 0;
        }};
  }
  // The Full screen command's sequence.
  static void Enter() {
    ASSERT_TRUE(EnterFullScreen());
    CreateFlipChain();
    CreateFullScreenPalette();
    Host.FullScreenActive = 1;
  }
};

TEST_F(FullScreenTest, EnterSwitchesTo320x200x8AndLeaveRestoresTheDesktop) {
  Enter();
  EXPECT_EQ(Calls, "hide acquire mode ");
  EXPECT_EQ(LastMode.Width * 10000 + LastMode.Height * 10 + LastMode.BitsPerPixel, 3202008);
  const FullScreenPaletteEntry& brown = FullScreen.PaletteEntries[9];
  EXPECT_EQ(brown.Red * 65536 + brown.Green * 256 + brown.Blue, 0x9C7448);
  EXPECT_EQ(FullScreen.PaletteEntries[16].Red + FullScreen.PaletteEntries[255].Blue, 0);
  Calls.clear();
  Host.FullScreenActive = 0;
  LeaveFullScreen();
  EXPECT_EQ(Calls, "mode release move100show ");
  EXPECT_EQ(LastMode.Width * 10000 + LastMode.Height * 10 + LastMode.BitsPerPixel, 19210832);
}

TEST_F(FullScreenTest, DisplayThatCannotBeTakenLeavesFullScreenOffWithTheCursorShown) {
  AcquireSucceeds = false;
  EXPECT_FALSE(EnterFullScreen());
  EXPECT_EQ(Calls, "hide acquire show ");
  DisplayPlatform = {};  // a platform with no full screen at all
  EXPECT_FALSE(EnterFullScreen());
  EXPECT_EQ(LockFullScreenSurface(), nullptr);
}

TEST_F(FullScreenTest, SurfaceIsLockedByOneDrawingAtATimeAndOverlaysNeverReachIt) {
  EXPECT_EQ(LockFullScreenSurface(), nullptr);
  Enter();
  std::uint8_t* surface = LockFullScreenSurface();
  ASSERT_EQ(surface, FullScreen.Surface);
  EXPECT_EQ(LockFullScreenSurface(), nullptr);
  UnlockFullScreenSurface();
  EXPECT_EQ(LockFullScreenSurface(), surface);
  UnlockFullScreenSurface();

  // The trace view and status line go into the frame image, not the surface.
  HostKeyDown[VirtualKeyF12] = 1;
  CreateDisplayBuffer();
  ConvertFrame(Host.DisplayPixels);
  const std::uint8_t blank[sizeof FullScreen.Surface] = {};
  EXPECT_EQ(std::memcmp(blank, FullScreen.Surface, sizeof blank), 0);
  FreeDisplayBuffer();
}

TEST_F(FullScreenTest, FailedPresentationIsRetriedButNeverHangs) {
  Enter();
  Calls.clear();
  PresentFailures = 1;
  PresentFullScreen();
  EXPECT_EQ(Calls, "present present ");
  PresentFailures = 1000000;
  PresentFullScreen();
  EXPECT_LT(Calls.size(), 100u);
}

}  // namespace
}  // namespace quillon
