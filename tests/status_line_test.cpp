#include <gtest/gtest.h>

#include <cstring>

#include "core/machine.h"
#include "core/rom_images.h"
#include "cia/keyboard.h"
#include "host/host_state.h"
#include "host/status_line.h"
#include "support/machine.h"
#include "support/picture_text.h"
#include "vic/frame_image.h"
#include "vic/vic.h"

namespace quillon {
namespace {

constexpr std::uint8_t Untouched = 5;

class StatusLineTest : public ::testing::Test {
 protected:
  void SetUp() override {
    test::PowerOnMachine();
    std::memset(FrameImage.Picture, Untouched, PictureWidth * PictureHeight);
  }
  // Nothing outside columns 23-39 of the bottom text row was written.
  static bool OnlyStatusCellsWritten() {
    for (int y = 0; y < PictureHeight; ++y) {
      for (int x = 0; x < PictureWidth; ++x) {
        if ((y < 192 || x < 23 * 8) && FrameImage.Picture[y * PictureWidth + x] != Untouched) {
          return false;
        }
      }
    }
    return true;
  }
};

TEST_F(StatusLineTest, ShowsSkipStandardAndSpeedInWhiteOnBlackAtTheBottomRight) {
  MainRam[0x02A6] = 1;
  DrawStatusLine(304, 0);
  EXPECT_EQ(test::PictureRowText(24).substr(23), "S:00 -  PAL 0304%");
  EXPECT_TRUE(test::CellShowsGlyph(23, 24, 0x13, 1, 0));  // "S"
  EXPECT_TRUE(test::CellShowsGlyph(39, 24, 0x25, 1, 0));  // "%"
  EXPECT_TRUE(OnlyStatusCellsWritten());

  MainRam[0x02A6] = 0;
  DrawStatusLine(0, 10);
  EXPECT_EQ(test::PictureRowText(24).substr(23), "S:10 - NTSC 0000%");
}

TEST_F(StatusLineTest, SpeedOfFiveDigitsIsCutAtTheLastColumn) {
  MainRam[0x02A6] = 1;
  DrawStatusLine(12345, 1);
  EXPECT_EQ(test::PictureRowText(24).substr(23), "S:01 -  PAL 12345");
  EXPECT_TRUE(OnlyStatusCellsWritten());
}

TEST_F(StatusLineTest, RasterMarkerShowsThreeDigitsOverTheStatusLine) {
  MainRam[0x02A6] = 1;
  DrawStatusLine(304, 0);
  DrawRasterMarker(51);
  EXPECT_EQ(test::PictureRowText(24).substr(23), "S:00 -  PAL 03051");
  DrawRasterMarker(311);
  EXPECT_EQ(test::PictureRowText(24).substr(37), "311");
  // The compare register before the KERNAL sets it: still three digits.
  DrawRasterMarker(65535);
  EXPECT_EQ(test::PictureRowText(24).substr(37), "535");
  EXPECT_TRUE(test::CellShowsGlyph(37, 24, 0x35, 1, 0));
}

TEST_F(StatusLineTest, GlyphsComeFromTheCharacterImageInUse) {
  // A replaced character image shows its own glyph: a checkerboard for "0".
  std::uint8_t saved[8];
  std::memcpy(saved, RomImages.Chargen + 0x30 * 8, sizeof saved);
  for (int k = 0; k < 8; ++k) RomImages.Chargen[0x30 * 8 + k] = (k & 1) ? 0x55 : 0xAA;
  DrawGlyph(0x30, 0, 0, 14, 6);
  for (int k = 0; k < 8; ++k) {
    for (int x = 0; x < 8; ++x) {
      EXPECT_EQ(FrameImage.Picture[k * PictureWidth + x], ((k + x) & 1) ? 6 : 14);
    }
  }
  // Cells off the text grid are not drawn at all.
  DrawGlyph(0x30, 40, 0, 1, 0);
  DrawGlyph(0x30, 0, 25, 1, 0);
  DrawGlyph(0x30, -1, 3, 1, 0);
  EXPECT_EQ(FrameImage.Picture[8], Untouched);
  EXPECT_EQ(FrameImage.Picture[65535 - 100], 0);
  std::memcpy(RomImages.Chargen + 0x30 * 8, saved, sizeof saved);
}

TEST_F(StatusLineTest, RunningMachineDrawsStatusLineAndMarkerWhileTheirKeysAreHeld) {
  Host.SpeedPercent = 98;
  Host.FrameSkip = 7;
  MainRam[0x02A6] = 0;
  HostKeyDown[VirtualKeyScrollLock] = 1;
  test::RunFrames(1);
  EXPECT_EQ(test::PictureRowText(24).substr(23), "S:07 - NTSC 0098%");

  HostKeyDown[VirtualKeyScrollLock] = 0;
  HostKeyDown[VirtualKeyF11] = 1;
  Vic.RasterCompare = 0x0133;
  test::RunSteps(64 * 4);
  EXPECT_EQ(test::PictureRowText(24).substr(23), "S:07 - NTSC 00307");
}

}  // namespace
}  // namespace quillon
