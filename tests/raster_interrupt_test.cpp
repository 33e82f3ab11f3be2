#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>

#include "core/machine.h"
#include "support/keyboard.h"
#include "support/machine.h"
#include "vic/frame_image.h"

namespace quillon {
namespace {

constexpr int FirstRedLine = 100;
constexpr int FirstBlueLine = 150;
constexpr std::uint8_t Red = 2;
constexpr std::uint8_t LightBlue = 14;

// At $C000: stops CIA1's timer interrupts (so only the raster drives the IRQ), points the IRQ
// vector at $C040, and enables the raster interrupt at line 100.
constexpr std::uint8_t SplitSetup[] = {
    0x78,                    // SEI
    0xA9, 0x7F,              // LDA #$7F
    0x8D, 0x0D, 0xDC,        // STA $DC0D
    0xAD, 0x0D, 0xDC,        // LDA $DC0D
    0xA9, 0x40,              // LDA #$40
    0x8D, 0x14, 0x03,        // STA $0314
    0xA9, 0xC0,              // LDA #$C0
    0x8D, 0x15, 0x03,        // STA $0315
    0xA9, 0x00,              // LDA #0
    0x8D, 0xF0, 0xC0,        // STA $C0F0
    0xA9, FirstRedLine,      // LDA #100
    0x8D, 0x12, 0xD0,        // STA $D012
    0xAD, 0x11, 0xD0,        // LDA $D011
    0x29, 0x7F,              // AND #$7F
    0x8D, 0x11, 0xD0,        // STA $D011
    0xA9, 0x01,              // LDA #1
    0x8D, 0x1A, 0xD0,        // STA $D01A
    0x58,                    // CLI
    0x60,                    // RTS
};

// At $C040: sets the border from a two-entry table at once, arms the compare for the other
// line, acknowledges the raster interrupt and leaves through the KERNAL's register restore.
constexpr std::uint8_t SplitHandler[] = {
    0xAE, 0xF0, 0xC0,        // LDX $C0F0
    0xBD, 0x60, 0xC0,        // LDA $C060,X
    0x8D, 0x20, 0xD0,        // STA $D020
    0xBD, 0x62, 0xC0,        // LDA $C062,X
    0x8D, 0x12, 0xD0,        // STA $D012
    0x8A,                    // TXA
    0x49, 0x01,              // EOR #1
    0x8D, 0xF0, 0xC0,        // STA $C0F0
    0xA9, 0xFF,              // LDA #$FF
    0x8D, 0x19, 0xD0,        // STA $D019
    0x4C, 0x81, 0xEA,        // JMP $EA81
};
constexpr std::uint8_t SplitTables[] = {Red, LightBlue, FirstBlueLine, FirstRedLine};

TEST(RasterInterrupt, ProgramSplitsTheBorderColourAtTheLinesItAsksFor) {
  test::PowerOnMachine();
  test::RunFrames(150);
  std::memcpy(MainRam + 0xC000, SplitSetup, sizeof SplitSetup);
  std::memcpy(MainRam + 0xC040, SplitHandler, sizeof SplitHandler);
  std::memcpy(MainRam + 0xC060, SplitTables, sizeof SplitTables);
  test::TypeText("SYS 49152\n");
  test::RunFrames(2);

  for (int line = 0; line < BorderTableLines; ++line) {
    const bool red = line >= FirstRedLine && line < FirstBlueLine;
    EXPECT_EQ(FrameImage.LineBorderColor[line], red ? Red : LightBlue) << "line " << line;
  }
}

}  // namespace
}  // namespace quillon
