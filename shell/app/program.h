// The program's command line, the same on every system: no arguments or a file open the
// emulator's window, --headless runs without one. The entry of each system (main, or WinMain on
// Windows) hands its arguments here.
#pragma once

namespace quillon {

// Runs the program as `argv` asks and returns its exit status: 2 for bad arguments.
int RunProgram(int argc, char** argv);

}  // namespace quillon
