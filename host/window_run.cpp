#include "host/window_run.h"

#include "host/autostart.h"
#include "host/main_loop.h"

namespace quillon {

std::int32_t RunMainWindow(const std::string& file, const std::string& disk) {
  std::string program = AttachStartFile(file, disk);
  std::int32_t exitCode = 0;
  if (!HostStartUp(nullptr, ShowNormal, &exitCode)) return exitCode;
  while (MainLoopPass(&exitCode) >= 0) StartProgramOnceBasicWaits(program);
  HostShutDown();
  return exitCode;
}

}  // namespace quillon
