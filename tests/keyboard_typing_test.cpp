#include <gtest/gtest.h>

#include "support/keyboard.h"
#include "support/machine.h"

namespace quillon {
namespace {

TEST(KeyboardTyping, BasicEvaluatesATypedPrintStatement) {
  test::PowerOnMachine();
  test::RunFrames(150);
  test::TypeText("PRINT 6*7\n");
  EXPECT_EQ(test::ScreenRowText(6).substr(0, 10), "PRINT 6*7 ");
  EXPECT_EQ(test::ScreenRowText(7).substr(0, 4), " 42 ");
  // BASIC answers with a blank line before READY., as the real machine does.
  EXPECT_EQ(test::ScreenRowText(8).substr(0, 7), "       ");
  EXPECT_EQ(test::ScreenRowText(9).substr(0, 7), "READY. ");
}

TEST(KeyboardTyping, ShiftedCharactersPressLeftShiftWithTheirKey) {
  test::PowerOnMachine();
  test::RunFrames(150);
  test::TypeText("PRINT \"A(1)\";LEN(\"?<>\")\n");
  EXPECT_EQ(test::ScreenRowText(7).substr(0, 7), "A(1) 3 ");
}

}  // namespace
}  // namespace quillon
