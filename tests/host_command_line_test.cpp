#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "session/session.h"
#include "interface/machine.h"
#include "app/autostart.h"
#include "app/command_line.h"
#include "backends/headless/headless_backend.h"
#include "app/headless_run.h"
#include "window/main_loop.h"
#include "platform/messages.h"
#include "app/window_run.h"
#include "debug/screen_text.h"
#include "media/cartridge.h"
#include "support/files.h"
#include "support/machine.h"
#include "support/picture.h"
#include "vic/frame_image.h"

namespace quillon {
namespace {

std::string Parse(const std::vector<const char*>& arguments, CommandLineOptions& options) {
  std::vector<const char*> argv{"quillon"};
  argv.insert(argv.end(), arguments.begin(), arguments.end());
  return ParseCommandLine(static_cast<int>(argv.size()), argv.data(), options);
}

TEST(HostCommandLine, NoArgumentsIsTheWindowAndEveryOptionIsRead) {
  CommandLineOptions plain;
  EXPECT_EQ(Parse({}, plain), "");
  EXPECT_TRUE(!plain.Headless && !plain.Warp && plain.Frames == 300 && plain.File.empty());
  CommandLineOptions warp;
  EXPECT_EQ(Parse({"--warp"}, warp), "");
  EXPECT_TRUE(warp.Warp && !warp.Headless);
  const std::string program = test::WriteTempFile("game.P00", {0});
  CommandLineOptions options;
  EXPECT_EQ(Parse({"--headless", "--frames", "42", "--realtime", "--ntsc", "--screen-text",
                   "--trace", "--screenshot", "out.png", program.c_str(), "--type", "Ok\\n\":",
                   "--wav", "out.wav", "--mute"},
                  options),
            "");
  EXPECT_TRUE(options.Headless && options.RealTime && options.Ntsc && options.ScreenText &&
              options.Trace && options.Mute);
  EXPECT_EQ(options.Frames, 42);
  EXPECT_EQ(options.ScreenshotPath, "out.png");
  EXPECT_EQ(options.WavPath, "out.wav");
  CommandLineOptions window;
  EXPECT_EQ(Parse({"--mute", program.c_str()}, window), "") << "the window starts muted too";
  EXPECT_TRUE(window.Mute && !window.Headless);
  CommandLineOptions chip;
  EXPECT_EQ(Parse({"--sid", "8580", "--model=accurate"}, chip), "") << "in either order";
  EXPECT_TRUE(chip.SidGiven && chip.Sid == SidChip::Mos8580 && chip.Model == MachineModel::Accurate);
  EXPECT_EQ(options.File, program);
  // Lower case types the capital's key; '"' and ':' are shifted keys of the host keyboard.
  std::string typed;
  for (const TypedKey& key : options.TypedKeys) typed += std::to_string(key.VirtualKey) + (key.Shift ? "S " : " ");
  EXPECT_EQ(typed, "79 75 13 222S 186S ");
}

TEST(HostCommandLine, DeveloperOptionsValuesAfterEqualsSignsAndTheEndOfOptions) {
  const std::string snapshot = test::WriteTempFile("machine.qsn", {0});
  const std::string dashed = test::WriteTempFile("-game.prg", {0});
  CommandLineOptions options;
  EXPECT_EQ(Parse({"--headless", "--debug-exit", "--trace-log", "-", "--snapshot-load",
                   snapshot.c_str(), "--snapshot-save=out.qsn", "--frames=7", "--type=--5",
                   "--", dashed.c_str()},
                  options),
            "");
  EXPECT_TRUE(options.DebugExit);
  EXPECT_EQ(options.TraceLogPath, "-") << "a lone - is a value, standard output";
  EXPECT_EQ(options.SnapshotLoadPath, snapshot);
  EXPECT_EQ(options.SnapshotSavePath, "out.qsn");
  EXPECT_EQ(options.Frames, 7);
  EXPECT_EQ(options.TypedKeys.size(), 3u) << "a value that begins with -- after an equals sign";
  EXPECT_EQ(options.File, dashed) << "after --, an argument that begins with - is a file";
  CommandLineOptions help;
  EXPECT_EQ(Parse({"-h"}, help), "");
  EXPECT_TRUE(help.Help);
  EXPECT_TRUE(options.FramesGiven);
  EXPECT_FALSE(help.FramesGiven) << "the default is no given number";
}

// The monitors work in the window and headless; the remote one's address may be left out.
TEST(HostCommandLine, TheMonitorsAndTheRemoteOnesAddress) {
  struct Case {
    std::vector<const char*> Arguments;
    std::string Address;
  };
  const Case cases[] = {
      {{"--remote-monitor"}, "127.0.0.1:6502"},
      {{"--headless", "--remote-monitor=0.0.0.0:6510"}, "0.0.0.0:6510"},
      {{"--remote-monitor=[::1]:0", "--monitor"}, "[::1]:0"},
      {{"--monitor"}, ""},
  };
  for (const Case& c : cases) {
    CommandLineOptions options;
    EXPECT_EQ(Parse(c.Arguments, options), "");
    EXPECT_EQ(options.RemoteMonitor, c.Address);
    EXPECT_EQ(options.TextMonitor, c.Arguments.back() == std::string("--monitor"));
    EXPECT_FALSE(options.FramesGiven);
  }
}

TEST(HostCommandLine, HelpListsEveryOptionOfTheTableAndTheExitStatuses) {
  const std::string usage = UsageText();
  for (const CommandLineOption& option : CommandLineOptionTable) {
    const std::string listed = std::string("\n  ") + option.Name;
    EXPECT_TRUE(usage.find(listed + " ") != std::string::npos ||
                usage.find(listed + "[=") != std::string::npos)
        << option.Name;
  }
  for (const char* status : {"\n  0 ", "\n  1 ", "\n  2 ", "\n  3 ", "\n  N "}) {
    EXPECT_NE(usage.find(status), std::string::npos) << status;
  }
  EXPECT_NE(usage.find("$D7FF"), std::string::npos);
}

// Every way the command line can be wrong, with the one line that says so.
TEST(HostCommandLine, BadArgumentsSayWhatIsWrong) {
  const std::string program = test::WriteTempFile("x.prg", {0});
  const std::string cartridge = test::WriteTempFile("x.crt", {0});
  const std::string snapshot = test::WriteTempFile("x.qsn", {0});
  const std::string folder = program.substr(0, program.rfind('/')) + "/folder.prg";
  std::filesystem::create_directory(folder);
  std::string accents;
  for (int i = 0; i < 40; ++i) accents += "\xC3\xA9";  // 40 e-acute, 80 bytes
  const std::string longOption = "--" + accents;
  const std::pair<std::vector<const char*>, std::string> cases[] = {
      // Options and their values.
      {{"--bogus"}, "unknown option '--bogus' (see --help)"},
      {{"--headless", "-x"}, "unknown option '-x' (see --help)"},
      {{"--headless", "--bogus=3"}, "unknown option '--bogus' (see --help)"},
      {{"--headless", "--frames"}, "--frames needs a number of frames"},
      {{"--headless", "--frames", "12x"}, "--frames needs a whole number from 1 up, not '12x'"},
      {{"--headless", "--frames", "99999999999"}, "--frames needs a whole number"},
      {{"--headless", "--frames", "0"}, "--frames needs a whole number"},
      {{"--headless", "--frames", "-5"}, "--frames needs a whole number from 1 up, not '-5'"},
      {{"--headless", "--frames="}, "--frames needs a number of frames"},
      {{"--headless", "--screenshot"}, "--screenshot needs a file name"},
      {{"--headless", "--screenshot", "--frames", "3"},
       "--screenshot needs a file name, not the option '--frames' (write --screenshot=VALUE"},
      {{"--headless", "--type", "--"}, "--type needs the text to type, not the option '--'"},
      {{"--headless", "--type", ""}, "--type needs the text to type"},
      {{"--headless", "--trace-log"}, "--trace-log needs a file name"},
      {{"--headless", "--snapshot-save", "--trace"}, "--snapshot-save needs a file name, not"},
      {{"--headless", "--snapshot-load="}, "--snapshot-load needs a file name"},
      {{"--headless", "--realtime=yes"}, "--realtime takes no value"},
      {{"--headless", "--type", "~"}, "no C64 key types the character '~' in --type"},
      // Messages never cut a UTF-8 character in half, and show control characters as codes.
      {{"--headless", "--type", "A\xC3\xA9"}, "no C64 key types the character '\xC3\xA9' in --type"},
      {{"--headless", "--type", "\xE2\x82\xAC" "5"}, "no C64 key types the character '\xE2\x82\xAC'"},
      {{longOption.c_str()}, "unknown option '--" + accents.substr(0, 58) + "...' (see --help)"},
      {{"--bo\x01gus"}, "unknown option '--bo\\x01gus' (see --help)"},
      // Where options work.
      {{"--frames", "10"}, "--frames works only with --headless"},
      {{"--debug-exit"}, "--debug-exit works only with --headless"},
      {{"--trace-log", "t.log"}, "--trace-log works only with --headless"},
      {{"--headless", "--warp"}, "--warp is for the window"},
      // Files.
      {{"--headless", "missing.prg"}, "cannot read 'missing.prg'"},
      {{"--headless", "notes.txt"}, "'notes.txt' is not a .prg, .p00, .crt, .d64 or .t64 file"},
      {{"--headless", folder.c_str()}, "cannot read '" + folder + "'"},
      {{program.c_str(), program.c_str()}, "only one file"},
      {{"--headless", "--", "--frames"},
       "'--frames' is not a .prg, .p00, .crt, .d64 or .t64 file"},
      {{"--headless", "--snapshot-load", "missing.qsn"}, "cannot read 'missing.qsn'"},
      {{"--headless", "--ntsc", "--snapshot-load", snapshot.c_str()},
       "--ntsc cannot change a snapshot's machine"},
      {{"--headless", "--snapshot-load", snapshot.c_str(), cartridge.c_str()},
       "--snapshot-load brings its machine's cartridge"},
      {{"--headless", "--wav", ""}, "--wav needs a file name"},
      {{"--wav", "out.wav"}, "--wav works only with --headless"},
      {{"--headless", "--disk"}, "--disk needs a disk image"},
      {{"--headless", "--sid", "8580"}, "--sid works only with --model accurate"},
      {{"--model", "accurate", "--sid", "6582"}, "--sid needs 6581 or 8580, not '6582'"},
      {{"--remote-monitor="}, "--remote-monitor needs an address and port"},
      {{"--remote-monitor=6502"}, "--remote-monitor needs ADDRESS:PORT, not '6502'"},
      {{"--remote-monitor=localhost:65536"}, "--remote-monitor needs a port from 0 to 65535"},
      {{"--remote-monitor=:6502"}, "--remote-monitor needs an address before the port"},
      {{"--remote-monitor", "6510"}, "'6510' is not a .prg"},
      {{"--monitor=1"}, "--monitor takes no value"}};
  for (const auto& [arguments, error] : cases) {
    CommandLineOptions options;
    const std::string message = Parse(arguments, options);
    EXPECT_TRUE(message.starts_with(error)) << error << "\n got: " << message;
    EXPECT_EQ(message.find('\n'), std::string::npos);
  }
}

TEST(HostHeadlessRun, AProgramRunsFirstAndTypingWaitsForBasicToReturn) {
  test::PowerOnMachine();
  CommandLineOptions options;
  options.File = test::WriteTempFile("sum.prg", test::BasicProgramFile({"10 PRINT 617*2"}));
  ASSERT_EQ(TranslateTypedText("PRINT 6*7\\n", options.TypedKeys), "");
  const HeadlessRunResult result = RunHeadless(options);
  EXPECT_EQ(result.ExitCode, 0);
  EXPECT_EQ(result.FramesRun, 300);
  const auto& rows = result.ScreenText;
  const auto typed = std::find(std::find(rows.begin(), rows.end(), " 1234"), rows.end(), " 42");
  ASSERT_NE(typed, rows.end()) << "the program's output, then the typed line's";
  EXPECT_EQ(typed[-1], "PRINT 6*7");
}

TEST(HostHeadlessRun, TheTraceViewIsDrawnIntoTheFinalPictureTopRowFirst) {
  test::PowerOnMachine();
  CommandLineOptions options;
  options.Frames = 150;
  options.Trace = true;
  const HeadlessRunResult result = RunHeadless(options);
  ASSERT_EQ(result.PictureWidth * 1000 + result.PictureHeight, 360240);
  ASSERT_EQ(result.Picture.size(), 360u * 240u);
  EXPECT_EQ(test::PictureRowText(0).substr(32), "NV-BDIZC");
  EXPECT_EQ(test::PictureRowText(1).substr(0, 10), "STACKP: $0");
  // The trace view's black cells are at the top of the display window, the blue screen's
  // background at its bottom: the rows come out top first.
  EXPECT_EQ(result.Picture[20 * 360 + 20 + 7], Palette[0]);
  EXPECT_EQ(result.Picture[219 * 360 + 20 + 7], Palette[6]);
  EXPECT_EQ(result.Picture[0], Palette[14]) << "light blue border";
}

bool ScreenShows(const std::string& line) {
  const std::vector<std::string> rows = ScreenRows(0x0400);
  return std::find(rows.begin(), rows.end(), line) != rows.end();
}

// One pass of the window's loop after a fiftieth of a second, with the work between passes.
void TickedPass(Autostart& start) {
  std::int32_t exitCode = -1;
  HeadlessAdvanceCounter(HeadlessManualFrequency / TicksPerSecond);
  FinishPass(MainLoopPass(&exitCode), start);
}

TEST(Autostart, ProgramGivenAtStartRunsInTheWindowLoopOnceBasicWaits) {
  const std::string path =
      test::WriteTempFile("game.prg", test::BasicProgramFile({"10 PRINT \"AUTOSTARTED\""}));
  test::PowerOnMachine();
  UseHeadlessBackend(false);
  std::string error;
  Autostart start = AttachStartFile(path, "", {}, error);
  EXPECT_EQ(start.File, path);
  EXPECT_EQ(error, "");
  EXPECT_EQ(CartridgeAttached, 0);
  std::int32_t exitCode = -1;
  ASSERT_TRUE(HostStartUp(nullptr, ShowNormal, &exitCode));

  // While the KERNAL is still starting, the program waits.
  TickedPass(start);
  EXPECT_EQ(start.File, path);
  for (int passes = 0; passes < 500 && !start.File.empty(); ++passes) TickedPass(start);
  EXPECT_TRUE(start.File.empty()) << "BASIC never waited for input";
  EXPECT_FALSE(BasicWaitsForInput(CurrentMachine()));  // RUN is in the keyboard buffer
  for (int more = 0; more < 100 && !ScreenShows("AUTOSTARTED"); ++more) TickedPass(start);
  EXPECT_TRUE(ScreenShows("AUTOSTARTED"));
  HostShutDown();
}

TEST(Autostart, CartridgeGivenAtStartIsAttachedForTheFirstReset) {
  std::string error;
  EXPECT_EQ(AttachStartFile("/some/where/game.CRT", "", {}, error).File, "");
  EXPECT_EQ(CartridgeAttached, 1);
  EXPECT_EQ(CartridgePath, "/some/where/game.CRT");
  EXPECT_EQ(AttachStartFile("", "", {}, error).File, "");
  EXPECT_EQ(error, "");
}

}  // namespace
}  // namespace quillon
