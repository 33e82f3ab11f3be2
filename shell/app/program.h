// The program's command line, the same on every system: no arguments or a file open the
// emulator's window, --headless runs without one. The entry of each system (main, or WinMain on
// Windows) hands its arguments here.
#pragma once

namespace quillon {

// Runs the program as `argv` (UTF-8) asks and returns its exit status: 2 for bad arguments,
// which one line on stderr names. Arguments meant for the window that are wrong show that line
// in the desktop's message box as well when `errorBox` is set, for a user who sees no stderr.
int RunProgram(int argc, char** argv, bool errorBox);

}  // namespace quillon
