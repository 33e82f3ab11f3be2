// The Windows backend's own record and the pieces that fill the platform layer from it. Each
// file of the backend makes one group of operations with the Windows API and installs them
// into Platform and DisplayPlatform; UseWin32Backend (win32_backend.h) calls them all, so that a
// further piece (a sound sink, dropped files) is one more file and one more call.
#pragma once

#include <windows.h>
// After windows.h, which it builds on.
#include <vfw.h>

namespace quillon {

struct Win32BackendState {
  HINSTANCE Instance;
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

// The main window and its menu, the message queue, painting with DrawDib into the window, the
// display buffer as a DIB section, the window's size and place, and the mouse cursor.
void UseWin32Window();
// The performance counter, Sleep and the multimedia timer.
void UseWin32Clock();
// The open-file dialog, the About dialog and the message box.
void UseWin32Dialogs();
// Full screen through DirectDraw, on the desktop's own display mode.
void UseWin32FullScreen();
// The clipboard's text, files dropped on the window, and the screen saver held off.
void UseWin32Desktop();
// The sound through waveOut.
void UseWin32Sound();

}  // namespace quillon
