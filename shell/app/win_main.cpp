// The program's entry on Windows. Without arguments it is the emulator's window and nothing
// else: the shell's WinMain with the system's own entry arguments. With arguments it reads the
// same command line as on every other system, and what it prints (a headless run's screen,
// --help, a mistake in the arguments) goes to the console it was started from.
#include <cstdlib>

#include "app/program.h"
#include "app/window_run.h"
#include "backends/win32/win32_backend.h"

// The system calls the entry with the standard calling convention; the handles are opaque
// here, so the declaration needs none of the system's headers.
extern "C" int __stdcall WinMain(void* instance, void* previousInstance, char* commandLine,
                                 int showCommand) {
  quillon::UseWin32Backend();
  quillon::UseWinsockSockets();
  if (__argc <= 1) return quillon::WinMain(instance, previousInstance, commandLine, showCommand);
  quillon::ConnectToParentConsole();
  return quillon::RunProgram(__argc, __argv);
}
