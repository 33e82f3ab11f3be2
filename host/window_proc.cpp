#include "host/window_proc.h"

#include <cstring>

#include "cia/keyboard.h"
#include "core/machine.h"
#include "cpu/cpu.h"
#include "host/command_line.h"
#include "host/display.h"
#include "host/host_state.h"
#include "host/key_table.h"
#include "host/messages.h"
#include "media/cartridge.h"
#include "media/disk_drive.h"
#include "media/media_file.h"
#include "media/program_file.h"

namespace quillon {
namespace {

void SetCheck(int subMenu, std::uint32_t command, bool checked) {
  Platform.SetMenuItemCheck(subMenu, command, FindMenuItem(command)->Text, checked);
}

void AttachCartridge(const char* path) {
  CartridgePath = path;
  CartridgeAttached = 1;
  // The hard reset at the CPU's next service step loads the image.
  Cpu.ResetRequest = 1;
}

void LoadCartridgeCommand() {
  char fileName[FileNameCapacity] = {};
  CartridgePath.copy(fileName, FileNameCapacity - 1);
  if (OpenFileDialog(CartridgeFileFilter, fileName)) AttachCartridge(fileName);
}

// A disk goes into the drive without a reset; one that is no disk image leaves the drive as it
// was and says why.
void AttachDisk(const char* path) {
  const std::string error = AttachDiskImage(path);
  if (!error.empty()) Platform.ShowMessageBox(error.c_str(), "Attach disk");
}

void AttachDiskCommand() {
  char fileName[FileNameCapacity] = {};
  DiskPath.copy(fileName, FileNameCapacity - 1);
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
    AttachCartridge(path);
  } else if (IsProgramFile(path)) {
    LoadProgramFile(path);
  }
}

void LoadProgramCommand() {
  char fileName[FileNameCapacity] = {};
  if (OpenFileDialog(ProgramFileFilter, fileName)) LoadProgramFile(fileName);
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
      CartridgeAttached = 0;
      Cpu.ResetRequest = 1;
      break;
    case CommandLoadProgram:
      LoadProgramCommand();
      break;
    case CommandAttachDisk:
      AttachDiskCommand();
      break;
    case CommandDetachDisk:
      DetachDiskImage();
      break;
    case CommandExit:
      Platform.DestroyMainWindow();
      break;
    case CommandPause:
      Host.Paused = !Host.Paused;
      SetCheck(EmulationSubMenu, CommandPause, Host.Paused != 0);
      break;
    case CommandReset:
      Cpu.ResetRequest = 1;
      break;
    case CommandTrace:
      Host.TraceMode = !Host.TraceMode;
      Host.Paused = 0;
      SetCheck(EmulationSubMenu, CommandPause, false);
      SetCheck(EmulationSubMenu, CommandTrace, Host.TraceMode != 0);
      break;
    case CommandShowBorder:
      Host.ShowBorder = !Host.ShowBorder;
      // The main loop makes the buffer for the new setting at its next pass.
      FreeDisplayBuffer();
      SetCheck(SettingsSubMenu, CommandShowBorder, Host.ShowBorder != 0);
      break;
    case CommandPal:
      // The emulation reads the standard at every step; nothing else follows the switch.
      VideoStandard = VideoStandard ? VideoStandardNtsc : VideoStandardPal;
      SetCheck(SettingsSubMenu, CommandPal, VideoStandard != 0);
      break;
    case CommandAbout:
      Platform.ShowAboutDialog();
      break;
    case CommandFullScreen:
      FullScreenCommand();
      break;
    default:
      // Help is greyed; other identifiers are not ours.
      break;
  }
}

void KeyDown(int key) {
  if (key == VirtualKeyEscape && Host.FullScreenActive) {
    Host.FullScreenActive = 0;
    LeaveFullScreen();
  }
  if (HostKeyDown[key] == 0) HostKeyDown[key] = 1;
  ApplyKeyDown(key, Host.ShiftHeld != 0);
  if (key == VirtualKeyShift) Host.ShiftHeld = 1;
  // In trace mode each F12 press lets the main loop take one more step.
  if (key == VirtualKeyF12 && Host.TraceMode) Host.Paused = 0;
}

void KeyUp(int key) {
  if (HostKeyDown[key] != 0) HostKeyDown[key] = 0;
  ApplyKeyUp(key, Host.ShiftHeld != 0);
  if (key == VirtualKeyShift) Host.ShiftHeld = 0;
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

std::int32_t OpenFileDialog(const char* filter, char* fileName) {
  // Only a regular file counts as picked: a device or a pipe typed into the dialog would block
  // or feed a loader without end.
  return Platform.ChooseFile(filter, fileName, FileNameCapacity) && IsRegularFile(fileName) ? 1
                                                                                          : 0;
}

std::intptr_t MainWindowProc(WindowHandle window, std::uint32_t message, std::uintptr_t wParam,
                             std::intptr_t lParam) {
  switch (message) {
    case MessageCreate:
      return 0;
    case MessageDestroy:
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
        KeyDown(static_cast<int>(wParam));
      } else {
        KeyUp(static_cast<int>(wParam));
      }
      return 0;
    case MessageCommand:
      if (HighWord(wParam) == 0) MenuCommand(LowWord(wParam));
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
