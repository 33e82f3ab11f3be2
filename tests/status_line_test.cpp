#include <gtest/gtest.h>

#include <cstring>

#include "cia/keyboard.h"
#include "core/machine.h"
#include "core/rom_images.h"
#include "host/host_state.h"
#include "host/status_line.h"
#include "support/machine.h"
#include "support/picture_text.h"
#include "vic/frame_image.h"
#include "vic/vic.h"

namespace quillon {
namespace {

class StatusLineTest : public ::testing::Test {
 protected:
  void SetUp() override {
    test::PowerOnMachine();
    std::memset(FrameImage.Picture, 5, PictureWidth * PictureHeight);
  }
  static std::string StatusText() { return test::PictureRowText(24).substr(23); }
};

TEST_F(StatusLineTest, ShowsSkipStandardAndSpeedAtTheBottomRightCutAtTheLastColumn) {
  MainRam[0x02A6] = 1;
  DrawStatusLine(304, 0);
  EXPECT_EQ(StatusText(), "S:00 -  PAL 0304%");
  EXPECT_TRUE(test::CellShowsGlyph(23, 24, 0x13, 1, 0));  // white "S" on black
  MainRam[0x02A6] = 0;
  DrawStatusLine(12345, 10);
  EXPECT_EQ(StatusText(), "S:10 - NTSC 12345");
  // Nothing beyond the status cells was written: not the rest of the row, not the row above.
  EXPECT_EQ(test::PictureRowText(24).substr(0, 23), std::string(23, '~'));
  EXPECT_EQ(test::PictureRowText(23), std::string(40, '~'));
}

TEST_F(StatusLineTest, RasterMarkerShowsThreeDigitsForAnyValue) {
  MainRam[0x02A6] = 1;
  DrawStatusLine(0, 0);
  DrawRasterMarker(51);
  EXPECT_EQ(StatusText(), "S:00 -  PAL 00051");
  DrawRasterMarker(311);
  EXPECT_EQ(StatusText().substr(14), "311");
  DrawRasterMarker(65535);  // the compare register before the KERNAL sets it
  EXPECT_EQ(StatusText().substr(14), "535");
}

TEST_F(StatusLineTest, GlyphsComeFromTheCharacterImageAndStayOnTheGrid) {
  std::uint8_t saved[8];
  std::memcpy(saved, RomImages.Chargen + 0x30 * 8, sizeof saved);
  std::memset(RomImages.Chargen + 0x30 * 8, 0xAA, 8);  // "0" replaced by stripes
  DrawGlyph(0x30, 1, 0, 14, 6);
  for (int x = 0; x < 8; ++x) {
    EXPECT_EQ(FrameImage.Picture[7 * PictureWidth + 8 + x], x & 1 ? 6 : 14);
  }
  std::memcpy(RomImages.Chargen + 0x30 * 8, saved, sizeof saved);
  DrawGlyph(0x30, 40, 0, 1, 0);
  DrawGlyph(0x30, -1, 3, 1, 0);
  DrawGlyph(0x30, 0, 25, 1, 0);
  EXPECT_EQ(FrameImage.Picture[8 * PictureWidth], 5);
  EXPECT_EQ(FrameImage.Picture[PictureBufferSize - 1], 0);
}

TEST_F(StatusLineTest, RunningMachineDrawsStatusLineAndMarkerWhileTheirKeysAreHeld) {
  Host.SpeedPercent = 98;
  Host.FrameSkip = 7;
  MainRam[0x02A6] = 0;
  HostKeyDown[VirtualKeyScrollLock] = 1;
  test::RunFrames(1);
  EXPECT_EQ(StatusText(), "S:07 - NTSC 0098%");
  HostKeyDown[VirtualKeyScrollLock] = 0;
  HostKeyDown[VirtualKeyF11] = 1;
  Vic.RasterCompare = 0x0133;
  test::RunSteps(64 * 4);
  EXPECT_EQ(StatusText(), "S:07 - NTSC 00307");
}

}  // namespace
}  // namespace quillon
