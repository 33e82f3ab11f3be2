// The Windows backend's own record and its operations. Each file of the backend makes one
// group of operations with the Windows API; UseWin32Backend (win32_backend.h) fills the platform
// tables with them.
#pragma once

#include <windows.h>
// After windows.h, which it builds on.
#include <vfw.h>

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>

#include "platform/display_platform.h"
#include "platform/platform.h"

namespace quillon {

struct Win32BackendState {
  HINSTANCE Instance;
  // The thread that runs the message loop, which other threads wake with a message.
  DWORD MainThread;
  HWND MainWindow;
  // Menu resource 101 as loaded; the window carries it except in full screen.
  HMENU MainMenu;
  HDRAWDIB DrawDibHandle;
  // The message that TakeMessage took last, with its time and cursor position, for delivery.
  MSG LastMessage;
  // The display buffer: a DIB section and the header that describes it to DrawDib.
  BITMAPINFOHEADER PictureFormat;
  HBITMAP DisplayBitmap;
  // Set by every paint message: the window's picture was damaged (uncovered, moved), and full
  // screen draws its picture again even when it has not changed.
  bool WindowDamaged;
};
extern Win32BackendState Win32;

// The operations of the backend, one group per file, that UseWin32Backend (win32_backend.h)
// puts into the platform tables.
namespace win32 {

// The shell's text is UTF-8, the system's wide calls take UTF-16 (win32_text.cpp).
std::wstring WideText(std::string_view text);
std::string Utf8Text(std::wstring_view text);

// The main window and its menu, the message queue, painting with DrawDib into the window, the
// display buffer as a DIB section, the window's size and place, and the mouse cursor
// (win32_window.cpp).
bool RegisterMainWindowClass(const char* className, WindowProcedure procedure);
void LoadMainMenu(std::span<const MenuResource> menu);
bool CreateMainWindow(const char* className, const char* title, std::int32_t width,
                      std::int32_t height);
void ShowMainWindow(std::int32_t showCommand);
void DestroyMainWindow();
void ReadClientSize(std::int32_t* width, std::int32_t* height);
void SetMenuItemCheck(int subMenu, std::uint32_t command, const char* text, bool checked);
void OpenPainter();
void ClosePainter();
void RequestRepaint();
void PaintPicture(const std::uint32_t* pixels, std::int32_t width, std::int32_t height,
                  std::int32_t targetWidth, std::int32_t targetHeight);
bool TakeMessage(WindowMessage* message);
void DeliverMessage(const WindowMessage& message);
void WaitForMessage();
void WakeMainLoop();
void PostQuit(std::int32_t exitCode);
std::intptr_t DefaultWindowProc(WindowHandle window, std::uint32_t message, std::uintptr_t wParam,
                                std::intptr_t lParam);
std::uint32_t* CreatePictureBuffer(std::int32_t width, std::int32_t height);
void FreePictureBuffer();
void ResizeMainWindow(std::int32_t outerWidth, std::int32_t outerHeight);
void ShowMouseCursor(bool visible);
WindowRect ReadMainWindowRect();
void MoveMainWindow(const WindowRect& rect);
WindowPlacement ReadWindowPlacement();
void MaximizeMainWindow();

// The performance counter, Sleep and the multimedia timer (win32_clock.cpp).
void SleepFor(std::uint32_t milliseconds);
std::int64_t CounterFrequency();
std::int64_t ReadCounter();
bool StartTimer(std::uint32_t periodMilliseconds, TimerCallback callback);
void StopTimer();

// The open-file and save-file dialogs, the About dialog and the message box
// (win32_dialogs.cpp).
bool ChooseFile(const char* filter, char* path, std::size_t capacity);
bool ChooseSaveFile(const char* filter, char* path, std::size_t capacity);
void ShowAboutDialog();
void ShowMessageBox(const char* text, const char* caption);

// Full screen through DirectDraw, on the desktop's own display mode (win32_full_screen.cpp).
DisplayMode ReadDesktopMode();
bool AcquireFullScreen();
void ReleaseFullScreen();
bool PresentIndexedPicture(const std::uint8_t* pixels, std::int32_t width, std::int32_t height,
                           const FullScreenPaletteEntry* palette);

// The clipboard's text, files dropped on the window, and the screen saver held off
// (win32_desktop.cpp).
bool ReadClipboardText(std::string* text);
bool TakeDroppedFile(std::uintptr_t drop, char* path, std::size_t capacity);
void HoldOffScreenSaver(bool hold);

// The waveOut device, which the sound writer's thread opens and feeds (win32_sound.cpp).
const char* WaveOutOpen(std::uint32_t sampleRate);
const char* WaveOutWrite(const std::int16_t* samples, std::int32_t count);
void WaveOutClose();

}  // namespace win32
}  // namespace quillon
