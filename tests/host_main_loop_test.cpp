#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <thread>
#include <vector>

#include "core/machine.h"
#include "cpu/cpu.h"
#include "host/display.h"
#include "host/headless/headless_backend.h"
#include "host/host_state.h"
#include "host/main_loop.h"
#include "host/messages.h"
#include "sid/mixer.h"
#include "support/machine.h"
#include "vic/frame_image.h"

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

// A powered-on machine on the hand-driven clock, its pacing started at counter 0, with a
// display buffer filled with a value that no conversion writes.
void StartLoop() {
  test::PowerOnMachine();
  UseHeadlessBackend(false);
  StartPacing();
  CreateDisplayBuffer();
  std::fill_n(Host.DisplayPixels, Host.PictureWidth * Host.PictureHeight, Poison);
}

// A pass that is expected to wait for a message: one arrives from another thread shortly.
std::int32_t PassWokenLater() {
  std::thread poster([] {
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    HeadlessPostMessage(MessageCreate, 0, 0);
  });
  const std::int32_t frames = Pass();
  poster.join();
  return frames;
}

bool Converted() { return Host.DisplayPixels[0] != Poison; }

void PlaceProgram(std::uint16_t address, std::vector<std::uint8_t> bytes) {
  for (std::uint8_t byte : bytes) MainRam[address++] = byte;
}

TEST(HostMainLoop, OneTickRunsOneFrameAndTheRestOfATickIsDropped) {
  StartLoop();
  HeadlessAdvanceCounter(Tick);
  EXPECT_EQ(Pass(), 1);
  EXPECT_EQ(StepsSoFar(), PalFrameSteps);
  EXPECT_EQ(CycleCounters.FrameCounter, 0);
  EXPECT_EQ(Host.LastTick, Tick);
  EXPECT_TRUE(Converted());
  EXPECT_EQ(Headless.RepaintRequests, 1);
  EXPECT_EQ(Headless.Sleeps, 0);

  // Just short of two ticks is one frame, and the fraction is forgotten with it.
  HeadlessAdvanceCounter(2 * Tick - 1);
  EXPECT_EQ(Pass(), 1);
  EXPECT_EQ(StepsSoFar(), 2 * PalFrameSteps);
  EXPECT_EQ(Host.LastTick, 3 * Tick - 1);
  HeadlessAdvanceCounter(Tick - 1);
  EXPECT_EQ(Pass(), 0);
  EXPECT_EQ(StepsSoFar(), 2 * PalFrameSteps);
}

TEST(HostMainLoop, AStallOfOneSecondRunsFiveFramesAndForgetsTheRest) {
  StartLoop();
  HeadlessAdvanceCounter(HeadlessManualFrequency);
  EXPECT_EQ(Pass(), 5);
  EXPECT_EQ(StepsSoFar(), 5 * PalFrameSteps);
  EXPECT_EQ(Host.LastTick, HeadlessManualFrequency);
  EXPECT_EQ(Pass(), 0) << "the other 45 ticks are gone";
  EXPECT_EQ(Headless.Sleeps, 1);
}

TEST(HostMainLoop, AnEndlessStallStillCatchesUpOnlyFiveFrames) {
  StartLoop();
  // More ticks than a 32-bit count holds: the count must not wrap into "no time passed".
  HeadlessAdvanceCounter(Tick * (std::int64_t{1} << 32) + Tick);
  EXPECT_EQ(Pass(), 5);
}

TEST(HostMainLoop, LessThanATickSleepsAndStillConvertsAndPresents) {
  StartLoop();
  HeadlessAdvanceCounter(Tick - 1);
  EXPECT_EQ(Pass(), 0);
  EXPECT_EQ(StepsSoFar(), 0);
  EXPECT_EQ(Headless.Sleeps, 1);
  EXPECT_EQ(Headless.SleptMilliseconds, 2u);
  EXPECT_TRUE(Converted());
  EXPECT_EQ(Headless.RepaintRequests, 1);
  EXPECT_EQ(Host.LastTick, 0);
}

TEST(HostMainLoop, NtscStillRunsFiftyFramesASecond) {
  StartLoop();
  VideoStandard = VideoStandardNtsc;
  HeadlessAdvanceCounter(Tick);
  EXPECT_EQ(Pass(), 1);
  EXPECT_EQ(StepsSoFar(), 262 * 64);
}

TEST(HostMainLoop, PauseBlocksUntilAMessageAndConvertsNothing) {
  StartLoop();
  Host.Paused = 1;
  HeadlessAdvanceCounter(Tick);
  std::thread poster([] {
    std::this_thread::sleep_for(std::chrono::milliseconds(60));
    HeadlessPostMessage(MessageKeyUp, 'A', 0);
  });
  const auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(Pass(), 0);
  const auto blocked = std::chrono::steady_clock::now() - start;
  poster.join();
  EXPECT_GE(blocked, std::chrono::milliseconds(50));
  EXPECT_EQ(Headless.Waits, 1);
  EXPECT_EQ(StepsSoFar(), 0);
  EXPECT_FALSE(Converted());
  EXPECT_EQ(Headless.RepaintRequests, 0);
  EXPECT_EQ(Headless.Queue.size(), 1u) << "the message waits for the next pass";
}

TEST(HostMainLoop, ATraceStepRunsUntilTheProgramCounterMovesThenPauses) {
  StartLoop();
  PlaceProgram(0xC000, {0xA9, 0x01, 0xEA, 0x4C, 0x00, 0xC0});  // LDA #$01, NOP, JMP $C000
  Cpu.PC = 0xC000;
  Host.TraceMode = 1;
  HeadlessAdvanceCounter(10 * Tick);  // real time plays no part in a trace step

  EXPECT_EQ(Pass(), 0);
  EXPECT_EQ(Cpu.PC, 0xC002);
  EXPECT_EQ(Cpu.A, 0x01);
  EXPECT_EQ(StepsSoFar(), 2) << "the fetch, then the instruction";
  EXPECT_EQ(Host.Paused, 1);
  EXPECT_TRUE(Converted());
  EXPECT_EQ(Headless.RepaintRequests, 1);

  // Waiting for F12: the next pass steps nothing.
  HeadlessPostMessage(MessageKeyUp, VirtualKeyF12, 0);
  PassWokenLater();
  EXPECT_EQ(Cpu.PC, 0xC002);
  HeadlessPostMessage(MessageKeyDown, VirtualKeyF12, 0);
  Pass();
  EXPECT_EQ(Cpu.PC, 0xC003);
  EXPECT_EQ(Host.Paused, 1);
}

TEST(HostMainLoop, TheTraceStepIsBoundedOnAJumpToItselfWithInterruptsOff) {
  StartLoop();
  PlaceProgram(0xC000, {0x78, 0x4C, 0x01, 0xC0});  // SEI; JMP *
  Cpu.PC = 0xC000;
  Host.TraceMode = 1;
  Pass();
  ASSERT_EQ(Cpu.PC, 0xC001);
  Host.Paused = 0;
  const std::int64_t before = StepsSoFar();
  Pass();
  EXPECT_EQ(Cpu.PC, 0xC001);
  EXPECT_EQ(StepsSoFar() - before, TraceStepLimit);
  EXPECT_EQ(Host.Paused, 1);
}

TEST(HostMainLoop, FullScreenFlipsInsteadOfRepainting) {
  StartLoop();
  Host.FullScreenActive = 1;
  HeadlessAdvanceCounter(Tick);
  Pass();
  EXPECT_EQ(Headless.FullScreenPresents, 1);
  EXPECT_EQ(Headless.RepaintRequests, 0);
  EXPECT_TRUE(Converted()) << "the buffer is converted even when it is not shown";
}

TEST(HostMainLoop, TheBufferIsRemadeAndTheWindowFittedAlsoWhilePaused) {
  StartLoop();
  Host.Paused = 1;
  Host.ShowBorder = 0;
  FreeDisplayBuffer();
  PassWokenLater();
  ASSERT_NE(Host.DisplayPixels, nullptr);
  EXPECT_EQ(Host.PictureWidth, 320);
  EXPECT_EQ(Headless.WindowWidth, 326);
  EXPECT_EQ(Headless.WindowHeight, 244);
}

TEST(HostMainLoop, StartUpMakesTheWindowInOrderAndTheFirstPassFitsIt) {
  test::PowerOnMachine();
  UseHeadlessBackend(false);
  std::int32_t exitCode = -1;
  ASSERT_TRUE(HostStartUp(nullptr, 5, &exitCode));
  EXPECT_EQ(Headless.Operations,
            (std::vector<std::string>{"RegisterMainWindowClass", "LoadMainMenu",
                                      "CreateMainWindow", "ShowMainWindow", "OpenPainter",
                                      "StartPeriodicTimer"}));
  EXPECT_EQ(Headless.WindowTitle, "Quillon | win32 | 3rd Public Beta");
  EXPECT_EQ(Headless.WindowWidth, 320);
  EXPECT_EQ(Headless.WindowHeight, 200);
  EXPECT_EQ(Headless.ShowCommand, 5);
  EXPECT_EQ(Host.CounterFrequency, HeadlessManualFrequency);
  Pass();
  EXPECT_EQ(Headless.WindowWidth, 366);
  EXPECT_EQ(Headless.WindowHeight, 284);
  EXPECT_EQ(Host.ClientWidth, 360);
  EXPECT_EQ(Host.ClientHeight, 240);
  HostShutDown();
}

TEST(HostMainLoop, ShutdownStopsTheTimerBeforeAnythingItUsesIsFreed) {
  test::PowerOnMachine();
  UseHeadlessBackend(false);
  std::int32_t exitCode = -1;
  ASSERT_TRUE(HostStartUp(nullptr, 1, &exitCode));
  Pass();
  bool bufferLeft = false;
  bool soundLeft = false;
  bool painterLeft = false;
  Headless.TimerStopped = [&] {
    bufferLeft = Host.DisplayPixels != nullptr;
    soundLeft = SoundStarted != 0;
    painterLeft = Headless.PainterOpen;
  };
  HostShutDown();
  EXPECT_TRUE(bufferLeft);
  EXPECT_TRUE(soundLeft);
  EXPECT_TRUE(painterLeft);
  EXPECT_EQ(Headless.Operations.back(), "ClosePainter");
  EXPECT_EQ(Host.DisplayPixels, nullptr);
  EXPECT_FALSE(Headless.PainterOpen);
  EXPECT_EQ(SoundStarted, 0);
}

TEST(HostMainLoop, ExitLeavesTheLoopPausedWithExitCodeZeroAlsoInASecondInstance) {
  test::PowerOnMachine();
  UseHeadlessBackend(false);
  HeadlessPostMessage(MessageCommand, CommandExit, 0);
  EXPECT_EQ(WinMain(nullptr, nullptr, "", 1), 0);
  EXPECT_EQ(Host.Paused, 1);
  EXPECT_FALSE(Headless.WindowExists);
  EXPECT_EQ(Headless.Operations.back(), "ClosePainter");

  // A second instance finds the class registered already.
  UseHeadlessBackend(false);
  HeadlessPostMessage(MessageCommand, CommandExit, 0);
  int previous = 0;
  EXPECT_EQ(WinMain(nullptr, &previous, "", 1), 0);
  EXPECT_EQ(Headless.Operations.front(), "LoadMainMenu");
}

TEST(HostMainLoop, AWindowThatCannotBeMadeEndsTheProgramWithZero) {
  test::PowerOnMachine();
  UseHeadlessBackend(false);
  Headless.FailClassRegistration = true;
  EXPECT_EQ(WinMain(nullptr, nullptr, "", 1), 0);
  EXPECT_FALSE(Headless.WindowExists);
  UseHeadlessBackend(false);
  Headless.FailWindowCreation = true;
  EXPECT_EQ(WinMain(nullptr, nullptr, "", 1), 0);
  EXPECT_EQ(Headless.Operations.back(), "CreateMainWindow");
  EXPECT_TRUE(Headless.MessageBoxes.empty());
}

int Allocations = 0;
void* FailFirstAllocation(std::size_t size) {
  return ++Allocations == 1 ? nullptr : std::malloc(size);
}

TEST(HostMainLoop, FailedInitialisationShowsTheMessageAndEndsWithOne) {
  // A fresh process: the machine's memory is not yet allocated.
  AllocateMachineBlock = FailFirstAllocation;
  UseHeadlessBackend(false);
  EXPECT_EQ(WinMain(nullptr, nullptr, "", 1), 1);
  EXPECT_EQ(Headless.MessageBoxes,
            std::vector<std::string>{"Damn!: Emulator initialization failed!"});
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

}  // namespace
}  // namespace quillon
