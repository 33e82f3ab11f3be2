// The program's entry on Windows. Without arguments it is the emulator's window and nothing
// else: the shell's WinMain with the system's own entry arguments. With arguments it reads the
// same command line as on every other system, taken from the system in UTF-16 and handed on in
// UTF-8, and what it prints (a headless run's screen, --help, a mistake in the arguments) goes
// to the console it was started from; started where there is none, a mistake in the arguments
// of the window's run shows in a message box.
#include <string>
#include <vector>

#include "app/program.h"
#include "app/window_run.h"
#include "backends/win32/win32_backend.h"

// The system calls the entry with the standard calling convention; the handles are opaque
// here, so the declaration needs none of the system's headers.
extern "C" int __stdcall WinMain(void* instance, void* previousInstance, char* commandLine,
                                 int showCommand) {
  quillon::UseWin32Backend();
  quillon::UseWinsockSockets();
  std::vector<std::string> arguments = quillon::ReadCommandLine();
  if (arguments.size() <= 1) {
    return quillon::WinMain(instance, previousInstance, commandLine, showCommand);
  }
  const bool errorsSeen = quillon::ConnectToParentConsole();
  std::vector<char*> argv;
  for (std::string& argument : arguments) argv.push_back(argument.data());
  argv.push_back(nullptr);
  return quillon::RunProgram(static_cast<int>(arguments.size()), argv.data(), !errorsSeen);
}
