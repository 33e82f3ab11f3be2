#include <gtest/gtest.h>

#include "core/machine.h"
#include "support/machine.h"
#include "support/picture_text.h"
#include "vic/frame_image.h"

namespace quillon {
namespace {

TEST(VicBootPicture, ReadyPromptIsDrawnFromTheCharacterRomInLightBlueOnBlue) {
  test::PowerOnMachine();
  test::RunFrames(150);
  const char ready[] = "READY.";
  for (int column = 0; column < 6; ++column) {
    const int code = ready[column] >= 'A' ? ready[column] - 64 : ready[column];
    EXPECT_TRUE(test::CellShowsGlyph(column, 5, code, 14, 6)) << "column " << column;
  }
  // The banner rows above show exactly what screen RAM holds.
  for (int row = 0; row < 5; ++row) {
    for (int column = 0; column < 40; ++column) {
      EXPECT_TRUE(test::CellShowsGlyph(column, row, MainRam[0x0400 + row * 40 + column], 14, 6))
          << "row " << row << " column " << column;
    }
  }
  for (int line = 0; line < BorderTableLines; ++line) {
    ASSERT_EQ(FrameImage.LineBorderColor[line], 14) << "line " << line;
  }
}

}  // namespace
}  // namespace quillon
