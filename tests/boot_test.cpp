#include <gtest/gtest.h>

#include <set>
#include <string>

#include "core/machine.h"
#include "core/memory.h"
#include "support/keyboard.h"
#include "support/machine.h"
#include "support/picture_text.h"
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

}  // namespace
}  // namespace quillon
