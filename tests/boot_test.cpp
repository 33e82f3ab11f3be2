#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <set>
#include <string>

#include "core/machine.h"
#include "core/memory.h"
#include "support/machine.h"
#include "support/picture.h"
#include "vic/frame_image.h"
#include "vic/vic.h"

namespace quillon {
namespace {

void Boot() {
  test::PowerOnMachine();
  test::RunFrames(150);
}

TEST(Boot, BasicStartScreenInLightBlueOnBlueWithABlinkingCursor) {
  Boot();
  const auto row = [](int r) { return test::ScreenRowText(r).substr(0, 39); };
  EXPECT_EQ(row(1), "    **** COMMODORE 64 BASIC V2 ****    ");
  EXPECT_EQ(row(3), " 64K RAM SYSTEM  38911 BASIC BYTES FREE");
  EXPECT_EQ(row(5), "READY.                                 ");
  EXPECT_EQ(MemRead(0xD020), 0xFE);
  EXPECT_EQ(MemRead(0xD021), 0xF6);
  // The frame image shows exactly what screen RAM holds, as character ROM glyphs.
  for (int cell = 0; cell < 6 * 40; ++cell) {
    ASSERT_TRUE(test::CellShowsGlyph(cell % 40, cell / 40, MainRam[0x0400 + cell], 14, 6)) << cell;
  }
  for (int line = 0; line < BorderTableLines; ++line) {
    ASSERT_EQ(FrameImage.LineBorderColor[line], 14) << "line " << line;
  }
  // CIA1's interrupt drives the KERNAL, which reverses the cell under the cursor in turn.
  std::set<int> cursor;
  for (int frame = 0; frame < 60; ++frame) {
    test::RunFrames(1);
    cursor.insert(MainRam[0x0400 + 6 * 40]);
  }
  EXPECT_EQ(cursor, (std::set<int>{0x20, 0xA0}));
}

TEST(Boot, TypedPrintStatementIsEvaluated) {
  Boot();
  test::TypeText("PRINT 6*7\n");
  EXPECT_EQ(test::ScreenRowText(6).substr(0, 10), "PRINT 6*7 ");
  EXPECT_EQ(test::ScreenRowText(7).substr(0, 4), " 42 ");
  EXPECT_EQ(test::ScreenRowText(9).substr(0, 7), "READY. ");
}

// $C000: SEI; stop CIA1's interrupts (LDA #$7F STA $DC0D LDA $DC0D); IRQ vector := $C040;
// $C0F0 := 0; compare line := 100 (STA $D012, clear $D011 bit 7); enable raster IRQ; CLI; RTS.
constexpr std::uint8_t SplitSetup[] = {
    0x78, 0xA9, 0x7F, 0x8D, 0x0D, 0xDC, 0xAD, 0x0D, 0xDC, 0xA9, 0x40, 0x8D, 0x14, 0x03,
    0xA9, 0xC0, 0x8D, 0x15, 0x03, 0xA9, 0x00, 0x8D, 0xF0, 0xC0, 0xA9, 100,  0x8D, 0x12,
    0xD0, 0xAD, 0x11, 0xD0, 0x29, 0x7F, 0x8D, 0x11, 0xD0, 0xA9, 0x01, 0x8D, 0x1A, 0xD0,
    0x58, 0x60};
// $C040: X := $C0F0; border := $C060,X; compare line := $C062,X; $C0F0 := X EOR 1;
// acknowledge ($D019 := $FF); JMP $EA81, the KERNAL's register restore.
constexpr std::uint8_t SplitHandler[] = {
    0xAE, 0xF0, 0xC0, 0xBD, 0x60, 0xC0, 0x8D, 0x20, 0xD0, 0xBD, 0x62, 0xC0, 0x8D, 0x12,
    0xD0, 0x8A, 0x49, 0x01, 0x8D, 0xF0, 0xC0, 0xA9, 0xFF, 0x8D, 0x19, 0xD0, 0x4C, 0x81, 0xEA};
// Red from line 100, light blue again from line 150.
constexpr std::uint8_t SplitTables[] = {2, 14, 150, 100};

TEST(RasterInterrupt, ProgramSplitsTheBorderColourAtTheLinesItAsksFor) {
  test::PowerOnMachine();
  test::RunFrames(150);
  std::memcpy(MainRam + 0xC000, SplitSetup, sizeof SplitSetup);
  std::memcpy(MainRam + 0xC040, SplitHandler, sizeof SplitHandler);
  std::memcpy(MainRam + 0xC060, SplitTables, sizeof SplitTables);
  test::TypeText("SYS 49152\n");
  test::RunFrames(2);
  for (int line = 0; line < BorderTableLines; ++line) {
    EXPECT_EQ(FrameImage.LineBorderColor[line], line >= 100 && line < 150 ? 2 : 14) << line;
  }
}

}  // namespace
}  // namespace quillon
