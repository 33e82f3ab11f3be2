#include "window/window_proc.h"

#include <cstring>

#include "interface/machine.h"
#include "keyboard/host_keys.h"
#include "keyboard/key_input.h"
#include "monitor/remote_server.h"
#include "platform/messages.h"
#include "resources/menu.h"
#include "session/host_state.h"
#include "session/session.h"
#include "window/display.h"
#include "window/input_commands.h"
#include "window/main_loop.h"
#include "window/menu_items.h"
#include "window/screen_saver.h"
#include "window/settings.h"
#include "window/snapshot_commands.h"

namespace quillon {
namespace {

void LoadCartridgeCommand() {
  char fileName[FileNameCapacity] = {};
  const std::string& cartridge = CurrentMachine().CartridgePath();
  cartridge.copy(fileName, FileNameCapacity - 1);
  if (cartridge.empty()) OfferFolder(Settings.CartridgeFolder, fileName);
  if (!OpenFileDialog(CartridgeFileFilter, fileName)) return;
  RememberFolder(Settings.CartridgeFolder, fileName);
  CurrentMachine().AttachCartridge(fileName);
}

// A disk goes into the drive without a reset; one that is no disk image leaves the drive as it
// was and says why.
void AttachDisk(const char* path) {
  const std::string error = CurrentMachine().AttachDisk(path);
  if (!error.empty()) Platform.ShowMessageBox(error.c_str(), "Attach disk");
}

void AttachDiskCommand() {
  char fileName[FileNameCapacity] = {};
  CurrentMachine().DiskPath().copy(fileName, FileNameCapacity - 1);
  if (OpenFileDialog(DiskImageFileFilter, fileName)) AttachDisk(fileName);
}

// A file dropped on the window does what the menu command for its type would do.
void DropFiles(std::uintptr_t drop) {
  char path[FileNameCapacity] = {};
  if (Platform.TakeDroppedFile == nullptr ||
      !Platform.TakeDroppedFile(drop, path, FileNameCapacity) || !IsRegularFile(path)) {
    return;
  }
  if (IsDiskImageFile(path)) {
    AttachDisk(path);
  } else if (IsCartridgeFile(path)) {
    CurrentMachine().AttachCartridge(path);
  } else if (IsProgramFile(path)) {
    CurrentMachine().LoadProgram(path);
  }
}

void LoadProgramCommand() {
  char fileName[FileNameCapacity] = {};
  OfferFolder(Settings.ProgramFolder, fileName);
  if (!OpenFileDialog(ProgramFileFilter, fileName)) return;
  RememberFolder(Settings.ProgramFolder, fileName);
  CurrentMachine().LoadProgram(fileName);
}

// Settings > Remote monitor serves the protocol at the address the settings keep, or stops.
void RemoteMonitorCommand() {
  if (RemoteMonitorRunning()) {
    StopRemoteMonitor();
  } else if (const std::string error = StartRemoteMonitor(Settings.RemoteMonitorAddress);
             !error.empty()) {
    Platform.ShowMessageBox(error.c_str(), "Remote monitor");
  }
  Settings.RemoteMonitor = RemoteMonitorRunning() ? 1 : 0;
  SetMenuCheck(SettingsSubMenu, CommandRemoteMonitor, RemoteMonitorRunning());
}

void FullScreenCommand() {
  // Without the display to ourselves the window stays as it is.
  if (!EnterFullScreen()) return;
  CreateFlipChain();
  CreateFullScreenPalette();
  Host.FullScreenActive = 1;
}

void MenuCommand(std::uint32_t command) {
  switch (command) {
    case CommandLoadCartridge:
      LoadCartridgeCommand();
      break;
    case CommandRemoveCartridge:
      CurrentMachine().DetachCartridge();
      break;
    case CommandLoadProgram:
      LoadProgramCommand();
      break;
    case CommandAttachDisk:
      AttachDiskCommand();
      break;
    case CommandDetachDisk:
      CurrentMachine().DetachDisk();
      break;
    case CommandExit:
      Platform.DestroyMainWindow();
      break;
    case CommandSaveSnapshot:
    case CommandLoadSnapshot:
      SnapshotMenuCommand(command);
      break;
    case CommandPause:
      Host.Paused = !Host.Paused;
      SetMenuCheck(EmulationSubMenu, CommandPause, Host.Paused != 0);
      break;
    case CommandReset:
      CurrentMachine().RequestReset();
      break;
    case CommandTrace:
      Host.TraceMode = !Host.TraceMode;
      Host.Paused = 0;
      SetMenuCheck(EmulationSubMenu, CommandPause, false);
      SetMenuCheck(EmulationSubMenu, CommandTrace, Host.TraceMode != 0);
      break;
    case CommandWarp:
      Host.Warp = !Host.Warp;
      SetMenuCheck(EmulationSubMenu, CommandWarp, Host.Warp != 0);
      break;
    case CommandShowBorder:
      Host.ShowBorder = !Host.ShowBorder;
      // The main loop makes the buffer for the new setting at its next pass.
      FreeDisplayBuffer();
      SetMenuCheck(SettingsSubMenu, CommandShowBorder, Host.ShowBorder != 0);
      break;
    case CommandPal: {
      Machine& machine = CurrentMachine();
      machine.SetPal(!machine.Pal());
      SetMenuCheck(SettingsSubMenu, CommandPal, machine.Pal());
      break;
    }
    case CommandModelClassic:
    case CommandModelAccurate: {
      // A new machine, powered on, with the same disk and video standard.
      const MachineModel model =
          command == CommandModelClassic ? MachineModel::Classic : MachineModel::Accurate;
      if (CurrentMachine().Model() != model) SwitchModel(model);
      ShowModelInMenu();
      break;
    }
    case CommandSid6581:
    case CommandSid8580:
      // The chip of the accurate machines from now on, and of the one in use at once.
      SessionMachineOptions.Sid = command == CommandSid6581 ? SidChip::Mos6581 : SidChip::Mos8580;
      CurrentMachine().SetSidChip(SessionMachineOptions.Sid);
      ShowModelInMenu();
      break;
    case CommandSound:
      Host.SoundOn = !Host.SoundOn;
      SetMenuCheck(SettingsSubMenu, CommandSound, Host.SoundOn != 0);
      break;
    case CommandAbout:
      Platform.ShowAboutDialog();
      break;
    case CommandFullScreen:
      FullScreenCommand();
      break;
    case CommandRemoteMonitor:
      RemoteMonitorCommand();
      break;
    case CommandPaste:
    case CommandJoystickPort1:
    case CommandJoystickPort2:
    case CommandJoystickCursorKeys:
      InputMenuCommand(command);
      break;
    default:
      // Help is greyed; other identifiers are not ours.
      break;
  }
}

void KeyDown(std::uintptr_t key, std::intptr_t lParam) {
  if (key == VirtualKeyEscape && Host.FullScreenActive) {
    // Esc that brings the window back is no RUN/STOP.
    Host.FullScreenActive = 0;
    LeaveFullScreen();
    return;
  }
  // F9 is the Warp command's key; the repeats of a held key do not toggle it again.
  if (key == VirtualKeyF9 && HostKeyDown[key] == 0) MenuCommand(CommandWarp);
  KeyInputDown(key, lParam);
  // In trace mode each F12 press lets the main loop take one more step.
  if (key == VirtualKeyF12 && Host.TraceMode) Host.Paused = 0;
}

void Paint() {
  const bool windowed = Host.DisplayPixels != nullptr && !Host.FullScreenActive;
  Platform.PaintPicture(windowed ? Host.DisplayPixels : nullptr, Host.PictureWidth,
                        Host.PictureHeight, Host.ClientWidth, Host.ClientHeight);
}

// While the emulation runs, neither the screen saver nor the monitor's power saving may start.
bool SwallowsSysCommand(std::uintptr_t command) {
  const std::uint32_t request = static_cast<std::uint32_t>(command) & SysCommandMask;
  return !Host.Paused &&
         (request == SysCommandScreenSave || request == SysCommandMonitorPower);
}

}  // namespace

std::intptr_t MainWindowProc(WindowHandle window, std::uint32_t message, std::uintptr_t wParam,
                             std::intptr_t lParam) {
  switch (message) {
    case MessageCreate:
      return 0;
    case MessageDestroy:
      CaptureWindowPlacement();
      Host.Paused = 1;
      Platform.PostQuitMessage(0);
      return 0;
    case MessageSize:
      Platform.ReadClientSize(&Host.ClientWidth, &Host.ClientHeight);
      return 0;
    case MessagePaint:
      Paint();
      return 0;
    case MessageKeyDown:
    case MessageKeyUp:
      // Virtual-key codes are bytes; anything wider is no key of ours.
      if (wParam > 0xFF) break;
      if (message == MessageKeyDown) {
        KeyDown(wParam, lParam);
      } else {
        KeyInputUp(wParam, lParam);
      }
      return 0;
    case MessageKillFocus:
      KeyInputFocusLost();
      return 0;
    case MessageCommand:
      if (HighWord(wParam) == 0) MenuCommand(LowWord(wParam));
      FollowScreenSaverHold();
      return 0;
    case MessageSysCommand:
      if (SwallowsSysCommand(wParam)) return 0;
      break;
    case MessageDropFiles:
      DropFiles(wParam);
      return 0;
    default:
      break;
  }
  return Platform.DefaultWindowProc(window, message, wParam, lParam);
}

}  // namespace quillon
