#include "host/window_run.h"

#include "host/autostart.h"
#include "host/main_loop.h"
#include "media/program_file.h"

namespace quillon {

std::int32_t RunMainWindow(const std::string& file) {
  std::string program = AttachStartFile(file);
  std::int32_t exitCode = 0;
  if (!HostStartUp(nullptr, ShowNormal, &exitCode)) return exitCode;
  while (MainLoopPass(&exitCode) >= 0) {
    // Between passes the machine stands at a frame end; sooner or later one finds the KERNAL
    // in its keyboard wait.
    if (!program.empty() && BasicWaitsForInput()) {
      LoadProgramFile(program.c_str());
      program.clear();
    }
  }
  HostShutDown();
  return exitCode;
}

}  // namespace quillon
