#include "backends/win32/win32_backend.h"

#include <windows.h>
// After windows.h, which it builds on.
#include <shellapi.h>

#include <cstdio>

#include "backends/win32/win32_state.h"
#include "platform/display_platform.h"
#include "platform/platform.h"
#include "platform/sound_platform.h"
#include "platform/sound_writer.h"

namespace quillon {

Win32BackendState Win32;

void UseWin32Backend() {
  using namespace win32;
  Win32.Instance = GetModuleHandleA(nullptr);
  Win32.MainThread = GetCurrentThreadId();
  Platform = {
      .RegisterMainWindowClass = RegisterMainWindowClass,
      .LoadMainMenu = LoadMainMenu,
      .CreateMainWindow = CreateMainWindow,
      .ShowMainWindow = ShowMainWindow,
      .DestroyMainWindow = DestroyMainWindow,
      .ReadClientSize = ReadClientSize,
      .SetMenuItemCheck = SetMenuItemCheck,
      .OpenPainter = OpenPainter,
      .ClosePainter = ClosePainter,
      .RequestRepaint = RequestRepaint,
      .PaintPicture = PaintPicture,
      .TakeMessage = TakeMessage,
      .DeliverMessage = DeliverMessage,
      .WaitMessage = WaitForMessage,
      .PostQuitMessage = PostQuit,
      .DefaultWindowProc = DefaultWindowProc,
      .Sleep = SleepFor,
      .CounterFrequency = CounterFrequency,
      .ReadCounter = ReadCounter,
      .StartPeriodicTimer = StartTimer,
      .StopPeriodicTimer = StopTimer,
      .ChooseFile = ChooseFile,
      .ChooseSaveFile = ChooseSaveFile,
      .ShowAboutDialog = ShowAboutDialog,
      .ShowMessageBox = ShowMessageBox,
      .ReadClipboardText = ReadClipboardText,
      .HoldOffScreenSaver = HoldOffScreenSaver,
      .TakeDroppedFile = TakeDroppedFile,
      .WakeMainLoop = WakeMainLoop,
  };
  DisplayPlatform = {
      .ResizeMainWindow = ResizeMainWindow,
      .ShowMouseCursor = ShowMouseCursor,
      .ReadDesktopMode = ReadDesktopMode,
      .ReadMainWindowRect = ReadMainWindowRect,
      .MoveMainWindow = MoveMainWindow,
      .ReadWindowPlacement = ReadWindowPlacement,
      .MaximizeMainWindow = MaximizeMainWindow,
      .AcquireFullScreen = AcquireFullScreen,
      .ReleaseFullScreen = ReleaseFullScreen,
      // The desktop's display mode is never changed.
      .SetDisplayMode = nullptr,
      .PresentIndexedPicture = PresentIndexedPicture,
      .CreatePictureBuffer = CreatePictureBuffer,
      .FreePictureBuffer = FreePictureBuffer,
  };
  SoundPlatform = SoundOutputThroughWriter({WaveOutOpen, WaveOutWrite, WaveOutClose});
}

std::vector<std::string> ReadCommandLine() {
  std::vector<std::string> arguments;
  int count = 0;
  wchar_t** wide = CommandLineToArgvW(GetCommandLineW(), &count);
  if (wide == nullptr) return arguments;
  for (int i = 0; i < count; ++i) arguments.push_back(win32::Utf8Text(wide[i]));
  LocalFree(wide);
  return arguments;
}

bool ConnectToParentConsole() {
  const bool outputOpen = GetFileType(GetStdHandle(STD_OUTPUT_HANDLE)) != FILE_TYPE_UNKNOWN;
  const bool errorOpen = GetFileType(GetStdHandle(STD_ERROR_HANDLE)) != FILE_TYPE_UNKNOWN;
  // Standard input matters to the text monitor (--monitor) only.
  const bool inputOpen = GetFileType(GetStdHandle(STD_INPUT_HANDLE)) != FILE_TYPE_UNKNOWN;
  if (outputOpen && errorOpen && inputOpen) return true;
  if (!AttachConsole(ATTACH_PARENT_PROCESS)) return errorOpen;
  if (!inputOpen) std::freopen("CONIN$", "r", stdin);
  if (!outputOpen) std::freopen("CONOUT$", "w", stdout);
  if (!errorOpen) std::freopen("CONOUT$", "w", stderr);
  return true;
}

}  // namespace quillon
