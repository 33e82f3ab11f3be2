#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "keyboard/host_keys.h"
#include "media/file_replace.h"
#include "cia/keyboard.h"
#include "core/machine.h"
#include "app/command_line.h"
#include "backends/headless/headless_backend.h"
#include "app/headless_run.h"
#include "session/host_state.h"
#include "session/session.h"
#include "platform/messages.h"
#include "window/settings.h"
#include "app/window_run.h"
#include "support/files.h"
#include "support/machine.h"

namespace quillon {
namespace {

namespace fs = std::filesystem;

// A folder of the test process's own for the settings, named in XDG_CONFIG_HOME.
fs::path UseConfigFolder(const std::string& name) {
  const fs::path folder = fs::path(test::WriteTempFile(name + ".marker", {})).parent_path() / name;
  fs::remove_all(folder);
  setenv("XDG_CONFIG_HOME", folder.c_str(), 1);
  return folder;
}

std::string ReadFile(const fs::path& path) {
  std::ifstream file(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(file), {});
}

bool SameSettings(const SettingsState& a, const SettingsState& b) {
  return a.VideoStandard == b.VideoStandard && a.ShowBorder == b.ShowBorder &&
         a.JoystickPort == b.JoystickPort && a.JoystickOnCursorKeys == b.JoystickOnCursorKeys &&
         a.WindowWidth == b.WindowWidth && a.WindowHeight == b.WindowHeight &&
         a.WindowMaximized == b.WindowMaximized &&
         a.ProgramFolder == b.ProgramFolder && a.CartridgeFolder == b.CartridgeFolder &&
         a.SoundOn == b.SoundOn && a.Model == b.Model && a.Sid == b.Sid &&
         a.RemoteMonitor == b.RemoteMonitor && a.RemoteMonitorAddress == b.RemoteMonitorAddress;
}

TEST(HostSettings, WrittenSettingsReadBackAndDamagedTextIsRefusedWhole) {
  const SettingsState changed = {VideoStandardNtsc, 0, 1, 1, 720, 480, 1, "/home/c64/games",
                                 "/home/c64/cartridges with spaces", 0, MachineModel::Accurate,
                                 SidChip::Mos8580, 1, "[::1]:6510"};
  SettingsState read = DefaultSettings;
  ASSERT_TRUE(ParseSettings(FormatSettings(changed), read));
  EXPECT_TRUE(SameSettings(read, changed));

  // Hand-edited files: any letter case, blanks around names and values, CR LF line ends,
  // comments, sections and keys of a later version.
  read = DefaultSettings;
  ASSERT_TRUE(ParseSettings("# mine\r\n[ video ]\r\n  standard = ntsc \r\n[Sound]\r\nVolume=7\r\n"
                            "[Window]\r\nWidth=10\r\nHeight=10\r\n",
                            read));
  EXPECT_EQ(read.VideoStandard, VideoStandardNtsc);
  EXPECT_EQ(read.WindowWidth + read.WindowHeight, 0) << "too small a window is no size to keep";
  // A file of the version before, which kept no maximised window.
  read = DefaultSettings;
  ASSERT_TRUE(ParseSettings("[Window]\nWidth=640\nHeight=400\n", read));
  EXPECT_EQ(read.WindowWidth * 1000 + read.WindowHeight + read.WindowMaximized, 640400);

  const char* damaged[] = {
      "[Video\nStandard=PAL\n",          "[Video]\nStandard=SECAM\n",
      "[Video]\nBorder=2\n",             "[Joystick]\nPort=3\n",
      "[Joystick]\nPort=1x\n",           "[Joystick]\nCursorKeys=-1\n",
      "[Window]\nWidth=99999999999\n",   "[Video]\nthis is no setting\n",
      "[Video]\n=PAL\n",                 "[Video]\nStandard=NTSC\n\x01\x02\n",
      "[Sound]\nOn=2\n",                "[Machine]\nModel=Exact\n",
      "[Window]\nMaximized=yes\n",       "[Machine]\nSid=6582\n",
      "[Monitor]\nRemote=2\n",           "[Monitor]\nAddress=6502\n",
  };
  for (const char* text : damaged) {
    SettingsState settings = changed;
    EXPECT_FALSE(ParseSettings(text, settings)) << text;
    EXPECT_TRUE(SameSettings(settings, changed)) << text;
  }
  SettingsState withNul = changed;
  EXPECT_FALSE(ParseSettings(std::string("[Video]\nStandard=PAL\0\n", 21), withNul));
}

TEST(HostSettings, TheFileLivesInTheConfigFolderAndBadFilesGiveTheDefaults) {
  setenv("XDG_CONFIG_HOME", "/config", 1);
  setenv("HOME", "/home/c64", 1);
  EXPECT_EQ(SettingsFilePath(), "/config/quillon/quillon.ini");
  setenv("XDG_CONFIG_HOME", "relative/is/ignored", 1);
  EXPECT_EQ(SettingsFilePath(), "/home/c64/.config/quillon/quillon.ini");
  unsetenv("XDG_CONFIG_HOME");
  EXPECT_EQ(SettingsFilePath(), "/home/c64/.config/quillon/quillon.ini");
  unsetenv("HOME");
  EXPECT_EQ(SettingsFilePath(), "");

  const fs::path folder = UseConfigFolder("bad");
  const fs::path path = SettingsFilePath();
  EXPECT_TRUE(SameSettings(LoadSettings(path), DefaultSettings)) << "no file yet";
  fs::create_directories(path);
  EXPECT_TRUE(SameSettings(LoadSettings(path), DefaultSettings)) << "a folder in its place";
  EXPECT_FALSE(SaveSettings(path, DefaultSettings));
  EXPECT_FALSE(fs::exists(path.string() + ReplacementSuffix + "1")) << "no half-written file left";
  fs::remove(path);
  std::ofstream(path) << "[Video]\nStandard=NTSC\n" << std::string(70000, ';') << "\n";
  EXPECT_TRUE(SameSettings(LoadSettings(path), DefaultSettings)) << "far too large";
  std::ofstream(path) << "[Video]\nStandard=NTSC\nBorder=yes\n";
  EXPECT_TRUE(SameSettings(LoadSettings(path), DefaultSettings)) << "damaged";
  std::ofstream(path) << "[Video]\nStandard=NTSC\n";
  EXPECT_EQ(LoadSettings(path).VideoStandard, VideoStandardNtsc);
}

TEST(HostSettings, TheWindowKeepsItsSettingsFromOneRunToTheNextAndHeadlessRunsWriteNone) {
  const fs::path folder = UseConfigFolder("kept");
  const fs::path file = folder / "quillon" / "quillon.ini";

  // A headless run neither reads nor writes the settings.
  CommandLineOptions options;
  options.Headless = true;
  options.Frames = 5;
  test::PowerOnMachine();
  RunHeadless(options);
  EXPECT_FALSE(fs::exists(folder));

  // The first run finds a window size and a program folder kept from before; it turns the
  // border and the sound off, switches to NTSC, puts the joystick in port 1 and loads a program
  // from another folder. Exit writes it all.
  fs::create_directories(file.parent_path());
  std::ofstream(file) << "[Window]\nWidth=720\nHeight=480\n[Folders]\nPrograms=/old/games\n";
  test::PowerOnMachine();
  UseHeadlessBackend(false);
  const std::string program = test::WriteTempFile("kept.prg", {0x00, 0xC0, 0x60});
  Headless.ChosenFile = program;
  for (std::uint32_t command : {CommandShowBorder, CommandSound, CommandPal,
                                CommandJoystickPort1, CommandLoadProgram, CommandExit}) {
    HeadlessPostMessage(MessageCommand, command, 0);
  }
  EXPECT_EQ(RunMainWindow(CommandLineOptions{}), 0);
  EXPECT_EQ(Headless.LastOfferedName, "/old/games/");
  const std::string written = ReadFile(file);
  for (const std::string line : {"Standard=NTSC", "Border=0", "Port=1", "On=0", "Width=720",
                                 "Height=480"}) {
    EXPECT_NE(written.find("\n" + line + "\n"), std::string::npos) << line << " in\n" << written;
  }
  EXPECT_NE(written.find("\nPrograms=" + fs::path(program).parent_path().string() + "\n"),
            std::string::npos)
      << written;

  // The second run starts with them: the KERNAL's first reset already sees NTSC, the menu
  // shows them, and the window comes back at its size.
  test::PowerOnMachine();
  JoystickPort = 2;
  UseHeadlessBackend(false);
  HeadlessPostMessage(MessageCommand, CommandExit, 0);
  EXPECT_EQ(RunMainWindow(CommandLineOptions{}), 0);
  EXPECT_EQ(VideoStandard, VideoStandardNtsc);
  EXPECT_EQ(Host.ShowBorder, 0);
  EXPECT_EQ(JoystickPort, 1);
  EXPECT_EQ(Host.SoundOn, 0);
  EXPECT_EQ(Headless.WindowWidth * 1000 + Headless.WindowHeight, 726524);
  for (const std::string change :
       {"&PAL=0", "Show &border=0", "&Sound=0", "Joystick in port &1=1"}) {
    EXPECT_NE(std::find(Headless.MenuChanges.begin(), Headless.MenuChanges.end(), change),
              Headless.MenuChanges.end())
        << change;
  }

  // A window left maximised comes back maximised, and keeps the size it is restored to.
  std::ofstream(file) << "[Window]\nWidth=720\nHeight=480\nMaximized=1\n";
  test::PowerOnMachine();
  UseHeadlessBackend(false);
  HeadlessPostMessage(MessageCommand, CommandExit, 0);
  EXPECT_EQ(RunMainWindow(CommandLineOptions{}), 0);
  EXPECT_TRUE(Headless.Maximized);
  EXPECT_EQ(Headless.NormalWidth * 1000 + Headless.NormalHeight, 726524);
  const std::string maximized = ReadFile(file);
  for (const std::string line : {"Width=720", "Height=480", "Maximized=1"}) {
    EXPECT_NE(maximized.find("\n" + line + "\n"), std::string::npos) << line << " in\n" << maximized;
  }

  // In full screen the window's own size is not the screen's: the last one is kept.
  Settings.WindowWidth = 720;
  Host.FullScreenActive = 1;
  Host.ClientWidth = 1920;
  CaptureWindowPlacement();
  EXPECT_EQ(Settings.WindowWidth, 720);
}

// Settings > SID chip changes the accurate machine's chip at once and is kept in the file as
// the model is; --sid chooses the chip of one run and leaves the file's as it was.
TEST(HostSettings, TheSidChipIsChosenInTheMenuAndKeptAndSidChoosesItForOneRun) {
  const fs::path file = UseConfigFolder("sid") / "quillon" / "quillon.ini";
  const auto run = [](const CommandLineOptions& options, std::initializer_list<std::uint32_t> commands) {
    test::PowerOnMachine();
    UseHeadlessBackend(false);
    for (std::uint32_t command : commands) HeadlessPostMessage(MessageCommand, command, 0);
    HeadlessPostMessage(MessageCommand, CommandExit, 0);
    EXPECT_EQ(RunMainWindow(options), 0);
    return CurrentMachine().SidChipInUse();
  };
  EXPECT_EQ(run({}, {CommandModelAccurate, CommandSid8580}), SidChip::Mos8580);
  EXPECT_NE(std::find(Headless.MenuChanges.begin(), Headless.MenuChanges.end(),
                      "SID chip &8580 (C64C)=1"),
            Headless.MenuChanges.end());
  EXPECT_NE(ReadFile(file).find("\nModel=Accurate\nSid=8580\n"), std::string::npos);

  CommandLineOptions once;
  once.Sid = SidChip::Mos6581;
  once.SidGiven = true;
  EXPECT_EQ(run(once, {}), SidChip::Mos6581);
  EXPECT_EQ(run({}, {}), SidChip::Mos8580) << "the file kept its chip";
  // The classic machine has none, but the menu keeps the choice for the next accurate one.
  EXPECT_EQ(run({}, {CommandModelClassic, CommandSid6581}), std::nullopt);
  EXPECT_EQ(run({}, {CommandModelAccurate}), SidChip::Mos6581);
}

}  // namespace
}  // namespace quillon
