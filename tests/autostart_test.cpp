#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "host/autostart.h"
#include "host/headless/headless_backend.h"
#include "host/headless/headless_run.h"
#include "host/main_loop.h"
#include "host/messages.h"
#include "host/window_run.h"
#include "media/cartridge.h"
#include "support/temp_file.h"

namespace quillon {
namespace {

bool ScreenShows(const std::string& line) {
  for (const std::string& row : ScreenRows(0x0400)) {
    if (row == line) return true;
  }
  return false;
}

// One pass of the window's loop after a fiftieth of a second, with the start file's check.
std::int32_t TickedPass(std::string& program) {
  std::int32_t exitCode = -1;
  HeadlessAdvanceCounter(HeadlessManualFrequency / TicksPerSecond);
  const std::int32_t frames = MainLoopPass(&exitCode);
  StartProgramOnceBasicWaits(program);
  return frames < 0 ? exitCode : -1;
}

TEST(Autostart, ProgramGivenAtStartRunsInTheWindowLoopOnceBasicWaits) {
  // 10 PRINT "AUTOSTARTED", tokenised at $0801.
  std::vector<std::uint8_t> bytes = {0x01, 0x08, 0x15, 0x08, 0x0A, 0x00, 0x99, 0x20, '"'};
  for (char c : std::string("AUTOSTARTED")) bytes.push_back(static_cast<std::uint8_t>(c));
  bytes.insert(bytes.end(), {'"', 0x00, 0x00, 0x00});
  const std::string path = test::WriteTempFile("game.prg", bytes);

  UseHeadlessBackend(false);
  std::string program = AttachStartFile(path);
  EXPECT_EQ(program, path);
  EXPECT_EQ(CartridgeAttached, 0);
  std::int32_t exitCode = -1;
  ASSERT_TRUE(HostStartUp(nullptr, ShowNormal, &exitCode));

  // While the KERNAL is still starting, the program waits.
  TickedPass(program);
  EXPECT_EQ(program, path);
  int passes = 1;
  while (!program.empty() && passes < 500) {
    TickedPass(program);
    ++passes;
  }
  EXPECT_TRUE(program.empty()) << "BASIC never waited for input";
  EXPECT_FALSE(BasicWaitsForInput());  // RUN is in the keyboard buffer
  for (int more = 0; more < 100 && !ScreenShows("AUTOSTARTED"); ++more) TickedPass(program);
  EXPECT_TRUE(ScreenShows("AUTOSTARTED"));

  // Exit from the menu ends the loop with status 0.
  HeadlessPostMessage(MessageCommand, CommandExit, 0);
  std::int32_t status = -1;
  for (int more = 0; more < 3 && status < 0; ++more) status = TickedPass(program);
  EXPECT_EQ(status, 0);
  HostShutDown();
}

TEST(Autostart, CartridgeGivenAtStartIsAttachedForTheFirstReset) {
  EXPECT_EQ(AttachStartFile("/some/where/game.CRT"), "");
  EXPECT_EQ(CartridgeAttached, 1);
  EXPECT_EQ(CartridgePath, "/some/where/game.CRT");
  EXPECT_EQ(AttachStartFile(""), "");
}

}  // namespace
}  // namespace quillon
