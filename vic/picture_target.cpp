#include "vic/picture_target.h"

#include "host/full_screen_surface.h"
#include "host/host_state.h"
#include "vic/frame_image.h"

namespace quillon {

// The flag only changes between emulation runs, so a lock and its unlock see the same value.
std::uint8_t* LockPictureTarget() {
  return Host.FullScreenActive ? LockFullScreenSurface() : FrameImage.Picture;
}

void UnlockPictureTarget() {
  if (Host.FullScreenActive) UnlockFullScreenSurface();
}

}  // namespace quillon
