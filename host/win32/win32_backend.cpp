#include "host/win32/win32_backend.h"

#include "host/display_platform.h"
#include "host/platform.h"
#include "host/win32/win32_state.h"

namespace quillon {

Win32BackendState Win32;

void UseWin32Backend() {
  Win32.Instance = GetModuleHandleA(nullptr);
  Platform = {};
  DisplayPlatform = {};
  UseWin32Window();
  UseWin32Clock();
  UseWin32Dialogs();
  UseWin32FullScreen();
  UseWin32Desktop();
  UseWin32Sound();
}

}  // namespace quillon
