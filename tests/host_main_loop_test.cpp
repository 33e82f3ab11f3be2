#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <thread>
#include <vector>

#include "sound/sound_output.h"
#include "core/machine.h"
#include "core/memory.h"
#include "cpu/cpu.h"
#include "window/display.h"
#include "backends/headless/headless_backend.h"
#include "session/host_state.h"
#include "window/main_loop.h"
#include "platform/messages.h"
#include "sound/speed.h"
#include "app/window_run.h"
#include "sid/mixer.h"
#include "support/machine.h"
#include "support/picture.h"

namespace quillon {
namespace {

constexpr std::int64_t Tick = HeadlessManualFrequency / 50;
constexpr std::int64_t PalFrameSteps = 312 * 64;
constexpr std::uint32_t Poison = 0xDEADBEEF;

std::int64_t StepsSoFar() {
  return CycleCounters.StepCounter.load() + CycleCounters.UnpublishedSteps;
}

std::int32_t Pass() {
  std::int32_t exitCode = -1;
  return MainLoopPass(&exitCode);
}

// A powered-on machine on the hand-driven clock, paced from counter 0, with a display buffer
// holding a value that no conversion writes.
void StartLoop() {
  test::PowerOnMachine();
  UseHeadlessBackend(false);
  StartPacing();
  CreateDisplayBuffer();
  std::fill_n(Host.DisplayPixels, Host.PictureWidth * Host.PictureHeight, Poison);
}

bool Converted() { return Host.DisplayPixels[0] != Poison; }

// A pass that waits for a message: one arrives from another thread `ms` later.
std::int32_t PassWokenLater(int ms = 20) {
  std::thread poster([ms] {
    std::this_thread::sleep_for(std::chrono::milliseconds(ms));
    HeadlessPostMessage(MessageCreate, 0, 0);
  });
  const std::int32_t frames = Pass();
  poster.join();
  return frames;
}

TEST(HostMainLoop, EachTickRunsAFrameAndAStallCatchesUpAtMostFive) {
  StartLoop();
  HeadlessAdvanceCounter(Tick - 1);
  EXPECT_EQ(Pass(), 0) << "less than a tick sleeps";
  EXPECT_EQ(Headless.SleptMilliseconds, 2u);
  EXPECT_TRUE(Converted()) << "and still converts and presents";
  EXPECT_EQ(Headless.RepaintRequests, 1);
  HeadlessAdvanceCounter(1);
  EXPECT_EQ(Pass(), 1);
  EXPECT_EQ(StepsSoFar(), PalFrameSteps);
  EXPECT_EQ(Headless.Sleeps, 1);
  // Just short of two ticks is one frame, and the fraction counts towards the next pass.
  HeadlessAdvanceCounter(2 * Tick - 1);
  EXPECT_EQ(Pass(), 1);
  HeadlessAdvanceCounter(1);
  EXPECT_EQ(Pass(), 1);
  HeadlessAdvanceCounter(Tick - 1);
  EXPECT_EQ(Pass(), 0);
  EXPECT_EQ(StepsSoFar(), 3 * PalFrameSteps);

  // A stall of a second runs five frames and forgets the other 45 ticks.
  HeadlessAdvanceCounter(HeadlessManualFrequency);
  EXPECT_EQ(Pass(), 5);
  EXPECT_EQ(Pass(), 0);
  // More ticks than 32 bits hold must not wrap into "no time passed".
  HeadlessAdvanceCounter(Tick * (std::int64_t{1} << 32) + Tick);
  EXPECT_EQ(Pass(), 5);
  // NTSC frames are shorter but still come fifty a second; full screen flips, not repaints.
  VideoStandard = VideoStandardNtsc;
  Host.FullScreenActive = 1;
  const std::int64_t before = StepsSoFar();
  const std::int32_t repaints = Headless.RepaintRequests;
  HeadlessAdvanceCounter(Tick);
  EXPECT_EQ(Pass(), 1);
  EXPECT_EQ(StepsSoFar() - before, 262 * 64);
  EXPECT_EQ(Headless.FullScreenPresents, 1);
  EXPECT_EQ(Headless.RepaintRequests, repaints);
}

TEST(HostMainLoop, PauseBlocksUntilAMessageAndConvertsNothing) {
  StartLoop();
  Host.Paused = 1;
  HeadlessAdvanceCounter(Tick);
  const auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(PassWokenLater(60), 0);
  EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(50));
  EXPECT_EQ(StepsSoFar(), 0);
  EXPECT_FALSE(Converted());
  EXPECT_EQ(Headless.RepaintRequests, 0);
  EXPECT_EQ(Headless.Queue.size(), 1u) << "the message waits for the next pass";
  // A buffer dropped by a border change is made again and the window fitted, paused or not.
  Host.ShowBorder = 0;
  FreeDisplayBuffer();
  PassWokenLater();
  ASSERT_NE(Host.DisplayPixels, nullptr);
  EXPECT_EQ(Headless.WindowWidth * 1000 + Headless.WindowHeight, 326244);
}

// A trace step is one whole instruction: a taken branch completes (the view never shows the
// instruction after it, which does not run), a jump to itself is a step like any other, and an
// interrupt's entry is a step of its own that shows the handler's first instruction.
TEST(HostMainLoop, ATraceStepRunsOneWholeInstructionOrEntersAnInterrupt) {
  StartLoop();
  // LDA #1; BNE +2 (taken); two NOPs that never run; JMP * with interrupts off.
  const std::uint8_t program[] = {0xA9, 0x01, 0xD0, 0x02, 0xEA, 0xEA, 0x78, 0x4C, 0x07, 0xC0};
  std::copy(program, program + sizeof program, MainRam + 0xC000);
  Cpu.PC = 0xC000;
  Host.TraceMode = 1;
  HeadlessAdvanceCounter(10 * Tick);  // real time plays no part in a trace step
  EXPECT_EQ(Pass(), 0);
  EXPECT_EQ(Cpu.PC, 0xC002);
  EXPECT_EQ(StepsSoFar(), 2) << "the fetch, then the instruction";
  EXPECT_EQ(Host.Paused, 1);
  EXPECT_TRUE(Converted());
  // Paused, the loop waits for F12, which steps once more: the branch whole, in three steps.
  HeadlessPostMessage(MessageKeyUp, VirtualKeyF12, 0);
  PassWokenLater();
  EXPECT_EQ(Cpu.PC, 0xC002);
  HeadlessPostMessage(MessageKeyDown, VirtualKeyF12, 0);
  Pass();
  EXPECT_EQ(Cpu.PC, 0xC006) << "the taken branch lands before the step ends";
  EXPECT_EQ(Cpu.Opcode, ServiceMarker);
  EXPECT_EQ(StepsSoFar(), 5);
  EXPECT_EQ(test::PictureRowText(0).substr(20, 3), "SEI") << "the view shows what runs next";
  Host.Paused = 0;
  Pass();
  // JMP * with interrupts off: each step runs it once more.
  for (int jumps = 0; jumps < 2; ++jumps) {
    Host.Paused = 0;
    const std::int64_t before = StepsSoFar();
    Pass();
    EXPECT_EQ(Cpu.PC, 0xC007);
    EXPECT_EQ(StepsSoFar() - before, 3);
    EXPECT_EQ(Host.Paused, 1);
  }
  // With interrupts allowed, a pending IRQ is entered in a step of its own, which stops on
  // the handler's first instruction; the next step runs it.
  Cpu.P = static_cast<std::uint8_t>(Cpu.P & ~FlagI);
  Cpu.IrqPending = 1;
  const std::uint16_t handler = static_cast<std::uint16_t>(MemRead(0xFFFE) | MemRead(0xFFFF) << 8);
  Host.Paused = 0;
  std::int64_t before = StepsSoFar();
  Pass();
  EXPECT_EQ(Cpu.PC, handler);
  EXPECT_EQ(StepsSoFar() - before, 1);
  Host.Paused = 0;
  before = StepsSoFar();
  Pass();
  EXPECT_EQ(Cpu.PC, handler + 1) << "PHA";
  EXPECT_EQ(StepsSoFar() - before, 2) << "its main call and its idle call";
}

TEST(HostMainLoop, StartUpOrderExitAndAWindowThatCannotBeMade) {
  test::PowerOnMachine();
  UseHeadlessBackend(false);
  HeadlessPostMessage(MessageCommand, CommandExit, 0);
  EXPECT_EQ(WinMain(nullptr, nullptr, "", 5), 0);
  EXPECT_EQ(Headless.Operations,
            (std::vector<std::string>{"RegisterMainWindowClass", "LoadMainMenu",
                                      "CreateMainWindow", "ShowMainWindow", "OpenPainter",
                                      "StartPeriodicTimer", "DestroyMainWindow", "StopPeriodicTimer",
                                      "ClosePainter"}));
  EXPECT_EQ(Headless.WindowTitle, "Quillon | win32 | 3rd Public Beta");
  EXPECT_EQ(Headless.ShowCommand, 5);
  EXPECT_EQ(Host.Paused, 1);
  EXPECT_FALSE(Headless.WindowExists);

  for (bool failClass : {true, false}) {
    UseHeadlessBackend(false);
    Headless.FailClassRegistration = failClass;
    Headless.FailWindowCreation = !failClass;
    EXPECT_EQ(WinMain(nullptr, nullptr, "", 1), 0);
    EXPECT_EQ(Headless.Operations.back(), failClass ? "RegisterMainWindowClass" : "CreateMainWindow");
    EXPECT_TRUE(Headless.MessageBoxes.empty());
  }
}

TEST(HostMainLoop, ShutdownStopsTheTimerBeforeAnythingItUsesIsFreed) {
  test::PowerOnMachine();
  UseHeadlessBackend(false);
  std::int32_t exitCode = -1;
  ASSERT_TRUE(HostStartUp(nullptr, 1, &exitCode));
  EXPECT_EQ(Headless.WindowWidth * 1000 + Headless.WindowHeight, 320200);
  Pass();
  EXPECT_EQ(Headless.WindowWidth * 1000 + Headless.WindowHeight, 366284) << "fitted to 360 x 240";
  bool allLeft = false;
  Headless.TimerStopped = [&] {
    allLeft = Host.DisplayPixels != nullptr && SoundStarted != 0 && Headless.PainterOpen;
  };
  HostShutDown();
  EXPECT_TRUE(allLeft);
  EXPECT_TRUE(Host.DisplayPixels == nullptr && SoundStarted == 0 && !Headless.PainterOpen);
}

int Allocations = 0;
void* FailFirstAllocation(std::size_t size) {
  return ++Allocations == 1 ? nullptr : std::malloc(size);
}

TEST(HostMainLoop, FailedInitialisationShowsTheMessageAndEndsWithOne) {
  const test::UnallocatedMachine unallocated(FailFirstAllocation);
  UseHeadlessBackend(false);
  EXPECT_EQ(WinMain(nullptr, nullptr, "", 1), 1);
  EXPECT_EQ(Headless.MessageBoxes, std::vector<std::string>{"Damn!: Emulator initialization failed!"});
  EXPECT_TRUE(Headless.Operations.empty());
}

TEST(HostMainLoop, ACounterSlowerThanTheTicksFallsBackToTheSteadyClock) {
  for (std::int64_t frequency : {0, 49}) {
    StartLoop();
    Headless.ManualFrequency = frequency;
    StartPacing();
    EXPECT_GE(Host.CounterFrequency, 1000000) << frequency;
    HeadlessAdvanceCounter(1000);  // the platform's counter no longer counts
    EXPECT_EQ(Pass(), 0);
    std::this_thread::sleep_for(std::chrono::milliseconds(25));
    EXPECT_GE(Pass(), 1) << "real time drives the pacing";
  }
}

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

TEST(HostMainLoop, WarpRunsFramesForAFiftiethOfASecondThenShowsOnePicture) {
  StartLoop();
  Host.Warp = 1;
  HeadlessAdvanceCounter(7 * Tick);
  const auto start = std::chrono::steady_clock::now();
  const std::int32_t frames = Pass();
  const auto took = std::chrono::steady_clock::now() - start;
  EXPECT_GT(frames, 5) << "faster than real time, whatever the pacing counter says";
  EXPECT_GE(took, std::chrono::milliseconds(20));
  EXPECT_LT(took, std::chrono::milliseconds(200));
  EXPECT_EQ(Headless.RepaintRequests, 1);
  EXPECT_EQ(CycleCounters.FrameCounter, 0);
  // Leaving warp starts the pacing from now: the seven ticks that passed are not caught up.
  Host.Warp = 0;
  EXPECT_EQ(Pass(), 0);
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
  // Each reading sees two or three frames' steps: 304 on average at full pace.
  EXPECT_GE(ReadingSum / ReadingCount, 290);
  EXPECT_LE(ReadingSum / ReadingCount, 318);
}

}  // namespace
}  // namespace quillon
