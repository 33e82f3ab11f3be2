// The program's entry on Windows. Without arguments it is the emulator's window and nothing
// else: the shell's WinMain with the system's own entry arguments. With arguments it reads the
// same command line as on every other system, and what it prints (a headless run's screen,
// --help, a mistake in the arguments) goes to the console it was started from.
#include <windows.h>

#include <cstdio>
#include <cstdlib>

#include "app/program.h"
#include "host/win32/win32_backend.h"
#include "host/window_run.h"

namespace {

// A program of the Windows subsystem starts without a console. Output that was redirected (to
// a file or a pipe) goes there already; the rest goes to the console of the command prompt that
// started the program, when there is one.
void ConnectToParentConsole() {
  const bool outputOpen = GetFileType(GetStdHandle(STD_OUTPUT_HANDLE)) != FILE_TYPE_UNKNOWN;
  const bool errorOpen = GetFileType(GetStdHandle(STD_ERROR_HANDLE)) != FILE_TYPE_UNKNOWN;
  if ((outputOpen && errorOpen) || !AttachConsole(ATTACH_PARENT_PROCESS)) return;
  if (!outputOpen) std::freopen("CONOUT$", "w", stdout);
  if (!errorOpen) std::freopen("CONOUT$", "w", stderr);
}

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE previousInstance, LPSTR commandLine,
                   int showCommand) {
  quillon::UseWin32Backend();
  if (__argc <= 1) return quillon::WinMain(instance, previousInstance, commandLine, showCommand);
  ConnectToParentConsole();
  return quillon::RunProgram(__argc, __argv);
}
