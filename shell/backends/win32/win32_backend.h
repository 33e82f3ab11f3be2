// The Windows backend: the platform layer made with the Windows API itself. The main window
// with its menu and the system's own messages, painting with DrawDib, the multimedia timer and
// the performance counter, the common open-file dialog, the About dialog and the message box
// from the program's resources, full screen through DirectDraw, the clipboard, files dropped on
// the window, the screen saver held off, and the sound through waveOut; and the sockets through
// Winsock.
#pragma once

#include <string>
#include <vector>

namespace quillon {

// Makes Windows the platform: fills Platform, DisplayPlatform and SoundPlatform.
void UseWin32Backend();

// Makes Winsock the sockets of SocketPlatform, for the window and headless runs alike
// (win32_sockets.cpp).
void UseWinsockSockets();

// The program's arguments in UTF-8, its own name first, as the system splits its command line:
// names in any script, whatever the code page.
std::vector<std::string> ReadCommandLine();

// A program of the Windows subsystem starts without a console. Output that was redirected (to
// a file or a pipe) goes there already; the rest goes to the console of the command prompt that
// started the program, when there is one. False when what goes to stderr reaches no one (the
// program was started from Explorer or a shortcut).
bool ConnectToParentConsole();

}  // namespace quillon
