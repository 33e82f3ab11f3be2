#include <gtest/gtest.h>

#include <set>
#include <string>

#include "core/machine.h"
#include "core/memory.h"
#include "support/machine.h"
#include "vic/vic.h"

namespace quillon {
namespace {

constexpr int BootFrames = 150;
constexpr std::uint16_t CursorCell = 0x0400 + 6 * 40;  // row 6, column 0, below READY.

std::string Padded(std::string text) {
  text.resize(40, ' ');
  return text;
}

TEST(Boot, PowerOnReachesBasicsReadyPromptWithTheStartColours) {
  test::PowerOnMachine();
  test::RunFrames(BootFrames);
  EXPECT_EQ(test::ScreenRowText(1), Padded("    **** COMMODORE 64 BASIC V2 ****"));
  EXPECT_EQ(test::ScreenRowText(3), Padded(" 64K RAM SYSTEM  38911 BASIC BYTES FREE"));
  EXPECT_EQ(test::ScreenRowText(5), Padded("READY."));
  EXPECT_EQ(Vic.BorderColor, 14);
  EXPECT_EQ(Vic.BackgroundColor[0], 6);
  EXPECT_EQ(MemRead(0xD020), 0xFE);
  EXPECT_EQ(MemRead(0xD021), 0xF6);
}

TEST(Boot, CursorBlinksBelowTheReadyPrompt) {
  test::PowerOnMachine();
  test::RunFrames(BootFrames);
  // The KERNAL's interrupt reverses the character under the cursor about three times a second.
  std::set<int> seen;
  for (int frame = 0; frame < 60; ++frame) {
    test::RunFrames(1);
    seen.insert(MainRam[CursorCell]);
  }
  EXPECT_EQ(seen, (std::set<int>{0x20, 0xA0}));
}

}  // namespace
}  // namespace quillon
