#include <gtest/gtest.h>

#include <cstdlib>

#include "cia/keyboard.h"
#include "core/machine.h"
#include "cpu/cpu.h"
#include "support/machine.h"
#include "vic/frame_image.h"
#include "vic/vic.h"

namespace quillon {
namespace {

using test::PowerOnMachine;
using test::RunSteps;

TEST(Machine, PowerOnFillsRamWithTheBlockPatternAndStartsAtTheKernalsResetEntry) {
  EXPECT_EQ(Cpu.PC, 0xFCE2) << "taken from the built-in KERNAL before any start-up code";
  PowerOnMachine();
  EXPECT_EQ(MainRam[0x0000], 0x2F);
  EXPECT_EQ(MainRam[0x0001], 0x37);
  for (unsigned a = 0x0002; a < 0x10000; ++a) {
    ASSERT_EQ(MainRam[a], (a & 0x80) ? 0x66 : 0x99) << "address " << a;
  }
  for (unsigned i = 0; i < ColorRamSize; ++i) ASSERT_EQ(ColorRam[i], 0);
  for (std::uint8_t column : KeyMatrix) EXPECT_EQ(column, 0xFF);
}

int Allocations = 0;
void* FailSecondAllocation(std::size_t size) {
  return ++Allocations == 2 ? nullptr : std::malloc(size);
}

TEST(Machine, FailedAllocationStopsInitialisationAfterAllThreeRequests) {
  // A fresh process: no block is allocated yet.
  AllocateMachineBlock = FailSecondAllocation;
  HostKeyDown[5] = 1;
  EXPECT_EQ(EmulatorInit(), 0);
  EXPECT_EQ(Allocations, 3);
  EXPECT_TRUE(MainRam && !ColorRam && FrameImage.Picture);
  EXPECT_EQ(HostKeyDown[5], 1) << "nothing past the allocations may be set up";
}

TEST(Machine, LinesOfSixtyFourStepsAndFramesOf312Or262Lines) {
  PowerOnMachine();
  RunSteps(63);
  EXPECT_EQ(Vic.RasterLine, 0);
  RunSteps(1);
  EXPECT_EQ(Vic.RasterLine, 1);
  RunSteps(19968 - 64 - 1);
  EXPECT_EQ(CycleCounters.FrameCounter, 0);
  // The current line's steps are published when it ends.
  EXPECT_EQ(CycleCounters.StepCounter.load(), 311 * 64 - 1);
  RunSteps(1);
  EXPECT_EQ(CycleCounters.FrameCounter, 1);
  EXPECT_EQ(Vic.RasterLine, 0);
  VideoStandard = VideoStandardNtsc;
  RunSteps(16768 - 1);
  EXPECT_EQ(CycleCounters.FrameCounter, 1);
  RunSteps(1);
  EXPECT_EQ(CycleCounters.FrameCounter, 2);

  // Switched to NTSC past its last line, the frame ends at the next line.
  VideoStandard = VideoStandardPal;
  RunSteps(64 * 300);
  VideoStandard = VideoStandardNtsc;
  RunSteps(64);
  EXPECT_EQ(Vic.RasterLine, 0);
  EXPECT_EQ(CycleCounters.FrameCounter, 3);

  // A hard reset mid-line starts again at line 0 without counting a frame.
  RunSteps(64 * 100 + 10);
  HardReset();
  EXPECT_EQ(CycleCounters.FrameCounter, 3);
  RunSteps(64);
  EXPECT_EQ(Vic.RasterLine, 1);
}

TEST(Machine, HeldF11CountsEveryLineAsAFrame) {
  PowerOnMachine();
  HostKeyDown[VirtualKeyF11] = 1;
  RunSteps(64 * 10);
  EXPECT_EQ(CycleCounters.FrameCounter, 10);
  RunSteps(64 * 302);
  EXPECT_EQ(CycleCounters.FrameCounter, 312 + 1) << "the last line of a frame counts twice";
}

}  // namespace
}  // namespace quillon
