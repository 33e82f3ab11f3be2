#include "host/window_run.h"

#include "host/autostart.h"
#include "host/main_loop.h"
#include "host/messages.h"
#include "host/window_proc.h"

namespace quillon {

std::int32_t RunMainWindow(const std::string& file, bool warp) {
  std::string program = AttachStartFile(file);
  std::int32_t exitCode = 0;
  if (!HostStartUp(nullptr, ShowNormal, &exitCode)) return exitCode;
  // As the menu command does it, check mark included.
  if (warp) MainWindowProc(nullptr, MessageCommand, CommandWarp, 0);
  while (MainLoopPass(&exitCode) >= 0) StartProgramOnceBasicWaits(program);
  HostShutDown();
  return exitCode;
}

}  // namespace quillon
