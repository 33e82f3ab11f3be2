#include "app/window_run.h"

#include <cstdio>

#include "app/autostart.h"
#include "window/display.h"
#include "session/host_state.h"
#include "monitor/monitor.h"
#include "monitor/monitor_console.h"
#include "monitor/remote_server.h"
#include "resources/menu.h"
#include "window/input_commands.h"
#include "window/menu_items.h"
#include "window/main_loop.h"
#include "platform/messages.h"
#include "platform/platform.h"
#include "window/screen_saver.h"
#include "session/session.h"
#include "window/settings.h"
#include "window/window_proc.h"

namespace quillon {
namespace {

// The window as it was left: the picture's own size first, then the size the user gave it,
// maximised when it was.
void RestoreWindowSize() {
  CreateDisplayBuffer();
  if (Settings.WindowWidth != 0 && DisplayPlatform.ResizeMainWindow != nullptr) {
    DisplayPlatform.ResizeMainWindow(Settings.WindowWidth + WindowFrameWidth,
                                     Settings.WindowHeight + WindowFrameHeight);
  }
  if (Settings.WindowMaximized && DisplayPlatform.MaximizeMainWindow != nullptr) {
    DisplayPlatform.MaximizeMainWindow();
  }
}

// The remote monitor as Settings > Remote monitor or --remote-monitor (for this run only) asks,
// a message box when it cannot listen; the text monitor on the terminal with --monitor.
void StartMonitors(const CommandLineOptions& options) {
  const std::string address =
      !options.RemoteMonitor.empty() ? options.RemoteMonitor : Settings.RemoteMonitorAddress;
  if (!options.RemoteMonitor.empty() || Settings.RemoteMonitor != 0) {
    const std::string error = StartRemoteMonitor(address);
    if (!error.empty()) Platform.ShowMessageBox(error.c_str(), "Remote monitor");
    SetMenuCheck(SettingsSubMenu, CommandRemoteMonitor, RemoteMonitorRunning());
  }
  if (options.TextMonitor) StartMonitorConsole(false);
}

}  // namespace

std::int32_t RunMainWindow(const CommandLineOptions& options, void* previousInstance,
                           std::int32_t showCommand) {
  // The settings go into effect before the first reset, so that the KERNAL finds the video
  // standard they name. --mute silences this run only.
  const std::string settingsPath = SettingsFilePath();
  Settings = LoadSettings(settingsPath);
  // --model, --sid and --cia choose the machine of this run; the settings file keeps its own
  // model and SID chip unless the menu chose others.
  const MachineModel modelSetting = Settings.Model;
  const SidChip sidSetting = Settings.Sid;
  if (options.ModelGiven) Settings.Model = options.Model;
  if (options.SidGiven) Settings.Sid = options.Sid;
  SessionMachineOptions = {.NewCias = options.NewCias};
  ApplySettings();
  if (options.Mute) Host.SoundOn = 0;
  std::string error;
  Autostart start = AttachStartFile(options.File, options.Disk, {}, error);
  std::int32_t exitCode = 0;
  if (!HostStartUp(previousInstance, showCommand, &exitCode)) return exitCode;
  // A disk with nothing to start stays in the drive; the window says why nothing runs.
  if (!error.empty()) Platform.ShowMessageBox(error.c_str(), "Quillon");
  ShowSettingsInMenu();
  StartMonitors(options);
  LendAutostartToMonitor(&start);
  // As the menu command does it, check mark included.
  if (options.Warp) MainWindowProc(nullptr, MessageCommand, CommandWarp, 0);
  RestoreWindowSize();
  FollowScreenSaverHold();
  std::int32_t frames = 0;
  while ((frames = MainLoopPass(&exitCode)) >= 0) FinishPass(frames, start);
  StopMonitorConsole();
  StopRemoteMonitor();
  MonitorShutDown();
  LendAutostartToMonitor(nullptr);
  ReleaseScreenSaverHold();
  const std::int32_t soundSetting = Settings.SoundOn;
  CaptureSettings();
  if (options.ModelGiven && Settings.Model == options.Model) Settings.Model = modelSetting;
  if (options.SidGiven && Settings.Sid == options.Sid) Settings.Sid = sidSetting;
  // Muted from the command line and left so: the setting stays as the file had it.
  if (options.Mute && !Host.SoundOn) Settings.SoundOn = soundSetting;
  if (!settingsPath.empty() && !SaveSettings(settingsPath, Settings)) {
    std::fprintf(stderr, "quillon: cannot save the settings to '%s'\n", settingsPath.c_str());
  }
  HostShutDown();
  return exitCode;
}

std::int32_t WinMain(void*, void* previousInstance, const char*, std::int32_t showCommand) {
  return RunMainWindow(CommandLineOptions{}, previousInstance, showCommand);
}

}  // namespace quillon
