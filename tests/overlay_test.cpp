#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "cia/keyboard.h"
#include "core/machine.h"
#include "core/rom_images.h"
#include "host/host_state.h"
#include "host/status_line.h"
#include "host/trace_view.h"
#include "support/machine.h"
#include "support/picture_text.h"
#include "vic/frame_image.h"
#include "vic/vic.h"

namespace quillon {
namespace {

void StartWithPicture() {
  test::PowerOnMachine();
  std::memset(FrameImage.Picture, 5, PictureWidth * PictureHeight);
}

std::string StatusText() { return test::PictureRowText(24).substr(23); }

TEST(StatusLine, ShowsSkipStandardAndSpeedAndTheRasterMarkerAtTheBottomRight) {
  StartWithPicture();
  MainRam[0x02A6] = 1;
  DrawStatusLine(304, 0);
  EXPECT_EQ(StatusText(), "S:00 -  PAL 0304%");
  EXPECT_TRUE(test::CellShowsGlyph(23, 24, 0x13, 1, 0));  // white "S" on black
  MainRam[0x02A6] = 0;
  DrawStatusLine(12345, 10);
  EXPECT_EQ(StatusText(), "S:10 - NTSC 12345");
  DrawRasterMarker(51);
  EXPECT_EQ(StatusText(), "S:10 - NTSC 12051") << "the marker covers the last three cells";
  DrawRasterMarker(311);
  EXPECT_EQ(StatusText().substr(14), "311");
  DrawRasterMarker(65535);  // the compare register before the KERNAL sets it
  EXPECT_EQ(StatusText().substr(14), "535");
  // Nothing beyond the status cells was written: not the rest of the row, not the row above.
  EXPECT_EQ(test::PictureRowText(24).substr(0, 23) + test::PictureRowText(23), std::string(63, '~'));
  // Glyphs outside the 40 x 25 grid are not drawn.
  DrawGlyph(0x30, 40, 0, 1, 0);
  DrawGlyph(0x30, -1, 3, 1, 0);
  DrawGlyph(0x30, 0, 25, 1, 0);
  EXPECT_EQ(FrameImage.Picture[8 * PictureWidth], 5);
}

TEST(StatusLine, RunningMachineDrawsStatusLineAndMarkerWhileTheirKeysAreHeld) {
  StartWithPicture();
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

std::string TopRowAfter(std::uint16_t pc, std::initializer_list<std::uint8_t> bytes) {
  std::copy(bytes.begin(), bytes.end(), MainRam + pc);
  DrawTraceView(pc, 0, 0, 0, 0x30, 0xFF);
  return test::PictureRowText(0);
}

TEST(TraceView, ShowsTheInstructionAtThePcTheFlagsAndTheRegisters) {
  StartWithPicture();
  EXPECT_EQ(TopRowAfter(0xC000, {0xA9, 0x01}), "$C000: $A9 $01 $..: LDA #$01    NV-BDIZC");
  EXPECT_EQ(TopRowAfter(0x0801, {0x4C, 0x00, 0xC0}), "$0801: $4C $00 $C0: JMP $C000   NV-BDIZC");
  // A branch shows its raw offset, not the target.
  EXPECT_EQ(TopRowAfter(0xC000, {0xD0, 0xFB}), "$C000: $D0 $FB $..: BNE $*FB    NV-BDIZC");
  EXPECT_EQ(TopRowAfter(0xC000, {0xEA, 0x62}), "$C000: $EA $.. $..: NOP         NV-BDIZC");
  // An operand byte that happens to be a letter's code is still one byte.
  EXPECT_EQ(TopRowAfter(0xC000, {0x91, 0x62}), "$C000: $91 $62 $..: STA ($62),Y NV-BDIZC");
  // Addresses, bytes and mnemonic in white; the separators and flag names in yellow.
  EXPECT_TRUE(test::CellShowsGlyph(0, 0, 0x24, 1, 0));
  EXPECT_TRUE(test::CellShowsGlyph(18, 0, 0x3A, 7, 0));
  EXPECT_TRUE(test::CellShowsGlyph(32, 0, 0x0E, 7, 0));  // "N" of NV-BDIZC

  DrawTraceView(0xC000, 0x01, 0x9A, 0xFF, 0x30, 0xF6);
  EXPECT_EQ(test::PictureRowText(1), "STACKP: $00F6 A:$01 X:$9A Y:$FF 00110000");
  EXPECT_TRUE(test::CellShowsGlyph(34, 1, 0x31, 1, 0));
  EXPECT_EQ(test::PictureRowText(2), std::string(40, '~')) << "only the top two rows are drawn";
  // The bytes are those the CPU would fetch: the KERNAL, not the RAM under it.
  MainRam[0xE000] = 0xEA;
  DrawTraceView(0xE000, 0, 0, 0, 0x30, 0xFF);
  const std::string hex = "0123456789ABCDEF";
  const std::string expected = {hex[RomImages.Kernal[0] >> 4], hex[RomImages.Kernal[0] & 15]};
  EXPECT_EQ(test::PictureRowText(0).substr(8, 2), expected);
}

}  // namespace
}  // namespace quillon
