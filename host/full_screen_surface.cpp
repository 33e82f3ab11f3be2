#include "host/full_screen_surface.h"

#include "host/display.h"
#include "host/host_state.h"

namespace quillon {

// The surface lives in memory and is shown by the backend after every pass; it can be drawn
// into while full screen is active and nobody else holds it.
std::uint8_t* LockFullScreenSurface() {
  if (!Host.FullScreenActive || FullScreen.SurfaceLocked) return nullptr;
  FullScreen.SurfaceLocked = 1;
  return FullScreen.Surface;
}

void UnlockFullScreenSurface() { FullScreen.SurfaceLocked = 0; }

}  // namespace quillon
