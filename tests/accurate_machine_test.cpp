// The accurate machine as a whole, through the machine interface.
#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "interface/create_machine.h"
#include "support/accurate.h"

namespace quillon {
namespace {

TEST(AccurateMachine, BootsToReady) {
  auto machine = test::BootAccurate();
  EXPECT_EQ(test::ScreenRow(*machine, 1), "    **** COMMODORE 64 BASIC V2 ****");
  EXPECT_EQ(test::ScreenRow(*machine, 3), " 64K RAM SYSTEM  38911 BASIC BYTES FREE");
  EXPECT_EQ(test::ScreenRow(*machine, 5), "READY.");
}

}  // namespace
}  // namespace quillon
