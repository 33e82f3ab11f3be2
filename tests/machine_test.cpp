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

TEST(Machine, PowerOnFillsRamWithTheBlockPatternAndThePortBytes) {
  PowerOnMachine();
  EXPECT_EQ(MainRam[0x0000], 0x2F);
  EXPECT_EQ(MainRam[0x0001], 0x37);
  for (unsigned a = 0x0002; a < 0x10000; ++a) {
    ASSERT_EQ(MainRam[a], (a & 0x80) ? 0x66 : 0x99) << "address " << a;
  }
  for (unsigned i = 0; i < ColorRamSize; ++i) ASSERT_EQ(ColorRam[i], 0);
  EXPECT_EQ(Vic.RasterCompare, 0xFFFF);
  for (std::uint8_t column : KeyMatrix) EXPECT_EQ(column, 0xFF);
}

TEST(Machine, ProgramCounterStartsAtTheBuiltInResetVector) {
  EXPECT_EQ(Cpu.PC, BuiltinKernalResetVector);
  EXPECT_EQ(BuiltinKernalResetVector, 0xFCE2);
  EXPECT_EQ(Cpu.Opcode, ServiceMarker);
  EXPECT_EQ(Cpu.SP, 0xFF);
  EXPECT_EQ(Cpu.P, 0x30);
}

int FailingAllocations = 0;
void* FailSecondAllocation(std::size_t size) {
  return ++FailingAllocations == 2 ? nullptr : std::malloc(size);
}

TEST(Machine, FailedAllocationStopsInitialisationAfterAllThreeRequests) {
  // Start as a program does, with no block allocated yet.
  std::uint8_t* const blocks[] = {MainRam, ColorRam, FrameImage.Picture};
  MainRam = ColorRam = FrameImage.Picture = nullptr;
  AllocateMachineBlock = FailSecondAllocation;
  HostKeyDown[5] = 1;
  EXPECT_EQ(EmulatorInit(), 0);
  EXPECT_EQ(FailingAllocations, 3);
  EXPECT_NE(MainRam, nullptr);
  EXPECT_EQ(ColorRam, nullptr);
  EXPECT_NE(FrameImage.Picture, nullptr);
  EXPECT_EQ(HostKeyDown[5], 1) << "nothing past the allocations may be set up";
  std::free(MainRam);
  std::free(FrameImage.Picture);
  MainRam = blocks[0];
  ColorRam = blocks[1];
  FrameImage.Picture = blocks[2];
  AllocateMachineBlock = std::malloc;
  HostKeyDown[5] = 0;
}

TEST(Machine, RasterLinesComeEverySixtyFourStepsUnderBothStandards) {
  for (std::uint32_t standard : {VideoStandardPal, VideoStandardNtsc}) {
    PowerOnMachine();
    VideoStandard = standard;
    RunSteps(63);
    EXPECT_EQ(Vic.RasterLine, 0);
    RunSteps(1);
    EXPECT_EQ(Vic.RasterLine, 1);
    RunSteps(64 * 9);
    EXPECT_EQ(Vic.RasterLine, 10);
  }
}

TEST(Machine, FramesEndAfterThreeHundredTwelveOrTwoHundredSixtyTwoLines) {
  PowerOnMachine();
  RunSteps(19968 - 1);
  EXPECT_EQ(CycleCounters.FrameCounter, 0);
  RunSteps(1);
  EXPECT_EQ(CycleCounters.FrameCounter, 1);
  EXPECT_EQ(Vic.RasterLine, 0);

  VideoStandard = VideoStandardNtsc;
  RunSteps(16768 - 1);
  EXPECT_EQ(CycleCounters.FrameCounter, 1);
  RunSteps(1);
  EXPECT_EQ(CycleCounters.FrameCounter, 2);
}

TEST(Machine, SwitchingToNtscPastItsLastLineEndsTheFrameAtTheNextLine) {
  PowerOnMachine();
  RunSteps(64 * 300);
  ASSERT_EQ(Vic.RasterLine, 300);
  VideoStandard = VideoStandardNtsc;
  const std::int32_t frames = CycleCounters.FrameCounter;
  RunSteps(64);
  EXPECT_EQ(Vic.RasterLine, 0);
  EXPECT_EQ(CycleCounters.FrameCounter, frames + 1);
}

TEST(Machine, HeldF11CountsEveryLineAsAFrame) {
  PowerOnMachine();
  HostKeyDown[VirtualKeyF11] = 1;
  RunSteps(64 * 10);
  EXPECT_EQ(CycleCounters.FrameCounter, 10);
  RunSteps(64 * 302);
  EXPECT_EQ(CycleCounters.FrameCounter, 312 + 1) << "the last line of a frame counts twice";
}

TEST(Machine, HardResetMidFrameRestartsAtLineZeroWithoutCountingAFrame) {
  PowerOnMachine();
  RunSteps(64 * 100 + 10);
  HardReset();
  EXPECT_EQ(Vic.RasterLine, 0);
  EXPECT_EQ(CycleCounters.LineClock, 0);
  EXPECT_EQ(CycleCounters.FrameCounter, 0);
  RunSteps(63);
  EXPECT_EQ(Vic.RasterLine, 0);
  RunSteps(1);
  EXPECT_EQ(Vic.RasterLine, 1);
}

TEST(Machine, StepCounterIsPublishedOncePerLine) {
  PowerOnMachine();
  RunSteps(64 * 3 + 5);
  // The three completed lines are published; the five steps of the current line are not yet.
  EXPECT_EQ(CycleCounters.StepCounter.load(), 64 * 3 - 1);
  PublishStepCount();
  EXPECT_EQ(CycleCounters.StepCounter.load(), 64 * 3 + 5);
}

}  // namespace
}  // namespace quillon
