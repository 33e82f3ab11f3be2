#include <gtest/gtest.h>

#include <atomic>
#include <chrono>

#include "core/machine.h"
#include "host/headless/headless_backend.h"
#include "host/host_state.h"
#include "host/main_loop.h"
#include "host/speed.h"
#include "support/machine.h"

namespace quillon {
namespace {

std::int32_t Reading(std::int32_t steps) {
  CycleCounters.StepCounter = steps;
  UpdateSpeed();
  return Host.SpeedPercent;
}

TEST(HostSpeed, ReadingsAboveAHundredCountTheSkipDownOthersUpWithinZeroToTen) {
  test::PowerOnMachine();  // the mixer's set-up fixes the divisor from the video standard
  ASSERT_EQ(Host.SpeedDivisor, 164);
  EXPECT_EQ(Reading(50 * 312 * 64 / 20), 304) << "a twentieth of a second at PAL pace";
  Host.FrameSkip = 1;
  EXPECT_EQ(Reading(16400), 100);
  EXPECT_EQ(Host.FrameSkip, 2) << "100 is not faster than real time";
  EXPECT_EQ(CycleCounters.StepCounter.load(), 0);
  EXPECT_EQ(Reading(16564), 101);
  EXPECT_EQ(Host.FrameSkip, 1);
  EXPECT_EQ(Reading(16563), 100) << "integer division";
  for (int i = 0; i < 20; ++i) Reading(0);
  EXPECT_EQ(Host.FrameSkip, 10);
  for (int i = 0; i < 20; ++i) Reading(50000);
  EXPECT_EQ(Host.FrameSkip, 0);
  Host.SpeedDivisor = 0;
  EXPECT_EQ(Reading(5000), 0) << "no divisor yet reads zero instead of dividing by it";
}

std::atomic<std::int32_t> ReadingSum{0};
std::atomic<std::int32_t> ReadingCount{0};

TEST(HostSpeed, TheWindowLoopAtRealTimeReadsAbout304) {
  test::PowerOnMachine();
  UseHeadlessBackend(true);
  StartPacing();
  Platform.StartPeriodicTimer(50, [] {
    UpdateSpeed();
    ReadingSum += Host.SpeedPercent.load();
    ++ReadingCount;
  });
  std::int32_t exitCode = 0;
  const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(1030);
  while (std::chrono::steady_clock::now() < end) MainLoopPass(&exitCode);
  Platform.StopPeriodicTimer();
  ASSERT_GE(ReadingCount, 15);
  // Each reading sees two or three frames' steps: 304 on average at full pace. Every catch-up
  // drops the part of a tick beyond its whole ticks, so the loop runs a little slower than that.
  EXPECT_GE(ReadingSum / ReadingCount, 250);
  EXPECT_LE(ReadingSum / ReadingCount, 320);
}

}  // namespace
}  // namespace quillon
