#include "host/window_run.h"

#include "host/autostart.h"
#include "host/host_state.h"
#include "host/main_loop.h"
#include "host/messages.h"
#include "host/platform.h"

namespace quillon {

std::int32_t RunMainWindow(const std::string& file) {
  std::string program = AttachStartFile(file);
  std::int32_t exitCode = 0;
  if (!HostStartUp(nullptr, ShowNormal, &exitCode)) return exitCode;
  // The menu comes up as its resource has it; a start without sound unticks Sound.
  if (!Host.SoundOn) {
    Platform.SetMenuItemCheck(SettingsSubMenu, CommandSound, FindMenuItem(CommandSound)->Text,
                              false);
  }
  while (MainLoopPass(&exitCode) >= 0) StartProgramOnceBasicWaits(program);
  HostShutDown();
  return exitCode;
}

}  // namespace quillon
